#include "TessoraDlg.h"

#include <algorithm>
#include <ctime>
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
#include "RemoteCommands.h"
#include "ScreenPlace.h"
#include "ScreenWrites.h"

namespace {

constexpr char kSavePrompt[] = "Save changes to the current file?";
constexpr char kSaveFailed[] = "Could not save to file!";
constexpr char kOpenFailed[] = "Could not open file!";
constexpr char kTitlePrefix[] = "Halvercrest Pexalune - ";
constexpr char kUntitled[] = "untitled";
constexpr char kSendNotMade[] = "Send not made: ";

constexpr std::int32_t kFarOff = 1 << 24;
// The strip's size on first use.
constexpr int kFirstStripWidth = 100;
constexpr int kFirstStripHeight = 50;
constexpr unsigned kClockReadMs = 60 * 1000;

constexpr char kSelectedTab[] = "#666699";
constexpr char kPlainTab[] = "#333399";

bool IsScreen(std::int32_t screen) {
    return screen >= 2 && screen <= 5;
}

// Why a Send did not go to the unit, for the message line (Windows-1252).
std::string SendRefusal(std::error_code why) {
    if (why == std::errc::no_buffer_space)
        return std::string(kSendNotMade) + "the line is still busy with the last one";
    if (why == std::errc::not_connected) return std::string(kSendNotMade) + "the line is down";
    if (why == std::errc::message_size)
        return std::string(kSendNotMade) + "the text is too long for one write to the line";
    return kSendNotMade + ToAnsi(QString::fromStdString(why.message()));
}

}  // namespace

