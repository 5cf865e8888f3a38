#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SendOptions.h"

namespace {

std::optional<SendOptions> Parse(std::vector<const char*> args, std::string* error = nullptr) {
    std::string why;
    auto options = ParseSendOptions(args, why);
    if (error) *error = why;
    return options;
}

TEST(SendOptions, TakesAFileAScreenAndAPortInAnyOrder) {
    auto options = Parse({"show.tso", "--port", "COM2", "4"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->file, "show.tso");
    EXPECT_EQ(options->screen, 4);
    EXPECT_EQ(options->port, "COM2");
    EXPECT_FALSE(options->clear);

    options = Parse({"--port=/dev/pts/7", "--", "-odd name.tso", "1"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->file, "-odd name.tso");
    EXPECT_EQ(options->port, "/dev/pts/7");

    options = Parse({"--backup", "COM2", "show.tso", "--port=COM1", "1"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->port, "COM1");
    EXPECT_EQ(options->backup, "COM2");
    EXPECT_EQ(Parse({"--backup=/dev/pts/9", "a.tso", "1"})->backup, "/dev/pts/9");
    EXPECT_FALSE(Parse({"a.tso", "1"})->backup) << "no backup unless asked";

    options = Parse({"--clear"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->clear);
    EXPECT_EQ(options->file, "");
    EXPECT_EQ(options->screen, 0);
    EXPECT_TRUE(Parse({"--clear", "show.tso", "2"}));
    EXPECT_TRUE(Parse({"--version"})->version);
}

TEST(SendOptions, RefusesWhatItCannotSendAndSaysWhy) {
    const struct {
        std::vector<const char*> args;
        const char* why;
    } cases[] = {
        {{"show.tso", "0"}, "no screen '0': screens are 1 to 4"},
        {{"show.tso", "5"}, "no screen '5': screens are 1 to 4"},
        {{"show.tso", "2x"}, "no screen '2x': screens are 1 to 4"},
        {{"show.tso"}, "a screen (1 to 4) is needed after the file"},
        {{}, "a file and a screen to send are needed"},
        {{"--clear", "show.tso"}, "a screen (1 to 4) is needed after the file"},
        {{"a.tso", "1", "2"}, "one file and one screen at a time"},
        {{"a.tso", "1", "--port"}, "--port needs a port name or a device"},
        {{"--port=", "a.tso", "1"}, "--port needs a port name or a device"},
        {{"--screen", "1"}, "unknown option '--screen'"},
        {{"a.tso", "1", "--backup"}, "--backup needs a port name or a device"},
        {{"--backup=", "a.tso", "1"}, "--backup needs a port name or a device"},
        {{"--backupx=COM2", "a.tso", "1"}, "unknown option '--backupx=COM2'"},
        {{"--version", "--backup", "COM2"}, "--help and --version each stand alone"},
        {{"--help", "a.tso", "1"}, "--help and --version each stand alone"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Parse(c.args, &error)) << c.why;
        EXPECT_EQ(error, c.why);
    }
}

}  // namespace
