#pragma once

#include "CaptionCommands.h"
#include "CueDeck.h"
#include "EventFeed.h"
#include "RemoteServer.h"

namespace remote {

// The interface's requests as the caption session's commands: each runs on the session's
// thread, as the page's events do, and is recorded as the remote's.
class RemoteControl : public RemoteTarget {
public:
    explicit RemoteControl(CaptionCommands& session) : m_session(session), m_feed(session) {}

    bool Busy() const override { return m_session.Busy(); }
    std::optional<Refusal> Run(const Request& request) override;
    Status CurrentStatus() override;
    void Push(PushSink sink) override;
    std::variant<std::string, Refusal> RunCues(const Request& request) override;
    // The cue list the interface plays and tells of; none until it is given.
    void ServeCues(CueDeck* deck);

private:
    CaptionCommands& m_session;
    EventFeed m_feed;
    CueDeck* m_cues = nullptr;
};

}  // namespace remote
