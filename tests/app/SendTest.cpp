// Send, Clear, corner changes and the clock ticks, checked byte for byte at the line.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "Messages.h"

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
    EXPECT_EQ(w.dlg->m_doc.Text(0), "Hello\nWorld") << "Send reads the page first";
}

TEST_F(SendOnALine, ACornerChangeResendsWithTheStampAndMarksTheSet) {
    page->type("scrText", "Hello\nWorld", false);
    page->choose("cmbDate", 1);
    w.runPostedMessages();
    const std::string sent = next(4 + 14 + 28);
    EXPECT_TRUE(Matches(sent, "{A19{C0000##/##/##{C0001Hello{C0002World{C0003")) << sent;
    EXPECT_TRUE(w.dlg->m_bDirty);
    EXPECT_EQ(page->page["divDirty"].innerText, "dirty");
    EXPECT_EQ(w.dlg->m_doc.DateCorner(0), 1);
}

TEST_F(SendOnALine, ClearKeepsTheStampsAndLeavesTheScreenAlone) {
    page->type("scrText", "stays");
    page->choose("cmbDate", 2);
    page->choose("cmbTime", 2);
    w.runPostedMessages();
    // Each corner change sends the screen, both after both corners were picked.
    next(2 * (4 + 14 + 15 + 6 + 5 + 6));
    w.dlg->m_strMessage = "kept";
    press("btnClear");
    const std::string sent = next(4 + 14 + 15);
    EXPECT_TRUE(Matches(sent, "{A19{C3500##/##/##{C4300 ##:##:##")) << sent;
    EXPECT_EQ(w.dlg->m_doc.Text(0), "stays");
    EXPECT_EQ(w.dlg->m_strMessage, "kept") << "Clear does not touch the message line";
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

TEST_F(SendOnALine, OperatorBracesGoOutUnchangedAndAStrayScreenSendsNothingButRows) {
    page->type("scrText", "{A19{C0510x");
    press("btnSend");
    EXPECT_EQ(next(4 + 6 + 11 + 6), "{A19{C0000{A19{C0510x{C0001");
    w.dlg->m_nScreen = 7;
    w.dlg->SendMessage(UWM_SEND);
    EXPECT_EQ(next(16), "{A19{C0000{C0001");
}

TEST_F(SendOnALine, TicksStampTheCurrentScreensCornersOnly) {
    w.dlg->OnTimer(IDT_STAMP);
    EXPECT_EQ(nothingMore(), "") << "both corners None: a tick writes nothing";
    w.dlg->m_doc.TimeCorner(1) = 4;  // Screen2 has a time stamp; it is not yet shown
    page->fire("Screen2", "mousedown");
    w.runPostedMessages();
    w.dlg->OnTimer(IDT_STAMP);
    const std::string sent = next(14);
    EXPECT_TRUE(Matches(sent, "{C4418##:##:##")) << sent;
}

}  // namespace
