#include "TessoraDlg.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "AsRunStart.h"
#include "Charset.h"
#include "DialogTemplate.h"
#include "DocumentFile.h"
#include "Exceptions.h"
#include "FileDialog.h"
#include "LineEnds.h"
#include "MessageBox.h"
#include "Messages.h"
#include "OperatorKeys.h"
#include "OscListener.h"
#include "RemoteCommands.h"
#include "ScreenPlace.h"

namespace {

constexpr char kSavePrompt[] = "Save changes to the current file?";
constexpr char kSaveFailed[] = "Could not save to file!";
constexpr char kOpenFailed[] = "Could not open file!";
constexpr char kTitlePrefix[] = "Halvercrest Pexalune - ";
constexpr char kUntitled[] = "untitled";

constexpr std::int32_t kFarOff = 1 << 24;
// The strip's size on first use.
constexpr int kFirstStripWidth = 100;
constexpr int kFirstStripHeight = 50;
constexpr unsigned kClockReadMs = 60 * 1000;

constexpr char kSelectedTab[] = "#666699";
constexpr char kPlainTab[] = "#333399";

// How the session reaches the world: the window's timers and thread, and the drivers.
SessionClock WindowClock(QObject* window) {
    SessionClock clock;
    clock.later = [window](std::chrono::milliseconds delay, std::function<void()> call) {
        QTimer::singleShot(delay, window, std::move(call));
    };
    clock.pause = [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); };
    return clock;
}

// A device path comes from the system and the settings in UTF-8 (a network line's host
// name may be any name); the message line and the monitor are Windows-1252.
LineVoice WindowVoice() {
    return {[](const char* what, const std::string& device) {
                CDHtmlDialog::AnnounceToDrivers(
                    QStringLiteral("line %1 %2")
                        .arg(QLatin1String(what), QString::fromStdString(device)));
            },
            [](const std::string& text) { return AnsiFromUtf8(text); }};
}

}  // namespace

CTessoraDlg::CTessoraDlg(QWidget* parent)
    : CDHtmlDialog(IDD_TESSORA_DIALOG, IDR_HTML_TESSORA, parent),
      m_session(WindowClock(this), WindowVoice()),
      m_clock([this] {
          m_session.SetClock(m_clock.State() != ClockSync::NotSynchronised,
                             m_clock.State() != ClockSync::Unknown, m_clock.Text());
      }),
      m_monitor(
          *this, m_session,
          {[this] { return m_session.LineText(); }, [this] { return m_clock.Text(); },
           [this] { return m_session.Port() ? m_session.Port()->QueuedBytes() : std::size_t{0}; },
           [this] { return m_bMiniMode; }}) {
    m_session.onQueued = [this] { m_monitor.NeedsRefresh(false); };
    m_session.SetBusy([this] { return IsUnderModal(); });
    // First of the listeners: the page shows a change before any other client hears of it.
    m_session.ListenStateChanged([this] { SessionChanged(); });
    const auto post = [this](unsigned message, WPARAM wParam = 0) {
        return [this, message, wParam](const DHtmlElement&) { PostMessage(message, wParam, 0); };
    };
    const auto byName = [&](const char* id, unsigned message, WPARAM wParam = 0) {
        return DHtmlEventMapEntry{DHTMLEVENTMAPENTRY_NAME, DISPID_HTMLELEMENTEVENTS_ONMOUSEDOWN,
                                  QString::fromLatin1(id), post(message, wParam)};
    };
    const auto onChange = [&](const char* id, unsigned message) {
        return DHtmlEventMapEntry{DHTMLEVENTMAPENTRY_ELEMENT, DISPID_HTMLELEMENTEVENTS_ONCHANGE,
                                  QString::fromLatin1(id), post(message)};
    };
    m_eventMap = {
        byName("btnNew", UWM_FILE_NEW),
        byName("btnOpen", UWM_FILE_OPEN),
        byName("btnSave", UWM_FILE_SAVE),
        byName("btnSetup", UWM_SETUP),
        byName("btnToggle", UWM_TOGGLE_MINI),
        byName("tagNew", UWM_FILE_NEW),
        byName("tagOpen", UWM_FILE_OPEN),
        byName("tagSave", UWM_FILE_SAVE),
        byName("tagSetup", UWM_SETUP),
        byName("tagToggle", UWM_TOGGLE_MINI),
        byName("btnSend", UWM_SEND),
        byName("btnClear", UWM_CLEAR),
        byName("Screen1", UWM_SELECT_SCREEN, 2),
        byName("Screen2", UWM_SELECT_SCREEN, 3),
        byName("Screen3", UWM_SELECT_SCREEN, 4),
        byName("Screen4", UWM_SELECT_SCREEN, 5),
        onChange("cmbTime", UWM_STAMP_CHANGED),
        onChange("cmbDate", UWM_STAMP_CHANGED),
    };
    m_keyMap = OperatorKeyMap(*this);

    const auto handler = [this](LRESULT (CTessoraDlg::*member)(WPARAM, LPARAM)) {
        return [this, member](WPARAM w, LPARAM l) { return (this->*member)(w, l); };
    };
    m_messageMap = {
        {UWM_SELECT_SCREEN, handler(&CTessoraDlg::OnSelectScreen)},
        {UWM_FILE_NEW, handler(&CTessoraDlg::OnFileNew)},
        {UWM_FILE_OPEN, handler(&CTessoraDlg::OnFileOpen)},
        {UWM_FILE_SAVE, handler(&CTessoraDlg::OnFileSave)},
        {UWM_SETUP, handler(&CTessoraDlg::OnSetup)},
        {UWM_CLEAR, handler(&CTessoraDlg::OnClear)},
        {UWM_SEND, handler(&CTessoraDlg::OnSend)},
        {UWM_STAMP_CHANGED, handler(&CTessoraDlg::OnStampChanged)},
        {UWM_TOGGLE_MINI, handler(&CTessoraDlg::OnToggleMiniMode)},
        {UWM_OPEN_START_FILE, handler(&CTessoraDlg::OnOpenStartFile)},
        {UWM_TOGGLE_MONITOR, handler(&CTessoraDlg::OnToggleMonitor)},
    };
    m_cues.AddCommands(m_keyMap, m_messageMap);
}

