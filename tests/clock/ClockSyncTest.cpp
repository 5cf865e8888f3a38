// What the kernel's clock call says, read as synchronised, not synchronised or unknown.
#include <gtest/gtest.h>
#include <sys/timex.h>

#include "ClockSync.h"

namespace {

// A kernel that answers state with these status bits, and notes the modes it was asked for.
ClockSync Reading(int state, int status, unsigned* modes = nullptr) {
    return ReadClockSync([&](timex& reading) {
        if (modes) *modes = reading.modes;
        reading.status = status;
        return state;
    });
}

TEST(ClockSync, TheKernelsWordIsReadWithoutChangingTheClock) {
    unsigned modes = ~0u;
    EXPECT_EQ(Reading(TIME_OK, STA_PLL, &modes), ClockSync::Synchronised);
    EXPECT_EQ(modes, 0u) << "a reading must not set anything";
    // A leap second announced or under way is still a synchronised clock.
    EXPECT_EQ(Reading(TIME_INS, STA_PLL | STA_INS), ClockSync::Synchronised);
    EXPECT_EQ(Reading(TIME_WAIT, 0), ClockSync::Synchronised);

    EXPECT_EQ(Reading(TIME_ERROR, STA_UNSYNC), ClockSync::NotSynchronised);
    EXPECT_EQ(Reading(TIME_ERROR, 0), ClockSync::NotSynchronised) << "an error alone";
    EXPECT_EQ(Reading(TIME_OK, STA_PLL | STA_UNSYNC), ClockSync::NotSynchronised)
        << "the unsynchronised bit alone";

    EXPECT_EQ(Reading(-1, 0), ClockSync::Unknown) << "the call failed";
}

}  // namespace
