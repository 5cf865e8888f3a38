// A cue list played through a window's session: the calls it makes, its markers, and what it
// guards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CueDeck.h"
#include "StandInSession.h"

namespace {

// A session that notes the commands, and records a cue's Send as the real one does.
class FakeSession : public StandInSession {
public:
    std::vector<std::string> calls;

    void Select(int screen) override { calls.push_back("select " + std::to_string(screen)); }
    void Put(int screen, const ScreenChange& change, WriteOrigin origin) override {
        calls.push_back("put " + std::to_string(screen) + " " + change.text.value_or("-") + " " +
                        std::to_string(change.dateCorner.value_or(-1)) +
                        std::to_string(change.timeCorner.value_or(-1)) +
                        (origin == WriteOrigin::Cue ? "" : " (not a cue)"));
        state.screens[static_cast<std::size_t>(screen - 1)].text = *change.text;
    }
    bool Send(WriteOrigin origin) override {
        Write(WriteKind::Send, origin, 0);
        return true;
    }
    // A play refused as the session refuses text typed by hand, when handTyped says so.
    PlayResult Play(int screen, const ScreenContent& content, WriteOrigin origin, int cue,
                    bool replaceTyped) override {
        if (handTyped && !replaceTyped) return PlayResult::HandTyped;
        calls.push_back("play " + std::to_string(screen) + " " + content.text + " " +
                        std::to_string(content.dateCorner) + std::to_string(content.timeCorner) +
                        " cue " + std::to_string(cue) +
                        (origin == WriteOrigin::Cue    ? ""
                         : origin == WriteOrigin::Auto ? " auto"
                                                       : " (not a cue)"));
        Write(WriteKind::Send, origin, cue);
        return PlayResult::Played;
    }
    bool handTyped = false;
    void Clear(WriteOrigin origin) override {
        calls.push_back(std::string("clear ") + WriteOriginName(origin));
        Write(WriteKind::Clear, origin, 0);
    }

    void Write(WriteKind kind, WriteOrigin origin, int cue) {
        UnitWrite write;
        write.kind = kind;
        write.origin = origin;
        write.cue = cue;
        record.Record(write);
    }
};

std::vector<Cue> Cues(int count) {
    std::vector<Cue> cues;
    for (int i = 1; i <= count; ++i) {
        Cue cue;
        cue.number = i;
        cue.text = "Cue " + std::to_string(i);
        cue.dateCorner = i % 5;
        cue.timeCorner = 1;
        cues.push_back(cue);
    }
    return cues;
}

TEST(CueDeck, TakesInOrderIntoTheCueScreenAndStopsOrWrapsAtTheEnd) {
    FakeSession session;
    CueDeck deck(session);
    // Takes of one cue in quick succession are the repeat guard's: its own test.
    deck.SetRepeatGuard(std::chrono::milliseconds(0));
    int told = 0;
    deck.Listen([&] { ++told; });
    EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::NoList);
    deck.Replace("/show.csv", Cues(3), false);
    EXPECT_EQ(deck.Next(), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::Taken);
    EXPECT_EQ(session.calls,
              (std::vector<std::string>{"play 4 Cue 1 11 cue 1", "play 4 Cue 2 21 cue 2",
                                        "play 4 Cue 3 31 cue 3"}))
        << "a take is one command";
    EXPECT_EQ(deck.OnAir(), 3);
    EXPECT_EQ(deck.Next(), 0);
    EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::NoCue);
    EXPECT_EQ(session.calls.size(), 3u);
    EXPECT_GE(told, 4);

    // Anything else sent puts the cue off air; a tick does not.
    session.Write(WriteKind::Tick, WriteOrigin::Program, 0);
    EXPECT_EQ(deck.OnAir(), 3);
    session.Send(WriteOrigin::Page);
    EXPECT_EQ(deck.OnAir(), 0);

    // With Loop the last take leaves the first cue next; the markers wrap both ways.
    deck.SetLoop(true);
    deck.SetScreen(2);
    EXPECT_EQ(deck.Take(3), CueDeck::TakeResult::Taken);
    EXPECT_EQ(session.calls.back(), "play 2 Cue 3 31 cue 3");
    EXPECT_EQ(deck.Next(), 1);
    deck.MoveNext(-1);
    EXPECT_EQ(deck.Next(), 3);
    deck.MoveNext(1);
    EXPECT_EQ(deck.Next(), 1);
    deck.SetLoop(false);
    deck.MoveNext(-1);
    EXPECT_EQ(deck.Next(), 1);
    EXPECT_EQ(deck.Take(4), CueDeck::TakeResult::NoCue);
    session.busy = true;
    const std::size_t calls = session.calls.size();
    EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::Busy);
    EXPECT_EQ(session.calls.size(), calls);
}

