// How a hand-edited settings file is read, told apart from what was written: a false alarm
// would stop a mapped port from opening, a missed one lets a port open on a guess.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "SettingsLines.h"

namespace {

// What the store itself writes, however odd the values, reads back as written.
TEST(SettingsLines, TheStoresOwnFileReadsAsWritten) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Tessora.conf"));
    {
        QSettings store(path, QSettings::IniFormat);
        int n = 0;
        for (const char* value : {"C:\\Shows\\", "a\"b", "\"q", "x;y", "a=b", "[Ports]", "tab\t",
                                  "two\nlines", "\\\\", " lead", "#", ";", "a,b", "@at", ""})
            store.setValue(QStringLiteral("Value%1").arg(n++), QString::fromUtf8(value));
        store.setValue(QStringLiteral("Ports/COM1"), QStringLiteral("/dev/ttyUSB0"));
        store.setValue(QStringLiteral("a key=;\\"), QStringList{QStringLiteral("x\"")});
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const SettingsLines lines = ReadSettingsLines({bytes.constData(), std::size_t(bytes.size())});
    EXPECT_FALSE(lines.misread) << lines.misread->line << ": " << bytes.constData();
}

TEST(SettingsLines, LinesTheReaderTakesOtherwise) {
    const struct {
        const char* file;
        int misreadLine;  // 0: none
    } cases[] = {
        {"[General]\r\nA=b\\\r\n[Ports]\r\n", 2},
        {"[Ports\nCOM1=/dev/ttyUSB0\n", 1},
        {"[General]\nA=b\\\\\nB=\\\"\nC=x\\", 0},  // escaped, or at the very end
        {"; my ports\n[Ports]\nCOM1=/dev/ttyUSB0 ; the left one\n", 0},
        {"[Ports]\nCOM1=/dev/ttyUSB0\nCOM1=/dev/ttyUSB1\n", 0},
        {"\n  [Ports]  \n\tCOM1 = /dev/ttyUSB0\n", 0},
    };
    for (const auto& c : cases) {
        const SettingsLines lines = ReadSettingsLines(c.file);
        EXPECT_EQ(lines.misread ? lines.misread->line : 0, c.misreadLine) << c.file;
    }
}

// A setting is written on its own line: the one that sets it (the last, which the reader
// takes), else after its group's last line, else in its group added at the end. Nothing
// else moves.
TEST(SettingsLines, ASettingChangesItsOwnLineAlone) {
    const struct {
        const char* file;
        const char* group;
        const char* after;
    } cases[] = {
        {"", "General", "[General]\nCommPort=COM2\n"},
        {"; mine\r\nLastFolder=C:\\Shows\r\n CommPort = COM1 ; old\r\n[Ports]\r\nCOM1=x\r\n",
         "General", "; mine\r\nLastFolder=C:\\Shows\r\nCommPort=COM2\r\n[Ports]\r\nCOM1=x\r\n"},
        {"[General]\nCommPort=COM1\nCommPort=COM3\n", "General",
         "[General]\nCommPort=COM1\nCommPort=COM2\n"},
        {"[General]\nA=1\n\n[Ports]\nCOM1=x", "General",
         "[General]\nA=1\nCommPort=COM2\n\n[Ports]\nCOM1=x"},
        {"[Ports]\nCOM1=x", "Cues", "[Ports]\nCOM1=x\n\n[Cues]\nCommPort=COM2\n"},
        {"[Ports]\nCommPort=y\n[Cues]\n", "Cues", "[Ports]\nCommPort=y\n[Cues]\nCommPort=COM2\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithSetting(c.file, c.group, "CommPort", "COM2"), c.after) << c.file;
}

}  // namespace
