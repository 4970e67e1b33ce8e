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
           "       tkhost --validate PLUGIN.so [--loads N]\n"
           "\n"
           "Loads a Lumarin TK plugin, shows its metadata, creates and initialises it, plays\n"
           "wizard steps and destroys it. The host log goes to stdout, message boxes to stderr.\n"
           "\n"
           "options:\n"
           "  --host-version MAJOR.MINOR.SUBMINOR  version the host reports (default 2.3.0)\n"
           "  --set NAME=TEXT         store a text parameter before the session\n"
           "  --set-int NAME=N        store an int parameter before the session\n"
           "  --set-float NAME=X      store a float parameter before the session\n"
           "  --step COMMAND          add a step: store \"Command\" = COMMAND, call execute()\n"
           "  --filetype TEXT         (after --step) also store \"FileType\" = TEXT\n"
           "  --answer PATH           (after --step) choose PATH in the step's open-file dialog\n"
           "  --cancel                (after --step) cancel the step's open-file dialog\n"
           "  -h, --help              show this text\n"
           "\n"
           "A dialog without --answer or --cancel asks on the terminal (empty line cancels).\n"
           "--validate checks the plugin (entry points, metadata, N loads and unloads, default\n"
           "1000, lifecycle, every command chosen and cancelled, a refused or careless host)\n"
           "and prints one PASS/FAIL line per check; exit status 1 on any failure.\n"
           "exit status: 0 session played, 1 plugin refused to run or misbehaved,\n"
           "2 wrong usage (bad arguments, missing file, not a plugin).\n";
}

bool parse_options(int argc, char **argv, Options &options, std::string &error)
{
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                error = "option '" + arg + "' needs a value";
                return false;
            }
            out = argv[++i];
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
            if (!value(text))
                return false;
            std::string name, raw;
            int i_value = 0;
            float f_value = 0.0f;
            if (!split_assignment(text, name, raw)) {
                error = "option '" + arg + "' expects NAME=VALUE, got '" + text + "'";
                return false;
            }
            if (arg == "--set") {
                options.presets.emplace_back(name, Value::of_text(raw));
            } else if (arg == "--set-int" && parse_int(raw, i_value)) {
                options.presets.emplace_back(name, Value::of_int(i_value));
            } else if (arg == "--set-float" && parse_float(raw, f_value)) {
                options.presets.emplace_back(name, Value::of_float(f_value));
            } else {
                error = "bad value '" + raw + "' for option '" + arg + "'";
                return false;
            }
        } else if (arg == "--step") {
            if (!value(text))
                return false;
            Step step;
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
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "'";
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
    if (!options.help && options.plugin.empty()) {
        error = "no plugin given";
        return false;
    }
    return true;
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
        h.parameters["Command"] = Value::of_text(step.command);
        if (step.has_filetype)
            h.parameters["FileType"] = Value::of_text(step.filetype);
        h.answers.clear();
        if (step.answer == Step::Answer::Choose)
            h.answers.push_back(DialogAnswer::choose(step.path));
        else if (step.answer == Step::Answer::Cancel)
            h.answers.push_back(DialogAnswer::cancel());

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
