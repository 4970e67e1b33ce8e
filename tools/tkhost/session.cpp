// The session tkhost plays with a plugin (the command line is read in
// options.cpp).
//
// The plugin is reached only through its exported entry points and the three
// virtual operations of the object createPlugin() returns, as the real host
// does; tkhost needs none of the plugin's own code.
#define LMTK_HOST_IMPLEMENTATION
#include "LMTKPluginInterface.h"

#include "session.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

namespace tkhost {

namespace {

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
    const Value &got = found->second;
    if (e.tolerance == 0.0 || got.kind != Value::Kind::Float)
        return e.name + " is " + got.describe() + ", expected " + e.value.describe();
    const double off = std::fabs(static_cast<double>(got.real) - static_cast<double>(e.value.real));
    if (off <= e.tolerance)
        return "";
    return e.name + " is " + got.describe() + ", expected " + e.value.describe() + " within " +
           round_trip(e.tolerance) + " (off by " + round_trip(off) + ")";
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
