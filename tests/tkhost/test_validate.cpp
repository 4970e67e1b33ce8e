// tkhost --validate on this library and on plugins with one deliberate fault
// each (tests/tkhost/broken_plugin.cpp, with their own behaviour script
// wizard.tkscript): one PASS/FAIL line per check, the exit status 1 on any
// failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct Validation {
    std::string output;
    int status = -1;
};

Validation validate(const std::string &plugin, const std::string &extra = "")
{
    const std::string command =
        std::string(TKHOST_EXE) + " --validate '" + plugin + "' " + extra + " 2>&1";
    Validation result;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string broken(const std::string &variant)
{
    return std::string(BROKEN_PLUGIN_DIR) + "/libvalidate_" + variant + ".so";
}

const std::string kBrokenScript = std::string(" --script ") + BROKEN_PLUGIN_SCRIPT;

}  // namespace

TEST(Validate, ThisLibraryPassesEveryCheck)
{
    const Validation v = validate(TESSIVANE_LIBRARY, std::string("--script ") + TESSIVANE_SCRIPT);
    EXPECT_EQ(v.status, 0) << v.output;
    EXPECT_THAT(v.output, ::testing::HasSubstr("PASS load and unload 1000 times\n"));
    EXPECT_THAT(v.output, ::testing::HasSubstr("PASS commands with cancelled dialogs\n"));
    EXPECT_THAT(v.output, ::testing::Not(::testing::HasSubstr("FAIL")));
    EXPECT_THAT(v.output, ::testing::HasSubstr("tkhost: all checks passed\n"));
}

struct Fault {
    const char *variant;
    const char *expected_line;
    int failures = 1;
};

// By name: GoogleTest would otherwise print the object's bytes, padding included.
void PrintTo(const Fault &fault, std::ostream *os)
{
    *os << fault.variant;
}

class ValidateBroken : public ::testing::TestWithParam<Fault> {};

TEST_P(ValidateBroken, FailsExactlyTheCheckItBreaks)
{
    const Validation v = validate(broken(GetParam().variant), "--loads 10" + kBrokenScript);
    if (v.output.find("SKIP no leak") != std::string::npos &&
        GetParam().variant == std::string("leaks"))
        GTEST_SKIP() << "this build's allocator does not report the memory in use";
    EXPECT_EQ(v.status, 1) << v.output;
    EXPECT_THAT(v.output, ::testing::HasSubstr(GetParam().expected_line)) << v.output;
    // One failure each, unless noted: the other checks still run and pass.
    int failures = 0;
    for (std::size_t at = v.output.find("\nFAIL "); at != std::string::npos;
         at = v.output.find("\nFAIL ", at + 1))
        failures++;
    EXPECT_EQ(failures, GetParam().failures) << v.output;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ValidateBroken,
    ::testing::Values(
        Fault{"no_gui_script", "FAIL entry points: missing getGUIScript\n"},
        Fault{"borrowed_gui_script", "FAIL entry points: not defined by the plugin itself: "
                                     "getGUIScript (from "},
        Fault{"null_name", "FAIL metadata: getPluginName returned null\n"},
        // A sanitizer runtime turns the crash into exit status 1.
        Fault{"crashing_author", "FAIL metadata: the plugin "},
        Fault{"errornr", "FAIL commands with cancelled dialogs: step 1 (GetFileName): "
                         "--expect-int ErrorNr=-1: ErrorNr is 1 (int), expected -1 (int)\n"},
        Fault{"accepts_any", "FAIL refused host: execute does nothing: initPlugin accepted a "
                             "0.0.0 host\n"},
        Fault{"accepts_no_host", "FAIL host without plugin-API functions: initPlugin refuses: "
                                 "initPlugin accepted a host without plugin-API functions\n"},
        Fault{"unknown_errornr", "FAIL unknown command does nothing: step 1 (getfilename): "
                                 "--expect-writes 0: 1 parameter writes instead of 0\n"},
        // Also fails the chosen dialogs, which it never shows either.
        Fault{"no_dialog",
              "FAIL commands with cancelled dialogs: step 1 (GetFileName): --expect-dialogs 1: "
              "0 dialogs instead of 1\n",
              2},
        Fault{"leaks", "FAIL no leak over 200 create, initialise, execute and destroy cycles: "
                       "memory in use grew by "}),
    [](const ::testing::TestParamInfo<Fault> &info) { return std::string(info.param.variant); });

