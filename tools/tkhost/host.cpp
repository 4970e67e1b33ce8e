// The simulated Lumarin TK host: its state (parameter store, log, message
// boxes, open-file dialogs) and the plugin-API functions that act on it.
//
// The functions a batch-processing plugin needs are simulated here (version,
// log, message box, open-file dialog, parameter store), with C linkage and
// default visibility so that a plugin finds them with dlsym() on the running
// program. Every other function of the API is a stub in stubs.cpp that records
// the call, writes "unexpected host call: <name>" to the host log and returns
// zero or null.
#include "host_api.h"

#include "host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <type_traits>

namespace tkhost {

Value Value::of_text(const std::string &text)
{
    Value v;
    v.kind = Kind::Text;
    v.text = text;
    return v;
}

Value Value::of_int(int integer)
{
    Value v;
    v.kind = Kind::Int;
    v.integer = integer;
    return v;
}

Value Value::of_float(float real)
{
    Value v;
    v.kind = Kind::Float;
    v.real = real;
    return v;
}

std::string Value::as_text() const
{
    switch (kind) {
    case Kind::Int:
        return std::to_string(integer);
    case Kind::Float: {
        std::ostringstream s;
        s << real;
        return s.str();
    }
    case Kind::Text:
        break;
    }
    return text;
}

std::string round_trip(double number)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", number);
    return text;
}

std::string Value::describe() const
{
    switch (kind) {
    case Kind::Int:
        return as_text() + " (int)";
    case Kind::Float:
        return round_trip(real) + " (float)";
    case Kind::Text:
        break;
    }
    return "\"" + text + "\"";
}

bool Value::operator==(const Value &other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::Int:
        return integer == other.integer;
    case Kind::Float:
        return real == other.real;
    case Kind::Text:
        break;
    }
    return text == other.text;
}

DialogAnswer DialogAnswer::choose(const std::string &path)
{
    DialogAnswer a;
    a.chosen = true;
    a.path = path;
    return a;
}

DialogAnswer DialogAnswer::cancel()
{
    return DialogAnswer();
}

void Host::reset()
{
    *this = Host();
}

std::size_t Host::count(const std::string &function) const
{
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), function));
}

Host &host()
{
    static Host the_host;
    return the_host;
}

namespace {

std::string text_of(const char *text)
{
    return text != nullptr ? std::string(text) : std::string();
}

// Host notes and log lines go to the log stream; flushing keeps them in order
// with message boxes and prompts on the other stream.
void note(const std::string &line)
{
    Host &h = host();
    if (h.log_stream != nullptr) {
        std::fprintf(h.log_stream, "%s\n", line.c_str());
        std::fflush(h.log_stream);
    }
}

void append_log(const std::string &text)
{
    host().log.push_back(text);
    note("[log] " + text);
}

// Copies text into a plugin's buffer of `capacity` bytes, cut to fit, always
// terminated. Returns false when the text had to be cut.
bool copy_out(const std::string &text, char *buffer, std::size_t capacity)
{
    std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n == text.size();
}

// Hands a text the plugin passed as writable to the test hook, if any.
void scribble(char *text)
{
    if (host().writable_text_hook && text != nullptr)
        host().writable_text_hook(text);
}

void record_write(const char *name, const Value &value)
{
    Host &h = host();
    std::string key = text_of(name);
    h.parameters[key] = value;
    h.writes.push_back(ParameterWrite{key, value});
}

const Value *find_parameter(const char *name)
{
    if (name == nullptr)
        return nullptr;
    auto it = host().parameters.find(name);
    return it != host().parameters.end() ? &it->second : nullptr;
}

// A parameter as tkGetIntParameter and tkGetFloatParameter hand it out: a
// stored number converted to T, a text read as a T as far as it reads as one,
// 0 when there is no such parameter.
template <typename T>
T number_parameter(const char *name)
{
    const Value *found = find_parameter(name);
    if (found == nullptr)
        return T(0);
    switch (found->kind) {
    case Value::Kind::Int:
        return static_cast<T>(found->integer);
    case Value::Kind::Float:
        return static_cast<T>(found->real);
    case Value::Kind::Text:
        break;
    }
    if constexpr (std::is_same_v<T, int>)
        return static_cast<int>(std::strtol(found->text.c_str(), nullptr, 10));
    else
        return std::strtof(found->text.c_str(), nullptr);
}

// Asks on the terminal for the answer to an open-file dialog.
DialogAnswer ask_on_terminal(const DialogRequest &request)
{
    Host &h = host();
    if (h.log_stream != nullptr)
        std::fflush(h.log_stream);
    if (h.prompt_stream != nullptr) {
        std::fprintf(h.prompt_stream, "Open file: %s\n", request.title.c_str());
        if (!request.name.empty())
            std::fprintf(h.prompt_stream, "  proposed name: %s\n", request.name.c_str());
        std::fprintf(h.prompt_stream,
                     "  filter: %s\n  path (empty line cancels): ", request.filter.c_str());
        std::fflush(h.prompt_stream);
    }
    if (h.answer_stream == nullptr)
        return DialogAnswer::cancel();
    std::string line;
    int c;
    bool got_any = false;
    while ((c = std::fgetc(h.answer_stream)) != EOF) {
        got_any = true;
        if (c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!got_any && h.prompt_stream != nullptr)
        std::fprintf(h.prompt_stream, "(end of input)\n");
    return line.empty() ? DialogAnswer::cancel() : DialogAnswer::choose(line);
}

}  // namespace

void report_unexpected_call(const char *name)
{
    Host &h = host();
    h.calls.push_back(name);
    h.unexpected.push_back(name);
    append_log(std::string("unexpected host call: ") + name);
}

}  // namespace tkhost

