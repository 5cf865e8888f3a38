#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CueList.h"
#include "OnAirRecord.h"

// The timed side of a cue list, apart from any real clock: when a cue's hold ends, when a
// time of day falls due, the switch that holds all of it, and the guard against a take
// repeated by a bouncing button. Every call is given the time; nothing here reads a clock.
// Plain C++.

// One reading of the clocks.
struct CueClock {
    // Never jumps: holds and the repeat guard count on it.
    std::chrono::steady_clock::time_point steady;
    // The wall clock (UTC): when it moves apart from the steady one, the clock was set.
    std::chrono::system_clock::time_point wall;
    // The local time as the operator's clock reads it, in seconds from 1970-01-01 00:00 local:
    // it jumps with summer time and when the clock is set.
    std::int64_t local = 0;
};

// The real clocks now.
CueClock CueClockNow();
// A moment as the local clock reads it, as CueClock::local.
std::int64_t LocalSecondsOf(std::chrono::system_clock::time_point time);

enum class AfterHold { Clear, Next };

struct TimedAction {
    enum class Kind { Take, Clear, Next, Skip };
    Kind kind = Kind::Take;
    int cue = 0;
    // Why a cue is skipped.
    std::string reason;
};

// What fires next, for the operator: a hold's end (clear or next) or a cue's time of day.
struct UpcomingAction {
    TimedAction::Kind kind = TimedAction::Kind::Take;
    int cue = 0;
    // For a hold: when it ends. For a time of day: the local time, as CueClock::local.
    std::optional<std::chrono::steady_clock::time_point> holdEnd;
    std::optional<std::int64_t> at;
    bool operator==(const UpcomingAction&) const = default;
};

inline constexpr std::chrono::milliseconds kDefaultRepeatGuard{500};

class CueTimer {
public:
    // A new list. Times of day already past at now are skipped and returned as skips, unless
    // the list is the same one read again, whose past times were told of before.
    std::vector<TimedAction> Load(const std::vector<Cue>& cues, const CueClock& now,
                                  bool reload = false);
    void SetAfterHold(AfterHold afterHold) { m_afterHold = afterHold; }
    AfterHold After() const { return m_afterHold; }
    void SetRepeatGuard(std::chrono::milliseconds guard) { m_guard = guard; }
    std::chrono::milliseconds RepeatGuard() const { return m_guard; }

    // A write as the on-air record tells it, once the line has taken it: a cue's own Send
    // starts that cue's hold; any other write that reached the unit ends a pending one.
    void Written(const UnitWrite& write, const CueClock& now);

    // What falls due by now, oldest first. Held, or fallen due too long ago (the program was
    // stalled, the clock set forward), it is a skip.
    std::vector<TimedAction> Tick(const CueClock& now);
    // How long until Tick has something to do; none when nothing is pending.
    std::optional<std::chrono::milliseconds> Wait(const CueClock& now) const;
    std::optional<UpcomingAction> Upcoming() const;

    // While held nothing fires; what falls due is skipped.
    void SetHeld(bool held) { m_held = held; }
    bool Held() const { return m_held; }

    // Whether a take of cue would repeat the last take within the guard; Taken notes a take.
    bool Repeated(int cue, const CueClock& now) const;
    void Taken(int cue, const CueClock& now);

private:
    struct Pending {
        std::int64_t at = 0;  // as CueClock::local
        int cue = 0;
    };
    struct Hold {
        int cue = 0;
        std::chrono::steady_clock::time_point end;
    };

    std::vector<std::chrono::milliseconds> m_holds;  // by cue number - 1
    // The times of day still to come, soonest first from m_nextAt.
    std::vector<Pending> m_pending;
    std::size_t m_nextAt = 0;
    std::optional<Hold> m_hold;
    // The last reading, and the latest local time seen: a clock set back, or summer time
    // ending, does not reach past it again.
    std::optional<CueClock> m_last;
    std::int64_t m_reached = 0;
    AfterHold m_afterHold = AfterHold::Clear;
    std::chrono::milliseconds m_guard = kDefaultRepeatGuard;
    bool m_held = false;
    int m_lastTaken = 0;
    std::chrono::steady_clock::time_point m_lastTakenAt;
};

// "clear", "next", "take" or "skip".
const char* TimedActionName(TimedAction::Kind kind);
// How long until what fires next, in milliseconds (0 when due), as of now.
std::int64_t MillisecondsUntil(const UpcomingAction& next, const CueClock& now);
// What fires next as the operator reads it: "clear after cue 3 in 1.8 s", "take cue 5 at
// 19:00:00, in 0:12:05".
std::string UpcomingText(const UpcomingAction& next, const CueClock& now);

// "19:00:05" for a time of day in seconds from midnight.
std::string TimeOfDayText(int seconds);
