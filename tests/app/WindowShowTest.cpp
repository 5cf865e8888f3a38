// A page window's first appearance waits for its page, so the operator never sees an empty
// frame, and a window ended before its page came still ends and stays away.
#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <memory>

#include "DHtmlDialog.h"
#include "DialogTemplate.h"
#include "FakePageView.h"

namespace {

// A stand-in browser with a widget of its own, as the real one has.
class ViewWithWidget : public FakePageView {
public:
    QWidget* widget() override {
        if (!m_widget) m_widget = new QWidget;  // the dialog takes it into its layout
        return m_widget;
    }

private:
    QWidget* m_widget = nullptr;
};

class WindowShow : public ::testing::Test {
protected:
    void SetUp() override {
        view = pages.next(std::make_unique<ViewWithWidget>());
        dlg = std::make_unique<CDHtmlDialog>(IDD_TESSORA_DIALOG, 104);
        // A dialog left up fails the test rather than hanging it.
        QTimer::singleShot(4000, dlg.get(), [this] { dlg->done(-1); });
    }

    FakePageViews pages;
    ViewWithWidget* view = nullptr;
    std::unique_ptr<CDHtmlDialog> dlg;
};

TEST_F(WindowShow, AppearsOnlyOnceItsPageIsTakenUp) {
    bool shownBeforePage = true, shownWithPage = false;
    QTimer::singleShot(0, dlg.get(), [&] {
        shownBeforePage = dlg->isVisible();
        view->finishLoad(MainPageElements());
        shownWithPage = dlg->isVisible();
        dlg->done(IDOK);
    });
    EXPECT_EQ(dlg->DoModal(), IDOK);
    EXPECT_FALSE(shownBeforePage) << "an empty frame was shown";
    EXPECT_TRUE(shownWithPage);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(WindowShow, AWindowEndedBeforeItsPageCameEndsAndStaysAway) {
    QTimer::singleShot(0, dlg.get(), [this] { dlg->done(IDCANCEL); });
    EXPECT_EQ(dlg->DoModal(), IDCANCEL);
    view->finishLoad(MainPageElements());  // the page arrives after the end
    EXPECT_FALSE(dlg->isVisible());
}

}  // namespace
