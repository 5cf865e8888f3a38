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
}

TEST(CommandLine, OptionsAndSecondFilesAreRefusedWithTheReason) {
    const struct {
        std::vector<const char*> args;
        const char* why;
    } cases[] = {
        {{"--help"}, "unknown option '--help'"},
        {{"-x", "show.tso"}, "unknown option '-x'"},
        {{"show.tso", "-platform"}, "unknown option '-platform'"},
        {{"a.tso", "b.tso"}, "one file at a time"},
        {{"a.tso", "--", "b.tso"}, "one file at a time"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(Parse(c.args, &why)) << c.why;
        EXPECT_EQ(why, c.why);
    }
    EXPECT_EQ(CommandLineUsage(), "usage: tessora [FILE]");
}

}  // namespace