CTessoraDlg::~CTessoraDlg() = default;

void CTessoraDlg::SessionChanged() {
    m_monitor.NeedsRefresh(true);
    if (m_bExchanging) return;
    if (m_session.Screen() != m_shownScreen) {
        ShowScreen();
        return;
    }
    const int index = m_session.Screen() - 1;
    const CTessoraFile& screens = m_session.Screens();
    if (screens.Text(index) != m_shown.text || screens.DateCorner(index) != m_shown.dateCorner ||
        screens.TimeCorner(index) != m_shown.timeCorner || m_session.Modified() != m_bShownDirty)
        UpdateData(false);
    else if (m_session.Message() != m_strShownMessage)
        SetElementText(QStringLiteral("divMessage"), m_strShownMessage = m_session.Message());
}

const std::vector<DHtmlEventMapEntry>& CTessoraDlg::GetDHtmlEventMap() const {
    return m_eventMap;
}

const CDHtmlDialog::MessageMap& CTessoraDlg::GetMessageMap() const {
    return m_messageMap;
}

bool CTessoraDlg::OnInitDialog() {
    SetHostFlags(DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO);
    CDHtmlDialog::OnInitDialog();
    LoadFromResource(IDR_HTML_TESSORA);
    GetWindowRect(&m_rcFull);

    m_session.SetTitle(windowTitle().toStdString());
    CreatePort();
    // The unit's display is followed from the bytes the line really took.
    m_session.Port()->KeepSentBytes(true);
    // Typing reaches the session as the page reports it.
    connect(this, &CDHtmlDialog::elementChanged, this, [this] {
        UpdateData(true);
        m_monitor.NeedsRefresh(true);
    });
    connect(this, &CDHtmlDialog::commandDone, this, [this] { m_monitor.NeedsRefresh(true); });
    connect(this, &CDHtmlDialog::pageReady, this, [this] { m_monitor.NeedsRefresh(true); });
    // Open with the window, not before it: over nothing it would look like the program.
    const bool monitorAsked = m_monitor.m_bOpen;
    LoadSettings();
    if (monitorAsked || m_monitor.m_bOpen)
        connect(
            this, &CDHtmlDialog::pageReady, this, [this] { m_monitor.Show(true); },
            Qt::SingleShotConnection);
    m_clock.Read();
    SetTimer(IDT_CLOCK, kClockReadMs);
    // Up before the port box, which it answers as busy like any other box.
    m_pRemote = CRemoteControl::FromSettings(m_session);
    m_pAsRun = AsRunLogFromSettings(m_session);
    // A timed cue that did not fire is in the as-run log too.
    m_cues.Deck().ListenSkips([this](int cue, const std::string& reason) {
        if (m_pAsRun) m_pAsRun->Skipped(cue, reason);
    });
    if (m_pRemote) m_pRemote->ServeCues(m_cues.Deck());
    m_pOsc = OscListener::FromSettings(m_session, &m_cues.Deck());
    m_cues.Start();
    // The port box runs a loop of its own, in which the page may well come in.
    bool pageIn = false;
    const QMetaObject::Connection pageWatch =
        connect(this, &CDHtmlDialog::pageReady, this, [&pageIn] { pageIn = true; });
    Connect();
    disconnect(pageWatch);
    // Once the window shows with its page and the port box is answered, as Open would after
    // its dialog; posted, so it runs through the dispatch that reports a bad file as Open's
    // errors are reported.
    if (m_strStartFile && pageIn)
        PostMessage(UWM_OPEN_START_FILE);
    else if (m_strStartFile)
        connect(
            this, &CDHtmlDialog::pageReady, this, [this] { PostMessage(UWM_OPEN_START_FILE); },
            Qt::SingleShotConnection);
    return true;
}

