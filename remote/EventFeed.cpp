#include "EventFeed.h"

#include "PushMessages.h"

namespace remote {

void EventFeed::Start(Sink sink) {
    m_sink = std::move(sink);
    if (m_changeKey != 0) return;
    m_last = m_session.State();
    m_changeKey = m_session.ListenStateChanged([this] { Look(); });
    m_writeKey = m_session.OnAir().Listen([this](const UnitWrite& write, const OnAir& now) {
        if (const std::optional<std::string> message = WriteMessage(write, now)) m_sink(*message);
    });
    ListenToCues();
}

void EventFeed::WatchCues(CueDeck* deck) {
    if (m_cues && m_cueKey != 0) m_cues->Unlisten(m_cueKey);
    m_cueKey = 0;
    m_cues = deck;
    if (m_changeKey != 0) ListenToCues();
}

void EventFeed::ListenToCues() {
    if (!m_cues) return;
    m_automation = AutomationOf(*m_cues);
    m_cueKey = m_cues->Listen([this] {
        m_sink(CueMessage(*m_cues));
        AutomationState now = AutomationOf(*m_cues);
        if (m_automation && now.SameAs(*m_automation)) return;
        m_automation = now;
        m_sink(AutomationMessageJson(now));
    });
}

void EventFeed::Stop() {
    if (m_changeKey == 0) return;
    m_session.StopListening(m_changeKey);
    m_session.OnAir().Unlisten(m_writeKey);
    if (m_cues && m_cueKey != 0) m_cues->Unlisten(m_cueKey);
    m_changeKey = m_writeKey = m_cueKey = 0;
    m_last.reset();
    m_automation.reset();
    m_sink = nullptr;
}

void EventFeed::Look() {
    SessionState now = m_session.State();
    for (const std::string& message : ChangeMessages(*m_last, now)) m_sink(message);
    m_last = std::move(now);
}

}  // namespace remote
