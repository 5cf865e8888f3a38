#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <vector>

#include "RemoteApi.h"
#include "RemoteControl.h"
#include "StandInSession.h"

namespace remote {
namespace {

// A session that only notes what it is asked, to check the remote reaches the show through
// its commands alone and in their terms: screens 1 to 4, Windows-1252 texts as typed, the remote's
// origin.
class FakeSession : public StandInSession {
public:
    std::vector<std::string> calls;

    void Select(int screen) override { calls.push_back("select " + std::to_string(screen)); }
    void Put(int screen, const ScreenChange& change, WriteOrigin origin) override {
        Note("put " + std::to_string(screen) + " [" + change.text.value_or("-") + "] " +
                 std::to_string(change.dateCorner.value_or(-1)) + " " +
                 std::to_string(change.timeCorner.value_or(-1)),
             origin);
    }
    bool Send(WriteOrigin origin) override {
        Note("send", origin);
        return true;
    }
    void Clear(WriteOrigin origin) override { Note("clear", origin); }
    PlayResult Play(int screen, const ScreenContent& content, WriteOrigin origin, int cue,
                    bool) override {
        Note("play " + std::to_string(screen) + " [" + content.text + "] " +
                 std::to_string(content.dateCorner) + " " + std::to_string(content.timeCorner) +
                 " cue " + std::to_string(cue),
             origin);
        return PlayResult::Played;
    }
    SendPreview NextSend() const override { return PreviewSend("Next", 0, 0, 0); }

private:
    void Note(const std::string& call, WriteOrigin origin) {
        calls.push_back(call + (origin == WriteOrigin::Remote ? "" : " (not remote)"));
    }
};

TEST(RemoteControl, RequestsBecomeTheSessionsCommands) {
    FakeSession session;
    RemoteControl control(session);
    Request send{Action::Send, 3, {}};
    control.Run(send);
    control.Run(Request{Action::Send, 0, {}});
    control.Run(Request{Action::Clear, 0, {}});
    control.Run(Request{Action::SelectScreen, 2, {}});
    Request put{Action::PutScreen, 4, {}};
    put.edit.text = "W\xC3\xB6rld\r\n5 \xE2\x82\xAC \xE6\x97\xA5 e\xCC\x81";
    put.edit.time = 2;
    control.Run(put);
    EXPECT_EQ(session.calls,
              (std::vector<std::string>{"select 3", "send", "send", "clear", "select 2",
                                        "put 4 [W\xF6rld\n5 \x80 ? \xE9] -1 2"}));
    session.busy = true;
    EXPECT_TRUE(control.Busy());
}

TEST(RemoteControl, StatusSpeaksUtf8) {
    FakeSession session;
    session.state.screens[1] = {
        "Gr\xFC\xDF"
        "e\n\x80",
        1, 4};
    session.state.screen = 2;
    session.state.message = "Line lost: /dev/x";
    session.state.title = "Halvercrest Pexalune - untitled";
    session.state.live = true;
    UnitWrite send;
    send.origin = WriteOrigin::Key;
    send.screen = 2;
    send.text = "\x80 5";
    session.record.Record(send);
    const Status status = RemoteControl(session).CurrentStatus();
    EXPECT_FALSE(status.onAir.cleared);
    EXPECT_EQ(status.onAir.content.text, "\xE2\x82\xAC 5");
    EXPECT_EQ(status.onAir.origin, "key");
    EXPECT_EQ(status.screens[1].text,
              "Gr\xC3\xBC\xC3\x9F"
              "e\n\xE2\x82\xAC");
    EXPECT_EQ(status.screens[1].time, 4);
    EXPECT_EQ(status.screen, 2);
    EXPECT_TRUE(status.connected);
    EXPECT_EQ(status.next.size(), 19u);
    EXPECT_EQ(status.next[0].substr(0, 4), "Next");
}

// The push channel hears only what changed, and nothing once its last client has gone: a
// tick that changes nothing a panel shows must not reach every client each second.
TEST(RemoteControl, PushTellsWhatChangedWhileSomeoneListens) {
    FakeSession session;
    session.state.live = true;
    session.state.port = "COM1";
    session.state.device = "/dev/pts/7";
    RemoteControl control(session);
    std::vector<std::string> told;
    control.Push([&](const std::string& message) { told.push_back(message); });

    session.state.message = "Text too long!";
    session.state.title = "changed";
    session.Changed();
    UnitWrite tick;
    tick.kind = WriteKind::Tick;
    session.record.Record(tick);
    EXPECT_TRUE(told.empty());

    session.state.screen = 3;
    session.state.modified = true;
    session.state.clockSynchronised = false;
    session.Changed();
    session.state.live = false;
    session.state.lost = true;
    session.state.lineText = "Line lost: /dev/pts/7";
    session.state.lineReason = "No such file or directory";
    session.Changed();
    session.state.live = true;
    session.state.lost = false;
    session.state.lineText.clear();
    session.Changed();
    UnitWrite send;
    send.origin = WriteOrigin::Remote;
    send.screen = 3;
    send.text = "\x80 5\r\n\"x\"";
    send.timeCorner = 2;
    session.record.Record(send);
    send.taken = false;
    session.record.Record(send);
    UnitWrite clear;
    clear.kind = WriteKind::Clear;
    clear.origin = WriteOrigin::Key;
    session.record.Record(clear);
    ASSERT_EQ(told.size(), 7u);
    EXPECT_EQ(told[0], R"({"screen":3,"type":"screen"})");
    EXPECT_EQ(told[1], R"({"modified":true,"type":"modified"})");
    EXPECT_EQ(told[2], R"({"clock":"not synchronised","type":"clock"})");
    told.erase(told.begin() + 2);
    EXPECT_EQ(told[2], R"({"connected":false,"device":"/dev/pts/7","line":"main","port":"COM1",)"
                       R"("reason":"No such file or directory",)"
                       R"("state":"lost","text":"Line lost: /dev/pts/7","type":"line"})");
    EXPECT_NE(told[3].find(R"("state":"back")"), std::string::npos) << told[3];
    EXPECT_NE(told[4].find(R"("kind":"send","on_air":{"cleared":false,"date":0,"origin":"remote",)"
                           R"("screen":3,"text":")"
                           "\xE2\x82\xAC"
                           R"( 5\r\n\"x\"","time":2},"type":"on_air"})"),
              std::string::npos)
        << told[4];
    EXPECT_NE(told[5].find(R"("kind":"clear","on_air":{"cleared":true,)"), std::string::npos)
        << told[5];
    EXPECT_NE(told[5].find(R"("origin":"key")"), std::string::npos) << told[5];

    control.Push(nullptr);
    EXPECT_TRUE(session.listeners.empty());
    session.state.screen = 1;
    session.Changed();
    session.record.Record(send);
    EXPECT_EQ(told.size(), 6u);
}

