#include <gtest/gtest.h>

#include "LineSettings.h"
#include "Port.h"

namespace {

TEST(ModeString, ParsesTheLineSettingsAndRefusesTheRest) {
    struct Case {
        std::u16string_view mode;
        bool valid;
        unsigned baud;
        char parity;
        int data;
        int stop;
    };
    const Case cases[] = {
        {u"9600,N,8,1", true, 9600, 'N', 8, 1},
        {u"19200, e ,7,2", true, 19200, 'E', 7, 2},
        {u"300,o,5,1", true, 300, 'O', 5, 1},
        {u"9600,N,8", false, 0, 0, 0, 0},
        {u"9600,N,8,1,x", false, 0, 0, 0, 0},
        {u"9601,N,8,1", false, 0, 0, 0, 0},
        {u"96OO,N,8,1", false, 0, 0, 0, 0},
        {u"9600,X,8,1", false, 0, 0, 0, 0},
        {u"9600,N,9,1", false, 0, 0, 0, 0},
        {u"9600,N,8,1.5", false, 0, 0, 0, 0},
        {u"9600,N,8,3", false, 0, 0, 0, 0},
        {u"4294967296,N,8,1", false, 0, 0, 0, 0},
        {u"", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseModeString(c.mode);
        ASSERT_EQ(parsed.has_value(), c.valid) << std::string(c.mode.begin(), c.mode.end());
        if (parsed) {
            EXPECT_EQ(parsed->baud, c.baud);
            EXPECT_EQ(parsed->parity, c.parity);
            EXPECT_EQ(parsed->dataBits, c.data);
            EXPECT_EQ(parsed->stopBits, c.stop);
        }
    }
}

TEST(ModeString, ReadBackCatchesWhatTheDriverDidNotTake) {
    const LineSettings settings = *ParseModeString(u"9600,N,8,1");
    termios cooked{};
    cooked.c_iflag = ICRNL | IXON;
    cooked.c_oflag = OPOST | ONLCR;
    cooked.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
    cooked.c_lflag = ICANON | ECHO | ISIG;
    EXPECT_FALSE(LineMatches(settings, cooked));

    termios raw = cooked;
    ApplyLineSettings(settings, &raw);
    EXPECT_TRUE(LineMatches(settings, raw));

    const tcflag_t unwanted[] = {CRTSCTS, CSTOPB, PARENB};
    for (const tcflag_t flag : unwanted) {
        termios ignored = raw;
        ignored.c_cflag |= flag;
        EXPECT_FALSE(LineMatches(settings, ignored)) << flag;
    }
    termios slower = raw;
    cfsetospeed(&slower, B4800);
    EXPECT_FALSE(LineMatches(settings, slower));
}

TEST(DefaultPortDevice, MapsComNamesToSerialDevices) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"COM1", "/dev/ttyS0"},
        {u"COM4", "/dev/ttyS3"},
        {u"com2", "/dev/ttyS1"},
        {u"COM10", "/dev/ttyS9"},
        {u"COM0", ""},
        {u"COM01", ""},
        {u"COM", ""},
        {u"COM1 ", ""},
        {u"LPT1", ""},
        {u"COM999999", ""},
        {u"", ""},
    };
    for (const auto& [name, device] : cases) {
        EXPECT_EQ(DefaultPortDevice(name), device) << std::string(name.begin(), name.end());
    }
}

}  // namespace
