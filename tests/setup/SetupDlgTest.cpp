// The setup dialog on a stand-in page: the status, the preselected port, port changes and
// the ways out.
#include <gtest/gtest.h>

#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "Cp1252.h"
#include "Port.h"
#include "SetupDlg.h"

namespace {

// What happened, in order: the port looking up a device, the host writing to the page.
using Timeline = std::vector<std::string>;

class RecordingView : public FakePageView {
public:
    explicit RecordingView(Timeline& timeline) : m_timeline(timeline) {}

    void setCallbacks(Callbacks callbacks) override {
        m_changed = callbacks.changed;
        FakePageView::setCallbacks(std::move(callbacks));
    }
    void setElementProperty(const QString& id, const QString& property,
                            const QVariant& value) override {
        // The status's tooltip follows the status; it is checked on its own.
        if (property == QStringLiteral("title")) {
            titles[id.toStdString()] = value.toString().toStdString();
            return;
        }
        m_timeline.push_back("write " + id.toStdString() + "." + property.toStdString() + "=" +
                             value.toString().toStdString());
        FakePageView::setElementProperty(id, property, value);
    }
    std::map<std::string, std::string> titles;
    // The page changes an element without raising an event.
    void edit(const QString& id, const std::function<void(PageElement&)>& change) {
        change(page[id]);
        if (m_changed) m_changed(id, page[id]);
    }

private:
    Timeline& m_timeline;
    std::function<void(const QString&, const PageElement&)> m_changed;
};

class SetupDialog : public ::testing::Test {
protected:
    SetupDialog() : port([this](const std::u16string& name) { return device(name); }) {}

    std::string device(const std::u16string& name) {
        const std::string n = Cp1252FromUtf16(name);
        timeline.push_back("open " + n);
        if (n == "COM1") return com1.device();
        if (n == "COM2" || n == "COM9") return com2.device();
        if (n == "COM3") return "/nonexistent/tty";
        return "";
    }

    void usePort(const char16_t* name) {
        port.SetPort(name);
        timeline.clear();
    }

    // A dialog as it stands once its modal run began and the page came in.
    std::unique_ptr<CSetupDlg> makeDialog(bool loadPage = true) {
        view = pages.next(std::make_unique<RecordingView>(timeline));
        auto dlg = std::make_unique<CSetupDlg>(&port, nullptr);
        dlg->OnInitDialog();
        if (loadPage) view->finishLoad(SetupPageElements());
        timeline.clear();
        return dlg;
    }

    std::string status() { return view->page["txtStatus"].value.toStdString(); }
    int selectedPort() { return view->page["cmbPort"].selectedIndex; }
    std::string portName() {
        std::u16string name;
        port.GetPortName(&name);
        return Cp1252FromUtf16(name);
    }
    bool portOpen() {
        int open = 0;
        port.IsOpen(&open);
        return open == 1;
    }

