// The main window's Setup command: the clock stops, the dialog runs over the main window,
// and the port chosen last is greeted whichever way the dialog ended; a lost line stays
// the line that is tried until it is back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "Messages.h"
#include "SetupDlg.h"

namespace {

const std::string kGreeting = "{A19{C0000Halvercrest Tessora Connected{A19";

// Runs Setup from the main window: look sees the dialog as it comes up, then the ports are
// chosen in order and the dialog ended with OK or its close box.
void RunSetup(MainWindowFixture& w, const std::vector<int>& choices, bool byCloseBox,
              const std::function<void(CSetupDlg&)>& look = {}) {
    QTimer::singleShot(0, w.dlg.get(), [&] {
        CSetupDlg& dlg = *g_pSetupDlg;
        if (look) look(dlg);
        QTimer::singleShot(5000, &dlg, [&dlg] { dlg.done(-1); });
        FakePageView* page = w.pages.latest;
        page->finishLoad(SetupPageElements());
        for (int index : choices) page->choose("cmbPort", index);
        if (byCloseBox)
            dlg.close();
        else
            page->fire("btnOK", "click");
    });
    w.dlg->SendMessage(UWM_SETUP);
}

TEST(SetupCommand, GreetsThePortChosenLastWhicheverWayTheDialogEnds) {
    struct Case {
        const char* what;
        std::vector<int> choices;
        bool byCloseBox;
        int greeted;  // the line (1 or 2) greeted afterwards, 0 for none
    };
    for (const Case& c : {Case{"COM3 then COM2, close box", {2, 1}, true, 2},
                          Case{"COM3, OK", {2}, false, 0}, Case{"OK alone", {}, false, 1}}) {
        SCOPED_TRACE(c.what);
        FakeLine com1, com2;
        ResetSettings();
        WriteSetting("CommPort", "COM1");
        WriteSetting("Ports/COM1", QString::fromStdString(com1.device()));
        WriteSetting("Ports/COM2", QString::fromStdString(com2.device()));
        WriteSetting("Ports/COM3", "/nonexistent/tty");
        MainWindowFixture w;
        w.start();
        ASSERT_EQ(com1.received(kGreeting.size(), std::chrono::seconds(10)), kGreeting);
        w.boxes.clear();

        CPort* givenPort = nullptr;
        QWidget* givenParent = nullptr;
        bool clockDuringDialog = true;
        RunSetup(w, c.choices, c.byCloseBox, [&](CSetupDlg& dlg) {
            givenPort = dlg.m_pPort;
            givenParent = dlg.parentWidget();
            EXPECT_EQ(w.pages.latestOwner, &dlg);
            clockDuringDialog = w.dlg->HasTimer(IDT_STAMP);
        });

        EXPECT_FALSE(clockDuringDialog);
        EXPECT_EQ(givenPort, w.dlg->Session().Port());
        EXPECT_EQ(givenParent, w.dlg.get());
        EXPECT_EQ(g_pSetupDlg, nullptr) << "the dialog is released after its run";
        // A line that is not greeted gets nothing more: waiting for one byte times out.
        const auto fresh = [&c](int number, FakeLine& line, std::size_t before) {
            const bool greeted = c.greeted == number;
            const std::string all =
                line.received(before + (greeted ? kGreeting.size() : 1),
                              greeted ? std::chrono::seconds(5) : std::chrono::milliseconds(300));
            return all.substr(before);
        };
        EXPECT_EQ(fresh(1, com1, kGreeting.size()), c.greeted == 1 ? kGreeting : "");
        EXPECT_EQ(fresh(2, com2, 0), c.greeted == 2 ? kGreeting : "");
        EXPECT_EQ(w.dlg->HasTimer(IDT_STAMP), c.greeted != 0);
        const std::vector<std::pair<std::string, unsigned>> noPort{
            {"Could not open port - please check settings!", MB_OK}};
        EXPECT_EQ(w.boxes, c.greeted ? decltype(noPort){} : noPort);
    }
}

// The adapter is pulled, Setup is run while it is gone, then it is plugged back in under
// the same stable link: whichever way Setup ended on the lost port, the clock reaches the
// unit within 2 s with nothing else, as it would have without Setup. Another port that does
// not open is the operator's choice: the box, and the old line is left alone.
TEST(SetupCommand, LeavesALostLineTriedUntilItIsBack) {
    struct Case {
        const char* what;
        std::vector<int> choices;
        bool byCloseBox;
        bool triedOn;
    };
    for (const Case& c :
         {Case{"OK", {}, false, true}, Case{"close box", {}, true, true},
          Case{"COM2, COM1 again, OK", {1, 0}, false, true}, Case{"COM2, OK", {1}, false, false}}) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        const std::string link = folder.path().toStdString() + "/usb-unit";
        FakeLine first;
        ASSERT_EQ(::symlink(first.device().c_str(), link.c_str()), 0);
        ResetSettings();
        WriteSetting("CommPort", "COM1");
        WriteSetting("Ports/COM1", QString::fromStdString(link));
        WriteSetting("Ports/COM2", "/nonexistent/tty");
        MainWindowFixture w;
        w.start();
        ASSERT_EQ(first.received(kGreeting.size(), std::chrono::seconds(10)), kGreeting);
        w.dlg->Session().Put(1, ScreenChange{{}, 1, {}}, WriteOrigin::Cue);

        first.hangUp();
        ::unlink(link.c_str());
        ASSERT_TRUE(
            WaitUntil([&] { return w.dlg->Session().Port()->State() == CPort::LineState::Lost; }));
        w.boxes.clear();
        RunSetup(w, c.choices, c.byCloseBox);

        FakeLine back;
        ASSERT_EQ(::symlink(back.device().c_str(), link.c_str()), 0);
        const auto stamp = [&] { return back.received(14, std::chrono::milliseconds(0)); };
        const auto stamped = [&] { return stamp().size() >= 14; };
        if (!c.triedOn) {
            EXPECT_EQ(w.boxes.size(), 1u);
            EXPECT_FALSE(WaitUntil(stamped, std::chrono::milliseconds(1500)));
            EXPECT_FALSE(w.dlg->HasTimer(IDT_STAMP));
            continue;
        }
        EXPECT_TRUE(w.boxes.empty()) << "a lost line is no fault of the settings";
        ASSERT_TRUE(WaitUntil(stamped, std::chrono::seconds(2)));
        // The date stamp in the top left corner, first and alone: no greeting, no clear.
        EXPECT_EQ(stamp().rfind("{C0000", 0), 0u) << stamp();
        EXPECT_EQ(stamp().find("{A19"), std::string::npos) << stamp();
    }
}

}  // namespace
