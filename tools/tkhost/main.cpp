// tkhost: plays a Lumarin TK batch-processing wizard session with a plugin,
// without the real host. See README.md.
#include "session.h"
#include "validate.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    // tkhost --validate PLUGIN [--script FILE] [--only NAME]... [--loads N]
    // tkhost --list-checks [--script FILE]
    if (argc >= 2 &&
        (std::string(argv[1]) == "--validate" || std::string(argv[1]) == "--list-checks")) {
        tkhost::ValidationRequest request;
        std::string error;
        if (!tkhost::parse_validation(std::vector<std::string>(argv + 2, argv + argc),
                                      std::string(argv[1]) == "--list-checks", request, error)) {
            std::fprintf(stderr, "tkhost: %s (see tkhost --help)\n", error.c_str());
            return tkhost::kExitUsage;
        }
        return tkhost::validate_plugin(request);
    }

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
