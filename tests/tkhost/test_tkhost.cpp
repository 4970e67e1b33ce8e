// tkhost end to end: the program is run with scripted answers (or answers on
// its standard input) and its output and exit status are checked.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

struct Outcome {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string scratch_file(const std::string &content)
{
    char name[] = "/tmp/tkhost-test-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return std::string();
    if (!content.empty() && write(fd, content.data(), content.size()) < 0)
        std::perror("write");
    close(fd);
    return name;
}

// Runs tkhost with the arguments; `input` is its standard input, `extra_env`
// adds NAME=VALUE entries to the environment.
Outcome tkhost(const std::vector<std::string> &args, const std::string &input = "",
               const std::vector<std::string> &extra_env = {})
{
    std::string in_path = scratch_file(input);
    std::string out_path = scratch_file("");
    std::string err_path = scratch_file("");

    std::vector<std::string> argv_text = {TKHOST_EXE};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : argv_text)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::vector<std::string> env_text = extra_env;
    for (char **e = environ; *e != nullptr; e++)
        env_text.push_back(*e);
    std::vector<char *> envp;
    for (std::string &e : env_text)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid;
    Outcome outcome;
    if (posix_spawn(&pid, TKHOST_EXE, &actions, nullptr, argv.data(), envp.data()) == 0) {
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.out = slurp(out_path);
    outcome.err = slurp(err_path);
    std::remove(in_path.c_str());
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return outcome;
}

const std::string kLibrary = TESSIVANE_LIBRARY;
const std::string kFmr = "Lumarin functional project (*.fmr)";

// One line on stderr saying what was wrong, nothing on stdout.
void expectUsageError(const Outcome &o, const std::string &mentions)
{
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_THAT(o.err, StartsWith("tkhost: "));
    EXPECT_THAT(o.err, EndsWith("\n"));
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_THAT(o.err, HasSubstr(mentions));
}

}  // namespace

// ---- sessions with this library ----

