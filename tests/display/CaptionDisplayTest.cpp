#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaptionDisplay.h"

namespace {

struct Placement {
    int column;
    int row;
    std::string text;
};

struct StreamCase {
    const char* name;
    std::vector<std::string> writes;
    std::vector<Placement> shown;  // every other cell is blank
};

const std::vector<StreamCase> kStreams = {
    {"greeting",
     {"{A19{C0000Halvercrest Tessora Connected"},
     {{0, 0, "Halvercrest Tessora Connected"}}},
    {"greeting then clear", {"{A19{C0000Halvercrest Tessora Connected", "{A19"}, {}},
    {"two lines", {"{A19", "{C0000Hello{C0001World{C0002"}, {{0, 0, "Hello"}, {0, 1, "World"}}},
    {"empty screen", {"{A19", "{C0000{C0001"}, {}},
    {"wrapped line",
     {"{A19",
      "{C0000The quick brown fox jumps over the lazy dog and{C0001then runs far away home{C0002"},
     {{0, 0, "The quick brown fox jumps over the lazy dog and"},
      {0, 1, "then runs far away home"}}},
    {"stamps sharing top right",
     {"{A19", "{C350008/12/26", "{C4300 14:05:09", "{C0001Hello{C0002"},
     {{35, 0, "08/12/26 14:05:09"}, {0, 1, "Hello"}}},
    {"date top left", {"{C000008/12/26"}, {{0, 0, "08/12/26"}}},
    {"time bottom right", {"{C441814:05:09"}, {{44, 18, "14:05:09"}}},
    {"both top left", {"{C000008/12/26", "{C0800 14:05:09"}, {{0, 0, "08/12/26 14:05:09"}}},
    // Ends exactly in column 51.
    {"both bottom right", {"{C351808/12/26", "{C4318 14:05:09"}, {{35, 18, "08/12/26 14:05:09"}}},
    {"tick rewrites in place",
     {"{A19{C0000Hi", "{C441814:05:09", "{C441814:05:10"},
     {{0, 0, "Hi"}, {44, 18, "14:05:10"}}},
    {"clear returns to the top left", {"{C1007abc{A19x"}, {{0, 0, "x"}}},
    // Nothing wraps: the tail of an over-long row is lost, the next row untouched.
    {"past the last column", {"{C5000abcdef{C0001y"}, {{50, 0, "ab"}, {0, 1, "y"}}},
    {"position off the grid", {"{C5200a{C0019b{C9999c{C0101d"}, {{1, 1, "d"}}},
    {"control bytes take a cell each", {"Hello\r\n\tX"}, {{0, 0, "Hello\r\n\tX"}}},
    {"nul is written, not blank", {std::string("a\0b", 3)}, {{0, 0, std::string("a\0b", 3)}}},
    {"high bytes are kept", {"\x80\xe9\xff"}, {{0, 0, "\x80\xe9\xff"}}},
    {"unknown command is text", {"{X1"}, {{0, 0, "{X1"}}},
    {"clear with another number is text", {"{A18z"}, {{0, 0, "{A18z"}}},
    {"position with a non-digit is text", {"{C12x4q"}, {{0, 0, "{C12x4q"}}},
    {"broken command then a real one", {"ab{C0{C0101z"}, {{0, 0, "ab{C0"}, {1, 1, "z"}}},
    {"doubled brace", {"{{C0101z"}, {{0, 0, "{"}, {1, 1, "z"}}},
    {"brace before a clear", {"x{{A19"}, {}},
};

// The same stream must decode the same however the line splits it into reads.
TEST(CaptionDisplay, DecodesStreamsHoweverTheyAreSplit) {
    for (std::size_t step : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
        for (const StreamCase& c : kStreams) {
            SCOPED_TRACE(std::string(c.name) + ", reads of " + std::to_string(step));
            CCaptionDisplay display;
            std::string all;
            for (const std::string& w : c.writes) {
                all += w;
                if (step == 0) display.Feed(w);
            }
            for (std::size_t i = 0; step != 0 && i < all.size(); i += step) {
                display.Feed(std::string_view(all).substr(i, step));
            }

            std::vector<std::string> expected(19, std::string(52, ' '));
            for (const Placement& p : c.shown) {
                expected[p.row].replace(p.column, p.text.size(), p.text);
            }
            for (int row = 0; row < CCaptionDisplay::kRows; ++row) {
                EXPECT_EQ(display.RowBytes(row), expected[row]) << "row " << row;
            }
        }
    }
}

TEST(CaptionDisplay, HoldsABraceBackUntilItIsKnownToBeText) {
    CCaptionDisplay display;
    display.Feed("x{");
    EXPECT_EQ(display.RowBytes(0).substr(0, 3), "x  ");
    display.Feed("y");
    EXPECT_EQ(display.RowBytes(0).substr(0, 3), "x{y");
}

// The program rewrites its dump file on each reported change.
TEST(CaptionDisplay, ReportsOnlyRealChanges) {
    CCaptionDisplay display;
    EXPECT_FALSE(display.Feed("{A19")) << "clearing a blank display";
    EXPECT_FALSE(display.Feed("{C0000")) << "a move alone";
    EXPECT_TRUE(display.Feed("a"));
    EXPECT_FALSE(display.Feed("{C0000a")) << "the same byte again";
    EXPECT_FALSE(display.Feed("{C6000zz")) << "bytes off the grid";
    EXPECT_FALSE(display.Feed("{C0100{")) << "a held-back brace";
    EXPECT_TRUE(display.Feed("Q")) << "the brace turns out to be text";
    EXPECT_TRUE(display.Feed("{A19"));
}

}  // namespace
