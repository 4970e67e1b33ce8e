// The batch-processing plugin: entry points, initialisation and the three
// file-selection commands. This unit owns the plugin's host API table (it is the
// only one that includes LMTKPluginInterface.h for its table).
#include "tessivane.h"

#include <cstring>

namespace {

const char *PluginDescription = "Plugin to process multiple Lumarin files<br>";

// Buffer sizes agreed with the host: parameter texts are read into 101 bytes
// and the chosen path into 256 bytes, terminator included.
constexpr int kParameterBufferSize = 101;
constexpr int kPathBufferSize = 256;

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
// writable copies, never string literals.
struct WritableText {
    char data[32];
    explicit WritableText(const char *text)
    {
        std::strncpy(data, text, sizeof data - 1);
        data[sizeof data - 1] = '\0';
    }
};

// Reads a text parameter into a buffer of kParameterBufferSize bytes. The
// buffer starts empty, so a host that writes nothing yields "", and its last
// byte is forced to the terminator, so nothing past it is ever read even when
// the host fills it without terminating.
void readTextParameter(const char *name, char (&buffer)[kParameterBufferSize])
{
    std::memset(buffer, 0, sizeof buffer);
    tkGetStringParameter(WritableText(name).data, buffer);
    buffer[kParameterBufferSize - 1] = '\0';
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

bool batchprocessing::initPlugin()
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

bool batchprocessing::execute()
{
    // Called without a successful initPlugin(): there is nothing safe to call.
    if (!hostProvidesPluginFunctions())
        return true;

    // Both parameters are read on every call, whatever the command.
    char task_name[kParameterBufferSize];
    char filetype[kParameterBufferSize];
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
    char path[kPathBufferSize];
    std::memset(path, 0, sizeof path);
    if (tkGetOpenFileName(command->title, "", filter, path) == 1) {
        path[kPathBufferSize - 1] = '\0';
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
