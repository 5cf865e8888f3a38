#pragma once

// Text views of the caption display: for the terminal, the dump file and the
// byte log. All text here is UTF-8.
//
// A cell shows its byte as a Windows-1252 character, converted to UTF-8, so a
// row is always exactly 52 characters (not necessarily 52 bytes). Bytes that
// have no printable character get a placeholder of one character:
//   - control bytes 0x00-0x1F and 0x7F: the matching Unicode control picture
//     (U+2400-U+241F, U+2421), so CR shows as "␍", LF as "␊", tab as "␉";
//   - the five bytes Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90,
//     0x9D): U+FFFD "�".

#include <cstdint>
#include <string>
#include <string_view>

#include "CaptionDisplay.h"

// The UTF-8 character that shows one cell's byte.
std::string CellText(unsigned char byte);

// One row of the display: 52 characters, no line end.
std::string RowText(const CCaptionDisplay& display, int row);

// The whole display: 19 rows, each followed by "\n".
std::string DisplayDump(const CCaptionDisplay& display);

// The terminal view: the display in a frame with column and row numbers,
// followed by one status line.
std::string FramedView(const CCaptionDisplay& display, std::string_view strStatus);

// One line of the byte log: milliseconds, a space, the byte as two lowercase
// hexadecimal digits, "\n" (e.g. "1534 7b\n").
std::string ByteLogLine(std::int64_t ms, unsigned char byte);
