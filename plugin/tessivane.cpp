// The batch-processing plugin: entry points, initialisation and the three
// file-selection commands. This unit owns the plugin's host API table (it is the
// only one that includes LMTKPluginInterface.h for its table).
#include "tessivane.h"

#include <cstring>

namespace {

const char *PluginDescription = "Plugin to process multiple Lumarin files<br>";

// Lengths agreed with the host: parameter texts of at most 100 characters and
// paths of at most 255. The host API passes no buffer size, so a careless host
// may write more than that; every buffer handed to it as writable is far larger
// than the agreement (and starts zeroed), so such a host overwrites nothing of
// the plugin's. Parameter texts are still cut at the agreed length; a path is
// used whole, since a cut one names another file.
constexpr int kParameterTextLimit = 100;
constexpr int kHostBufferSize = 4096;
using HostBuffer = char[kHostBufferSize];

// Set by initPlugin(): whether this process's host was accepted. The table of
// host functions is process-wide and so is the verdict on the host it came
// from; execute() serves nothing for a host that was refused or never checked.
bool host_accepted = false;

// The host functions this plugin calls besides the version query. A host that
// lacks any of them cannot run the wizard, and the plugin must not call
// through a null entry.
bool hostProvidesPluginFunctions()
{
    return tkShowLogTab != nullptr && tkLogText != nullptr && tkMessageBox != nullptr &&
           tkGetOpenFileName != nullptr && tkGetStringParameter != nullptr &&
           tkSetStringParameter != nullptr && tkSetIntParameter != nullptr;
}

// The host API takes parameter names and values as non-const text: it gets
// writable copies, never string literals, as large as any buffer it is handed.
struct WritableText {
    HostBuffer data;
    explicit WritableText(const char *text)
    {
        std::strncpy(data, text, sizeof data - 1);
        data[sizeof data - 1] = '\0';
    }
};

// A host that filled the whole path buffer may have had to cut the path there.
bool pathFits(const HostBuffer &path)
{
    return path[kHostBufferSize - 1] == '\0';
}

// Reads a text parameter, cut at kParameterTextLimit characters. The buffer
// starts empty, so a host that writes nothing yields "", and a host that writes
// an unterminated or overlong text still yields at most the agreed length.
void readTextParameter(const char *name, HostBuffer &buffer)
{
    std::memset(buffer, 0, sizeof buffer);
    tkGetStringParameter(WritableText(name).data, buffer);
    buffer[kParameterTextLimit] = '\0';
}

struct FileCommand {
    const char *name;
    const char *title;
    const char *filter;  // null: the "FileType" parameter
    const char *path_key;
};

const FileCommand kCommands[] = {
    {"GetFileName", "Please select the source file", nullptr, "Filename"},
    {"GetTargetFileName",
     "Please select the intra-session alignment target file for this source file",
     "Lumarin functional project (*.fmr)", "TargetFilename"},
    {"GetTextFileName", "Please select the text file with source filenames",
     "Text file with source filenames (*.txt)", "Filename"},
};

}  // namespace

batchprocessing::~batchprocessing()
{
    if (tkLogText != nullptr)
        tkLogText("batchprocessingplugin finished!");
}

namespace {

// Resolves the host functions and checks the host's version.
bool acceptsHost()
{
    if (!InitTKAccess())
        return false;
    if (!hostProvidesPluginFunctions())
        return false;

    // A host that does not write its version reads as 0.0.0 and is refused.
    int Major = 0, Minor = 0, SubMinor = 0;
    tkGetVersionOfLumarinTK(&Major, &Minor, &SubMinor);
    if (!checkVersionGreaterEqualVersion(Major, Minor, SubMinor, 2, 3, 0)) {
        tkMessageBox("Can not execute this plugin - LumarinTK version 2.3 or higher required.");
        return false;
    }

    tkShowLogTab();
    tkLogText("Running tessivane...");
    return true;
}

}  // namespace

bool batchprocessing::initPlugin()
{
    // Refused until this call completes, also when the host's functions throw.
    host_accepted = false;
    host_accepted = acceptsHost();
    return host_accepted;
}

bool batchprocessing::execute()
{
    // Called without a successful initPlugin(): the host is unknown, lacks
    // functions or is too old, and nothing is shown to it.
    if (!host_accepted)
        return true;

    // Both parameters are read on every call, whatever the command.
    HostBuffer task_name;
    HostBuffer filetype;
    readTextParameter("Command", task_name);
    readTextParameter("FileType", filetype);

    const FileCommand *command = nullptr;
    for (const FileCommand &candidate : kCommands) {
        if (std::strcmp(task_name, candidate.name) == 0) {
            command = &candidate;
            break;
        }
    }
    if (command == nullptr)
        return true;

    const char *filter = command->filter != nullptr ? command->filter : filetype;
    HostBuffer path;
    std::memset(path, 0, sizeof path);
    bool chosen = tkGetOpenFileName(command->title, "", filter, path) == 1;
    if (chosen && !pathFits(path)) {
        tkLogText("tessivane: the chosen path does not fit in 4095 bytes; no file selected");
        chosen = false;
    }
    if (chosen) {
        tkSetStringParameter(WritableText(command->path_key).data, path);
        tkSetIntParameter(WritableText("ErrorNr").data, 0);
    } else {
        tkSetIntParameter(WritableText("ErrorNr").data, -1);
        tkSetStringParameter(WritableText("ErrorMsg").data, WritableText("No file selected").data);
    }
    return true;
}

extern "C" {

LMTKPluginInterface *createPlugin()
{
    return new batchprocessing();
}

const char *getPluginName()
{
    return "tessivane (v1.2)";
}

const char *getPluginDescription()
{
    return PluginDescription;
}

const char *getAuthor()
{
    return "<i>Ilse Varrow</i>, Kestrelbay B.V.";
}

const char *getHelpFile()
{
    return "";
}

const char *getPluginVersion()
{
    return "1.2";
}

const char *getGUIScript()
{
    return "tessivane_v12.js";
}

}  // extern "C"
