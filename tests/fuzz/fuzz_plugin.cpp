// A hostile host against the plugin: parameter texts and dialog paths of any
// bytes and of any length the plugin's buffers tolerate, odd dialog results,
// versions, and calls in any order (execute before or after a refused
// initPlugin, objects created and destroyed in between). The program carries
// tkhost's simulated host functions and exports them, so the plugin's
// InitTKAccess() finds them. Checked besides memory safety: the plugin calls
// nothing unless the last initPlugin() accepted the host, shows at most one
// dialog per execute() with a filter of at most 100 characters, and writes a
// path of at most 255 characters or the "No file selected" error.
#include "host.h"
#include "tessivane.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using tkhost::host;

namespace {

// The most a host may write into a buffer the plugin hands it, terminator
// included; the plugin's buffers are 4 KiB.
constexpr std::size_t kHostileLimit = 4095;

struct HostileHost {
    std::string command, filetype, path;
    int dialog_result = 1;
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void writeRaw(char *buffer, const std::string &text)
{
    const std::size_t n = text.size() < kHostileLimit ? text.size() : kHostileLimit;
    std::memcpy(buffer, text.data(), n);
}

std::string commandName(FuzzedDataProvider &in)
{
    static const char *const names[] = {"GetFileName", "GetTargetFileName", "GetTextFileName"};
    if (in.ConsumeBool())
        return names[in.ConsumeIntegralInRange(0, 2)];
    return in.ConsumeRandomLengthString(kHostileLimit);
}

void checkedExecute(LMTKPluginInterface *plugin, bool accepted)
{
    const std::size_t calls = host().calls.size();
    const std::size_t dialogs = host().dialogs.size();
    const std::size_t writes = host().writes.size();
    check(plugin->execute());
    if (!accepted) {
        check(host().calls.size() == calls);
        return;
    }
    check(host().dialogs.size() <= dialogs + 1);
    if (host().dialogs.size() == dialogs) {
        check(host().writes.size() == writes);
        return;
    }
    check(host().dialogs.back().filter.size() <= 100);
    check(host().writes.size() == writes + 2);
    const tkhost::ParameterWrite &first = host().writes[writes];
    if (first.name == "ErrorNr") {
        check(first.value == tkhost::Value::of_int(-1));
        check(host().writes[writes + 1].name == "ErrorMsg");
    } else {
        check(first.name == "Filename" || first.name == "TargetFilename");
        check(first.value.text.size() < kHostileLimit);
        check(host().writes[writes + 1].value == tkhost::Value::of_int(0));
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
        writeRaw(buffer, std::strcmp(name, "Command") == 0 ? hostile.command : hostile.filetype);
        return 1;
    };
    host().open_file_override = [&hostile](char *buffer) {
        writeRaw(buffer, hostile.path);
        return hostile.dialog_result;
    };

    std::vector<LMTKPluginInterface *> plugins;
    bool accepted = false;  // the verdict of the last initPlugin()
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; step++) {
        switch (in.ConsumeIntegralInRange(0, 7)) {
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
                host().version_major = in.ConsumeIntegralInRange(-1, 3);
                host().version_minor = in.ConsumeIntegralInRange(-1, 4);
                host().version_subminor = in.ConsumeIntegral<int>();
                accepted = plugins.back()->initPlugin();
                check(accepted ==
                      checkVersionGreaterEqualVersion(host().version_major, host().version_minor,
                                                      host().version_subminor, 2, 3, 0));
            }
            break;
        case 3:
            hostile.command = commandName(in);
            break;
        case 4:
            hostile.filetype = in.ConsumeRandomLengthString(kHostileLimit);
            break;
        case 5:
            hostile.path = in.ConsumeRandomLengthString(kHostileLimit);
            hostile.dialog_result = in.ConsumeBool() ? 1 : in.ConsumeIntegral<int>();
            break;
        case 6:
            if (!plugins.empty())
                checkedExecute(
                    plugins[in.ConsumeIntegralInRange<std::size_t>(0, plugins.size() - 1)],
                    accepted);
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
