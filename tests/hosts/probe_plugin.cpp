// A small third-party plugin for the tkhost tests, built on the public
// LMTKPluginInterface.h. Its execute() reads "Command":
//   "Numbers"     reads int "Count" and float "Scale", writes float "Product"
//                 and int "Doubled" = 2 * Count
//   "Unexpected"  calls tkGetSaveFileName and tkLaunchICADialog, which a
//                 batch-processing host does not simulate
//   "Fail"        returns false
//   "Throw"       throws std::runtime_error("probe gave up")
// createPlugin() returns null when the environment has PROBE_CREATE_NULL set.
#include "LMTKPluginInterface.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#define PROBE_API extern "C" __attribute__((visibility("default")))

namespace {

class Probe : public LMTKPluginInterface {
public:
    ~Probe() override
    {
        if (tkLogText != nullptr)
            tkLogText("probe finished");
    }
    bool initPlugin() override { return InitTKAccess() && tkGetStringParameter != nullptr; }
    bool execute() override
    {
        char key[] = "Command";
        char command[101] = {};
        tkGetStringParameter(key, command);
        command[100] = '\0';
        if (std::strcmp(command, "Numbers") == 0) {
            char count_key[] = "Count", scale_key[] = "Scale";
            char product_key[] = "Product", doubled_key[] = "Doubled";
            int count = tkGetIntParameter(count_key);
            float scale = tkGetFloatParameter(scale_key);
            tkSetFloatParameter(product_key, static_cast<float>(count) * scale);
            tkSetIntParameter(doubled_key, 2 * count);
        } else if (std::strcmp(command, "Unexpected") == 0) {
            char path[256] = {};
            tkGetSaveFileName("Save", "", "*.*", path);
            tkLaunchICADialog();
        } else if (std::strcmp(command, "Fail") == 0) {
            return false;
        } else if (std::strcmp(command, "Throw") == 0) {
            throw std::runtime_error("probe gave up");
        }
        return true;
    }
};

}  // namespace

PROBE_API LMTKPluginInterface *createPlugin()
{
    if (std::getenv("PROBE_CREATE_NULL") != nullptr)
        return nullptr;
    return new Probe();
}
PROBE_API const char *getPluginName()
{
    return "probe";
}
PROBE_API const char *getPluginDescription()
{
    return "exercises tkhost";
}
PROBE_API const char *getAuthor()
{
    return "tests";
}
PROBE_API const char *getHelpFile()
{
    return "probe.html";
}
PROBE_API const char *getPluginVersion()
{
    return "0.1";
}
PROBE_API const char *getGUIScript()
{
    return "probe.js";
}
