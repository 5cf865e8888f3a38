// The session's commands on a line: what each writes, in what order, and what it records
// and tells.
#include <gtest/gtest.h>

#include "Commands.h"
#include "ScreenWrites.h"
#include "SessionFixture.h"

namespace {

std::string Joined(const ScreenWrites& writes) {
    std::string bytes;
    for (const std::string_view piece : writes.Writes()) bytes += piece;
    return bytes;
}

class Session : public SessionOnUnit, public ::testing::Test {
protected:
    // The line up and greeted; what the greeting wrote is read off the unit and forgotten.
    void SetUp() override {
        ASSERT_EQ(Connect(), CCaptionSession::LineStart::Live);
        const std::string greeted = std::string(kGreeting) + std::string(kClearCommand);
        ASSERT_EQ(unit.Received(greeted.size()), greeted);
        ASSERT_TRUE(Recorded(2));
        records.clear();
        changes = 0;
    }
    std::size_t greeted = std::string(kGreeting).size() + std::string(kClearCommand).size();
};

TEST_F(Session, GreetsWithItsPauseOnceConnected) {
    ASSERT_EQ(pauses.size(), 1u);
    EXPECT_EQ(pauses[0], std::chrono::milliseconds(1500));
}

TEST_F(Session, SendAndClearWriteInOrderEachAsOneRecordWithItsOrigin) {
    session.Put(2, ScreenChange{"Hello\nworld", 1, 2}, WriteOrigin::Remote);
    session.Select(2);
    ASSERT_TRUE(session.Send(WriteOrigin::Key));
    session.Clear(WriteOrigin::Strip);

    const std::string sent = Joined(ComposeSend("Hello\nworld", 1, 2, kNow));
    const std::string cleared = Joined(ComposeClear(1, 2, kNow));
    EXPECT_EQ(unit.Received(greeted + sent.size() + cleared.size()).substr(greeted),
              sent + cleared);
    ASSERT_TRUE(Recorded(2));
    ASSERT_EQ(records.size(), 2u) << "one record a command, and the Put writes nothing";
    EXPECT_EQ(records[0].kind, WriteKind::Send);
    EXPECT_EQ(records[0].origin, WriteOrigin::Key);
    EXPECT_EQ(records[0].cue, 0) << "a Send is no cue";
    EXPECT_EQ(records[0].screen, 2);
    EXPECT_EQ(records[0].text, "Hello\nworld");
    EXPECT_EQ(records[0].bytes, sent);
    EXPECT_TRUE(records[0].taken);
    EXPECT_EQ(records[0].port + " " + records[0].device, "COM1 " + unit.Path())
        << "the port comes with the write, for the as-run log";
    EXPECT_EQ(records[1].kind, WriteKind::Clear);
    EXPECT_EQ(records[1].origin, WriteOrigin::Strip);
    EXPECT_EQ(records[1].bytes, cleared);
    EXPECT_TRUE(session.OnAir().Now().cleared);
    EXPECT_TRUE(session.State().modified) << "a remote's Put is a change to save";
}

TEST_F(Session, ACornerPutOnTheCurrentScreenIsSentAgain) {
    session.Put(1, ScreenChange{std::nullopt, 3, std::nullopt}, WriteOrigin::Remote);
    ASSERT_TRUE(Recorded(1));
    EXPECT_EQ(records[0].kind, WriteKind::CornerResend);
    EXPECT_EQ(records[0].origin, WriteOrigin::Remote);
    EXPECT_EQ(changes, 1) << "the put and its resend are one change";
    session.Put(2, ScreenChange{std::nullopt, 3, std::nullopt}, WriteOrigin::Remote);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(calls.empty() && records.size() == 1u) << "another screen's corner is not sent";
}

TEST_F(Session, PlayIsOneRecordAndOneChangeTold) {
    session.Play(3, ScreenContent{"Cue one", 0, 1}, WriteOrigin::Cue, 7, false);
    EXPECT_EQ(changes, 1);
    const std::string sent = Joined(ComposeSend("Cue one", 0, 1, kNow));
    EXPECT_EQ(unit.Received(greeted + sent.size()).substr(greeted), sent);
    ASSERT_TRUE(Recorded(1));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, WriteKind::Send);
    EXPECT_EQ(records[0].origin, WriteOrigin::Cue);
    EXPECT_EQ(records[0].cue, 7);
    EXPECT_EQ(records[0].screen, 3);
    EXPECT_EQ(session.OnAir().Now().cue, 7);
    const SessionState state = session.State();
    EXPECT_EQ(state.screen, 3);
    EXPECT_EQ(state.screens[2].text, "Cue one");
    EXPECT_EQ(state.screens[2].timeCorner, 1);
    EXPECT_FALSE(state.modified) << "a cue played is no change to save";
}

