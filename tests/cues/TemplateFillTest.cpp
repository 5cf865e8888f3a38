// A template screen filled from a cue list's rows, without a display.
#include <gtest/gtest.h>

#include <string>

#include "CueList.h"
#include "TemplateFill.h"

namespace {

// A people list: a row's own Text and corners are optional.
std::vector<Cue> People(const std::string& rows, const std::string& header = "Name,Job Title") {
    const CueListRead read = ReadCueList(header + "\n" + rows, Cp1252FromUtf8, false);
    EXPECT_EQ(read.error, "");
    return read.cues;
}

TEST(TemplateFill, FieldsAreFilledByColumnNameInAnyCase) {
    const std::vector<Cue> cues = People("Ada,Engineer\n\"B\xC3\xB6\",\"Chief\r\nof staff\"\n");
    ASSERT_EQ(cues.size(), 2u);
    // Matched as headers are: case, spaces and underscores do not matter; braces doubled
    // stand as they are, and so does a lone closing one.
    const ScreenContent templ{"{{{NAME}}} }\n{job_title}", 1, 2};
    TemplateFill fill = FillTemplate(templ, cues[0]);
    EXPECT_EQ(fill.refusal, "");
    EXPECT_EQ(fill.content.text, "{Ada} }\nEngineer");
    EXPECT_EQ(fill.content.dateCorner, 1);
    EXPECT_EQ(fill.content.timeCorner, 2);
    EXPECT_FALSE(fill.lossy);
    // A line break in a cell starts a new line; UTF-8 reaches Windows-1252.
    fill = FillTemplate(templ, cues[1]);
    EXPECT_EQ(fill.content.text, "{B\xF6} }\nChief\nof staff");
}

TEST(TemplateFill, AFieldWithoutAColumnRefusesTheFillNamingIt) {
    const std::vector<Cue> cues = People("Ada,Engineer\n");
    for (const char* text : {"{Name}\n{Company}", "{Name} {", "{}"}) {
        const TemplateFill fill = FillTemplate(ScreenContent{text, 0, 0}, cues[0]);
        EXPECT_NE(fill.refusal, "") << text;
        // Nothing of a refused fill may reach the line.
        EXPECT_EQ(fill.content.text, "") << text;
    }
    EXPECT_EQ(FillTemplate(ScreenContent{"{Name}\n{Company}", 0, 0}, cues[0]).refusal,
              "no column is named Company for the template");
}

TEST(TemplateFill, ARowsOwnTextAndCornersWin) {
    const std::vector<Cue> cues =
        People("Ada,,,\nBo,Hello {Name},,\nCy,,Top Left,\n", "Name,Text,Date,Time");
    ASSERT_EQ(cues.size(), 3u);
    const ScreenContent templ{"I am {Name}", 3, 4};
    // A row's own Text goes as it stands, fields and all.
    EXPECT_EQ(FillTemplate(templ, cues[1]).content.text, "Hello {Name}");
    const TemplateFill ada = FillTemplate(templ, cues[0]);
    EXPECT_EQ(ada.content.text, "I am Ada");
    EXPECT_EQ(ada.content.dateCorner, 3);
    EXPECT_EQ(ada.content.timeCorner, 4);
    // A Date of its own: the row's corners, the Time left empty being none.
    const TemplateFill cy = FillTemplate(templ, cues[2]);
    EXPECT_EQ(cy.content.text, "I am Cy");
    EXPECT_EQ(cy.content.dateCorner, 1);
    EXPECT_EQ(cy.content.timeCorner, 0);
}

TEST(TemplateFill, CutAndLossyMarksAreForTheFilledText) {
    const std::vector<Cue> cues = People("\xE6\x97\xA5 ?,x\n\"" + std::string(17, '\n') + "\",y\n");
    ASSERT_EQ(cues.size(), 2u);
    const ScreenContent templ{"{Name}", 0, 0};
    // A "?" of the cell's own is no loss; a character Windows-1252 lacks is.
    const TemplateFill lossy = FillTemplate(templ, cues[0]);
    EXPECT_EQ(lossy.content.text, "? ?");
    EXPECT_TRUE(lossy.lossy);
    EXPECT_FALSE(lossy.cut);
    // The template alone fits; filled, it has more lines than the screen has rows.
    EXPECT_TRUE(FillTemplate(templ, cues[1]).cut);
    EXPECT_FALSE(FillTemplate(ScreenContent{"{Job Title}", 0, 0}, cues[1]).cut);
}

TEST(TemplateFill, AListForATemplateNeedsNoTextColumnOnlyWhenAsked) {
    EXPECT_EQ(ReadCueList("Name\nAda\n").error, "line 1: no column is named Text");
    EXPECT_EQ(ReadCueList("Name\nAda\n", Cp1252FromUtf8, false).error, "");
}

}  // namespace
