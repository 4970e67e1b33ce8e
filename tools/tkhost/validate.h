// tkhost --validate: checks a plugin against the host's expectations, in the
// spirit of plugin validators. The contract checks hold for every plugin; the
// behaviour checks come from a script its author writes (--script FILE). Each
// check runs in a child process, so a plugin that crashes fails that check and
// the others still run.
#ifndef TKHOST_VALIDATE_H
#define TKHOST_VALIDATE_H

#include "session.h"

#include <string>
#include <vector>

namespace tkhost {

constexpr int kDefaultValidationLoads = 1000;

// One behaviour check of a script: a name and the steps it plays, with their
// expectations, on a freshly created and initialised plugin.
struct ScriptCheck {
    std::string name;
    Options session;
};

struct ValidationRequest {
    std::string plugin;
    std::string script;  // empty: contract checks only
    int loads = kDefaultValidationLoads;
    std::vector<std::string> only;  // names of the checks to run; empty: all
    bool list = false;              // --list-checks: name the checks, run none
};

// Reads the arguments after "--validate" (or "--list-checks", with `list`).
// On failure returns false with a one-line reason.
bool parse_validation(const std::vector<std::string> &args, bool list, ValidationRequest &request,
                      std::string &error);

// Reads a script of behaviour checks: lines of tkhost options as on the
// command line (words split at blanks, "..." or '...' keep blanks together),
// `#` starts a comment line, and each `--check NAME` starts a check that runs
// the options up to the next one. On failure returns false with
// "FILE:LINE: reason".
bool read_script(const std::string &path, std::vector<ScriptCheck> &checks, std::string &error);

// Runs the requested checks, printing one "PASS <check>", "FAIL <check>: <why>"
// or "SKIP <check>: <why>" line each, or with `list` prints their names.
// Returns 0 when none failed, 1 when one did, 2 for a plugin or script that
// cannot be read or a check name that does not exist.
int validate_plugin(const ValidationRequest &request);

}  // namespace tkhost

#endif  // TKHOST_VALIDATE_H
