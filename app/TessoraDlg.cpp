#include "TessoraDlg.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <thread>
#include <utility>

#include "Commands.h"
#include "Cp1252.h"
#include "DialogTemplate.h"
#include "DocumentFile.h"
#include "Exceptions.h"
#include "FileDialog.h"
#include "LineEnds.h"
#include "MessageBox.h"
#include "Messages.h"
#include "OperatorKeys.h"
#include "PortReason.h"
#include "RemoteCommands.h"
#include "ScreenPlace.h"
#include "ScreenWrites.h"
#include "SettingsStore.h"
#include "Stamps.h"
#include "TextLayout.h"

namespace {

constexpr char kOpenPortFailed[] = "Could not open port - please check settings!";
constexpr char kPortObjectFailed[] = "CPort failed to initialize";
constexpr char kSettingsMisread[] = "Some settings could not be read - please check settings!";
constexpr char kMisreadSettings[] =
    " Until the file is mended, a port that [Ports] does not map opens no device (not "
    "/dev/ttyS<n>). The file as it was is kept in ";
constexpr std::size_t kMaxPortNameBytes = 255;
constexpr auto kGreetingPause = std::chrono::milliseconds(1500);
constexpr char kLineLost[] = "Line lost: ";
constexpr char kLineBack[] = "Line back: ";
constexpr int kLineBackTicks = 3;

constexpr char kSavePrompt[] = "Save changes to the current file?";
constexpr char kSaveFailed[] = "Could not save to file!";
constexpr char kOpenFailed[] = "Could not open file!";
constexpr char kTitlePrefix[] = "Halvercrest Pexalune - ";
constexpr char kUntitled[] = "untitled";

constexpr char kLineNotOpen[] = "Not connected: ";
constexpr auto kMonitorFrame = std::chrono::milliseconds(33);
// A window manager's frame: a title bar and thin borders, generous rather than tight.
const QMargins kAssumedFrame(4, 40, 4, 4);
constexpr std::int32_t kFarOff = 1 << 24;

constexpr char kSelectedTab[] = "#666699";
constexpr char kPlainTab[] = "#333399";

// The operator's mapping of port names to devices, looked up by the exact name; a name it
// does not map opens the device unmapped gives it, or none when there is no unmapped.
PortDeviceResolver PortDevices(std::vector<std::pair<std::u16string, std::string>> mapping,
                               PortDeviceResolver unmapped) {
    return
        [mapping = std::move(mapping), unmapped = std::move(unmapped)](const std::u16string& name) {
            for (const auto& [mapped, device] : mapping)
                if (mapped == name && !device.empty()) return device;
            return unmapped ? unmapped(name) : std::string();
        };
}

bool IsScreen(std::int32_t screen) {
    return screen >= 2 && screen <= 5;
}

}  // namespace

CTessoraDlg::CTessoraDlg(QWidget* parent)
    : CDHtmlDialog(IDD_TESSORA_DIALOG, IDR_HTML_TESSORA, parent) {
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
}

CTessoraDlg::~CTessoraDlg() = default;

void CTessoraDlg::ShowMonitor(bool show) {
    m_bMonitorOpen = show;
    if (!show) {
        if (m_pMonitor) {
            m_monitorPos = m_pMonitor->geometry().topLeft();
            m_pMonitor->hide();
        }
        return;
    }
    if (!m_pMonitor) {
        m_pMonitor = std::make_unique<CMonitorWnd>(this);
        m_pMonitor->onClosed = [this] { ShowMonitor(false); };
        RECT main;
        GetWindowRect(&main);
        const QRect inner = geometry();
        QRect outer(main.left, main.top, main.right - main.left, main.bottom - main.top);
        // A window just shown may not be framed yet: a frame as large as most is assumed.
        if (outer == inner) outer = inner.marginsAdded(kAssumedFrame);
        // The monitor's frame will be the window manager's, as the main window's is.
        const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                             outer.right() - inner.right(), outer.bottom() - inner.bottom());
        // The strip stays where the operator put it; the full window may step aside.
        if (const std::optional<QPoint> aside =
                m_pMonitor->PlaceBeside(outer, frame, m_monitorPos, !m_bMiniMode))
            MoveWindow(main.left + aside->x() - outer.left(), main.top + aside->y() - outer.top(),
                       main.right - main.left, main.bottom - main.top, true);
    }
    m_bNextSendStale = true;
    RefreshMonitor();
    m_pMonitor->show();
}

