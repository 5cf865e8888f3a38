// The four screens, the modified marker, the message line and mini mode, on a stand-in page.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "DocumentFile.h"
#include "Messages.h"

namespace {

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        w.start();
        page = w.view;
    }

    void select(int tab) {
        page->fire(QStringLiteral("Screen%1").arg(tab), "mousedown");
        w.runPostedMessages();
    }
    QString tabColour(int tab) {
        return page->page[QStringLiteral("Screen%1").arg(tab)].backgroundColor;
    }

    MainWindowFixture w;
    FakePageView* page = nullptr;
};

TEST_F(Screens, AtStartScreenOneIsSelectedEmptyAndFocused) {
    EXPECT_EQ(tabColour(1), "#666699");
    for (int tab = 2; tab <= 4; ++tab) EXPECT_EQ(tabColour(tab), "#333399");
    EXPECT_EQ(page->page["scrText"].value, "") << "the page's own placeholder is replaced";
    EXPECT_EQ(page->page["cmbDate"].selectedIndex, 0);
    EXPECT_EQ(page->page["cmbTime"].selectedIndex, 0);
    ASSERT_FALSE(page->focused.empty());
    EXPECT_EQ(page->focused.back(), "scrText");
}

TEST_F(Screens, SelectingAScreenStoresTheOldOneAndShowsTheNew) {
    page->type("scrText", "first screen");
    page->choose("cmbDate", 1);
    page->choose("cmbTime", 4);
    w.runPostedMessages();  // the corner changes send; nothing to check here
    select(2);
    EXPECT_EQ(w.dlg->Session().Screen(), 2);
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "first screen");
    EXPECT_EQ(w.dlg->Session().Screens().DateCorner(0), 1);
    EXPECT_EQ(w.dlg->Session().Screens().TimeCorner(0), 4);
    EXPECT_EQ(page->page["scrText"].value, "");
    EXPECT_EQ(page->page["cmbDate"].selectedIndex, 0);
    EXPECT_EQ(tabColour(2), "#666699");
    EXPECT_EQ(tabColour(1), "#333399");

    page->type("scrText", "second");
    select(1);
    EXPECT_EQ(page->page["scrText"].value, "first screen");
    EXPECT_EQ(page->page["cmbDate"].selectedIndex, 1);
    EXPECT_EQ(page->page["cmbTime"].selectedIndex, 4);
    EXPECT_EQ(w.dlg->Session().Screens().Text(1), "second");
}

TEST_F(Screens, TheSameTabAgainChangesNothing) {
    page->type("scrText", "kept", false);
    select(1);
    EXPECT_EQ(w.dlg->Session().Screen(), 1);
    EXPECT_EQ(page->page["scrText"].value, "kept");
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "kept");
}

TEST_F(Screens, OnlyTheHighSixteenBitsOfTheTabNumberAreDropped) {
    w.dlg->SendMessage(UWM_SELECT_SCREEN, 0x70004, 0);
    EXPECT_EQ(w.dlg->Session().Screen(), 3);
}

TEST_F(Screens, ModifiedFlagFollowsTheMarkerAsThePageReportsIt) {
    page->type("scrText", "x");
    EXPECT_EQ(page->page["divDirty"].innerText, "Dirty");
    EXPECT_TRUE(w.dlg->Session().Modified()) << "the page's report reaches the session";
    select(2);
    EXPECT_TRUE(w.dlg->Session().Modified());
    EXPECT_EQ(page->page["divDirty"].innerText, "dirty") << "written back after the read";
    w.dlg->Session().SetModified(false);
    w.dlg->ShowScreen();
    EXPECT_EQ(page->page["divDirty"].innerText, "");
}

TEST_F(Screens, ACharacterWindows1252CannotHoldBecomesAQuestionMark) {
    page->type("scrText", QString::fromUtf8("Ω 5 € é"));
    select(2);
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "? 5 \x80 \xE9");
    select(1);
    EXPECT_EQ(page->page["scrText"].value, QString::fromUtf8("? 5 € é"));
}

