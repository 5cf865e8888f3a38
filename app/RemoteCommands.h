#pragma once

#include <memory>

#include "CaptionCommands.h"
#include "RemoteControl.h"
#include "RemoteServer.h"

// The local HTTP interface as the settings set it up: its requests are the caption
// session's commands, as the window's own are.
class CRemoteControl {
public:
    // Listens when the settings group Remote gives a port. Nothing when it gives none; when
    // the port cannot be used, one line on standard error says why and the program runs on.
    static std::unique_ptr<CRemoteControl> FromSettings(CaptionCommands& session);

    explicit CRemoteControl(CaptionCommands& session) : m_control(session) {}
    ~CRemoteControl();

    // The cue list the interface plays from now on.
    void ServeCues(CueDeck& deck) { m_control.ServeCues(&deck); }

private:
    remote::RemoteControl m_control;
    std::unique_ptr<remote::RemoteServer> m_server;
};