void CTessoraDlg::OnCancel() {
    if (m_bMiniMode) {
        OnToggleMiniMode(0, 0);
        return;
    }
    // Text typed just before the close counts as a change to offer for saving.
    UpdateData(true);
    if (!PromptSave(MB_ICONEXCLAMATION)) return;
    KillTimer(IDT_STAMP);
    KillTimer(IDT_CLOCK);
    m_pRemote.reset();
    m_pOsc.reset();
    SaveSettings();
    m_session.ClosePort();
    CDHtmlDialog::OnCancel();
}

void CTessoraDlg::ReportException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const CMemoryException& e) {
        AfxMessageBox(e.Text(), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    } catch (...) {
        CDHtmlDialog::ReportException(std::current_exception());
    }
}

void CTessoraDlg::DoDataExchange(CDataExchange* pDX) {
    // A page that reports an element as it is written is read once the write is done.
    if (m_bExchanging) return;
    m_bExchanging = true;
    CDHtmlDialog::DoDataExchange(pDX);
    const int index = m_session.Screen() - 1;
    const CTessoraFile& screens = m_session.Screens();
    std::string text = screens.Text(index);
    std::int32_t dateCorner = screens.DateCorner(index);
    std::int32_t timeCorner = screens.TimeCorner(index);
    std::string dirty = m_session.Modified() ? "dirty" : "";
    std::string message = m_session.Message();
    DDX_DHtml_ElementText(pDX, QStringLiteral("scrText"), DISPID_A_VALUE, text);
    DDX_DHtml_SelectIndex(pDX, QStringLiteral("cmbDate"), dateCorner);
    DDX_DHtml_SelectIndex(pDX, QStringLiteral("cmbTime"), timeCorner);
    DDX_DHtml_ElementText(pDX, QStringLiteral("divDirty"), DISPID_IHTMLELEMENT_INNERTEXT, dirty);
    if (pDX->m_bSaveAndValidate) {
        // The page's report goes to the session, while the page still shows the session's
        // current screen (a screen just selected is not yet written to it).
        // What it reports is what changed on it since it was last given the screen.
        const bool changed = (text != m_shown.text && text != BoxLineEnds(m_shown.text)) ||
                             dateCorner != m_shown.dateCorner || timeCorner != m_shown.timeCorner;
        if (HasElement(QStringLiteral("scrText")) && m_shownScreen == m_session.Screen() && changed)
            m_session.Type(text, dateCorner, timeCorner);
        // The marker as the page set it, not as it was last given.
        if (dirty.empty() == m_bShownDirty) m_session.SetModified(!dirty.empty());
    } else {
        DDX_DHtml_ElementText(pDX, QStringLiteral("divMessage"), DISPID_IHTMLELEMENT_INNERTEXT,
                              message);
        m_strShownMessage = message;
    }
    if (!pDX->m_bSaveAndValidate) m_shownScreen = m_session.Screen();
    m_shown = {screens.Text(index), screens.DateCorner(index), screens.TimeCorner(index)};
    m_bShownDirty = m_session.Modified();
    m_bExchanging = false;
}

