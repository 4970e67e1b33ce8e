// A host written without any of the library's headers or tkhost: it declares
// the plugin interface and the eight host functions the plugin calls on its
// own, loads libtessivane.so.1 by path and plays one wizard session, checking
// every result. Exit status 0 when everything matched.
//
// usage: independent_host /path/to/libtessivane.so.1
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// The plugin object as the host sees it: destructor, execute, initPlugin.
class LMTKPluginInterface {
public:
    virtual ~LMTKPluginInterface() {}
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

namespace {

std::map<std::string, std::string> text_store;
std::map<std::string, int> int_store;
std::vector<std::string> log_lines;
std::vector<std::string> boxes;
std::vector<std::string> dialog_filters;
const char *next_answer = nullptr;  // null: cancel
int failures = 0;

void check(bool ok, const std::string &what)
{
    if (!ok) {
        std::fprintf(stderr, "independent host: FAILED: %s\n", what.c_str());
        failures++;
    }
}

}  // namespace

#define HOST_API extern "C" __attribute__((visibility("default")))

HOST_API void tkGetVersionOfLumarinTK(int *major, int *minor, int *subminor)
{
    *major = 2;
    *minor = 3;
    *subminor = 0;
}
HOST_API void tkShowLogTab() {}
HOST_API void tkLogText(const char *text)
{
    log_lines.push_back(text);
}
HOST_API void tkMessageBox(const char *text)
{
    boxes.push_back(text);
}
HOST_API int tkGetOpenFileName(const char *, const char *, const char *filter, char *path)
{
    dialog_filters.push_back(filter);
    if (next_answer == nullptr)
        return 0;
    std::snprintf(path, 256, "%s", next_answer);
    return 1;
}
HOST_API int tkGetStringParameter(char *name, char *value)
{
    std::snprintf(value, 101, "%s", text_store[name].c_str());
    return 1;
}
HOST_API void tkSetStringParameter(char *name, char *value)
{
    text_store[name] = value;
}
HOST_API void tkSetIntParameter(char *name, int value)
{
    int_store[name] = value;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: independent_host LIBRARY\n");
        return 2;
    }
    void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "independent host: %s\n", dlerror());
        return 2;
    }
    using Text = const char *(*)();
    auto text = [&](const char *name) {
        Text getter = reinterpret_cast<Text>(dlsym(library, name));
        check(getter != nullptr, std::string("entry point ") + name);
        return getter != nullptr ? std::string(getter()) : std::string();
    };
    check(text("getPluginName") == "tessivane (v1.2)", "getPluginName");
    check(text("getPluginDescription") == "Plugin to process multiple Lumarin files<br>",
          "getPluginDescription");
    check(text("getAuthor") == "<i>Ilse Varrow</i>, Kestrelbay B.V.", "getAuthor");
    check(text("getHelpFile").empty(), "getHelpFile");
    check(text("getPluginVersion") == "1.2", "getPluginVersion");
    check(text("getGUIScript") == "tessivane_v12.js", "getGUIScript");

    auto create = reinterpret_cast<LMTKPluginInterface *(*)()>(dlsym(library, "createPlugin"));
    check(create != nullptr, "entry point createPlugin");
    if (create == nullptr)
        return 1;
    LMTKPluginInterface *plugin = create();
    check(plugin->initPlugin(), "initPlugin on a 2.3.0 host");
    check(log_lines == std::vector<std::string>{"Running tessivane..."}, "log after initPlugin");

    text_store["Command"] = "GetFileName";
    text_store["FileType"] = "Lumarin functional project (*.fmr)";
    next_answer = "/data/sub-01/run-2.385.fmr";
    check(plugin->execute(), "execute GetFileName");
    check(text_store["Filename"] == "/data/sub-01/run-2.385.fmr", "Filename");
    check(int_store.count("ErrorNr") == 1 && int_store["ErrorNr"] == 0, "ErrorNr 0");

    text_store["Command"] = "GetTargetFileName";
    next_answer = nullptr;
    check(plugin->execute(), "execute GetTargetFileName");
    check(int_store["ErrorNr"] == -1, "ErrorNr -1");
    check(text_store["ErrorMsg"] == "No file selected", "ErrorMsg");
    check(text_store.count("TargetFilename") == 0, "TargetFilename untouched");
    check(dialog_filters == std::vector<std::string>{"Lumarin functional project (*.fmr)",
                                                     "Lumarin functional project (*.fmr)"},
          "dialog filters");

    delete plugin;
    check(log_lines.size() == 2 && log_lines.back() == "batchprocessingplugin finished!",
          "closing log line");
    check(boxes.empty(), "no message box");

    if (failures == 0)
        std::printf("independent host: session played as expected\n");
    return failures == 0 ? 0 : 1;
}