TEST(CueDeck, AReloadKeepsTheMarkersByNumberAndTellsWhatChanged) {
    FakeSession session;
    CueDeck deck(session);
    deck.SetRepeatGuard(std::chrono::milliseconds(0));
    deck.Replace("/show.csv", Cues(5), false);
    deck.Take(2);
    deck.SetNext(4);
    EXPECT_EQ(deck.Replace("/show.csv", Cues(7), true), "2 cues added, now 7");
    EXPECT_EQ(deck.OnAir(), 2);
    EXPECT_EQ(deck.Next(), 4);
    EXPECT_EQ(deck.Replace("/show.csv", Cues(7), true), "");
    // Shorter than the next marker: the list is at its end; the cue on air is gone.
    EXPECT_EQ(deck.Replace("/show.csv", Cues(1), true), "6 cues removed, now 1");
    EXPECT_EQ(deck.Next(), 0);
    EXPECT_EQ(deck.OnAir(), 0);
    // At its end, a list that grows goes on with the first cue added.
    deck.Replace("/show.csv", Cues(3), true);
    EXPECT_EQ(deck.Next(), 2);
    deck.Take(3);
    deck.MoveNext(1);
    EXPECT_EQ(deck.Next(), 0);
    deck.MoveNext(-1);
    EXPECT_EQ(deck.Next(), 3);
    // Another file starts over.
    deck.Replace("/show.csv", Cues(5), true);
    deck.Take(3);
    EXPECT_EQ(deck.Replace("/other.csv", Cues(5), true), "");
    EXPECT_EQ(deck.Next(), 1);
    EXPECT_EQ(deck.OnAir(), 0);
}

// Whether text was typed by hand is the session's to tell (its own tests); the deck keeps
// its markers when the play is refused, and asks again to replace.
TEST(CueDeck, APlayRefusedForTextTypedByHandLeavesTheMarkers) {
    FakeSession session;
    CueDeck deck(session);
    deck.Replace("/show.csv", Cues(3), false);
    EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::Taken);
    session.handTyped = true;
    EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::HandTyped);
    EXPECT_EQ(session.calls.size(), 1u);
    EXPECT_EQ(deck.Next(), 2);
    EXPECT_EQ(deck.OnAir(), 1);
    EXPECT_EQ(deck.TakeNext(true), CueDeck::TakeResult::Taken);
    EXPECT_EQ(session.calls.back(), "play 4 Cue 2 21 cue 2");
    EXPECT_EQ(deck.Next(), 3);
}

// The deck's clock, moved by the test.
struct DeckClock {
    CueClock now{std::chrono::steady_clock::time_point(std::chrono::seconds(50)),
                 std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000)),
                 20'000LL * 86400 + 10 * 3600};
    std::chrono::milliseconds passed{0};
    void Pass(std::chrono::milliseconds by) {
        now.steady += by;
        now.wall += by;
        now.local += (passed + by) / std::chrono::seconds(1) - passed / std::chrono::seconds(1);
        passed += by;
    }
};

TEST(CueDeck, RepeatedTakeOfOneCueGoesOutOnceFromKeysRemoteAndList) {
    using namespace std::chrono_literals;
    FakeSession session;
    DeckClock clock;
    CueDeck deck(session, [&] { return clock.now; });
    deck.Replace("/show.csv", Cues(3), false);
    EXPECT_EQ(deck.Take(2), CueDeck::TakeResult::Taken);
    clock.Pass(50ms);
    // Keys, the remote and the list's buttons all take through the deck.
    EXPECT_EQ(deck.Take(2), CueDeck::TakeResult::Repeated);
    EXPECT_NE(deck.Why(CueDeck::TakeResult::Repeated).find("500 ms"), std::string::npos);
    EXPECT_EQ(session.calls.size(), 1u);
    EXPECT_EQ(deck.Next(), 3) << "a refused take leaves the markers";
    // Another cue is no repeat, and the page's Send is not a take at all.
    EXPECT_TRUE(session.Send(WriteOrigin::Page));
    EXPECT_EQ(deck.Take(1), CueDeck::TakeResult::Taken);
    clock.Pass(100ms);
    EXPECT_EQ(deck.Take(2), CueDeck::TakeResult::Taken);
    clock.Pass(500ms);
    EXPECT_EQ(deck.Take(2), CueDeck::TakeResult::Taken);
    EXPECT_EQ(session.calls.size(), 4u);
}