TEST(RemoteControl, StatusSaysWhetherTheClockCanBeTrusted) {
    FakeSession session;
    const struct {
        bool synchronised, known;
        const char* said;
    } cases[] = {
        {true, true, "synchronised"}, {false, true, "not synchronised"}, {true, false, "unknown"}};
    for (const auto& c : cases) {
        session.state.clockSynchronised = c.synchronised;
        session.state.clockKnown = c.known;
        const QJsonObject json =
            QJsonDocument::fromJson(
                QByteArray::fromStdString(StatusJson(RemoteControl(session).CurrentStatus())))
                .object();
        EXPECT_EQ(json.value(QStringLiteral("clock")).toString().toStdString(), c.said);
    }
}

// The backup unit's line is told apart from the main one's, in the status and on the push
// channel; a show without one says null.
TEST(RemoteControl, TheBackupLineIsToldApartFromTheMainOne) {
    FakeSession session;
    const auto backupOf = [&] {
        return QJsonDocument::fromJson(
                   QByteArray::fromStdString(StatusJson(RemoteControl(session).CurrentStatus())))
            .object()
            .value(QStringLiteral("backup"));
    };
    EXPECT_TRUE(backupOf().isNull());
    session.state.backup.refusal = "Backup not used: COM1 is the main port's device (/dev/a)";
    EXPECT_EQ(backupOf().toObject().value(QStringLiteral("reason")).toString().toStdString(),
              session.state.backup.refusal);
    session.state.backup = {"COM2", "/dev/pts/9", true, "", ""};
    EXPECT_EQ(QJsonDocument(backupOf().toObject()).toJson(QJsonDocument::Compact).toStdString(),
              R"({"device":"/dev/pts/9","live":true,"port":"COM2","reason":""})");

    RemoteControl control(session);
    std::vector<std::string> told;
    control.Push([&](const std::string& message) { told.push_back(message); });
    session.state.backup.live = false;
    session.state.backup.reason = "Input/output error";
    session.Changed();
    session.state.backup.live = true;
    session.state.backup.reason.clear();
    session.Changed();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0], R"({"connected":false,"device":"/dev/pts/9","line":"backup","port":"COM2",)"
                       R"("reason":"Input/output error","state":"lost","type":"line"})");
    EXPECT_NE(told[1].find(R"("line":"backup")"), std::string::npos) << told[1];
    EXPECT_NE(told[1].find(R"("state":"back")"), std::string::npos) << told[1];
}

