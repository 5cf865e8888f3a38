// The main window's line to the caption unit: connecting and greeting, the clock's ticks,
// the lost line tried again, and Setup's change of port.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "Commands.h"
#include "MessageBox.h"
#include "Messages.h"
#include "PortReason.h"
#include "SettingsStore.h"
#include "Stamps.h"
#include "TessoraDlg.h"

namespace {

constexpr char kOpenPortFailed[] = "Could not open port - please check settings!";
constexpr auto kGreetingPause = std::chrono::milliseconds(1500);

}  // namespace

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
            // The port the operator chose does not open: the box says so, the message line
            // goes on saying so, and nothing tries it again until Setup.
            m_line.Refresh();
            std::u16string name;
            m_pPort->GetPortName(&name);
            const std::string detail = DescribePortFailure(
                m_pPort->DevicePath(), m_pPort->LastError(), SettingsStore::FileName());
            std::fprintf(stderr, "tessora: could not open %s: %s\n",
                         QString::fromStdU16String(name).toStdString().c_str(), detail.c_str());
            AfxMessageBox(kOpenPortFailed, MB_OK, detail);
            return;
        }
    }
    m_line.Refresh();
    Greet();
    SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
}

void CTessoraDlg::Greet() {
    UnitWrite write;
    write.kind = WriteKind::Greeting;
    write.origin = WriteOrigin::Program;
    m_unit.Write(write, {kGreeting});
    // A plain pause: the greeting stays on the picture while nothing else is sent.
    std::this_thread::sleep_for(kGreetingPause);
    write.kind = WriteKind::Clear;
    m_unit.Write(write, {kClearCommand});
}

void CTessoraDlg::ResumeLine(bool greetWhenBack) {
    m_line.Resume(greetWhenBack);
    SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
}

LRESULT CTessoraDlg::OnSetup(WPARAM, LPARAM) {
    // Nothing else may write to the port while the operator switches it.
    KillTimer(IDT_STAMP);
    const bool lineLost = m_line.NoticeLost();
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
    m_line.Forget();
    Connect(after != before);
    return 0;
}
bool CTessoraDlg::SendString(std::string_view text) {
    return m_unit.Send(text);
}

void CTessoraDlg::SendStamps() {
    const int screen = m_nScreen - 2;
    // localtime_r keeps the zone it first read; the operator may change it while the program
    // runs. tzset looks again (the zone file only when it changed).
    tzset();
    const StampCommands stamps =
        ComposeStamps(m_doc.GetDateCorner(screen), m_doc.GetTimeCorner(screen), std::time(nullptr));
    UnitWrite tick;
    tick.kind = WriteKind::Tick;
    tick.origin = WriteOrigin::Program;
    tick.screen = m_nScreen - 1;
    m_unit.Write(tick, {stamps.date, stamps.time});
}

void CTessoraDlg::OnTimer(unsigned id) {
    if (id == IDT_CLOCK) {
        m_clock.Read();
        return;
    }
    m_unit.FoldSent();
    m_line.Watch();
    SendStamps();
    // The stamps of the next Send read the new second.
    MonitorNeedsRefresh(true);
    // One tick a second, each just after the second turns (see MsUntilNextStampTick).
    if (HasTimer(IDT_STAMP))
        SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
}