    Timeline timeline;
    FakeLine com1;
    FakeLine com2;
    CPort port;
    FakePageViews pages;
    RecordingView* view = nullptr;
};

TEST_F(SetupDialog, ConstructionTakesThePortNameAndTheGlobalFollowsTheNewestLivingDialog) {
    usePort(u"COM2");
    auto first = std::make_unique<CSetupDlg>(&port, nullptr);
    EXPECT_EQ(first->m_pPort, &port);
    EXPECT_EQ(first->m_strPort, "COM2");
    EXPECT_EQ(first->m_strStatus, "");
    EXPECT_EQ(g_pSetupDlg, first.get());

    auto second = std::make_unique<CSetupDlg>(nullptr, nullptr);
    EXPECT_EQ(second->m_strPort, "");
    EXPECT_EQ(g_pSetupDlg, second.get());
    first.reset();
    EXPECT_EQ(g_pSetupDlg, second.get()) << "an older dialog going leaves the newer one";
    second.reset();
    EXPECT_EQ(g_pSetupDlg, nullptr);
}

TEST_F(SetupDialog, OpeningShowsTheLinkStateAndSelectsOnlyAnExactlyListedName) {
    struct Case {
        const char16_t* port;
        const char* status;
        int selected;
    };
    for (const Case& c : {Case{u"COM1", "Connected", 0}, Case{u"COM2", "Connected", 1},
                          Case{u"COM3", "Disconnected", 2}, Case{u"COM4", "Disconnected", 3},
                          Case{u"COM9", "Connected", -1}, Case{u"COM12", "Disconnected", -1}}) {
        usePort(c.port);
        auto dlg = makeDialog();
        EXPECT_EQ(status(), c.status) << c.selected;
        EXPECT_EQ(selectedPort(), c.selected) << c.status;
        EXPECT_TRUE(timeline.empty()) << "opening the dialog must not reopen the port";
    }
}

TEST_F(SetupDialog, TheStatusWorkedOutAtStartReachesAPageThatLoadsLater) {
    usePort(u"COM1");
    auto dlg = makeDialog(false);
    EXPECT_EQ(dlg->m_strStatus, "Connected");
    EXPECT_TRUE(view->writes.empty()) << "nothing to write to before the page is in";
    ASSERT_EQ(view->loads.size(), 1u);
    EXPECT_EQ(view->loads[0].toString(), "res://tessora.exe/103");

    view->finishLoad(SetupPageElements());
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(selectedPort(), 0);
    const std::pair<QString, QString> binding{"cmbPort", "change"};
    EXPECT_EQ(view->bindings, std::vector{binding});
}

TEST_F(SetupDialog, AChoiceReopensThePortOnceBeforeTheStatusIsShown) {
    struct Case {
        int index;
        const char* name;
        const char* status;
    };
    for (const Case& c : {Case{2, "COM3", "Disconnected"}, Case{1, "COM2", "Connected"},
                          Case{3, "COM4", "Disconnected"}, Case{0, "COM1", "Connected"}}) {
        usePort(u"COM1");
        auto dlg = makeDialog();
        view->choose("cmbPort", c.index);
        const Timeline expected{
            std::string("open ") + c.name,
            std::string("write txtStatus.value=") + c.status,
            "write cmbPort.selectedIndex=" + std::to_string(c.index),
        };
        EXPECT_EQ(timeline, expected) << c.name;
        EXPECT_EQ(portName(), c.name);
        EXPECT_EQ(portOpen(), std::string(c.status) == "Connected") << c.name;
        EXPECT_EQ(dlg->m_strPort, c.name);
        // Why it is not connected, in the status's tooltip; nothing once it is.
        const std::string title = view->titles["txtStatus"];
        if (std::string(c.status) == "Connected")
            EXPECT_EQ(title, "") << c.name;
        else
            EXPECT_NE(title.find(": No such"), std::string::npos) << c.name << ": " << title;
    }
}

TEST_F(SetupDialog, ChangeEventsThatAreNotTheListsOwnLeaveThePortAlone) {
    struct Case {
        const char* what;
        std::function<void(RecordingView&)> raise;
    };
    const std::vector<Case> cases{
        {"an element without a select list",
         [](RecordingView& v) {
             v.edit("cmbPort", [](PageElement& e) { e.tag = "input"; });
             v.fire("cmbPort", "change", true);
         }},
        {"the change bubbling up by name",
         [](RecordingView& v) {
             v.edit("cmbPort", [](PageElement& e) { e.selectedIndex = 2; });
             v.fire("cmbPort", "change", false);
         }},
    };
    for (const Case& c : cases) {
        usePort(u"COM1");
        auto dlg = makeDialog();
        c.raise(*view);
        EXPECT_TRUE(timeline.empty()) << c.what;
        EXPECT_EQ(portName(), "COM1") << c.what;
        EXPECT_TRUE(portOpen()) << c.what;
        EXPECT_EQ(dlg->m_strPort, "COM1") << c.what;
    }
}

TEST_F(SetupDialog, OkReadsThePageAndEndsTheRunWithoutTouchingThePort) {
    usePort(u"COM1");
    view = pages.next(std::make_unique<RecordingView>(timeline));
    CSetupDlg dlg(&port, nullptr);
    QTimer::singleShot(5000, &dlg, [&dlg] { dlg.done(-1); });  // a dialog left up fails
    QTimer::singleShot(0, &dlg, [this] {
        view->finishLoad(SetupPageElements());
        view->edit("cmbPort", [](PageElement& e) { e.selectedIndex = 3; });
        view->edit("txtStatus", [](PageElement& e) { e.value = "Shown"; });
        view->fire("btnOK", "click");
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strPort, "COM4");
    EXPECT_EQ(dlg.m_strStatus, "Shown");
    EXPECT_EQ(portName(), "COM1");
    EXPECT_TRUE(portOpen());
}

}  // namespace
