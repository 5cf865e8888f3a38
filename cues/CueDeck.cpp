#include "CueDeck.h"

#include <algorithm>
#include <utility>

CueDeck::CueDeck(CaptionCommands& session, std::function<CueClock()> clock)
    : m_session(session), m_clock(std::move(clock)) {
    m_recordKey = m_session.OnAir().Listen(
        [this](const UnitWrite& write, const ::OnAir&) { OnWrite(write); });
}

CueDeck::~CueDeck() {
    m_session.OnAir().Unlisten(m_recordKey);
    if (m_stateKey != 0) m_session.StopListening(m_stateKey);
}

void CueDeck::SetTemplate(int screen) {
    m_template = screen >= 1 && screen <= 4 ? screen : 0;
    if (m_template == 0) {
        if (m_stateKey != 0) m_session.StopListening(std::exchange(m_stateKey, 0));
        m_templateContent = {};
        Changed();
        return;
    }
    if (m_stateKey == 0) m_stateKey = m_session.ListenStateChanged([this] { OnStateChanged(); });
    m_templateContent = m_session.State().screens[static_cast<std::size_t>(m_template - 1)];
    Changed();
}

void CueDeck::OnStateChanged() {
    ScreenContent now = m_session.State().screens[static_cast<std::size_t>(m_template - 1)];
    if (now.text == m_templateContent.text && now.dateCorner == m_templateContent.dateCorner &&
        now.timeCorner == m_templateContent.timeCorner)
        return;
    m_templateContent = std::move(now);
    Changed();
}

TemplateFill CueDeck::Filled(int number) const {
    const Cue& cue = m_cues.at(static_cast<std::size_t>(number - 1));
    if (m_template == 0) {
        TemplateFill own;
        own.content = ScreenContent{cue.text, cue.dateCorner, cue.timeCorner};
        own.lossy = cue.lossy;
        own.cut = cue.cut;
        own.commands = cue.commands;
        return own;
    }
    return FillTemplate(m_templateContent, cue);
}

void CueDeck::OnWrite(const UnitWrite& write) {
    if (write.kind == WriteKind::Tick) return;
    const std::optional<UpcomingAction> before = m_timer.Upcoming();
    m_timer.Written(write, m_clock());
    // A hold begun or ended changes what fires next.
    bool changed = m_timer.Upcoming() != before;
    // What is on air is the last write the line took other than the clock's: a screen sent
    // by hand, even the cue screen, or a corner changed on it puts the cue off air.
    if (write.taken && write.cue != m_onAir) {
        m_onAir = write.cue;
        changed = true;
    }
    if (changed) Changed();
}

std::string CueDeck::Replace(std::string file, std::vector<Cue> cues, bool reload,
                             std::vector<Cue>* old) {
    const int before = static_cast<int>(m_cues.size());
    const int after = static_cast<int>(cues.size());
    reload = reload && file == m_file;
    m_file = std::move(file);
    if (old) *old = std::move(m_cues);
    m_cues = std::move(cues);
    const std::vector<TimedAction> skips = m_timer.Load(m_cues, m_clock(), reload);
    if (!reload) {
        m_next = after > 0 ? 1 : 0;
        m_onAir = 0;
    } else {
        // Past the end it stops, as a take of the last cue would; a list at its end that
        // grew goes on with the first cue added.
        if (m_next == 0 && before > 0 && after > before) m_next = before + 1;
        if (m_next > after) m_next = m_loop && after > 0 ? 1 : 0;
        if (m_onAir > after) m_onAir = 0;
    }
    Changed();
    for (const TimedAction& skip : skips) Skipped(skip.cue, skip.reason);
    if (!reload || after == before) return {};
    const int rows = after > before ? after - before : before - after;
    return std::to_string(rows) + (rows == 1 ? " cue " : " cues ") +
           (after > before ? "added" : "removed") + ", now " + std::to_string(after);
}

