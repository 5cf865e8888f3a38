// The message line's texts: the line down over the last Send's word (the too-long warning),
// that over a notice or the line back, and all of them over the clock's warning; each comes
// back when the one above goes, and none stays once it is no longer true.
#include <gtest/gtest.h>

#include "SessionFixture.h"

namespace {

constexpr char kClock[] = "Clock not synchronised";
constexpr char kNotice[] = "As-run log not written: Not a directory";

TEST(MessageRanks, TheFirstRankWithATextShows) {
    MessageLine line;
    EXPECT_TRUE(line.Set(MessageRank::Standing, kClock));
    EXPECT_TRUE(line.Set(MessageRank::Notice, kNotice));
    EXPECT_FALSE(line.Set(MessageRank::Standing, "")) << "hidden under the notice";
    EXPECT_TRUE(line.Set(MessageRank::Line, "Line lost: x"));
    EXPECT_FALSE(line.Set(MessageRank::Send, "warning"));
    EXPECT_EQ(line.Shown(), "Line lost: x");
    EXPECT_TRUE(line.Set(MessageRank::Line, ""));
    EXPECT_EQ(line.Shown(), "warning");
    EXPECT_TRUE(line.Set(MessageRank::Send, ""));
    EXPECT_EQ(line.Shown(), kNotice);
    EXPECT_TRUE(line.Set(MessageRank::Notice, ""));
    EXPECT_EQ(line.Shown(), "");
}

class SessionMessageLine : public SessionOnUnit, public ::testing::Test {
protected:
    void clockIs(bool synchronised) {
        session.SetClock(synchronised, true, synchronised ? "" : kClock);
    }
    // A Send of a text that fills every row, or of one that fits.
    void send(bool tooLong) {
        session.Put(1, ScreenChange{tooLong ? std::string(40, '\n') + "x" : "fits", 0, 0},
                    WriteOrigin::Key);
        session.Send(WriteOrigin::Key);
    }
    bool comesBack() {
        return RunUntil([&] {
            session.Tick();
            return session.State().live;
        });
    }
};

TEST_F(SessionMessageLine, TheClockWarningGivesWayAndComesBack) {
    ASSERT_EQ(Connect(), CCaptionSession::LineStart::Live);
    clockIs(false);
    EXPECT_EQ(session.Message(), kClock);
    EXPECT_FALSE(session.State().clockSynchronised);
    session.ShowNotice(kNotice);
    EXPECT_EQ(session.Message(), kNotice);
    send(true);
    EXPECT_EQ(session.Message(), kTooLongWarning) << "the warning goes over a notice";
    clockIs(true);
    clockIs(false);
    EXPECT_EQ(session.Message(), kTooLongWarning) << "and over the clock";
    send(false);
    EXPECT_EQ(session.Message(), kNotice) << "a Send that fits gives the line back to the notice";
    session.DropNotice("another notice");
    EXPECT_EQ(session.Message(), kNotice) << "only the notice shown is dropped";
    session.DropNotice(kNotice);
    EXPECT_EQ(session.Message(), kClock);
    changes = 0;
    clockIs(true);
    EXPECT_EQ(session.Message(), "") << "the text goes when the clock is synchronised again";
    EXPECT_EQ(changes, 1);
}

TEST_F(SessionMessageLine, ALostLineOutranksTheTooLongWarning) {
    ASSERT_EQ(Connect(), CCaptionSession::LineStart::Live);
    clockIs(false);
    send(true);
    EXPECT_EQ(session.Message(), kTooLongWarning);
    unit.Unplug();
    ASSERT_TRUE(LineIs(CPort::LineState::Lost));
    session.Tick();
    const std::string lost = "Line lost: " + unit.Shown();
    EXPECT_EQ(session.Message(), lost) << "the device as the voice shows it";
    send(true);
    EXPECT_EQ(session.Message(), lost) << "a Send while the line is down leaves it said";
    session.Tick();
    EXPECT_EQ(session.Message(), lost);
}

TEST_F(SessionMessageLine, LineBackShowsOnlyWhileTheLineIsLive) {
    ASSERT_EQ(Connect(), CCaptionSession::LineStart::Live);
    session.ShowNotice(kNotice);
    unit.Unplug();
    ASSERT_TRUE(LineIs(CPort::LineState::Lost));
    session.Tick();
    unit.Plug();
    ASSERT_TRUE(comesBack());
    const std::string back = "Line back: " + unit.Shown();
    EXPECT_EQ(session.Message(), back);

    // Gone again at once, as behind a server that accepts and hangs up: the next change of
    // the message line, or the next tick, finds it down and says so.
    unit.Unplug();
    ASSERT_TRUE(LineIs(CPort::LineState::Lost));
    clockIs(true);
    EXPECT_EQ(session.Message(), "Line lost: " + unit.Shown());
    unit.Plug();
    ASSERT_TRUE(comesBack());
    EXPECT_EQ(session.Message(), back);
    for (int tick = 0; tick < 3; ++tick) session.Tick();
    EXPECT_EQ(session.Message(), "")
        << "the line back stays three ticks, and the notice it replaced is gone";
}

TEST_F(SessionMessageLine, APortThatDidNotOpenSaysSo) {
    device.clear();
    EXPECT_EQ(Connect(), CCaptionSession::LineStart::NotOpen);
    clockIs(false);
    send(true);
    EXPECT_EQ(session.Message(), "Not connected: COM1");
    EXPECT_TRUE(pauses.empty()) << "nothing greeted";
}

}  // namespace
