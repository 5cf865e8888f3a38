#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "TextLayout.h"

namespace {

std::string Row(int row) {
    return "{C00" + std::string(row < 10 ? "0" : "") + std::to_string(row);
}
std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

// Bytes that differ from their neighbours, so a break one byte off shows.
std::string Digits(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + i % 10));
    return s;
}

struct LayoutCase {
    const char* name;
    std::string text;
    int dateCorner;
    int timeCorner;
    std::string expected;
};
void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class LayOutTextTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(LayOutTextTest, GivesTheExactCommands) {
    const LayoutCase& c = GetParam();
    const TextLayout layout = LayOutText(c.text, c.dateCorner, c.timeCorner);
    EXPECT_EQ(layout.commands, c.expected);
    EXPECT_FALSE(layout.tooLong);
}

const std::string a50 = Repeat('a', 50), b20 = Repeat('b', 20);

INSTANTIATE_TEST_SUITE_P(
    Lines, LayOutTextTest,
    testing::Values(
        LayoutCase{"TwoLines", "Hello\nWorld", 0, 0, "{C0000Hello{C0001World{C0002"},
        LayoutCase{"TwoLinesBelowTopLeftDate", "Hello\nWorld", 1, 0,
                   "{C0001Hello{C0002World{C0003"},
        LayoutCase{"WrapsAtLastSpaceThatFits",
                   "The quick brown fox jumps over the lazy dog and then runs far away home", 0, 0,
                   "{C0000The quick brown fox jumps over the lazy dog and{C0001then runs far "
                   "away home{C0002"},
        LayoutCase{"EmptyText", "", 0, 0, "{C0000{C0001"},
        LayoutCase{"FiftyOneBytesWhole", a50 + " ", 0, 0, "{C0000" + a50 + " {C0001"},
        LayoutCase{"FiftyTwoBytesBreakAtSpace", a50 + " b", 0, 0, "{C0000" + a50 + "{C0001b{C0002"},
        LayoutCase{"FiftyTwoBytesWithoutSpace", Digits(52), 0, 0, "{C0000" + Digits(52) + "{C0001"},
        LayoutCase{"LongWordBreaksHard", Digits(60) + " x", 0, 0,
                   "{C0000" + Digits(52) + "{C0001" + Digits(60).substr(52) + " x{C0002"},
        LayoutCase{"CrLfKeepsCr", "Hello\r\nWorld", 0, 0, "{C0000Hello\r{C0001World{C0002"},
        LayoutCase{"CrCountsTowardsWidth", Repeat('a', 30) + " " + b20 + "\r\nNext", 0, 0,
                   "{C0000" + Repeat('a', 30) + "{C0001" + b20 + "{C0002Next{C0003"},
        LayoutCase{"ShortLineSentAsItStands", "  \tHi\r\n", 0, 0, "{C0000  \tHi\r{C0001{C0002"},
        LayoutCase{"LeadingSpaceOnlySpace", " " + Digits(60), 0, 0,
                   "{C0000{C0001" + Digits(52) + "{C0002" + Digits(60).substr(52) + "{C0003"},
        LayoutCase{"SpacesAtBreak", a50 + "    " + b20, 0, 0,
                   "{C0000" + a50 + " {C0001" + b20 + "{C0002"},
        LayoutCase{"ContinuationStrippedOfWhiteSpace", a50 + " \t\v\fbb \t\r", 0, 0,
                   "{C0000" + a50 + "{C0001bb{C0002"},
        LayoutCase{"ContinuationWrapsAgain", a50 + "a " + b20 + b20 + "bbbbbbbbbbb cc", 0, 0,
                   "{C0000" + a50 + "a{C0001" + b20 + b20 + "bbbbbbbbbbb{C0002cc{C0003"},
        LayoutCase{"EmptyLinesAndTrailingLf", "A\n\nB\n", 0, 0, "{C0000A{C0001{C0002B{C0003{C0004"},
        LayoutCase{"BracesSentUnchanged", "{A19{C0505", 0, 0, "{C0000{A19{C0505{C0001"},
        LayoutCase{"CornersOutsideListsCountAsNeither", "Hi", 5, -1, "{C0000Hi{C0001"}),
    [](const auto& info) { return std::string(info.param.name); });

