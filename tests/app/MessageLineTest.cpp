// The message line's texts without the window: the too-long warning over the line's state,
// the line's state over the clock's warning, and each coming back when the one above goes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ClockWatch.h"
#include "LineWatch.h"

namespace {

constexpr char kTooLong[] = "The current text is too long and may display incorrectly.";
constexpr char kClock[] = "Clock not synchronised";
constexpr char kLost[] = "Line lost: /dev/ttyUSB0";

class MessageLine : public ::testing::Test {
protected:
    // The kernel's word on the clock, and a fresh reading of it as the minute's timer takes.
    void clockIs(ClockSync state) {
        kernel = state;
        clock.Read();
    }
    // A Send composed: the warning set or emptied, then the line's texts shown again.
    void send(bool tooLong) {
        message = tooLong ? kTooLong : "";
        line.Refresh();
    }

    ClockSync kernel = ClockSync::Synchronised;
    std::unique_ptr<CPort> port;  // the texts never look at the port
    std::string message;
    int shown = 0;
    int clockChanges = 0;
    CLineWatch line{port, message, [this] { ++shown; }, [] {}, [this] { return clock.Text(); }};
    CClockWatch clock{[this] {
                          ++clockChanges;
                          line.Refresh();
                      },
                      [this] { return kernel; }};
};

TEST_F(MessageLine, TheClockWarningGivesWayAndComesBack) {
    clockIs(ClockSync::NotSynchronised);
    EXPECT_EQ(message, kClock);
    EXPECT_EQ(shown, 1);
    clockIs(ClockSync::NotSynchronised);
    EXPECT_EQ(clockChanges, 1) << "the same state read again is no change";

    line.ShowMessage(kLost);
    EXPECT_EQ(message, kLost) << "the line's state is more urgent";
    line.ShowMessage("");
    EXPECT_EQ(message, kClock) << "back when the line's text goes";

    send(true);
    line.ShowMessage(kLost);
    EXPECT_EQ(message, kTooLong) << "the warning keeps the line";
    line.ShowMessage("");
    clockIs(ClockSync::Synchronised);
    clockIs(ClockSync::NotSynchronised);
    EXPECT_EQ(message, kTooLong) << "and keeps it from the clock";
    line.ShowMessage(kLost);
    send(false);
    EXPECT_EQ(message, kLost) << "a Send that fits gives the line back to the line's text";
    line.ShowMessage("");
    EXPECT_EQ(message, kClock);

    const int before = shown;
    clockIs(ClockSync::Synchronised);
    EXPECT_EQ(message, "") << "the text goes when the clock is synchronised again";
    EXPECT_EQ(shown, before + 1);
}

}  // namespace
