// The page host's model, exchanges, event table, messages and timers, with a stand-in
// browser so no display is needed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <new>
#include <stdexcept>

#include "DHtmlDialog.h"
#include "DialogTemplate.h"
#include "FakePageView.h"
#include "MessageBox.h"
#include "ResourceUrl.h"

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    static QApplication a(argc, argv);
    return a;
}

// A dialog with a few fields and an event table, as the program's dialogs have.
class TestDialog : public CDHtmlDialog {
public:
    TestDialog() : CDHtmlDialog(IDD_TESSORA_DIALOG, 104, nullptr) {
        m_events = {
            {DHTMLEVENTMAPENTRY_NAME, DISPID_HTMLELEMENTEVENTS_ONMOUSEDOWN, "btnSend",
             [this](const DHtmlElement& e) { fired.push_back("send:" + e.id.toStdString()); }},
            {DHTMLEVENTMAPENTRY_ELEMENT, DISPID_HTMLELEMENTEVENTS_ONCHANGE, "cmbDate",
             [this](const DHtmlElement& e) {
                 fired.push_back("date:" + std::to_string(e.state.selectedIndex));
             }},
            {DHTMLEVENTMAPENTRY_ELEMENT, DISPID_HTMLELEMENTEVENTS_ONCHANGE, "noSuchElement",
             [this](const DHtmlElement&) { fired.push_back("ghost"); }},
        };
        m_messages = {
            {WM_USER + 1,
             [this](WPARAM w, LPARAM l) {
                 return messages.push_back({w, l}), 0;
             }},
            {WM_USER + 2,
             [](WPARAM, LPARAM) -> LRESULT {
                 throw std::runtime_error("Access to /tmp/x.tso was denied.");
             }},
            {WM_USER + 3, [](WPARAM, LPARAM) -> LRESULT { throw std::bad_alloc(); }},
            {WM_USER + 4, [](WPARAM, LPARAM) -> LRESULT { throw std::bad_array_new_length(); }},
        };
    }

    void init() { OnInitDialog(); }
    void exchange(bool read) { UpdateData(read); }

    std::string text, message;
    std::int32_t corner = 0;
    std::string port = "COM2";
    std::vector<std::string> fired;
    std::vector<std::pair<WPARAM, LPARAM>> messages;
    std::vector<unsigned> ticks;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_DHtml_ElementText(pDX, "scrText", DISPID_A_VALUE, text);
        DDX_DHtml_SelectIndex(pDX, "cmbDate", corner);
        DDX_DHtml_ElementText(pDX, "divMessage", DISPID_IHTMLELEMENT_INNERTEXT, message);
        DDX_DHtml_SelectString(pDX, "cmbPort", port);
    }
    const std::vector<DHtmlEventMapEntry>& GetDHtmlEventMap() const override { return m_events; }
    const MessageMap& GetMessageMap() const override { return m_messages; }
    void OnTimer(unsigned id) override { ticks.push_back(id); }

private:
    std::vector<DHtmlEventMapEntry> m_events;
    MessageMap m_messages;
};

class PageHost : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        view = pages.next();
        dlg = std::make_unique<TestDialog>();
        dlg->init();
        SetMessageBoxHook([this](const std::string& text, unsigned type, const std::string&) {
            boxes.push_back({text, type});
            return IDOK;
        });
    }
    void TearDown() override { SetMessageBoxHook({}); }

    void loadPage() {
        auto page = MainPageElements();
        page[QStringLiteral("cmbPort")] = SetupPageElements()[QStringLiteral("cmbPort")];
        view->finishLoad(page);
    }

    FakePageViews pages;
    FakePageView* view = nullptr;
    std::unique_ptr<TestDialog> dlg;
    std::vector<std::pair<std::string, unsigned>> boxes;
};

TEST_F(PageHost, LoadsItsPageFromTheResourcesAndWritesTheFieldsOnceLoaded) {
    ASSERT_EQ(view->loads.size(), 1u);
    EXPECT_EQ(view->loads[0], QUrl("res://Tessora.exe/104"));
    dlg->text = "Hello";
    dlg->exchange(false);  // nothing loaded yet: nothing may reach the page
    EXPECT_TRUE(view->writes.empty());
    loadPage();
    EXPECT_EQ(view->page["scrText"].value, "Hello");
}

TEST_F(PageHost, ExchangesDoNothingWhileNoPageIsLoaded) {
    dlg->text = "kept";
    dlg->corner = 3;
    dlg->exchange(true);
    EXPECT_EQ(dlg->text, "kept");
    EXPECT_EQ(dlg->corner, 3);
}

