// The main window's side of the line to the caption unit: the clock's ticks, the port box,
// and Setup's change of port. The session connects, greets and follows the line.
#include <chrono>
#include <cstdio>
#include <utility>

#include "MessageBox.h"
#include "Messages.h"
#include "PortReason.h"
#include "SettingsStore.h"
#include "Stamps.h"
#include "TessoraDlg.h"

namespace {

constexpr char kOpenPortFailed[] = "Could not open port - please check settings!";

}  // namespace

void CTessoraDlg::Connect(bool greetWhenBack) {
    switch (m_session.Connect(greetWhenBack)) {
        case CCaptionSession::LineStart::Live:
            break;
        case CCaptionSession::LineStart::Lost:
            SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
            return;
        case CCaptionSession::LineStart::NotOpen: {
            // The port the operator chose does not open: the box says so, the message line
            // goes on saying so, and nothing tries it again until Setup.
            CPort& port = *m_session.Port();
            std::u16string name;
            port.GetPortName(&name);
            const std::string detail =
                DescribePortFailure(port.DevicePath(), port.LastError(), SettingsStore::FileName());
            std::fprintf(stderr, "tessora: could not open %s: %s\n",
                         QString::fromStdU16String(name).toStdString().c_str(), detail.c_str());
            AfxMessageBox(kOpenPortFailed, MB_OK, detail);
            return;
        }
    }
    SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
}

void CTessoraDlg::ResumeLine(bool greetWhenBack) {
    m_session.Resume(greetWhenBack);
    SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
}

LRESULT CTessoraDlg::OnSetup(WPARAM, LPARAM) {
    // Nothing else may write to the port while the operator switches it.
    KillTimer(IDT_STAMP);
    const bool lineLost = m_session.NoticeLost();
    std::u16string before;
    m_session.Port()->GetPortName(&before);
    SetupBackupHook backup{[this] { return m_session.BackupName(); },
                           [this] { return m_session.Backup(); },
                           [this] { return m_session.State().backup.refusal; },
                           [this](const std::u16string& name) {
                               if (m_portResolver) m_session.UseBackup(name, *m_portResolver);
                           }};
    auto dlg = std::make_unique<CSetupDlg>(m_session.Port(), this, std::move(backup));
    // OK and the close box lead on alike: the port chosen last is the one to greet.
    dlg->DoModal();
    dlg.reset();
    std::u16string after;
    m_session.Port()->GetPortName(&after);
    // The lost line, left as it was or chosen again, is tried on once a second; when it is
    // back the unit gets the clock alone, as if Setup had not been opened.
    if (lineLost && after == before) {
        ResumeLine(false);
        return 0;
    }
    m_session.ForgetLost();
    Connect(after != before);
    return 0;
}
void CTessoraDlg::OnTimer(unsigned id) {
    if (id == IDT_CLOCK) {
        m_clock.Read();
        return;
    }
    m_session.Tick();
    // One tick a second, each just after the second turns (see MsUntilNextStampTick).
    if (HasTimer(IDT_STAMP))
        SetTimer(IDT_STAMP, MsUntilNextStampTick(std::chrono::system_clock::now()));
}
