// The plugin bridge in a complete host: this program carries tkhost's
// simulated host functions and exports them, so InitTKAccess() (the plugin's
// and this file's own copy of the table) finds all 150 in the running program.
#include "tessivane.h"

#include "host.h"
#include "hosts/table_entries.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <climits>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using tkhost::DialogAnswer;
using tkhost::host;
using tkhost::ParameterWrite;
using tkhost::Value;

namespace {

const char *const kRefusal =
    "Can not execute this plugin - LumarinTK version 2.3 or higher required.";
const char *const kSourceTitle = "Please select the source file";
const char *const kTargetTitle =
    "Please select the intra-session alignment target file for this source file";
const char *const kTextTitle = "Please select the text file with source filenames";
const char *const kFmrFilter = "Lumarin functional project (*.fmr)";
const char *const kTxtFilter = "Text file with source filenames (*.txt)";
const char *const kPathTooLong =
    "tessivane: the chosen path does not fit in 4095 bytes; no file selected";

std::vector<std::string> writtenNames()
{
    std::vector<std::string> names;
    for (const ParameterWrite &w : host().writes)
        names.push_back(w.name);
    return names;
}

void setText(const std::string &name, const std::string &value)
{
    host().parameters[name] = Value::of_text(value);
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host().reset();
        plugin = createPlugin();
        ASSERT_NE(plugin, nullptr);
    }
    void TearDown() override
    {
        delete plugin;
        host().reset();
    }
    // Initialises with a 2.3.0 host and forgets what that recorded.
    void initialise()
    {
        ASSERT_TRUE(plugin->initPlugin());
        host().calls.clear();
        host().log.clear();
    }
    // One script request: store the command, queue the dialog answer, execute.
    bool request(const std::string &command, const DialogAnswer &answer)
    {
        setText("Command", command);
        host().answers.push_back(answer);
        return plugin->execute();
    }
    LMTKPluginInterface *plugin = nullptr;
};

}  // namespace

// ---- Version comparison ----

TEST(VersionCompare, Boundaries)
{
    EXPECT_TRUE(checkVersionGreaterEqualVersion(2, 3, 0, 2, 3, 0));
    EXPECT_FALSE(checkVersionGreaterEqualVersion(2, 2, 9, 2, 3, 0));
    EXPECT_TRUE(checkVersionGreaterEqualVersion(3, 0, 0, 2, 3, 0));
    EXPECT_TRUE(checkVersionGreaterEqualVersion(2, 4, 0, 2, 3, 7));
    EXPECT_TRUE(checkVersionGreaterEqualVersion(3, 0, 0, 2, 9, 9));
    EXPECT_FALSE(checkVersionGreaterEqualVersion(2, 3, -1, 2, 3, 0));
    EXPECT_TRUE(checkVersionGreaterEqualVersion(2, 3, 1, 2, 3, 0));
    EXPECT_FALSE(checkVersionGreaterEqualVersion(1, 99, 99, 2, 3, 0));
    // Signed comparison without overflow at the ends of the int range.
    EXPECT_TRUE(checkVersionGreaterEqualVersion(INT_MAX, 0, 0, INT_MIN, 0, 0));
    EXPECT_FALSE(checkVersionGreaterEqualVersion(2, INT_MIN, 0, 2, INT_MAX, 0));
    EXPECT_FALSE(checkVersionGreaterEqualVersion(-1, 0, 0, 0, 0, 0));
}

// Every pair of triples over -1..2 against the lexicographic order of tuples.
TEST(VersionCompare, AgreesWithLexicographicOrderExhaustively)
{
    const int values[] = {-1, 0, 1, 2};
    for (int a0 : values)
        for (int a1 : values)
            for (int a2 : values)
                for (int b0 : values)
                    for (int b1 : values)
                        for (int b2 : values)
                            ASSERT_EQ(checkVersionGreaterEqualVersion(a0, a1, a2, b0, b1, b2),
                                      std::make_tuple(a0, a1, a2) >= std::make_tuple(b0, b1, b2))
                                << a0 << "." << a1 << "." << a2 << " vs " << b0 << "." << b1 << "."
                                << b2;
}

// ---- Host API table ----

