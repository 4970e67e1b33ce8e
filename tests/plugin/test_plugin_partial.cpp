// A host program without tkGetOpenFileName but with every other function the
// plugin calls (hosts/recording_host.cpp built with RECORDING_HOST_VERSION and
// RECORDING_HOST_PLUGIN_FUNCTIONS).
#include "tessivane.h"

#include "hosts/recording_host.h"
#include "hosts/table_entries.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(PluginPartialHost, MissingEntriesStayNull)
{
    ASSERT_TRUE(InitTKAccess());
    const std::set<std::string> exported = {
        "tkGetVersionOfLumarinTK", "tkShowLogTab",         "tkLogText",        "tkMessageBox",
        "tkGetStringParameter",    "tkSetStringParameter", "tkSetIntParameter"};
    for (const TableEntry &e : tableEntries())
        EXPECT_EQ(e.address != nullptr, exported.count(e.name) == 1) << e.name;
}

// A host without the open-file dialog cannot run the wizard: initPlugin
// refuses silently, even for a host too old, and execute calls nothing.
TEST(PluginPartialHost, PluginRefusesSilentlyAndExecuteDoesNothing)
{
    for (int minor : {3, 2}) {
        recording_host::calls.clear();
        recording_host::version[1] = minor;
        LMTKPluginInterface *plugin = createPlugin();
        EXPECT_FALSE(plugin->initPlugin()) << minor;
        EXPECT_TRUE(plugin->execute()) << minor;
        EXPECT_TRUE(recording_host::calls.empty()) << minor;
        EXPECT_TRUE(recording_host::message_boxes.empty()) << minor;
        // The log function was resolved, so the closing line is written.
        delete plugin;
        EXPECT_EQ(recording_host::calls, std::vector<std::string>{"tkLogText"}) << minor;
        EXPECT_EQ(recording_host::log.back(), "batchprocessingplugin finished!");
    }
    recording_host::version[1] = 3;
}
