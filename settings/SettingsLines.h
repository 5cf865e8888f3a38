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
    // Rewriting the file from what was read would lose a line: one misread, a comment, a
    // name given twice in a group.
    bool rewriteLosesLines = false;
};

SettingsLines ReadSettingsLines(std::string_view file);
