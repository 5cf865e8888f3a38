// Send, Clear, corner changes and the clock ticks, checked byte for byte at the line.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "AsRunText.h"
#include "Messages.h"
#include "ScreenWrites.h"

namespace {

constexpr char kTooLong[] = "The current text is too long and may display incorrectly.";

// Whether text matches a pattern in which '#' stands for any digit.
bool Matches(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '#' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

class SendOnALine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.startOnLine(line));  // ticks are tested on their own
        page = w.view;
    }

    // What reached the line after everything seen so far, once `count` bytes have arrived.
    std::string next(std::size_t count) {
        const std::string all =
            line.received(m_seen + kGreetedLine.size() + count, std::chrono::seconds(10));
        std::string fresh = all.substr(std::min(all.size(), kGreetedLine.size() + m_seen));
        m_seen += fresh.size();
        return fresh;
    }
    std::string nothingMore() { return next(0).empty() ? std::string() : "unexpected bytes"; }
    void press(const char* id) {
        page->fire(id, "mousedown");
        w.runPostedMessages();
    }

    FakeLine line;
    MainWindowFixture w;
    FakePageView* page = nullptr;

private:
    std::size_t m_seen = 0;
};

TEST_F(SendOnALine, SendClearsThenLaysTheTextOut) {
    page->type("scrText", "Hello\nWorld");
    press("btnSend");
    EXPECT_EQ(next(32), "{A19{C0000Hello{C0001World{C0002");
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "Hello\nWorld") << "Send reads the page first";
}

TEST_F(SendOnALine, ACornerChangeResendsWithTheStampAndMarksTheSet) {
    page->type("scrText", "Hello\nWorld", false);
    page->choose("cmbDate", 1);
    w.runPostedMessages();
    const std::string sent = next(4 + 14 + 28);
    EXPECT_TRUE(Matches(sent, "{A19{C0000##/##/##{C0001Hello{C0002World{C0003")) << sent;
    EXPECT_TRUE(w.dlg->Session().Modified());
    EXPECT_EQ(page->page["divDirty"].innerText, "dirty");
    EXPECT_EQ(w.dlg->Session().Screens().DateCorner(0), 1);
}

TEST_F(SendOnALine, ClearKeepsTheStampsAndLeavesTheScreenAlone) {
    page->type("scrText", "stays");
    page->choose("cmbDate", 2);
    page->choose("cmbTime", 2);
    w.runPostedMessages();
    // Each corner change sends the screen, both after both corners were picked.
    next(2 * (4 + 14 + 15 + 6 + 5 + 6));
    w.dlg->Session().ShowNotice("kept");
    press("btnClear");
    const std::string sent = next(4 + 14 + 15);
    EXPECT_TRUE(Matches(sent, "{A19{C3500##/##/##{C4300 ##:##:##")) << sent;
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "stays");
    EXPECT_EQ(w.dlg->Session().Message(), "kept") << "Clear does not touch the message line";
}

TEST_F(SendOnALine, AnOverlongTextWarnsUntilTheNextSend) {
    std::string lines;
    for (int i = 0; i < 18; ++i) lines += "line " + std::to_string(i) + "\n";
    page->type("scrText", QString::fromStdString(lines));
    press("btnSend");
    const std::string sent = next(4 + 6 + 17 * 6 + 10 * 6 + 7 * 7);
    EXPECT_EQ(sent.find("line 17"), std::string::npos) << "the 18th line is dropped";
    EXPECT_NE(sent.find("line 16{C0017"), std::string::npos);
    EXPECT_EQ(page->page["divMessage"].innerText, kTooLong);
    page->fire("Screen2", "mousedown");
    page->fire("Screen1", "mousedown");
    w.runPostedMessages();
    EXPECT_EQ(page->page["divMessage"].innerText, kTooLong);

    page->type("scrText", "short");
    press("btnSend");
    next(4 + 6 + 5 + 6);
    EXPECT_EQ(page->page["divMessage"].innerText, "");
}

TEST_F(SendOnALine, OperatorBracesGoOutUnchanged) {
    page->type("scrText", "{A19{C0510x");
    press("btnSend");
    EXPECT_EQ(next(4 + 6 + 11 + 6), "{A19{C0000{A19{C0510x{C0001");
}

TEST_F(SendOnALine, TicksStampTheCurrentScreensCornersOnly) {
    w.dlg->OnTimer(IDT_STAMP);
    EXPECT_EQ(nothingMore(), "") << "both corners None: a tick writes nothing";
    w.dlg->Session().Put(2, ScreenChange{{}, {}, 4},
                         WriteOrigin::Cue);  // Screen2 has a time stamp; it is not yet shown
    page->fire("Screen2", "mousedown");
    w.runPostedMessages();
    w.dlg->OnTimer(IDT_STAMP);
    const std::string sent = next(14);
    EXPECT_TRUE(Matches(sent, "{C4418##:##:##")) << sent;
}

