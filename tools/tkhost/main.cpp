// tkhost: plays a Lumarin TK batch-processing wizard session with a plugin,
// without the real host. See README.md.
#include "session.h"

#include <cstdio>

int main(int argc, char **argv)
{
    tkhost::Options options;
    std::string error;
    if (!tkhost::parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "tkhost: %s (see tkhost --help)\n", error.c_str());
        return tkhost::kExitUsage;
    }
    if (options.help) {
        std::fputs(tkhost::usage().c_str(), stdout);
        return tkhost::kExitSession;
    }
    return tkhost::run_session(options);
}
