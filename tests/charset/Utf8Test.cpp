#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Latin1.h"
#include "Utf8.h"

namespace {

// Every edge of UTF-8 the decoder meets: the first and last character of each length, and
// each way a sequence is no character (overlong, a surrogate, past U+10FFFF, stray, cut
// short). Windows-1252 from UTF-8 then gives one "?" per byte of a bad sequence, so a
// character spelt long (a quote, a slash, ESC) never comes through as itself.
TEST(Utf8, DecodesOnlyShortestFormsOfCharacters) {
    const struct {
        std::string_view bytes;
        std::size_t length;  // 0: no character
        char32_t character;
    } rows[] = {
        {"A", 1, U'A'},
        {"\x7F", 1, 0x7F},
        {"\xC2\x80", 2, 0x80},
        {"\xDF\xBF", 2, 0x7FF},
        {"\xE0\xA0\x80", 3, 0x800},
        {"\xEF\xBF\xBF", 3, 0xFFFF},
        {"\xF0\x90\x80\x80", 4, 0x10000},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"\xC3\xA9tail", 2, 0xE9},
        {"\xC0\xA2", 0, 0},          // '"' spelt long
        {"\xC1\xBF", 0, 0},          // overlong, two bytes
        {"\xE0\x80\xAF", 0, 0},      // '/' spelt long in three
        {"\xE0\x9F\xBF", 0, 0},      // overlong, three bytes
        {"\xF0\x80\x80\x9B", 0, 0},  // ESC spelt long in four
        {"\xF0\x8F\xBF\xBF", 0, 0},  // overlong, four bytes
        {"\xED\xA0\x80", 0, 0},      // U+D800
        {"\xED\xBF\xBF", 0, 0},      // U+DFFF
        {"\xF4\x90\x80\x80", 0, 0},  // U+110000
        {"\xF5\x80\x80\x80", 0, 0},
        {"\xF8\x88\x80\x80\x80", 0, 0},  // five bytes
        {"\xFF", 0, 0},
        {"\x80", 0, 0},      // a stray continuation
        {"\xE2\x82", 0, 0},  // cut short
        {"\xC3\x28", 0, 0},  // no continuation
        {"", 0, 0},
    };
    for (const auto& row : rows) {
        char32_t character = 0;
        const std::size_t length = DecodeUtf8(row.bytes, character);
        EXPECT_EQ(length, row.length) << testing::PrintToString(std::string(row.bytes));
        if (length != 0 && row.length != 0) {
            EXPECT_EQ(character, row.character);
        }
    }

    const struct {
        std::string_view utf8;
        std::string_view cp1252;
    } texts[] = {
        {"Caf\xC3\xA9 \xE2\x82\xAC 5", "Caf\xE9 \x80 5"},
        {"\xC2\x81", "\x81"},               // undefined in Windows-1252, kept
        {"\xE2\x84\xA2\xCE\xA9", "\x99?"},  // TM sign, and an Omega it cannot hold
        {"\xF0\x9F\x98\x80!", "?!"},        // beyond the first plane: one "?"
        {"a\xC0\xA2"
         "b",
         "a??b"},                   // was a quote
        {"\xC0\x9B[2J", "??[2J"},   // was ESC
        {"\xED\xA0\x80x", "???x"},  // a surrogate
        {"\xF4\x90\x80\x80", "????"},
        {"end\xE2\x82", "end??"},
    };
    for (const auto& text : texts)
        EXPECT_EQ(Cp1252FromUtf8(text.utf8), text.cp1252)
            << testing::PrintToString(std::string(text.utf8));

    EXPECT_EQ(Utf16FromLatin1("COM\xE9\x80"), std::u16string(u"COM\u00E9\u0080"));
}

}  // namespace
