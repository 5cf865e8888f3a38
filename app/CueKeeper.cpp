#include "CueKeeper.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMargins>
#include <QtConcurrent/QtConcurrentRun>
#include <chrono>

#include "Charset.h"
#include "Desk.h"
#include "DialogTemplate.h"
#include "MessageBox.h"
#include "Messages.h"
#include "SettingsStore.h"

namespace {

// The most a cue list's file may hold; larger ones are refused before they are read.
constexpr qint64 kMaxCueFileBytes = 64 * 1024 * 1024;
constexpr std::size_t kMaxSettingBytes = 4096;
constexpr auto kRereadDelay = std::chrono::milliseconds(150);

struct FileRead {
    CueListRead list;
    qint64 milliseconds = 0;
};

// What a file is now, to tell a change of it from a change of something else in its folder:
// where a link leads, the size and the times. Empty when there is no such file.
QString MarkOf(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists()) return {};
    return QStringLiteral("%1 %2 %3 %4")
        .arg(info.canonicalFilePath())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch())
        .arg(info.metadataChangeTime().toMSecsSinceEpoch());
}

// Runs on a worker thread: touches nothing but its own copies.
FileRead ReadFile(const QString& path, bool needText) {
    QElapsedTimer timer;
    timer.start();
    FileRead read;
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile()) {
        read.list.error = "no such file";
    } else if (info.size() > kMaxCueFileBytes) {
        read.list.error = "the file holds more than 64 MiB, the most a cue list may";
    } else if (!file.open(QIODevice::ReadOnly)) {
        read.list.error = file.errorString().toStdString();
    } else {
        const QByteArray bytes = file.read(kMaxCueFileBytes + 1);
        if (bytes.size() > kMaxCueFileBytes)
            read.list.error = "the file holds more than 64 MiB, the most a cue list may";
        else
            read.list = ReadCueList(
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                AnsiFromUtf8, needText);
    }
    read.milliseconds = timer.elapsed();
    return read;
}

}  // namespace

CCueKeeper::CCueKeeper(CDHtmlDialog& window, CaptionCommands& session,
                       std::function<bool()> miniMode)
    : m_window(window), m_session(session), m_miniMode(std::move(miniMode)), m_deck(session) {
    m_listenKey = m_deck.Listen([this] {
        if (m_pWnd) m_pWnd->MarkersChanged();
        ArmTimed();
    });
    m_skipKey = m_deck.ListenSkips([this](int cue, const std::string& reason) {
        Say(m_strFileMessage,
            QString::fromStdString("Cue " + std::to_string(cue) + " skipped: " + reason));
    });
    m_timed.setSingleShot(true);
    // A hold ends, and a time of day begins, on its millisecond rather than the coarse
    // timer's.
    m_timed.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timed, &QTimer::timeout, &m_context, [this] { RunTimed(); });
    m_reread.setSingleShot(true);
    m_reread.setInterval(kRereadDelay);
    QObject::connect(&m_reread, &QTimer::timeout, &m_context, [this] { FileChanged(); });
    QObject::connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_context,
                     [this] { m_reread.start(); });
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_context,
                     [this] { FolderChanged(); });
}

CCueKeeper::~CCueKeeper() {
    m_deck.Unlisten(m_listenKey);
    m_deck.UnlistenSkips(m_skipKey);
}

void CCueKeeper::RunTimed() {
    m_deck.RunTimed();
    ArmTimed();
}

void CCueKeeper::ArmTimed() {
    const std::optional<std::chrono::milliseconds> wait = m_deck.TimedWait();
    if (!wait) {
        m_timed.stop();
        return;
    }
    m_timed.start(*wait);
}

void CCueKeeper::AddCommands(std::vector<DHtmlKeyMapEntry>& keys,
                             CDHtmlDialog::MessageMap& messages) {
    const int pages[] = {IDR_HTML_TESSORA, IDR_HTML_MINI};
    const auto key = [&](const char* chord, unsigned message, WPARAM wParam) {
        keys.push_back({QString::fromLatin1(chord),
                        {std::begin(pages), std::end(pages)},
                        [this, message, wParam] {
                            m_window.PostMessage(message, wParam,
                                                 static_cast<LPARAM>(WriteOrigin::Key));
                        }});
    };
    key("Ctrl+Space", UWM_CUE_TAKE, 0);
    key("Ctrl+Down", UWM_CUE_MOVE, 1);
    key("Ctrl+Up", UWM_CUE_MOVE, 2);
    key("F3", UWM_TOGGLE_CUES, 0);
    key("F4", UWM_CUE_AUTOMATION, 0);
    messages[UWM_CUE_TAKE] = [this](WPARAM w, LPARAM l) { return OnTake(w, l); };
    messages[UWM_CUE_MOVE] = [this](WPARAM w, LPARAM l) { return OnMove(w, l); };
    messages[UWM_CUE_AUTOMATION] = [this](WPARAM, LPARAM) {
        m_deck.SetHeld(!m_deck.Timer().Held());
        return LRESULT{0};
    };
    messages[UWM_TOGGLE_CUES] = [this](WPARAM, LPARAM) {
        Show(!Shown());
        return LRESULT{0};
    };
}

