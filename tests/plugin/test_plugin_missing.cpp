// A host that lacks one of the functions the plugin calls, each in turn.
//
// The host is put together at run time: every function the plugin calls lives
// in a module of its own (hosts/recording_host.cpp, one function each), loaded
// so that its function joins the program's global symbols, which is where
// InitTKAccess() looks. Each case loads all modules but one and unloads them
// again afterwards.
#include "tessivane.h"

#include "hosts/recording_host.h"
#include "hosts/table_entries.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace {

// The host functions the plugin calls, the version query first.
const std::vector<std::string> kPluginFunctions = {"tkGetVersionOfLumarinTK",
                                                   "tkShowLogTab",
                                                   "tkLogText",
                                                   "tkMessageBox",
                                                   "tkGetOpenFileName",
                                                   "tkGetStringParameter",
                                                   "tkSetStringParameter",
                                                   "tkSetIntParameter"};

// The host functions in global scope while it lives: all of kPluginFunctions
// but `missing` ("" for none).
class AssembledHost {
public:
    explicit AssembledHost(const std::string &missing)
    {
        // Earlier cases filled the tables (the plugin's and this file's) with
        // functions since unloaded. A host of the version query alone makes
        // InitTKAccess() write null into every other entry, as after a fresh
        // load; the plugin refuses that host without calling anything.
        load(kPluginFunctions[0]);
        InitTKAccess();
        LMTKPluginInterface *plugin = createPlugin();
        plugin->initPlugin();
        delete plugin;

        for (const std::string &function : kPluginFunctions)
            if (function != kPluginFunctions[0] && function != missing)
                load(function);
        if (missing == kPluginFunctions[0]) {
            dlclose(modules_.front());
            modules_.erase(modules_.begin());
        }
    }
    ~AssembledHost()
    {
        for (void *module : modules_)
            dlclose(module);
    }
    AssembledHost(const AssembledHost &) = delete;
    AssembledHost &operator=(const AssembledHost &) = delete;

private:
    void load(const std::string &function)
    {
        std::string path = std::string(HOST_MODULE_DIR) + "/host_" + function + ".so";
        void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
        ASSERT_NE(module, nullptr) << dlerror();
        modules_.push_back(module);
    }
    std::vector<void *> modules_;
};

void forgetCalls()
{
    recording_host::calls.clear();
    recording_host::log.clear();
    recording_host::message_boxes.clear();
}

class PluginMissingHostFunction : public ::testing::TestWithParam<std::string> {};

// The assembly itself: with nothing left out the plugin runs, and what a case
// leaves out is really gone once the modules are unloaded.
TEST(PluginAssembledHost, CompleteHostRunsThePluginAndUnloadsCleanly)
{
    forgetCalls();
    {
        AssembledHost complete("");
        LMTKPluginInterface *plugin = createPlugin();
        EXPECT_TRUE(plugin->initPlugin());
        EXPECT_TRUE(plugin->execute());
        delete plugin;
        EXPECT_EQ(
            recording_host::log,
            (std::vector<std::string>{"Running tessivane...", "batchprocessingplugin finished!"}));
    }
    for (const std::string &function : kPluginFunctions)
        EXPECT_EQ(dlsym(RTLD_DEFAULT, function.c_str()), nullptr) << function;
}

TEST_P(PluginMissingHostFunction, TableEntryStaysNull)
{
    const std::string missing = GetParam();
    AssembledHost host(missing);
    // Without the version query nothing else is looked up.
    EXPECT_EQ(InitTKAccess(), missing != "tkGetVersionOfLumarinTK");
    for (const TableEntry &e : tableEntries()) {
        bool listed = false;
        for (const std::string &function : kPluginFunctions)
            listed = listed || e.name == function;
        if (!listed || e.name == missing || missing == "tkGetVersionOfLumarinTK")
            EXPECT_EQ(e.address, nullptr) << e.name;
        else
            EXPECT_NE(e.address, nullptr) << e.name;
    }
}

// The plugin refuses silently, for a new enough host as for an old one, never
// calls through the null entry, and its execute() does nothing. The closing
// log line is written whenever the log function was resolved.
TEST_P(PluginMissingHostFunction, PluginRefusesSilentlyAndStaysHarmless)
{
    const std::string missing = GetParam();
    const bool logResolved = missing != "tkLogText" && missing != "tkGetVersionOfLumarinTK";
    AssembledHost host(missing);
    for (int minor : {3, 2}) {
        forgetCalls();
        recording_host::version[1] = minor;
        LMTKPluginInterface *plugin = createPlugin();
        EXPECT_FALSE(plugin->initPlugin()) << minor;
        EXPECT_TRUE(plugin->execute()) << minor;
        EXPECT_TRUE(recording_host::calls.empty()) << minor;
        delete plugin;
        if (logResolved) {
            EXPECT_EQ(recording_host::calls, std::vector<std::string>{"tkLogText"}) << minor;
            EXPECT_EQ(recording_host::log,
                      std::vector<std::string>{"batchprocessingplugin finished!"});
        } else {
            EXPECT_TRUE(recording_host::calls.empty()) << minor;
        }
        EXPECT_TRUE(recording_host::message_boxes.empty()) << minor;
    }
    recording_host::version[1] = 3;
}

INSTANTIATE_TEST_SUITE_P(EachInTurn, PluginMissingHostFunction,
                         ::testing::ValuesIn(kPluginFunctions),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             return info.param;
                         });

}  // namespace