TEST_F(Screens, TheMessageLineSurvivesScreenChanges) {
    // The port here does not open, and says so.
    const std::string said = w.dlg->Session().Message();
    ASSERT_FALSE(said.empty());
    select(3);
    select(1);
    EXPECT_EQ(w.dlg->Session().Message(), said);
    EXPECT_EQ(page->page["divMessage"].innerText, QString::fromStdString(said));
}

TEST_F(Screens, EveryControlPostsItsCommandOnAnyPress) {
    // Labels act as their buttons; a press outside a named control does nothing.
    page->type("scrText", "before mini");
    page->fire("tagToggle", "mousedown");
    w.runPostedMessages();
    EXPECT_TRUE(w.dlg->InMiniMode());
    page->fire("logo", "mousedown");
    page->fire("CTessoraDlg", "mousedown");
    w.runPostedMessages();
    EXPECT_TRUE(w.dlg->InMiniMode());
}

TEST(PastedText, ControlCharactersNeverReachTheScreenAndAreToldOnce) {
    FakeLine line;
    MainWindowFixture w;
    ASSERT_TRUE(w.startOnLine(line));
    w.view->type("scrText", QStringLiteral("Weather\u001B[5m now\u0007\tlater"));
    w.dlg->UpdateData(true);
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "Weather[5m now\tlater");
    EXPECT_EQ(w.view->page["scrText"].value, "Weather[5m now\tlater")
        << "the box shows what goes out";
    w.runPostedMessages();
    EXPECT_EQ(w.dlg->Session().Message(), kControlsLeftOut);
}

class MiniMode : public Screens {};

TEST_F(MiniMode, EnteringKeepsWhatWasTypedAndLoadsTheStrip) {
    page->type("scrText", "typed before mini");
    page->choose("cmbTime", 2);
    w.runPostedMessages();
    page->fire("btnToggle", "mousedown");
    w.runPostedMessages();
    EXPECT_TRUE(w.dlg->InMiniMode());
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "typed before mini");
    EXPECT_EQ(w.dlg->Session().Screens().TimeCorner(0), 2);
    EXPECT_TRUE(w.dlg->Session().Modified());
    EXPECT_EQ(page->loads.back(), QUrl("res://Tessora.exe/157"));
    EXPECT_FALSE(w.dlg->HasElement("scrText")) << "the main page is gone";

    page->finishLoad(MiniPageElements());
    page->fire("tagToggle", "mousedown");
    w.runPostedMessages();
    EXPECT_FALSE(w.dlg->InMiniMode());
    EXPECT_EQ(page->loads.back(), QUrl("res://Tessora.exe/104"));
    page->finishLoad(MainPageElements());
    EXPECT_EQ(page->page["scrText"].value, "typed before mini");
    EXPECT_EQ(page->page["cmbTime"].selectedIndex, 2);
    EXPECT_EQ(page->page["divDirty"].innerText, "dirty");
    EXPECT_EQ(tabColour(1), "#666699");
}

TEST_F(MiniMode, AStoredSizeWithNoRoomForTheRestoreTextShowsTheFirstUseSize) {
    for (const int stored : {0, -5, 5}) {
        w.dlg->StoreStrip({0, 0, stored, stored});
        w.dlg->OnToggleMiniMode(0, 0);
        EXPECT_EQ(w.dlg->frameGeometry().size(), QSize(100, 50)) << stored;
        w.dlg->OnToggleMiniMode(0, 0);
        EXPECT_EQ(w.dlg->StoredStrip().width, stored) << "the stored size stays";
    }
    w.dlg->StoreStrip({0, 0, 160, 40});
    w.dlg->OnToggleMiniMode(0, 0);
    EXPECT_EQ(w.dlg->frameGeometry().size(), QSize(160, 40));
}

TEST_F(MiniMode, ACloseRequestOnTheStripRestoresTheFullWindow) {
    w.dlg->OnToggleMiniMode(0, 0);
    w.dlg->OnCancel();
    EXPECT_FALSE(w.dlg->InMiniMode());
    EXPECT_NE(w.dlg->Session().Port(), nullptr) << "the program keeps running";
    EXPECT_EQ(page->loads.back(), QUrl("res://Tessora.exe/104"));
}

}  // namespace
