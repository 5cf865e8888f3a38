#include <gtest/gtest.h>

#include <string>

#include "UnitCommands.h"

TEST(UnitCommands, ClearAndPositionAnywhereInTheText) {
    for (const char* text : {"{A19", "Hello {A19 world", "{C0000", "top{C5118", "a\n{C9999b",
                             "{{A19", "{C{C0102", "{A1{A19"})
        EXPECT_TRUE(HoldsUnitCommands(text)) << text;
}

TEST(UnitCommands, BracesThatStartNoCommandAreText) {
    for (const char* text :
         {"", "plain text", "{", "{A", "{A1", "{A18", "{a19", "{A 19", "{C", "{C000", "{c0000",
          "{C00x0", "{C 0000", "{B0000", "{A1\n9", "{C00\n00", "{}{[{A{C12", "text ending {C012"})
        EXPECT_FALSE(HoldsUnitCommands(text)) << text;
}

TEST(UnitCommands, BytesAroundTheBraceDoNotMatter) {
    // Windows-1252 bytes above 0x7F and a NUL before the command leave it a command.
    EXPECT_TRUE(HoldsUnitCommands(std::string("\xE9\0{C0101", 8)));
    EXPECT_FALSE(
        HoldsUnitCommands(std::string("{C01\0"
                                      "01",
                                      7)));
}
