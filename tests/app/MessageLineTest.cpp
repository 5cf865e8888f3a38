// The message line at the window's start; its ranking is the session's (tests/session).
#include <gtest/gtest.h>

#include <string>

#include "AppTestSupport.h"

namespace {

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
        EXPECT_EQ(w.dlg->Session().Message(), "Not connected: COM1");
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
    EXPECT_EQ(w.dlg->Session().Message(),
              "Remote control off: Remote/Port is no number: n\xFAmero");
}

}  // namespace