TEST(HostTable, ResolvesEveryEntryFromItsOwnSymbol)
{
    ASSERT_TRUE(InitTKAccess());
    std::vector<TableEntry> entries = tableEntries();
    ASSERT_EQ(entries.size(), 150u);
    std::set<std::string> names;
    for (const TableEntry &e : entries) {
        names.insert(e.name);
        ASSERT_NE(e.address, nullptr) << e.name;
        // The address is the host function of the same name, not a neighbour's.
        Dl_info info;
        ASSERT_NE(dladdr(e.address, &info), 0) << e.name;
        ASSERT_NE(info.dli_sname, nullptr) << e.name;
        EXPECT_EQ(std::string(info.dli_sname), e.name);
    }
    EXPECT_EQ(names.size(), 150u);
}

TEST(HostTable, SecondCallLooksEverythingUpAgain)
{
    ASSERT_TRUE(InitTKAccess());
    std::vector<TableEntry> first = tableEntries();
    tkLogText = nullptr;
    tkLaunchICADialog = nullptr;
    tkGetOpenFileName = nullptr;
    ASSERT_TRUE(InitTKAccess());
    std::vector<TableEntry> second = tableEntries();
    for (std::size_t i = 0; i < first.size(); i++)
        EXPECT_EQ(second[i].address, first[i].address) << second[i].name;
}

TEST(HostTable, EntriesCallTheHost)
{
    host().reset();
    ASSERT_TRUE(InitTKAccess());
    int major = -7, minor = -7, subminor = -7;
    host().version_minor = 11;
    tkGetVersionOfLumarinTK(&major, &minor, &subminor);
    EXPECT_EQ(std::make_tuple(major, minor, subminor), std::make_tuple(2, 11, 0));
    tkLogText("2.385 in the log");
    EXPECT_EQ(host().log, std::vector<std::string>{"2.385 in the log"});
    host().reset();
}

// Calls a host function through its table entry with every argument zero or
// null: the simulated functions and the stubs all accept that.
template <class Result, class... Parameters>
void callWithZeros(Result (*function)(Parameters...))
{
    function(Parameters()...);
}

// The 12 simulated functions answer themselves; every one of the other 138
// answers with its stub, which reports the call under the function's name.
TEST(HostTable, OnlyFunctionsOutsideTheSimulationAreUnexpected)
{
    const std::set<std::string> simulated = {"tkGetVersionOfLumarinTK",
                                             "tkShowLogPane",
                                             "tkShowLogTab",
                                             "tkLogText",
                                             "tkMessageBox",
                                             "tkGetOpenFileName",
                                             "tkGetStringParameter",
                                             "tkGetIntParameter",
                                             "tkGetFloatParameter",
                                             "tkSetStringParameter",
                                             "tkSetIntParameter",
                                             "tkSetFloatParameter"};
    host().reset();
    ASSERT_TRUE(InitTKAccess());
#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters) callWithZeros(tk##Name);
#include "LMTKHostFunctions.h"
    std::vector<std::string> expected;
    for (const TableEntry &e : tableEntries())
        if (simulated.count(e.name) == 0)
            expected.push_back(e.name);
    EXPECT_EQ(host().unexpected, expected);
    EXPECT_EQ(host().calls.size(), 150u);
    host().reset();
}

// ---- initPlugin ----

TEST_F(PluginTest, InitAcceptsHostsFrom230)
{
    const int accepted[][3] = {{2, 3, 0}, {2, 3, 1}, {2, 4, 0}, {3, 0, 0}, {10, 0, 0}};
    for (const auto &v : accepted) {
        host().reset();
        host().version_major = v[0];
        host().version_minor = v[1];
        host().version_subminor = v[2];
        EXPECT_TRUE(plugin->initPlugin()) << v[0] << "." << v[1] << "." << v[2];
        EXPECT_EQ(host().calls, (std::vector<std::string>{"tkGetVersionOfLumarinTK", "tkShowLogTab",
                                                          "tkLogText"}));
        EXPECT_EQ(host().log, std::vector<std::string>{"Running tessivane..."});
        EXPECT_TRUE(host().message_boxes.empty());
    }
}

TEST_F(PluginTest, InitRefusesOlderHostsWithMessageBox)
{
    const int refused[][3] = {{2, 2, 9}, {2, 2, 99}, {2, 3, -1}, {1, 9, 9}, {0, 0, 0}};
    for (const auto &v : refused) {
        host().reset();
        host().version_major = v[0];
        host().version_minor = v[1];
        host().version_subminor = v[2];
        EXPECT_FALSE(plugin->initPlugin()) << v[0] << "." << v[1] << "." << v[2];
        EXPECT_EQ(host().message_boxes, std::vector<std::string>{kRefusal});
        EXPECT_EQ(host().calls,
                  (std::vector<std::string>{"tkGetVersionOfLumarinTK", "tkMessageBox"}));
        EXPECT_TRUE(host().log.empty());
    }
}

