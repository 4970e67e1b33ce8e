// The checks of tkhost --validate.
#include "validate.h"

#include "host.h"
#include "host_api.h"
#include "session.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tkhost {
namespace {

const char *const kEntryPoints[] = {"createPlugin", "getPluginName", "getPluginDescription",
                                    "getAuthor",    "getHelpFile",   "getPluginVersion",
                                    "getGUIScript"};
const char *const kMetadataGetters[] = {"getPluginName", "getPluginDescription", "getAuthor",
                                        "getHelpFile",   "getPluginVersion",     "getGUIScript"};

using TextGetter = const char *(*)();
using CreatePluginFunction = LMTKPluginInterface *(*)();

// A check returns an empty text when it passed, else why it failed.
using Check = std::function<std::string(void *library)>;

struct Plugin {
    std::string path;
    void *library = nullptr;
};

void *load(const std::string &path)
{
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

CreatePluginFunction creator(void *library)
{
    return reinterpret_cast<CreatePluginFunction>(dlsym(library, "createPlugin"));
}

// Runs the check in a child process and reports it. The child writes its
// verdict through a pipe; a child that dies by a signal or exits without a
// verdict fails the check.
bool run_check(const char *name, const Plugin &plugin, const Check &check)
{
    int fds[2];
    if (pipe(fds) != 0) {
        std::printf("FAIL %s: cannot create a pipe\n", name);
        return false;
    }
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string why;
        try {
            why = check(plugin.library);
        } catch (...) {
            why = "the plugin threw an exception";
        }
        why = why.empty() ? "ok" : why;
        if (write(fds[1], why.data(), why.size()) < 0)
            _exit(3);
        _exit(0);
    }
    close(fds[1]);
    std::string verdict;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        verdict.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status))
        verdict = "the plugin crashed (signal " + std::to_string(WTERMSIG(status)) + ", " +
                  strsignal(WTERMSIG(status)) + ")";
    else if (verdict.empty())
        verdict = "the plugin ended the process (exit status " +
                  std::to_string(WEXITSTATUS(status)) + ")";
    const bool passed = verdict == "ok";
    if (passed)
        std::printf("PASS %s\n", name);
    else
        std::printf("FAIL %s: %s\n", name, verdict.c_str());
    std::fflush(stdout);
    return passed;
}

void fresh_host(int major, int minor, int subminor)
{
    Host &h = host();
    h.reset();
    h.version_major = major;
    h.version_minor = minor;
    h.version_subminor = subminor;
}

// A text of at most `limit` bytes, or why not.
std::string check_text(const char *name, const char *text, std::size_t limit)
{
    if (text == nullptr)
        return std::string(name) + " returned null";
    if (memchr(text, '\0', limit) == nullptr)
        return std::string(name) + " returned a text longer than " + std::to_string(limit - 1) +
               " bytes";
    return "";
}

using PluginPointer = std::unique_ptr<LMTKPluginInterface>;

// The plugin created and initialised by a fresh 2.3.0 host, or null with the
// reason in why.
PluginPointer started_plugin(void *library, std::string &why)
{
    fresh_host(2, 3, 0);
    PluginPointer plugin(creator(library)());
    if (plugin == nullptr || !plugin->initPlugin()) {
        why = "the plugin does not initialise with a 2.3.0 host";
        return nullptr;
    }
    return plugin;
}

// The script asks for `command`; the next dialog gets `answer`.
void run_command(LMTKPluginInterface &plugin, const char *command, const DialogAnswer &answer)
{
    host().parameters["Command"] = Value::of_text(command);
    host().answers.push_back(answer);
    plugin.execute();
}

// Empty when the plugin neither showed a dialog nor wrote a parameter, else
// what it should not have done that for.
std::string host_untouched(const std::string &after)
{
    if (!host().dialogs.empty() || !host().writes.empty())
        return after + " showed a dialog or wrote parameters";
    return "";
}

