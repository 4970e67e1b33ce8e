// A host program that exports every function the plugin calls except
// tkGetVersionOfLumarinTK (hosts/recording_host.cpp built with
// RECORDING_HOST_PLUGIN_FUNCTIONS and RECORDING_HOST_OPEN_FILE).
#include "tessivane.h"

#include "hosts/recording_host.h"
#include "hosts/table_entries.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

TEST(PluginNoVersionHost, InitTKAccessFailsAndLooksUpNothingElse)
{
    // The host does export these; they must stay unresolved all the same.
    ASSERT_NE(dlsym(RTLD_DEFAULT, "tkLogText"), nullptr);
    ASSERT_NE(dlsym(RTLD_DEFAULT, "tkGetOpenFileName"), nullptr);
    EXPECT_FALSE(InitTKAccess());
    for (const TableEntry &e : tableEntries())
        EXPECT_EQ(e.address, nullptr) << e.name;
}

TEST(PluginNoVersionHost, PluginFailsSilently)
{
    recording_host::calls.clear();
    LMTKPluginInterface *plugin = createPlugin();
    EXPECT_FALSE(plugin->initPlugin());
    EXPECT_TRUE(plugin->execute());
    delete plugin;
    EXPECT_TRUE(recording_host::calls.empty());
    EXPECT_TRUE(recording_host::message_boxes.empty());
    EXPECT_TRUE(recording_host::log.empty());
}
