#pragma once

#include <functional>
#include <optional>
#include <string>

#include "CaptionCommands.h"
#include "CueDeck.h"
#include "RemoteApi.h"

namespace remote {

// What the show does, told as the push channel's messages while someone listens. Heard
// from the caption session: every write to the unit, and every change, which is compared with the
// last look so that only what changed is told. Nothing is looked at while nobody listens.
class EventFeed {
public:
    using Sink = std::function<void(const std::string& message)>;

    explicit EventFeed(CaptionCommands& session) : m_session(session) {}
    ~EventFeed() { Stop(); }
    EventFeed(const EventFeed&) = delete;
    EventFeed& operator=(const EventFeed&) = delete;

    // Tells sink every message from now on; the state it compares with is taken now.
    void Start(Sink sink);
    void Stop();
    // Tells "cue" after each change of this list or its markers, and "automation" when the
    // switch or what fires next changes.
    void WatchCues(CueDeck* deck);

private:
    void Look();
    void ListenToCues();

    CaptionCommands& m_session;
    Sink m_sink;
    std::optional<SessionState> m_last;
    int m_changeKey = 0;
    int m_writeKey = 0;
    CueDeck* m_cues = nullptr;
    int m_cueKey = 0;
    std::optional<AutomationState> m_automation;
};

}  // namespace remote
