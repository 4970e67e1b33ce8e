// The checks of tkhost --validate.
#include "validate.h"

#include "host.h"
#include "host_api.h"
#include "session.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// A check returns an empty text when it passed, kSkipped and the reason when
// it cannot be judged here, else why it failed.
using Check = std::function<std::string(void *library)>;
const std::string kSkipped = "skipped: ";

struct Plugin {
    std::string path;
    void *library = nullptr;
    // The commands the refused-host, careless-host and leak checks send:
    // every command of the script, or one made-up command without a script.
    std::vector<std::string> commands;
};

enum class Verdict { Pass, Fail, Skip };

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
Verdict run_check(const std::string &name, const Plugin &plugin, const Check &check)
{
    int fds[2];
    if (pipe(fds) != 0) {
        std::printf("FAIL %s: cannot create a pipe\n", name.c_str());
        return Verdict::Fail;
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
    Verdict result = Verdict::Fail;
    if (verdict == "ok") {
        result = Verdict::Pass;
        std::printf("PASS %s\n", name.c_str());
    } else if (verdict.compare(0, kSkipped.size(), kSkipped) == 0) {
        result = Verdict::Skip;
        std::printf("SKIP %s: %s\n", name.c_str(), verdict.c_str() + kSkipped.size());
    } else {
        std::printf("FAIL %s: %s\n", name.c_str(), verdict.c_str());
    }
    std::fflush(stdout);
    return result;
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

// The plugin created and initialised by a fresh host of the given version, or
// null with the reason in why.
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

const int kHostVersion[3] = {2, 3, 0};

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

// A host older than any plugin accepts; a careless one calls execute() after
// the refusal all the same, and the plugin must then do nothing.
std::string refused_host_stays_quiet(void *library, const std::vector<std::string> &commands)
{
    fresh_host(0, 0, 0);
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
            fresh_host(2, 3, 0);
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
        fresh_host(2, 3, 0);
        std::string why;
        PluginPointer plugin = started_plugin(library, kHostVersion, why);
        for (const std::string &command : commands)
            if (plugin != nullptr)
                run_command(*plugin, command, DialogAnswer::choose("/validate/leak.fmr"));
        plugin.reset();
        fresh_host(2, 3, 0);
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

// Plays one behaviour check of a script on a fresh host and plugin: the
// first unmet expectation, a refused initialisation or an execute() that
// returns false fails it.
std::string play(void *library, const Options &session)
{
    fresh_host(session.version[0], session.version[1], session.version[2]);
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

// ---- the script ----

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

struct ContractCheck {
    const char *name;
    std::string title;
};

std::vector<ContractCheck> contract_checks(int loads)
{
    return {
        {"entry-points", "entry points"},
        {"metadata", "metadata"},
        {"load-unload", "load and unload " + std::to_string(loads) + " times"},
        {"lifecycle", "create, initialise and destroy 100 times"},
        {"refused-host", "refused host: execute does nothing"},
        {"careless-host", "careless host writing 1000 bytes into each buffer"},
        {"no-host-functions", "host without plugin-API functions: initPlugin refuses"},
        {"no-leak", "no leak over " + std::to_string(kLeakCycles) +
                        " create, initialise, execute and destroy cycles"},
    };
}

int usage_error(const std::string &line)
{
    std::fprintf(stderr, "tkhost: %s\n", line.c_str());
    return kExitUsage;
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

bool parse_validation(const std::vector<std::string> &args, bool list, ValidationRequest &request,
                      std::string &error)
{
    request.list = list;
    for (std::size_t i = 0; i < args.size(); i++) {
        const std::string &arg = args[i];
        const bool has_value = i + 1 < args.size();
        if (arg == "--list-checks") {
            request.list = true;
        } else if ((arg == "--script" || arg == "--only" || arg == "--loads") && !has_value) {
            error = "option '" + arg + "' needs a value";
            return false;
        } else if (arg == "--script") {
            request.script = args[++i];
        } else if (arg == "--only") {
            request.only.push_back(args[++i]);
        } else if (arg == "--loads") {
            const std::string &text = args[++i];
            char *end = nullptr;
            const long loads = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || loads < 1 || loads > 1000000) {
                error = "bad number of loads '" + text + "'";
                return false;
            }
            request.loads = static_cast<int>(loads);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "' for --validate";
            return false;
        } else if (request.plugin.empty() && !arg.empty()) {
            request.plugin = arg;
        } else {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (request.plugin.empty() && !request.list) {
        error = "--validate needs a plugin";
        return false;
    }
    return true;
}

int validate_plugin(const ValidationRequest &request)
{
    std::vector<ScriptCheck> script;
    std::string error;
    if (!request.script.empty() && !read_script(request.script, script, error))
        return usage_error(error);
    const std::vector<ContractCheck> contract = contract_checks(request.loads);

    for (const std::string &name : request.only) {
        const bool known = std::any_of(contract.begin(), contract.end(),
                                       [&](const ContractCheck &c) { return name == c.name; }) ||
                           std::any_of(script.begin(), script.end(),
                                       [&](const ScriptCheck &c) { return name == c.name; });
        if (!known)
            return usage_error("no check named '" + name + "' (tkhost --list-checks names them)");
    }
    if (request.list) {
        std::printf("contract checks (every plugin):\n");
        for (const ContractCheck &c : contract)
            std::printf("  %-18s %s\n", c.name, c.title.c_str());
        if (!script.empty())
            std::printf("behaviour checks of %s:\n", request.script.c_str());
        for (const ScriptCheck &c : script)
            std::printf("  %s\n", c.name.c_str());
        return kExitSession;
    }
    const auto selected = [&](const std::string &name) {
        return request.only.empty() ||
               std::find(request.only.begin(), request.only.end(), name) != request.only.end();
    };

    Plugin plugin;
    const std::string &path = request.plugin;
    plugin.path = path.find('/') == std::string::npos ? "./" + path : path;
    plugin.library = load(plugin.path);
    if (plugin.library == nullptr) {
        const char *why = dlerror();
        return usage_error("cannot load plugin '" + path +
                           "': " + (why != nullptr ? why : "unknown error"));
    }
    for (const ScriptCheck &check : script)
        for (const Step &step : check.session.steps)
            if (std::find(plugin.commands.begin(), plugin.commands.end(), step.command) ==
                plugin.commands.end())
                plugin.commands.push_back(step.command);
    if (plugin.commands.empty())
        plugin.commands.push_back("Run");
    std::printf("tkhost: validating %s\n", path.c_str());

    // Every other check looks the entry points up, so they come first.
    const std::string why = entry_points(plugin.library);
    if (!why.empty()) {
        std::printf("FAIL entry points: %s\n", why.c_str());
        return kExitPlugin;
    }
    if (selected("entry-points"))
        std::printf("PASS entry points\n");

    const std::vector<std::string> &commands = plugin.commands;
    const std::vector<std::pair<const char *, Check>> runs = {
        {"metadata", metadata},
        {"load-unload", [&](void *) { return loads_and_unloads(plugin.path, request.loads); }},
        {"lifecycle", lifecycle},
        {"refused-host",
         [&](void *library) { return refused_host_stays_quiet(library, commands); }},
        {"careless-host", [&](void *library) { return careless_host(library, commands); }},
        {"no-host-functions", [&](void *) { return host_without_functions(plugin.path); }},
        {"no-leak", [&](void *library) { return no_leak(library, commands); }},
    };
    bool passed = true;
    for (std::size_t c = 0; c < runs.size(); c++) {
        if (!selected(runs[c].first))
            continue;
        // The load check runs without the validator's own reference.
        const bool own_handle = std::strcmp(runs[c].first, "load-unload") == 0;
        if (own_handle)
            dlclose(plugin.library);
        passed &= run_check(contract[c + 1].title, plugin, runs[c].second) != Verdict::Fail;
        if (own_handle)
            plugin.library = load(plugin.path);
    }
    if (!script.empty() && std::any_of(script.begin(), script.end(),
                                       [&](const ScriptCheck &c) { return selected(c.name); }))
        std::printf("tkhost: behaviour checks of %s\n", request.script.c_str());
    for (const ScriptCheck &check : script)
        if (selected(check.name))
            passed &= run_check(check.name, plugin, [&](void *library) {
                          return play(library, check.session);
                      }) != Verdict::Fail;
    dlclose(plugin.library);
    std::printf("tkhost: %s\n", passed ? "all checks passed" : "some checks FAILED");
    return passed ? kExitSession : kExitPlugin;
}

}  // namespace tkhost