TEST_F(PluginTest, DestructorWritesClosingLineAfterSuccessfulInit)
{
    initialise();
    delete plugin;
    plugin = nullptr;
    EXPECT_EQ(host().log, std::vector<std::string>{"batchprocessingplugin finished!"});
}

TEST_F(PluginTest, DestructorWritesClosingLineAfterRefusal)
{
    host().version_minor = 2;
    ASSERT_FALSE(plugin->initPlugin());
    delete plugin;
    plugin = nullptr;
    EXPECT_EQ(host().log, std::vector<std::string>{"batchprocessingplugin finished!"});
}

// An initPlugin() that does not complete (here the host's version query throws) leaves the
// host refused, whatever an earlier call decided.
TEST_F(PluginTest, InitThatThrowsLeavesTheHostRefused)
{
    initialise();
    host().version_override = [](int *, int *, int *) { throw std::runtime_error("host fault"); };
    EXPECT_THROW(plugin->initPlugin(), std::runtime_error);
    host().calls.clear();
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/never/shown.fmr")));
    EXPECT_TRUE(host().calls.empty());
}

// ---- execute: the three commands ----

TEST_F(PluginTest, GetFileNameUsesFileTypeAsFilter)
{
    initialise();
    setText("FileType", "Lumarin volume time course (*.vtc)");
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/data/s2.385/run1.vtc")));
    ASSERT_EQ(host().dialogs.size(), 1u);
    EXPECT_EQ(host().dialogs[0].title, kSourceTitle);
    EXPECT_EQ(host().dialogs[0].name, "");
    EXPECT_EQ(host().dialogs[0].filter, "Lumarin volume time course (*.vtc)");
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"Filename", "ErrorNr"}));
    EXPECT_EQ(host().parameters["Filename"], Value::of_text("/data/s2.385/run1.vtc"));
    EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(0));
    EXPECT_EQ(host().parameters.count("ErrorMsg"), 0u);
}

TEST_F(PluginTest, GetFileNameWithEmptyOrMissingFileTypePassesEmptyFilter)
{
    initialise();
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/a.fmr")));
    setText("FileType", "");
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/b.fmr")));
    ASSERT_EQ(host().dialogs.size(), 2u);
    EXPECT_EQ(host().dialogs[0].filter, "");
    EXPECT_EQ(host().dialogs[1].filter, "");
}

TEST_F(PluginTest, GetTargetFileNameIgnoresFileType)
{
    initialise();
    setText("FileType", "Text (*.txt)");
    EXPECT_TRUE(request("GetTargetFileName", DialogAnswer::choose("/data/target 2.385.fmr")));
    ASSERT_EQ(host().dialogs.size(), 1u);
    EXPECT_EQ(host().dialogs[0].title, kTargetTitle);
    EXPECT_EQ(host().dialogs[0].name, "");
    EXPECT_EQ(host().dialogs[0].filter, kFmrFilter);
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"TargetFilename", "ErrorNr"}));
    EXPECT_EQ(host().parameters["TargetFilename"], Value::of_text("/data/target 2.385.fmr"));
    EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(0));
    EXPECT_EQ(host().parameters.count("Filename"), 0u);
}

TEST_F(PluginTest, GetTextFileNameWritesFilename)
{
    initialise();
    setText("FileType", "ignored (*.vmr)");
    EXPECT_TRUE(request("GetTextFileName", DialogAnswer::choose("/lists/sources.txt")));
    ASSERT_EQ(host().dialogs.size(), 1u);
    EXPECT_EQ(host().dialogs[0].title, kTextTitle);
    EXPECT_EQ(host().dialogs[0].filter, kTxtFilter);
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"Filename", "ErrorNr"}));
    EXPECT_EQ(host().parameters["Filename"], Value::of_text("/lists/sources.txt"));
}

TEST_F(PluginTest, CancelWritesErrorAndLeavesPathKeyAlone)
{
    initialise();
    for (const char *command : {"GetFileName", "GetTargetFileName", "GetTextFileName"}) {
        host().writes.clear();
        setText("Filename", "/kept/2.385.fmr");
        setText("TargetFilename", "/kept/target.fmr");
        EXPECT_TRUE(request(command, DialogAnswer::cancel())) << command;
        EXPECT_EQ(writtenNames(), (std::vector<std::string>{"ErrorNr", "ErrorMsg"})) << command;
        EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(-1));
        EXPECT_EQ(host().parameters["ErrorMsg"], Value::of_text("No file selected"));
        EXPECT_EQ(host().parameters["Filename"], Value::of_text("/kept/2.385.fmr"));
        EXPECT_EQ(host().parameters["TargetFilename"], Value::of_text("/kept/target.fmr"));
    }
}

