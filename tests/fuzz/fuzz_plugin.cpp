// A hostile host against the plugin: parameter texts and dialog paths of any
// bytes and of any length the plugin's buffers hold, writes into every name
// and value the plugin hands over as writable, odd dialog results, versions, a
// version query that throws, and calls in any order (execute before or after
// a refused initPlugin, objects created and destroyed in between). The program
// carries tkhost's simulated host functions and exports them, so the plugin's
// InitTKAccess() finds them. Checked besides memory safety, against the
// host's own record and oracles written here: the plugin calls nothing unless
// the last initPlugin() completed and accepted a host of version 2.3.0 or
// later (compared as a tuple here, not by the plugin's function); it shows
// the dialog exactly for the three command names (the command read as at most
// 100 characters), with a filter of at most 100 characters; and it stores
// exactly the bytes the dialog wrote under the command's key with "ErrorNr" 0,
// or, for a cancelled dialog or a path that fills the whole 4 KiB buffer, the
// "No file selected" error.
#include "host.h"
#include "tessivane.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using tkhost::host;

namespace {

// The plugin's buffers are 4 KiB: a host may write 4095 bytes and a
// terminator into a text, and fill a path buffer completely (which the plugin
// must then refuse).
constexpr std::size_t kHostileLimit = 4095;
constexpr std::size_t kPathBuffer = 4096;

struct HostileHost {
    std::string command, filetype, path;
    int dialog_result = 1;
    std::size_t scribble = 0;  // bytes written into each writable name and value
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void writeRaw(char *buffer, const std::string &text, std::size_t limit)
{
    std::memcpy(buffer, text.data(), text.size() < limit ? text.size() : limit);
}

// What a C string reader finds in a zeroed buffer after writeRaw, cut at `cut`.
std::string readBack(const std::string &text, std::size_t limit, std::size_t cut)
{
    std::string written = text.substr(0, limit);
    return written.substr(0, std::min(std::strlen(written.c_str()), cut));
}

std::string commandName(FuzzedDataProvider &in)
{
    static const char *const names[] = {"GetFileName", "GetTargetFileName", "GetTextFileName"};
    if (in.ConsumeBool())
        return names[in.ConsumeIntegralInRange(0, 2)];
    return in.ConsumeRandomLengthString(kHostileLimit);
}

// The key a command stores its path under, or "" for no command.
std::string pathKey(const std::string &command)
{
    if (command == "GetFileName" || command == "GetTextFileName")
        return "Filename";
    return command == "GetTargetFileName" ? "TargetFilename" : "";
}

void checkedExecute(LMTKPluginInterface *plugin, bool accepted, const HostileHost &hostile)
{
    const std::size_t calls = host().calls.size();
    const std::size_t dialogs = host().dialogs.size();
    const std::size_t writes = host().writes.size();
    const std::size_t log = host().log.size();
    check(plugin->execute());
    if (!accepted) {
        check(host().calls.size() == calls);
        return;
    }
    const std::string command = readBack(hostile.command, kHostileLimit, 100);
    const std::string key = pathKey(command);
    check(host().dialogs.size() == dialogs + (key.empty() ? 0 : 1));
    if (key.empty()) {
        check(host().writes.size() == writes);
        return;
    }
    check(host().dialogs.back().filter ==
          (command == "GetFileName"         ? readBack(hostile.filetype, kHostileLimit, 100)
           : command == "GetTargetFileName" ? "Lumarin functional project (*.fmr)"
                                            : "Text file with source filenames (*.txt)"));
    check(host().writes.size() == writes + 2);
    const tkhost::ParameterWrite &first = host().writes[writes];
    // The dialog filled the whole buffer: the path may have been cut by it.
    const bool overrun =
        hostile.path.size() >= kPathBuffer && hostile.path[kPathBuffer - 1] != '\0';
    if (hostile.dialog_result != 1 || overrun) {
        check(first.name == "ErrorNr" && first.value == tkhost::Value::of_int(-1));
        check(host().writes[writes + 1].name == "ErrorMsg" &&
              host().writes[writes + 1].value == tkhost::Value::of_text("No file selected"));
        check(host().log.size() == log + (hostile.dialog_result == 1 ? 1 : 0));
        check(host().log.size() == log ||
              host().log.back() ==
                  "tessivane: the chosen path does not fit in 4095 bytes; no file selected");
    } else {
        check(first.name == key);
        check(first.value ==
              tkhost::Value::of_text(readBack(hostile.path, kPathBuffer, kHostileLimit)));
        check(host().writes[writes + 1].name == "ErrorNr" &&
              host().writes[writes + 1].value == tkhost::Value::of_int(0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // The verdict on the host is process-wide: every input starts refused.
    host().reset();
    host().version_major = 0;
    LMTKPluginInterface *refused = createPlugin();
    check(!refused->initPlugin());
    delete refused;
    host().reset();
    HostileHost hostile;
    host().string_parameter_override = [&hostile](const char *name, char *buffer) {
        writeRaw(buffer, std::strcmp(name, "Command") == 0 ? hostile.command : hostile.filetype,
                 kHostileLimit);
        return 1;
    };
    host().open_file_override = [&hostile](char *buffer) {
        writeRaw(buffer, hostile.path, kPathBuffer);
        return hostile.dialog_result;
    };
    host().writable_text_hook = [&hostile](char *text) {
        std::memset(text, 'w', hostile.scribble);
        text[hostile.scribble] = '\0';
    };

    std::vector<LMTKPluginInterface *> plugins;
    bool accepted = false;  // the verdict of the last initPlugin()
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; step++) {
        switch (in.ConsumeIntegralInRange(0, 8)) {
        case 0:
            plugins.push_back(createPlugin());
            break;
        case 1:
            if (!plugins.empty()) {
                delete plugins.back();
                plugins.pop_back();
            }
            break;
        case 2:
            if (!plugins.empty()) {
                const int v[3] = {in.ConsumeIntegralInRange(-1, 3),
                                  in.ConsumeIntegralInRange(-1, 4), in.ConsumeIntegral<int>()};
                host().version_major = v[0];
                host().version_minor = v[1];
                host().version_subminor = v[2];
                host().version_override = nullptr;
                if (in.ConsumeIntegralInRange(0, 7) == 0)
                    host().version_override = [](int *, int *, int *) {
                        throw std::runtime_error("host fault");
                    };
                try {
                    accepted = plugins.back()->initPlugin();
                    check(accepted ==
                          (std::make_tuple(v[0], v[1], v[2]) >= std::make_tuple(2, 3, 0)));
                } catch (const std::runtime_error &) {
                    accepted = false;
                }
            }
            break;
        case 3:
            hostile.command = commandName(in);
            break;
        case 4:
            hostile.filetype = in.ConsumeRandomLengthString(kHostileLimit);
            break;
        case 5:
            hostile.path =
                in.ConsumeBool()
                    ? in.ConsumeRandomLengthString(kPathBuffer)
                    : std::string(in.ConsumeIntegralInRange<std::size_t>(250, kPathBuffer), 'p');
            hostile.dialog_result = in.ConsumeBool() ? 1 : in.ConsumeIntegral<int>();
            break;
        case 6:
            if (!plugins.empty())
                checkedExecute(
                    plugins[in.ConsumeIntegralInRange<std::size_t>(0, plugins.size() - 1)],
                    accepted, hostile);
            break;
        case 7:
            hostile.scribble = in.ConsumeIntegralInRange<std::size_t>(0, kHostileLimit);
            break;
        default:
            check(std::strcmp(getPluginName(), "tessivane (v1.2)") == 0 &&
                  getHelpFile()[0] == '\0');
            break;
        }
    }
    for (LMTKPluginInterface *plugin : plugins)
        delete plugin;
    host().reset();
    return 0;
}
