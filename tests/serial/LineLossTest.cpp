#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "Port.h"
#include "Pty.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using State = CPort::LineState;

int IsOpen(const CPort& port) {
    int open = -1;
    port.IsOpen(&open);
    return open;
}

long CpuMicroseconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    const auto us = [](const timeval& t) { return t.tv_sec * 1'000'000L + t.tv_usec; };
    return us(r.ru_utime) + us(r.ru_stime);
}

// The adapter as udev shows it: a stable link that is gone while it is unplugged and comes
// back pointing at whatever device node the kernel gives it next.
class LineLossTest : public ::testing::Test {
protected:
    LineLossTest() {
        fs::create_directories(dir);
        Plug(pty);
        port.SetPort(u"COM1");
    }
    ~LineLossTest() override { fs::remove_all(dir); }

    void Plug(const Pty& device) {
        fs::remove(link);
        fs::create_symlink(device.Path(), link);
    }
    // As the window does: once a tick until the line is back or the time is up.
    bool ReconnectWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (port.Reconnect() == 0) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    bool LostWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (port.State() != State::Lost && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        return port.State() == State::Lost;
    }
    // Unplugs while ticks flow: the far end goes, and so does the stable link.
    void PullWhileSending() {
        ASSERT_EQ(port.Write(std::string(200, 't')), 0);
        ASSERT_EQ(pty.Read(5, 2s).size(), 5u);
        pty.CloseMaster();
        fs::remove(link);
        ASSERT_TRUE(LostWithin(1s));
    }

    fs::path dir = fs::temp_directory_path() / ("tessora-replug-" + std::to_string(::getpid()));
    fs::path link = dir / "usb-Tessora_Unit-if00-port0";
    Pty pty;
    CPort port{MappedPortDevices({{u"COM1", link.string()}})};
};

TEST_F(LineLossTest, AReplugThroughTheStableLinkComesBackWithOnlyNewBytes) {
    ASSERT_EQ(port.State(), State::Live);
    PullWhileSending();

    // While lost: not open to anyone asking, nothing queued, tries fail without harm.
    EXPECT_EQ(IsOpen(port), 0);
    EXPECT_EQ(port.Write("stale"), 1);
    EXPECT_EQ(port.LastError(), std::errc::not_connected);
    EXPECT_FALSE(ReconnectWithin(200ms));
    EXPECT_EQ(port.LastError(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(port.State(), State::Lost);

    Pty replugged;
    Plug(replugged);
    ASSERT_TRUE(ReconnectWithin(1s));
    EXPECT_EQ(port.State(), State::Live);
    EXPECT_EQ(IsOpen(port), 1);
    EXPECT_FALSE(port.LastError());
    ASSERT_EQ(port.Write("tick"), 0);
    // The rest of the text cut off by the pull is not sent again: only the new tick.
    EXPECT_EQ(replugged.Read(4, 2s), "tick");
    EXPECT_EQ(replugged.Read(1, 200ms), "");

    // And it is lost and found a second time just the same.
    replugged.CloseMaster();
    ASSERT_TRUE(LostWithin(1s));
    Pty third;
    Plug(third);
    ASSERT_TRUE(ReconnectWithin(1s));
    ASSERT_EQ(port.Write("again"), 0);
    EXPECT_EQ(third.Read(5, 2s), "again");
}

TEST_F(LineLossTest, ALostLineIsQuietAndEveryTryReturnsAtOnce) {
    PullWhileSending();
    const long cpuStart = CpuMicroseconds();
    long slowest = 0;
    for (int tick = 0; tick < 10; ++tick) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(port.Reconnect(), 1);
        slowest = std::max<long>(slowest, std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count());
        std::this_thread::sleep_for(100ms);
    }
    // The workers are gone while the line is down: a second of it costs next to nothing.
    EXPECT_LT(CpuMicroseconds() - cpuStart, 50'000);
    EXPECT_LT(slowest, 20'000);
}

TEST_F(LineLossTest, WhatTheProgramClosedStaysClosed) {
    // Closed while lost: prompt, and no device ever brings it back.
    PullWhileSending();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Close(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_EQ(port.State(), State::Closed);
    Pty replugged;
    Plug(replugged);
    EXPECT_EQ(port.Reconnect(), 1);
    EXPECT_EQ(IsOpen(port), 0);

    // Closed while live: no hang-up is made up, and Reconnect opens nothing.
    port.SetPort(u"COM1");
    ASSERT_EQ(port.State(), State::Live);
    port.Close();
    replugged.CloseMaster();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(port.State(), State::Closed);
    EXPECT_EQ(port.Reconnect(), 1);
}

TEST_F(LineLossTest, OpenOrAnotherPortLeaveALostLineBehind) {
    PullWhileSending();
    // Open on a lost line tries its device again, as Setup's OK does.
    Pty replugged;
    Plug(replugged);
    std::this_thread::sleep_for(200ms);  // the workers have wound down
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.State(), State::Live);

    replugged.CloseMaster();
    ASSERT_TRUE(LostWithin(1s));
    // Another port chosen while lost: the old line is let go and the new one is live.
    Pty other;
    CPort::LineState before = port.State();
    EXPECT_EQ(before, State::Lost);
    port.SetPort(u"COM9");  // maps to no device here
    EXPECT_EQ(port.State(), State::Closed);
    EXPECT_EQ(port.Reconnect(), 1);
    CPort second(MappedPortDevices({{u"COM2", other.Path()}}));
    second.SetPort(u"COM2");
    EXPECT_EQ(second.State(), State::Live);
}

}  // namespace