// The cue calls answer the list's state or a refusal the panel can show; a take reaches the
// window as a put, a select and a Send of the cue screen.
TEST(RemoteControl, CueCallsRunTheListOrSayWhyNot) {
    FakeSession session;
    RemoteControl control(session);
    const auto refusal = [&](const Request& request) {
        const auto answer = control.RunCues(request);
        const Refusal* refused = std::get_if<Refusal>(&answer);
        return refused ? std::to_string(refused->status) + " " + refused->reason : "answered";
    };
    Request take{Action::CueTake, 0, {}};
    EXPECT_EQ(refusal(take), "409 no cue list is open");
    CueDeck deck(session);
    control.ServeCues(&deck);
    std::vector<std::string> told;
    control.Push([&](const std::string& message) { told.push_back(message); });
    const auto state = control.RunCues(Request{Action::Cues, 0, {}});
    ASSERT_TRUE(std::holds_alternative<std::string>(state));
    EXPECT_NE(std::get<std::string>(state).find(R"("count":0)"), std::string::npos);
    EXPECT_EQ(refusal(Request{Action::CueNext, 0, {}}), "409 no cue list is open");

    Cue cue;
    cue.number = 1;
    cue.text = "Gr\xFC\xDF";
    cue.timeCorner = 2;
    deck.Replace("/show.csv", {cue, cue}, false);
    take.cue = 3;
    EXPECT_EQ(refusal(take), "400 cue must be 1 to 2");
    take.cue = 0;
    const auto taken = control.RunCues(take);
    ASSERT_TRUE(std::holds_alternative<std::string>(taken));
    EXPECT_NE(std::get<std::string>(taken).find(R"("next":2,"next_text":"Grüß")"),
              std::string::npos)
        << std::get<std::string>(taken);
    // The panel hears of the list, and of the take's markers.
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back().rfind(R"({"type":"cue",)", 0), 0u) << told.back();
    EXPECT_NE(told.back().find(R"("next":2)"), std::string::npos) << told.back();
    EXPECT_EQ(session.calls,
              (std::vector<std::string>{"play 4 [Gr\xFC\xDF] 0 2 cue 1 (not remote)"}));
    EXPECT_EQ(refusal(take), "answered");
    EXPECT_EQ(refusal(take), "409 the list is at its end");
    session.busy = true;
    EXPECT_EQ(refusal(Request{Action::CueTake, 1, {}, 1}), "409 a dialog is open in the program");
    // The list goes first here: the interface lets go of it, as the window's does at close.
    control.ServeCues(nullptr);
}