std::string metadata(void *library)
{
    for (const char *getter : kMetadataGetters) {
        auto get = reinterpret_cast<TextGetter>(dlsym(library, getter));
        const char *first = get();
        std::string why = check_text(getter, first, 4096);
        if (!why.empty())
            return why;
        if (get() != first)
            return std::string(getter) + " returned different storage on a second call";
    }
    for (const char *getter : {"getPluginName", "getPluginVersion", "getGUIScript"})
        if (reinterpret_cast<TextGetter>(dlsym(library, getter))()[0] == '\0')
            return std::string(getter) + " returned an empty text";
    return "";
}

std::string loads_and_unloads(const std::string &path, int loads)
{
    for (int i = 0; i < loads; i++) {
        void *library = load(path);
        if (library == nullptr)
            return "load " + std::to_string(i + 1) + " failed: " + dlerror();
        if (dlsym(library, "getPluginName") == nullptr)
            return "load " + std::to_string(i + 1) + " lost its entry points";
        dlclose(library);
        // The plugin must really leave the process, so a reload starts afresh.
        if (void *still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
            dlclose(still);
            return "still loaded after dlclose (unload " + std::to_string(i + 1) + ")";
        }
    }
    return "";
}

std::string lifecycle(void *library)
{
    for (int i = 0; i < 100; i++) {
        fresh_host(2, 3, 0);
        LMTKPluginInterface *plugin = creator(library)();
        if (plugin == nullptr)
            return "createPlugin returned null";
        const bool accepted = plugin->initPlugin();
        delete plugin;
        if (!accepted)
            return "initPlugin refused a 2.3.0 host";
        if (!host().message_boxes.empty())
            return "initPlugin showed a message box to a 2.3.0 host: " + host().message_boxes[0];
    }
    return "";
}

std::string refused_host_stays_quiet(void *library)
{
    fresh_host(0, 0, 0);
    PluginPointer plugin(creator(library)());
    if (plugin == nullptr)
        return "createPlugin returned null";
    if (plugin->initPlugin())
        return "initPlugin accepted a 0.0.0 host";
    // A careless host calls execute() anyway.
    run_command(*plugin, "GetFileName", DialogAnswer::choose("/validate/never.fmr"));
    plugin.reset();
    return host_untouched("execute after a refused initPlugin");
}

struct Command {
    const char *name;
    const char *path_key;
};
const Command kCommands[] = {{"GetFileName", "Filename"},
                             {"GetTargetFileName", "TargetFilename"},
                             {"GetTextFileName", "Filename"}};

// Plays each command once with the dialog chosen (or cancelled) and checks
// what the plugin tells the script.
std::string commands(void *library, bool chosen)
{
    for (const Command &command : kCommands) {
        std::string why;
        PluginPointer plugin = started_plugin(library, why);
        if (plugin == nullptr)
            return why;
        Host &h = host();
        h.parameters["FileType"] = Value::of_text("Lumarin functional project (*.fmr)");
        const std::string path = std::string("/validate/") + command.name + ".fmr";
        run_command(*plugin, command.name,
                    chosen ? DialogAnswer::choose(path) : DialogAnswer::cancel());
        plugin.reset();
        const std::string where = std::string(command.name) + ": ";
        if (h.dialogs.size() != 1)
            return where + std::to_string(h.dialogs.size()) + " dialogs instead of 1";
        const int expected = chosen ? 0 : -1;
        if (!(h.parameters["ErrorNr"] == Value::of_int(expected)))
            return where + "ErrorNr is " + h.parameters["ErrorNr"].describe() + ", expected " +
                   std::to_string(expected);
        if (chosen && !(h.parameters[command.path_key] == Value::of_text(path)))
            return where + command.path_key + " is " + h.parameters[command.path_key].describe();
        if (!chosen && !(h.parameters["ErrorMsg"] == Value::of_text("No file selected")))
            return where + "ErrorMsg is " + h.parameters["ErrorMsg"].describe();
    }
    return "";
}

std::string unknown_command_does_nothing(void *library)
{
    std::string why;
    PluginPointer plugin = started_plugin(library, why);
    if (plugin == nullptr)
        return why;
    run_command(*plugin, "getfilename", DialogAnswer::choose("/validate/never.fmr"));
    plugin.reset();
    return host_untouched("an unknown command");
}

