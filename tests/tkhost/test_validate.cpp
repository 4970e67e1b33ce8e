// tkhost --validate on this library and on plugins with one deliberate fault
// each (tests/tkhost/broken_plugin.cpp): one PASS/FAIL line per check, the
// exit status 1 on any failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
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

}  // namespace

TEST(Validate, ThisLibraryPassesEveryCheck)
{
    const Validation v = validate(TESSIVANE_LIBRARY);
    EXPECT_EQ(v.status, 0) << v.output;
    EXPECT_THAT(v.output, ::testing::HasSubstr("PASS load and unload 1000 times\n"));
    EXPECT_THAT(v.output, ::testing::Not(::testing::HasSubstr("FAIL")));
    EXPECT_THAT(v.output, ::testing::HasSubstr("tkhost: all checks passed\n"));
}

struct Fault {
    const char *variant;
    const char *expected_line;
    int failures = 1;
};

class ValidateBroken : public ::testing::TestWithParam<Fault> {};

TEST_P(ValidateBroken, FailsExactlyTheCheckItBreaks)
{
    const Validation v = validate(broken(GetParam().variant), "--loads 10");
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
        Fault{"null_name", "FAIL metadata: getPluginName returned null\n"},
        // A sanitizer runtime turns the crash into exit status 1.
        Fault{"crashing_author", "FAIL metadata: the plugin "},
        Fault{"errornr", "FAIL commands with cancelled dialogs: GetFileName: ErrorNr is 1 (int), "
                         "expected -1\n"},
        Fault{"accepts_any", "FAIL refused host: execute does nothing: initPlugin accepted a "
                             "0.0.0 host\n"},
        Fault{"accepts_no_host", "FAIL host without plugin-API functions: initPlugin refuses: "
                                 "initPlugin accepted a host without plugin-API functions\n"},
        Fault{"unknown_errornr", "FAIL unknown command does nothing: an unknown command showed a "
                                 "dialog or wrote parameters\n"},
        // Also fails the chosen dialogs, which it never shows either.
        Fault{"no_dialog",
              "FAIL commands with cancelled dialogs: GetFileName: 0 dialogs instead "
              "of 1\n",
              2}),
    [](const ::testing::TestParamInfo<Fault> &info) { return std::string(info.param.variant); });

TEST(Validate, SoundPluginPassesAndBadUsageIsRefused)
{
    const Validation sound = validate(broken("sound"), "--loads 10");
    EXPECT_EQ(sound.status, 0) << sound.output;
    EXPECT_THAT(sound.output, ::testing::HasSubstr("PASS load and unload 10 times\n"));
    const Validation longest = validate(broken("long_metadata"), "--loads 10");
    EXPECT_EQ(longest.status, 0) << longest.output;
    EXPECT_EQ(validate("/nonexistent/plugin.so").status, 2);
    EXPECT_EQ(validate(broken("sound"), "--loads 0").status, 2);
}
