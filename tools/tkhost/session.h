// tkhost's command line and the wizard session it plays with a plugin.
#ifndef TKHOST_SESSION_H
#define TKHOST_SESSION_H

#include "host.h"

#include <string>
#include <utility>
#include <vector>

namespace tkhost {

// One request of the wizard script: the "Command" (and optionally "FileType")
// it stores before the host calls execute(), and the user's answer to the
// open-file dialog the plugin shows.
struct Step {
    enum class Answer { Ask, Choose, Cancel };
    std::string command;
    bool has_filetype = false;
    std::string filetype;
    Answer answer = Answer::Ask;
    std::string path;
};

struct Options {
    std::string plugin;
    int version[3] = {2, 3, 0};
    std::vector<std::pair<std::string, Value>> presets;  // parameters stored before the session
    std::vector<Step> steps;
    bool help = false;
};

// Exit statuses of tkhost.
constexpr int kExitSession = 0;  // the session was played
constexpr int kExitPlugin = 1;   // the plugin refused to run or misbehaved
constexpr int kExitUsage = 2;    // wrong usage: bad arguments, not a loadable plugin

// Reads a version "MAJOR.MINOR.SUBMINOR" of three (possibly negative) ints.
bool parse_version(const std::string &text, int version[3]);

// Parses the command line; on failure returns false with a one-line reason.
bool parse_options(int argc, char **argv, Options &options, std::string &error);

// The usage text for --help.
std::string usage();

// Loads the plugin, plays the session on the process's host and returns the
// exit status. Errors are one line on stderr.
int run_session(const Options &options);

}  // namespace tkhost

#endif  // TKHOST_SESSION_H
