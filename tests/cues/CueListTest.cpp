// A spreadsheet's CSV read into cues, without a display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CsvReader.h"
#include "CueList.h"
#include "DocumentFile.h"

namespace {

std::vector<std::vector<std::string>> Fields(const CsvTable& table) {
    std::vector<std::vector<std::string>> rows;
    for (const CsvRecord& record : table.records) rows.push_back(record.fields);
    return rows;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(CsvReader, QuotesLineBreaksAndSeparatorsAsSpreadsheetsWriteThem) {
    // Quoted separators, doubled quotes, a line break inside quotes (CR LF kept as LF), an
    // empty quoted field, a last line without its end, blank lines between records.
    const CsvTable table =
        ReadCsv("Text,Note\r\n\"Hello, \"\"World\"\"\",\"two\r\nlines\"\r\n\r\n\"\",x\"y\nlast,");
    EXPECT_EQ(table.error, "");
    EXPECT_EQ(
        Fields(table),
        (Rows{{"Text", "Note"}, {"Hello, \"World\"", "two\nlines"}, {"", "x\"y"}, {"last", ""}}));
    // Records start on the line they begin on, counted through the quoted line break.
    ASSERT_EQ(table.records.size(), 4u);
    EXPECT_EQ(table.records[2].line, 5u);
    EXPECT_EQ(table.records[3].line, 6u);

    // A semicolon file (a spreadsheet in a comma-decimal locale), a BOM, lone CR line ends.
    const CsvTable semi = ReadCsv("\xEF\xBB\xBFText;Date\r\"a;b\";1,5\rc;2");
    EXPECT_EQ(semi.separator, ';');
    EXPECT_EQ(Fields(semi), (Rows{{"Text", "Date"}, {"a;b", "1,5"}, {"c", "2"}}));
}

TEST(CsvReader, BrokenQuotesNameTheirLine) {
    const CsvTable open = ReadCsv("Text\nok\n\"never\nclosed\n");
    EXPECT_EQ(open.error, "line 3: a quote is opened and never closed");
    const CsvTable after = ReadCsv("Text,Note\n\"a\"b,c\n");
    EXPECT_EQ(after.error.rfind("line 2: text after a closing quote", 0), 0u) << after.error;
}

TEST(CueList, ColumnsByNameCornersAndNotes) {
    const CueListRead read = ReadCueList(
        "Note,TIME, text ,date,Segment\n"
        "opener,top right,\"Good evening\nfrom Halvercrest\",Bottom-Left,A\n"
        ",,Second\n"
        "n,4,Third,0,B\n");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.cues.size(), 3u);
    EXPECT_EQ(read.cues[0].number, 1);
    EXPECT_EQ(read.cues[0].text, "Good evening\nfrom Halvercrest");
    EXPECT_EQ(read.cues[0].dateCorner, 3);
    EXPECT_EQ(read.cues[0].timeCorner, 2);
    EXPECT_EQ(read.cues[0].note, "opener");
    // Cells a spreadsheet leaves out at a row's end are empty: no corner, no note.
    EXPECT_EQ(read.cues[1].text, "Second");
    EXPECT_EQ(read.cues[1].dateCorner, 0);
    EXPECT_EQ(read.cues[1].note, "");
    EXPECT_EQ(read.cues[2].timeCorner, 4);
    EXPECT_EQ(read.cues[2].number, 3);
    EXPECT_EQ(FirstLine(read.cues[0].text), "Good evening");
    for (const char* name : {"None", "", " top left ", "TopRight", "bottom_left", "4"})
        EXPECT_GE(CornerOf(name), 0) << name;
    for (const char* name : {"5", "-1", "Middle", "Top", "01"})
        EXPECT_EQ(CornerOf(name), -1) << name;
}

TEST(CueList, TextTheUnitCannotHoldOrShowIsMarked) {
    // UTF-8 to Windows-1252: the euro sign has a byte, a CJK character and an emoji do not.
    const CueListRead read = ReadCueList(
        "Text\n"
        "W\xC3\xB6rld \xE2\x82\xAC 5?\n"
        "\xE6\x97\xA5 \xF0\x9F\x98\x80\n" +
        std::string("\"") + std::string(18, 'x') + std::string(17, '\n') + "\"\n");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.cues.size(), 3u);
    EXPECT_EQ(read.cues[0].text, "W\xF6rld \x80 5?");
    EXPECT_FALSE(read.cues[0].lossy);  // its "?" was typed
    EXPECT_EQ(read.cues[1].text, "? ?");
    EXPECT_TRUE(read.cues[1].lossy);
    EXPECT_FALSE(read.cues[0].cut);
    EXPECT_TRUE(read.cues[2].cut);  // more lines than the screen has rows
}

