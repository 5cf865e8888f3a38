// Start-up, settings and shutdown of the main window.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <tuple>

#include "AppTestSupport.h"
#include "FileBytes.h"
#include "MessageBox.h"
#include "Messages.h"

namespace {

constexpr char kOpenPortFailed[] = "Could not open port - please check settings!";

std::u16string portName(CTessoraDlg& dlg) {
    std::u16string name;
    dlg.Session().Port()->GetPortName(&name);
    return name;
}

bool isOpen(CTessoraDlg& dlg) {
    int open = 0;
    dlg.Session().Port()->IsOpen(&open);
    return open != 0;
}

// The state a window starts in when its settings give it nothing to use.
void ExpectDefaults(CTessoraDlg& dlg) {
    const CTessoraDlg::StripStore strip = dlg.StoredStrip();
    EXPECT_EQ(std::tie(strip.x, strip.y, strip.width, strip.height), std::tuple(0, 0, 100, 50));
    EXPECT_FALSE(isOpen(dlg));
    EXPECT_EQ(portName(dlg), u"COM1");
}

QString SettingsFile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvercrest"),
                     QStringLiteral("Tessora"))
        .fileName();
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(); }
};

TEST_F(Startup, FirstRunUsesTheDefaultsAndStoresAllFiveValuesAtClose) {
    MainWindowFixture w;
    w.start();
    ExpectDefaults(*w.dlg);
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].first, kOpenPortFailed);
    EXPECT_EQ(w.boxes[0].second & MB_TYPEMASK, MB_OK);
    EXPECT_FALSE(w.dlg->HasTimer(IDT_STAMP));

    w.dlg->OnCancel();
    EXPECT_EQ(w.dlg->Session().Port(), nullptr);
    EXPECT_EQ(ReadSetting("CommPort").toString(), "COM1");
    EXPECT_EQ(ReadSetting("MinPosX").toInt(), 0);
    EXPECT_EQ(ReadSetting("MinPosY").toInt(), 0);
    EXPECT_EQ(ReadSetting("MinSizeWidth").toInt(), 100);
    EXPECT_EQ(ReadSetting("MinSizeHeight").toInt(), 50);
}

TEST_F(Startup, OnlyAStoredNameStartingWithCapitalComIsApplied) {
    struct Case {
        const char* stored;
        std::u16string nameAfterStart;
    };
    for (const Case& c : {Case{"com2", u"COM1"}, Case{"COM12", u"COM12"}, Case{"XCOM1", u"COM1"},
                          Case{"COM", u"COM"}}) {
        ResetSettings();
        WriteSetting("CommPort", c.stored);
        WriteSetting("Ports/COM12", "/nonexistent/tty");  // applied names must not open
        MainWindowFixture w;
        w.start();
        EXPECT_EQ(portName(*w.dlg), c.nameAfterStart) << c.stored;
        EXPECT_FALSE(isOpen(*w.dlg)) << c.stored;
        w.dlg->OnCancel();
        EXPECT_EQ(ReadSetting("CommPort").toString().toStdU16String(), c.nameAfterStart)
            << c.stored;
    }
}

TEST_F(Startup, ANameTooLongForItsBufferIsNotApplied) {
    WriteSetting("CommPort", QString("COM") + QString(253, '9'));  // 256 bytes
    MainWindowFixture w;
    w.start();
    EXPECT_EQ(portName(*w.dlg), u"COM1");
}

TEST_F(Startup, WindowValuesThatAreNotThirtyTwoBitIntegersKeepTheirDefaults) {
    WriteSetting("MinPosX", "twelve");
    WriteSetting("MinPosY", "-40");
    WriteSetting("MinSizeWidth", "4294967296");
    WriteSetting("MinSizeHeight", "1.5");
    MainWindowFixture w;
    w.start();
    const CTessoraDlg::StripStore strip = w.dlg->StoredStrip();
    EXPECT_EQ(std::tie(strip.x, strip.y, strip.width, strip.height), std::tuple(0, -40, 100, 50));
}

// Puts bytes in the settings file as another program or a bad disk might leave it.
void WriteSettingsFile(const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(SettingsFile()).path());
    QFile out(SettingsFile());
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
}

TEST_F(Startup, ASettingsFileFullOfGarbageReadsAsDefaults) {
    static const char kJunk[] =
        "[General\n=\x01\xff\xfe\n[[[\nCommPort\nMinPosX=\"12\nMinPosY=@Variant(\x00\x00)\n"
        "MinSizeWidth=0x7fffffffff\nMinSizeHeight=-\n[Ports]\nCOM1=\n";
    QByteArray junk(kJunk, sizeof kJunk - 1);
    for (int i = 0; i < 4096; ++i) junk.append(static_cast<char>((i * 7919) & 0xFF));
    WriteSettingsFile(junk);

    MainWindowFixture w;
    w.start();
    ExpectDefaults(*w.dlg);
}

// What the program could not read is not its to throw away: the file is kept as it was.
TEST_F(Startup, ASettingsFileThatDoesNotReadCleanlyIsKeptBeforeItIsRewritten) {
    // An unclosed quote runs on over the [Ports] group, which a rewrite would drop.
    const QByteArray original =
        "[General]\nCommPort=COM2\nMinPosX=\"12\n[Ports]\nCOM2=/dev/ttyUSB7\n";
    WriteSettingsFile(original);
    MainWindowFixture w;
    w.start();
    w.dlg->OnCancel();
    QFile kept(SettingsFile() + QStringLiteral(".bak"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), original);
    EXPECT_EQ(ReadSetting("CommPort").toString(), "COM2");
}

