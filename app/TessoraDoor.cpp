// The main window's door: the commands, state and change notices the rest of the program
// reaches it by. Each command runs through the window's own handlers, as the page's do.
#include <QString>

#include "Cp1252.h"
#include "LineEnds.h"
#include "Messages.h"
#include "ScreenWrites.h"
#include "TessoraDlg.h"

bool CTessoraDlg::Busy() const {
    // The file dialog, a message box and Setup each run a nested loop; so does the close's
    // save prompt, after which the port is gone.
    return IsUnderModal() || !m_pPort;
}

WriteOrigin CTessoraDlg::OriginOf(LPARAM lParam) const {
    const auto origin = static_cast<WriteOrigin>(lParam);
    return origin == WriteOrigin::Page && m_bMiniMode ? WriteOrigin::Strip : origin;
}

void CTessoraDlg::SelectScreen(int screen, WriteOrigin origin) {
    // Screens are 2 to 5 in the window's messages, as the page's tabs post them.
    SendMessage(UWM_SELECT_SCREEN, static_cast<WPARAM>(screen + 1), static_cast<LPARAM>(origin));
    MonitorNeedsRefresh(true);
}

void CTessoraDlg::Send(WriteOrigin origin) {
    SendMessage(UWM_SEND, 0, static_cast<LPARAM>(origin));
    MonitorNeedsRefresh(true);
}

void CTessoraDlg::SendCue(int cue) {
    // The cue's number rides in the message's wParam, which the page's Send leaves 0.
    SendMessage(UWM_SEND, static_cast<WPARAM>(cue), static_cast<LPARAM>(WriteOrigin::Cue));
    MonitorNeedsRefresh(true);
}

void CTessoraDlg::Clear(WriteOrigin origin) {
    SendMessage(UWM_CLEAR, 0, static_cast<LPARAM>(origin));
    MonitorNeedsRefresh(true);
}

void CTessoraDlg::ShowNotice(const std::string& text) {
    // It gives way to a line that is down and to the last Send's own word, and stays until
    // the next notice or the line coming back.
    m_line.ShowNotice(text);
}

void CTessoraDlg::DropNotice(const std::string& text) {
    // A notice that has been followed by another stays gone; the line's state and a Send's
    // word rank above it anyway.
    m_line.DropNotice(text);
}

void CTessoraDlg::PutScreen(int screen, const ScreenChange& change, WriteOrigin origin) {
    // What the operator typed last is taken first, so it is not written over unseen.
    UpdateData(true);
    const int index = screen - 1;
    bool changed = false;
    bool cornerChanged = false;
    if (change.text) {
        // New lines end as the text's own do, as if typed into the text box.
        std::string text = KeepLineEnds(m_doc.Text(index), *change.text);
        if (text != m_doc.Text(index)) {
            m_doc.Text(index) = std::move(text);
            changed = true;
        }
    }
    for (auto [value, field] : {std::pair{change.dateCorner, &m_doc.DateCorner(index)},
                                std::pair{change.timeCorner, &m_doc.TimeCorner(index)}}) {
        if (value && *value != *field) {
            *field = *value;
            changed = cornerChanged = true;
        }
    }
    if (!changed) return;
    // A cue played is no change to save: the file still holds what it held. Text typed into
    // the cue screen by hand is the cue list's to guard before it writes over it.
    if (origin != WriteOrigin::Cue) m_bDirty = true;
    UpdateData(false);
    // The page's corner lists resend the current screen when they change; so does this. A
    // cue's own Send follows at once.
    if (m_nScreen == screen + 1 && cornerChanged && origin != WriteOrigin::Cue)
        SendMessage(UWM_STAMP_CHANGED, 0, static_cast<LPARAM>(origin));
    // A change that did not come from the page raises no page event for the monitor.
    MonitorNeedsRefresh(true);
}

WindowState CTessoraDlg::State() {
    WindowState state;
    if (m_pPort) {
        std::u16string name;
        m_pPort->GetPortName(&name);
        state.port = QString::fromStdU16String(name).toStdString();
        state.device = m_pPort->DevicePath();
        state.live = m_pPort->State() == CPort::LineState::Live;
        state.lost = !state.live && m_line.Lost();
        state.lineText = m_line.Text();
        std::error_code reason = state.live ? std::error_code() : m_pPort->LineReason();
        if (!state.live && !reason) reason = m_pPort->LastError();
        if (reason) state.lineReason = reason.message();
    }
    state.screen = m_nScreen - 1;
    state.title = windowTitle().toStdString();
    state.message = m_strMessage;
    state.clockSynchronised = m_clock.State() != ClockSync::NotSynchronised;
    state.clockKnown = m_clock.State() != ClockSync::Unknown;
    // The page is read as Send reads it, into copies: a look leaves every field alone.
    CDataExchange read{true};
    std::string dirty = m_bDirty ? "dirty" : "";
    DDX_DHtml_ElementText(&read, QStringLiteral("divDirty"), DISPID_IHTMLELEMENT_INNERTEXT, dirty);
    state.modified = !dirty.empty();
    for (int index = 0; index < CTessoraFile::kScreenCount; ++index) {
        ScreenContent& screen = state.screens[static_cast<std::size_t>(index)];
        screen = {m_doc.Text(index), m_doc.DateCorner(index), m_doc.TimeCorner(index)};
        if (index + 2 == m_nScreen)
            PeekCurrentScreen(screen.text, screen.dateCorner, screen.timeCorner);
    }
    return state;
}

const CCaptionDisplay& CTessoraDlg::UnitDisplay() {
    return m_unit.Display();
}

SendPreview CTessoraDlg::PreviewNextSend() {
    if (m_nScreen < 2 || m_nScreen > 5) return PreviewSend("", 0, 0, std::time(nullptr));
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

int CTessoraDlg::ListenForChanges(std::function<void()> listener) {
    m_changeListeners.emplace(m_nextListenerKey, std::move(listener));
    return m_nextListenerKey++;
}

void CTessoraDlg::StopListening(int key) {
    m_changeListeners.erase(key);
}
