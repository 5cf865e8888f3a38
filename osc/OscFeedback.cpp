#include "OscFeedback.h"

#include "Cp1252.h"
#include "CueList.h"

namespace osc {
namespace {

Message IntMessage(std::string address, int value) {
    return {std::move(address), {Int(value)}};
}

Message TextMessage(std::string address, std::string value) {
    return {std::move(address), {Text(std::move(value))}};
}

// The push channel's names for the line's state.
const char* LineStateName(const SessionState& before, const SessionState& after) {
    if (after.live) return before.live || before.port != after.port ? "live" : "back";
    return after.lost ? "lost" : "closed";
}

const char* ClockName(const SessionState& state) {
    return !state.clockKnown         ? "unknown"
           : state.clockSynchronised ? "synchronised"
                                     : "not synchronised";
}

}  // namespace

std::vector<Message> WriteMessages(const UnitWrite& write, const OnAir& now) {
    if (!write.taken || write.kind == WriteKind::Tick) return {};
    std::vector<Message> messages{IntMessage("/tessora/on_air/cleared", now.cleared ? 1 : 0)};
    if (!now.cleared) {
        messages.push_back(IntMessage("/tessora/on_air/screen", now.screen));
        messages.push_back(TextMessage("/tessora/on_air/text", Utf8FromCp1252(now.text)));
    }
    return messages;
}

std::vector<Message> ChangeMessages(const SessionState& before, const SessionState& after) {
    std::vector<Message> messages;
    if (before.live != after.live || before.lost != after.lost || before.port != after.port ||
        before.device != after.device)
        messages.push_back(TextMessage("/tessora/line", LineStateName(before, after)));
    if (before.clockSynchronised != after.clockSynchronised ||
        before.clockKnown != after.clockKnown)
        messages.push_back(TextMessage("/tessora/clock", ClockName(after)));
    return messages;
}

CueMarks MarksOf(const CueDeck& deck) {
    CueMarks marks;
    marks.next = deck.Next();
    marks.onAir = deck.OnAir();
    if (marks.next >= 1 && marks.next <= static_cast<int>(deck.Cues().size()))
        marks.nextText =
            Utf8FromCp1252(std::string(FirstLine(deck.Filled(marks.next).content.text)));
    return marks;
}

std::vector<Message> CueMessages(const std::optional<CueMarks>& before, const CueMarks& after) {
    std::vector<Message> messages;
    if (!before || before->next != after.next)
        messages.push_back(IntMessage("/tessora/cue/next", after.next));
    if (!before || before->nextText != after.nextText)
        messages.push_back(TextMessage("/tessora/cue/next_text", after.nextText));
    if (!before || before->onAir != after.onAir)
        messages.push_back(IntMessage("/tessora/cue/on_air", after.onAir));
    return messages;
}

Feedback::Feedback(CaptionCommands& session, CueDeck* cues, Sink sink)
    : m_session(session), m_cues(cues), m_sink(std::move(sink)), m_last(session.State()) {
    m_changeKey = m_session.ListenStateChanged([this] {
        SessionState now = m_session.State();
        for (const Message& message : ChangeMessages(m_last, now)) m_sink(message);
        m_last = std::move(now);
    });
    m_writeKey = m_session.OnAir().Listen([this](const UnitWrite& write, const OnAir& now) {
        for (const Message& message : WriteMessages(write, now)) m_sink(message);
    });
    if (m_cues) {
        m_lastMarks = MarksOf(*m_cues);
        m_cueKey = m_cues->Listen([this] {
            CueMarks now = MarksOf(*m_cues);
            for (const Message& message : CueMessages(m_lastMarks, now)) m_sink(message);
            m_lastMarks = std::move(now);
        });
    }
}

Feedback::~Feedback() {
    m_session.StopListening(m_changeKey);
    m_session.OnAir().Unlisten(m_writeKey);
    if (m_cues) m_cues->Unlisten(m_cueKey);
}

}  // namespace osc