TEST(CueList, BadFilesAreRefusedWholeNamingTheLine) {
    const struct {
        const char* csv;
        const char* error;
    } cases[] = {
        {"", "line 1: no header row naming a Text column"},
        {"Caption,Date\nHello,0\n", "line 1: no column is named Text"},
        {"\n\nText,text\n", "line 3: two columns are named text"},
        {"Text,Date\nok,1\n\"a\nb\",2,extra\n", "line 3: 3 fields, the header names 2"},
        {"Text,Date\nok,Middle\n",
         "line 2: Date \"Middle\" is no corner: None, Top Left, Top Right, Bottom Left, Bottom "
         "Right or 0 to 4"},
        {"Text;Time\nok;9\n",
         "line 2: Time \"9\" is no corner: None, Top Left, Top Right, Bottom Left, Bottom Right "
         "or 0 to 4"},
        {"Text\n\"open\n", "line 2: a quote is opened and never closed"},
    };
    for (const auto& c : cases) {
        const CueListRead read = ReadCueList(c.csv);
        EXPECT_EQ(read.error, c.error) << c.csv;
        EXPECT_TRUE(read.cues.empty()) << c.csv;
    }
}

TEST(CueList, ListsBeyondTheCapsAreRefusedNamingTheLine) {
    const std::string most(kLongestScreenText, 'x');
    const auto row = [](std::string cell) { return "\"" + cell + "\"\n"; };
    // A screen's most is taken, in text and note; a UTF-8 cell longer than that in bytes is
    // taken when Windows-1252 holds it in fewer.
    std::string e(2 * (kLongestScreenText / 2), ' ');
    for (std::size_t i = 0; i < e.size(); i += 2) e.replace(i, 2, "\xC3\xA9");
    const CueListRead fits = ReadCueList("Text,Note\n" + row(most) + row(e) + "n," + row(most));
    ASSERT_EQ(fits.error, "");
    EXPECT_EQ(fits.cues[0].text.size(), kLongestScreenText);
    EXPECT_EQ(fits.cues[1].text, std::string(kLongestScreenText / 2, '\xE9'));

    const std::string over = "more than 1048576 bytes, the most a screen may";
    const struct {
        std::string csv;
        std::string error;
    } cases[] = {
        {"Text\nok\n" + row(most + "x"), "line 3: the text holds " + over},
        {"Text\nok\n" + row(std::string(4 * kLongestScreenText + 1, '\xE9')),
         "line 3: the text holds " + over},
        {"Note,Text\n" + row(most + "x"), "line 2: the note holds " + over},
        {"Text" + std::string(kMostFields, ',') + "\nok\n",
         "line 1: more than 1000 fields, the most a row may hold"},
    };
    for (const auto& c : cases) {
        const CueListRead read = ReadCueList(c.csv);
        EXPECT_EQ(read.error, c.error);
        EXPECT_TRUE(read.cues.empty());
    }

    std::string rows = "Text\n";
    for (std::size_t i = 0; i < kMostCues; ++i) rows += "a\n";
    EXPECT_EQ(ReadCueList(rows).cues.size(), kMostCues);
    const CueListRead tooMany = ReadCueList(rows + "\nb\n");
    EXPECT_EQ(tooMany.error, "line 100003: more than 100000 cues, the most a list may hold");
    EXPECT_TRUE(tooMany.cues.empty());
}

