// The operator's keys on a stand-in page: each posts what its button or tab posts, only on the
// pages where it is live, and never runs while a modal window is up over the main window.
#include <gtest/gtest.h>

#include <QDialog>
#include <functional>
#include <optional>

#include "AppTestSupport.h"
#include "FileDialog.h"
#include "KeyPresses.h"
#include "Messages.h"

namespace {

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        SetFileDialogHook([](FileDialogKind) { return std::optional<std::string>(); });
        w.start();
        QObject::connect(w.dlg.get(), &CDHtmlDialog::commandDone,
                         [this](unsigned message) { ran.push_back(message); });
    }
    void TearDown() override { SetFileDialogHook({}); }

    std::vector<unsigned> commandsOf(const std::function<void()>& action) {
        ran.clear();
        action();
        w.runPostedMessages();
        return ran;
    }
    std::vector<unsigned> commandsOfKey(const char* chord) {
        return commandsOf([&] { EXPECT_TRUE(w.view->pressKey(chord)) << chord; });
    }

    MainWindowFixture w;
    std::vector<unsigned> ran;
};

TEST_F(Keys, EachKeyRunsTheCommandOfItsButtonOrTab) {
    const std::pair<const char*, const char*> keyAndControl[] = {
        {"Ctrl+Return", "btnSend"}, {"Ctrl+4", "Screen4"}, {"Ctrl+3", "Screen3"},
        {"Ctrl+2", "Screen2"},      {"Ctrl+1", "Screen1"}, {"Ctrl+N", "btnNew"},
        {"Ctrl+O", "btnOpen"},      {"Ctrl+S", "btnSave"},
    };
    for (const auto& [chord, control] : keyAndControl) {
        const auto byMouse = commandsOf([&] { w.view->fire(control, "mousedown"); });
        const int screenByMouse = w.dlg->Session().Screen();
        w.dlg->Session().Select(1);
        EXPECT_EQ(commandsOfKey(chord), byMouse) << chord;
        EXPECT_EQ(w.dlg->Session().Screen(), screenByMouse) << chord;
    }
    EXPECT_EQ(commandsOfKey("F2"), std::vector<unsigned>{UWM_TOGGLE_MONITOR});
    EXPECT_FALSE(w.view->pressKey("Ctrl+Shift+N")) << "only the exact chord is taken";

    // The strip has no file commands: they would change screens the operator cannot see.
    w.view->fire("btnToggle", "mousedown");
    w.runPostedMessages();
    w.view->finishLoad(MiniPageElements());
    EXPECT_EQ(w.view->claimedKeys,
              QStringList({"Ctrl+Return", "Ctrl+1", "Ctrl+2", "Ctrl+3", "Ctrl+4", "F2",
                           "Ctrl+Space", "Ctrl+Down", "Ctrl+Up", "F3", "F4"}));
    EXPECT_EQ(commandsOfKey("Ctrl+3"), std::vector<unsigned>{UWM_SELECT_SCREEN});
    EXPECT_EQ(w.dlg->Session().Screen(), 3);
    // The cue list's keys put a cue on the picture from the strip too.
    EXPECT_EQ(commandsOfKey("Ctrl+Space"), std::vector<unsigned>{UWM_CUE_TAKE});
    EXPECT_EQ(commandsOfKey("Ctrl+Up"), std::vector<unsigned>{UWM_CUE_MOVE});
    EXPECT_EQ(commandsOfKey("F4"), std::vector<unsigned>{UWM_CUE_AUTOMATION});
}

TEST_F(Keys, AKeyArrivingUnderAModalWindowIsDropped) {
    QDialog box(w.dlg.get());
    box.setModal(true);
    box.show();
    EXPECT_TRUE(commandsOfKey("Ctrl+N").empty());
    EXPECT_TRUE(commandsOfKey("Ctrl+Return").empty());
    box.hide();
    EXPECT_EQ(commandsOfKey("Ctrl+Return"), std::vector<unsigned>{UWM_SEND});
}

// A key held down under X: each repeat is a release and a press at one time stamp, marked as
// a repeat only when both arrived together; some servers send presses alone. Only the key's
// own press counts, whatever came.
TEST(KeyPresses, AHeldKeyIsPressedOnceWhateverTheWindowSystemSays) {
    constexpr std::uint32_t kReturn = 36;
    constexpr std::uint32_t kSpace = 65;
    KeyPresses keys;
    EXPECT_TRUE(keys.Press(kReturn, 1000, false));
    keys.Release(kReturn, 1200, true);
    EXPECT_FALSE(keys.Press(kReturn, 1200, true)) << "a repeat Qt marked";
    keys.Release(kReturn, 1220, false);
    EXPECT_FALSE(keys.Press(kReturn, 1220, false)) << "a repeat whose press came late, unmarked";
    EXPECT_FALSE(keys.Press(kReturn, 1240, false)) << "a press without a release";
    EXPECT_TRUE(keys.Press(kSpace, 1250, false)) << "each key on its own";
    keys.Release(kReturn, 1300, false);
    EXPECT_TRUE(keys.Press(kReturn, 1450, false)) << "pressed again after a real release";
    keys.Forget();
    EXPECT_TRUE(keys.Press(kReturn, 5000, false)) << "let go while the window was not looking";
    keys.Release(kReturn, 0, false);
    EXPECT_TRUE(keys.Press(kReturn, 0, false)) << "pressed again by a tool that gives no time";
}

// A capital typed fast: Shift and the letter let go in one millisecond, delivered in one
// reused event object. Both are let go, so Ctrl with that letter next is a press of its own
// and runs its command; the same event offered on to a parent changes nothing.
TEST(KeyPresses, TwoKeysLetGoInOneMillisecondAreBothLetGo) {
    constexpr std::uint32_t kShift = 50;
    constexpr std::uint32_t kS = 39;
    constexpr std::uint32_t kCtrl = 37;
    using V = KeyPresses::Verdict;
    KeyPresses keys;
    const int event = 0;  // the one event object Qt fills for each stroke
    EXPECT_EQ(keys.Take(&event, true, kShift, 872, false), V::pass);
    EXPECT_EQ(keys.Take(&event, true, kS, 874, false), V::pass);
    EXPECT_EQ(keys.Take(&event, false, kShift, 879, false), V::pass);
    EXPECT_EQ(keys.Take(&event, false, kS, 879, false), V::pass);
    EXPECT_EQ(keys.Take(&event, false, kS, 879, false), V::pass) << "offered on to a parent";
    EXPECT_EQ(keys.Take(&event, true, kCtrl, 1433, false), V::pass);
    EXPECT_EQ(keys.Take(&event, true, kS, 1443, false), V::pass) << "Ctrl+S taken for a repeat";
    EXPECT_EQ(keys.Take(&event, true, kS, 1443, false), V::pass) << "offered on to a parent";
    EXPECT_EQ(keys.Take(&event, true, kS, 1500, false), V::markRepeat)
        << "a press without a release";
}

}  // namespace
