#include "CueTimer.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

using std::chrono::milliseconds;

// A time of day fallen due longer ago than this, between two readings further apart than this
// or across a change of the wall clock, is late: skipped, not played.
constexpr auto kLate = std::chrono::seconds(2);

std::int64_t DayStart(std::int64_t local) {
    const std::int64_t day = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    return day * 86400;
}

milliseconds Ceil(std::chrono::steady_clock::duration duration) {
    return std::chrono::ceil<milliseconds>(duration);
}

}  // namespace

std::int64_t LocalSecondsOf(std::chrono::system_clock::time_point time) {
    const std::time_t clock =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time));
    std::tm local{};
    localtime_r(&clock, &local);
    using namespace std::chrono;
    const sys_days day = year{local.tm_year + 1900} /
                         month{static_cast<unsigned>(local.tm_mon + 1)} /
                         std::chrono::day{static_cast<unsigned>(local.tm_mday)};
    return day.time_since_epoch().count() * 86400LL + local.tm_hour * 3600LL + local.tm_min * 60LL +
           local.tm_sec;
}

CueClock CueClockNow() {
    const auto wall = std::chrono::system_clock::now();
    return {std::chrono::steady_clock::now(), wall, LocalSecondsOf(wall)};
}

std::string TimeOfDayText(int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

const char* TimedActionName(TimedAction::Kind kind) {
    switch (kind) {
        case TimedAction::Kind::Take:
            return "take";
        case TimedAction::Kind::Clear:
            return "clear";
        case TimedAction::Kind::Next:
            return "next";
        case TimedAction::Kind::Skip:
            return "skip";
    }
    return "?";
}

std::int64_t MillisecondsUntil(const UpcomingAction& next, const CueClock& now) {
    std::int64_t until = 0;
    if (next.holdEnd)
        until = Ceil(*next.holdEnd - now.steady).count();
    else if (next.at)
        until = (*next.at - now.local) * 1000 -
                std::chrono::duration_cast<milliseconds>(
                    now.wall.time_since_epoch() -
                    std::chrono::floor<std::chrono::seconds>(now.wall.time_since_epoch()))
                    .count();
    return std::max<std::int64_t>(until, 0);
}

std::string UpcomingText(const UpcomingAction& next, const CueClock& now) {
    const std::int64_t until = MillisecondsUntil(next, now);
    char text[96];
    if (next.holdEnd) {
        std::snprintf(text, sizeof text, "%s after cue %d in %lld.%lld s",
                      TimedActionName(next.kind), next.cue, static_cast<long long>(until / 1000),
                      static_cast<long long>(until % 1000 / 100));
        return text;
    }
    const long long seconds = (until + 999) / 1000;
    std::snprintf(text, sizeof text, "take cue %d at %s, in %lld:%02lld:%02lld", next.cue,
                  TimeOfDayText(static_cast<int>(*next.at - DayStart(*next.at))).c_str(),
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::vector<TimedAction> CueTimer::Load(const std::vector<Cue>& cues, const CueClock& now,
                                        bool reload) {
    std::vector<TimedAction> skips;
    // Read again, the list's times up to the latest reached were played or told of already.
    const std::int64_t done = reload ? std::max(now.local, m_reached) : now.local;
    const std::int64_t day = DayStart(now.local);
    m_holds.clear();
    m_pending.clear();
    m_nextAt = 0;
    for (const Cue& cue : cues) {
        m_holds.push_back(cue.hold);
        if (!cue.at) continue;
        const std::int64_t at = day + *cue.at;
        if (at > done)
            m_pending.push_back({at, cue.number});
        else if (at <= now.local && !reload)
            skips.push_back(
                {TimedAction::Kind::Skip, cue.number,
                 "its time " + TimeOfDayText(*cue.at) + " had passed when the list was opened"});
    }
    std::stable_sort(m_pending.begin(), m_pending.end(),
                     [](const Pending& a, const Pending& b) { return a.at < b.at; });
    if (m_hold && m_hold->cue > static_cast<int>(cues.size())) m_hold.reset();
    m_reached = done;
    m_last = now;
    return skips;
}

void CueTimer::Written(const UnitWrite& write, const CueClock& now) {
    if (write.kind == WriteKind::Tick) return;
    const bool own = write.kind == WriteKind::Send && write.taken && write.cue > 0 &&
                     write.cue <= static_cast<int>(m_holds.size());
    if (own && m_holds[static_cast<std::size_t>(write.cue - 1)] > milliseconds(0)) {
        // From the moment the line took the last byte: a full screen takes a second on it.
        m_hold = Hold{write.cue, now.steady + m_holds[static_cast<std::size_t>(write.cue - 1)]};
        return;
    }
    // A write refused before any byte left changed nothing on the unit.
    if (write.taken || write.sent > 0) m_hold.reset();
}

std::vector<TimedAction> CueTimer::Tick(const CueClock& now) {
    std::vector<TimedAction> due;
    if (m_hold && now.steady >= m_hold->end) {
        const int cue = m_hold->cue;
        m_hold.reset();
        if (m_held)
            due.push_back(
                {TimedAction::Kind::Skip, cue, "its hold ended while automation was held"});
        else
            due.push_back({m_afterHold == AfterHold::Clear ? TimedAction::Kind::Clear
                                                           : TimedAction::Kind::Next,
                           cue,
                           {}});
    }
    bool jumped = false;
    if (m_last) {
        const auto steady = now.steady - m_last->steady;
        const auto wall = now.wall - m_last->wall;
        const auto apart = wall > steady ? wall - steady : steady - wall;
        jumped = steady > kLate || apart > kLate;
    }
    // A clock set back, or summer time ending, finds the times up to the latest reached
    // already gone by; summer time starting jumps the local time by an hour in one second,
    // and the times in it fall due together at the first second after it.
    while (m_nextAt < m_pending.size() && m_pending[m_nextAt].at <= now.local) {
        const Pending& pending = m_pending[m_nextAt++];
        const int timeOfDay = static_cast<int>(pending.at - DayStart(pending.at));
        if (jumped && now.local - pending.at > kLate.count())
            due.push_back({TimedAction::Kind::Skip, pending.cue,
                           "its time " + TimeOfDayText(timeOfDay) +
                               " went by while the program was stopped or the clock was set"});
        else if (m_held)
            due.push_back(
                {TimedAction::Kind::Skip, pending.cue,
                 "its time " + TimeOfDayText(timeOfDay) + " came while automation was held"});
        else
            due.push_back({TimedAction::Kind::Take, pending.cue, {}});
    }
    m_reached = std::max(m_reached, now.local);
    m_last = now;
    return due;
}

std::optional<milliseconds> CueTimer::Wait(const CueClock& now) const {
    std::optional<milliseconds> wait;
    if (m_hold) wait = std::max(milliseconds(0), Ceil(m_hold->end - now.steady));
    if (m_nextAt < m_pending.size()) {
        const auto sinceSecond = std::chrono::duration_cast<milliseconds>(
            now.wall.time_since_epoch() -
            std::chrono::floor<std::chrono::seconds>(now.wall.time_since_epoch()));
        // At least once a second, to see the clock set or summer time change.
        const milliseconds untilAt =
            std::clamp(milliseconds((m_pending[m_nextAt].at - now.local) * 1000) - sinceSecond,
                       milliseconds(0), milliseconds(1000) - sinceSecond);
        wait = wait ? std::min(*wait, untilAt) : untilAt;
    }
    return wait;
}

std::optional<UpcomingAction> CueTimer::Upcoming() const {
    const bool at = m_nextAt < m_pending.size();
    if (!m_hold && !at) return std::nullopt;
    UpcomingAction next;
    // A hold is seconds away at most a day; a time of day shown beside it would hide it.
    if (m_hold) {
        next.kind =
            m_afterHold == AfterHold::Clear ? TimedAction::Kind::Clear : TimedAction::Kind::Next;
        next.cue = m_hold->cue;
        next.holdEnd = m_hold->end;
        return next;
    }
    next.kind = TimedAction::Kind::Take;
    next.cue = m_pending[m_nextAt].cue;
    next.at = m_pending[m_nextAt].at;
    return next;
}

bool CueTimer::Repeated(int cue, const CueClock& now) const {
    return cue != 0 && cue == m_lastTaken && now.steady - m_lastTakenAt < m_guard;
}

void CueTimer::Taken(int cue, const CueClock& now) {
    m_lastTaken = cue;
    m_lastTakenAt = now.steady;
}
