// tkhost --validate: checks a plugin against the host's expectations, in the
// spirit of plugin validators. Each check runs in a child process, so a plugin
// that crashes fails that check and the others still run.
#ifndef TKHOST_VALIDATE_H
#define TKHOST_VALIDATE_H

#include <string>

namespace tkhost {

constexpr int kDefaultValidationLoads = 1000;

// Runs every check on the plugin at `path`, loading and unloading it `loads`
// times in the load check. Prints one "PASS <check>" or "FAIL <check>: <why>"
// line per check and returns 0 when all passed, 1 otherwise (2 when the file
// cannot be loaded at all).
int validate_plugin(const std::string &path, int loads);

}  // namespace tkhost

#endif  // TKHOST_VALIDATE_H
