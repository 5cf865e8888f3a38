#include "CueWnd.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "Charset.h"
#include "Corners.h"

namespace {

constexpr char kTitle[] = "Tessora Cues";
constexpr char kCutMark[] = "\u2702 ";    // as the monitor marks rows that are not sent
constexpr char kLossyMark[] = "\u00BF ";  // characters the unit's set has not became "?"
constexpr char kCommandsMark[] = "{} ";   // the unit's own commands, sent as they stand
// A row shows the start of a cue and its tooltip a little more: a screen's text of up to
// 1 MiB laid out whole would hold the window up.
constexpr qsizetype kMostShown = 200;
constexpr qsizetype kMostInTooltip = 2000;
constexpr char kCornerNames[][13] = {"None", "Top Left", "Top Right", "Bottom Left",
                                     "Bottom Right"};
const QSize kSize(560, 420);
const QSize kSmallest(360, 100);
// Below this height the list keeps its rows and the keys' hint goes.
constexpr int kHintHeight = 200;

enum Column { kNumber, kMark, kText, kDate, kTime, kNote, kColumns };

// At most `most` characters of text, "…" in place of the rest.
QString Shortened(QString text, qsizetype most) {
    if (text.size() <= most) return text;
    text.truncate(most);
    return text + QChar(0x2026);
}

QString CornerName(int corner) {
    return QString::fromLatin1(IsCorner(corner) ? kCornerNames[corner] : kCornerNames[0]);
}

}  // namespace

// The deck's cues as table rows, read where they are; nothing is copied.
class CCueModel : public QAbstractTableModel {
public:
    explicit CCueModel(const CueDeck& deck, QObject* parent)
        : QAbstractTableModel(parent), m_deck(deck) {}

    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::endResetModel;

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_deck.Cues().size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : kColumns;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        static const char* const names[kColumns] = {"#", "", "Text", "Date", "Time", "Note"};
        // The template is named where its texts are shown.
        if (section == kText && m_deck.Template() != 0)
            return QStringLiteral("Text (template: Screen %1)").arg(m_deck.Template());
        return QString::fromLatin1(names[section]);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount({})) return {};
        const Cue& cue = m_deck.Cues()[static_cast<std::size_t>(index.row())];
        // As it goes to air, through the template when there is one.
        const TemplateFill fill = m_deck.Filled(cue.number);
        const bool onAir = cue.number == m_deck.OnAir();
        const bool next = cue.number == m_deck.Next();
        switch (role) {
            case Qt::DisplayRole:
                switch (index.column()) {
                    case kNumber:
                        return cue.number;
                    case kMark:
                        return onAir  ? QStringLiteral("ON AIR")
                               : next ? QStringLiteral("NEXT")
                                      : QString();
                    case kText:
                        if (!fill.refusal.empty())
                            return QStringLiteral("\u26A0 ") + QString::fromStdString(fill.refusal);
                        return (fill.cut ? QString::fromUtf8(kCutMark) : QString()) +
                               (fill.lossy ? QString::fromUtf8(kLossyMark) : QString()) +
                               (fill.commands ? QString::fromUtf8(kCommandsMark) : QString()) +
                               Shortened(
                                   FromAnsi(std::string(
                                       FirstLine(fill.content.text).substr(0, kMostShown + 1))),
                                   kMostShown);
                    case kDate:
                        return CornerName(fill.content.dateCorner);
                    case kTime:
                        return CornerName(fill.content.timeCorner);
                    case kNote:
                        return Shortened(QString::fromStdString(std::string(
                                             std::string_view(cue.note).substr(0, 4 * kMostShown))),
                                         kMostShown);
                }
                return {};
            case Qt::ToolTipRole:
                if (index.column() != kText) return {};
                if (!fill.refusal.empty())
                    return QStringLiteral("This cue cannot be taken: ") +
                           QString::fromStdString(fill.refusal) + QStringLiteral(".");
                return Shortened(FromAnsi(fill.content.text.substr(0, kMostInTooltip + 1)),
                                 kMostInTooltip) +
                       (fill.cut ? QStringLiteral("\n\u2702 The unit will not show all of it.")
                                 : QString()) +
                       (fill.lossy ? QStringLiteral("\n\u00BF Characters the unit cannot show "
                                                    "became \"?\".")
                                   : QString()) +
                       (fill.commands
                            ? QStringLiteral("\n{} The text holds the unit's own commands "
                                             "({A19 clears, {C and a column and row move); "
                                             "they go to the unit as they stand.")
                            : QString());
            case Qt::BackgroundRole:
                if (onAir) return QColor(0xB0, 0x00, 0x20);
                if (next) return QColor(0xFF, 0xE0, 0x82);
                return {};
            case Qt::ForegroundRole:
                if (onAir) return QColor(Qt::white);
                if ((fill.cut || !fill.refusal.empty()) && index.column() == kText)
                    return QColor(0xB0, 0x00, 0x20);
                return {};
        }
        return {};
    }

    void RowsChanged() {
        if (rowCount({}) > 0) emit dataChanged(index(0, 0), index(rowCount({}) - 1, kColumns - 1));
    }

private:
    const CueDeck& m_deck;
};