// The automation switch is the deck's; the status and the push channel tell it and what fires
// next, and a take repeated within the guard is refused with the reason.
TEST(RemoteControl, AutomationSwitchIsToldAndARepeatedTakeIs409) {
    FakeSession session;
    // The deck outlives the remote that listens to it, as in the program.
    CueDeck deck(session);
    RemoteControl control(session);
    EXPECT_EQ(control.Run(Request{Action::Automation, 0, {}, 0, true})->status, 409);
    control.ServeCues(&deck);
    std::vector<std::string> told;
    control.Push([&](const std::string& message) { told.push_back(message); });
    Cue cue;
    cue.number = 1;
    cue.text = "x";
    cue.at = 23 * 3600 + 59 * 60 + 59;
    deck.Replace("/show.csv", {cue}, false);
    const auto automation = [&] {
        return QJsonDocument::fromJson(
                   QByteArray::fromStdString(StatusJson(control.CurrentStatus())))
            .object()["automation"]
            .toObject();
    };
    // Unless the test runs in the day's last second, 23:59:59 is still to come.
    if (!deck.Timer().Upcoming()) GTEST_SKIP() << "run in the day's last second";
    EXPECT_FALSE(automation()["held"].toBool());
    EXPECT_EQ(automation()["next"].toObject()["action"].toString(), "take");
    EXPECT_EQ(automation()["next"].toObject()["at"].toString(), "23:59:59");

    told.clear();
    EXPECT_EQ(control.Run(Request{Action::Automation, 0, {}, 0, true}), std::nullopt);
    EXPECT_TRUE(deck.Timer().Held());
    EXPECT_TRUE(automation()["held"].toBool());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].rfind(R"({"automation":{"held":true,)", 0), 0u) << told[1];
    // The same again changes nothing and tells nothing of the automation.
    control.Run(Request{Action::Automation, 0, {}, 0, true});
    EXPECT_EQ(told.size(), 2u);

    Request take{Action::CueTake, 0, {}, 1};
    EXPECT_TRUE(std::holds_alternative<std::string>(control.RunCues(take)));
    const auto again = control.RunCues(take);
    ASSERT_TRUE(std::holds_alternative<Refusal>(again));
    EXPECT_EQ(std::get<Refusal>(again).status, 409);
    EXPECT_NE(std::get<Refusal>(again).reason.find("less than 500 ms"), std::string::npos);
    EXPECT_EQ(session.calls.size(), 1u);
}

TEST(RemoteControl, ACueFilledFromATemplateShowsFilledOrIsRefusedWithTheReason) {
    FakeSession session;
    RemoteControl control(session);
    CueDeck deck(session);
    control.ServeCues(&deck);
    session.state.screens[2] = ScreenContent{"{Name}\n{Title}", 0, 0};
    deck.Replace("/people.csv",
                 ReadCueList("Name,Title\nAda,Engineer\n", Cp1252FromUtf8, false).cues, false);
    deck.SetTemplate(3);
    const auto state = control.RunCues(Request{Action::Cues, 0, {}});
    ASSERT_TRUE(std::holds_alternative<std::string>(state));
    EXPECT_NE(std::get<std::string>(state).find(R"("next_text":"Ada")"), std::string::npos)
        << std::get<std::string>(state);

    session.state.screens[2].text = "{Name} {Company}";
    const auto answer = control.RunCues(Request{Action::CueTake, 0, {}});
    const Refusal* refused = std::get_if<Refusal>(&answer);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->status, 409);
    EXPECT_EQ(refused->reason, "no column is named Company for the template");
    EXPECT_TRUE(session.calls.empty());
    control.ServeCues(nullptr);
}

}  // namespace
}  // namespace remote
