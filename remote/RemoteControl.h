#pragma once

#include "CueDeck.h"
#include "EventFeed.h"
#include "RemoteServer.h"
#include "WindowDoor.h"

namespace remote {

// The interface's requests as the window's own commands, through its door: each runs on
// the window's thread, as the page's events do, and is recorded as the remote's.
class RemoteControl : public RemoteTarget {
public:
    explicit RemoteControl(CWindowDoor& door) : m_door(door), m_feed(door) {}

    bool Busy() const override { return m_door.Busy(); }
    std::optional<Refusal> Run(const Request& request) override;
    Status CurrentStatus() override;
    void Push(PushSink sink) override;
    std::variant<std::string, Refusal> RunCues(const Request& request) override;
    // The cue list the interface plays and tells of; none until it is given.
    void ServeCues(CueDeck* deck);

private:
    CWindowDoor& m_door;
    EventFeed m_feed;
    CueDeck* m_cues = nullptr;
};

}  // namespace remote