void CTessoraDlg::ShowScreen() {
    // Written before the focus too: focusing may have the page report what it shows.
    UpdateData(false);
    for (int tab = 0; tab < 4; ++tab) {
        SetElementBackgroundColor(
            QStringLiteral("Screen%1").arg(tab + 1),
            QLatin1String(m_session.Screen() == tab + 1 ? kSelectedTab : kPlainTab));
    }
    FocusElement(QStringLiteral("scrText"));
    UpdateData(false);
}

void CTessoraDlg::OnDocumentComplete(const QString& url) {
    CDHtmlDialog::OnDocumentComplete(url);
    ShowScreen();
}

LRESULT CTessoraDlg::OnSelectScreen(WPARAM wParam, LPARAM) {
    UpdateData(true);
    // The page's tabs post 2 to 5 for Screen1 to Screen4.
    m_session.Select(static_cast<int>(wParam & 0xFFFF) - 1);
    ShowScreen();
    return 0;
}

LRESULT CTessoraDlg::OnToggleMiniMode(WPARAM, LPARAM) {
    if (!m_bMiniMode) {
        UpdateData(true);
        GetWindowRect(&m_rcFull);
        LoadFromResource(IDR_HTML_MINI);
        const QSize size = StripSize();
        MoveWindow(m_nMinPosX, m_nMinPosY, size.width(), size.height(), true);
        // A stored place off every screen (another display set-up, a hand-edited value) would
        // hide the strip and its restore text: it shows on the nearest screen instead, and
        // the stored place stays as it is. Far beyond any screen is all the same.
        const QPoint stored(std::clamp(m_nMinPosX, -kFarOff, kFarOff),
                            std::clamp(m_nMinPosY, -kFarOff, kFarOff));
        m_ptStripShown = OnTheScreens(stored, frameSize());
        if (m_ptStripShown != stored)
            MoveWindow(m_ptStripShown.x(), m_ptStripShown.y(), size.width(), size.height(), true);
        m_bMiniMode = true;
    } else {
        RECT strip;
        GetWindowRect(&strip);
        // Only a strip the operator moved changes the stored place.
        if (QPoint(strip.left, strip.top) != m_ptStripShown) {
            m_nMinPosX = strip.left;
            m_nMinPosY = strip.top;
        }
        MoveWindow(m_rcFull.left, m_rcFull.top, m_rcFull.right - m_rcFull.left,
                   m_rcFull.bottom - m_rcFull.top, true);
        LoadFromResource(IDR_HTML_TESSORA);
        m_bMiniMode = false;
    }
    return 0;
}

void CTessoraDlg::StoreStrip(const StripStore& strip) {
    m_nMinPosX = strip.x;
    m_nMinPosY = strip.y;
    m_nMinSizeWidth = strip.width;
    m_nMinSizeHeight = strip.height;
}

WriteOrigin CTessoraDlg::OriginOf(LPARAM lParam) const {
    const auto origin = static_cast<WriteOrigin>(lParam);
    return origin == WriteOrigin::Page && m_bMiniMode ? WriteOrigin::Strip : origin;
}

QSize CTessoraDlg::StripSize() const {
    // A stored size with no room for the restore text (0, negative, a few pixels) would be a
    // sliver nobody can read or click: the strip shows at the first-use size instead, and the
    // stored size stays as it is.
    constexpr int kTextWidth = 48;
    constexpr int kTextHeight = 16;
    const QMargins frame = frameMargins();
    const bool roomy = qint64{m_nMinSizeWidth} >= frame.left() + frame.right() + kTextWidth &&
                       qint64{m_nMinSizeHeight} >= frame.top() + frame.bottom() + kTextHeight;
    return roomy ? QSize(m_nMinSizeWidth, m_nMinSizeHeight)
                 : QSize(kFirstStripWidth, kFirstStripHeight);
}

