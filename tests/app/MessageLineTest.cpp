// The message line's texts: the line down over the last Send's word (the too-long warning),
// that over a notice or the line back, and all of them over the clock's warning; each comes
// back when the one above goes, and none stays once it is no longer true.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "AppTestSupport.h"
#include "ClockWatch.h"
#include "LineWatch.h"

namespace {

constexpr char kTooLong[] = "The current text is too long and may display incorrectly.";
constexpr char kClock[] = "Clock not synchronised";
constexpr char kNotice[] = "As-run log not written: Not a directory";

// A line under a name with a letter beyond ASCII: a link the test points at one stand-in
// unit after another, as an adapter unplugged and plugged back.
class NamedLine {
public:
    NamedLine() {
        std::filesystem::create_directories(m_dir);
        m_path = (m_dir / "l\xC3\xADnea").string();
        plug();
    }
    ~NamedLine() { std::filesystem::remove_all(m_dir); }
    NamedLine(const NamedLine&) = delete;
    NamedLine& operator=(const NamedLine&) = delete;

    // The path in UTF-8, as the settings give it, and as the message line shows it.
    const std::string& path() const { return m_path; }
    std::string shown() const { return (m_dir / "l\xEDnea").string(); }
    void plug() {
        m_unit = std::make_unique<FakeLine>();
        std::filesystem::remove(m_path);
        std::filesystem::create_symlink(m_unit->device(), m_path);
    }
    void unplug() { m_unit->hangUp(); }

private:
    std::filesystem::path m_dir =
        std::filesystem::temp_directory_path() / ("message-line-" + std::to_string(::getpid()));
    std::string m_path;
    std::unique_ptr<FakeLine> m_unit;
};

class MessageLine : public ::testing::Test {
protected:
    void SetUp() override {
        port = std::make_unique<CPort>([this](const std::u16string&) { return device; });
    }
    // The kernel's word on the clock, and a fresh reading of it as the minute's timer takes.
    void clockIs(ClockSync state) {
        kernel = state;
        clock.Read();
    }
    // A Send composed: the warning set or emptied.
    void send(bool tooLong) { line.SetSendText(tooLong ? kTooLong : ""); }
    bool lineIs(CPort::LineState state) {
        return WaitUntil([&] { return port->State() == state; });
    }
    // The ticks until the line is back: its old device may still be winding down.
    bool comesBack() {
        return WaitUntil([&] {
            line.Watch();
            return port->State() == CPort::LineState::Live;
        });
    }

    NamedLine unit;
    std::string device = unit.path();
    ClockSync kernel = ClockSync::Synchronised;
    std::unique_ptr<CPort> port;
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
    ASSERT_EQ(port->Open(), 0);
    clockIs(ClockSync::NotSynchronised);
    EXPECT_EQ(message, kClock);
    EXPECT_EQ(shown, 1);
    clockIs(ClockSync::NotSynchronised);
    EXPECT_EQ(clockChanges, 1) << "the same state read again is no change";

    line.ShowNotice(kNotice);
    EXPECT_EQ(message, kNotice);
    send(true);
    EXPECT_EQ(message, kTooLong) << "the warning goes over a notice";
    clockIs(ClockSync::Synchronised);
    clockIs(ClockSync::NotSynchronised);
    EXPECT_EQ(message, kTooLong) << "and over the clock";
    send(false);
    EXPECT_EQ(message, kNotice) << "a Send that fits gives the line back to the notice";
    line.ShowNotice("");
    EXPECT_EQ(message, kClock);

    const int before = shown;
    clockIs(ClockSync::Synchronised);
    EXPECT_EQ(message, "") << "the text goes when the clock is synchronised again";
    EXPECT_EQ(shown, before + 1);
}

TEST_F(MessageLine, ALostLineOutranksTheTooLongWarning) {
    ASSERT_EQ(port->Open(), 0);
    clockIs(ClockSync::NotSynchronised);
    send(true);
    EXPECT_EQ(message, kTooLong);
    unit.unplug();
    ASSERT_TRUE(lineIs(CPort::LineState::Lost));
    line.Watch();
    const std::string lost = "Line lost: " + unit.shown();
    EXPECT_EQ(message, lost) << "in Windows-1252, as the page shows it";
    send(true);
    EXPECT_EQ(message, lost) << "a Send while the line is down leaves it said";
    line.Watch();
    EXPECT_EQ(message, lost);
}

TEST_F(MessageLine, LineBackShowsOnlyWhileTheLineIsLive) {
    ASSERT_EQ(port->Open(), 0);
    line.ShowNotice(kNotice);
    unit.unplug();
    ASSERT_TRUE(lineIs(CPort::LineState::Lost));
    line.Watch();
    unit.plug();
    ASSERT_TRUE(comesBack());
    const std::string back = "Line back: " + unit.shown();
    EXPECT_EQ(message, back);

    // Gone again at once, as behind a server that accepts and hangs up: a Send, or the next
    // tick, finds it down and says so.
    unit.unplug();
    ASSERT_TRUE(lineIs(CPort::LineState::Lost));
    send(false);
    EXPECT_EQ(message, "Line lost: " + unit.shown());
    unit.plug();
    ASSERT_TRUE(comesBack());
    EXPECT_EQ(message, back);
    for (int tick = 0; tick < 3; ++tick) line.Watch();
    EXPECT_EQ(message, "") << "the line back stays three ticks, and the notice it replaced is gone";
}

TEST_F(MessageLine, APortThatDidNotOpenSaysSo) {
    device.clear();
    ASSERT_NE(port->Open(), 0);
    clockIs(ClockSync::NotSynchronised);
    send(true);
    EXPECT_EQ(message, "Not connected: COM1");
}

// The window's own start: a port that does not open, and a remote control its settings
// turn off, are said on the message line, not only in a box or on standard error.
TEST(MessageLineAtStart, APortThatDoesNotOpenAndARemoteTurnedOffAreSaid) {
    {
        MainWindowFixture w;
        ResetSettings();
        WriteSetting("CommPort", "COM1");
        WriteSetting("Ports/COM1", "/nonexistent/tty");
        w.start();
        ASSERT_EQ(w.boxes.size(), 1u);
        EXPECT_EQ(w.dlg->m_strMessage, "Not connected: COM1");
        EXPECT_EQ(w.view->page["divMessage"].innerText, "Not connected: COM1");
    }
    FakeLine line;
    MainWindowFixture w;
    ResetSettings();
    WriteSetting("CommPort", "COM1");
    WriteSetting("Ports/COM1", QString::fromStdString(line.device()));
    WriteSetting("Remote/Port", QString::fromUtf8("n\xC3\xBAmero"));
    w.start();
    ASSERT_EQ(line.received(kGreetedLine.size(), std::chrono::seconds(10)), kGreetedLine);
    EXPECT_EQ(w.dlg->m_strMessage, "Remote control off: Remote/Port is no number: n\xFAmero");
}

}  // namespace