TEST_F(PluginTest, DialogResultOtherThanOneMeansNoFile)
{
    initialise();
    for (int result : {0, 2, -1, 7}) {
        host().writes.clear();
        host().open_file_override = [result](char *path) {
            std::strcpy(path, "/written/anyway.fmr");
            return result;
        };
        setText("Command", "GetFileName");
        EXPECT_TRUE(plugin->execute());
        EXPECT_EQ(writtenNames(), (std::vector<std::string>{"ErrorNr", "ErrorMsg"})) << result;
        EXPECT_EQ(host().parameters.count("Filename"), 0u) << result;
    }
}

TEST_F(PluginTest, ChooseAfterCancelKeepsOldErrorMsg)
{
    initialise();
    EXPECT_TRUE(request("GetFileName", DialogAnswer::cancel()));
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/second/try.fmr")));
    EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(0));
    EXPECT_EQ(host().parameters["ErrorMsg"], Value::of_text("No file selected"));
    EXPECT_EQ(host().parameters["Filename"], Value::of_text("/second/try.fmr"));
}

TEST_F(PluginTest, CancelAfterChooseKeepsOldPath)
{
    initialise();
    EXPECT_TRUE(request("GetTargetFileName", DialogAnswer::choose("/first/target.fmr")));
    EXPECT_TRUE(request("GetTargetFileName", DialogAnswer::cancel()));
    EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(-1));
    EXPECT_EQ(host().parameters["ErrorMsg"], Value::of_text("No file selected"));
    EXPECT_EQ(host().parameters["TargetFilename"], Value::of_text("/first/target.fmr"));
}

TEST_F(PluginTest, ReadsCommandThenFileTypeOnEveryCall)
{
    initialise();
    std::vector<std::string> asked;
    host().string_parameter_override = [&asked](const char *name, char *buffer) {
        asked.push_back(name);
        std::strcpy(buffer, asked.size() % 2 == 1 ? "Unknown" : "");
        return 1;
    };
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(plugin->execute());
    EXPECT_EQ(asked, (std::vector<std::string>{"Command", "FileType", "Command", "FileType",
                                               "Command", "FileType"}));
}

TEST_F(PluginTest, UnknownCommandsDoNothing)
{
    initialise();
    setText("FileType", "Anything (*.*)");
    for (const char *command :
         {"", "getfilename", "GETFILENAME", "GetFilename", "GetFileName ", " GetFileName",
          "GetFileNam", "GetFileNameX", "GetTextFile", "Filename", "GetTargetFileName\t"}) {
        host().calls.clear();
        host().answers.clear();
        EXPECT_TRUE(request(command, DialogAnswer::choose("/never/used.fmr"))) << command;
        EXPECT_TRUE(host().dialogs.empty()) << command;
        EXPECT_TRUE(host().writes.empty()) << command;
        EXPECT_EQ(host().calls,
                  (std::vector<std::string>{"tkGetStringParameter", "tkGetStringParameter"}))
            << command;
    }
}

// ---- execute: bounded buffers ----

// A host that fills the whole 101-byte buffer without a terminator: the plugin
// reads at most 100 characters of it.
TEST_F(PluginTest, UnterminatedParameterTextsAreCutAt100)
{
    initialise();
    host().string_parameter_override = [](const char *name, char *buffer) {
        if (std::strcmp(name, "Command") == 0)
            std::strcpy(buffer, "GetFileName");
        else
            std::memset(buffer, 'F', tkhost::kTextParameterCapacity);
        return 1;
    };
    host().answers.push_back(DialogAnswer::choose("/x.fmr"));
    EXPECT_TRUE(plugin->execute());
    ASSERT_EQ(host().dialogs.size(), 1u);
    EXPECT_EQ(host().dialogs[0].filter, std::string(100, 'F'));

    host().string_parameter_override = [](const char *, char *buffer) {
        std::memset(buffer, 'C', tkhost::kTextParameterCapacity);
        return 1;
    };
    host().writes.clear();
    EXPECT_TRUE(plugin->execute());
    EXPECT_EQ(host().dialogs.size(), 1u);
    EXPECT_TRUE(host().writes.empty());
}

