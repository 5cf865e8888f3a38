#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DisplayText.h"

namespace {

TEST(DisplayText, BytesShowAsWindows1252OrPlaceholders) {
    const std::vector<std::pair<unsigned char, const char*>> cases = {
        {'A', "A"},       {'{', "{"},       {0x80, "\u20AC"}, {0x82, "\u201A"}, {0x8C, "\u0152"},
        {0x92, "\u2019"}, {0x99, "\u2122"}, {0x9F, "\u0178"}, {0xA0, "\u00A0"}, {0xE9, "\u00E9"},
        {0xFF, "\u00FF"}, {0x00, "\u2400"}, {'\t', "\u2409"}, {'\n', "\u240A"}, {'\r', "\u240D"},
        {0x1F, "\u241F"}, {0x7F, "\u2421"}, {0x81, "\uFFFD"}, {0x8D, "\uFFFD"}, {0x8F, "\uFFFD"},
        {0x90, "\uFFFD"}, {0x9D, "\uFFFD"},
    };
    for (const auto& [byte, shown] : cases) {
        EXPECT_EQ(CellText(byte), shown) << "byte " << int{byte};
    }
}

// A dump row is 52 characters whatever bytes it holds.
TEST(DisplayText, DumpIsNineteenLinesOfFiftyTwoCharacters) {
    CCaptionDisplay display;
    for (int b = 0; b < 256; ++b) {
        if (b % 51 == 0) {
            display.Feed("{C000" + std::to_string(b / 51));
        }
        if (b != '{') {
            display.Feed(static_cast<unsigned char>(b));
        }
    }
    const std::string dump = DisplayDump(display);
    ASSERT_EQ(dump.back(), '\n');
    int lines = 0;
    int characters = 0;
    for (char c : dump) {
        if (c == '\n') {
            EXPECT_EQ(characters, 52) << "line " << lines;
            characters = 0;
            ++lines;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++characters;  // not a UTF-8 continuation byte
        }
    }
    EXPECT_EQ(lines, 19);
}

TEST(DisplayText, LogLineIsMillisecondsAndLowercaseHex) {
    EXPECT_EQ(ByteLogLine(1534, 0x7B), "1534 7b\n");
    EXPECT_EQ(ByteLogLine(0, 0x00), "0 00\n");
    EXPECT_EQ(ByteLogLine(2592000000LL, 0xFF), "2592000000 ff\n");
}

}  // namespace
