// The contract checks of tkhost --validate: what every plugin must pass,
// whatever its own commands do.
#include "checks.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The sanitizers' allocators count their own bytes in use; without a
// sanitizer runtime this is null.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace tkhost {
namespace {

const char *const kEntryPoints[] = {"createPlugin", "getPluginName", "getPluginDescription",
                                    "getAuthor",    "getHelpFile",   "getPluginVersion",
                                    "getGUIScript"};
const char *const kMetadataGetters[] = {"getPluginName", "getPluginDescription", "getAuthor",
                                        "getHelpFile",   "getPluginVersion",     "getGUIScript"};

using TextGetter = const char *(*)();
using CreatePluginFunction = LMTKPluginInterface *(*)();

CreatePluginFunction creator(void *library)
{
    return reinterpret_cast<CreatePluginFunction>(dlsym(library, "createPlugin"));
}

const int kHostVersion[3] = {2, 3, 0};
const int kAncientHost[3] = {0, 0, 0};

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

// The script asks for `command`; the next dialog gets `answer`.
void run_command(LMTKPluginInterface &plugin, const std::string &command,
                 const DialogAnswer &answer)
{
    host().parameters["Command"] = Value::of_text(command);
    host().answers.push_back(answer);
    plugin.execute();
}

// Empty when the plugin itself defines the seven entry points, else what is
// wrong. dlsym() on the plugin's handle also searches the libraries the
// plugin links, so an entry point found there (libtessivane's, for a plugin
// that links the numerics) is not the plugin's own.
std::string entry_points(void *library)
{
    link_map *plugin_map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &plugin_map) != 0)
        plugin_map = nullptr;
    std::string missing, borrowed;
    for (const char *name : kEntryPoints) {
        void *symbol = dlsym(library, name);
        Dl_info info;
        if (symbol == nullptr)
            missing += (missing.empty() ? "" : ", ") + std::string(name);
        else if (plugin_map != nullptr && dladdr(symbol, &info) != 0 && info.dli_fname != nullptr &&
                 std::strcmp(info.dli_fname, plugin_map->l_name) != 0)
            borrowed += (borrowed.empty() ? "" : ", ") + std::string(name) + " (from " +
                        info.dli_fname + ")";
    }
    if (!missing.empty())
        return "missing " + missing;
    if (!borrowed.empty())
        return "not defined by the plugin itself: " + borrowed;
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
        void *library = load_plugin(path);
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
        fresh_host(kHostVersion);
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

// A host older than any plugin accepts; a careless one calls execute() after
// the refusal all the same, and the plugin must then do nothing.
std::string refused_host_stays_quiet(void *library, const std::vector<std::string> &commands)
{
    fresh_host(kAncientHost);
    PluginPointer plugin(creator(library)());
    if (plugin == nullptr)
        return "createPlugin returned null";
    if (plugin->initPlugin())
        return "initPlugin accepted a 0.0.0 host";
    for (const std::string &command : commands)
        run_command(*plugin, command, DialogAnswer::choose("/validate/never.fmr"));
    plugin.reset();
    if (!host().dialogs.empty() || !host().writes.empty())
        return "execute after a refused initPlugin showed a dialog or wrote parameters";
    return "";
}