// The machine's time zone changed while the program runs shows at the next tick.
TEST_F(SendOnALine, ATickReadsTheTimeZoneAgain) {
    const char* const was = std::getenv("TZ");
    const std::optional<std::string> zone = was ? std::optional<std::string>(was) : std::nullopt;
    setenv("TZ", "UTC0", 1);
    tzset();
    w.dlg->Session().Put(1, ScreenChange{{}, {}, 1}, WriteOrigin::Cue);
    w.dlg->OnTimer(IDT_STAMP);
    const std::string utc = next(14);
    // Half an hour ahead, and nothing else tells the C library to look.
    setenv("TZ", "<+0530>-5:30", 1);
    w.dlg->OnTimer(IDT_STAMP);
    const std::string ahead = next(14);
    if (zone)
        setenv("TZ", zone->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    ASSERT_TRUE(Matches(utc, "{C0000##:##:##")) << utc;
    ASSERT_TRUE(Matches(ahead, "{C0000##:##:##")) << ahead;
    const int minutes = (std::stoi(ahead.substr(9, 2)) - std::stoi(utc.substr(9, 2)) + 60) % 60;
    // The minute may turn between the two ticks.
    EXPECT_TRUE(minutes == 30 || minutes == 31) << utc << " then " << ahead;
}

// Every write of a Send is recorded as what it was, and the bytes on the line are the one
// frame composed for that text, those corners and that second: for a text that wraps under
// both stamps and one too long for the unit.
TEST_F(SendOnALine, TheLineTakesTheComposedFrameAndTheRecordSaysSo) {
    std::vector<UnitWrite> writes;
    w.dlg->Session().OnAir().Listen(
        [&](const UnitWrite& write, const OnAir&) { writes.push_back(write); });
    page->choose("cmbDate", 1);
    page->choose("cmbTime", 4);
    w.runPostedMessages();
    // A write is recorded once the line has let go of every byte of it.
    const auto recorded = [&](std::size_t count) {
        return WaitUntil([&] {
            w.dlg->Session().UnitDisplay();
            return writes.size() >= count;
        });
    };
    ASSERT_TRUE(recorded(2));
    std::size_t resent = 0;
    for (const UnitWrite& write : writes) {
        EXPECT_EQ(write.kind, WriteKind::CornerResend);
        resent += write.bytes.size();
    }
    next(resent);
    const std::string wrapped(40, 'w');
    std::string tooLong;
    for (int row = 0; row < 25; ++row) tooLong += "row " + std::to_string(row) + "\n";
    for (const std::string& text : {wrapped + " " + wrapped + " " + wrapped, tooLong}) {
        writes.clear();
        page->type("scrText", QString::fromStdString(text));
        press("btnSend");
        ASSERT_TRUE(recorded(1));
        ASSERT_EQ(writes.size(), 1u);
        const UnitWrite& send = writes[0];
        EXPECT_EQ(send.kind, WriteKind::Send);
        EXPECT_EQ(send.origin, WriteOrigin::Page);
        EXPECT_TRUE(send.taken);
        EXPECT_EQ(next(send.bytes.size()), send.bytes);
        // Composed before the write was stamped with its time: that second or the one before.
        const std::time_t at = std::chrono::system_clock::to_time_t(send.time);
        const auto frame = [&](std::time_t now) {
            const ScreenWrites frame = ComposeSend(text, 1, 4, now);
            std::string bytes;
            for (std::string_view piece : frame.Writes()) bytes += piece;
            return bytes;
        };
        EXPECT_TRUE(send.bytes == frame(at) || send.bytes == frame(at - 1)) << send.bytes;
        EXPECT_EQ(w.dlg->Session().OnAir().Now().text, text);
    }
    EXPECT_EQ(w.dlg->Session().Message(), kTooLong);
}

// An as-run log that cannot be written (its folder would be under a device) costs the
// window nothing: the message line says so once, the too-long warning still takes the line,
// and every Send goes out.
TEST(AsRunNotice, AnUnwritableLogIsSaidOnTheMessageLineAndSendsGoOn) {
    const std::string home = std::getenv("XDG_STATE_HOME");
    ::setenv("XDG_STATE_HOME", "/dev/null", 1);
    FakeLine line;
    MainWindowFixture w;
    const bool greeted = w.startOnLine(line);
    ::setenv("XDG_STATE_HOME", home.c_str(), 1);
    ASSERT_TRUE(greeted);
    EXPECT_EQ(w.dlg->Session().Message(), "As-run log not written: Not a directory");
    std::string lines;
    for (int i = 0; i < 20; ++i) lines += "row " + std::to_string(i) + "\n";
    w.view->type("scrText", QString::fromStdString(lines));
    std::string queued;
    int recorded = 0;
    w.dlg->Session().OnAir().Listen([&](const UnitWrite& write, const OnAir&) {
        queued += write.bytes;
        ++recorded;
    });
    for (int send = 0; send < 3; ++send) {
        w.view->fire("btnSend", "mousedown");
        w.runPostedMessages();
        EXPECT_EQ(w.dlg->Session().Message(), kTooLong);
    }
    ASSERT_TRUE(WaitUntil([&] {
        w.dlg->Session().UnitDisplay();
        return recorded == 3;
    }));
    EXPECT_NE(queued.find("row 16"), std::string::npos);
    EXPECT_EQ(line.received(kGreetedLine.size() + queued.size()), kGreetedLine + queued);
}

// The notice leaves the message line once the log is written again.
TEST(AsRunNotice, TheNoticeGoesWhenTheLogIsWrittenAgain) {
    const std::filesystem::path day =
        std::filesystem::path(std::getenv("XDG_STATE_HOME")) / "Halvercrest/Tessora/as-run" /
        (AsRunTimeOf(std::chrono::system_clock::now()).day + ".jsonl");
    std::filesystem::create_directories(day);
    FakeLine line;
    MainWindowFixture w;
    ASSERT_TRUE(w.startOnLine(line));
    EXPECT_EQ(w.dlg->Session().Message(), "As-run log not written: it is a folder, not a day file");
    std::filesystem::remove(day);
    w.view->type("scrText", "Hello");
    w.view->fire("btnSend", "mousedown");
    w.runPostedMessages();
    // The log hears the Send once the line has taken it.
    EXPECT_TRUE(WaitUntil([&] { return w.dlg->Session().Message().empty(); }))
        << w.dlg->Session().Message();
    EXPECT_TRUE(std::filesystem::is_regular_file(day));
}

}  // namespace

