// tkhost --validate: reads the request, runs the contract checks and the
// behaviour checks of the plugin's script, each in a child process, and
// reports one line per check.
#include "validate.h"

#include "checks.h"

#include <sys/wait.h>
#include <unistd.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tkhost {
namespace {

enum class Verdict { Pass, Fail, Skip };

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
            why = check(plugin);
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

int usage_error(const std::string &line)
{
    std::fprintf(stderr, "tkhost: %s\n", line.c_str());
    return kExitUsage;
}

// The commands the plugin's script sends, each once, or a made-up one.
std::vector<std::string> script_commands(const std::vector<ScriptCheck> &script)
{
    std::vector<std::string> commands;
    for (const ScriptCheck &check : script)
        for (const Step &step : check.session.steps)
            if (std::find(commands.begin(), commands.end(), step.command) == commands.end())
                commands.push_back(step.command);
    if (commands.empty())
        commands.push_back("Run");
    return commands;
}

}  // namespace

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
    plugin.library = load_plugin(plugin.path);
    if (plugin.library == nullptr) {
        const char *why = dlerror();
        return usage_error("cannot load plugin '" + path +
                           "': " + (why != nullptr ? why : "unknown error"));
    }
    plugin.commands = script_commands(script);
    std::printf("tkhost: validating %s\n", path.c_str());

    // Every other check looks the entry points up, so they come first, and
    // without them nothing else can run: each selected check is named as
    // skipped.
    const std::string why = contract[0].run(plugin);
    if (!why.empty()) {
        std::printf("FAIL %s: %s\n", contract[0].title.c_str(), why.c_str());
        const char *reason = "not run without the plugin's own entry points";
        for (std::size_t c = 1; c < contract.size(); c++)
            if (selected(contract[c].name))
                std::printf("SKIP %s: %s\n", contract[c].title.c_str(), reason);
        for (const ScriptCheck &check : script)
            if (selected(check.name))
                std::printf("SKIP %s: %s\n", check.name.c_str(), reason);
        std::printf("tkhost: some checks FAILED\n");
        return kExitPlugin;
    }
    if (selected(contract[0].name))
        std::printf("PASS %s\n", contract[0].title.c_str());

    bool passed = true;
    for (std::size_t c = 1; c < contract.size(); c++) {
        if (!selected(contract[c].name))
            continue;
        if (contract[c].without_own_handle)
            dlclose(plugin.library);
        passed &= run_check(contract[c].title, plugin, contract[c].run) != Verdict::Fail;
        if (contract[c].without_own_handle)
            plugin.library = load_plugin(plugin.path);
    }
    if (std::any_of(script.begin(), script.end(),
                    [&](const ScriptCheck &c) { return selected(c.name); }))
        std::printf("tkhost: behaviour checks of %s\n", request.script.c_str());
    for (const ScriptCheck &check : script)
        if (selected(check.name))
            passed &= run_check(check.name, plugin, [&](const Plugin &p) {
                          return play(p.library, check.session);
                      }) != Verdict::Fail;
    dlclose(plugin.library);
    std::printf("tkhost: %s\n", passed ? "all checks passed" : "some checks FAILED");
    return passed ? kExitSession : kExitPlugin;
}

}  // namespace tkhost
