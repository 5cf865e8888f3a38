// The window keeps its settings with QSettings; whatever that reads from a file is what
// tessora-send must read from it too.

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "PortSettings.h"

namespace {

using Ports = std::vector<std::pair<std::u16string, std::string>>;

std::optional<std::string> Text(const QVariant& value) {
    if (!value.isValid() || value.typeId() == QMetaType::QStringList) return std::nullopt;
    return value.toString().toStdString();
}

TEST(PortSettingsAsQt, ReadsWhatTheWindowsStoreReads) {
    const char* const files[] = {
        "; by hand\r\n[General]\r\nCommPort=COM2\r\n\r\n[Ports]\nCOM1 = /dev/ttyUSB0 ; old\n"
        "COM2=\"/dev/serial/by-id/usb-FTDI_A1,B2-port0\"\nCOM3=/dev/a,/dev/b\n"
        "COM4=/dev/tty\\x55SB\\\\1\nCOM5=/dev/long\\\n/name\nCOM1=/dev/ttyACM0\n"
        "[Monitor]\nCommPort=COM9\n",
        "CommPort=\"COM3\n[Ports]\nCOM3=/dev/ttyUSB0\n",
        "[general]\nCommPort=COM4\n[Ports]\nCOM1=\n",
        "CommPort = \"COM 5\" \n#x=1\n[Ports]\nCOM1=\"/dev/a\" tail\nCOM2=\\\"q\\\"\n"
        "COM3=\\101\\t!\nCOM4=\\xE9\\;x\\x\nCOM5=  \"  /dev/x  \"  y  \n",
        "[Ports]\nCOM1=/dev/a\\\r\nb\n[General]\nCommPort=COM1 \t\n[Ports]\nCOM2=/dev/\"a b\"/c\n"
        "no setting here\nCOM3=a;b\nCOM4=\"a;b\"\nCOM5=\\\"a;b\n",
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char* file : files) {
        const QString path = folder.filePath(QStringLiteral("Tessora.conf"));
        std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc) << file;

        QSettings store(path, QSettings::IniFormat);
        Ports expected;
        store.beginGroup(QStringLiteral("Ports"));
        for (const QString& name : store.childKeys())
            if (const auto device = Text(store.value(name)))
                expected.emplace_back(name.toStdU16String(), *device);
        store.endGroup();

        PortSettings read = ReadPortSettings(path.toStdString());
        std::sort(read.ports.begin(), read.ports.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(read.commPort, Text(store.value(QStringLiteral("CommPort")))) << file;
        EXPECT_EQ(read.ports, expected) << file;
    }
}

}  // namespace
