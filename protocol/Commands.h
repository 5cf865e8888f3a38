#pragma once

#include <string>
#include <string_view>

// The caption unit's command vocabulary. Commands and text are concatenated with nothing
// between them: no separator, terminator, length or checksum. A command ends after its
// fixed number of characters, and every other byte is text written at the current position.

// Clears the unit's display.
inline constexpr std::string_view kClearCommand = "{A19";

// Sent in one write when the link comes up: clear, home, then the greeting words.
inline constexpr std::string_view kGreeting = "{A19{C0000Halvercrest Tessora Connected";

// The position command: "{C", the column and the row, each as two decimal digits.
// Both must lie in 0..99; the unit's display addresses columns 00-51 and rows 00-18.
std::string PositionCommand(int column, int row);

// Appends the position command to out, for callers building a longer stream in place.
void AppendPositionCommand(std::string& out, int column, int row);
