#pragma once

#include <QPixmap>
#include <QWidget>

#include "CaptionDisplay.h"

// The caption unit's 52 x 19 grid drawn cell by cell in a monospaced font, with a faint cell
// grid and row and column numbers as the virtual unit's display has them. Optionally marks
// the write position. Repaints only when what it shows has changed.
class CUnitGridView : public QWidget {
public:
    explicit CUnitGridView(bool showWritePosition, QWidget* parent = nullptr);

    void SetDisplay(const CCaptionDisplay& display);
    // Draws the grid in the fixed font at this many pixels; the cells follow the font.
    void SetFontPixels(int pixels);
    // The fixed font's own size, at which the grid is drawn until told otherwise.
    static int NaturalFontPixels();
    const CCaptionDisplay& Display() const { return m_display; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect CellRect(int column, int row) const;
    QRect RowRect(int row) const;
    QPixmap Background() const;
    void TakeFont(const QFont& font);

    CCaptionDisplay m_display;
    QPixmap m_background;
    bool m_bShowWritePosition;
    int m_nCellWidth = 8;
    int m_nCellHeight = 16;
    int m_nLeft = 0;  // room for the row numbers
    int m_nTop = 0;   // room for the column numbers
};
