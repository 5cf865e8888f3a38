#include "TextLayout.h"

#include "Commands.h"
#include "Corners.h"

namespace {

constexpr int kTextColumn = 0;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Strip(std::string_view s) {
    while (!s.empty() && IsWhiteSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsWhiteSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Appends pieces one row after another. Each piece is followed by the position command of
// the next row, so the layout always ends positioned on a fresh row.
class RowWriter {
public:
    RowWriter(std::string& out, int firstRow, int rowLimit)
        : m_out(out), m_nextRow(firstRow + 1), m_rowLimit(rowLimit) {
        AppendPositionCommand(m_out, kTextColumn, firstRow);
    }

    void Place(std::string_view piece) {
        m_out.append(piece);
        AppendPositionCommand(m_out, kTextColumn, m_nextRow);
        ++m_nextRow;
    }

    // True once a piece sits on the last row the stamps leave free.
    bool Full() const { return m_nextRow >= m_rowLimit; }

private:
    std::string& m_out;
    int m_nextRow;
    int m_rowLimit;
};

// Cuts the next piece off a line of at least kRowWidth bytes, and what is left of it.
std::string_view CutPiece(std::string_view& left) {
    if (left.size() < kRowWidth) {
        std::string_view piece = left;
        left = {};
        return piece;
    }
    std::string_view piece;
    const std::size_t space = left.substr(0, kRowWidth).rfind(' ');
    if (space != std::string_view::npos) {
        // The space at the break is not sent.
        piece = left.substr(0, space);
        left.remove_prefix(space + 1);
    } else {
        piece = left.substr(0, kRowWidth);
        left.remove_prefix(kRowWidth);
    }
    left = Strip(left);
    return piece;
}

// Places as much of the line as the rows take; gives back what did not fit.
std::string_view PlaceLine(RowWriter& rows, std::string_view line) {
    // A short line goes out exactly as it stands, leading spaces and trailing CR included.
    if (line.size() < kRowWidth) {
        rows.Place(line);
        return {};
    }
    std::string_view left = line;
    while (!left.empty() && !rows.Full()) rows.Place(CutPiece(left));
    return left;
}

// The rows a line would take on a screen without end, up to the listing's limit.
void CutIntoRows(std::string_view line, TextLayout& layout) {
    do {
        if (layout.droppedRows.size() == kMaxDroppedRows) {
            layout.moreDropped = true;
            return;
        }
        layout.droppedRows.emplace_back(CutPiece(line));
    } while (!line.empty());
}

}  // namespace

TextLayout LayOutText(std::string_view text, int dateCorner, int timeCorner) {
    const bool topStamp = IsTopCorner(dateCorner) || IsTopCorner(timeCorner);
    const bool bottomStamp = IsBottomCorner(dateCorner) || IsBottomCorner(timeCorner);
    const int firstRow = topStamp ? 1 : 0;
    const int rowLimit = bottomStamp ? 17 : 18;

    TextLayout layout;
    layout.commands.reserve(kMaxLayoutSize);
    RowWriter rows(layout.commands, firstRow, rowLimit);

    // The text counts as ending with an LF of its own, so its last line is placed even when
    // empty: an empty text, or one ending in LF, still takes a row.
    std::size_t start = 0;
    std::string_view unplaced;
    while (start <= text.size() && !rows.Full()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        unplaced = PlaceLine(rows, text.substr(start, end - start));
        start = end + 1;
    }
    layout.tooLong = rows.Full();

    if (!unplaced.empty()) CutIntoRows(unplaced, layout);
    while (start < text.size() && !layout.moreDropped) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        CutIntoRows(text.substr(start, end - start), layout);
        start = end + 1;
    }
    return layout;
}
