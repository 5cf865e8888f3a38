#include "MonitorWnd.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "Charset.h"
#include "UnitGridView.h"

namespace {

constexpr char kTitle[] = "Tessora Monitor";
constexpr char kCutMark[] = "\u2702 ";  // a pair of scissors: this row is not sent

QLabel* Heading(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLabel* Note(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("color: #b00020;"));
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

}  // namespace

CMonitorWnd::CMonitorWnd(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowDoesNotAcceptFocus),
      m_pNext(new CUnitGridView(false, this)),
      m_pUnit(new CUnitGridView(true, this)),
      m_pDropped(Note(this)),
      m_pLine(Note(this)) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setObjectName(QStringLiteral("TessoraMonitor"));
    // The operator's keyboard stays in the text box while this shows and updates.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    // One above the other: narrow enough to stand beside the main window.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Heading("Next Send", this));
    layout->addWidget(m_pNext);
    layout->addWidget(m_pDropped);
    layout->addSpacing(6);
    layout->addWidget(Heading("On the unit", this));
    layout->addWidget(m_pUnit);
    layout->addWidget(m_pLine);
    layout->addStretch(1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_pDropped->hide();
    m_pLine->hide();
}

void CMonitorWnd::PlaceBeside(const QRect& owner, std::optional<QPoint> stored) {
    const QScreen* screen = QGuiApplication::screenAt(stored.value_or(owner.center()));
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect();
    const QSize size = sizeHint();
    QPoint place;
    if (stored) {
        place = *stored;
    } else {
        // Right of the main window where it fits, else left of it.
        place = QPoint(owner.right() + 8, owner.top());
        if (place.x() + size.width() > free.right()) place.setX(owner.left() - 8 - size.width());
    }
    // Always wholly on a screen: a stored place from another display set-up is pulled in.
    if (!free.isEmpty()) {
        place.setX(
            std::clamp(place.x(), free.left(), std::max(free.left(), free.right() - size.width())));
        place.setY(
            std::clamp(place.y(), free.top(), std::max(free.top(), free.bottom() - size.height())));
    }
    // The inner rectangle, as the place is stored: the frame is the window manager's.
    setGeometry(QRect(place, size));
}

void CMonitorWnd::ShowNextSend(const SendPreview& preview) {
    m_pNext->SetDisplay(preview.display);
    QString dropped;
    if (preview.layout.tooLong) {
        dropped = FromAnsi(std::string(kTooLongWarning));
        for (const std::string& row : preview.layout.droppedRows)
            dropped += QLatin1Char('\n') + QString::fromUtf8(kCutMark) + FromAnsi(row);
        if (preview.layout.moreDropped)
            dropped += QLatin1Char('\n') + QString::fromUtf8(kCutMark) + QStringLiteral("\u2026");
    }
    if (dropped == m_strDropped) return;
    m_strDropped = dropped;
    m_pDropped->setText(dropped);
    m_pDropped->setVisible(!dropped.isEmpty());
}

void CMonitorWnd::ShowUnit(const CCaptionDisplay& display, const std::string& lineText) {
    m_pUnit->SetDisplay(display);
    const QString line = QString::fromStdString(lineText);
    if (line == m_strLine) return;
    m_strLine = line;
    m_pLine->setText(line);
    m_pLine->setVisible(!line.isEmpty());
}

void CMonitorWnd::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClosed) onClosed();
}