LRESULT CCueKeeper::OnTake(WPARAM number, LPARAM) {
    using Take = CueDeck::TakeResult;
    const int cue = number != 0 ? static_cast<int>(number) : m_deck.Next();
    Take result = m_deck.Take(cue);
    if (result == Take::HandTyped) {
        const std::string question =
            "Screen " + std::to_string(m_deck.Screen()) +
            " holds text typed by hand that is not saved. Replace it with cue " +
            std::to_string(cue) + "?";
        if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES)
            result = m_deck.Take(cue, true);
    }
    // What the file said stays; what the last key said goes with the next one.
    if (result == Take::NoList)
        Say(m_strFileMessage, QStringLiteral("No cue list is open: open one with Open List..."));
    else if (result == Take::NoCue && number == 0)
        Say(m_strFileMessage, QStringLiteral("The list is at its end: Ctrl+Up picks a cue again."));
    else if (result == Take::Taken)
        Say(m_strFileMessage, QString());
    else if (result == Take::Repeated || result == Take::Refused)
        Say(m_strFileMessage, QString::fromStdString("Cue " + std::to_string(cue) +
                                                     " not sent: " + m_deck.Why(result)));
    return 0;
}

LRESULT CCueKeeper::OnMove(WPARAM direction, LPARAM) {
    m_deck.MoveNext(direction == 2 ? -1 : 1);
    return 0;
}

void CCueKeeper::Say(const QString& fileMessage, const QString& takeMessage) {
    m_strFileMessage = fileMessage;
    m_strMessage = fileMessage;
    if (!fileMessage.isEmpty() && !takeMessage.isEmpty()) m_strMessage += QLatin1Char('\n');
    m_strMessage += takeMessage;
    if (m_pWnd) m_pWnd->SetMessage(m_strMessage);
}

void CCueKeeper::EnsureWindow() {
    if (m_pWnd) return;
    m_pWnd = std::make_unique<CCueWnd>(&m_window, m_deck);
    m_pWnd->SetMessage(m_strMessage);
    m_pWnd->onTake = [this](int cue) {
        m_window.PostMessage(UWM_CUE_TAKE, static_cast<WPARAM>(cue),
                             static_cast<LPARAM>(WriteOrigin::Cue));
    };
    m_pWnd->onMove = [this](int step) {
        m_window.PostMessage(UWM_CUE_MOVE, step < 0 ? 2 : 1, static_cast<LPARAM>(WriteOrigin::Cue));
    };
    m_pWnd->onToggle = [this] { m_window.PostMessage(UWM_TOGGLE_CUES); };
    m_pWnd->onHoldAutomation = [this] { m_window.PostMessage(UWM_CUE_AUTOMATION); };
    m_pWnd->onClosed = [this] { Show(false); };
    m_pWnd->onOpen = [this] {
        if (m_session.Busy()) return;
        const QString path = QFileDialog::getOpenFileName(
            m_pWnd.get(), QStringLiteral("Open Cue List"),
            m_strFile.empty()
                ? QDir::homePath()
                : QFileInfo(QFile::decodeName(QByteArray::fromStdString(m_strFile))).absolutePath(),
            QStringLiteral("Cue lists (*.csv *.txt);;All files (*)"));
        if (!path.isEmpty()) Open(QFile::encodeName(path).toStdString());
    };
}

void CCueKeeper::Show(bool show) {
    m_bOpen = show;
    if (!show) {
        if (m_pWnd) {
            CDesk::Of(m_window).Hiding(CDesk::kCues, *m_pWnd);
            m_pWnd->hide();
        }
        return;
    }
    EnsureWindow();
    // The strip stays where the operator put it; the full window may step aside.
    CDesk::Of(m_window).Place(*m_pWnd, !m_miniMode());
    m_pWnd->show();
}

void CCueKeeper::Start() {
    std::optional<std::string> file = std::move(m_strStartFile);
    m_strStartFile.reset();
    // A list named on the command line is shown with the window.
    if (file) m_bOpen = true;
    if (!file && !m_strFile.empty()) file = m_strFile;
    if (file) Open(*file);
    if (m_bOpen)
        QObject::connect(
            &m_window, &CDHtmlDialog::pageReady, &m_context, [this] { Show(true); },
            Qt::SingleShotConnection);
}

