#pragma once

#include <memory>

#include "RemoteServer.h"

class CTessoraDlg;

// The main window's side of the local HTTP interface: each request runs through the window's
// own message handlers, on the window's thread, as the page's events do.
class CRemoteControl : public remote::RemoteTarget {
public:
    // Listens when the settings group Remote gives a port. Nothing when it gives none; when
    // the port cannot be used, one line on standard error says why and the program runs on.
    static std::unique_ptr<CRemoteControl> FromSettings(CTessoraDlg& dlg);

    explicit CRemoteControl(CTessoraDlg& dlg) : m_dlg(dlg) {}
    ~CRemoteControl() override;

    bool Busy() const override;
    void Run(const remote::Request& request) override;
    remote::Status CurrentStatus() override;

private:
    void PutScreen(int screen, const remote::ScreenEdit& edit);

    CTessoraDlg& m_dlg;
    std::unique_ptr<remote::RemoteServer> m_server;
};
