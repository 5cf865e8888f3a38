#pragma once

// The display of the caption unit and the decoder of its command stream.
//
// The grid is 52 columns (0-51) by 19 rows (0-18) of 8-bit cells. Bytes are
// decoded one at a time, so a command may arrive split across any number of
// reads:
//
//   "{A19"           clears every cell to a space and moves to column 0, row 0.
//   "{C" CC RR       (four decimal digits) moves to column CC, row RR. Any
//                    value 00-99 is taken; a position off the grid is kept and
//                    what is written there is dropped.
//   any other byte   is stored in the cell at the position, and the column
//                    moves one on. Past column 51 the byte is dropped and the
//                    column stays off the grid: nothing wraps to the next row.
//
// CR, LF, tab and every other control byte are ordinary bytes here: each takes
// one cell and moves the column on, like any character (the text view shows
// them as placeholders; see DisplayText.h).
//
// A "{" that does not start one of the two commands is text: once a byte shows
// that the bytes since the "{" cannot be a command, those bytes are written as
// text and that byte is decoded afresh (it may itself be a "{"). Until then
// they are held back, so a "{" at the very end of the stream stays unshown.
// "{A" followed by anything but "19" is such text.

#include <array>
#include <string>
#include <string_view>

class CCaptionDisplay {
public:
    static constexpr int kColumns = 52;
    static constexpr int kRows = 19;

    CCaptionDisplay();

    // Decodes the bytes in order; returns true when any cell changed.
    bool Feed(std::string_view bytes);
    bool Feed(unsigned char byte);

    // The kColumns bytes of one row; a cell never written holds a space.
    std::string_view RowBytes(int row) const;

    // The write position; may lie off the grid.
    int GetColumn() const { return m_nColumn; }
    int GetRow() const { return m_nRow; }

private:
    bool Clear();
    bool WriteText(unsigned char byte);
    bool ExecuteOrHold(const std::string& strCandidate);

    std::array<std::string, kRows> m_rows;
    int m_nColumn = 0;
    int m_nRow = 0;
    // Bytes since a "{" that may still become a command.
    std::string m_strPending;
};
