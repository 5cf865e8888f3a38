#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "TextLayout.h"

namespace {

// Texts that stress the layout: words of every length, runs of blanks, CR LF, empty lines
// and 8-bit bytes. No "{", so the commands can be told apart from the text.
std::string RandomText(std::mt19937& rng) {
    static const std::string kBlanks = "      \t\r\v\f\n\n\n";
    std::uniform_int_distribution<int> length(0, 1200), scale(0, 3), kind(0, 9), word(1, 70);
    std::string text;
    for (int n = length(rng) >> (2 * scale(rng)); n > 0; --n) {
        const int k = kind(rng);
        if (k < 5) {
            text.append(k < 4 ? word(rng) % 10 + 1 : word(rng), static_cast<char>('a' + k));
        } else if (k < 9) {
            text.push_back(kBlanks[rng() % kBlanks.size()]);
        } else {
            text.push_back(static_cast<char>(0x80 + rng() % 0x80));
        }
    }
    return text;
}

std::string WithoutWhiteSpace(std::string s) {
    std::erase_if(s, [](char c) {
        return std::string_view(" \t\r\n\v\f").find(c) != std::string_view::npos;
    });
    return s;
}

TEST(LayOutTextProperty, EveryTextFitsTheScreenAndLosesOnlyBlanks) {
    std::mt19937 rng(20261208);
    int fitted = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(rng);
        const int date = static_cast<int>(rng() % 7) - 1, time = static_cast<int>(rng() % 7) - 1;
        const bool top = date == 1 || date == 2 || time == 1 || time == 2;
        const int rowLimit = (date == 3 || date == 4 || time == 3 || time == 4) ? 17 : 18;
        SCOPED_TRACE(testing::Message() << "round " << round << " corners " << date << "," << time);

        const TextLayout layout = LayOutText(text, date, time);
        ASSERT_LE(layout.commands.size(), kMaxLayoutSize);

        // Split at each "{": a position command for the next row, then at most one row of text.
        std::istringstream commands(layout.commands);
        std::string segment, pieces;
        int row = top ? 0 : -1;
        ASSERT_TRUE(std::getline(commands, segment, '{') && segment.empty());
        while (std::getline(commands, segment, '{')) {
            ASSERT_EQ(segment.substr(0, 5),
                      "C00" + std::string(row < 9 ? "0" : "") + std::to_string(row + 1));
            ASSERT_LE(segment.size() - 5, kRowWidth);
            pieces += segment.substr(5);
            ++row;
        }
        EXPECT_TRUE(segment.size() == 5) << "text after the last position command";
        EXPECT_LE(row, rowLimit - 1);
        EXPECT_EQ(layout.tooLong, row == rowLimit - 1);
        if (!layout.tooLong) {
            EXPECT_EQ(WithoutWhiteSpace(pieces), WithoutWhiteSpace(text));
            ++fitted;
        }
    }
    // Both kinds of text must come up for the checks above to mean anything.
    EXPECT_GT(fitted, 300);
    EXPECT_LT(fitted, 2700);
}

}  // namespace
