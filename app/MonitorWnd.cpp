#include "MonitorWnd.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "Charset.h"
#include "UnitGridView.h"

namespace {

constexpr char kTitle[] = "Tessora Monitor";
constexpr char kCutMark[] = "\u2702 ";  // a pair of scissors: this row is not sent
// The text's braces are carried out by the unit, not shown: said so the operator knows.
constexpr char kCommandsNote[] = "{ } The text holds unit commands: the unit carries them out.";
// The grids' smallest font: below it the cells no longer read at a glance.
constexpr int kLegiblePixels = 9;

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
      m_pLine(Note(this)),
      m_pBackup(Note(this)),
      m_pClock(Note(this)) {
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
    layout->addWidget(m_pBackup);
    layout->addWidget(m_pClock);
    layout->addStretch(1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_pDropped->hide();
    m_pLine->hide();
    m_pBackup->hide();
    m_pClock->hide();
    SetGridPixels(CUnitGridView::NaturalFontPixels());
}

void CMonitorWnd::SetGridPixels(int pixels) {
    m_nGridPixels = pixels;
    m_pNext->SetFontPixels(pixels);
    m_pUnit->SetFontPixels(pixels);
    ShowNote(*m_pLine, m_strLine);
    ShowNote(*m_pBackup, m_strBackup);
    layout()->activate();
}

std::vector<int> CMonitorWnd::FontSizes() {
    const int natural = CUnitGridView::NaturalFontPixels();
    std::vector<int> pixels;
    for (int size = natural; size >= std::min(natural, kLegiblePixels); --size)
        pixels.push_back(size);
    return pixels;
}

std::vector<QSize> CMonitorWnd::InnerSizes(const std::vector<int>& pixels) {
    const int now = m_nGridPixels;
    std::vector<QSize> sizes;
    for (const int size : pixels) {
        SetGridPixels(size);
        sizes.push_back(sizeHint());
    }
    SetGridPixels(now);
    return sizes;
}

void CMonitorWnd::ShowNextSend(const SendPreview& preview) {
    m_pNext->SetDisplay(preview.display);
    QString dropped;
    if (preview.unitCommands) dropped = QString::fromUtf8(kCommandsNote);
    if (preview.layout.tooLong) {
        if (!dropped.isEmpty()) dropped += QLatin1Char('\n');
        dropped += FromAnsi(std::string(kTooLongWarning));
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

void CMonitorWnd::ShowBackup(const std::string& text) {
    const QString backup = QString::fromStdString(text);
    if (backup == m_strBackup) return;
    m_strBackup = backup;
    ShowNote(*m_pBackup, backup);
}

void CMonitorWnd::ShowNote(QLabel& label, const QString& text) {
    // A long device path is cut in its middle to the grid's width, never at the window's
    // edge; the whole text shows on hovering.
    const QString shown =
        label.fontMetrics().elidedText(text, Qt::ElideMiddle, m_pUnit->sizeHint().width());
    label.setText(shown);
    label.setToolTip(shown == text ? QString() : text);
    // A line that is live is news, not a warning: it is not in the warnings' red.
    const bool live = text.contains(QStringLiteral(" line live: "));
    label.setStyleSheet(live ? QStringLiteral("color: #1b5e20;")
                             : QStringLiteral("color: #b00020;"));
    label.setVisible(!text.isEmpty());
}

void CMonitorWnd::ShowUnit(const CCaptionDisplay& display, const std::string& lineText,
                           const std::string& clockText) {
    m_pUnit->SetDisplay(display);
    const QString clock = QString::fromStdString(clockText);
    if (clock != m_strClock) {
        m_strClock = clock;
        m_pClock->setText(clock);
        m_pClock->setVisible(!clock.isEmpty());
    }
    const QString line = QString::fromStdString(lineText);
    if (line == m_strLine) return;
    m_strLine = line;
    ShowNote(*m_pLine, line);
}

void CMonitorWnd::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClosed) onClosed();
}