CCueWnd::CCueWnd(QWidget* owner, const CueDeck& deck)
    : QWidget(owner, Qt::Tool),
      m_deck(deck),
      m_pModel(new CCueModel(deck, this)),
      m_pTable(new QTableView(this)),
      m_pFile(new QLabel(this)),
      m_pMessage(new QLabel(this)),
      m_pTimed(new QLabel(this)),
      m_pHold(new QPushButton(this)),
      m_pCountdown(new QTimer(this)) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setObjectName(QStringLiteral("TessoraCues"));
    // Shown without taking the keyboard from the text box; a click in the list takes it.
    setAttribute(Qt::WA_ShowWithoutActivating);

    m_pTable->setModel(m_pModel);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->verticalHeader()->hide();
    // Rows of one height: a list of a hundred thousand cues is laid out at once.
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_pTable->horizontalHeader()->setSectionResizeMode(kText, QHeaderView::Stretch);
    m_pTable->setColumnWidth(kNumber, 40);
    m_pTable->setColumnWidth(kMark, 60);
    m_pTable->setColumnWidth(kDate, 84);
    m_pTable->setColumnWidth(kTime, 84);
    m_pTable->setColumnWidth(kNote, 96);
    m_pTable->setWordWrap(false);
    // Return and a double-click both activate a row.
    connect(m_pTable, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (index.isValid() && onTake) onTake(index.row() + 1);
    });

    m_pMessage->setTextFormat(Qt::PlainText);
    m_pMessage->setWordWrap(true);
    m_pMessage->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_pMessage->hide();
    m_pFile->setTextFormat(Qt::PlainText);
    auto* open = new QPushButton(QStringLiteral("Open List..."), this);
    open->setFocusPolicy(Qt::NoFocus);
    connect(open, &QPushButton::clicked, this, [this] {
        if (onOpen) onOpen();
    });
    auto* top = new QHBoxLayout;
    top->addWidget(m_pFile, 1);
    top->addWidget(open);
    m_pTimed->setTextFormat(Qt::PlainText);
    m_pTimed->setObjectName(QStringLiteral("TessoraCuesTimed"));
    m_pHold->setFocusPolicy(Qt::NoFocus);
    connect(m_pHold, &QPushButton::clicked, this, [this] {
        if (onHoldAutomation) onHoldAutomation();
    });
    auto* timed = new QHBoxLayout;
    timed->addWidget(m_pTimed, 1);
    timed->addWidget(m_pHold);
    m_pCountdown->setInterval(200);
    connect(m_pCountdown, &QTimer::timeout, this, [this] { TimedChanged(); });
    m_pHint = new QLabel(
        QStringLiteral("Ctrl+Space takes the next cue, Return or a double-click the one "
                       "selected; Ctrl+Down and Ctrl+Up move NEXT; F4 holds automation."),
        this);
    m_pHint->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(timed);
    layout->addWidget(m_pMessage);
    layout->addWidget(m_pTable, 1);
    layout->addWidget(m_pHint);

    const auto shortcut = [this](const char* keys, std::function<void()> run) {
        auto* key = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
        key->setContext(Qt::WindowShortcut);
        // A key held down takes one cue, not one per repeat.
        key->setAutoRepeat(false);
        connect(key, &QShortcut::activated, this, std::move(run));
    };
    shortcut("Ctrl+Space", [this] {
        if (onTake) onTake(0);
    });
    shortcut("Ctrl+Down", [this] {
        if (onMove) onMove(1);
    });
    shortcut("Ctrl+Up", [this] {
        if (onMove) onMove(-1);
    });
    shortcut("F3", [this] {
        if (onToggle) onToggle();
    });
    shortcut("F4", [this] {
        if (onHoldAutomation) onHoldAutomation();
    });
    setMinimumSize(kSmallest);
    resize(kSize);
    EndReplace();
}

CCueWnd::~CCueWnd() = default;

void CCueWnd::BeginReplace() {
    m_pModel->beginResetModel();
}

void CCueWnd::EndReplace() {
    m_pModel->endResetModel();
    const QString file = QFile::decodeName(QByteArray::fromStdString(m_deck.File()));
    const int count = static_cast<int>(m_deck.Cues().size());
    m_pFile->setText(file.isEmpty() ? QStringLiteral("No cue list open")
                                    : QStringLiteral("%1: %2 %3")
                                          .arg(QFileInfo(file).fileName())
                                          .arg(count)
                                          .arg(count == 1 ? "cue" : "cues"));
    m_pFile->setToolTip(file);
    MarkersChanged();
}

void CCueWnd::MarkersChanged() {
    m_pModel->RowsChanged();
    TimedChanged();
    const int next = m_deck.Next() > 0 ? m_deck.Next() : m_deck.OnAir();
    if (next > 0) m_pTable->scrollTo(m_pModel->index(next - 1, kNumber));
}

void CCueWnd::TimedChanged() {
    const CueTimer& timer = m_deck.Timer();
    const std::optional<UpcomingAction> next = timer.Upcoming();
    QString text = timer.Held() ? QStringLiteral("Automation HELD") : QStringLiteral("Automation");
    if (next)
        text += QStringLiteral(": next %1")
                    .arg(QString::fromStdString(UpcomingText(*next, m_deck.Now())));
    else
        text += QStringLiteral(": nothing timed");
    m_strTimed = text;
    m_pTimed->setText(text);
    m_pTimed->setStyleSheet(timer.Held() ? QStringLiteral("color: #b00020; font-weight: bold;")
                                         : QString());
    m_pHold->setText(timer.Held() ? QStringLiteral("Run Automation (F4)")
                                  : QStringLiteral("Hold Automation (F4)"));
    if (next && isVisible() && !m_pCountdown->isActive()) m_pCountdown->start();
    if ((!next || !isVisible()) && m_pCountdown->isActive()) m_pCountdown->stop();
}

void CCueWnd::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    TimedChanged();
}

void CCueWnd::SetMessage(const QString& message) {
    m_strMessage = message;
    m_pMessage->setText(message);
    m_pMessage->setVisible(!message.isEmpty());
}

QSize CCueWnd::NaturalSize() {
    return kSize;
}

QSize CCueWnd::SmallestSize() {
    return kSmallest;
}

void CCueWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_pHint->setVisible(height() >= kHintHeight);
}

void CCueWnd::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClosed) onClosed();
}
