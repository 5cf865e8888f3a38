// The main window on its real page: tab colours, focus, the lists, screens kept across tab
// changes, presses with any button, and the trip to the mini page and back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "EngineSettings.h"
#include "MessageBox.h"
#include "PageResources.h"
#include "ResScheme.h"
#include "TessoraDlg.h"
#include "WebPageProbe.h"
#include "WebPageView.h"

namespace {

constexpr char kSelected[] = "rgb(102, 102, 153)";  // #666699
constexpr char kPlain[] = "rgb(51, 51, 153)";       // #333399

class MainPage : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxHook(
            [](const std::string&, unsigned, const std::string&) { return IDOK; });  // no port here
        dlg = std::make_unique<CTessoraDlg>();
        dlg->Clock().SetReader([] { return ClockSync::Synchronised; });
        QObject::connect(dlg.get(), &CDHtmlDialog::pageReady, [this] { ++ready; });
        QObject::connect(dlg.get(), &CDHtmlDialog::commandDone, [this] { ++done; });
        dlg->OnInitDialog();
        dlg->show();
        probe = std::make_unique<WebPageProbe>(*dlg);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        ASSERT_TRUE(WaitUntil([&] { return ready > 0; })) << "main page never taken up";
    }
    void TearDown() override {
        dlg->OnCancel();
        SetMessageBoxHook({});
    }

    QString tab(int n) {
        return probe
            ->js(QStringLiteral("getComputedStyle(document.getElementById('Screen%1'))"
                                ".backgroundColor")
                     .arg(n))
            .toString();
    }
    QString value(const char* id) {
        return probe->js(QStringLiteral("document.getElementById('%1').value").arg(id)).toString();
    }
    QString chosen(const char* id) {
        return probe
            ->js(QStringLiteral("(function(){var s=document.getElementById('%1');"
                                "return s.options[s.selectedIndex].text;})()")
                     .arg(id))
            .toString();
    }
    // Presses and waits for the command it posts to have run.
    void press(const char* id, Qt::MouseButton button = Qt::LeftButton) {
        const int before = done;
        probe->press(id, button);
        ASSERT_TRUE(WaitUntil([&] { return done > before; })) << "no command after " << id;
    }

    int ready = 0;
    int done = 0;
    std::unique_ptr<CTessoraDlg> dlg;
    std::unique_ptr<WebPageProbe> probe;
};

TEST_F(MainPage, StartsOnScreenOneEmptyFocusedWithNoStamps) {
    EXPECT_EQ(tab(1), kSelected);
    for (int n = 2; n <= 4; ++n) EXPECT_EQ(tab(n), kPlain) << n;
    EXPECT_EQ(value("scrText"), "");
    EXPECT_TRUE(WaitUntil([&] { return probe->js("document.activeElement.id") == "scrText"; }));
    EXPECT_EQ(chosen("cmbDate"), "None");
    EXPECT_EQ(chosen("cmbTime"), "None");
}

TEST_F(MainPage, TypedTextComesBackWhenItsTabIsPressedAgain) {
    probe->typeInto("scrText", "On screen one");
    ASSERT_TRUE(WaitUntil([&] { return value("scrText") == "On screen one"; }));
    press("Screen2");
    EXPECT_TRUE(WaitUntil([&] { return tab(2) == kSelected; }));
    EXPECT_EQ(value("scrText"), "");
    press("Screen1");
    EXPECT_TRUE(WaitUntil([&] { return value("scrText") == "On screen one"; }));
    EXPECT_EQ(dlg->Session().Screens().Text(0), "On screen one");
}

TEST_F(MainPage, AnyButtonOnALabelRunsItsCommandButPicturesAndLogoDoNothing) {
    const auto pressAt = [&](const char* script) {
        const QVariantList xy = probe->js(script).toList();
        QTest::mousePress(probe->input(), Qt::LeftButton, {}, QPoint(xy[0].toInt(), xy[1].toInt()));
        QTest::mouseRelease(probe->input(), Qt::LeftButton, {},
                            QPoint(xy[0].toInt(), xy[1].toInt()));
    };
    // The lower part of the first screen picture, below its tab, and the maker's logo.
    pressAt(
        "(function(){var r=document.querySelector('img[src$=\"smallscreen.bmp\"]')"
        ".getBoundingClientRect();"
        "return [r.left+r.width/2, r.bottom-4];})()");
    pressAt(
        "(function(){var r=document.querySelector('img[src$=\"halvr.bmp\"]')"
        ".getBoundingClientRect();return [r.left+r.width/2, r.top+r.height/2];})()");
    // The next press's command is the first to run: neither of those posted one.
    press("Screen3", Qt::MiddleButton);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(dlg->Session().Screen(), 3);
    EXPECT_FALSE(dlg->InMiniMode());
    press("tagToggle", Qt::RightButton);
    EXPECT_TRUE(dlg->InMiniMode());
}

TEST_F(MainPage, TheMiniPageAndBackShowTheSameScreen) {
    press("Screen2");
    probe->typeInto("scrText", "Second");
    ASSERT_TRUE(WaitUntil([&] { return value("scrText") == "Second"; }));
    probe->js(
        "var s = document.getElementById('cmbTime'); s.selectedIndex = 3;"
        "s.dispatchEvent(new Event('change'));");
    ASSERT_TRUE(WaitUntil([&] { return dlg->Session().Screens().TimeCorner(1) == 3; }));
    // Whatever the line says over it, the message line holds a text to carry across.
    dlg->Session().ShowNotice("A message");
    const std::string message = dlg->Session().Message();
    ASSERT_FALSE(message.empty());
    press("btnToggle");
    ASSERT_TRUE(WaitUntil([&] { return ready == 2; })) << "the strip's page never taken up";
    EXPECT_TRUE(dlg->HasElement("tagToggle") && !dlg->HasElement("scrText"));
    EXPECT_EQ(probe->js("document.getElementById('tagToggle').innerText").toString(),
              "Restore Tessora");
    press("tagToggle");
    EXPECT_FALSE(dlg->InMiniMode());
    ASSERT_TRUE(WaitUntil([&] { return ready == 3; })) << "the main page never came back";
    EXPECT_TRUE(value("scrText") == "Second")
        << "document holds [" << dlg->Session().Screens().Text(1) << "], page shows ["
        << value("scrText").toStdString() << "], screen " << dlg->Session().Screen();
    EXPECT_EQ(tab(2), kSelected);
    EXPECT_EQ(chosen("cmbTime"), "Bottom Left");
    EXPECT_EQ(probe->js("document.getElementById('divDirty').innerText").toString(), "dirty");
    EXPECT_EQ(probe->js("document.getElementById('divMessage').innerText").toString().toStdString(),
              message);
}

}  // namespace

int main(int argc, char** argv) {
    char home[] = "/tmp/tessora-page-tests-XXXXXX";
    if (mkdtemp(home)) {
        setenv("XDG_CONFIG_HOME", home, 1);
        setenv("XDG_STATE_HOME", home, 1);
    }
    InitPageResources();
    ApplyEngineSettings();  // the rendering path the program itself takes
    RegisterResScheme();
    UseWebPages();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