TEST_F(PageHost, TextRoundTripsThroughWindows1252) {
    loadPage();
    dlg->text = "Caf\xE9 \x80 5";
    dlg->exchange(false);
    EXPECT_EQ(view->page["scrText"].value, QString::fromUtf8("Café € 5"));
    view->type("scrText", QString::fromUtf8("Ω and ü"));
    dlg->exchange(true);
    EXPECT_EQ(dlg->text, "? and \xFC");  // what 1252 cannot hold becomes "?"
}

TEST_F(PageHost, TypedTextIsComposedAndKeepsNoNul) {
    loadPage();
    view->type("scrText", QString::fromUtf8("Cafe\u0301 ") + QChar(0) + QStringLiteral("B"));
    dlg->exchange(true);
    EXPECT_EQ(dlg->text, "Caf\xE9 B");
}

// The renderer dies: what the page showed last goes into the fields, and the page is loaded
// again and refilled from them.
TEST_F(PageHost, ALostPageIsLoadedAgainAndRefilled) {
    loadPage();
    view->type("scrText", QStringLiteral("typed just before"));
    view->losePage();
    EXPECT_EQ(dlg->text, "typed just before");
    ASSERT_EQ(view->loads.size(), 2u);
    EXPECT_EQ(view->loads[1], view->loads[0]);
    dlg->exchange(true);  // nothing is there to read until it is back
    EXPECT_EQ(dlg->text, "typed just before");
    loadPage();
    EXPECT_EQ(view->page["scrText"].value, "typed just before");
}

TEST_F(PageHost, SelectIndexAndSelectString) {
    loadPage();
    view->choose("cmbDate", 4);
    dlg->exchange(true);
    EXPECT_EQ(dlg->corner, 4);
    EXPECT_EQ(dlg->port, "COM2");  // written to the page when it loaded

    dlg->corner = 2;
    dlg->port = "COM3";
    dlg->exchange(false);
    EXPECT_EQ(view->page["cmbDate"].selectedIndex, 2);
    EXPECT_EQ(view->page["cmbPort"].selectedIndex, 2);

    // The match is exact and case-sensitive; no match selects nothing and reads as empty.
    for (const char* name : {"com3", "COM12", ""}) {
        dlg->port = name;
        dlg->exchange(false);
        EXPECT_EQ(view->page["cmbPort"].selectedIndex, -1) << name;
        dlg->exchange(true);
        EXPECT_EQ(dlg->port, "") << name;
    }
    // An index the list does not have shows no option.
    dlg->corner = 7;
    dlg->exchange(false);
    EXPECT_EQ(view->page["cmbDate"].selectedIndex, -1);
}

TEST_F(PageHost, MissingElementsAreSkipped) {
    view->finishLoad(MiniPageElements());
    dlg->text = "kept";
    dlg->exchange(true);
    dlg->exchange(false);
    EXPECT_EQ(dlg->text, "kept");
    EXPECT_TRUE(view->writes.empty());
    EXPECT_FALSE(dlg->SetElementBackgroundColor("Screen1", "#666699"));
    EXPECT_FALSE(dlg->FocusElement("scrText"));
}

TEST_F(PageHost, AStaleLoadReportIsIgnored) {
    view->finishLoadOf("res://tessora.exe/157", MiniPageElements());
    EXPECT_FALSE(dlg->Page().isLoaded());
    loadPage();  // the page asked for, its host lower-cased as the engine reports it
    EXPECT_TRUE(dlg->Page().isLoaded());
    dlg->LoadFromResource(157);
    EXPECT_FALSE(dlg->HasElement("scrText")) << "a page on its way out is not read";
}

TEST_F(PageHost, EventTableMatchesKindEventAndElement) {
    loadPage();
    // Only element rows whose element exists are bound, after the load.
    ASSERT_EQ(view->bindings.size(), 1u);
    EXPECT_EQ(view->bindings[0], std::make_pair(QString("cmbDate"), QString("change")));

    view->fire("btnSend", "mousedown");
    view->fire("btnSend", "click");            // another event
    view->fire("btnSend", "mousedown", true);  // by-name rows ignore element bindings
    view->fire("btnClear", "mousedown");       // no row
    view->choose("cmbDate", 3);                // element binding and the bubbled event
    EXPECT_EQ(dlg->fired, (std::vector<std::string>{"send:btnSend", "date:3"}));
}

TEST_F(PageHost, EventsBeforeAnyPageAreIgnored) {
    view->fire("btnSend", "mousedown");
    EXPECT_TRUE(dlg->fired.empty());
}

