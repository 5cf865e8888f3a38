// The main window's Setup command: the clock stops, the dialog runs over the main window,
// and the port chosen last is greeted whichever way the dialog ended.
#include <gtest/gtest.h>

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
constexpr char kOpenPortFailed[] = "Could not open port - please check settings!";

class SetupCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        WriteSetting("CommPort", "COM1");
        WriteSetting("Ports/COM1", QString::fromStdString(com1.device()));
        WriteSetting("Ports/COM2", QString::fromStdString(com2.device()));
        WriteSetting("Ports/COM3", "/nonexistent/tty");
        w.start();
        ASSERT_EQ(com1.received(kGreeting.size(), std::chrono::seconds(10)), kGreeting);
        ASSERT_TRUE(w.dlg->HasTimer(IDT_STAMP));
        w.dlg->m_makeSetupDlg = [this](CPort* port, QWidget* parent) {
            givenPort = port;
            givenParent = parent;
            setupView = new FakePageView;
            return std::make_unique<CSetupDlg>(port, parent, std::unique_ptr<PageView>(setupView));
        };
    }

    // Runs the Setup command while `operate` plays the operator in the dialog.
    void runSetup(std::function<void(CSetupDlg&)> operate) {
        QTimer::singleShot(0, w.dlg.get(), [this, operate] {
            ASSERT_NE(g_pSetupDlg, nullptr);
            CSetupDlg& dlg = *g_pSetupDlg;
            QTimer::singleShot(5000, &dlg, [&dlg] { dlg.done(-1); });
            timerDuringDialog = w.dlg->HasTimer(IDT_STAMP);
            modal = dlg.isModal();
            setupView->finishLoad(SetupPageElements());
            operate(dlg);
        });
        w.dlg->SendMessage(UWM_SETUP);
    }

    FakeLine com1;
    FakeLine com2;
    MainWindowFixture w;
    FakePageView* setupView = nullptr;
    CPort* givenPort = nullptr;
    QWidget* givenParent = nullptr;
    bool timerDuringDialog = true;
    bool modal = false;
};

TEST_F(SetupCommand, RunsTheDialogOverTheMainWindowWithItsPortAndTheClockStopped) {
    runSetup([this](CSetupDlg&) { setupView->fire("btnOK", "click"); });
    EXPECT_EQ(givenPort, w.dlg->m_pPort.get());
    EXPECT_EQ(givenParent, w.dlg.get());
    EXPECT_TRUE(modal);
    EXPECT_FALSE(timerDuringDialog);
    EXPECT_EQ(g_pSetupDlg, nullptr) << "the dialog is released after its run";
}

TEST_F(SetupCommand, ThePortChosenLastIsGreetedHoweverTheDialogEnds) {
    struct Case {
        const char* what;
        std::vector<int> choices;
        bool byCloseBox;
        int greeted;  // 1 or 2 for the line that gets the greeting, 0 for none
    };
    for (const Case& c : {
             Case{"OK without a change", {}, false, 1},
             Case{"COM3 then COM2, OK", {2, 1}, false, 2},
             Case{"COM2, close box", {1}, true, 2},
             Case{"COM3, close box", {2}, true, 0},
         }) {
        SCOPED_TRACE(c.what);
        w.boxes.clear();
        const std::size_t before1 = com1.received().size();
        const std::size_t before2 = com2.received().size();
        runSetup([this, &c](CSetupDlg& dlg) {
            for (int index : c.choices) setupView->choose("cmbPort", index);
            if (c.byCloseBox)
                dlg.close();
            else
                setupView->fire("btnOK", "click");
        });

        // A line that is not greeted gets nothing at all: waiting for one byte times out.
        const auto arrived = [&c](int number, FakeLine& line, std::size_t before) {
            const bool greeted = c.greeted == number;
            const std::string all =
                line.received(before + (greeted ? kGreeting.size() : 1),
                              greeted ? std::chrono::seconds(5) : std::chrono::milliseconds(300));
            return all.substr(before);
        };
        EXPECT_EQ(arrived(1, com1, before1), c.greeted == 1 ? kGreeting : "");
        EXPECT_EQ(arrived(2, com2, before2), c.greeted == 2 ? kGreeting : "");
        if (c.greeted) {
            EXPECT_TRUE(w.dlg->HasTimer(IDT_STAMP)) << "the clock resumes";
            EXPECT_TRUE(w.boxes.empty());
        } else {
            ASSERT_EQ(w.boxes.size(), 1u);
            EXPECT_EQ(w.boxes[0].first, kOpenPortFailed);
            EXPECT_FALSE(w.dlg->HasTimer(IDT_STAMP)) << "no clock without a link";
        }
        w.dlg->KillTimer(IDT_STAMP);
        w.dlg->m_pPort->SetPort(u"COM1");
    }
}

}  // namespace
