// The simulated host behind tkhost.
//
// host.cpp defines the 150 functions of the Lumarin TK plugin API with C
// linkage and default visibility, so that a program linked with it (and with
// its symbols exported, -rdynamic) is a host in which a plugin's InitTKAccess()
// finds every function by name. The functions act on the one Host object below:
// a parameter store of text, int and float values, a log, message boxes and an
// open-file dialog answered from a queue or on the terminal. Functions that the
// simulation does not cover record the call and report it in the log as an
// unexpected host call.
//
// Tests use the Host object directly to set up a session and to inspect what a
// plugin did. [single thread: the host's functions are not thread-safe]
#ifndef TKHOST_HOST_H
#define TKHOST_HOST_H

#include <cstddef>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tkhost {

// The host writes at most this many bytes, terminator included, into a
// plugin's text-parameter buffer (tkGetStringParameter) and path buffer
// (tkGetOpenFileName); longer texts are cut.
constexpr std::size_t kTextParameterCapacity = 101;
constexpr std::size_t kPathCapacity = 256;

// A value in the parameter store.
struct Value {
    enum class Kind { Text, Int, Float };
    Kind kind = Kind::Text;
    std::string text;
    int integer = 0;
    float real = 0.0f;

    static Value of_text(const std::string &text);
    static Value of_int(int integer);
    static Value of_float(float real);
    // The value as tkGetStringParameter hands it out: ints and floats in decimal.
    std::string as_text() const;
    // For listings: "\"text\"", "-1 (int)", "2.38499999 (float)" (floats with
    // the nine digits that tell every two floats apart).
    std::string describe() const;
    bool operator==(const Value &other) const;
};

// A number with nine significant digits (%.9g), enough to read any float back
// exactly.
std::string round_trip(double number);

// One write into the parameter store by the plugin.
struct ParameterWrite {
    std::string name;
    Value value;
};

// What the plugin asked the open-file dialog to show.
struct DialogRequest {
    std::string title;
    std::string name;  // second text argument (a proposed file name; shown when not empty)
    std::string filter;
};

// The user's answer to one open-file dialog.
struct DialogAnswer {
    bool chosen = false;
    std::string path;
    static DialogAnswer choose(const std::string &path);
    static DialogAnswer cancel();
};

struct Host {
    // ---- configuration ----
    int version_major = 2;
    int version_minor = 3;
    int version_subminor = 0;
    // Answers for the coming open-file dialogs, first one first. When none is
    // queued, the dialog asks on the terminal if `interactive` (prompt on
    // prompt_stream, one line read from answer_stream, an empty line or end of
    // input cancels) and is cancelled otherwise.
    std::deque<DialogAnswer> answers;
    bool interactive = false;
    std::FILE *prompt_stream = nullptr;
    std::FILE *answer_stream = nullptr;
    // Where log lines, dialogs and other host notes are printed, and where
    // message boxes are shown; null prints nothing (everything is recorded
    // below either way).
    std::FILE *log_stream = nullptr;
    std::FILE *message_stream = nullptr;

    // Test hooks that replace the host's own behaviour, to play a host that
    // does not keep its side of the contract (for example one that fills a
    // buffer without a terminator). Null: normal behaviour.
    std::function<int(const char *name, char *buffer)> string_parameter_override;
    std::function<int(char *path_buffer)> open_file_override;
    std::function<void(int *major, int *minor, int *subminor)> version_override;
    // Called with every text the plugin hands over as writable char * (the
    // names and values of tkGet/SetStringParameter and tkSetIntParameter),
    // after the host has read it; may write into it.
    std::function<void(char *text)> writable_text_hook;

    // ---- state ----
    std::map<std::string, Value> parameters;

    // ---- what happened, in order ----
    std::vector<std::string> calls;  // every host function called, by name
    std::vector<std::string> log;    // the host log
    std::vector<std::string> message_boxes;
    std::vector<DialogRequest> dialogs;
    std::vector<ParameterWrite> writes;   // every tkSet*Parameter call
    std::vector<std::string> unexpected;  // calls of functions not simulated

    // Back to a fresh host: version 2.3.0, empty store, nothing recorded.
    void reset();
    // Number of calls of one host function so far.
    std::size_t count(const std::string &function) const;
};

// The process's one simulated host.
Host &host();

}  // namespace tkhost

#endif  // TKHOST_HOST_H
