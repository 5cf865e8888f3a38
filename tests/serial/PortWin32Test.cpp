// The Win32 port on a real COM port: tests/windows/send_com.sh maps one to the virtual unit
// under wine and names it in TESSORA_TEST_COM. Without one, only the missing port is tried.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Port.h"

namespace {

int IsOpen(const CPort& port) {
    int open = -1;
    port.IsOpen(&open);
    return open;
}

std::u16string TestPort() {
    const char* name = std::getenv("TESSORA_TEST_COM");
    return name == nullptr ? std::u16string() : std::u16string(name, name + std::strlen(name));
}

TEST(WinPort, AMissingPortIsNotFoundAndTakesNothing) {
    CPort port;
    port.SetPort(u"COM250");
    EXPECT_EQ(IsOpen(port), 0);
    EXPECT_EQ(port.DevicePath(), "\\\\.\\COM250");
    EXPECT_EQ(port.LastError(), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(port.HasWorkerThreads());
    EXPECT_EQ(port.Write("{A19"), 1);
    EXPECT_EQ(port.LastError(), std::errc::not_connected);
}

class WinPortOnUnit : public ::testing::Test {
protected:
    void SetUp() override {
        if (name.empty()) GTEST_SKIP() << "no COM port mapped (TESSORA_TEST_COM)";
        port.SetPort(name.c_str());
        ASSERT_EQ(IsOpen(port), 1) << port.LastError().message();
    }
    const std::u16string name = TestPort();
    CPort port;
};

// The writer sends about a byte a millisecond, so the ring fills long before it drains: the
// text that does not fit is refused whole, and Close ends the workers with the line busy.
TEST_F(WinPortOnUnit, AFullRingRefusesTheWholeTextAndClosesPromptly) {
    const std::string text(CPort::kMaxText, 'x');
    int queued = 0;
    while (queued < 8 && port.Write(text) == 0) ++queued;
    EXPECT_EQ(queued, 4);
    EXPECT_EQ(port.LastError(), std::errc::no_buffer_space);
    const std::size_t before = port.QueuedBytes();
    EXPECT_EQ(port.Write(text), 1);
    EXPECT_LE(port.QueuedBytes(), before);
    EXPECT_GT(port.QueuedBytes(), TransmitRing::kCapacity - CPort::kMaxText);

    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.HasWorkerThreads());
    EXPECT_FALSE(port.HasCommHandle());
    port.SetPort(name.c_str());
    EXPECT_EQ(IsOpen(port), 1) << "the port was not given back";
}

}  // namespace
