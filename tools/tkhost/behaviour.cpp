// The behaviour checks of tkhost --validate: a script of the plugin's own
// commands and what each must leave behind, read and played.
#include "checks.h"
#include "validate.h"

#include <fstream>

namespace tkhost {
namespace {

// Splits a script line into words at blanks; a '...' or "..." part keeps its
// blanks and loses its quotes.
bool split_words(const std::string &line, std::vector<std::string> &words, std::string &error)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && blank(line[i]))
            i++;
        if (i == line.size())
            return true;
        std::string word;
        while (i < line.size() && !blank(line[i])) {
            const char c = line[i];
            if (c != '"' && c != '\'') {
                word.push_back(c);
                i++;
                continue;
            }
            const std::size_t close = line.find(c, i + 1);
            if (close == std::string::npos) {
                error = std::string("no closing ") + c;
                return false;
            }
            word.append(line, i + 1, close - i - 1);
            i = close + 1;
        }
        words.push_back(word);
    }
}

}  // namespace

bool read_script(const std::string &path, std::vector<ScriptCheck> &checks, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read script '" + path + "'";
        return false;
    }
    std::vector<std::vector<std::string>> arguments;
    std::vector<int> first_lines;
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> words;
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '#')
            continue;
        if (!split_words(line, words, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
        if (words.empty())
            continue;
        if (words[0] == "--check") {
            std::string name;
            for (std::size_t w = 1; w < words.size(); w++)
                name += (w > 1 ? " " : "") + words[w];
            for (const ContractCheck &c : contract_checks(kDefaultValidationLoads))
                if (name == c.name)
                    error = "'" + name + "' is the name of a contract check";
            for (const ScriptCheck &c : checks)
                if (name == c.name)
                    error = "a second check named '" + name + "'";
            if (name.empty())
                error = "--check needs a name";
            if (!error.empty()) {
                error = path + ":" + std::to_string(number) + ": " + error;
                return false;
            }
            checks.push_back(ScriptCheck{name, Options()});
            arguments.emplace_back();
            first_lines.push_back(number);
            continue;
        }
        if (checks.empty()) {
            error = path + ":" + std::to_string(number) + ": options before the first --check";
            return false;
        }
        arguments.back().insert(arguments.back().end(), words.begin(), words.end());
    }
    if (checks.empty()) {
        error = path + ": no --check in the script";
        return false;
    }
    for (std::size_t c = 0; c < checks.size(); c++)
        if (!parse_arguments(arguments[c], true, checks[c].session, error)) {
            error = path + ":" + std::to_string(first_lines[c]) + ": check '" + checks[c].name +
                    "': " + error;
            return false;
        }
    return true;
}

std::string play(void *library, const Options &session)
{
    fresh_host(session.version);
    Host &h = host();
    for (const auto &preset : session.presets)
        h.parameters[preset.first] = preset.second;
    std::string why;
    PluginPointer plugin = started_plugin(library, session.version, why);
    if (plugin == nullptr)
        return why;
    for (std::size_t n = 0; n < session.steps.size(); n++) {
        const Step &step = session.steps[n];
        prepare_step(step, h);
        const std::size_t first_dialog = h.dialogs.size(), first_write = h.writes.size();
        const bool result = plugin->execute();
        const std::string where = "step " + std::to_string(n + 1) + " (" + step.command + "): ";
        if (!result)
            return where + "execute returned false";
        for (const Expectation &expectation : step.expectations) {
            why = unmet(expectation, h, first_dialog, first_write);
            if (!why.empty())
                return where + expectation.written + ": " + why;
        }
    }
    return "";
}

}  // namespace tkhost
