// A small batch-processing plugin for the tkhost --validate tests, correct
// unless one of these is defined:
//   BROKEN_NO_GUI_SCRIPT    the entry point getGUIScript is missing
//   BROKEN_NULL_NAME        getPluginName returns null
//   BROKEN_CRASHING_AUTHOR  getAuthor crashes
//   BROKEN_ERRORNR          a cancelled dialog is reported as ErrorNr = 1
//   BROKEN_ACCEPTS_ANY      initPlugin accepts every host version
//   BROKEN_ACCEPTS_NO_HOST  initPlugin accepts a host without the plugin-API
//                           functions (and then serves nothing)
//   BROKEN_UNKNOWN_ERRORNR  an unknown command is answered with ErrorNr = -1
//   BROKEN_NO_DIALOG        no dialog is shown: every file command reports
//                           "No file selected" as if it had been cancelled
//   BROKEN_LEAKS            initPlugin allocates memory it never frees
//   BROKEN_BORROWED_GUI_SCRIPT  getGUIScript is missing, but the plugin links
//                           libtessivane, which has one
// and correct, but with a description of 4095 bytes, the longest allowed, with
//   BROKEN_LONG_METADATA
#include "LMTKPluginInterface.h"

#include <csignal>
#include <cstring>

#define BROKEN_API extern "C" __attribute__((visibility("default")))

namespace {

#ifdef BROKEN_LEAKS
char *volatile forgotten;  // each initPlugin() drops the previous block
#endif

class Wizard : public LMTKPluginInterface {
public:
    bool initPlugin() override
    {
        accepted = false;
#ifdef BROKEN_ACCEPTS_NO_HOST
        if (!InitTKAccess() || tkGetStringParameter == nullptr)
            return true;
#else
        if (!InitTKAccess() || tkGetStringParameter == nullptr)
            return false;
#endif
        int major = 0, minor = 0, subminor = 0;
        tkGetVersionOfLumarinTK(&major, &minor, &subminor);
#ifndef BROKEN_ACCEPTS_ANY
        if (!checkVersionGreaterEqualVersion(major, minor, subminor, 2, 3, 0))
            return false;
#endif
#ifdef BROKEN_LEAKS
        forgotten = new char[64];
#endif
        accepted = true;
        return true;
    }
    bool execute() override
    {
        if (!accepted)
            return true;
        char command_key[] = "Command", error_key[] = "ErrorNr", message_key[] = "ErrorMsg";
        char message[] = "No file selected";
        char command[4096] = {}, path[4096] = {};
        tkGetStringParameter(command_key, command);
        command[100] = '\0';
        char key[] = "Filename", target_key[] = "TargetFilename";
        char *path_key = key;
        if (std::strcmp(command, "GetTargetFileName") == 0)
            path_key = target_key;
        else if (std::strcmp(command, "GetFileName") != 0 &&
                 std::strcmp(command, "GetTextFileName") != 0) {
#ifdef BROKEN_UNKNOWN_ERRORNR
            tkSetIntParameter(error_key, -1);
#endif
            return true;
        }
#ifdef BROKEN_NO_DIALOG
        if (false) {
#else
        if (tkGetOpenFileName("Please select a file", "", "", path) == 1) {
#endif
            path[255] = '\0';
            tkSetStringParameter(path_key, path);
            tkSetIntParameter(error_key, 0);
        } else {
#ifdef BROKEN_ERRORNR
            tkSetIntParameter(error_key, 1);
#else
            tkSetIntParameter(error_key, -1);
#endif
            tkSetStringParameter(message_key, message);
        }
        return true;
    }

private:
    bool accepted = false;
};

}  // namespace

BROKEN_API LMTKPluginInterface *createPlugin()
{
    return new Wizard();
}
BROKEN_API const char *getPluginName()
{
#ifdef BROKEN_NULL_NAME
    return nullptr;
#else
    return "wizard";
#endif
}
BROKEN_API const char *getPluginDescription()
{
#ifdef BROKEN_LONG_METADATA
    static char text[4096];
    std::memset(text, 'd', sizeof text - 1);
    return text;
#else
    return "validator test plugin";
#endif
}
BROKEN_API const char *getAuthor()
{
#ifdef BROKEN_CRASHING_AUTHOR
    std::raise(SIGSEGV);
#endif
    return "tests";
}
BROKEN_API const char *getHelpFile()
{
    return "";
}
BROKEN_API const char *getPluginVersion()
{
    return "0.1";
}
#if !defined(BROKEN_NO_GUI_SCRIPT) && !defined(BROKEN_BORROWED_GUI_SCRIPT)
BROKEN_API const char *getGUIScript()
{
    return "wizard.js";
}
#endif