namespace {

struct HttpAnswer {
    int status = 0;
    std::string body;
};

// One call to the remote control, answered while the window's loop runs.
HttpAnswer Post(quint16 port, const std::string& token, const std::string& path) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(QByteArray::fromStdString(
        "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
        "\r\nAuthorization: Bearer " + token +
        "\r\nContent-Type: application/json\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
    QByteArray raw;
    HttpAnswer answer;
    const auto whole = [&] {
        raw += socket.readAll();
        const qsizetype end = raw.indexOf("\r\n\r\n");
        if (end < 0) return false;
        const QByteArray head = raw.left(end).toLower();
        const qsizetype length = head.indexOf("content-length:");
        if (length < 0) return false;
        const qsizetype size =
            head.mid(length + 15, head.indexOf('\r', length) - length - 15).trimmed().toLongLong();
        if (raw.size() < end + 4 + size) return false;
        answer.status = raw.mid(9, 3).toInt();
        answer.body = raw.mid(end + 4, size).toStdString();
        return true;
    };
    WaitUntil(whole);
    return answer;
}

// A remote's Send the line has no room for (the unit takes nothing, four Sends fill the
// queue) is refused whole: answered as not done, with the reason, said on the message line,
// recorded as not taken, and not a byte of it reaches the unit.
TEST(RemoteSend, ASendTheQueueHasNoRoomForIsNotDoneAndSaysWhy) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    FakeLine line;
    MainWindowFixture w;
    ResetSettings();
    WriteSetting("CommPort", "COM1");
    WriteSetting("Ports/COM1", QString::fromStdString(line.device()));
    WriteSetting("Remote/Port", port);
    w.start();
    ASSERT_EQ(line.received(kGreetedLine.size(), std::chrono::seconds(10)), kGreetedLine);
    w.dlg->KillTimer(IDT_STAMP);
    const std::string token = ReadSetting("Remote/Token").toString().toStdString();
    std::string taken;
    int refused = 0;
    // The greeting's clear may still be settling: only the Sends count here.
    w.dlg->Session().OnAir().Listen([&](const UnitWrite& write, const OnAir&) {
        if (write.kind != WriteKind::Send) return;
        if (write.taken)
            taken += write.bytes;
        else
            ++refused;
    });

    line.stall();
    std::vector<int> codes;
    std::string body;
    for (char letter = 'a'; letter <= 'e'; ++letter) {
        std::string text;
        for (int row = 0; row < 17; ++row) text += std::string(50, letter) + "\n";
        w.view->type("scrText", QString::fromStdString(text));
        const HttpAnswer answer = Post(port, token, "/api/v1/send");
        codes.push_back(answer.status);
        body = answer.body;
    }
    const std::string why = "Send not made: the line is still busy with the last one";
    EXPECT_EQ(codes, (std::vector<int>{200, 200, 200, 200, 503}));
    EXPECT_EQ(body, "{\"error\":\"" + why + "\"}");
    EXPECT_EQ(w.dlg->Session().Message(), why);
    EXPECT_EQ(w.view->page["divMessage"].innerText.toStdString(), why);

    // Writes are recorded in order once the line has let go of them: the refused one after
    // the four the stalled line still holds.
    line.resume();
    ASSERT_TRUE(WaitUntil([&] { return refused == 1; }, std::chrono::seconds(30)));
    EXPECT_EQ(w.dlg->Session().OnAir().Now().text.substr(0, 3), "ddd") << "the fourth stays on air";
    const std::string all = kGreetedLine + taken;
    ASSERT_EQ(line.received(all.size(), std::chrono::seconds(30)), all);
    ASSERT_TRUE(WaitUntil([&] { return w.dlg->Session().Port()->QueuedBytes() == 0; }));
    EXPECT_EQ(line.received(all.size() + 1, std::chrono::milliseconds(100)), all)
        << "a fifth Send cut short would have queued its clear behind the fourth";
}

}  // namespace
