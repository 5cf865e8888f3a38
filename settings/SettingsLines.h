#pragma once

#include <optional>
#include <string>
#include <string_view>

// How the settings store's INI reader takes a hand-edited file, line by line, told apart from
// what the operator wrote. No Qt.
struct SettingsLines {
    // The first line that is not read as written (1-based) and why, in words.
    struct Misread {
        int line = 0;
        std::string why;
    };
    std::optional<Misread> misread;
};

SettingsLines ReadSettingsLines(std::string_view file);

// The file with the setting name of group ("General" for the top level) set to value, as the
// reader takes the file's text (escaped, quoted where it needs to be): the line that sets it
// (the last, which the reader takes) is replaced, or else a line is added after the group's
// last or, with the group, at the end. Every other line stays as it was, byte for byte.
std::string WithSetting(std::string_view file, std::string_view group, std::string_view name,
                        std::string_view value);
