// The Win32 port on a real COM port: tests/windows/send_com.sh maps one to the virtual unit
// under wine and names it in TESSORA_TEST_COM. Without one, only the missing port is tried.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "Port.h"

namespace {

using namespace std::chrono_literals;

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

// The far end going away loses the line, as on POSIX: what is written is refused, and the
// port still closes at once. send_com.sh ends the unit once the file named in
// TESSORA_TEST_GONE says the port is open.
TEST_F(WinPortOnUnit, APeerGoneLosesTheLine) {
    const char* ready = std::getenv("TESSORA_TEST_GONE");
    if (ready == nullptr) GTEST_SKIP() << "no one to end the unit (TESSORA_TEST_GONE)";
    std::ofstream(ready) << "open\n";
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (port.State() == CPort::LineState::Live && std::chrono::steady_clock::now() < deadline) {
        port.Write("x");
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(port.State(), CPort::LineState::Lost);
    EXPECT_EQ(port.Write("x"), 1);
    EXPECT_EQ(port.LastError(), std::errc::not_connected);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.HasWorkerThreads());
}

}  // namespace
