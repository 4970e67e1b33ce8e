// What the two halves of tkhost --validate share: the plugin under test, the
// form of a check, and a fresh host and plugin for each check. contract.cpp
// holds the checks every plugin must pass, behaviour.cpp plays the checks of
// a plugin's own script, validate.cpp runs both.
#ifndef TKHOST_CHECKS_H
#define TKHOST_CHECKS_H

#include "host.h"
#include "host_api.h"
#include "session.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tkhost {

struct Plugin {
    std::string path;
    void *library = nullptr;
    // The commands the refused-host, careless-host and leak checks send:
    // every command of the script, or one made-up command without a script.
    std::vector<std::string> commands;
};

// A check returns an empty text when it passed, kSkipped and the reason when
// it cannot be judged here, else why it failed.
using Check = std::function<std::string(const Plugin &plugin)>;
extern const std::string kSkipped;

// A contract check: its name for --only, its title in the report, and the
// check itself. The first, "entry-points", runs in tkhost's own process
// (every other check looks the entry points up); the others run in a child.
struct ContractCheck {
    const char *name;
    std::string title;
    Check run;
    bool without_own_handle = false;  // runs while tkhost has closed its handle
};

std::vector<ContractCheck> contract_checks(int loads);

void *load_plugin(const std::string &path);

// Resets the process's host to a fresh one of the given version.
void fresh_host(const int version[3]);

using PluginPointer = std::unique_ptr<LMTKPluginInterface>;

// The plugin created and initialised by the host, or null with the reason in
// why.
PluginPointer started_plugin(void *library, const int version[3], std::string &why);

// Plays one behaviour check of a script on a fresh host and plugin: the
// first unmet expectation, a refused initialisation or an execute() that
// returns false fails it.
std::string play(void *library, const Options &session);

}  // namespace tkhost

#endif  // TKHOST_CHECKS_H
