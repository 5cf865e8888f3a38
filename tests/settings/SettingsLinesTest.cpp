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
    EXPECT_FALSE(lines.rewriteLosesLines) << bytes.constData();
}

TEST(SettingsLines, LinesTheReaderTakesOtherwise) {
    const struct {
        const char* file;
        int misreadLine;  // 0: none
        bool lost;        // a rewrite would lose a line
    } cases[] = {
        {"[General]\r\nA=b\\\r\n[Ports]\r\n", 2, true},
        {"[Ports\nCOM1=/dev/ttyUSB0\n", 1, true},
        {"[General]\nA=b\\\\\nB=\\\"\nC=x\\", 0, false},  // escaped, or at the very end
        {"; my ports\n[Ports]\nCOM1=/dev/ttyUSB0 ; the left one\n", 0, true},
        {"[Ports]\nCOM1=/dev/ttyUSB0\nCOM1=/dev/ttyUSB1\n", 0, true},
        {"\n  [Ports]  \n\tCOM1 = /dev/ttyUSB0\n", 0, false},
    };
    for (const auto& c : cases) {
        const SettingsLines lines = ReadSettingsLines(c.file);
        EXPECT_EQ(lines.misread ? lines.misread->line : 0, c.misreadLine) << c.file;
        EXPECT_EQ(lines.rewriteLosesLines, c.lost) << c.file;
    }
}

}  // namespace