// A host that writes far more than agreed into every buffer it is handed.
std::string careless_host(void *library)
{
    std::string why;
    PluginPointer plugin = started_plugin(library, why);
    if (plugin == nullptr)
        return why;
    Host &h = host();
    h.string_parameter_override = [](const char *name, char *buffer) {
        std::memset(buffer, 'x', 1000);
        std::strcpy(buffer, std::strcmp(name, "Command") == 0 ? "GetFileName" : "Lumarin (*.fmr)");
        buffer[std::strlen(buffer)] = 'x';  // and no terminator for 1000 bytes
        buffer[999] = '\0';
        return 1;
    };
    h.open_file_override = [](char *path) {
        std::memset(path, 'p', 999);
        path[999] = '\0';
        return 1;
    };
    plugin->execute();
    return "";
}

// Runs the plugin in tkhost-nohost, a host process without any plugin-API
// function, found next to this program.
std::string host_without_functions(const std::string &path)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "cannot find tkhost's own directory";
    std::string helper(self, static_cast<std::size_t>(n));
    helper = helper.substr(0, helper.rfind('/') + 1) + "tkhost-nohost";
    const pid_t child = fork();
    if (child == 0) {
        execl(helper.c_str(), helper.c_str(), path.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status))
        return "the plugin crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    switch (WEXITSTATUS(status)) {
    case 0:
        return "";
    case 1:
        return "initPlugin accepted a host without plugin-API functions";
    case 127:
        return "cannot run " + helper;
    default:
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }
}

}  // namespace

int validate_plugin(const std::string &path, int loads)
{
    Plugin plugin;
    plugin.path = path.find('/') == std::string::npos ? "./" + path : path;
    plugin.library = load(plugin.path);
    if (plugin.library == nullptr) {
        const char *why = dlerror();
        std::fprintf(stderr, "tkhost: cannot load plugin '%s': %s\n", path.c_str(),
                     why != nullptr ? why : "unknown error");
        return kExitUsage;
    }
    std::printf("tkhost: validating %s\n", path.c_str());

    std::vector<std::string> missing;
    for (const char *name : kEntryPoints)
        if (dlsym(plugin.library, name) == nullptr)
            missing.push_back(name);
    if (!missing.empty()) {
        std::string list;
        for (const std::string &name : missing)
            list += (list.empty() ? "" : ", ") + name;
        std::printf("FAIL entry points: missing %s\n", list.c_str());
        return kExitPlugin;
    }
    std::printf("PASS entry points\n");

    bool passed = true;
    passed &= run_check("metadata", plugin, metadata);
    // The load check runs without the validator's own reference.
    dlclose(plugin.library);
    plugin.library = nullptr;
    const std::string load_check = "load and unload " + std::to_string(loads) + " times";
    passed &= run_check(load_check.c_str(), plugin,
                        [&](void *) { return loads_and_unloads(plugin.path, loads); });
    plugin.library = load(plugin.path);
    passed &= run_check("create, initialise and destroy 100 times", plugin, lifecycle);
    passed &= run_check("refused host: execute does nothing", plugin, refused_host_stays_quiet);
    passed &= run_check("commands with chosen dialogs", plugin,
                        [](void *library) { return commands(library, true); });
    passed &= run_check("commands with cancelled dialogs", plugin,
                        [](void *library) { return commands(library, false); });
    passed &= run_check("unknown command does nothing", plugin, unknown_command_does_nothing);
    passed &= run_check("careless host writing 1000 bytes into each buffer", plugin, careless_host);
    passed &= run_check("host without plugin-API functions: initPlugin refuses", plugin,
                        [&](void *) { return host_without_functions(plugin.path); });
    dlclose(plugin.library);
    std::printf("tkhost: %s\n", passed ? "all checks passed" : "some checks FAILED");
    return passed ? kExitSession : kExitPlugin;
}

}  // namespace tkhost