void CCueKeeper::Open(const std::string& path, bool reload) {
    const QString file =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).absoluteFilePath();
    const int read = ++m_nReads;
    const QString mark = MarkOf(file);
    auto* watcher = new QFutureWatcher<FileRead>(&m_context);
    QObject::connect(
        watcher, &QFutureWatcher<FileRead>::finished, &m_context,
        [this, watcher, read, file, reload, mark] {
            watcher->deleteLater();
            if (read != m_nReads) return;
            // Taken, not copied: a copy of a long list would hold the window up.
            FileRead result = watcher->future().takeResult();
            const std::string name = QFile::encodeName(file).toStdString();
            // A file read again is not read once more until it changes, taken or not.
            if (file == m_strWatched) m_strMark = mark;
            if (!result.list.error.empty()) {
                Say(QStringLiteral("Could not read %1: %2")
                        .arg(file, QString::fromStdString(result.list.error)),
                    QString());
                CDHtmlDialog::AnnounceToDrivers(QStringLiteral("cues refused"));
                return;
            }
            const int count = static_cast<int>(result.list.cues.size());
            if (m_pWnd) m_pWnd->BeginReplace();
            std::vector<Cue> old;
            const std::string change =
                m_deck.Replace(name, std::move(result.list.cues), reload, &old);
            if (m_pWnd) m_pWnd->EndReplace();
            // A long list is let go of on a worker thread too.
            if (!old.empty()) (void)QtConcurrent::run([old = std::move(old)] {});
            m_strFile = name;
            if (file != m_strWatched) {
                Watch(file);
                m_strMark = mark;
            }
            QString said = QString::fromStdString(change);
            if (const std::size_t dropped = result.list.controlsDropped; dropped > 0)
                said += (said.isEmpty() ? QString() : QStringLiteral("; ")) +
                        QStringLiteral("%1 control %2 dropped: the unit would act on them")
                            .arg(dropped)
                            .arg(dropped == 1 ? "character" : "characters");
            Say(said, QString());
            CDHtmlDialog::AnnounceToDrivers(
                QStringLiteral("cues loaded %1 in %2 ms").arg(count).arg(result.milliseconds));
        });
    watcher->setFuture(QtConcurrent::run(ReadFile, file, m_deck.Template() == 0));
}

void CCueKeeper::Watch(const QString& file) {
    if (!m_watcher.files().isEmpty()) m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
    m_strWatched = file;
    m_bMissing = false;
    m_watcher.addPath(QFileInfo(file).absolutePath());
    if (QFileInfo::exists(file)) m_watcher.addPath(file);
}

void CCueKeeper::FolderChanged() {
    // Something else in the folder changed, or the file itself was replaced, removed, put
    // back, or a link to it pointed elsewhere.
    if (m_strWatched.isEmpty() || MarkOf(m_strWatched) == m_strMark) return;
    m_reread.start();
}

void CCueKeeper::FileChanged() {
    if (m_strWatched.isEmpty()) return;
    const QString file = m_strWatched;
    if (!QFileInfo::exists(file)) {
        // The folder's watch tells when it is back.
        m_strMark.clear();
        if (m_bMissing) return;
        m_bMissing = true;
        Say(QStringLiteral("%1 is missing; the list read last stays")
                .arg(QFileInfo(file).fileName()),
            QString());
        CDHtmlDialog::AnnounceToDrivers(QStringLiteral("cues missing"));
        return;
    }
    m_bMissing = false;
    // A watch follows the file a link led to when it was set, and ends with a file removed.
    m_watcher.removePath(file);
    m_watcher.addPath(file);
    m_strMark = MarkOf(file);
    Open(QFile::encodeName(file).toStdString(), true);
}

void CCueKeeper::Load(const SettingsStore& store) {
    if (const std::optional<std::int32_t> screen = store.ReadInt32("Cues/Screen"))
        if (*screen >= 1 && *screen <= 4) m_deck.SetScreen(*screen);
    if (const std::optional<std::int32_t> loop = store.ReadInt32("Cues/Loop"))
        m_deck.SetLoop(*loop != 0);
    // Set by hand in the file: 1 to 4, anything else none.
    if (const std::optional<std::int32_t> templ = store.ReadInt32("Cues/Template"))
        m_deck.SetTemplate(*templ);
    if (const std::optional<std::int32_t> open = store.ReadInt32("Cues/Open"))
        m_bOpen = m_bOpen || *open != 0;
    if (const std::optional<std::string> file = store.ReadText("Cues/File", kMaxSettingBytes))
        m_strFile = *file;
    if (const std::optional<std::string> after = store.ReadText("Cues/AfterHold", 16))
        m_deck.SetAfterHold(*after == "next" ? AfterHold::Next : AfterHold::Clear);
    if (const std::optional<std::int32_t> guard = store.ReadInt32("Cues/RepeatGuardMs"))
        if (*guard >= 0) m_deck.SetRepeatGuard(std::chrono::milliseconds(*guard));
    CDesk::Of(m_window).Load(CDesk::kCues, store);
}

void CCueKeeper::Save(SettingsStore& store) {
    store.WriteInt32("Cues/Screen", m_deck.Screen());
    store.WriteInt32("Cues/Loop", m_deck.Loop() ? 1 : 0);
    store.WriteInt32("Cues/Template", m_deck.Template());
    store.WriteInt32("Cues/Open", m_bOpen ? 1 : 0);
    store.WriteText("Cues/AfterHold", m_deck.Timer().After() == AfterHold::Next ? "next" : "clear");
    store.WriteInt32("Cues/RepeatGuardMs",
                     static_cast<std::int32_t>(m_deck.Timer().RepeatGuard().count()));
    if (!m_deck.File().empty()) store.WriteText("Cues/File", m_deck.File());
    CDesk::Of(m_window).Save(CDesk::kCues, store, m_pWnd.get());
}
