// Command line and session driver of tkhost.
//
// The plugin is reached only through its exported entry points and the three
// virtual operations of the object createPlugin() returns, as the real host
// does; tkhost needs none of the plugin's own code.
#define LMTK_HOST_IMPLEMENTATION
#include "LMTKPluginInterface.h"

#include "session.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

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

using TextGetter = const char *(*)();
using CreatePluginFunction = LMTKPluginInterface *(*)();

struct EntryPoints {
    CreatePluginFunction createPlugin = nullptr;
    TextGetter getPluginName = nullptr;
    TextGetter getPluginDescription = nullptr;
    TextGetter getAuthor = nullptr;
    TextGetter getHelpFile = nullptr;
    TextGetter getPluginVersion = nullptr;
    TextGetter getGUIScript = nullptr;
};

std::string quoted(const char *text)
{
    return text != nullptr ? "\"" + std::string(text) + "\"" : std::string("(null)");
}

void say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int fail(int status, const std::string &line)
{
    std::fflush(stdout);
    std::fprintf(stderr, "tkhost: %s\n", line.c_str());
    return status;
}

// Runs one call into the plugin; an exception escaping the plugin is reported
// instead of ending tkhost.
template <class Call>
bool call_plugin(const char *what, Call call)
{
    try {
        call();
        return true;
    } catch (const std::exception &e) {
        fail(kExitPlugin, std::string("the plugin threw from ") + what + ": " + e.what());
    } catch (...) {
        fail(kExitPlugin, std::string("the plugin threw from ") + what);
    }
    return false;
}

