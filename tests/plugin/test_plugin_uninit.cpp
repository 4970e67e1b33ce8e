// The plugin object before initPlugin(): in a complete host (tkhost's simulated
// host functions, exported by this program), but with the plugin's table never
// filled, because nothing in this program ever calls initPlugin().
#include "tessivane.h"

#include "host.h"

#include <gtest/gtest.h>

using tkhost::DialogAnswer;
using tkhost::host;
using tkhost::Value;

TEST(PluginUninitialised, ExecuteDoesNothingAndReturnsTrue)
{
    host().reset();
    host().parameters["Command"] = Value::of_text("GetFileName");
    host().parameters["FileType"] = Value::of_text("Lumarin functional project (*.fmr)");
    host().answers.push_back(DialogAnswer::choose("/data/2.385.fmr"));
    LMTKPluginInterface *plugin = createPlugin();
    EXPECT_TRUE(plugin->execute());
    EXPECT_TRUE(plugin->execute());
    EXPECT_TRUE(host().calls.empty());
    EXPECT_TRUE(host().writes.empty());
    EXPECT_EQ(host().answers.size(), 1u);
    delete plugin;
    host().reset();
}

TEST(PluginUninitialised, DestructorWritesNoLogLine)
{
    host().reset();
    delete createPlugin();
    EXPECT_TRUE(host().calls.empty());
    EXPECT_TRUE(host().log.empty());
}
