#include "UnitGridView.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QStaticText>
#include <array>

#include "DisplayText.h"

namespace {

constexpr int kPadding = 4;
const QColor kBackground(0x10, 0x14, 0x18);
const QColor kCellLines(0x26, 0x2c, 0x34);
const QColor kText(0xf2, 0xf2, 0xf2);
// Placeholders for control bytes and unassigned ones are not the operator's text.
const QColor kPlaceholder(0x6c, 0x9c, 0xd8);
const QColor kNumbers(0x80, 0x80, 0x80);
const QColor kWritePosition(0xff, 0xb0, 0x20);

// What each byte shows as, laid out once: the grid redraws up to 988 cells a frame.
const std::array<QStaticText, 256>& CellTexts() {
    static const std::array<QStaticText, 256> texts = [] {
        std::array<QStaticText, 256> all;
        for (int byte = 0; byte < 256; ++byte) {
            all[byte].setText(QString::fromStdString(CellText(static_cast<unsigned char>(byte))));
            all[byte].setTextFormat(Qt::PlainText);
            all[byte].setPerformanceHint(QStaticText::AggressiveCaching);
        }
        return all;
    }();
    return texts;
}

bool IsPlaceholder(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f || byte == 0x81 || byte == 0x8d || byte == 0x8f ||
           byte == 0x90 || byte == 0x9d;
}

QFont GridFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    return font;
}

}  // namespace

CUnitGridView::CUnitGridView(bool showWritePosition, QWidget* parent)
    : QWidget(parent), m_bShowWritePosition(showWritePosition) {
    TakeFont(GridFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int CUnitGridView::NaturalFontPixels() {
    return QFontInfo(GridFont()).pixelSize();
}

void CUnitGridView::SetFontPixels(int pixels) {
    QFont font = GridFont();
    font.setPixelSize(pixels);
    TakeFont(font);
}

void CUnitGridView::TakeFont(const QFont& font) {
    setFont(font);
    const QFontMetrics metrics(font);
    m_nCellWidth = metrics.horizontalAdvance(QLatin1Char('M')) + 2;
    m_nCellHeight = metrics.height() + 2;
    m_nLeft = kPadding + metrics.horizontalAdvance(QStringLiteral("00 "));
    m_nTop = kPadding + 2 * metrics.height();
    updateGeometry();
    update();
}

void CUnitGridView::SetDisplay(const CCaptionDisplay& display) {
    // Only the rows that changed are drawn again: a tick rewrites a stamp, a keystroke a row
    // or two, and the grid is the costliest thing the window draws.
    QRegion changed;
    for (int row = 0; row < CCaptionDisplay::kRows; ++row) {
        if (display.RowBytes(row) != m_display.RowBytes(row)) changed += RowRect(row);
    }
    if (m_bShowWritePosition &&
        (display.GetColumn() != m_display.GetColumn() || display.GetRow() != m_display.GetRow())) {
        changed += RowRect(m_display.GetRow());
        changed += RowRect(display.GetRow());
    }
    if (changed.isEmpty()) return;
    m_display = display;
    update(changed);
}

QRect CUnitGridView::RowRect(int row) const {
    // A position off the grid has no row to draw.
    if (row < 0 || row >= CCaptionDisplay::kRows) return {};
    return CellRect(0, row)
        .united(CellRect(CCaptionDisplay::kColumns - 1, row))
        .adjusted(0, 0, 1, 1);
}

QSize CUnitGridView::sizeHint() const {
    return {m_nLeft + CCaptionDisplay::kColumns * m_nCellWidth + kPadding + 1,
            m_nTop + CCaptionDisplay::kRows * m_nCellHeight + kPadding + 1};
}

QRect CUnitGridView::CellRect(int column, int row) const {
    return {m_nLeft + column * m_nCellWidth, m_nTop + row * m_nCellHeight, m_nCellWidth,
            m_nCellHeight};
}

QPixmap CUnitGridView::Background() const {
    QPixmap background(size());
    background.fill(kBackground);
    QPainter painter(&background);
    painter.setFont(font());
    const int gridRight = m_nLeft + CCaptionDisplay::kColumns * m_nCellWidth;
    const int gridBottom = m_nTop + CCaptionDisplay::kRows * m_nCellHeight;

    painter.setPen(kNumbers);
    const int lineHeight = fontMetrics().height();
    for (int column = 0; column < CCaptionDisplay::kColumns; ++column) {
        const QRect cell = CellRect(column, 0);
        if (column % 10 == 0) {
            painter.drawText(QRect(cell.left(), kPadding, m_nCellWidth, lineHeight),
                             Qt::AlignCenter, QString::number(column / 10));
        }
        painter.drawText(QRect(cell.left(), kPadding + lineHeight, m_nCellWidth, lineHeight),
                         Qt::AlignCenter, QString::number(column % 10));
    }
    for (int row = 0; row < CCaptionDisplay::kRows; ++row) {
        const QRect cell = CellRect(0, row);
        painter.drawText(QRect(kPadding, cell.top(), m_nLeft - kPadding, m_nCellHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%1").arg(row, 2, 10, QLatin1Char('0')));
    }

    painter.setPen(kCellLines);
    for (int column = 0; column <= CCaptionDisplay::kColumns; ++column) {
        const int x = m_nLeft + column * m_nCellWidth;
        painter.drawLine(x, m_nTop, x, gridBottom);
    }
    for (int row = 0; row <= CCaptionDisplay::kRows; ++row) {
        const int y = m_nTop + row * m_nCellHeight;
        painter.drawLine(m_nLeft, y, gridRight, y);
    }
    return background;
}

void CUnitGridView::paintEvent(QPaintEvent* event) {
    // The numbers and the cell lines never change: drawn once, then copied.
    if (m_background.size() != size()) m_background = Background();
    QPainter painter(this);
    painter.drawPixmap(event->rect(), m_background, event->rect());

    const std::array<QStaticText, 256>& texts = CellTexts();
    for (int row = 0; row < CCaptionDisplay::kRows; ++row) {
        if (!event->region().intersects(RowRect(row))) continue;
        const std::string_view bytes = m_display.RowBytes(row);
        for (int column = 0; column < CCaptionDisplay::kColumns; ++column) {
            const auto byte = static_cast<unsigned char>(bytes[column]);
            if (byte == ' ') continue;
            const QStaticText& text = texts[byte];
            const QRect cell = CellRect(column, row);
            const QSizeF extent = text.size();
            painter.setPen(IsPlaceholder(byte) ? kPlaceholder : kText);
            painter.drawStaticText(QPointF(cell.left() + (cell.width() - extent.width()) / 2,
                                           cell.top() + (cell.height() - extent.height()) / 2),
                                   text);
        }
    }

    const int column = m_display.GetColumn();
    const int row = m_display.GetRow();
    if (m_bShowWritePosition && column < CCaptionDisplay::kColumns &&
        row < CCaptionDisplay::kRows) {
        painter.setPen(QPen(kWritePosition, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(CellRect(column, row).adjusted(1, 1, -1, -1));
    }
}
