#include "ClockSync.h"

#include <sys/timex.h>

ClockSync ReadClockSync(const KernelClockCall& call) {
    timex reading{};
    reading.modes = 0;
    const int state = call(reading);
    if (state == -1) return ClockSync::Unknown;
    if (state == TIME_ERROR || (reading.status & STA_UNSYNC) != 0)
        return ClockSync::NotSynchronised;
    return ClockSync::Synchronised;
}

ClockSync ReadClockSync() {
    return ReadClockSync([](timex& reading) { return ntp_adjtime(&reading); });
}