// A path is kept whole, never cut inside a character: a host may write up to 4095 bytes and
// a terminator. One that fills the whole 4 KiB buffer may have been cut by it, so no file
// counts as chosen.
TEST_F(PluginTest, PathIsKeptWholeOrNotAtAll)
{
    initialise();
    std::size_t length = tkhost::kPathCapacity;  // unterminated, past the agreed 255 bytes
    host().open_file_override = [&length](char *path) {
        std::memset(path, 'p', length);
        return 1;
    };
    setText("Command", "GetTextFileName");
    EXPECT_TRUE(plugin->execute());
    EXPECT_EQ(host().parameters["Filename"], Value::of_text(std::string(length, 'p')));
    EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(0));

    length = 4096;
    host().writes.clear();
    EXPECT_TRUE(plugin->execute());
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"ErrorNr", "ErrorMsg"}));
    EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(-1));
    EXPECT_EQ(host().log, std::vector<std::string>{kPathTooLong});

    // A dialog answer of the longest path the host's buffer holds arrives whole; one byte more
    // is cut to that length.
    host().open_file_override = nullptr;
    for (std::size_t n : {tkhost::kPathCapacity - 1, tkhost::kPathCapacity}) {
        EXPECT_TRUE(request("GetTextFileName", DialogAnswer::choose(std::string(n, 'q'))));
        EXPECT_EQ(host().parameters["Filename"],
                  Value::of_text(std::string(tkhost::kPathCapacity - 1, 'q')));
    }
}

// The host API hands names and values over as writable char * without a size. A host that
// writes 4095 bytes into every one of them corrupts nothing, and the same writes result.
TEST_F(PluginTest, HostWritesIntoEveryWritableText)
{
    initialise();
    host().writable_text_hook = [](char *text) {
        std::memset(text, 'x', 4094);
        text[4094] = '\0';
    };
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/data/2.385.fmr")));
    EXPECT_TRUE(request("GetTextFileName", DialogAnswer::cancel()));
    EXPECT_EQ(writtenNames(),
              (std::vector<std::string>{"Filename", "ErrorNr", "ErrorNr", "ErrorMsg"}));
    EXPECT_EQ(host().parameters["Filename"], Value::of_text("/data/2.385.fmr"));
    EXPECT_EQ(host().parameters["ErrorMsg"], Value::of_text("No file selected"));
}

// A host that writes nothing leaves empty texts, not stale stack contents: not
// even the FileType and path of the call just before, on the same stack.
TEST_F(PluginTest, BuffersStartEmpty)
{
    initialise();
    setText("FileType", "Lumarin (*.fmr)");
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/data/first.fmr")));
    host().string_parameter_override = [](const char *name, char *buffer) {
        if (std::strcmp(name, "Command") == 0)
            std::strcpy(buffer, "GetFileName");
        return 0;
    };
    host().open_file_override = [](char *) { return 1; };
    EXPECT_TRUE(plugin->execute());
    ASSERT_EQ(host().dialogs.size(), 2u);
    EXPECT_EQ(host().dialogs[1].filter, "");
    EXPECT_EQ(host().parameters["Filename"], Value::of_text(""));
}

// ---- execute: a host that writes past the agreed lengths ----

// The host API passes no buffer size. A host that writes up to 4095 bytes into
// a buffer it was handed corrupts nothing: the plugin goes on as if a text
// parameter had been cut at the agreed 100 characters, and keeps a path whole.
struct Overrun {
    const char *buffer;  // "Command", "FileType" or "path"
    std::size_t length;  // bytes the host writes, terminator included
};

class HostOverrunTest : public PluginTest, public ::testing::WithParamInterface<Overrun> {};

