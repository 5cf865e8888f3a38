// OSC as the listener takes it: packets and bundles, the command table with its types, the
// commands as the session's own, the sender rules and the feedback told.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "OscCommands.h"
#include "OscFeedback.h"
#include "OscPacket.h"
#include "OscRules.h"
#include "StandInSession.h"

namespace osc {
namespace {

Argument Float(float value) {
    Argument argument;
    argument.type = 'f';
    argument.real = value;
    return argument;
}

std::string BigEndian(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string Bundle(const std::vector<std::string>& elements) {
    std::string bundle("#bundle\0\0\0\0\0\0\0\0\1", 16);
    for (const std::string& element : elements)
        bundle += BigEndian(static_cast<std::uint32_t>(element.size())) + element;
    return bundle;
}

std::vector<Message> Decoded(const std::string& packet, bool& ok) {
    std::vector<Message> messages;
    ok = DecodePacket(packet.data(), packet.size(), messages);
    return messages;
}

std::string Describe(const Message& message) {
    std::string text = message.address;
    for (const Argument& argument : message.arguments)
        text += " " + std::string(1, argument.type) + ":" +
                (argument.type == 's'   ? argument.text
                 : argument.type == 'f' ? std::to_string(argument.real)
                                        : std::to_string(argument.integer));
    return text;
}

TEST(OscPacket, MessagesAndBundlesComeOutInOrderAndAnyBadPartRefusesTheWhole) {
    const std::string text = EncodeMessage({"/tessora/text", {Int(2), Text("H\xC3\xA9llo")}});
    const std::string send = EncodeMessage({"/tessora/send", {}});
    const std::string take = EncodeMessage({"/tessora/cue/take", {Float(3)}});
    bool ok = false;
    auto messages = Decoded(text, ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(Describe(messages[0]), "/tessora/text i:2 s:H\xC3\xA9llo");

    messages = Decoded(Bundle({text, Bundle({send}), take}), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].address, "/tessora/text");
    EXPECT_EQ(messages[1].address, "/tessora/send");
    EXPECT_EQ(messages[2].address, "/tessora/cue/take");

    // An element running past the end, a truncated message, a size that is no multiple of
    // four, junk, bundles nested past reason and a packet over the limit: nothing at all.
    std::string overrun = Bundle({text, send});
    overrun.resize(overrun.size() - 4);
    std::string deep = send;
    for (int level = 0; level < 20; ++level) deep = Bundle({deep});
    const std::string junk(64, '\x7f');
    for (const std::string& bad : {overrun, text.substr(0, text.size() - 4), text + "x", junk, deep,
                                   Bundle({text, std::string(4, '\0')}),
                                   std::string(kMaxPacketBytes + 4, '\0'), std::string()}) {
        EXPECT_TRUE(Decoded(bad, ok).empty());
        EXPECT_FALSE(ok);
    }
}

std::string CommandText(const Message& message) {
    const std::optional<Command> command = CommandOf(message);
    if (!command) return "refused";
    return std::to_string(static_cast<int>(command->kind)) + " s" +
           std::to_string(command->screen) + " [" + command->text + "] " +
           std::to_string(command->date) + std::to_string(command->time) + " c" +
           std::to_string(command->cue);
}

TEST(OscCommands, TheTableTakesIntsAndWholeFloatsAndRefusesWrongTypesAndRanges) {
    Argument hex;
    hex.type = 'h';
    hex.integer = 3;
    Argument dbl;
    dbl.type = 'd';
    dbl.real = 2.0;
    Argument blob;
    blob.type = 'b';
    const struct {
        Message message;
        std::string expected;
    } cases[] = {
        {{"/tessora/screen", {Int(3)}}, "0 s3 [] 00 c0"},
        {{"/tessora/screen", {Float(2.0f)}}, "0 s2 [] 00 c0"},
        {{"/tessora/screen", {hex}}, "0 s3 [] 00 c0"},
        {{"/tessora/screen", {dbl}}, "0 s2 [] 00 c0"},
        {{"/tessora/screen", {Float(2.5f)}}, "refused"},
        {{"/tessora/screen", {Int(0)}}, "refused"},
        {{"/tessora/screen", {Int(5)}}, "refused"},
        {{"/tessora/screen", {Text("1")}}, "refused"},
        {{"/tessora/screen", {blob}}, "refused"},
        {{"/tessora/screen", {}}, "refused"},
        {{"/tessora/text", {Int(4), Text("Hi")}}, "1 s4 [Hi] 00 c0"},
        {{"/tessora/text", {Text("Hi"), Int(4)}}, "refused"},
        {{"/tessora/text", {Int(4)}}, "refused"},
        {{"/tessora/corners", {Int(1), Float(3), Int(4)}}, "2 s1 [] 34 c0"},
        {{"/tessora/corners", {Int(1), Int(5), Int(0)}}, "refused"},
        {{"/tessora/corners", {Int(1), Int(2)}}, "refused"},
        {{"/tessora/send", {}}, "3 s0 [] 00 c0"},
        {{"/tessora/send", {Float(4)}}, "3 s4 [] 00 c0"},
        {{"/tessora/send", {Int(1), Int(2)}}, "refused"},
        {{"/tessora/clear", {}}, "4 s0 [] 00 c0"},
        {{"/tessora/clear", {Int(1)}}, "refused"},
        {{"/tessora/cue/take", {}}, "5 s0 [] 00 c0"},
        {{"/tessora/cue/take", {Int(12)}}, "5 s0 [] 00 c12"},
        {{"/tessora/cue/take", {Int(0)}}, "refused"},
        {{"/tessora/cue/take", {Float(-1)}}, "refused"},
        {{"/tessora/cue/next", {}}, "6 s0 [] 00 c0"},
        {{"/tessora/cue/previous", {}}, "7 s0 [] 00 c0"},
        {{"/tessora/cue/previous", {Int(1)}}, "refused"},
        {{"/tessora/Send", {}}, "refused"},
        {{"/tessora/send/", {}}, "refused"},
        {{"/tessora", {}}, "refused"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(CommandText(test.message), test.expected) << Describe(test.message);
}

// Notes each command with its origin; records writes as the session does.
class FakeSession : public StandInSession {
public:
    std::vector<std::string> calls;

    void Select(int screen) override { calls.push_back("select " + std::to_string(screen)); }
    void Put(int screen, const ScreenChange& change, WriteOrigin origin) override {
        calls.push_back("put " + std::to_string(screen) + " [" + change.text.value_or("-") + "] " +
                        std::to_string(change.dateCorner.value_or(-1)) + " " +
                        std::to_string(change.timeCorner.value_or(-1)) + " " +
                        WriteOriginName(origin));
    }
    bool Send(WriteOrigin origin) override {
        calls.push_back(std::string("send ") + WriteOriginName(origin));
        return refusal.empty();
    }
    void Clear(WriteOrigin origin) override {
        calls.push_back(std::string("clear ") + WriteOriginName(origin));
    }
    PlayResult Play(int screen, const ScreenContent& content, WriteOrigin origin, int cue,
                    bool replaceTyped) override {
        if (handTyped && !replaceTyped) return PlayResult::HandTyped;
        calls.push_back("play " + std::to_string(screen) + " [" + content.text + "] cue " +
                        std::to_string(cue));
        UnitWrite write;
        write.origin = origin;
        write.cue = cue;
        write.screen = screen;
        write.text = content.text;
        record.Record(write);
        return PlayResult::Played;
    }
    bool handTyped = false;
};

Outcome RunMessage(const Message& message, FakeSession& session, CueDeck* cues) {
    const std::optional<Command> command = CommandOf(message);
    EXPECT_TRUE(command) << Describe(message);
    return command ? Run(*command, session, cues) : "no command";
}

TEST(OscCommands, RunAsTheSessionsCommandsWithTheOscOriginAndNotWhileBusy) {
    FakeSession session;
    CueDeck deck(session);
    EXPECT_EQ(
        RunMessage({"/tessora/text", {Int(2), Text("W\xC3\xB6rld\r\n\xE2\x82\xAC \xE6\x97\xA5")}},
                   session, &deck),
        "");
    EXPECT_EQ(RunMessage({"/tessora/corners", {Int(2), Int(1), Int(4)}}, session, &deck), "");
    EXPECT_EQ(RunMessage({"/tessora/send", {Int(2)}}, session, &deck), "");
    EXPECT_EQ(RunMessage({"/tessora/clear", {}}, session, &deck), "");
    EXPECT_EQ(RunMessage({"/tessora/screen", {Int(3)}}, session, &deck), "");
    const std::vector<std::string> expected{"put 2 [W\xF6rld\n\x80 ?] -1 -1 osc",
                                            "put 2 [-] 1 4 osc",
                                            "select 2",
                                            "send osc",
                                            "clear osc",
                                            "select 3"};
    EXPECT_EQ(session.calls, expected);

    // The line had no room: the Send's refusal is told back.
    session.calls.clear();
    session.refusal = "Line busy";
    EXPECT_EQ(RunMessage({"/tessora/send", {}}, session, &deck), "Line busy");
    session.refusal.clear();

    // Busy: nothing runs at all, not even a select.
    session.calls.clear();
    session.busy = true;
    for (const Message& message : std::vector<Message>{{"/tessora/screen", {Int(1)}},
                                                       {"/tessora/send", {Int(1)}},
                                                       {"/tessora/clear", {}},
                                                       {"/tessora/text", {Int(1), Text("x")}}})
        EXPECT_NE(RunMessage(message, session, &deck), "");
    EXPECT_TRUE(session.calls.empty());
}

std::vector<Cue> Cues(int count) {
    std::vector<Cue> cues;
    for (int i = 1; i <= count; ++i) {
        Cue cue;
        cue.number = i;
        cue.text = "Cue " + std::to_string(i) + "\nsecond line";
        cues.push_back(cue);
    }
    return cues;
}

TEST(OscCommands, CueTakesMoveTheListAndItsGuardsAreTold) {
    FakeSession session;
    EXPECT_EQ(RunMessage({"/tessora/cue/take", {}}, session, nullptr), "no cue list is open");
    CueDeck deck(session);
    EXPECT_EQ(RunMessage({"/tessora/cue/next", {}}, session, &deck), "no cue list is open");
    deck.Replace("/show.csv", Cues(3), false);
    EXPECT_EQ(RunMessage({"/tessora/cue/next", {}}, session, &deck), "");
    EXPECT_EQ(deck.Next(), 2);
    EXPECT_EQ(RunMessage({"/tessora/cue/previous", {}}, session, &deck), "");
    EXPECT_EQ(deck.Next(), 1);
    EXPECT_EQ(RunMessage({"/tessora/cue/take", {}}, session, &deck), "");
    EXPECT_EQ(RunMessage({"/tessora/cue/take", {Int(3)}}, session, &deck), "");
    EXPECT_EQ(RunMessage({"/tessora/cue/take", {Int(9)}}, session, &deck), "no such cue");
    EXPECT_EQ(RunMessage({"/tessora/cue/take", {}}, session, &deck), "the list is at its end");
    session.handTyped = true;
    deck.SetNext(1);
    EXPECT_NE(RunMessage({"/tessora/cue/take", {}}, session, &deck), "");
    const std::vector<std::string> expected{"play 4 [Cue 1\nsecond line] cue 1",
                                            "play 4 [Cue 3\nsecond line] cue 3"};
    EXPECT_EQ(session.calls, expected);
    session.busy = true;
    session.handTyped = false;
    EXPECT_NE(RunMessage({"/tessora/cue/take", {Int(1)}}, session, &deck), "");
    EXPECT_EQ(session.calls.size(), 2u);
}

TEST(OscRules, SettingsAreReadAndWhatCannotBeUsedIsToldAndLeftOut) {
    std::vector<std::string> problems;
    EXPECT_FALSE(ReadRules({}, problems));
    EXPECT_FALSE(ReadRules({"0", "", {}, {}}, problems));
    EXPECT_TRUE(problems.empty());
    EXPECT_FALSE(ReadRules({"9000x", "", {}, {}}, problems));
    EXPECT_FALSE(ReadRules({"70000", "", {}, {}}, problems));
    EXPECT_FALSE(ReadRules({"-1", "", {}, {}}, problems));
    EXPECT_EQ(problems.size(), 3u);

    problems.clear();
    const auto rules = ReadRules({"9000",
                                  "studio-pc",
                                  {"10.0.0.5", "desk", "::1"},
                                  {"10.0.0.5:53001", "[::1]:9001", "noport", "h:0", "a:b:1"}},
                                 problems);
    ASSERT_TRUE(rules);
    EXPECT_EQ(rules->port, 9000);
    EXPECT_EQ(rules->address, "");  // a name is no address: loopback only
    EXPECT_EQ(rules->allow, (std::vector<std::string>{"10.0.0.5", "::1"}));
    ASSERT_EQ(rules->feedback.size(), 2u);
    EXPECT_EQ(rules->feedback[0].host, "10.0.0.5");
    EXPECT_EQ(rules->feedback[0].port, 53001);
    EXPECT_EQ(rules->feedback[1].host, "::1");
    EXPECT_EQ(rules->feedback[1].port, 9001);
    EXPECT_EQ(problems.size(), 5u);
}

TEST(OscRules, LoopbackByDefaultAndOnlyTheListedOnAStudioAddress) {
    Rules rules;
    for (const char* sender : {"127.0.0.1", "127.3.2.1", "::1", "::ffff:127.0.0.1"})
        EXPECT_TRUE(SenderAllowed(rules, sender)) << sender;
    for (const char* sender : {"10.0.0.5", "::2", "", "localhost", "128.0.0.1"})
        EXPECT_FALSE(SenderAllowed(rules, sender)) << sender;
    rules.allow = {"10.0.0.5"};
    EXPECT_TRUE(SenderAllowed(rules, "10.0.0.5"));
    EXPECT_TRUE(SenderAllowed(rules, "::ffff:10.0.0.5"));
    EXPECT_FALSE(SenderAllowed(rules, "10.0.0.50"));

    rules.address = "10.0.0.2";
    EXPECT_TRUE(SenderAllowed(rules, "10.0.0.5"));
    EXPECT_FALSE(SenderAllowed(rules, "127.0.0.1"));
    EXPECT_FALSE(SenderAllowed(rules, "10.0.0.2"));
}

UnitWrite Write(WriteKind kind, bool taken = true) {
    UnitWrite write;
    write.kind = kind;
    write.taken = taken;
    write.screen = 2;
    write.text = "Caf\xE9";
    return write;
}

TEST(OscFeedback, WritesAndChangesAreToldOnceAndNeverForATick) {
    FakeSession session;
    CueDeck deck(session);
    std::vector<std::string> told;
    {
        Feedback feedback(session, &deck, [&told](const Message& message) {
            told.push_back(Describe(message));
            // Each message must survive the trip to the wire and back.
            bool ok = false;
            const auto back = Decoded(EncodeMessage(message), ok);
            EXPECT_TRUE(ok && back.size() == 1 && Describe(back[0]) == Describe(message));
        });
        session.record.Record(Write(WriteKind::Send));
        session.record.Record(Write(WriteKind::Tick));
        session.record.Record(Write(WriteKind::Send, false));
        session.record.Record(Write(WriteKind::Clear));
        EXPECT_EQ(told, (std::vector<std::string>{
                            "/tessora/on_air/cleared i:0", "/tessora/on_air/screen i:2",
                            "/tessora/on_air/text s:Caf\xC3\xA9", "/tessora/on_air/cleared i:1"}));
        told.clear();
        // A tick's change (the message line, the stamps) tells nothing.
        session.state.message = "12:00";
        session.Changed();
        EXPECT_TRUE(told.empty());
        session.state.live = true;
        session.state.port = "COM1";
        session.Changed();
        session.state.live = false;
        session.state.lost = true;
        session.state.clockSynchronised = false;
        session.Changed();
        session.state.live = true;
        session.state.lost = false;
        session.Changed();
        session.Changed();
        EXPECT_EQ(told, (std::vector<std::string>{"/tessora/line s:live", "/tessora/line s:lost",
                                                  "/tessora/clock s:not synchronised",
                                                  "/tessora/line s:back"}));
        told.clear();
        deck.Replace("/show.csv", Cues(2), false);
        deck.TakeNext();
        deck.MoveNext(1);
        EXPECT_EQ(told,
                  (std::vector<std::string>{
                      "/tessora/cue/next i:1", "/tessora/cue/next_text s:Cue 1",
                      "/tessora/cue/next i:2", "/tessora/cue/next_text s:Cue 2",
                      "/tessora/cue/on_air i:1", "/tessora/on_air/cleared i:0",
                      "/tessora/on_air/screen i:4", "/tessora/on_air/text s:Cue 1\nsecond line"}));
    }
    // Gone with the feedback: nothing more is told.
    told.clear();
    session.record.Record(Write(WriteKind::Send));
    deck.MoveNext(-1);
    session.state.live = false;
    session.Changed();
    EXPECT_TRUE(told.empty());
}

}  // namespace
}  // namespace osc
