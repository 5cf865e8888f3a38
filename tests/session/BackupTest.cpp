// A backup unit beside the main one: the same bytes on both lines, a backup that stalls or
// goes never holding the main one up, and a backup that comes back given the picture.
#include <gtest/gtest.h>

#include "Commands.h"
#include "ScreenWrites.h"
#include "SessionFixture.h"
#include "Stamps.h"

namespace {

std::string Joined(const ScreenWrites& writes) {
    std::string bytes;
    for (const std::string_view piece : writes.Writes()) bytes += piece;
    return bytes;
}

const std::string kGreeted = std::string(kGreeting) + std::string(kClearCommand);

// The settings' mapping: COM1 the main unit, COM2 the backup; a name it does not map opens
// nothing.
PortResolver Mapping(std::vector<std::pair<std::u16string, std::string>> ports) {
    return PortResolver(PortSetup{std::nullopt, std::move(ports), false},
                        [](const std::u16string&) { return std::string(); });
}

class Backup : public SessionOnUnit, public ::testing::Test {
protected:
    void UseBackup() {
        session.UseBackup(u"COM2", Mapping({{u"COM1", unit.Path()}, {u"COM2", backup.Path()}}));
        ASSERT_NE(session.Backup(), nullptr) << session.State().backup.refusal;
    }
    // Both lines up and greeted; the records of the greeting forgotten.
    void ConnectBoth() {
        UseBackup();
        ASSERT_EQ(Connect(), CCaptionSession::LineStart::Live);
        ASSERT_EQ(unit.Received(kGreeted.size()), kGreeted);
        ASSERT_EQ(backup.Received(kGreeted.size()), kGreeted);
        ASSERT_TRUE(Recorded(2));
        records.clear();
    }
    bool BackupIs(CPort::LineState state) {
        return RunUntil([&] { return session.Backup()->State() == state; });
    }
    std::string Stamps() const {
        const StampCommands stamps = ComposeStamps(1, 2, kNow);
        return stamps.date + stamps.time;
    }

