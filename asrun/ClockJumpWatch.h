#pragma once

#include <chrono>
#include <optional>

// The wall clock against the steady one, tick by tick: a jump of the stamps' local time
// (a change of daylight saving time, the clock set by hand) is told once, where it happened.
struct ClockReading {
    std::chrono::steady_clock::time_point steady;
    std::chrono::system_clock::time_point wall;
    // Seconds east of UTC at wall.
    long offset = 0;
};

class ClockJumpWatch {
public:
    // The wall clock may drift from the steady one by this much between two ticks unseen.
    static constexpr std::chrono::seconds kLeeway{2};

    // Takes a tick's reading; gives the one before when the local time jumped between them.
    std::optional<ClockReading> Tick(const ClockReading& now);

private:
    std::optional<ClockReading> m_last;
};