TEST_P(HostOverrunTest, PluginUsesTheAgreedLengthAndNothingElseChanges)
{
    const Overrun overrun = GetParam();
    initialise();
    auto fill = [](char *buffer, std::size_t length, const std::string &prefix, char pad) {
        std::memset(buffer, pad, length - 1);
        std::memcpy(buffer, prefix.data(), prefix.size());
        buffer[length - 1] = '\0';
    };
    const bool long_command = std::strcmp(overrun.buffer, "Command") == 0;
    const bool long_filetype = std::strcmp(overrun.buffer, "FileType") == 0;
    host().string_parameter_override = [&](const char *name, char *buffer) {
        if (std::strcmp(name, "Command") == 0) {
            if (long_command)
                fill(buffer, overrun.length, "GetFileName", 'c');
            else
                std::strcpy(buffer, "GetFileName");
        } else if (long_filetype) {
            fill(buffer, overrun.length, "Lumarin (*.fmr)", 'f');
        } else {
            std::strcpy(buffer, "Lumarin (*.fmr)");
        }
        return 1;
    };
    host().open_file_override = [&](char *path) {
        if (std::strcmp(overrun.buffer, "path") == 0)
            fill(path, overrun.length, "/data/2.385/", 'p');
        else
            std::strcpy(path, "/data/2.385.fmr");
        return 1;
    };

    EXPECT_TRUE(plugin->execute());
    if (long_command) {
        // "GetFileName" followed by more text is no command.
        EXPECT_TRUE(host().dialogs.empty());
        EXPECT_TRUE(host().writes.empty());
        return;
    }
    ASSERT_EQ(host().dialogs.size(), 1u);
    const std::string filter = host().dialogs[0].filter;
    const std::string path = host().parameters["Filename"].text;
    if (long_filetype) {
        EXPECT_EQ(filter, "Lumarin (*.fmr)" + std::string(100 - 15, 'f'));
        EXPECT_EQ(path, "/data/2.385.fmr");
    } else {
        EXPECT_EQ(filter, "Lumarin (*.fmr)");
        EXPECT_EQ(path, "/data/2.385/" + std::string(overrun.length - 1 - 12, 'p'));
    }
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"Filename", "ErrorNr"}));
    EXPECT_EQ(host().parameters["ErrorNr"], Value::of_int(0));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, HostOverrunTest,
    ::testing::Values(Overrun{"Command", 102}, Overrun{"Command", 300}, Overrun{"Command", 4095},
                      Overrun{"FileType", 102}, Overrun{"FileType", 200}, Overrun{"FileType", 4095},
                      Overrun{"path", 257}, Overrun{"path", 300}, Overrun{"path", 4095},
                      Overrun{"path", 4096}),  // the longest path the buffer holds
    [](const ::testing::TestParamInfo<Overrun> &info) {
        return std::string(info.param.buffer) + std::to_string(info.param.length);
    });

// ---- execute after a refused initPlugin ----

// The host must not call execute() then; one that does gets no dialog and no
// parameter writes, and the usual true.
TEST_F(PluginTest, ExecuteAfterRefusalDoesNothing)
{
    host().version_minor = 2;
    ASSERT_FALSE(plugin->initPlugin());
    host().calls.clear();
    for (const char *command : {"GetFileName", "GetTargetFileName", "GetTextFileName"}) {
        EXPECT_TRUE(request(command, DialogAnswer::choose("/never/shown.fmr"))) << command;
        EXPECT_TRUE(host().calls.empty()) << command;
    }
    EXPECT_TRUE(host().dialogs.empty());
    EXPECT_TRUE(host().writes.empty());

    // A later initPlugin() that accepts the host lets execute() serve again.
    host().version_minor = 3;
    initialise();
    EXPECT_TRUE(request("GetFileName", DialogAnswer::choose("/now/shown.fmr")));
    EXPECT_EQ(host().dialogs.size(), 1u);
}

// ---- entry points ----

TEST(EntryPoints, Texts)
{
    EXPECT_STREQ(getPluginName(), "tessivane (v1.2)");
    EXPECT_STREQ(getPluginDescription(), "Plugin to process multiple Lumarin files<br>");
    EXPECT_STREQ(getAuthor(), "<i>Ilse Varrow</i>, Kestrelbay B.V.");
    EXPECT_STREQ(getHelpFile(), "");
    EXPECT_STREQ(getPluginVersion(), "1.2");
    EXPECT_STREQ(getGUIScript(), "tessivane_v12.js");
    // Static texts: the same storage on every call.
    EXPECT_EQ(getPluginName(), getPluginName());
    EXPECT_EQ(getGUIScript(), getGUIScript());
}

TEST(EntryPoints, FoundUnderPlainNames)
{
    for (const char *name : {"createPlugin", "getPluginName", "getPluginDescription", "getAuthor",
                             "getHelpFile", "getPluginVersion", "getGUIScript"})
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "createPlugin"), reinterpret_cast<void *>(&createPlugin));
}

TEST(EntryPoints, EachCreatePluginMakesAnOwnedObject)
{
    host().reset();
    LMTKPluginInterface *a = createPlugin();
    LMTKPluginInterface *b = createPlugin();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    delete a;
    delete b;
    host().reset();
}