    PluggedUnit backup{"backup"};
};

TEST_F(Backup, EveryWriteGoesToBothLinesByteForByteAndTheRecordSaysBothTookIt) {
    ConnectBoth();
    session.Put(1, ScreenChange{"Evening news", 1, 2}, WriteOrigin::Remote);
    ASSERT_TRUE(session.Send(WriteOrigin::Key));
    session.Clear(WriteOrigin::Strip);
    session.Tick();

    const std::string expected = Joined(ComposeSend("Evening news", 1, 2, kNow)) +
                                 Joined(ComposeClear(1, 2, kNow)) + Stamps();
    // The corner put on the current screen is sent again first.
    const std::string corner = Joined(ComposeSend("Evening news", 1, 2, kNow));
    const std::string all = corner + expected;
    EXPECT_EQ(unit.Received(kGreeted.size() + all.size()).substr(kGreeted.size()), all);
    EXPECT_EQ(backup.Received(kGreeted.size() + all.size()), unit.Received(0));
    ASSERT_TRUE(Recorded(4));
    for (const UnitWrite& write : records) {
        EXPECT_TRUE(write.backup);
        EXPECT_TRUE(write.taken && write.backupTaken) << WriteKindName(write.kind);
    }
    EXPECT_TRUE(session.State().backup.live);
    EXPECT_EQ(session.State().backup.port, "COM2");
    EXPECT_EQ(session.State().backup.device, backup.Path());
}

TEST_F(Backup, AHungBackupNeitherHoldsTheMainLineNorItsRecordsForever) {
    ConnectBoth();
    backup.Stall();
    session.Put(1, ScreenChange{"Line after line of text", 1, 2}, WriteOrigin::Remote);
    const std::string sent = Joined(ComposeSend("Line after line of text", 1, 2, kNow));
    // Far more than the backup's queue holds: it fills, and the main line goes on alone.
    const std::size_t sends = TransmitRing::kCapacity / sent.size() + 4;
    std::size_t expected = kGreeted.size() + sent.size();  // with the corner's resend
    for (std::size_t i = 0; i < sends; ++i) {
        ASSERT_TRUE(session.Send(WriteOrigin::Key)) << session.Refusal();
        expected += sent.size();
        ASSERT_EQ(unit.Received(expected).size(), expected) << "send " << i;
    }
    ASSERT_TRUE(Recorded(sends + 1))
        << "a hung backup holds no record up for good: " << records.size() << " of " << sends + 1;
    EXPECT_TRUE(records.back().taken);
    EXPECT_FALSE(records.back().backupTaken);
    EXPECT_TRUE(session.State().backup.live) << "hung is not lost";
}

TEST_F(Backup, ABackupBackIsGivenWhatTheMainUnitShowsAndTheMainUnitNothingExtra) {
    ConnectBoth();
    session.Put(1, ScreenChange{"First", 1, 2}, WriteOrigin::Remote);
    ASSERT_TRUE(Recorded(1));
    backup.Unplug();
    ASSERT_TRUE(BackupIs(CPort::LineState::Lost));
    session.Tick();
    EXPECT_EQ(session.Message(), "Backup line down: " + backup.Shown());
    EXPECT_FALSE(session.State().backup.live);

    // Written while the backup is away: the main unit alone has it.
    session.Put(1, ScreenChange{"On air now", std::nullopt, std::nullopt}, WriteOrigin::Remote);
    ASSERT_TRUE(session.Send(WriteOrigin::Key));
    ASSERT_TRUE(Recorded(3));
    EXPECT_TRUE(records.back().taken);
    EXPECT_FALSE(records.back().backupTaken);
    const std::size_t mainBefore =
        kGreeted.size() + Joined(ComposeSend("First", 1, 2, kNow)).size() + Stamps().size() +
        Joined(ComposeSend("On air now", 1, 2, kNow)).size();
    ASSERT_EQ(unit.Received(mainBefore).size(), mainBefore);
    const std::size_t recordsBefore = records.size();
    const std::size_t backupBefore = backup.Received(0).size();

    backup.Plug();
    ASSERT_TRUE(RunUntil([&] {
        session.Tick();
        return session.State().backup.live && !session.Message().empty() &&
               session.Message().starts_with("Backup given");
    }));
    EXPECT_EQ(session.Message(), "Backup given the picture: " + backup.Shown());
    const std::string picture = Joined(ComposeSend("On air now", 1, 2, kNow));
    EXPECT_EQ(backup.Received(backupBefore + picture.size()).substr(backupBefore, picture.size()),
              picture)
        << "the on-air text, by itself, first";
    for (std::size_t i = recordsBefore; i < records.size(); ++i)
        EXPECT_EQ(records[i].kind, WriteKind::Tick) << "the catch-up is no write of the show";
    const std::size_t ticks = records.size() - recordsBefore;

    // From now on both are fed again; the main unit got its ticks and nothing else between.
    session.Clear(WriteOrigin::Key);
    const std::string cleared = Joined(ComposeClear(1, 2, kNow));
    std::string mainAfter;
    for (std::size_t i = 0; i < ticks; ++i) mainAfter += Stamps();
    mainAfter += cleared;
    EXPECT_EQ(unit.Received(mainBefore + mainAfter.size()).substr(mainBefore), mainAfter);
    const std::string backupAfter = picture + Stamps() + cleared;
    EXPECT_EQ(backup.Received(backupBefore + backupAfter.size()).substr(backupBefore), backupAfter);
}

TEST_F(Backup, ABackupPluggedBackIsGivenThePictureBetweenTheTicks) {
    ConnectBoth();
    // The main unit takes nothing more, so the Send is still on its way there when the backup
    // comes back: the backup is given it all the same.
    unit.Stall();
    session.Put(1, ScreenChange{"Between ticks", 0, 0}, WriteOrigin::Remote);
    ASSERT_TRUE(session.Send(WriteOrigin::Key));
    const std::string picture = Joined(ComposeSend("Between ticks", 0, 0, kNow));
    ASSERT_EQ(backup.Received(kGreeted.size() + picture.size()).size(),
              kGreeted.size() + picture.size());
    backup.Unplug();
    ASSERT_TRUE(BackupIs(CPort::LineState::Lost));
    session.Tick();
    backup.Plug();
    // No tick from here: the session looks again by itself.
    ASSERT_TRUE(RunUntil([&] { return session.Message().starts_with("Backup given"); }));
    EXPECT_EQ(backup.Received(kGreeted.size() + 2 * picture.size()).substr(kGreeted.size()),
              picture + picture);
}

TEST_F(Backup, ABackupAbsentAtStartIsTriedEachTickAndGivenTheClearedPicture) {
    std::filesystem::remove(backup.Path());
    UseBackup();
    ASSERT_EQ(Connect(), CCaptionSession::LineStart::Live);
    EXPECT_EQ(session.Message(), "Backup line down: " + backup.Shown());
    EXPECT_EQ(unit.Received(kGreeted.size()), kGreeted);
    session.Put(1, ScreenChange{std::nullopt, 1, 2}, WriteOrigin::Remote);
    session.Clear(WriteOrigin::Key);
    session.Tick();
    EXPECT_FALSE(session.State().backup.live);

    backup.Plug();
    ASSERT_TRUE(RunUntil([&] {
        session.Tick();
        return session.State().backup.live;
    }));
    const std::string picture = Joined(ComposeClear(1, 2, kNow)) + Stamps();
    EXPECT_EQ(backup.Received(picture.size()), picture) << "no greeting: the clear and stamps";
}

TEST_F(Backup, AMainLineDownStillFeedsTheBackup) {
    ConnectBoth();
    unit.Unplug();
    ASSERT_TRUE(LineIs(CPort::LineState::Lost));
    session.Put(1, ScreenChange{"Still on the backup", 0, 0}, WriteOrigin::Remote);
    EXPECT_FALSE(session.Send(WriteOrigin::Key)) << "the main line is down, and says so";
    EXPECT_EQ(session.Message(),
              "Line lost: " + unit.Shown() + " (the backup is still fed: " + backup.Shown() + ")");
    const std::string sent = Joined(ComposeSend("Still on the backup", 0, 0, kNow));
    EXPECT_EQ(backup.Received(kGreeted.size() + sent.size()).substr(kGreeted.size()), sent);
    ASSERT_TRUE(Recorded(1));
    EXPECT_FALSE(records.back().taken);
    EXPECT_TRUE(records.back().backupTaken);
}

TEST_F(Backup, ABackupOnTheMainDeviceOrOnNoDeviceIsRefusedAndTheMainRunsAlone) {
    // A by-id style link to the main unit's own device.
    const std::string link = unit.Path() + "-by-id";
    std::filesystem::create_symlink(unit.Path(), link);
    session.UseBackup(u"COM2", Mapping({{u"COM1", unit.Path()}, {u"COM2", link}}));
    EXPECT_EQ(session.Backup(), nullptr);
    EXPECT_EQ(session.State().backup.refusal,
              "Backup not used: COM2 is the main port's device (" + link + ")");
    std::filesystem::remove(link);

    session.UseBackup(u"COM7", Mapping({{u"COM1", unit.Path()}}));
    EXPECT_EQ(session.Backup(), nullptr);
    EXPECT_EQ(session.State().backup.refusal, "Backup not used: COM7 opens no device");

    ASSERT_EQ(Connect(), CCaptionSession::LineStart::Live);
    EXPECT_EQ(unit.Received(kGreeted.size()), kGreeted);
    EXPECT_EQ(session.Message(), "[" + session.State().backup.refusal + "]")
        << "said on the message line, through the session's voice";
    ASSERT_TRUE(Recorded(2));
    EXPECT_FALSE(records.back().backup) << "no backup line, no word of one";
}

TEST(BackupLine, TheMonitorSaysWhetherItIsLiveWhyItIsDownOrWhyItIsNotUsed) {
    EXPECT_EQ(BackupLineText({}), "") << "no backup, nothing said";
    EXPECT_EQ(BackupLineText({"COM2", "/dev/b", true, "", ""}), "Backup line live: /dev/b");
    EXPECT_EQ(BackupLineText({"COM2", "/dev/b", false, "No such file or directory", ""}),
              "Backup line down: /dev/b (No such file or directory)");
    EXPECT_EQ(BackupLineText({"", "", false, "", "Backup not used: COM9 opens no device"}),
              "Backup not used: COM9 opens no device");
}

}  // namespace