// A hand-edited file that does not read as written is no ground to open a port on: a port
// whose mapping may be among the lines misread opens nothing, rather than the device an
// unmapped name falls back to, and the file is kept as it was.
TEST_F(Startup, ASettingsFileThatDoesNotReadAsWrittenOpensNoGuessedPortAndIsKept) {
    const struct {
        QByteArray file;
        const char* line;  // where the detail says it went wrong
    } cases[] = {
        // The backslash joins [Ports] to the value before it.
        {"[General]\nCommPort=COM1\nLastFolder=C:\\Shows\\\n[Ports]\nCOM1=/dev/tessora-test\n",
         ", line 3:"},
        {"[General]\nCommPort=COM1\n[Ports]\nCOM1 /dev/tessora-test\n", ", line 4:"},
    };
    for (const auto& c : cases) {
        ResetSettings();
        QFile::remove(SettingsFile() + QStringLiteral(".bak"));
        WriteSettingsFile(c.file);
        FakeLine fallback;  // what COM1 would fall back to
        MainWindowFixture w;
        w.dlg->SetUnmappedPortDevice([&](const std::u16string&) { return fallback.device(); });
        w.start();
        EXPECT_FALSE(isOpen(*w.dlg)) << c.line;
        EXPECT_EQ(w.dlg->Session().Port()->DevicePath(), "") << c.line;
        EXPECT_EQ(fallback.received(1, std::chrono::milliseconds(200)), "") << c.line;
        ASSERT_FALSE(w.details.empty()) << c.line;
        EXPECT_NE(w.details.front().find(SettingsFile().toStdString() + c.line), std::string::npos)
            << w.details.front();
        EXPECT_EQ(w.boxes.back().first, kOpenPortFailed) << c.line;
        w.dlg->OnCancel();
        QFile kept(SettingsFile() + QStringLiteral(".bak"));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << c.line;
        EXPECT_EQ(kept.readAll(), c.file);
    }
}

TEST_F(Startup, AnOpenPortIsGreetedThenClearedAndTheClockStarts) {
    FakeLine line;
    WriteSetting("CommPort", "COM1");
    WriteSetting("Ports/COM1", QString::fromStdString(line.device()));
    MainWindowFixture w;
    const auto before = std::chrono::steady_clock::now();
    w.start();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_TRUE(isOpen(*w.dlg));
    EXPECT_GE(took, std::chrono::milliseconds(1500)) << "the greeting stays up 1500 ms";
    EXPECT_TRUE(w.dlg->HasTimer(IDT_STAMP));
    const std::string greeting = "{A19{C0000Halvercrest Tessora Connected";
    EXPECT_EQ(line.received(greeting.size() + 4, std::chrono::seconds(10)), greeting + "{A19");

    w.dlg->OnCancel();
    EXPECT_FALSE(w.dlg->HasTimer(IDT_STAMP));
    EXPECT_EQ(w.dlg->Session().Port(), nullptr);
}

// A file named on the command line opens from the window's loop, after the start-up boxes,
// and fails with the boxes Open shows, leaving the empty screen set and the plain title.
TEST_F(Startup, AStartFileOpensFromTheLoopWithOpensOwnBoxes) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string dir = folder.path().toStdString();
    // Screen1: time corner 1, date corner 4, "abc"; the other three empty.
    WriteAll(dir + "/good.show.tso",
             std::string("\1\0\0\0\4\0\0\0\3abc", 12) + std::string(27, '\0'));
    WriteAll(dir + "/short.tso", std::string(20, '\0'));
    const std::pair<std::string, unsigned> portBox{kOpenPortFailed, MB_OK};
    const struct {
        std::string file;
        std::vector<std::pair<std::string, unsigned>> boxes;
        std::string text;
        QString title;
    } cases[] = {
        {"good.show.tso", {portBox}, "abc", "Halvercrest Pexalune - good.show"},
        {"short.tso",
         {portBox,
          {"An attempt was made to access an unnamed file past its end.", MB_OK | MB_ICONSTOP}},
         "",
         "Tessora"},
        {"missing.tso", {portBox, {"Could not open file!", MB_OK}}, "", "Tessora"},
    };
    for (const auto& c : cases) {
        MainWindowFixture w;
        w.dlg->OpenAtStart(dir + "/" + c.file);
        w.start();
        EXPECT_EQ(w.boxes, decltype(c.boxes){portBox}) << c.file << ": nothing before the loop";
        EXPECT_EQ(w.dlg->Session().Screens().m_strText1, "") << c.file;
        w.runPostedMessages();
        w.runPostedMessages();
        EXPECT_EQ(w.boxes, c.boxes) << c.file << ": opened once";
        EXPECT_EQ(w.dlg->Session().Screens().m_strText1, c.text) << c.file;
        EXPECT_EQ(w.dlg->Session().Screens().m_nTime1, c.text.empty() ? 0 : 1) << c.file;
        EXPECT_EQ(w.dlg->windowTitle(), c.title) << c.file;
        EXPECT_EQ(w.view->page["scrText"].value, QString::fromStdString(c.text)) << c.file;
        EXPECT_EQ(w.view->page["cmbDate"].selectedIndex, c.text.empty() ? 0 : 4) << c.file;
        EXPECT_FALSE(w.dlg->Session().Modified()) << c.file;
    }
}

}  // namespace