// Screens of numbered lines: which rows the stamps leave to the text, and when the warning
// is raised.
struct RowsCase {
    const char* name;
    int lines, dateCorner, timeCorner, firstRow, lastRow;
    bool tooLong;
};
void PrintTo(const RowsCase& c, std::ostream* os) {
    *os << c.name;
}

class RowLimitTest : public testing::TestWithParam<RowsCase> {};

TEST_P(RowLimitTest, FillsOnlyTheFreeRows) {
    const RowsCase& c = GetParam();
    std::string text = "L0";
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about "literal" + string.
    for (int i = 1; i < c.lines; ++i) text.append("\nL").append(std::to_string(i));
    std::string expected = Row(c.firstRow);
    for (int row = c.firstRow; row <= c.lastRow; ++row)
        expected.append("L").append(std::to_string(row - c.firstRow)).append(Row(row + 1));

    const TextLayout layout = LayOutText(text, c.dateCorner, c.timeCorner);
    EXPECT_EQ(layout.commands, expected);
    EXPECT_EQ(layout.tooLong, c.tooLong);
}

INSTANTIATE_TEST_SUITE_P(Screens, RowLimitTest,
                         testing::Values(RowsCase{"Sixteen", 16, 0, 0, 0, 15, false},
                                         RowsCase{"Seventeen", 17, 0, 0, 0, 16, true},
                                         RowsCase{"Eighteen", 18, 0, 0, 0, 16, true},
                                         RowsCase{"TopStamp", 16, 2, 0, 1, 16, true},
                                         RowsCase{"BottomStamp", 16, 0, 4, 0, 15, true},
                                         RowsCase{"BottomStampRoom", 15, 3, 0, 0, 14, false},
                                         RowsCase{"TopAndBottomRoom", 14, 1, 4, 1, 14, false},
                                         RowsCase{"TopAndBottom", 20, 2, 3, 1, 15, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LayOutTextLongLine, StopsBreakingWhenTheScreenIsFull) {
    std::string expected = Row(0);
    for (int row = 1; row <= 17; ++row) expected += Repeat('x', 52) + Row(row);
    const TextLayout layout = LayOutText(Repeat('x', 52 * 20), 0, 0);
    EXPECT_EQ(layout.commands, expected);
    EXPECT_TRUE(layout.tooLong);
}

TEST(LayOutTextLongLine, FillingTheLastRowExactlyStillWarns) {
    std::string text;
    for (int i = 0; i < 16; ++i) text += "L\n";
    const TextLayout layout = LayOutText(text + Repeat('y', 52), 0, 0);
    EXPECT_TRUE(layout.tooLong);
    EXPECT_TRUE(layout.commands.ends_with("L{C0016" + Repeat('y', 52) + Row(17)));
}

}  // namespace

namespace {

// What does not fit is listed as the rows it would have taken: the rest of a line broken
// part-way, then each later line, a long one wrapped as on the screen; the list is bounded.
TEST(LayOutTextDroppedRows, ListTheRestOfTheTextAsRows) {
    std::string text;
    for (int i = 0; i < 17; ++i) text += "L\n";
    EXPECT_EQ(LayOutText(text, 0, 0).droppedRows, std::vector<std::string>());

    text += "M\n\n" + Repeat('w', 60) + "\n";
    EXPECT_EQ(LayOutText(text, 0, 0).droppedRows,
              (std::vector<std::string>{"M", "", Repeat('w', 52), Repeat('w', 8)}));

    const TextLayout broken = LayOutText(Repeat('x', 52 * 18) + " tail end", 0, 0);
    EXPECT_EQ(broken.droppedRows, (std::vector<std::string>{Repeat('x', 52), "tail end"}));
    EXPECT_FALSE(broken.moreDropped);

    const TextLayout huge = LayOutText(Repeat('y', 1 << 20), 0, 0);
    EXPECT_EQ(huge.droppedRows.size(), kMaxDroppedRows);
    EXPECT_TRUE(huge.moreDropped);
    EXPECT_FALSE(LayOutText("short", 0, 0).moreDropped);
}

}  // namespace
