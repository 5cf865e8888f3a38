// The main window's Setup command: the clock stops, the dialog runs over the main window,
// and the port chosen last is greeted whichever way the dialog ended.
#include <gtest/gtest.h>

#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "Messages.h"
#include "SetupDlg.h"

namespace {

const std::string kGreeting = "{A19{C0000Halvercrest Tessora Connected{A19";

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

        FakePageView* page = nullptr;
        CPort* givenPort = nullptr;
        QWidget* givenParent = nullptr;
        bool clockDuringDialog = true;
        QTimer::singleShot(0, w.dlg.get(), [&] {
            CSetupDlg& dlg = *g_pSetupDlg;
            givenPort = dlg.m_pPort;
            givenParent = dlg.parentWidget();
            EXPECT_EQ(w.pages.latestOwner, &dlg);
            page = w.pages.latest;
            QTimer::singleShot(5000, &dlg, [&dlg] { dlg.done(-1); });
            clockDuringDialog = w.dlg->HasTimer(IDT_STAMP);
            page->finishLoad(SetupPageElements());
            for (int index : c.choices) page->choose("cmbPort", index);
            if (c.byCloseBox)
                dlg.close();
            else
                page->fire("btnOK", "click");
        });
        w.dlg->SendMessage(UWM_SETUP);

        EXPECT_FALSE(clockDuringDialog);
        EXPECT_EQ(givenPort, w.dlg->m_pPort.get());
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

}  // namespace