TEST_F(Session, PlayRefusesToReplaceTextTypedByHand) {
    ASSERT_EQ(session.Play(2, ScreenContent{"Cue one"}, WriteOrigin::Cue, 1, false),
              CCaptionSession::PlayResult::Played);
    // Played text left alone, with the file changed elsewhere, is the cue list's to replace.
    session.SetModified(true);
    ASSERT_EQ(session.Play(2, ScreenContent{"Cue two"}, WriteOrigin::Cue, 2, false),
              CCaptionSession::PlayResult::Played);
    ASSERT_TRUE(Recorded(2));

    session.Type("Typed by hand", 0, 0);
    session.SetModified(true);
    changes = 0;
    EXPECT_EQ(session.Play(2, ScreenContent{"Cue three"}, WriteOrigin::Cue, 3, false),
              CCaptionSession::PlayResult::HandTyped);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(session.State().screens[1].text, "Typed by hand");
    EXPECT_EQ(session.Play(2, ScreenContent{"Cue three"}, WriteOrigin::Cue, 3, true),
              CCaptionSession::PlayResult::Played);
    ASSERT_TRUE(Recorded(3));
    EXPECT_EQ(records.size(), 3u) << "the refused play wrote nothing";
    EXPECT_EQ(records[2].cue, 3);
}

TEST_F(Session, TypingKeepsTheLineEndsOfLinesLeftAlone) {
    CTessoraFile file;
    file.Text(0) = "one\r\ntwo";
    session.Replace(file);
    session.Type("one\ntwo\nthree", 0, 0);
    EXPECT_EQ(session.State().screens[0].text, "one\r\ntwo\r\nthree")
        << "new lines end as the text's own do";
    EXPECT_EQ(session.NextSend().layout.commands,
              ComposeSend("one\r\ntwo\r\nthree", 0, 0, kNow).layout.commands)
        << "the next Send is read from what was typed, no page needed";
}

TEST_F(Session, ALostLineComesBackToStampsOnlyAndIsGreetedOnlyWhenAsked) {
    unit.Unplug();
    ASSERT_TRUE(LineIs(CPort::LineState::Lost));
    session.Tick();
    EXPECT_EQ(session.Message(), "Line lost: " + unit.Shown());
    EXPECT_TRUE(session.State().lost);
    unit.Plug();
    ASSERT_TRUE(RunUntil([&] {
        session.Tick();
        return session.State().live;
    }));
    EXPECT_EQ(session.Message(), "Line back: " + unit.Shown());
    EXPECT_EQ(said, (std::vector<std::string>{"lost", "back"}));
    for (const UnitWrite& write : records) EXPECT_EQ(write.kind, WriteKind::Tick);
    EXPECT_EQ(pauses.size(), 1u) << "no greeting: the unit still shows what it had";

    // Lost again and tried on with a greeting asked for: greeted once back.
    unit.Unplug();
    ASSERT_TRUE(LineIs(CPort::LineState::Lost));
    session.Resume(true);
    unit.Plug();
    ASSERT_TRUE(RunUntil([&] {
        session.Tick();
        return session.State().live;
    }));
    EXPECT_EQ(pauses.size(), 2u);
    ASSERT_TRUE(
        RunUntil([&] { return !records.empty() && records.back().kind == WriteKind::Clear; }));
}

}  // namespace