TEST(CueList, AMessageQuotesOnlyTheStartOfABadValue) {
    const CueListRead read = ReadCueList("Text,Date\nok," + std::string(100'000, 'x') + "\n");
    EXPECT_EQ(read.error, "line 2: Date \"" + std::string(40, 'x') +
                              "\u2026\" is no corner: None, Top Left, Top Right, Bottom Left, "
                              "Bottom Right or 0 to 4");
    // Characters, not bytes: a character is never cut in two.
    std::string accents;
    for (int i = 0; i < 41; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(Excerpt(accents), accents.substr(0, 80) + "\u2026");
    EXPECT_EQ(Excerpt(accents.substr(0, 80)), accents.substr(0, 80));
    EXPECT_EQ(Excerpt("short"), "short");
}

TEST(CueList, ControlCharactersAreDroppedFromEveryCellAndCounted) {
    const CueListRead read = ReadCueList(
        "Te\x01xt,Date,Note\n"
        "\"a\x1B[31mb\x07\tc\r\nd\x0B\x0C\x7F\",To\x08p Left,n\x1Bo\n"
        "clean,,\n");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.cues.size(), 2u);
    EXPECT_EQ(read.cues[0].text, "a[31mb\tc\nd");
    EXPECT_EQ(read.cues[0].dateCorner, 1);
    EXPECT_EQ(read.cues[0].note, "no");
    EXPECT_EQ(read.controlsDropped, 8u);
}

TEST(CueList, TextHoldingTheUnitsCommandsIsMarkedAndKept) {
    // A control character between the brace and the rest is dropped first: the unit would
    // read what is left as a command.
    const CueListRead read = ReadCueList(
        "Text\n{A19\n\"row {C0005 moved\"\nplain { brace\n{A\x1B"
        "19\n");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.cues.size(), 4u);
    EXPECT_EQ(read.cues[0].text, "{A19");
    EXPECT_TRUE(read.cues[0].commands);
    EXPECT_TRUE(read.cues[1].commands);
    EXPECT_FALSE(read.cues[2].commands);
    EXPECT_TRUE(read.cues[3].commands);
}

TEST(CueList, HoldAndAtColumnsAndTheirBadValuesNamingTheLine) {
    using namespace std::chrono_literals;
    const CueListRead read = ReadCueList(
        "Text,Hold,At\n"
        "a,2,19:00\n"
        "b,0.25,7:05:09\n"
        ",,\n"
        "d, 1.0005 ,23:59:59\n");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.cues.size(), 4u);
    EXPECT_EQ(read.cues[0].hold, 2000ms);
    EXPECT_EQ(read.cues[0].at, 19 * 3600);
    EXPECT_EQ(read.cues[1].hold, 250ms);
    EXPECT_EQ(read.cues[1].at, 7 * 3600 + 5 * 60 + 9);
    EXPECT_EQ(read.cues[2].hold, 0ms);
    EXPECT_FALSE(read.cues[2].at);
    EXPECT_EQ(read.cues[3].hold, 1001ms);
    // A comma-decimal spreadsheet writes its decimals with a comma.
    EXPECT_EQ(ReadCueList("Text;Hold\na;1,5\n").cues.at(0).hold, 1500ms);
    EXPECT_EQ(ReadCueList("Text,Hold\na,86400\n").cues.at(0).hold, 24h);

    for (const auto& [row, said] : std::vector<std::pair<std::string, std::string>>{
             {"x,-1,", "line 3: Hold \"-1\" is no hold"},
             {"x,86400.5,", "line 3: Hold \"86400.5\" is no hold"},
             {"x,two,", "line 3: Hold \"two\" is no hold"},
             {"x,.,", "line 3: Hold \".\" is no hold"},
             {"x,,25:00", "line 3: At \"25:00\" is no time of day"},
             {"x,,12:60", "line 3: At \"12:60\" is no time of day"},
             {"x,,12:00:60", "line 3: At \"12:00:60\" is no time of day"},
             {"x,,noon", "line 3: At \"noon\" is no time of day"},
             {"x,,1200", "line 3: At \"1200\" is no time of day"},
         }) {
        const CueListRead bad = ReadCueList("Text,Hold,At\nok,,\n" + row + "\n");
        EXPECT_EQ(bad.error.rfind(said, 0), 0u) << row << ": " << bad.error;
        EXPECT_TRUE(bad.cues.empty());
    }
}

}  // namespace
