// The unit monitor against a line: "Next Send" is what Send then puts on the unit, and
// "On the unit" follows what the line took and stops when the line does.
#include <gtest/gtest.h>

#include <chrono>

#include "AppTestSupport.h"
#include "DisplayText.h"
#include "Messages.h"
#include "UnitGridView.h"

namespace {

using namespace std::chrono_literals;

// The cells and the write position: a stamp written again in the same second changes only
// the position.
std::string Described(const CCaptionDisplay& display) {
    return DisplayDump(display) + std::to_string(display.GetColumn()) + "," +
           std::to_string(display.GetRow());
}

std::string Decoded(const std::string& bytes) {
    CCaptionDisplay display;
    display.Feed(bytes);
    return Described(display);
}

class MonitorOnALine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.startOnLine(line));  // ticks come when the test says
        w.dlg->Monitor().Show(true);
        ASSERT_TRUE(w.dlg->Monitor().Window());
        page = w.view;
    }
    CMonitorWnd& monitor() { return *w.dlg->Monitor().Window(); }
    std::string nextSend() { return DisplayDump(monitor().NextSendGrid().Display()); }
    std::string onTheUnit() { return Described(monitor().UnitGrid().Display()); }
    void command(const char* id, const char* event = "mousedown") {
        page->fire(id, event);
        w.runPostedMessages();
    }
    // Waits for every byte sent so far to reach the line and the monitor.
    bool unitShowsTheLine() {
        return WaitUntil([&] {
            return w.dlg->Session().Port()->QueuedBytes() == 0 &&
                   onTheUnit() == Decoded(line.received());
        });
    }

    FakeLine line;
    MainWindowFixture w;
    FakePageView* page = nullptr;
};

TEST_F(MonitorOnALine, NextSendIsWhatSendPutsOnTheUnit) {
    std::string tooLong;
    for (int i = 0; i < 20; ++i) tooLong += "Line " + std::to_string(i) + "\n";
    const struct {
        const char* name;
        std::string text;
        int date, time;
    } cases[] = {
        {"wrapped paragraph, both stamps",
         "A paragraph long enough to be wrapped at the last space that fits the row, "
         "twice over when it runs on like this one does.\n  indented",
         1, 4},
        {"stamps sharing a corner", "Shared", 2, 2},
        {"too long, with the date", tooLong, 3, 0},
        {"a position command in the text", "Placed {C0510by hand", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        page->choose("cmbDate", c.date);
        page->choose("cmbTime", c.time);
        w.runPostedMessages();
        page->type("scrText", QString::fromStdString(c.text));
        const std::string firstLine = c.text.substr(0, std::min<std::size_t>(6, c.text.find('\n')));
        // Shown as the operator types, before any Send.
        ASSERT_TRUE(WaitUntil([&] { return nextSend().find(firstLine) != std::string::npos; }));
        // The stamps read the clock: the preview and the Send fall in one second on some try.
        std::string preview, shown;
        for (int attempt = 0; attempt < 3 && (preview.empty() || preview != shown); ++attempt) {
            w.dlg->Monitor().Refresh();
            preview = nextSend();
            command("btnSend");
            ASSERT_TRUE(unitShowsTheLine());
            shown = DisplayDump(monitor().UnitGrid().Display());
        }
        EXPECT_EQ(preview, shown);
        if (c.text == tooLong) {
            EXPECT_NE(monitor().DroppedText().indexOf(QStringLiteral("too long")), -1);
            EXPECT_NE(monitor().DroppedText().indexOf(QStringLiteral("Line 19")), -1);
            EXPECT_EQ(monitor().DroppedText().indexOf(QStringLiteral("Line 14\n")), -1);
        } else if (c.text.find("{C") != std::string::npos) {
            EXPECT_NE(monitor().DroppedText().indexOf(QStringLiteral("unit commands")), -1);
        } else {
            EXPECT_EQ(monitor().DroppedText(), QString());
        }
    }
}

TEST_F(MonitorOnALine, OnTheUnitFollowsTheLineAndStopsWithIt) {
    page->type("scrText", "Hello");
    page->choose("cmbTime", 2);
    w.runPostedMessages();
    command("btnClear");
    w.dlg->OnTimer(IDT_STAMP);
    w.dlg->OnTimer(IDT_STAMP);
    ASSERT_TRUE(unitShowsTheLine());
    EXPECT_EQ(monitor().LineText(), QString());
    // The write position is the unit's: just after the time stamp in the top right corner.
    EXPECT_EQ(monitor().UnitGrid().Display().GetColumn(), 52);
    EXPECT_EQ(monitor().UnitGrid().Display().GetRow(), 0);

    const std::string before = onTheUnit();
    line.hangUp();
    ASSERT_TRUE(WaitUntil([&] {
        w.dlg->OnTimer(IDT_STAMP);
        return monitor().LineText().startsWith(QStringLiteral("Line lost: "));
    }));
    command("btnSend");
    w.dlg->Monitor().Refresh();
    EXPECT_EQ(onTheUnit(), before);
}

// The minute's look at the clock reaches the message line, the monitor and the session's
// listeners; a clock that cannot be read is told apart but warns of nothing.
TEST_F(MonitorOnALine, TheClockWarningReachesThePageTheMonitorAndTheSession) {
    const QString warning = QStringLiteral("Clock not synchronised");
    int told = 0;
    w.dlg->Session().ListenStateChanged([&] { ++told; });
    ClockSync kernel = ClockSync::NotSynchronised;
    w.dlg->Clock().SetReader([&] { return kernel; });
    w.dlg->OnTimer(IDT_CLOCK);
    EXPECT_EQ(page->page["divMessage"].innerText, warning);
    EXPECT_GT(told, 0);
    SessionState state = w.dlg->Session().State();
    EXPECT_FALSE(state.clockSynchronised);
    EXPECT_TRUE(state.clockKnown);
    EXPECT_TRUE(WaitUntil([&] { return monitor().ClockText() == warning; }));
    EXPECT_EQ(monitor().LineText(), QString()) << "the line itself is live";

    told = 0;
    kernel = ClockSync::Unknown;
    w.dlg->OnTimer(IDT_CLOCK);
    EXPECT_EQ(page->page["divMessage"].innerText, QString());
    EXPECT_GT(told, 0);
    state = w.dlg->Session().State();
    EXPECT_TRUE(state.clockSynchronised);
    EXPECT_FALSE(state.clockKnown);
    EXPECT_TRUE(WaitUntil([&] { return monitor().ClockText().isEmpty(); }));
}

}  // namespace