CueDeck::TakeResult CueDeck::Take(int number, bool replaceTyped, WriteOrigin origin) {
    if (!Loaded()) return TakeResult::NoList;
    if (number < 1 || number > static_cast<int>(m_cues.size())) return TakeResult::NoCue;
    if (m_session.Busy()) return TakeResult::Busy;
    const CueClock now = m_clock();
    if (m_timer.Repeated(number, now)) return TakeResult::Repeated;
    // The template as it is now, whether or not its change has been heard yet.
    if (m_template != 0) OnStateChanged();
    TemplateFill fill = Filled(number);
    if (!fill.refusal.empty()) {
        m_refusal = std::move(fill.refusal);
        return TakeResult::Refused;
    }
    const int count = static_cast<int>(m_cues.size());
    const int nextBefore = std::exchange(m_next, number < count ? number + 1 : m_loop ? 1 : 0);
    // The record of the play puts the cue on air, and tells the listeners.
    const int onAirBefore = m_onAir;
    if (m_session.Play(m_screen, std::move(fill.content), origin, number, replaceTyped) ==
        CaptionCommands::PlayResult::HandTyped) {
        m_next = nextBefore;
        return TakeResult::HandTyped;
    }
    m_timer.Taken(number, now);
    if (m_onAir == onAirBefore) Changed();
    return TakeResult::Taken;
}

bool CueDeck::MoveNext(int step) {
    if (!Loaded() || m_cues.empty()) return false;
    const int count = static_cast<int>(m_cues.size());
    // From the end, back reaches the last cue and on stays at the end.
    if (m_next == 0 && step > 0) return true;
    int next = (m_next == 0 ? count + 1 : m_next) + step;
    if (m_loop)
        next = (next - 1 + count) % count + 1;
    else
        next = std::clamp(next, 1, count);
    if (next == m_next) return true;
    m_next = next;
    Changed();
    return true;
}

bool CueDeck::SetNext(int number) {
    if (number < 1 || number > static_cast<int>(m_cues.size())) return false;
    if (number != m_next) {
        m_next = number;
        Changed();
    }
    return true;
}

std::string CueDeck::Why(TakeResult result) const {
    switch (result) {
        case TakeResult::Taken:
            return {};
        case TakeResult::NoList:
            return "no cue list is open";
        case TakeResult::NoCue:
            return "the list is at its end";
        case TakeResult::Busy:
            return "a dialog is open in the program";
        case TakeResult::HandTyped:
            return "screen " + std::to_string(m_screen) + " holds unsaved text typed by hand";
        case TakeResult::Repeated:
            return "the same cue was taken less than " +
                   std::to_string(m_timer.RepeatGuard().count()) +
                   " ms before: a repeated press is not sent";
        case TakeResult::Refused:
            return m_refusal;
    }
    return {};
}

void CueDeck::RunTimed() {
    const std::vector<TimedAction> due = m_timer.Tick(m_clock());
    for (const TimedAction& action : due) {
        switch (action.kind) {
            case TimedAction::Kind::Skip:
                Skipped(action.cue, action.reason);
                break;
            case TimedAction::Kind::Clear:
                if (m_session.Busy())
                    Skipped(action.cue, "its hold ended while a dialog was open: not cleared");
                else
                    m_session.Clear(WriteOrigin::Auto);
                break;
            case TimedAction::Kind::Take:
            case TimedAction::Kind::Next: {
                const bool next = action.kind == TimedAction::Kind::Next;
                // Text typed by hand is never written over by a timer: nobody is asked.
                const TakeResult result = next ? TakeNext(false, WriteOrigin::Auto)
                                               : Take(action.cue, false, WriteOrigin::Auto);
                if (result != TakeResult::Taken)
                    Skipped(next ? m_next : action.cue,
                            std::string(next ? "the next cue after its hold" : "its time") +
                                " was not taken: " + Why(result));
                break;
            }
        }
    }
    if (!due.empty()) Changed();
}

void CueDeck::SetHeld(bool held) {
    if (held == m_timer.Held()) return;
    m_timer.SetHeld(held);
    Changed();
}

int CueDeck::ListenSkips(SkipListener listener) {
    m_skipListeners.emplace(m_nextKey, std::move(listener));
    return m_nextKey++;
}

void CueDeck::Skipped(int cue, const std::string& reason) {
    const auto listeners = m_skipListeners;
    for (const auto& [key, listener] : listeners) listener(cue, reason);
}

int CueDeck::Listen(std::function<void()> listener) {
    m_listeners.emplace(m_nextKey, std::move(listener));
    return m_nextKey++;
}

void CueDeck::Unlisten(int key) {
    m_listeners.erase(key);
}

void CueDeck::Changed() {
    const auto listeners = m_listeners;
    for (const auto& [key, listener] : listeners) listener();
}
