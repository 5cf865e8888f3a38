// The program's command line, read before any window exists.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace {

std::optional<CCommandLine> Parse(std::vector<const char*> args, std::string* error = nullptr) {
    std::string why;
    std::optional<CCommandLine> parsed = ParseCommandLine(args, why);
    if (error) *error = why;
    return parsed;
}

TEST(CommandLine, NothingOrOneFile) {
    ASSERT_TRUE(Parse({}));
    EXPECT_FALSE(Parse({})->m_strFile);
    const struct {
        std::vector<const char*> args;
        const char* file;
    } cases[] = {
        {{"show.tso"}, "show.tso"},
        {{"/shows/a b.tso"}, "/shows/a b.tso"},
        {{"-"}, "-"},  // not an option: a file of that name
        {{"--", "-show.tso"}, "-show.tso"},
        {{"--", "--"}, "--"},
        {{"show.tso", "--"}, "show.tso"},
        {{""}, ""},  // handed on, so Open's box says it cannot be opened
    };
    for (const auto& c : cases) {
        const std::optional<CCommandLine> parsed = Parse(c.args);
        ASSERT_TRUE(parsed) << c.file;
        EXPECT_EQ(parsed->m_strFile, c.file);
    }
    const std::optional<CCommandLine> withMonitor = Parse({"show.tso", "--monitor"});
    ASSERT_TRUE(withMonitor);
    EXPECT_TRUE(withMonitor->m_bMonitor);
    EXPECT_EQ(withMonitor->m_strFile, "show.tso");
    EXPECT_EQ(Parse({"--", "--monitor"})->m_strFile, "--monitor");
}

// The word after --cues is its list whatever it looks like; the screen set stays apart.
TEST(CommandLine, CueListBesideAScreenSet) {
    const std::optional<CCommandLine> both = Parse({"--cues", "show.csv", "show.tso"});
    ASSERT_TRUE(both);
    EXPECT_EQ(both->m_strCuesFile, "show.csv");
    EXPECT_EQ(both->m_strFile, "show.tso");
    const std::optional<CCommandLine> dashed = Parse({"show.tso", "--cues", "-list.csv"});
    ASSERT_TRUE(dashed);
    EXPECT_EQ(dashed->m_strCuesFile, "-list.csv");
    EXPECT_EQ(dashed->m_strFile, "show.tso");
    EXPECT_FALSE(Parse({"show.tso"})->m_strCuesFile);
    EXPECT_EQ(Parse({"--", "--cues"})->m_strFile, "--cues");
}

TEST(CommandLine, OptionsAndSecondFilesAreRefusedWithTheReason) {
    const struct {
        std::vector<const char*> args;
        const char* why;
    } cases[] = {
        {{"--helpme"}, "unknown option '--helpme'"},
        {{"--list-ports", "show.tso"},
         "--list-ports, --remote-token, --as-run, --help and --version each stand alone"},
        {{"--help", "--version"},
         "--list-ports, --remote-token, --as-run, --help and --version each stand alone"},
        {{"-x", "show.tso"}, "unknown option '-x'"},
        {{"show.tso", "-platform"}, "unknown option '-platform'"},
        {{"a.tso", "b.tso"}, "one file at a time"},
        {{"a.tso", "--", "b.tso"}, "one file at a time"},
        {{"--monitor", "--version"},
         "--list-ports, --remote-token, --as-run, --help and --version each stand alone"},
        {{"--as-run", "show.tso"}, "--as-run takes a date as YYYY-MM-DD, not 'show.tso'"},
        {{"--as-run", "2026-02-30"}, "--as-run takes a date as YYYY-MM-DD, not '2026-02-30'"},
        {{"--as-run", "2026-12-09", "show.tso"},
         "--list-ports, --remote-token, --as-run, --help and --version each stand alone"},
        {{"--csv"}, "--csv goes with --as-run"},
        {{"--cues"}, "--cues needs a file"},
        {{"--cues", "a.csv", "--cues", "b.csv"}, "one cue list at a time"},
        {{"--cues", "a.csv", "--list-ports"},
         "--list-ports, --remote-token, --as-run, --help and --version each stand alone"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(Parse(c.args, &why)) << c.why;
        EXPECT_EQ(why, c.why);
    }
    EXPECT_EQ(CommandLineUsage(),
              "usage: tessora [--monitor] [--cues LIST] [FILE] | --list-ports | --remote-token | "
              "--as-run [DATE] [--csv] | --help | --version");
}

// The answers that need no window, each alone; after "--" they are file names again.
TEST(CommandLine, AnswersWithoutAWindow) {
    EXPECT_TRUE(Parse({"--list-ports"})->m_bListPorts);
    EXPECT_TRUE(Parse({"--help"})->m_bHelp);
    EXPECT_TRUE(Parse({"-h"})->m_bHelp);
    EXPECT_TRUE(Parse({"--version"})->m_bVersion);
    EXPECT_TRUE(Parse({"--remote-token"})->m_bRemoteToken);
    // The as-run log: today's unless a date follows; --csv on either side of it.
    const std::optional<CCommandLine> today = Parse({"--as-run"});
    ASSERT_TRUE(today);
    EXPECT_TRUE(today->m_bAsRun);
    EXPECT_FALSE(today->m_strAsRunDate);
    EXPECT_FALSE(today->m_bCsv);
    const std::optional<CCommandLine> day = Parse({"--csv", "--as-run", "2024-02-29"});
    ASSERT_TRUE(day);
    EXPECT_EQ(day->m_strAsRunDate, "2024-02-29");
    EXPECT_TRUE(day->m_bCsv);
    EXPECT_FALSE(Parse({"--as-run", "--csv"})->m_strAsRunDate);
    const std::optional<CCommandLine> file = Parse({"--", "--list-ports"});
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->m_bListPorts);
    EXPECT_EQ(file->m_strFile, "--list-ports");
    EXPECT_EQ(CommandLineHelp().rfind(CommandLineUsage() + "\n", 0), 0u);
}

}  // namespace
