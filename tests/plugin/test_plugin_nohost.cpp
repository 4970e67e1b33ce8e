// A host program that exports no host function at all.
#include "tessivane.h"

#include "hosts/table_entries.h"

#include <gtest/gtest.h>

TEST(PluginWithoutHost, InitTKAccessFindsNothing)
{
    EXPECT_FALSE(InitTKAccess());
    for (const TableEntry &e : tableEntries())
        EXPECT_EQ(e.address, nullptr) << e.name;
}

TEST(PluginWithoutHost, InitFailsSilentlyAndTheObjectStaysHarmless)
{
    LMTKPluginInterface *plugin = createPlugin();
    EXPECT_FALSE(plugin->initPlugin());
    EXPECT_FALSE(plugin->initPlugin());
    EXPECT_TRUE(plugin->execute());
    delete plugin;  // no log to write to, and no call through a null entry
}
