// tkhost's command line: the options of a session (and of a --validate
// script's checks) read into Options.
#include "session.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace tkhost {

namespace {

bool parse_int(const std::string &text, int &value)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || text[0] == '+')
        return false;
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || v < INT_MIN || v > INT_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool parse_float(const std::string &text, float &value)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    errno = 0;
    char *end = nullptr;
    float v = std::strtof(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// Splits "NAME=VALUE" at the first '='; the name must not be empty.
bool split_assignment(const std::string &text, std::string &name, std::string &value)
{
    std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    name = text.substr(0, eq);
    value = text.substr(eq + 1);
    return true;
}

}  // namespace

bool parse_version(const std::string &text, int version[3])
{
    int parsed[3];
    std::size_t start = 0;
    for (int part = 0; part < 3; part++) {
        std::size_t dot = text.find('.', start);
        if ((part < 2) != (dot != std::string::npos))
            return false;
        std::string piece = text.substr(start, part < 2 ? dot - start : std::string::npos);
        if (!parse_int(piece, parsed[part]))
            return false;
        start = dot + 1;
    }
    for (int part = 0; part < 3; part++)
        version[part] = parsed[part];
    return true;
}

std::string usage()
{
    return "usage: tkhost PLUGIN.so [options]\n"
           "       tkhost --validate PLUGIN.so [--script FILE] [--only NAME]... [--loads N]\n"
           "       tkhost --list-checks [--script FILE]\n"
           "\n"
           "Loads a Lumarin TK plugin, shows its metadata, creates and initialises it, plays\n"
           "wizard steps and destroys it. The host log goes to stdout, message boxes to stderr.\n"
           "\n"
           "options:\n"
           "  --host-version MAJOR.MINOR.SUBMINOR  version the host reports (default 2.3.0)\n"
           "  --set NAME=TEXT         store a text parameter (before the session, or, after a\n"
           "                          --step, just before the next step)\n"
           "  --set-int NAME=N        the same for an int parameter\n"
           "  --set-float NAME=X      the same for a float parameter\n"
           "  --step COMMAND          add a step: store \"Command\" = COMMAND, call execute()\n"
           "  --filetype TEXT         (after --step) also store \"FileType\" = TEXT\n"
           "  --answer PATH           (after --step) choose PATH in the step's open-file dialog\n"
           "  --cancel                (after --step) cancel the step's open-file dialog\n"
           "  --expect NAME=TEXT      (after --step) the store holds this text afterwards;\n"
           "                          also --expect-int NAME=N, --expect-float NAME=X, and\n"
           "                          --expect-float NAME=X~TOL for any float within TOL of X\n"
           "  --expect-dialogs N      (after --step) the step showed N dialogs\n"
           "  --expect-writes N       (after --step) the step wrote N parameters\n"
           "  --expect-title TEXT     (after --step) title of the step's last dialog\n"
           "  --expect-filter TEXT    (after --step) filter of the step's last dialog\n"
           "  -h, --help              show this text\n"
           "\n"
           "A dialog without --answer or --cancel asks on the terminal (empty line cancels).\n"
           "--validate runs the contract checks every plugin must pass and, with --script, the\n"
           "plugin's own behaviour checks; one PASS/FAIL line per check, exit status 1 on any\n"
           "failure. --list-checks names the checks for --only.\n"
           "exit status: 0 session played, 1 plugin refused to run, misbehaved or missed an\n"
           "expectation, 2 wrong usage (bad arguments, missing file, not a plugin).\n";
}

