#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PortSettings.h"

namespace {

using Ports = std::vector<std::pair<std::u16string, std::string>>;

TEST(PortSettings, ReadsThePortAndTheMappingAsTheWindowsStoreDoes) {
    const PortSettings settings = ParsePortSettings(
        "; written by hand\r\n"
        "[General]\r\n"
        "CommPort=COM2\r\n"
        "MinPosX=0\r\n"
        "\r\n"
        "[Ports]\n"
        "COM1 = /dev/ttyUSB0 ; the old adapter\n"
        "COM2=\"/dev/serial/by-id/usb-FTDI_A1,B2-port0\"\n"
        "COM3=/dev/a,/dev/b\n"
        "COM4=/dev/tty\\x55SB\\\\1\n"
        "COM5=/dev/long\\\n"
        "/name\n"
        "COM1=/dev/ttyACM0\n"
        "[Monitor]\n"
        "CommPort=COM9\n");
    EXPECT_EQ(settings.commPort, "COM2");
    // The window warns of the joined line, and opens no device for an unmapped port.
    ASSERT_TRUE(settings.misread);
    EXPECT_EQ(settings.misread->line, 11);
    // A list (COM3) is no path; a name given again means its last value.
    EXPECT_EQ(settings.ports, (Ports{{u"COM2", "/dev/serial/by-id/usb-FTDI_A1,B2-port0"},
                                     {u"COM4", "/dev/ttyUSB\\1"},
                                     {u"COM5", "/dev/long/name"},
                                     {u"COM1", "/dev/ttyACM0"}}));
    EXPECT_TRUE(settings.asRunEnabled);
}

TEST(PortSettings, TurnsTheAsRunLogOffOnlyForAWholeZero) {
    const struct {
        const char* enabled;
        bool on;
    } rows[] = {{"0", false}, {" +0 ", false}, {"1", true}, {"no", true}, {"0x", true}, {"", true}};
    for (const auto& row : rows) {
        const std::string text = std::string("[AsRun]\nEnabled=") + row.enabled + "\n";
        EXPECT_EQ(ParsePortSettings(text).asRunEnabled, row.on) << row.enabled;
    }
    EXPECT_TRUE(ParsePortSettings("[General]\nEnabled=0\n").asRunEnabled);
}

}  // namespace