using tkhost::host;

// ---- Simulated functions ----

TKHOST_API void tkGetVersionOfLumarinTK(int *major, int *minor, int *subminor)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkGetVersionOfLumarinTK");
    if (h.version_override)
        return h.version_override(major, minor, subminor);
    if (major != nullptr)
        *major = h.version_major;
    if (minor != nullptr)
        *minor = h.version_minor;
    if (subminor != nullptr)
        *subminor = h.version_subminor;
}

TKHOST_API void tkShowLogPane()
{
    host().calls.push_back("tkShowLogPane");
    tkhost::note("[host] log pane shown");
}

TKHOST_API void tkShowLogTab()
{
    host().calls.push_back("tkShowLogTab");
    tkhost::note("[host] log tab brought to front");
}

TKHOST_API void tkLogText(const char *text)
{
    host().calls.push_back("tkLogText");
    tkhost::append_log(tkhost::text_of(text));
}

TKHOST_API void tkMessageBox(const char *text)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkMessageBox");
    h.message_boxes.push_back(tkhost::text_of(text));
    if (h.log_stream != nullptr)
        std::fflush(h.log_stream);
    if (h.message_stream != nullptr) {
        std::fprintf(h.message_stream, "[message box] %s\n", tkhost::text_of(text).c_str());
        std::fflush(h.message_stream);
    }
}

TKHOST_API int tkGetOpenFileName(const char *title, const char *name, const char *filter,
                                 char *path)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkGetOpenFileName");
    tkhost::DialogRequest request{tkhost::text_of(title), tkhost::text_of(name),
                                  tkhost::text_of(filter)};
    h.dialogs.push_back(request);
    if (h.open_file_override)
        return h.open_file_override(path);

    tkhost::DialogAnswer answer;
    if (!h.answers.empty()) {
        answer = h.answers.front();
        h.answers.pop_front();
    } else if (h.interactive) {
        answer = tkhost::ask_on_terminal(request);
    }

    std::string shown = "[dialog] \"" + request.title + "\"";
    if (!request.name.empty())
        shown += ", proposed name \"" + request.name + "\"";
    shown += ", filter \"" + request.filter + "\" -> ";
    if (!answer.chosen || path == nullptr) {
        tkhost::note(shown + "cancelled");
        return 0;
    }
    if (!tkhost::copy_out(answer.path, path, tkhost::kPathCapacity))
        tkhost::note("[host] chosen path cut to " + std::to_string(tkhost::kPathCapacity - 1) +
                     " bytes to fit the plugin's buffer");
    tkhost::note(shown + "\"" + std::string(path) + "\"");
    return 1;
}

TKHOST_API int tkGetStringParameter(char *name, char *value)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkGetStringParameter");
    int found_it = 0;
    if (h.string_parameter_override) {
        found_it = h.string_parameter_override(name, value);
    } else if (value != nullptr) {
        const tkhost::Value *found = tkhost::find_parameter(name);
        tkhost::copy_out(found != nullptr ? found->as_text() : std::string(), value,
                         tkhost::kTextParameterCapacity);
        found_it = found != nullptr ? 1 : 0;
    }
    tkhost::scribble(name);
    return found_it;
}

TKHOST_API int tkGetIntParameter(char *name)
{
    host().calls.push_back("tkGetIntParameter");
    return tkhost::number_parameter<int>(name);
}

TKHOST_API float tkGetFloatParameter(char *name)
{
    host().calls.push_back("tkGetFloatParameter");
    return tkhost::number_parameter<float>(name);
}

TKHOST_API void tkSetStringParameter(char *name, char *value)
{
    host().calls.push_back("tkSetStringParameter");
    tkhost::record_write(name, tkhost::Value::of_text(tkhost::text_of(value)));
    tkhost::scribble(name);
    tkhost::scribble(value);
}

TKHOST_API void tkSetIntParameter(char *name, int value)
{
    host().calls.push_back("tkSetIntParameter");
    tkhost::record_write(name, tkhost::Value::of_int(value));
    tkhost::scribble(name);
}

TKHOST_API void tkSetFloatParameter(char *name, float value)
{
    host().calls.push_back("tkSetFloatParameter");
    tkhost::record_write(name, tkhost::Value::of_float(value));
}