namespace {

// Reads "NAME=VALUE" of a --set or --expect option (or the counterparts with
// -int, -float) as a value of the option's kind.
bool parse_assignment(const std::string &option, const std::string &text, std::string &name,
                      Value &value, std::string &error)
{
    std::string raw;
    int i_value = 0;
    float f_value = 0.0f;
    if (!split_assignment(text, name, raw)) {
        error = "option '" + option + "' expects NAME=VALUE, got '" + text + "'";
        return false;
    }
    const auto ends_with = [&](const std::string &suffix) {
        return option.size() > suffix.size() &&
               option.compare(option.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    const bool is_int = ends_with("-int"), is_float = ends_with("-float");
    if (is_int && parse_int(raw, i_value))
        value = Value::of_int(i_value);
    else if (is_float && parse_float(raw, f_value))
        value = Value::of_float(f_value);
    else if (!is_int && !is_float)
        value = Value::of_text(raw);
    else {
        error = "bad value '" + raw + "' for option '" + option + "'";
        return false;
    }
    return true;
}

bool parse_count(const std::string &text, std::size_t &count)
{
    int n = 0;
    if (!parse_int(text, n) || n < 0)
        return false;
    count = static_cast<std::size_t>(n);
    return true;
}

bool is_expectation(const std::string &option)
{
    return option == "--expect" || option == "--expect-int" || option == "--expect-float" ||
           option == "--expect-dialogs" || option == "--expect-writes" ||
           option == "--expect-title" || option == "--expect-filter";
}

bool parse_expectation(const std::string &option, const std::string &text, Expectation &expectation,
                       std::string &error)
{
    expectation.written = option + " " + text;
    if (option == "--expect-dialogs" || option == "--expect-writes") {
        expectation.kind =
            option == "--expect-dialogs" ? Expectation::Kind::Dialogs : Expectation::Kind::Writes;
        if (parse_count(text, expectation.count))
            return true;
        error = "bad count '" + text + "' for option '" + option + "'";
        return false;
    }
    if (option == "--expect-title" || option == "--expect-filter") {
        expectation.kind =
            option == "--expect-title" ? Expectation::Kind::Title : Expectation::Kind::Filter;
        expectation.value = Value::of_text(text);
        return true;
    }
    expectation.kind = Expectation::Kind::Value;
    // --expect-float NAME=X~TOL accepts any float within TOL of X.
    const std::size_t tilde = text.find('~', text.find('=') + 1);
    if (option != "--expect-float" || text.find('=') == std::string::npos ||
        tilde == std::string::npos)
        return parse_assignment(option, text, expectation.name, expectation.value, error);
    const std::string tolerance = text.substr(tilde + 1);
    float parsed = 0.0f;
    if (!parse_float(tolerance, parsed) || parsed < 0.0f) {
        error = "bad tolerance '" + tolerance + "' for option '" + option +
                "' (expected NAME=X~TOL, TOL >= 0)";
        return false;
    }
    expectation.tolerance = std::strtod(tolerance.c_str(), nullptr);
    return parse_assignment(option, text.substr(0, tilde), expectation.name, expectation.value,
                            error);
}

}  // namespace

bool parse_arguments(const std::vector<std::string> &args, bool in_script, Options &options,
                     std::string &error)
{
    // Parameters set after a step wait here for the next one.
    std::vector<std::pair<std::string, Value>> pending;
    for (std::size_t i = 0; i < args.size(); i++) {
        const std::string &arg = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size()) {
                error = "option '" + arg + "' needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto current_step = [&]() -> Step * {
            if (options.steps.empty()) {
                error = "option '" + arg + "' must follow a --step";
                return nullptr;
            }
            return &options.steps.back();
        };
        auto set_answer = [&](Step &step, Step::Answer answer, const std::string &path) {
            if (step.answer != Step::Answer::Ask) {
                error = "step " + std::to_string(options.steps.size()) + " already has an answer";
                return false;
            }
            step.answer = path.empty() ? Step::Answer::Cancel : answer;
            step.path = path;
            return true;
        };

        std::string text;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--host-version") {
            if (!value(text))
                return false;
            if (!parse_version(text, options.version)) {
                error =
                    "bad host version '" + text + "' (expected MAJOR.MINOR.SUBMINOR, e.g. 2.3.0)";
                return false;
            }
        } else if (arg == "--set" || arg == "--set-int" || arg == "--set-float") {
            std::string name;
            Value v;
            if (!value(text) || !parse_assignment(arg, text, name, v, error))
                return false;
            (options.steps.empty() ? options.presets : pending).emplace_back(name, v);
        } else if (arg == "--step") {
            if (!value(text))
                return false;
            Step step;
            step.presets.swap(pending);
            step.command = text;
            options.steps.push_back(step);
        } else if (arg == "--filetype") {
            Step *step = current_step();
            if (step == nullptr || !value(text))
                return false;
            step->has_filetype = true;
            step->filetype = text;
        } else if (arg == "--answer") {
            Step *step = current_step();
            if (step == nullptr || !value(text) || !set_answer(*step, Step::Answer::Choose, text))
                return false;
        } else if (arg == "--cancel") {
            Step *step = current_step();
            if (step == nullptr || !set_answer(*step, Step::Answer::Cancel, ""))
                return false;
        } else if (is_expectation(arg)) {
            Step *step = current_step();
            Expectation expectation;
            if (step == nullptr || !value(text) ||
                !parse_expectation(arg, text, expectation, error))
                return false;
            step->expectations.push_back(expectation);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "'";
            return false;
        } else if (in_script) {
            error = "unexpected argument '" + arg + "'";
            return false;
        } else if (options.plugin.empty()) {
            options.plugin = arg;
            if (arg.empty()) {
                error = "empty plugin path";
                return false;
            }
        } else {
            error = "unexpected argument '" + arg + "' (the plugin is '" + options.plugin + "')";
            return false;
        }
    }
    if (!pending.empty()) {
        // Applied in order, it would change nothing: no step follows.
        error = "'" + pending.front().first +
                "' is set after the last --step, where it changes nothing; put the --set "
                "before the --step that should see it";
        return false;
    }
    if (!in_script && !options.help && options.plugin.empty()) {
        error = "no plugin given";
        return false;
    }
    return true;
}

bool parse_options(int argc, char **argv, Options &options, std::string &error)
{
    return parse_arguments(std::vector<std::string>(argv + 1, argv + argc), false, options, error);
}

}  // namespace tkhost