// A host that writes far more than agreed into every buffer it is handed:
// the text asked for, then up to 1000 bytes in all, once with a terminator
// right after the text and once without one before the 1000th byte.
std::string careless_host(void *library, const std::vector<std::string> &commands)
{
    for (const std::string &command : commands)
        for (const bool terminated : {true, false}) {
            fresh_host(kHostVersion);
            std::string why;
            PluginPointer plugin = started_plugin(library, kHostVersion, why);
            if (plugin == nullptr)
                return why;
            Host &h = host();
            h.string_parameter_override = [command, terminated](const char *name, char *buffer) {
                std::memset(buffer, 'x', 999);
                buffer[999] = '\0';
                const std::string text =
                    std::strcmp(name, "Command") == 0 ? command : "careless (*.x)";
                const std::size_t n = std::min<std::size_t>(text.size(), 500);
                std::memcpy(buffer, text.data(), n);
                if (terminated)
                    buffer[n] = '\0';
                return 1;
            };
            h.open_file_override = [](char *path) {
                std::memset(path, 'p', 999);
                path[999] = '\0';
                return 1;
            };
            plugin->execute();
        }
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

std::size_t heap_in_use()
{
    if (__sanitizer_get_current_allocated_bytes != nullptr)
        return __sanitizer_get_current_allocated_bytes();
    return mallinfo2().uordblks;
}

constexpr int kLeakCycles = 200;

// Heap in use must not grow with the number of create, initialise, execute
// and destroy cycles. The first cycles may set up what the plugin or the C++
// runtime keep for good, so they are not counted.
std::string no_leak(void *library, const std::vector<std::string> &commands)
{
    auto cycle = [&]() {
        fresh_host(kHostVersion);
        std::string why;
        PluginPointer plugin = started_plugin(library, kHostVersion, why);
        for (const std::string &command : commands)
            if (plugin != nullptr)
                run_command(*plugin, command, DialogAnswer::choose("/validate/leak.fmr"));
        plugin.reset();
        fresh_host(kHostVersion);
        return why;
    };
    for (int i = 0; i < 10; i++) {
        const std::string why = cycle();
        if (!why.empty())
            return why;
    }
    // Without either count the check cannot judge.
    static void *volatile probe;
    const std::size_t before_probe = heap_in_use();
    probe = std::malloc(1 << 16);
    const bool measurable = heap_in_use() >= before_probe + (1 << 16);
    std::free(probe);
    if (!measurable)
        return kSkipped + "the allocator of this process does not report the memory in use";
    const std::size_t before = heap_in_use();
    for (int i = 0; i < kLeakCycles; i++)
        cycle();
    const std::size_t after = heap_in_use();
    if (after > before + kLeakCycles * 16)
        return "memory in use grew by " + std::to_string(after - before) + " bytes over " +
               std::to_string(kLeakCycles) + " cycles";
    return "";
}

}  // namespace

const std::string kSkipped = "skipped: ";

void *load_plugin(const std::string &path)
{
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void fresh_host(const int version[3])
{
    Host &h = host();
    h.reset();
    h.version_major = version[0];
    h.version_minor = version[1];
    h.version_subminor = version[2];
}

PluginPointer started_plugin(void *library, const int version[3], std::string &why)
{
    PluginPointer plugin(creator(library)());
    if (plugin == nullptr) {
        why = "createPlugin returned null";
        return nullptr;
    }
    if (!plugin->initPlugin()) {
        why = "the plugin does not initialise with a " + std::to_string(version[0]) + "." +
              std::to_string(version[1]) + "." + std::to_string(version[2]) + " host";
        return nullptr;
    }
    return plugin;
}

std::vector<ContractCheck> contract_checks(int loads)
{
    return {
        {"entry-points", "entry points", [](const Plugin &p) { return entry_points(p.library); }},
        {"metadata", "metadata", [](const Plugin &p) { return metadata(p.library); }},
        {"load-unload", "load and unload " + std::to_string(loads) + " times",
         [loads](const Plugin &p) { return loads_and_unloads(p.path, loads); }, true},
        {"lifecycle", "create, initialise and destroy 100 times",
         [](const Plugin &p) { return lifecycle(p.library); }},
        {"refused-host", "refused host: execute does nothing",
         [](const Plugin &p) { return refused_host_stays_quiet(p.library, p.commands); }},
        {"careless-host", "careless host writing 1000 bytes into each buffer",
         [](const Plugin &p) { return careless_host(p.library, p.commands); }},
        {"no-host-functions", "host without plugin-API functions: initPlugin refuses",
         [](const Plugin &p) { return host_without_functions(p.path); }},
        {"no-leak",
         "no leak over " + std::to_string(kLeakCycles) +
             " create, initialise, execute and destroy cycles",
         [](const Plugin &p) { return no_leak(p.library, p.commands); }},
    };
}

}  // namespace tkhost
