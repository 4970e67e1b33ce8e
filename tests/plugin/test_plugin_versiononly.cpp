// A host program that exports only tkGetVersionOfLumarinTK (hosts/recording_host.cpp
// built with RECORDING_HOST_VERSION).
#include "tessivane.h"

#include "hosts/recording_host.h"
#include "hosts/table_entries.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

TEST(PluginVersionOnlyHost, InitTKAccessSucceedsWithOnlyEntryOne)
{
    ASSERT_TRUE(InitTKAccess());
    std::vector<TableEntry> entries = tableEntries();
    ASSERT_NE(entries[0].address, nullptr);
    Dl_info info;
    ASSERT_NE(dladdr(entries[0].address, &info), 0);
    EXPECT_STREQ(info.dli_sname, "tkGetVersionOfLumarinTK");
    for (std::size_t i = 1; i < entries.size(); i++)
        EXPECT_EQ(entries[i].address, nullptr) << entries[i].name;
}

// The plugin needs more than the version: it refuses without calling anything,
// whatever version the host would report, and never calls a null entry.
TEST(PluginVersionOnlyHost, PluginRefusesAndStaysHarmless)
{
    for (int minor : {3, 2}) {
        recording_host::calls.clear();
        recording_host::version[1] = minor;
        LMTKPluginInterface *plugin = createPlugin();
        EXPECT_FALSE(plugin->initPlugin()) << minor;
        EXPECT_TRUE(plugin->execute()) << minor;
        delete plugin;
        EXPECT_TRUE(recording_host::calls.empty()) << minor;
    }
    recording_host::version[1] = 3;
}
