#pragma once

#include <QString>
#include <string>
#include <string_view>

// Text between the window and the program's 8-bit world (documents, the caption unit,
// settings) is Windows-1252 on every machine; a character it cannot hold becomes "?". Text
// is composed (NFC) on its way in, so a letter typed as letter and accent keeps its accent.
QString FromAnsi(std::string_view ansi);
std::string ToAnsi(const QString& text);
// The same from UTF-8 (a cue list, a remote's text, a system's message); a byte that starts no
// valid sequence becomes "?".
std::string AnsiFromUtf8(std::string_view utf8);
