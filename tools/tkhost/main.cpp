// tkhost: plays a Lumarin TK batch-processing wizard session with a plugin,
// without the real host. See README.md.
#include "session.h"
#include "validate.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    // tkhost --validate PLUGIN [--loads N]
    if (argc >= 2 && std::string(argv[1]) == "--validate") {
        int loads = tkhost::kDefaultValidationLoads;
        if (argc == 5 && std::string(argv[3]) == "--loads")
            loads = std::atoi(argv[4]);
        if ((argc != 3 && argc != 5) || loads < 1) {
            std::fprintf(stderr, "tkhost: usage: tkhost --validate PLUGIN [--loads N]\n");
            return tkhost::kExitUsage;
        }
        return tkhost::validate_plugin(argv[2], loads);
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