TEST(CueDeck, TimedCuesPlayAsAutoAndSkipsAreTold) {
    using namespace std::chrono_literals;
    FakeSession session;
    DeckClock clock;
    CueDeck deck(session, [&] { return clock.now; });
    std::vector<std::string> skipped;
    deck.ListenSkips([&](int cue, const std::string& reason) {
        skipped.push_back(std::to_string(cue) + ": " + reason);
    });
    std::vector<Cue> cues = Cues(3);
    cues[0].hold = 2000ms;
    cues[1].at = 10 * 3600 + 5;
    cues[2].at = 9 * 3600;
    deck.Replace("/show.csv", cues, false);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0], "3: its time 09:00:00 had passed when the list was opened");

    EXPECT_EQ(deck.Take(1), CueDeck::TakeResult::Taken);
    clock.Pass(1999ms);
    deck.RunTimed();
    EXPECT_EQ(session.calls.size(), 1u);
    clock.Pass(1ms);
    deck.RunTimed();
    EXPECT_EQ(session.calls.back(), "clear auto");
    clock.Pass(3000ms);
    deck.RunTimed();
    EXPECT_EQ(session.calls.back(), "play 4 Cue 2 21 cue 2 auto");
    EXPECT_EQ(deck.OnAir(), 2);

    // Held, a hold's end is skipped and told; a take by hand goes on.
    deck.SetHeld(true);
    clock.Pass(1000ms);
    EXPECT_EQ(deck.Take(1), CueDeck::TakeResult::Taken);
    clock.Pass(2000ms);
    deck.RunTimed();
    EXPECT_EQ(session.calls.back(), "play 4 Cue 1 11 cue 1");
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[1], "1: its hold ended while automation was held");

    // A timer never writes over text typed by hand: the take is skipped and told.
    deck.SetHeld(false);
    deck.SetAfterHold(AfterHold::Next);
    deck.Take(1);
    session.handTyped = true;
    clock.Pass(2000ms);
    deck.RunTimed();
    ASSERT_EQ(skipped.size(), 3u);
    EXPECT_NE(skipped[2].find("2: the next cue after its hold was not taken"), std::string::npos)
        << skipped[2];
}

TEST(CueDeck, ATemplateScreenIsFilledAtTheTakeAndItsChangesAreHeard) {
    FakeSession session;
    session.state.screens[2] = ScreenContent{"{Name}\n{Title}", 3, 4};
    CueDeck deck(session);
    const CueListRead read =
        ReadCueList("Name,Title\nAda,Engineer\nBo,Chief\n", Cp1252FromUtf8, false);
    ASSERT_EQ(read.error, "");
    deck.Replace("/people.csv", read.cues, false);
    deck.SetTemplate(3);
    int told = 0;
    deck.Listen([&] { ++told; });
    EXPECT_EQ(deck.Filled(1).content.text, "Ada\nEngineer");
    EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::Taken);
    told = 0;

    // Typed into the template screen: heard once, and the next take uses it.
    session.state.screens[2].text = "{Title}: {Name}";
    session.Changed();
    session.Changed();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(deck.Filled(2).content.text, "Chief: Bo");
    EXPECT_EQ(deck.TakeNext(), CueDeck::TakeResult::Taken);

    // A field the list lacks: refused, naming it, with nothing played and the marker kept.
    session.state.screens[2].text = "{Company}";
    EXPECT_EQ(deck.Take(1), CueDeck::TakeResult::Refused);
    EXPECT_EQ(deck.Refusal(), "no column is named Company for the template");
    EXPECT_EQ(session.calls, (std::vector<std::string>{"play 4 Ada\nEngineer 34 cue 1",
                                                       "play 4 Chief: Bo 34 cue 2"}));
    EXPECT_EQ(deck.Next(), 0);
    // Without a template the list's own (empty) texts go as they are.
    deck.SetTemplate(0);
    EXPECT_EQ(deck.Filled(1).content.text, "");
}

}  // namespace
