#pragma once

#include <chrono>
#include <ctime>
#include <string>

// The date and time stamp commands of a screen, each a position command followed by the
// stamp text. Each is written on its own, the date first; an empty command is not written.
struct StampCommands {
    std::string date;
    std::string time;
};

// Composes both stamps from the one clock reading now, in local time: the date as
// "%d/%m/%y", the time as "%H:%M:%S". A stamp whose corner is None (or any value the corner
// lists never offer) gets no command. When date and time share a corner they read as one
// row, date, space, time; on the right they end in the last column. If the reading cannot
// be converted or formatted, a stamp's text is empty but its command is still composed.
StampCommands ComposeStamps(int dateCorner, int timeCorner, std::time_t now);

// Milliseconds from now to the next stamp tick. Ticks fall just after the wall-clock second
// turns (kTickAfterSecondMs into it), so each second is written once: a fixed 1000 ms
// period would sit at whatever phase it started with, and one near the turn shows a second
// twice or not at all as the timer jitters.
inline constexpr int kTickAfterSecondMs = 20;
int MsUntilNextStampTick(std::chrono::system_clock::time_point now);