void CTessoraDlg::MonitorNeedsRefresh(bool nextSendChanged) {
    m_bNextSendStale |= nextSendChanged;
    if (nextSendChanged) {
        // A listener may stop listening while it is told.
        const auto listeners = m_changeListeners;
        for (const auto& [key, listener] : listeners) listener();
    }
    if (!m_pMonitor || !m_pMonitor->isVisible() || m_monitorRefresh.isActive()) return;
    m_monitorRefresh.start();
}

void CTessoraDlg::RefreshMonitor() {
    if (!m_pMonitor) return;
    // Bytes still queued now are followed out frame by frame; the last frame folds the rest.
    const bool bytesToGo = m_pPort && m_pPort->QueuedBytes() > 0;
    FoldSentBytes();
    if (m_bNextSendStale) {
        m_bNextSendStale = false;
        m_pMonitor->ShowNextSend(PreviewNextSend());
    }
    m_pMonitor->ShowUnit(m_unitDisplay, LineText());
    if (bytesToGo && m_pMonitor->isVisible()) m_monitorRefresh.start();
}

std::string CTessoraDlg::LineText() const {
    if (!m_pPort) return {};
    switch (m_pPort->State()) {
        case CPort::LineState::Live:
            return {};
        case CPort::LineState::Lost:
            return kLineLost + m_pPort->DevicePath();
        case CPort::LineState::Closed:
            if (m_bLineLost) return kLineLost + m_pPort->DevicePath();
            break;
    }
    std::u16string name;
    m_pPort->GetPortName(&name);
    return kLineNotOpen + Cp1252FromUtf16(name);
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

    // The operator's port mapping is read once, at start, like the rest of the settings. A
    // file not read as written may have lost a port's mapping with the lines misread: a port
    // it does not map then opens nothing, rather than a device guessed from its name.
    const std::optional<std::string> misread = SettingsStore::CheckFile();
    m_pPort.reset(new (std::nothrow) CPort(
        PortDevices(SettingsStore().ReadPaths("Ports"), misread ? nullptr : m_unmappedPortDevice)));
    if (!m_pPort) {
        AfxMessageBox(kPortObjectFailed, MB_OK);
        std::exit(1);
    }
    if (misread) {
        const std::string detail =
            *misread + kMisreadSettings + SettingsStore::FileName() + ".bak.";
        std::fprintf(stderr, "tessora: settings: %s\n", detail.c_str());
        AfxMessageBox(kSettingsMisread, MB_OK, detail);
    }
    // The unit's display is followed from the bytes the line really took.
    m_pPort->KeepSentBytes(true);
    m_monitorRefresh.setSingleShot(true);
    m_monitorRefresh.setInterval(kMonitorFrame);
    connect(&m_monitorRefresh, &QTimer::timeout, this, [this] { RefreshMonitor(); });
    connect(this, &CDHtmlDialog::elementChanged, this, [this] { MonitorNeedsRefresh(true); });
    connect(this, &CDHtmlDialog::commandDone, this, [this] { MonitorNeedsRefresh(true); });
    connect(this, &CDHtmlDialog::pageReady, this, [this] { MonitorNeedsRefresh(true); });
    // Open with the window, not before it: over nothing it would look like the program.
    const bool monitorAsked = m_bMonitorOpen;
    LoadSettings();
    if (monitorAsked || m_bMonitorOpen)
        connect(
            this, &CDHtmlDialog::pageReady, this, [this] { ShowMonitor(true); },
            Qt::SingleShotConnection);
    // Up before the port box, which it answers as busy like any other box.
    m_pRemote = CRemoteControl::FromSettings(*this);
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

void CTessoraDlg::LoadSettings() {
    const SettingsStore store;
    const std::optional<std::string> port = store.ReadText("CommPort", kMaxPortNameBytes);
    for (auto [name, field] : {std::pair{"MinPosX", &m_nMinPosX}, std::pair{"MinPosY", &m_nMinPosY},
                               std::pair{"MinSizeWidth", &m_nMinSizeWidth},
                               std::pair{"MinSizeHeight", &m_nMinSizeHeight}}) {
        if (const std::optional<std::int32_t> value = store.ReadInt32(name)) *field = *value;
    }
    if (const std::optional<std::int32_t> open = store.ReadInt32("Monitor/Open"))
        m_bMonitorOpen = *open != 0;
    const std::optional<std::int32_t> x = store.ReadInt32("Monitor/X");
    const std::optional<std::int32_t> y = store.ReadInt32("Monitor/Y");
    if (x && y) m_monitorPos = QPoint(*x, *y);
    if (port && port->rfind("COM", 0) == 0) {
        const std::u16string wide = Utf16FromCp1252(*port);
        m_pPort->SetPort(wide.c_str());
    }
}

void CTessoraDlg::SaveSettings() {
    if (!m_pPort) return;
    std::u16string name;
    m_pPort->GetPortName(&name);
    SettingsStore store;
    store.WriteText("CommPort", Cp1252FromUtf16(name));
    store.WriteInt32("MinPosX", m_nMinPosX);
    store.WriteInt32("MinPosY", m_nMinPosY);
    store.WriteInt32("MinSizeWidth", m_nMinSizeWidth);
    store.WriteInt32("MinSizeHeight", m_nMinSizeHeight);
    if (m_pMonitor && m_pMonitor->isVisible()) m_monitorPos = m_pMonitor->geometry().topLeft();
    store.WriteInt32("Monitor/Open", m_bMonitorOpen ? 1 : 0);
    if (m_monitorPos) {
        store.WriteInt32("Monitor/X", m_monitorPos->x());
        store.WriteInt32("Monitor/Y", m_monitorPos->y());
    }
}

void CTessoraDlg::Connect(bool greetWhenBack) {
    // A line lost while Setup was open is tried again now, not a tick later.
    if (m_pPort->State() == CPort::LineState::Lost) m_pPort->Reconnect();
    switch (m_pPort->State()) {
        case CPort::LineState::Live:
            break;
        case CPort::LineState::Lost:
            ResumeLine(greetWhenBack);
            return;
        case CPort::LineState::Closed: {
            // The port the operator chose does not open: the box says so, and nothing tries
            // it again until Setup.
            ShowLineMessage("");
            std::u16string name;
            m_pPort->GetPortName(&name);
            const std::string detail = DescribePortFailure(
                m_pPort->DevicePath(), m_pPort->LastError(), SettingsStore::FileName());
            std::fprintf(stderr, "tessora: could not open %s: %s\n", Cp1252FromUtf16(name).c_str(),
                         detail.c_str());
            AfxMessageBox(kOpenPortFailed, MB_OK, detail);
            return;
        }
    }
    ShowLineMessage("");
    Greet();
    SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
}

void CTessoraDlg::Greet() {
    UnitWrite write;
    write.kind = WriteKind::Greeting;
    write.origin = WriteOrigin::Program;
    WriteToUnit(write, {kGreeting});
    // A plain pause: the greeting stays on the picture while nothing else is sent.
    std::this_thread::sleep_for(kGreetingPause);
    write.kind = WriteKind::Clear;
    WriteToUnit(write, {kClearCommand});
}

void CTessoraDlg::ResumeLine(bool greetWhenBack) {
    m_bGreetWhenBack = greetWhenBack;
    // A lost line chosen again in Setup and not found there is closed, but still the line
    // that was lost.
    NoticeLostLine();
    m_bLineLost = true;
    WatchLine();
    SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
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
        MoveWindow(m_nMinPosX, m_nMinPosY, m_nMinSizeWidth, m_nMinSizeHeight, true);
        // A stored place off every screen (another display set-up, a hand-edited value) would
        // hide the strip and its restore text: it shows on the nearest screen instead, and
        // the stored place stays as it is. Far beyond any screen is all the same.
        const QPoint stored(std::clamp(m_nMinPosX, -kFarOff, kFarOff),
                            std::clamp(m_nMinPosY, -kFarOff, kFarOff));
        m_ptStripShown = OnTheScreens(stored, frameSize());
        if (m_ptStripShown != stored)
            MoveWindow(m_ptStripShown.x(), m_ptStripShown.y(), m_nMinSizeWidth, m_nMinSizeHeight,
                       true);
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

bool CTessoraDlg::SendString(std::string_view text) {
    if (!m_pPort) return false;
    // Sent bytes hold their room in the queue until they are taken.
    FoldSentBytes();
    const bool taken = m_pPort->Write(text) == 0;
    MonitorNeedsRefresh(false);
    return taken;
}

void CTessoraDlg::WriteToUnit(UnitWrite write, const std::vector<std::string_view>& pieces) {
    write.taken = true;
    for (const std::string_view piece : pieces) {
        write.bytes += piece;
        write.taken = SendString(piece) && write.taken;
    }
    write.time = std::chrono::system_clock::now();
    m_onAir.Record(write);
}

bool CTessoraDlg::FoldSentBytes() {
    if (!m_pPort) return false;
    m_strSentScratch.clear();
    m_pPort->TakeSent(m_strSentScratch);
    m_unitDisplay.Feed(m_strSentScratch);
    return !m_strSentScratch.empty();
}

SendPreview CTessoraDlg::PreviewNextSend() {
    if (!IsScreen(m_nScreen)) return PreviewSend("", 0, 0, std::time(nullptr));
    std::string text;
    std::int32_t dateCorner = 0;
    std::int32_t timeCorner = 0;
    PeekCurrentScreen(text, dateCorner, timeCorner);
    return PreviewSend(text, dateCorner, timeCorner, std::time(nullptr));
}

void CTessoraDlg::PeekCurrentScreen(std::string& text, std::int32_t& dateCorner,
                                    std::int32_t& timeCorner) {
    const int screen = m_nScreen - 2;
    text = m_doc.Text(screen);
    dateCorner = m_doc.DateCorner(screen);
    timeCorner = m_doc.TimeCorner(screen);
    // Typing reaches the page before the document: read the page as Send will, leaving the
    // fields alone.
    CDataExchange read{true};
    if (HasElement(QStringLiteral("scrText"))) {
        std::string boxed;
        DDX_DHtml_ElementText(&read, QStringLiteral("scrText"), DISPID_A_VALUE, boxed);
        text = KeepLineEnds(m_strShownText, boxed);
    }
    DDX_DHtml_SelectIndex(&read, QStringLiteral("cmbDate"), dateCorner);
    DDX_DHtml_SelectIndex(&read, QStringLiteral("cmbTime"), timeCorner);
}

void CTessoraDlg::SendStamps() {
    const int screen = m_nScreen - 2;
    const StampCommands stamps =
        ComposeStamps(m_doc.GetDateCorner(screen), m_doc.GetTimeCorner(screen), std::time(nullptr));
    UnitWrite tick;
    tick.kind = WriteKind::Tick;
    tick.origin = WriteOrigin::Program;
    tick.screen = m_nScreen - 1;
    WriteToUnit(tick, {stamps.date, stamps.time});
}

void CTessoraDlg::ComposeText(const TextLayout& layout) {
    m_strMessage = layout.tooLong ? kTooLongWarning : "";
    ShowScreen();
}

void CTessoraDlg::SendScreen(WriteKind kind, WriteOrigin origin) {
    UpdateData(true);
    const int screen = m_nScreen - 2;
    UnitWrite write;
    write.kind = kind;
    write.origin = origin;
    write.screen = m_nScreen - 1;
    write.text = IsScreen(m_nScreen) ? m_doc.Text(screen) : std::string();
    write.dateCorner = m_doc.GetDateCorner(screen);
    write.timeCorner = m_doc.GetTimeCorner(screen);
    const ScreenWrites send =
        ComposeSend(write.text, write.dateCorner, write.timeCorner, std::time(nullptr));
    ComposeText(send.layout);
    WriteToUnit(std::move(write), send.Writes());
}

LRESULT CTessoraDlg::OnSend(WPARAM, LPARAM lParam) {
    SendScreen(WriteKind::Send, OriginOf(lParam));
    return 0;
}

LRESULT CTessoraDlg::OnClear(WPARAM, LPARAM lParam) {
    const int screen = m_nScreen - 2;
    UnitWrite clear;
    clear.kind = WriteKind::Clear;
    clear.origin = OriginOf(lParam);
    clear.screen = m_nScreen - 1;
    WriteToUnit(clear, ComposeClear(m_doc.GetDateCorner(screen), m_doc.GetTimeCorner(screen),
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

bool CTessoraDlg::NoticeLostLine() {
    if (!m_bLineLost && m_pPort->State() == CPort::LineState::Lost) {
        m_bLineLost = true;
        const std::string& device = m_pPort->DevicePath();
        std::fprintf(stderr, "tessora: line lost: %s\n", device.c_str());
        AnnounceToDrivers(QStringLiteral("line lost ") + QString::fromStdString(device));
    }
    return m_bLineLost;
}

void CTessoraDlg::WatchLine() {
    if (!m_pPort) return;
    if (!NoticeLostLine()) {
        if (m_nLineBackTicks > 0 && --m_nLineBackTicks == 0) ShowLineMessage("");
        return;
    }
    // The device opens without waiting on anything: a replugged adapter is back at once.
    // Open gives a lost line its device again, and a closed one its name.
    if (m_pPort->State() != CPort::LineState::Live && m_pPort->Open() != 0) {
        ShowLineMessage(kLineLost + m_pPort->DevicePath());
        return;
    }
    const std::string& device = m_pPort->DevicePath();
    m_bLineLost = false;
    m_nLineBackTicks = kLineBackTicks;
    std::fprintf(stderr, "tessora: line back: %s\n", device.c_str());
    AnnounceToDrivers(QStringLiteral("line back ") + QString::fromStdString(device));
    ShowLineMessage(kLineBack + device);
    // The unit still shows what it had: only a port it was never greeted on is greeted.
    if (std::exchange(m_bGreetWhenBack, false)) Greet();
}

void CTessoraDlg::ShowLineMessage(const std::string& text) {
    // The too-long warning is the send's to set and clear; the line's texts only fill an
    // empty line or replace their own.
    if (!m_strMessage.empty() && m_strMessage != m_strLineMessage) {
        m_strLineMessage.clear();
        return;
    }
    m_strLineMessage = text;
    if (m_strMessage == text) return;
    m_strMessage = text;
    SetElementText(QStringLiteral("divMessage"), m_strMessage);
}

void CTessoraDlg::OnTimer(unsigned) {
    FoldSentBytes();
    WatchLine();
    SendStamps();
    // The stamps of the next Send read the new second.
    MonitorNeedsRefresh(true);
    // One tick a second, each just after the second turns (see MsUntilNextStampTick).
    if (HasTimer(IDT_STAMP))
        SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
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
    SetWindowText(kTitlePrefix + FileTitle(path));
    m_bDirty = false;
    m_nScreen = 2;
    ShowScreen();
}

LRESULT CTessoraDlg::OnToggleMonitor(WPARAM, LPARAM) {
    ShowMonitor(!(m_pMonitor && m_pMonitor->isVisible()));
    return 0;
}

LRESULT CTessoraDlg::OnFileSave(WPARAM, LPARAM) {
    Save();
    return 0;
}
LRESULT CTessoraDlg::OnSetup(WPARAM, LPARAM) {
    // Nothing else may write to the port while the operator switches it.
    KillTimer(IDT_STAMP);
    const bool lineLost = NoticeLostLine();
    std::u16string before;
    m_pPort->GetPortName(&before);
    auto dlg = std::make_unique<CSetupDlg>(m_pPort.get(), this);
    // OK and the close box lead on alike: the port chosen last is the one to greet.
    dlg->DoModal();
    dlg.reset();
    std::u16string after;
    m_pPort->GetPortName(&after);
    // The lost line, left as it was or chosen again, is tried on once a second; when it is
    // back the unit gets the clock alone, as if Setup had not been opened.
    if (lineLost && after == before) {
        ResumeLine(false);
        return 0;
    }
    m_bLineLost = false;
    Connect(after != before);
    return 0;
}
