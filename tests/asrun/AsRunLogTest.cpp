#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <vector>

#include "AsRunLog.h"
#include "AsRunText.h"
#include "StandInSession.h"
#include "TempFolder.h"

namespace {

using namespace std::chrono_literals;

// A window with an on-air record, and nothing else: the port comes with each write.
using FakeSession = StandInSession;

std::vector<QJsonObject> ReadDay(const std::filesystem::path& folder, const std::string& day) {
    std::ifstream in(folder / (day + ".jsonl"));
    std::vector<QJsonObject> entries;
    for (std::string line; std::getline(in, line);) {
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        EXPECT_TRUE(document.isObject()) << line;
        entries.push_back(document.object());
    }
    return entries;
}

constexpr WriteOrigin kProgram = WriteOrigin::Program;

UnitWrite Write(WriteKind kind, WriteOrigin origin, int screen,
                std::chrono::system_clock::time_point time) {
    UnitWrite write;
    write.kind = kind;
    write.origin = origin;
    write.screen = screen;
    write.time = time;
    write.port = "COM2";
    write.device = "/dev/pts/7";
    return write;
}

// Every write but the ticks is one line with its fields; a refused one says so, a cue only
// where there is one, and a Windows-1252 text with quotes and control characters comes
// back as its own characters.
TEST(AsRunLog, EachWriteIsOneLineReadBackWithItsFields) {
    TempFolder folder;
    FakeSession session;
    CAsRunLog log(session, folder.path);
    const auto now = std::chrono::system_clock::now();
    OnAirRecord& record = session.record;
    record.Record(Write(WriteKind::Greeting, kProgram, 0, now));
    UnitWrite send = Write(WriteKind::Send, WriteOrigin::Key, 2, now);
    send.text = "Say \"hi\" \\ \x80 5\tx\x01\x7F\r\nline2 \xE9";
    send.dateCorner = 1;
    send.timeCorner = 4;
    record.Record(send);
    record.Record(Write(WriteKind::Tick, kProgram, 2, now + 1s));
    UnitWrite refused = Write(WriteKind::Send, WriteOrigin::Remote, 3, now + 2s);
    refused.taken = false;
    refused.sent = 399;  // cut short: the line took only these
    record.Record(refused);
    UnitWrite cue = Write(WriteKind::CornerResend, WriteOrigin::Cue, 1, now + 3s);
    cue.cue = 12;
    record.Record(cue);
    record.Record(Write(WriteKind::Clear, WriteOrigin::Strip, 1, now + 4s));

    const std::vector<QJsonObject> lines = ReadDay(folder.path, AsRunTimeOf(now).day);
    ASSERT_EQ(lines.size(), 5u);
    std::vector<std::string> summary;
    for (const QJsonObject& line : lines)
        summary.push_back((line["kind"].toString() + "/" + line["origin"].toString() + "/" +
                           QString::number(line["screen"].toInt()) + "/" +
                           (line["taken"].toBool() ? "taken" : "refused") + "/" +
                           (line.contains("cue") ? QString::number(line["cue"].toInt()) : "-"))
                              .toStdString());
    EXPECT_EQ(summary, (std::vector<std::string>{"greeting/program/0/taken/-", "send/key/2/taken/-",
                                                 "send/remote/3/refused/-", "corner/cue/1/taken/12",
                                                 "clear/strip/1/taken/-"}));
    EXPECT_EQ(lines[2]["bytes"].toInt(), 399);
    const QJsonObject& sent = lines[1];
    EXPECT_EQ(sent["text"].toString().toStdString(),
              "Say \"hi\" \\ \u20AC 5\tx\x01\x7F\r\nline2 \u00E9");
    EXPECT_EQ(sent.keys().join(',').toStdString(),
              "date,device,kind,local,origin,port,screen,taken,text,time,utc");
    EXPECT_EQ(sent["date"].toInt() * 10 + sent["time"].toInt(), 14);
    EXPECT_EQ(sent["port"].toString() + " " + sent["device"].toString(), "COM2 /dev/pts/7");
    const AsRunTime time = AsRunTimeOf(now);
    EXPECT_EQ((sent["utc"].toString() + " " + sent["local"].toString()).toStdString(),
              time.utc + " " + time.local);
}

// A timed cue's write is the origin auto's; a timed cue that did not fire is a line of its own
// with the reason as its text, which the report shows as any text.
TEST(AsRunLog, TimedWritesAreAutoAndSkippedCuesAreLogged) {
    TempFolder folder;
    FakeSession session;
    CAsRunLog log(session, folder.path);
    const auto now = std::chrono::system_clock::now();
    UnitWrite timed = Write(WriteKind::Send, WriteOrigin::Auto, 4, now);
    timed.cue = 7;
    session.record.Record(timed);
    log.Skipped(3, "its time 09:00:00 had passed when the list was opened");
    const std::vector<QJsonObject> lines = ReadDay(folder.path, AsRunTimeOf(now).day);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["origin"].toString() + "/" + QString::number(lines[0]["cue"].toInt()),
              "auto/7");
    EXPECT_EQ(lines[1]["kind"].toString() + "/" + lines[1]["origin"].toString() + "/" +
                  QString::number(lines[1]["cue"].toInt()) + "/" + lines[1]["text"].toString(),
              "skip/auto/3/its time 09:00:00 had passed when the list was opened");
}

