// A minimal Lumarin TK plugin: on the command "Greet" it reads the text
// parameter "Name" and answers with "Greeting" = "Hello, <Name>!".
//
// Build (against an installed libtessivane; the plugin does not link it; for a
// prefix P of your own, run pkg-config with PKG_CONFIG_PATH=$P/lib/pkgconfig):
//   CXXFLAGS=$(pkg-config --cflags tessivane)
//   g++ -std=c++17 -shared -fPIC $CXXFLAGS greeting_plugin.cpp -o libgreeting.so
// Try it in the host simulator:
//   tkhost ./libgreeting.so --set Name=Ada --step Greet
// and check it, with its own behaviour script:
//   tkhost --validate ./libgreeting.so --script greeting.tkscript
#include <tessivane/LMTKPluginInterface.h>

#include <cstdio>
#include <cstring>

namespace {

class greeting : public LMTKPluginInterface {
public:
    ~greeting() override
    {
        if (tkLogText != nullptr)  // null when initPlugin() never ran or found no host
            tkLogText("greeting plugin finished");
    }

    bool initPlugin() override
    {
        // Fills this unit's table of host functions; false when the host has none.
        if (!InitTKAccess() || tkLogText == nullptr || tkGetStringParameter == nullptr ||
            tkSetStringParameter == nullptr)
            return false;
        int major = 0, minor = 0, subminor = 0;
        tkGetVersionOfLumarinTK(&major, &minor, &subminor);
        if (!checkVersionGreaterEqualVersion(major, minor, subminor, 2, 3, 0))
            return false;
        tkLogText("greeting plugin ready");
        ready = true;
        return true;
    }

    bool execute() override
    {
        // A careless host calls execute() even after initPlugin() refused; the
        // host functions may then be null, so do nothing.
        if (!ready)
            return true;
        // The host takes parameter names as char *, so they live in arrays. It
        // agrees to write at most 100 characters plus the terminator but is not
        // told the buffer size: larger zeroed buffers, cut at the agreed length.
        char command_key[] = "Command", name_key[] = "Name", greeting_key[] = "Greeting";
        char command[4096] = {}, name[4096] = {};
        tkGetStringParameter(command_key, command);
        command[100] = '\0';
        if (std::strcmp(command, "Greet") != 0)
            return true;
        tkGetStringParameter(name_key, name);
        name[100] = '\0';
        char text[128];
        std::snprintf(text, sizeof text, "Hello, %.100s!", name);
        tkSetStringParameter(greeting_key, text);
        return true;
    }

private:
    bool ready = false;  // initPlugin() accepted the host
};

}  // namespace

// The seven entry points the host looks up by their plain names.
extern "C" {
__attribute__((visibility("default"))) LMTKPluginInterface *createPlugin()
{
    return new greeting;
}
__attribute__((visibility("default"))) const char *getPluginName()
{
    return "greeting (v1.0)";
}
__attribute__((visibility("default"))) const char *getPluginDescription()
{
    return "Answers a name with a greeting";
}
__attribute__((visibility("default"))) const char *getAuthor()
{
    return "libtessivane examples";
}
__attribute__((visibility("default"))) const char *getHelpFile()
{
    return "";
}
__attribute__((visibility("default"))) const char *getPluginVersion()
{
    return "1.0";
}
__attribute__((visibility("default"))) const char *getGUIScript()
{
    return "greeting.js";
}
}