TEST(TkhostSession, ScriptedWizardSession)
{
    Outcome o = tkhost({kLibrary, "--step", "GetFileName", "--filetype", kFmr, "--answer",
                        "/data/sub-01/run-1.fmr", "--step", "GetTargetFileName", "--answer",
                        "/data/sub-01/run-0.fmr", "--step", "GetTextFileName", "--answer",
                        "/data/sub-01/sources.txt", "--step", "GetFileName", "--cancel"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(
        o.out,
        "tkhost: plugin " + kLibrary +
            "\n"
            "  name         \"tessivane (v1.2)\"\n"
            "  description  \"Plugin to process multiple Lumarin files<br>\"\n"
            "  author       \"<i>Ilse Varrow</i>, Kestrelbay B.V.\"\n"
            "  version      \"1.2\"\n"
            "  help file    \"\"\n"
            "  GUI script   \"tessivane_v12.js\"\n"
            "tkhost: host version 2.3.0\n"
            "tkhost: initPlugin\n"
            "[host] log tab brought to front\n"
            "[log] Running tessivane...\n"
            "  initPlugin -> true\n"
            "tkhost: step 1: Command \"GetFileName\", FileType \"" +
            kFmr +
            "\"\n"
            "[dialog] \"Please select the source file\", filter \"" +
            kFmr +
            "\" -> \"/data/sub-01/run-1.fmr\"\n"
            "  execute -> true\n"
            "  parameters written:\n"
            "    Filename = \"/data/sub-01/run-1.fmr\"\n"
            "    ErrorNr = 0 (int)\n"
            "tkhost: step 2: Command \"GetTargetFileName\"\n"
            "[dialog] \"Please select the intra-session alignment target file for this source "
            "file\", filter \"" +
            kFmr +
            "\" -> \"/data/sub-01/run-0.fmr\"\n"
            "  execute -> true\n"
            "  parameters written:\n"
            "    TargetFilename = \"/data/sub-01/run-0.fmr\"\n"
            "    ErrorNr = 0 (int)\n"
            "tkhost: step 3: Command \"GetTextFileName\"\n"
            "[dialog] \"Please select the text file with source filenames\", filter \"Text file "
            "with source filenames (*.txt)\" -> \"/data/sub-01/sources.txt\"\n"
            "  execute -> true\n"
            "  parameters written:\n"
            "    Filename = \"/data/sub-01/sources.txt\"\n"
            "    ErrorNr = 0 (int)\n"
            "tkhost: step 4: Command \"GetFileName\"\n"
            "[dialog] \"Please select the source file\", filter \"" +
            kFmr +
            "\" -> cancelled\n"
            "  execute -> true\n"
            "  parameters written:\n"
            "    ErrorNr = -1 (int)\n"
            "    ErrorMsg = \"No file selected\"\n"
            "tkhost: destroying the plugin\n"
            "[log] batchprocessingplugin finished!\n"
            "tkhost: session finished: 4 step(s), 0 unexpected host call(s)\n");
}

TEST(TkhostSession, OldHostIsRefusedWithMessageBox)
{
    for (const char *version : {"2.2.9", "2.3.-1", "1.99.99"}) {
        Outcome o = tkhost({"--host-version", version, kLibrary, "--step", "GetFileName",
                            "--answer", "/never.fmr"});
        EXPECT_EQ(o.status, 1) << version;
        EXPECT_EQ(o.err, "[message box] Can not execute this plugin - LumarinTK version 2.3 or "
                         "higher required.\n")
            << version;
        EXPECT_THAT(o.out, HasSubstr("  initPlugin -> false\n"));
        EXPECT_THAT(o.out, Not(HasSubstr("step 1")));
        EXPECT_THAT(o.out, Not(HasSubstr("Running tessivane...")));
        // The table was filled before the refusal, so the closing line is written.
        EXPECT_THAT(o.out, EndsWith("[log] batchprocessingplugin finished!\n"));
    }
}

TEST(TkhostSession, NewerHostsAreAccepted)
{
    for (const char *version : {"2.3.0", "2.4.0", "3.0.0", "2.10.-5"}) {
        Outcome o = tkhost({kLibrary, "--host-version", version});
        EXPECT_EQ(o.status, 0) << version;
        EXPECT_EQ(o.err, "") << version;
        EXPECT_THAT(o.out, HasSubstr(std::string("tkhost: host version ") + version + "\n"));
        EXPECT_THAT(o.out, HasSubstr("  initPlugin -> true\n"));
    }
}

TEST(TkhostSession, DialogAnsweredOnTheTerminal)
{
    Outcome o = tkhost({kLibrary, "--step", "GetFileName", "--filetype", "Volumes (*.vmr)",
                        "--step", "GetTextFileName"},
                       "/typed/in/2.385.vmr\n\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_THAT(o.err, HasSubstr("Open file: Please select the source file\n"
                                 "  filter: Volumes (*.vmr)\n"
                                 "  path (empty line cancels): "));
    EXPECT_THAT(o.err, HasSubstr("Open file: Please select the text file with source filenames\n"
                                 "  filter: Text file with source filenames (*.txt)\n"));
    EXPECT_THAT(o.out, HasSubstr("    Filename = \"/typed/in/2.385.vmr\"\n"
                                 "    ErrorNr = 0 (int)\n"));
    EXPECT_THAT(o.out, HasSubstr("    ErrorNr = -1 (int)\n"
                                 "    ErrorMsg = \"No file selected\"\n"));
}

TEST(TkhostSession, EndOfInputCancelsTheDialog)
{
    Outcome o = tkhost({kLibrary, "--step", "GetTargetFileName"}, "");
    EXPECT_EQ(o.status, 0);
    EXPECT_THAT(o.err, HasSubstr("(end of input)"));
    EXPECT_THAT(o.out, HasSubstr("-> cancelled\n"));
    EXPECT_THAT(o.out, HasSubstr("    ErrorNr = -1 (int)\n"));
}

TEST(TkhostSession, UnknownCommandShowsNoDialogAndWritesNothing)
{
    Outcome o =
        tkhost({kLibrary, "--step", "getfilename", "--answer", "/unused.fmr", "--step", ""});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_THAT(o.out, Not(HasSubstr("[dialog]")));
    EXPECT_THAT(o.out, HasSubstr("tkhost: step 1: Command \"getfilename\"\n"
                                 "  execute -> true\n"
                                 "  (no dialog was shown; the step's answer was not used)\n"
                                 "  parameters written: none\n"));
    EXPECT_THAT(o.out, HasSubstr("tkhost: step 2: Command \"\"\n"
                                 "  execute -> true\n"
                                 "  parameters written: none\n"));
}

TEST(TkhostSession, FileTypeCarriesOverToLaterSteps)
{
    Outcome o = tkhost({kLibrary, "--step", "GetFileName", "--filetype", "A (*.a)", "--cancel",
                        "--step", "GetFileName", "--cancel"});
    EXPECT_EQ(o.status, 0);
    std::size_t first = o.out.find("filter \"A (*.a)\"");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(o.out.find("filter \"A (*.a)\"", first + 1), std::string::npos);
}

// ---- sessions with a third-party plugin ----

TEST(TkhostProbe, StoreKeepsIntAndFloatValues)
{
    Outcome o = tkhost(
        {PROBE_PLUGIN, "--set-int", "Count=4", "--set-float", "Scale=2.385", "--step", "Numbers"});
    EXPECT_EQ(o.status, 0);
    EXPECT_THAT(o.out, HasSubstr("  help file    \"probe.html\"\n"));
    EXPECT_THAT(o.out, HasSubstr("    Product = 9.53999996 (float)\n"
                                 "    Doubled = 8 (int)\n"));
}

// Floats are printed with nine digits, so two that differ never read the
// same; --expect-float compares exactly unless given a tolerance (~TOL).
// The probe writes Product = 4 * 2.385f = 9.53999996f.
TEST(TkhostProbe, FloatExpectationsPrintRoundTripDigitsAndTakeATolerance)
{
    const struct {
        const char *expect, *verdict;
    } cases[] = {
        {"Product=9.54", "ok"},
        {"Product=9.53999", "FAILED, Product is 9.53999996 (float), expected 9.53999043 (float)"},
        {"Product=9.53999~1e-5", "ok"},
        {"Product=9.5~0.04", "ok"},
        {"Product=9.5~0.01", "FAILED, Product is 9.53999996 (float), expected 9.5 (float) within "
                             "0.01 (off by 0.0399999619)"},
        {"Doubled=8~1", "FAILED, Doubled is 8 (int), expected 8 (float)"},
    };
    for (const auto &c : cases) {
        const Outcome o = tkhost({PROBE_PLUGIN, "--set-int", "Count=4", "--set-float",
                                  "Scale=2.385", "--step", "Numbers", "--expect-float", c.expect});
        EXPECT_EQ(o.status, std::string(c.verdict) == "ok" ? 0 : 1) << c.expect;
        EXPECT_THAT(o.out, HasSubstr("  check --expect-float " + std::string(c.expect) + ": " +
                                     c.verdict + "\n"));
    }
    for (const char *bad : {"Product=9.5~-1", "Product=9.5~", "Product=9.5~x"})
        expectUsageError(tkhost({PROBE_PLUGIN, "--step", "Numbers", "--expect-float", bad}),
                         "bad tolerance");
}

// The probe reads Count with tkGetIntParameter and Scale with
// tkGetFloatParameter, whatever kind of value the store holds (or none).
TEST(TkhostProbe, NumbersAreConvertedFromEveryKindOfValue)
{
    struct Case {
        std::vector<std::string> set;
        const char *product, *doubled;
    };
    const Case cases[] = {
        {{"--set-float", "Count=4.7", "--set-int", "Scale=3"}, "12 (float)", "8 (int)"},
        {{"--set-float", "Count=-4.7", "--set-float", "Scale=0.5"}, "-2 (float)", "-8 (int)"},
        {{"--set", "Count=12abc", "--set", "Scale=0.25e1x"}, "30 (float)", "24 (int)"},
        {{"--set", "Count=", "--set", "Scale=none"}, "0 (float)", "0 (int)"},
        {{}, "0 (float)", "0 (int)"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {PROBE_PLUGIN};
        args.insert(args.end(), c.set.begin(), c.set.end());
        args.insert(args.end(), {"--step", "Numbers"});
        const Outcome o = tkhost(args);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_THAT(o.out, HasSubstr("    Product = " + std::string(c.product) + "\n" +
                                     "    Doubled = " + c.doubled + "\n"))
            << o.out;
    }
}

// A --set between steps comes into effect just before the next step; one
// after the last step would change nothing and is refused. --expect checks
// the store after its step and fails the session when it does not hold.
TEST(TkhostProbe, SetBetweenStepsAppliesInOrderAndExpectationsAreChecked)
{
    Outcome o =
        tkhost({PROBE_PLUGIN, "--set-int", "Count=4", "--step", "Numbers", "--set-int", "Count=5",
                "--step", "Numbers", "--expect-int", "Doubled=10", "--expect-int", "Doubled=3"});
    EXPECT_EQ(o.status, 1);
    EXPECT_THAT(o.out, HasSubstr("    Doubled = 8 (int)\n"
                                 "tkhost: step 2: Command \"Numbers\"\n"
                                 "  set Count = 5 (int)\n"));
    EXPECT_THAT(o.out, HasSubstr("    Doubled = 10 (int)\n"
                                 "  check --expect-int Doubled=10: ok\n"
                                 "  check --expect-int Doubled=3: FAILED, Doubled is 10 (int), "
                                 "expected 3 (int)\n"));
    expectUsageError(tkhost({PROBE_PLUGIN, "--step", "Numbers", "--set-int", "Count=4"}),
                     "'Count' is set after the last --step");
}

TEST(TkhostProbe, UnexpectedHostCallsAreReportedInTheLog)
{
    Outcome o = tkhost({PROBE_PLUGIN, "--step", "Unexpected"});
    EXPECT_EQ(o.status, 0);
    EXPECT_THAT(o.out, HasSubstr("[log] unexpected host call: tkGetSaveFileName\n"
                                 "[log] unexpected host call: tkLaunchICADialog\n"));
    EXPECT_THAT(o.out, HasSubstr("[log] probe finished\n"));
    EXPECT_THAT(o.out, EndsWith("1 step(s), 2 unexpected host call(s)\n"));
}

TEST(TkhostProbe, MisbehavingPluginGivesStatusOne)
{
    Outcome failed = tkhost({PROBE_PLUGIN, "--step", "Fail", "--step", "Numbers"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_THAT(failed.out, HasSubstr("  execute -> false\n"));
    EXPECT_THAT(failed.out, HasSubstr("step 2"));

    Outcome threw = tkhost({PROBE_PLUGIN, "--step", "Throw", "--step", "Numbers"});
    EXPECT_EQ(threw.status, 1);
    EXPECT_EQ(threw.err, "tkhost: the plugin threw from execute: probe gave up\n");
    EXPECT_THAT(threw.out, Not(HasSubstr("step 2")));
    EXPECT_THAT(threw.out, EndsWith("[log] probe finished\n"));

    Outcome none = tkhost({PROBE_PLUGIN}, "", {"PROBE_CREATE_NULL=1"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "tkhost: createPlugin returned no plugin object\n");
}

// ---- wrong usage: one line on stderr, exit status 2 ----

TEST(TkhostUsage, MissingOrUnloadableFiles)
{
    expectUsageError(tkhost({"/no/such/libplugin.so"}), "No such file or directory");
    expectUsageError(tkhost({"/tmp"}), "not a regular file");
    std::string text = scratch_file("not a shared object\n");
    expectUsageError(tkhost({text}), "cannot load plugin");
    std::remove(text.c_str());
    expectUsageError(tkhost({NOT_A_PLUGIN}), "has no entry point 'createPlugin'");
}

TEST(TkhostUsage, BadVersionStrings)
{
    for (const char *version : {"2.3", "2.3.0.1", "a.b.c", "2..0", "2.3.", ".2.3", "", "+2.3.0",
                                " 2.3.0", "2.3.4294967296", "2.3.0 ", "2,3,0", "v2.3.0"})
        expectUsageError(tkhost({kLibrary, "--host-version", version}),
                         std::string("bad host version '") + version + "'");
}

TEST(TkhostUsage, BadArguments)
{
    expectUsageError(tkhost({}), "no plugin given");
    expectUsageError(tkhost({kLibrary, "--frobnicate"}), "unknown option '--frobnicate'");
    expectUsageError(tkhost({kLibrary, "--answer", "/a.fmr"}), "must follow a --step");
    expectUsageError(tkhost({kLibrary, "--cancel"}), "must follow a --step");
    expectUsageError(tkhost({kLibrary, "--step"}), "needs a value");
    expectUsageError(tkhost({kLibrary, "--step", "GetFileName", "--answer", "/a", "--cancel"}),
                     "already has an answer");
    expectUsageError(tkhost({kLibrary, kLibrary}), "unexpected argument");
    expectUsageError(tkhost({kLibrary, "--set", "NoEquals"}), "expects NAME=VALUE");
    expectUsageError(tkhost({kLibrary, "--set-int", "Count=2.385"}), "bad value '2.385'");
    expectUsageError(tkhost({kLibrary, "--set-float", "Scale=fast"}), "bad value 'fast'");
}

TEST(TkhostUsage, Help)
{
    Outcome o = tkhost({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_THAT(o.out, StartsWith("usage: tkhost PLUGIN.so [options]\n"));
}