// With a backup line, each write says whether that line took it too, beside the main's word.
TEST(AsRunLog, AWriteToTwoLinesSaysWhichTookIt) {
    TempFolder folder;
    FakeSession session;
    CAsRunLog log(session, folder.path);
    const auto now = std::chrono::system_clock::now();
    UnitWrite both = Write(WriteKind::Send, WriteOrigin::Key, 1, now);
    both.backup = both.backupTaken = true;
    session.record.Record(both);
    UnitWrite mainOnly = Write(WriteKind::Clear, WriteOrigin::Key, 1, now);
    mainOnly.backup = true;
    session.record.Record(mainOnly);
    const std::vector<QJsonObject> lines = ReadDay(folder.path, AsRunTimeOf(now).day);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0]["taken"].toBool() && lines[0]["backup_taken"].toBool());
    EXPECT_TRUE(lines[1]["taken"].toBool());
    EXPECT_EQ(lines[1]["backup_taken"], QJsonValue(false));
}

// Quotes, backslashes and control characters escaped; what is no valid UTF-8 (a stray byte,
// an overlong form, a surrogate, a sequence cut short) becomes U+FFFD, so the line stays
// valid UTF-8 whatever a device path holds.
TEST(AsRunLog, JsonStringsEscapeAwkwardTextToValidUtf8) {
    std::string out;
    AppendJsonString(out, "a\"b\\c\n\r\t\x01\x1F\x7F \xE2\x82\xAC \xF0\x9F\x8E\xAC \xE2\x80\xA8");
    EXPECT_EQ(out,
              "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f\\u007f \xE2\x82\xAC \xF0\x9F\x8E\xAC "
              "\\u2028\"");
    out.clear();
    AppendJsonString(out, "\xC3\x28|\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80|\xE2\x82");
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(out, "\"" + bad + "(|" + bad + bad + "|" + bad + bad + bad + "|" + bad + bad + bad +
                       bad + "|" + bad + bad + "\"");
}

// The wall clock against the steady one: ordinary ticks and a little drift say nothing; a
// clock set by hand and a change of offset each say once, with the reading before.
TEST(AsRunLog, ClockJumpsAreToldOnceAndOrdinaryTicksNever) {
    ClockJumpWatch watch;
    const auto steady = std::chrono::steady_clock::now();
    const auto wall = std::chrono::system_clock::now();
    EXPECT_FALSE(watch.Tick({steady, wall, 3600}));
    EXPECT_FALSE(watch.Tick({steady + 1s, wall + 1s, 3600}));
    EXPECT_FALSE(watch.Tick({steady + 2s, wall + 3500ms, 3600}));  // 1.5 s off
    EXPECT_FALSE(watch.Tick({steady + 3s, wall + 3s, 3600}));      // and back
    const std::optional<ClockReading> set = watch.Tick({steady + 4s, wall + 1h, 3600});
    ASSERT_TRUE(set);
    EXPECT_EQ(set->wall, wall + 3s);
    EXPECT_FALSE(watch.Tick({steady + 5s, wall + 1h + 1s, 3600}));
    EXPECT_TRUE(watch.Tick({steady + 6s, wall + 1h + 2s, 7200}));
    EXPECT_FALSE(watch.Tick({steady + 7s, wall + 1h + 3s, 7200}));

    // Summer time ends at 01:00 UTC on 25 October 2026 in central Europe.
    const char* oldZone = std::getenv("TZ");
    const std::string kept = oldZone ? oldZone : "";
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    TempFolder folder;
    FakeSession session;
    {
        CAsRunLog log(session, folder.path);
        const std::chrono::system_clock::time_point change =
            std::chrono::sys_days{std::chrono::year{2026} / 10 / 25} + 1h;
        for (const auto at : {change - 2s, change - 1s, change, change + 1s})
            session.record.Record(Write(WriteKind::Tick, kProgram, 1, at));
    }
    oldZone ? ::setenv("TZ", kept.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
    const std::vector<QJsonObject> lines = ReadDay(folder.path, "2026-10-25");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(
        QJsonDocument(lines[0]).toJson(QJsonDocument::Compact),
        R"({"after":"2026-10-25T02:00:00.000+01:00","before":"2026-10-25T02:59:59.000+02:00",)"
        R"("kind":"clock","local":"2026-10-25T02:00:00.000+01:00","utc":"2026-10-25T01:00:00.000Z"})");
}

// The window is told when the log cannot be written, and the notice goes as soon as a line is
// written again.
TEST(AsRunLog, TheNoticeGoesWhenTheLogIsWrittenAgain) {
    struct NoticeSession : FakeSession {
        std::vector<std::string> told;
        void ShowNotice(const std::string& text) override { told.push_back("show " + text); }
        void DropNotice(const std::string& text) override { told.push_back("drop " + text); }
    } session;
    TempFolder folder;
    const auto now = std::chrono::system_clock::now();
    const std::filesystem::path day = folder.path / (AsRunTimeOf(now).day + ".jsonl");
    std::filesystem::create_directories(day);
    CAsRunLog log(session, folder.path);
    ::testing::internal::CaptureStderr();
    session.record.Record(Write(WriteKind::Clear, kProgram, 1, now));
    session.record.Record(Write(WriteKind::Clear, kProgram, 1, now));
    std::filesystem::remove(day);
    session.record.Record(Write(WriteKind::Clear, kProgram, 1, now));
    session.record.Record(Write(WriteKind::Clear, kProgram, 1, now));
    ::testing::internal::GetCapturedStderr();
    const std::string notice = "As-run log not written: it is a folder, not a day file";
    EXPECT_EQ(session.told, (std::vector<std::string>{"show " + notice, "drop " + notice}));
    EXPECT_EQ(ReadDay(folder.path, AsRunTimeOf(now).day).size(), 2u);
}

}  // namespace
