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

// Runs Setup from the main window: look sees the dialog as it comes up, then act works its
// page and the dialog is ended with OK or its close box.
void RunSetupDoing(MainWindowFixture& w, const std::function<void(FakePageView&)>& act,
                   bool byCloseBox, const std::function<void(CSetupDlg&)>& look = {}) {
    QTimer::singleShot(0, w.dlg.get(), [&] {
        CSetupDlg& dlg = *g_pSetupDlg;
        if (look) look(dlg);
        QTimer::singleShot(5000, &dlg, [&dlg] { dlg.done(-1); });
        FakePageView* page = w.pages.latest;
        page->finishLoad(SetupPageElements());
        act(*page);
        if (byCloseBox)
            dlg.close();
        else
            page->fire("btnOK", "click");
    });
    w.dlg->SendMessage(UWM_SETUP);
}

// The ports chosen in order.
void RunSetup(MainWindowFixture& w, const std::vector<int>& choices, bool byCloseBox,
              const std::function<void(CSetupDlg&)>& look = {}) {
    RunSetupDoing(
        w,
        [&choices](FakePageView& page) {
            for (int index : choices) page.choose("cmbPort", index);
        },
        byCloseBox, look);
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

// The backup chosen in Setup is taken at once and shown beside the main port, and the
// settings keep it when the program closes. One that is refused (the main port's own device,
// a name that opens nothing) says why and leaves the main line alone; so does a main port
// chosen onto the backup's device, which the backup lets go of first.
TEST(SetupCommand, TheBackupChosenIsTakenAtOnceShownAndKeptInTheSettings) {
    struct Case {
        const char* what;
        const char* backupAtStart;
        const char* list;
        int choice;
        std::string status;  // the backup's status, its start as shown
        bool refused;        // the status is the refusal, also as its tooltip
        int mainAfter;       // the line the main port is on (1 or 2)
        bool backupFed;      // line 2 takes the greeting as the backup
        const char* saved;   // [Backup] Port once closed
    };
    const std::vector<Case> cases{
        {"COM2", "", "cmbBackup", 2, "Connected", false, 1, true, "COM2"},
        {"none", "COM2", "cmbBackup", 0, "", false, 1, false, ""},
        {"the main port's own", "", "cmbBackup", 1,
         "Backup not used: COM1 is the main port's device", true, 1, false, "COM1"},
        {"a name that opens nothing", "", "cmbBackup", 4, "Backup not used: COM4 opens no device",
         true, 1, false, "COM4"},
        {"the main port onto the backup's", "COM2", "cmbPort", 1,
         "Backup not used: COM2 is the main port's device", true, 2, false, "COM2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeLine com1, com2;
        ResetSettings();
        WriteSetting("CommPort", "COM1");
        WriteSetting("Ports/COM1", QString::fromStdString(com1.device()));
        WriteSetting("Ports/COM2", QString::fromStdString(com2.device()));
        WriteSetting("Backup/Port", c.backupAtStart);
        MainWindowFixture w;
        w.dlg->SetUnmappedPortDevice([](const std::u16string&) { return std::string(); });
        w.start();
        ASSERT_EQ(com1.received(kGreeting.size(), std::chrono::seconds(10)), kGreeting);
        // A backup named at start is greeted with the main unit.
        const std::size_t before2 = *c.backupAtStart ? kGreeting.size() : 0;
        if (before2) {
            ASSERT_EQ(com2.received(before2, std::chrono::seconds(5)), kGreeting);
        }
        w.boxes.clear();

        std::string status, title;
        RunSetupDoing(
            w,
            [&](FakePageView& page) {
                page.choose(c.list, c.choice);
                status = page.page["txtBackupStatus"].value.toStdString();
                for (const FakePageView::Write& write : page.writes)
                    if (write.id == QLatin1String("txtBackupStatus") &&
                        write.property == QLatin1String("title"))
                        title = write.value.toString().toStdString();
            },
            false);

        EXPECT_EQ(status.rfind(c.status, 0), 0u) << status;
        EXPECT_EQ(title, c.refused ? status : "");
        const SessionState state = w.dlg->Session().State();
        EXPECT_TRUE(state.live) << "the main line runs whatever the backup";
        EXPECT_EQ(state.port, c.mainAfter == 1 ? "COM1" : "COM2");
        EXPECT_TRUE(w.boxes.empty());
        EXPECT_EQ(w.dlg->Session().Backup() != nullptr, c.backupFed);
        FakeLine& main = c.mainAfter == 1 ? com1 : com2;
        const std::size_t mainBefore = c.mainAfter == 1 ? kGreeting.size() : before2;
        EXPECT_EQ(main.received(mainBefore + kGreeting.size(), std::chrono::seconds(5))
                      .substr(mainBefore),
                  kGreeting);
        if (c.backupFed) {
            EXPECT_EQ(
                com2.received(before2 + kGreeting.size(), std::chrono::seconds(5)).substr(before2),
                kGreeting);
        }

        static_cast<QDialog&>(*w.dlg).reject();
        EXPECT_EQ(ReadSetting("Backup/Port").toString().toStdString(), c.saved);
    }
}

}  // namespace