std::string step_heading(std::size_t number, const Step &step)
{
    std::string line =
        "tkhost: step " + std::to_string(number) + ": Command \"" + step.command + "\"";
    if (step.has_filetype)
        line += ", FileType \"" + step.filetype + "\"";
    return line;
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
           "                          also --expect-int NAME=N, --expect-float NAME=X\n"
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
    return parse_assignment(option, text, expectation.name, expectation.value, error);
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

void prepare_step(const Step &step, Host &h)
{
    for (const auto &preset : step.presets)
        h.parameters[preset.first] = preset.second;
    h.parameters["Command"] = Value::of_text(step.command);
    if (step.has_filetype)
        h.parameters["FileType"] = Value::of_text(step.filetype);
    h.answers.clear();
    if (step.answer == Step::Answer::Choose)
        h.answers.push_back(DialogAnswer::choose(step.path));
    else if (step.answer == Step::Answer::Cancel)
        h.answers.push_back(DialogAnswer::cancel());
}

std::string unmet(const Expectation &e, const Host &h, std::size_t first_dialog,
                  std::size_t first_write)
{
    const std::size_t dialogs = h.dialogs.size() - first_dialog;
    const std::size_t writes = h.writes.size() - first_write;
    switch (e.kind) {
    case Expectation::Kind::Dialogs:
        if (dialogs == e.count)
            return "";
        return std::to_string(dialogs) + " dialogs instead of " + std::to_string(e.count);
    case Expectation::Kind::Writes:
        if (writes == e.count)
            return "";
        return std::to_string(writes) + " parameter writes instead of " + std::to_string(e.count);
    case Expectation::Kind::Title:
    case Expectation::Kind::Filter: {
        const bool title = e.kind == Expectation::Kind::Title;
        if (dialogs == 0)
            return std::string("no dialog was shown, expected one with ") +
                   (title ? "title " : "filter ") + e.value.describe();
        const DialogRequest &shown = h.dialogs.back();
        const Value got = Value::of_text(title ? shown.title : shown.filter);
        if (got == e.value)
            return "";
        return std::string("the dialog's ") + (title ? "title" : "filter") + " is " +
               got.describe() + ", expected " + e.value.describe();
    }
    case Expectation::Kind::Value:
        break;
    }
    const auto found = h.parameters.find(e.name);
    if (found == h.parameters.end())
        return e.name + " is not set, expected " + e.value.describe();
    if (found->second == e.value)
        return "";
    return e.name + " is " + found->second.describe() + ", expected " + e.value.describe();
}

int run_session(const Options &options)
{
    const std::string &path = options.plugin;
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return fail(kExitUsage, "cannot open plugin '" + path + "': " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return fail(kExitUsage, "cannot open plugin '" + path + "': not a regular file");

    // A bare file name means the file here, not a search of the library path.
    std::string load_path = path.find('/') == std::string::npos ? "./" + path : path;
    void *library = dlopen(load_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *why = dlerror();
        return fail(kExitUsage, "cannot load plugin '" + path +
                                    "': " + (why != nullptr ? why : "unknown error"));
    }

    EntryPoints entry;
    struct {
        const char *name;
        void **slot;
    } lookups[] = {
        {"createPlugin", reinterpret_cast<void **>(&entry.createPlugin)},
        {"getPluginName", reinterpret_cast<void **>(&entry.getPluginName)},
        {"getPluginDescription", reinterpret_cast<void **>(&entry.getPluginDescription)},
        {"getAuthor", reinterpret_cast<void **>(&entry.getAuthor)},
        {"getHelpFile", reinterpret_cast<void **>(&entry.getHelpFile)},
        {"getPluginVersion", reinterpret_cast<void **>(&entry.getPluginVersion)},
        {"getGUIScript", reinterpret_cast<void **>(&entry.getGUIScript)},
    };
    for (auto &lookup : lookups) {
        *lookup.slot = dlsym(library, lookup.name);
        if (*lookup.slot == nullptr)
            return fail(kExitUsage, "'" + path +
                                        "' is not a Lumarin TK plugin: it has no entry point '" +
                                        lookup.name + "'");
    }

    Host &h = host();
    h.reset();
    h.version_major = options.version[0];
    h.version_minor = options.version[1];
    h.version_subminor = options.version[2];
    h.log_stream = stdout;
    h.message_stream = stderr;
    h.interactive = true;
    h.prompt_stream = stderr;
    h.answer_stream = stdin;
    for (const auto &preset : options.presets)
        h.parameters[preset.first] = preset.second;

    say("tkhost: plugin " + path);
    say("  name         " + quoted(entry.getPluginName()));
    say("  description  " + quoted(entry.getPluginDescription()));
    say("  author       " + quoted(entry.getAuthor()));
    say("  version      " + quoted(entry.getPluginVersion()));
    say("  help file    " + quoted(entry.getHelpFile()));
    say("  GUI script   " + quoted(entry.getGUIScript()));
    say("tkhost: host version " + std::to_string(options.version[0]) + "." +
        std::to_string(options.version[1]) + "." + std::to_string(options.version[2]));

    LMTKPluginInterface *plugin = nullptr;
    if (!call_plugin("createPlugin", [&] { plugin = entry.createPlugin(); }))
        return kExitPlugin;
    if (plugin == nullptr)
        return fail(kExitPlugin, "createPlugin returned no plugin object");

    auto destroy = [&] {
        say("tkhost: destroying the plugin");
        bool ok = call_plugin("its destructor", [&] { delete plugin; });
        plugin = nullptr;
        return ok;
    };

    say("tkhost: initPlugin");
    bool initialised = false;
    if (!call_plugin("initPlugin", [&] { initialised = plugin->initPlugin(); })) {
        destroy();
        return kExitPlugin;
    }
    say(std::string("  initPlugin -> ") + (initialised ? "true" : "false"));
    if (!initialised) {
        say("tkhost: the plugin refuses to run; no steps are played");
        destroy();
        return kExitPlugin;
    }

    int status = kExitSession;
    for (std::size_t n = 0; n < options.steps.size(); n++) {
        const Step &step = options.steps[n];
        say(step_heading(n + 1, step));
        for (const auto &preset : step.presets)
            say("  set " + preset.first + " = " + preset.second.describe());
        prepare_step(step, h);

        const std::size_t first_dialog = h.dialogs.size();
        std::size_t first_write = h.writes.size();
        bool result = false;
        if (!call_plugin("execute", [&] { result = plugin->execute(); })) {
            destroy();
            return kExitPlugin;
        }
        say(std::string("  execute -> ") + (result ? "true" : "false"));
        if (!h.answers.empty()) {
            say("  (no dialog was shown; the step's answer was not used)");
            h.answers.clear();
        }
        if (h.writes.size() == first_write) {
            say("  parameters written: none");
        } else {
            say("  parameters written:");
            for (std::size_t w = first_write; w < h.writes.size(); w++)
                say("    " + h.writes[w].name + " = " + h.writes[w].value.describe());
        }
        if (!result)
            status = kExitPlugin;
        for (const Expectation &expectation : step.expectations) {
            const std::string why = unmet(expectation, h, first_dialog, first_write);
            say("  check " + expectation.written + ": " + (why.empty() ? "ok" : "FAILED, " + why));
            if (!why.empty())
                status = kExitPlugin;
        }
    }

    if (!destroy())
        return kExitPlugin;
    std::size_t unexpected = h.unexpected.size();
    say("tkhost: session finished: " + std::to_string(options.steps.size()) + " step(s), " +
        std::to_string(unexpected) + " unexpected host call(s)");
    // The library stays loaded until the process ends: a plugin may have left
    // exit handlers behind.
    return status;
}

}  // namespace tkhost