TEST(Validate, SoundPluginPassesAndBadUsageIsRefused)
{
    const Validation sound = validate(broken("sound"), "--loads 10" + kBrokenScript);
    EXPECT_EQ(sound.status, 0) << sound.output;
    EXPECT_THAT(sound.output, ::testing::HasSubstr("PASS load and unload 10 times\n"));
    const Validation longest = validate(broken("long_metadata"), "--loads 10" + kBrokenScript);
    EXPECT_EQ(longest.status, 0) << longest.output;
    EXPECT_EQ(validate("/nonexistent/plugin.so").status, 2);
    EXPECT_EQ(validate(broken("sound"), "--loads 0").status, 2);
}

TEST(Validate, OnlyRunsTheNamedChecks)
{
    // The behaviour check that the faulty plugin passes, and a contract check.
    const Validation v = validate(broken("errornr"), "--only 'commands with chosen dialogs' "
                                                     "--only metadata" +
                                                         kBrokenScript);
    EXPECT_EQ(v.status, 0) << v.output;
    EXPECT_EQ(v.output, "tkhost: validating " + broken("errornr") +
                            "\nPASS metadata\n"
                            "tkhost: behaviour checks of " BROKEN_PLUGIN_SCRIPT "\n"
                            "PASS commands with chosen dialogs\n"
                            "tkhost: all checks passed\n");
    EXPECT_EQ(validate(broken("sound"), "--only no-such-check").status, 2);
    const Validation list = validate(broken("sound"), "--list-checks" + kBrokenScript);
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_THAT(list.output, ::testing::HasSubstr("\n  no-leak  "));
    EXPECT_THAT(list.output, ::testing::EndsWith("\n  unknown command does nothing\n"));
}

// Without its entry points nothing else can run; each check asked for is
// named as skipped.
TEST(Validate, EntryPointFailureListsTheSkippedChecks)
{
    const Validation v = validate(broken("no_gui_script"), "--only 'commands with chosen dialogs' "
                                                           "--only metadata" +
                                                               kBrokenScript);
    EXPECT_EQ(v.status, 1) << v.output;
    const std::string skipped = ": not run without the plugin's own entry points\n";
    EXPECT_EQ(v.output, "tkhost: validating " + broken("no_gui_script") +
                            "\nFAIL entry points: missing getGUIScript\n"
                            "SKIP metadata" +
                            skipped + "SKIP commands with chosen dialogs" + skipped +
                            "tkhost: some checks FAILED\n");
}

// A script that cannot be read is a usage error naming the file and line.
TEST(Validate, BadScriptsAreRefused)
{
    const struct {
        const char *text;
        const char *error;
    } cases[] = {
        {"--step Run\n", ":1: options before the first --check"},
        {"# fine\n \t# it's indented\n--check a\n--step 'Run\n", ":4: no closing '"},
        {"--check a\n--check a\n", ":2: a second check named 'a'"},
        {"--check metadata\n", ":1: 'metadata' is the name of a contract check"},
        {"--check a\n\n--check b\n--expect-dialogs 1\n", ":3: check 'b': option "
                                                         "'--expect-dialogs' must follow"},
        {"--check a\n--step Run\n--expect-writes many\n", ":1: check 'a': bad count 'many'"},
        {"--check a\n--step Run\n--set X=1\n", ":1: check 'a': 'X' is set after the last --step"},
        {"# nothing\n", ": no --check in the script"},
    };
    char path[] = "/tmp/tkhost-script-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    for (const auto &c : cases) {
        std::ofstream(path) << c.text;
        const Validation v = validate(broken("sound"), std::string("--script ") + path);
        EXPECT_EQ(v.status, 2) << c.text;
        EXPECT_THAT(v.output, ::testing::HasSubstr(std::string(path) + c.error)) << v.output;
    }
    std::remove(path);
}
