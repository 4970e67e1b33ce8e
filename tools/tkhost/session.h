// tkhost's command line and the wizard session it plays with a plugin.
#ifndef TKHOST_SESSION_H
#define TKHOST_SESSION_H

#include "host.h"

#include <string>
#include <utility>
#include <vector>

namespace tkhost {

// What a step expects of the plugin, checked right after its execute(): a
// value in the parameter store, the number of dialogs shown or parameters
// written during the step, or the title or filter of the step's last dialog.
struct Expectation {
    enum class Kind { Value, Dialogs, Writes, Title, Filter };
    Kind kind = Kind::Value;
    std::string name;  // the parameter, for Kind::Value
    Value value;       // the expected value, or the title or filter as a text
    std::size_t count = 0;
    double tolerance = 0.0;  // a float value may differ from `value` by this much
    std::string written;     // as given, "--expect-int ErrorNr=0", for reports
};

// One request of the wizard script: the parameters it stores first, the
// "Command" (and optionally "FileType") it stores before the host calls
// execute(), the user's answer to the open-file dialog the plugin shows, and
// what the plugin should have done by the end of the step.
struct Step {
    enum class Answer { Ask, Choose, Cancel };
    std::vector<std::pair<std::string, Value>> presets;  // stored before this step
    std::string command;
    bool has_filetype = false;
    std::string filetype;
    Answer answer = Answer::Ask;
    std::string path;
    std::vector<Expectation> expectations;
};

struct Options {
    std::string plugin;
    int version[3] = {2, 3, 0};
    std::vector<std::pair<std::string, Value>> presets;  // stored before initPlugin()
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
// A --set comes into effect where it stands: before initPlugin() when it
// precedes every --step, else just before the next step.
bool parse_options(int argc, char **argv, Options &options, std::string &error);

// The same for a list of arguments without the program name; `in_script`
// refuses a plugin path (a --validate script names none).
bool parse_arguments(const std::vector<std::string> &args, bool in_script, Options &options,
                     std::string &error);

// Stores the step's parameters, Command and FileType in the host's store and
// queues its dialog answer; the caller then calls execute().
void prepare_step(const Step &step, Host &host);

// Empty when the expectation holds after a step that began when the host had
// recorded `first_dialog` dialogs and `first_write` writes, else what differs.
std::string unmet(const Expectation &expectation, const Host &host, std::size_t first_dialog,
                  std::size_t first_write);

// The usage text for --help.
std::string usage();

// Loads the plugin, plays the session on the process's host and returns the
// exit status. Errors are one line on stderr.
int run_session(const Options &options);

}  // namespace tkhost

#endif  // TKHOST_SESSION_H