CTessoraDlg::CTessoraDlg(QWidget* parent)
    : CDHtmlDialog(IDD_TESSORA_DIALOG, IDR_HTML_TESSORA, parent),
      m_line(
          m_pPort, m_strMessage,
          [this] { SetElementText(QStringLiteral("divMessage"), m_strMessage); },
          [this] { Greet(); }, [this] { return m_clock.Text(); }),
      m_clock([this] {
          m_line.Refresh();
          MonitorNeedsRefresh(true);
      }),
      m_monitor(*this, *this,
                {[this] { return m_line.Text(); }, [this] { return m_clock.Text(); },
                 [this] { return m_pPort ? m_pPort->QueuedBytes() : std::size_t{0}; },
                 [this] { return m_bMiniMode; }}) {
    m_unit.onQueued = [this] { MonitorNeedsRefresh(false); };
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

void CTessoraDlg::MonitorNeedsRefresh(bool nextSendChanged) {
    if (nextSendChanged) {
        // A listener may stop listening while it is told.
        const auto listeners = m_changeListeners;
        for (const auto& [key, listener] : listeners) listener();
    }
    m_monitor.NeedsRefresh(nextSendChanged);
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

    CreatePort();
    // The unit's display is followed from the bytes the line really took.
    m_pPort->KeepSentBytes(true);
    connect(this, &CDHtmlDialog::elementChanged, this, [this] { MonitorNeedsRefresh(true); });
    connect(this, &CDHtmlDialog::commandDone, this, [this] { MonitorNeedsRefresh(true); });
    connect(this, &CDHtmlDialog::pageReady, this, [this] { MonitorNeedsRefresh(true); });
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
    m_pRemote = CRemoteControl::FromSettings(*this);
    m_pAsRun = AsRunLogFromSettings(*this);
    if (m_pRemote) m_pRemote->ServeCues(m_cues.Deck());
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
    SaveSettings();
    if (m_pPort) m_pPort->Close();
    m_pPort.reset();
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
    CDHtmlDialog::DoDataExchange(pDX);
    if (IsScreen(m_nScreen)) {
        const int screen = m_nScreen - 2;
        std::string& text = m_doc.Text(screen);
        if (pDX->m_bSaveAndValidate && HasElement(QStringLiteral("scrText"))) {
            // The text box holds every line end as LF: lines the operator left alone keep
            // the ones the text had, so an untouched text goes out and is saved as loaded.
            std::string boxed;
            DDX_DHtml_ElementText(pDX, QStringLiteral("scrText"), DISPID_A_VALUE, boxed);
            text = KeepLineEnds(m_strShownText, boxed);
        } else {
            DDX_DHtml_ElementText(pDX, QStringLiteral("scrText"), DISPID_A_VALUE, text);
        }
        m_strShownText = text;
        DDX_DHtml_SelectIndex(pDX, QStringLiteral("cmbDate"), m_doc.DateCorner(screen));
        DDX_DHtml_SelectIndex(pDX, QStringLiteral("cmbTime"), m_doc.TimeCorner(screen));
    }
    std::string dirty = m_bDirty ? "dirty" : "";
    DDX_DHtml_ElementText(pDX, QStringLiteral("divDirty"), DISPID_IHTMLELEMENT_INNERTEXT, dirty);
    m_bDirty = !dirty.empty();
    DDX_DHtml_ElementText(pDX, QStringLiteral("divMessage"), DISPID_IHTMLELEMENT_INNERTEXT,
                          m_strMessage);
}

void CTessoraDlg::ShowScreen() {
    for (int tab = 0; tab < 4; ++tab) {
        SetElementBackgroundColor(QStringLiteral("Screen%1").arg(tab + 1),
                                  QLatin1String(m_nScreen == tab + 2 ? kSelectedTab : kPlainTab));
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
    m_nScreen = static_cast<std::int32_t>(wParam & 0xFFFF);
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

void CTessoraDlg::ComposeText(const TextLayout& layout) {
    // Without the warning, the line's own text, a notice or the clock's is back at once.
    m_line.SetSendText(layout.tooLong ? std::string(kTooLongWarning) : std::string());
    ShowScreen();
}

void CTessoraDlg::SendScreen(WriteKind kind, WriteOrigin origin, int cue) {
    UpdateData(true);
    const int screen = m_nScreen - 2;
    UnitWrite write;
    write.kind = kind;
    write.origin = origin;
    write.screen = m_nScreen - 1;
    write.cue = cue;
    write.text = IsScreen(m_nScreen) ? m_doc.Text(screen) : std::string();
    write.dateCorner = m_doc.GetDateCorner(screen);
    write.timeCorner = m_doc.GetTimeCorner(screen);
    const ScreenWrites send =
        ComposeSend(write.text, write.dateCorner, write.timeCorner, std::time(nullptr));
    ComposeText(send.layout);
    const std::error_code refused = m_unit.Write(std::move(write), send.Writes());
    m_strSendRefusal = refused ? SendRefusal(refused) : std::string();
    // A Send that did not go out says so over its too-long warning: nothing of it is on air.
    if (refused) m_line.SetSendText(m_strSendRefusal);
}

LRESULT CTessoraDlg::OnSend(WPARAM wParam, LPARAM lParam) {
    SendScreen(WriteKind::Send, OriginOf(lParam), static_cast<int>(wParam));
    return 0;
}

LRESULT CTessoraDlg::OnClear(WPARAM, LPARAM lParam) {
    const int screen = m_nScreen - 2;
    UnitWrite clear;
    clear.kind = WriteKind::Clear;
    clear.origin = OriginOf(lParam);
    clear.screen = m_nScreen - 1;
    m_unit.Write(clear, ComposeClear(m_doc.GetDateCorner(screen), m_doc.GetTimeCorner(screen),
                                     std::time(nullptr))
                            .Writes());
    return 0;
}

LRESULT CTessoraDlg::OnStampChanged(WPARAM, LPARAM lParam) {
    m_bDirty = true;
    SendScreen(WriteKind::CornerResend, OriginOf(lParam));
    // The send began by reading the page's marker; a corner change is a change all the same.
    m_bDirty = true;
    UpdateData(false);
    return 0;
}

bool CTessoraDlg::PromptSave(unsigned icon) {
    if (!m_bDirty) return true;
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
    if (!SaveDocument(m_doc, *path)) {
        AfxMessageBox(kSaveFailed, MB_OK);
        return SaveResult::failed;
    }
    SetWindowText(kTitlePrefix + FileTitle(*path));
    m_bDirty = false;
    UpdateData(false);
    return SaveResult::written;
}

LRESULT CTessoraDlg::OnFileNew(WPARAM, LPARAM) {
    UpdateData(true);
    if (!PromptSave(MB_ICONEXCLAMATION)) return 0;
    SetWindowText(std::string(kTitlePrefix) + kUntitled);
    m_nScreen = 2;
    m_bDirty = false;
    m_doc.Reset();
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
    if (!LoadDocument(path, m_doc, nullptr, &reason)) {
        AfxMessageBox(kOpenFailed, MB_OK, reason);
        return;
    }
    const ScreenRepairs repairs = TidyScreens(m_doc);
    SetWindowText(kTitlePrefix + FileTitle(path));
    m_bDirty = false;
    m_nScreen = 2;
    ShowScreen();
    if (repairs.controls != 0) OnControlCharactersDropped();
}

void CTessoraDlg::OnControlCharactersDropped() {
    // Posted: the command that read the text puts its own text on the message line first.
    QTimer::singleShot(0, this, [this] { ShowNotice(std::string(kControlsLeftOut)); });
}

LRESULT CTessoraDlg::OnToggleMonitor(WPARAM, LPARAM) {
    m_monitor.Show(!m_monitor.Shown());
    return 0;
}

LRESULT CTessoraDlg::OnFileSave(WPARAM, LPARAM) {
    Save();
    return 0;
}
