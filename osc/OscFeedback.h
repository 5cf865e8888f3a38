#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CaptionCommands.h"
#include "CueDeck.h"
#include "OscPacket.h"

// What the show does, told as OSC messages under the push channel's names: what went on air
// or was cleared, the line's and the clock's state, the cue list's markers. Heard from the
// caption session and the cue list; each is told only when it changed, never for a tick.
namespace osc {

// A write the unit took: /tessora/on_air/cleared, and for a Send or a corner resend
// /tessora/on_air/screen and /tessora/on_air/text (UTF-8). Nothing for a tick or a write the
// port refused.
std::vector<Message> WriteMessages(const UnitWrite& write, const OnAir& now);

// /tessora/line (live, back, lost or closed) and /tessora/clock, for what changed.
std::vector<Message> ChangeMessages(const SessionState& before, const SessionState& after);

// The cue list's markers and the next cue's first line (UTF-8), for what changed since
// before; everything when there was no before.
struct CueMarks {
    int next = 0;
    std::string nextText;
    int onAir = 0;
    bool operator==(const CueMarks&) const = default;
};
CueMarks MarksOf(const CueDeck& deck);
std::vector<Message> CueMessages(const std::optional<CueMarks>& before, const CueMarks& after);

class Feedback {
public:
    using Sink = std::function<void(const Message& message)>;

    Feedback(CaptionCommands& session, CueDeck* cues, Sink sink);
    ~Feedback();
    Feedback(const Feedback&) = delete;
    Feedback& operator=(const Feedback&) = delete;

private:
    CaptionCommands& m_session;
    CueDeck* m_cues;
    Sink m_sink;
    SessionState m_last;
    std::optional<CueMarks> m_lastMarks;
    int m_changeKey = 0;
    int m_writeKey = 0;
    int m_cueKey = 0;
};

}  // namespace osc
