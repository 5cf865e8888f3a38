#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Laying a screen's text out in rows for the caption unit.

// Bytes per row; a line this long or longer is broken into pieces no wider.
inline constexpr std::size_t kRowWidth = 52;

// Largest layout: the first position command, then 17 rows of 52 bytes each followed by
// the position command for the next row. It fits one write to the port's queue.
inline constexpr std::size_t kMaxLayoutSize = 6 + 17 * (kRowWidth + 6);

// Shown on the message line when the text filled every row the screen has.
inline constexpr std::string_view kTooLongWarning =
    "The current text is too long and may display incorrectly.";

struct TextLayout {
    // Position commands and row pieces, ready for one write.
    std::string commands;
    // The last row the stamps leave free was filled; the rest of the text, if any, is dropped.
    bool tooLong = false;
    // The rows the dropped text would have taken, cut as the rows before them, for showing
    // the operator what does not go on air: the first kMaxDroppedRows, and whether there
    // are more.
    std::vector<std::string> droppedRows;
    bool moreDropped = false;
};

inline constexpr std::size_t kMaxDroppedRows = 32;

// Lays text out from column 00 of the first free row. A stamp in a top corner moves the
// first row from 00 to 01, one in a bottom corner moves the last row from 16 to 15.
// Lines end at LF; a CR before the LF stays with the line. A line of kRowWidth bytes or
// more is wrapped at the last space that fits, or broken hard inside a long word, and each
// continuation is stripped of surrounding white space. Text bytes are copied unchanged,
// a "{" included.
TextLayout LayOutText(std::string_view text, int dateCorner, int timeCorner);