LRESULT CTessoraDlg::OnSend(WPARAM, LPARAM lParam) {
    UpdateData(true);
    m_session.Send(OriginOf(lParam));
    ShowScreen();
    return 0;
}

LRESULT CTessoraDlg::OnClear(WPARAM, LPARAM lParam) {
    UpdateData(true);
    m_session.Clear(OriginOf(lParam));
    return 0;
}

LRESULT CTessoraDlg::OnStampChanged(WPARAM, LPARAM lParam) {
    UpdateData(true);
    m_session.ResendCorners(OriginOf(lParam));
    ShowScreen();
    return 0;
}

bool CTessoraDlg::PromptSave(unsigned icon) {
    if (!m_session.Modified()) return true;
    if (AfxMessageBox(kSavePrompt, MB_YESNO | icon) != IDYES) return true;
    // A save the operator asked for and did not get keeps the screens: cancelled ends the
    // command just as failed does.
    return Save() == SaveResult::written;
}

CTessoraDlg::SaveResult CTessoraDlg::Save() {
    UpdateData(true);
    const std::optional<std::string> path = RunFileDialog(FileDialogKind::Save, this);
    if (!path) return SaveResult::cancelled;
    // Errors after the file is open leave as exceptions for the message dispatch to show;
    // the title and the flag then stay as they were.
    if (!SaveDocument(m_session.Screens(), *path)) {
        AfxMessageBox(kSaveFailed, MB_OK);
        return SaveResult::failed;
    }
    Retitle(kTitlePrefix + FileTitle(*path));
    m_session.SetModified(false);
    UpdateData(false);
    return SaveResult::written;
}

LRESULT CTessoraDlg::OnFileNew(WPARAM, LPARAM) {
    UpdateData(true);
    if (!PromptSave(MB_ICONEXCLAMATION)) return 0;
    Retitle(std::string(kTitlePrefix) + kUntitled);
    m_session.Replace(CTessoraFile());
    ShowScreen();
    return 0;
}

LRESULT CTessoraDlg::OnFileOpen(WPARAM, LPARAM) {
    UpdateData(true);
    if (!PromptSave(MB_ICONSTOP)) return 0;
    const std::optional<std::string> path = RunFileDialog(FileDialogKind::Open, this);
    if (path) OpenFile(*path);
    return 0;
}

LRESULT CTessoraDlg::OnOpenStartFile(WPARAM, LPARAM) {
    if (!m_strStartFile) return 0;
    const std::string path = std::move(*m_strStartFile);
    m_strStartFile.reset();
    OpenFile(path);
    return 0;
}

void CTessoraDlg::OpenFile(const std::string& path) {
    // The loader replaces the screens only once the whole file is read, so a failure part-way
    // (an exception for the dispatch) leaves every screen as it was.
    std::string reason;
    CTessoraFile screens = m_session.Screens();
    if (!LoadDocument(path, screens, nullptr, &reason)) {
        AfxMessageBox(kOpenFailed, MB_OK, reason);
        return;
    }
    const ScreenRepairs repairs = TidyScreens(screens);
    Retitle(kTitlePrefix + FileTitle(path));
    m_session.Replace(std::move(screens));
    ShowScreen();
    if (repairs.controls != 0) OnControlCharactersDropped();
}

void CTessoraDlg::OnControlCharactersDropped() {
    // Posted: the command that read the text puts its own text on the message line first.
    QTimer::singleShot(0, this, [this] { m_session.ShowNotice(std::string(kControlsLeftOut)); });
}

LRESULT CTessoraDlg::OnToggleMonitor(WPARAM, LPARAM) {
    m_monitor.Show(!m_monitor.Shown());
    return 0;
}

LRESULT CTessoraDlg::OnFileSave(WPARAM, LPARAM) {
    Save();
    return 0;
}

void CTessoraDlg::Retitle(const std::string& title) {
    SetWindowText(title);
    m_session.SetTitle(windowTitle().toStdString());
}
