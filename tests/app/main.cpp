#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>

// The window and dialog tests run on an off-screen display with their own, empty settings home,
// which holds their as-run logs too.
int main(int argc, char** argv) {
    char home[] = "/tmp/tessora-window-tests-XXXXXX";
    if (mkdtemp(home)) {
        setenv("XDG_CONFIG_HOME", home, 1);
        setenv("XDG_STATE_HOME", home, 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(QString::fromLocal8Bit(home)).removeRecursively();
    return result;
}
