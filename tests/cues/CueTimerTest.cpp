// The timed cues driven by a clock the test sets: holds, times of day across clock changes,
// the automation switch and the repeat guard.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>
#include <vector>

#include "CueTimer.h"

namespace {

using namespace std::chrono_literals;
using Kind = TimedAction::Kind;

// A clock that moves as the test says: steady and wall together, local with the zone.
struct TestClock {
    CueClock now{std::chrono::steady_clock::time_point(1000s),
                 std::chrono::system_clock::time_point(1'700'000'000s), 0};
    // Local 2026-03-29 01:59:00 as seconds: any day does, the zone is the test's.
    std::int64_t day = 20'541LL * 86400;
    TestClock() { now.local = day + 1 * 3600 + 59 * 60; }
    void Pass(std::chrono::milliseconds by) {
        now.steady += by;
        now.wall += by;
        // Local seconds follow the wall clock's whole seconds.
        const auto before = now.wall - by;
        now.local += std::chrono::floor<std::chrono::seconds>(now.wall.time_since_epoch()).count() -
                     std::chrono::floor<std::chrono::seconds>(before.time_since_epoch()).count();
    }
    void SetLocal(int hours, int minutes, int seconds) {
        now.local = day + hours * 3600 + minutes * 60 + seconds;
    }
};

Cue TimedCue(int number, std::chrono::milliseconds hold, std::optional<int> at = {}) {
    Cue cue;
    cue.number = number;
    cue.text = "cue " + std::to_string(number);
    cue.hold = hold;
    cue.at = at;
    return cue;
}

UnitWrite Write(WriteKind kind, int cue, bool taken = true) {
    UnitWrite write;
    write.kind = kind;
    write.cue = cue;
    write.taken = taken;
    write.bytes = "xx";
    write.sent = taken ? 2 : 0;
    return write;
}

std::string Said(const std::vector<TimedAction>& actions) {
    std::string said;
    for (const TimedAction& action : actions) {
        if (!said.empty()) said += ", ";
        said += (action.kind == Kind::Take    ? "take "
                 : action.kind == Kind::Clear ? "clear "
                 : action.kind == Kind::Next  ? "next "
                                              : "skip ") +
                std::to_string(action.cue);
    }
    return said;
}

int At(int hours, int minutes, int seconds = 0) {
    return hours * 3600 + minutes * 60 + seconds;
}

TEST(CueTimer, HoldCountsFromTheLastByteAndAnyOtherWriteEndsIt) {
    TestClock clock;
    CueTimer timer;
    timer.Load({TimedCue(1, 2000ms), TimedCue(2, 0ms)}, clock.now);
    // The press is not the start: a full screen takes a second on the line.
    clock.Pass(1000ms);
    timer.Written(Write(WriteKind::Send, 1), clock.now);
    clock.Pass(1999ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    EXPECT_EQ(timer.Wait(clock.now), 1ms);
    ASSERT_TRUE(timer.Upcoming());
    EXPECT_EQ(UpcomingText(*timer.Upcoming(), clock.now), "clear after cue 1 in 0.0 s");
    clock.Pass(1ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "clear 1");
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    EXPECT_FALSE(timer.Wait(clock.now));

    // A clock tick and a write refused before any byte left leave the hold; a Send by hand,
    // a Clear or another cue end it.
    for (const UnitWrite& other : {Write(WriteKind::Send, 0), Write(WriteKind::Clear, 0),
                                   Write(WriteKind::Send, 2), Write(WriteKind::CornerResend, 0)}) {
        timer.Written(Write(WriteKind::Send, 1), clock.now);
        timer.Written(Write(WriteKind::Tick, 0), clock.now);
        timer.Written(Write(WriteKind::Send, 0, false), clock.now);
        ASSERT_TRUE(timer.Upcoming());
        timer.Written(other, clock.now);
        clock.Pass(5000ms);
        EXPECT_EQ(Said(timer.Tick(clock.now)), "");
        EXPECT_FALSE(timer.Upcoming());
    }

    // AfterHold next; the same cue taken again starts its hold again.
    timer.SetAfterHold(AfterHold::Next);
    timer.Written(Write(WriteKind::Send, 1), clock.now);
    clock.Pass(1500ms);
    timer.Written(Write(WriteKind::Send, 1), clock.now);
    clock.Pass(1500ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    ASSERT_TRUE(timer.Upcoming());
    EXPECT_EQ(timer.Upcoming()->kind, Kind::Next);
    clock.Pass(500ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "next 1");
}

TEST(CueTimer, TimeOfDayOnceAndPastOnesSkipped) {
    TestClock clock;
    clock.SetLocal(18, 59, 58);
    CueTimer timer;
    // 18:00 has passed when the list is opened: told, never played.
    const std::vector<TimedAction> past = timer.Load(
        {TimedCue(1, 0ms, At(18, 0)), TimedCue(2, 0ms, At(19, 0)), TimedCue(3, 0ms, At(19, 0, 1))},
        clock.now);
    EXPECT_EQ(Said(past), "skip 1");
    ASSERT_TRUE(timer.Upcoming());
    EXPECT_EQ(UpcomingText(*timer.Upcoming(), clock.now), "take cue 2 at 19:00:00, in 0:00:02");
    clock.Pass(1000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    clock.Pass(1000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "take 2");
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    clock.Pass(1000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "take 3");
    // The same list read again tells of nothing past and plays nothing twice.
    EXPECT_EQ(Said(timer.Load({TimedCue(1, 0ms, At(18, 0)), TimedCue(2, 0ms, At(19, 0))}, clock.now,
                              true)),
              "");
    clock.Pass(5000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
}

TEST(CueTimer, ClockSetBackOrSummerTimeEndingNeverPlaysTwice) {
    TestClock clock;
    clock.SetLocal(2, 29, 59);
    CueTimer timer;
    timer.Load({TimedCue(1, 0ms, At(2, 30)), TimedCue(2, 0ms, At(3, 0))}, clock.now);
    clock.Pass(1000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "take 1");
    // Summer time ends at 03:00: local goes back an hour while the wall clock runs on.
    clock.Pass(1000ms);
    clock.SetLocal(2, 0, 0);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    for (int second = 0; second < 3600; ++second) {
        clock.Pass(1000ms);
        const std::string said = Said(timer.Tick(clock.now));
        // 02:30 comes again and plays nothing; 03:00 comes once, after the second pass.
        EXPECT_EQ(said, clock.now.local == clock.day + At(3, 0) ? "take 2" : "") << second;
    }
    // The operator sets the clock back ten minutes: the wall clock jumps too.
    clock.now.wall -= 600s;
    clock.SetLocal(2, 50, 0);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    clock.Pass(600000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
}

TEST(CueTimer, TimeInTheHourSummerTimeSkipsPlaysAtTheFirstSecondAfter) {
    TestClock clock;
    clock.SetLocal(1, 59, 59);
    CueTimer timer;
    timer.Load({TimedCue(1, 0ms, At(2, 30)), TimedCue(2, 0ms, At(3, 0, 5))}, clock.now);
    // 01:59:59 is followed by 03:00:00 one second later.
    clock.Pass(1000ms);
    clock.SetLocal(3, 0, 0);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "take 1");
    clock.Pass(5000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "take 2");
}

TEST(CueTimer, TimesGoneByWhileStalledOrSetForwardAreSkipped) {
    TestClock clock;
    clock.SetLocal(10, 0, 0);
    CueTimer timer;
    timer.Load({TimedCue(1, 0ms, At(10, 0, 5)), TimedCue(2, 0ms, At(10, 1, 0)),
                TimedCue(3, 0ms, At(11, 0, 0)), TimedCue(4, 0ms, At(11, 0, 1))},
               clock.now);
    // The program stalls a minute: 10:00:05 went by long ago, 10:01:00 is this second.
    clock.Pass(60000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "skip 1, take 2");
    // The clock is set forward to 11:00:00 in one step: 11:00:00 is now, not late.
    clock.Pass(1000ms);
    clock.now.wall += 3539s;
    clock.SetLocal(11, 0, 1);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "take 3, take 4");
}

TEST(CueTimer, HeldAutomationSkipsWhatFallsDueAndNeverPlaysItLate) {
    TestClock clock;
    clock.SetLocal(12, 0, 0);
    CueTimer timer;
    timer.Load({TimedCue(1, 1000ms, At(12, 0, 1)), TimedCue(2, 0ms, At(12, 0, 3))}, clock.now);
    timer.SetHeld(true);
    timer.Written(Write(WriteKind::Send, 1), clock.now);
    clock.Pass(1000ms);
    const std::vector<TimedAction> held = timer.Tick(clock.now);
    EXPECT_EQ(Said(held), "skip 1, skip 1");
    ASSERT_EQ(held.size(), 2u);
    EXPECT_NE(held[1].reason.find("12:00:01 came while automation was held"), std::string::npos);
    timer.SetHeld(false);
    clock.Pass(1000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "");
    clock.Pass(1000ms);
    EXPECT_EQ(Said(timer.Tick(clock.now)), "take 2");
}

TEST(CueTimer, RepeatGuardRefusesTheSameCueWithinItsTime) {
    TestClock clock;
    CueTimer timer;
    timer.Taken(3, clock.now);
    clock.Pass(499ms);
    EXPECT_TRUE(timer.Repeated(3, clock.now));
    EXPECT_FALSE(timer.Repeated(4, clock.now));
    clock.Pass(1ms);
    EXPECT_FALSE(timer.Repeated(3, clock.now));
    timer.SetRepeatGuard(0ms);
    timer.Taken(3, clock.now);
    EXPECT_FALSE(timer.Repeated(3, clock.now));
}

TEST(CueTimer, WaitWakesAtTheSecondATimeOfDayBegins) {
    TestClock clock;
    clock.SetLocal(9, 0, 0);
    CueTimer timer;
    timer.Load({TimedCue(1, 0ms, At(9, 0, 3))}, clock.now);
    clock.Pass(250ms);
    // At least once a second, so that a change of the clock is seen.
    EXPECT_EQ(timer.Wait(clock.now), 750ms);
    clock.Pass(750ms + 1000ms);
    EXPECT_EQ(timer.Wait(clock.now), 1000ms);
    clock.Pass(1000ms);
    EXPECT_EQ(timer.Wait(clock.now), 0ms);
}

#ifndef _WIN32
// The local clock as the zone has it: an hour skipped in spring, one repeated in autumn.
TEST(CueTimer, LocalSecondsFollowTheZonesSummerTime) {
    const char* oldZone = std::getenv("TZ");
    const std::string kept = oldZone ? oldZone : "";
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    using std::chrono::sys_days;
    // 01:00 UTC: 02:00 local jumps to 03:00 on 29 March, 03:00 falls back to 02:00 on 25
    // October 2026.
    const auto spring = sys_days{std::chrono::year{2026} / 3 / 29} + 1h;
    const auto autumn = sys_days{std::chrono::year{2026} / 10 / 25} + 1h;
    const std::int64_t springDay =
        sys_days{std::chrono::year{2026} / 3 / 29}.time_since_epoch().count() * 86400LL;
    const std::int64_t autumnDay =
        sys_days{std::chrono::year{2026} / 10 / 25}.time_since_epoch().count() * 86400LL;
    EXPECT_EQ(LocalSecondsOf(spring - 1s), springDay + At(1, 59, 59));
    EXPECT_EQ(LocalSecondsOf(spring), springDay + At(3, 0));
    EXPECT_EQ(LocalSecondsOf(autumn - 1s), autumnDay + At(2, 59, 59));
    EXPECT_EQ(LocalSecondsOf(autumn), autumnDay + At(2, 0));
    oldZone ? ::setenv("TZ", kept.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}
#endif

}  // namespace