TEST_F(PageHost, PostedMessagesRunLaterThroughTheMessageMap) {
    dlg->PostMessage(WM_USER + 1, 0x10005, -3);
    dlg->PostMessage(WM_USER + 9);  // not in the map: ignored
    EXPECT_TRUE(dlg->messages.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(dlg->messages.size(), 1u);
    EXPECT_EQ(dlg->messages[0].first, 0x10005u);
    EXPECT_EQ(dlg->messages[0].second, -3);
}

TEST_F(PageHost, ErrorsEscapingACommandAreShownAndTheWindowGoesOn) {
    dlg->SendMessage(WM_USER + 2);
    dlg->SendMessage(WM_USER + 3);
    dlg->SendMessage(WM_USER + 4);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].first, "Access to /tmp/x.tso was denied.");
    EXPECT_EQ(boxes[0].second & MB_ICONMASK, MB_ICONSTOP);
    EXPECT_EQ(boxes[1].first, "Out of memory.");
    EXPECT_EQ(boxes[1].second & MB_ICONMASK, MB_ICONEXCLAMATION);
    EXPECT_EQ(boxes[2], boxes[1]);
    dlg->SendMessage(WM_USER + 1);
    EXPECT_EQ(dlg->messages.size(), 1u);
}

TEST_F(PageHost, TimersTickUntilKilled) {
    dlg->SetTimer(1, 5);
    QElapsedTimer clock;
    clock.start();
    while (dlg->ticks.size() < 2 && clock.elapsed() < 2000) QCoreApplication::processEvents();
    EXPECT_GE(dlg->ticks.size(), 2u);
    EXPECT_EQ(dlg->ticks[0], 1u);
    EXPECT_TRUE(dlg->KillTimer(1));
    EXPECT_FALSE(dlg->KillTimer(1));
    const std::size_t seen = dlg->ticks.size();
    clock.restart();
    while (clock.elapsed() < 50) QCoreApplication::processEvents();
    EXPECT_EQ(dlg->ticks.size(), seen);
}

TEST(DialogTemplates, ClientSizesFollowTheDialogFont) {
    EXPECT_EQ(DialogUnitsToPixels(433, 309), QSize(650, 502));
    EXPECT_EQ(DialogUnitsToPixels(284, 161), QSize(426, 262));
    ASSERT_NE(FindDialogTemplate(IDD_TESSORA_DIALOG), nullptr);
    EXPECT_STREQ(FindDialogTemplate(IDD_SETUP)->caption, "Dialog");
    EXPECT_EQ(FindDialogTemplate(999), nullptr);
}

TEST(ResScheme, ServesOnlyTheProgramsOwnResources) {
    app();
    EXPECT_EQ(ResourcePathForUrl(QUrl("res://Tessora.exe/104")), ":/res/104");
    EXPECT_EQ(ResourcePathForUrl(QUrl("res://tessora.exe/BMP/New.bmp")), ":/res/bmp/new.bmp");
    for (const char* url : {"res://Tessora.exe/999", "res://other.exe/104", "file:///etc/passwd",
                            "res://Tessora.exe/bmp/../104", "https://Tessora.exe/104"})
        EXPECT_EQ(ResourcePathForUrl(QUrl(url)), QString()) << url;
}

}  // namespace

namespace {

// Each dialog asks the factory for its page when it starts, with itself as the owner; with
// no factory set it has no page at all, and everything that needs one does nothing.
TEST(PageViewFactory, EachDialogTakesItsOwnPageWhenItStarts) {
    app();
    {
        FakePageViews pages;
        TestDialog first, second;
        EXPECT_EQ(pages.latest, nullptr) << "no page before the dialog starts";
        first.init();
        FakePageView* firstPage = pages.latest;
        ASSERT_NE(firstPage, nullptr);
        EXPECT_EQ(pages.latestOwner, &first);
        second.init();
        EXPECT_NE(pages.latest, firstPage);
        EXPECT_EQ(pages.latestOwner, &second);
        EXPECT_EQ(firstPage->loads, std::vector<QUrl>{QUrl("res://Tessora.exe/104")});
    }
    TestDialog alone;
    alone.init();
    EXPECT_EQ(alone.View(), nullptr);
    alone.text = "kept";
    alone.exchange(true);
    alone.exchange(false);
    EXPECT_EQ(alone.text, "kept");
    EXPECT_FALSE(alone.FocusElement("scrText"));
    EXPECT_FALSE(alone.HasElement("scrText"));
}

}  // namespace
