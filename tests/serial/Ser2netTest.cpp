// The port against Debian's ser2net on 127.0.0.1, raw and as a Telnet COM port server, with
// the virtual caption unit on the pseudo-terminal ser2net serves.
#include <gtest/gtest.h>
#include <termios.h>

#include "Commands.h"
#include "NetworkPeers.h"
#include "PortReason.h"
#include "Stamps.h"
#include "TextLayout.h"

namespace {

using namespace std::chrono_literals;
using peers::WaitFor;
using State = CPort::LineState;

// What the window writes: the greeting, the clear, a Send with both stamps, then three ticks.
// The text holds a byte 0xFF, which Telnet escapes on the way.
std::string PlaySession(CPort& port) {
    const std::time_t noon = 1'780'000'000;
    std::vector<std::string> writes{std::string(kGreeting), std::string(kClearCommand)};
    for (int tick = 0; tick <= 3; ++tick) {
        const StampCommands stamps = ComposeStamps(1, 4, noon + tick);
        writes.push_back(stamps.date);
        writes.push_back(stamps.time);
        if (tick == 0)
            writes.push_back(LayOutText("Over the network\n\xff marks\nCaf\xe9", 1, 4).commands);
    }
    std::string written;
    for (const std::string& text : writes) {
        EXPECT_EQ(port.Write(text), 0);
        written += text;
    }
    return written;
}

TEST(Ser2net, ASessionThroughTheServerShowsWhatADirectLineShows) {
    const std::filesystem::path dir = peers::TempDir();
    const peers::VirtualUnit direct(dir / "direct");
    CPort directPort(MappedPortDevices({{u"COM1", direct.Device()}}));
    directPort.SetPort(u"COM1");
    const std::string written = PlaySession(directPort);
    ASSERT_TRUE(direct.WaitBytes(written.size()));

    for (const bool telnet : {false, true}) {
        const peers::VirtualUnit unit(dir / (telnet ? "telnet" : "raw"));
        // Held from the start, to read the line as the server leaves it.
        const int terminal = ::open(unit.Device().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        // The Telnet line starts elsewhere, so that only the session can set it right.
        peers::Ser2net server(dir / (telnet ? "telnet" : "raw"), unit.Device(), telnet,
                              telnet ? "19200e71" : "9600n81");
        CPort port(MappedPortDevices({{u"COM1", server.Url()}}));
        peers::Notices said(port);
        port.SetPort(u"COM1");
        ASSERT_EQ(port.State(), State::Live) << port.LastError().message();
        PlaySession(port);
        ASSERT_TRUE(unit.WaitBytes(written.size())) << server.Url();
        EXPECT_EQ(unit.Bytes(), written) << server.Url();  // 0xFF arrives once
        EXPECT_EQ(unit.Display(), direct.Display()) << server.Url();
        if (!telnet) continue;
        ASSERT_TRUE(WaitFor([&] { return port.ServerLine().control != 0; }, 5s));
        const ComPortReport set = port.ServerLine();
        EXPECT_EQ(std::to_string(set.baud) + set.parity + std::to_string(set.dataBits) +
                      std::to_string(set.stopBits) + " " + std::to_string(set.control),
                  "9600N81 1");  // flow control code 1: none
        EXPECT_TRUE(said.Get().empty());
        termios line{};
        ASSERT_EQ(::tcgetattr(terminal, &line), 0);
        EXPECT_EQ(::cfgetospeed(&line), speed_t{B9600});
        EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
        ::close(terminal);
    }
    std::filesystem::remove_all(dir);
}

// ser2net stopped while the clock ticks: the line is lost with the reason, tried again
// without harm while the server is down, and back at the first try once it listens again,
// with only the ticks written after that.
TEST(Ser2net, StoppedWhileTheClockRunsTheLineIsLostAndComesBackWithNothingResent) {
    const std::filesystem::path dir = peers::TempDir();
    const peers::VirtualUnit unit(dir);
    peers::Ser2net server(dir, unit.Device(), true);
    CPort port(MappedPortDevices({{u"COM1", server.Url()}}));
    peers::Notices said(port);
    port.SetPort(u"COM1");
    ASSERT_EQ(port.Write("{C0000tick 1"), 0);
    ASSERT_TRUE(unit.WaitBytes(12));

    server.Stop();
    ASSERT_TRUE(WaitFor(
        [&] {
            port.Write("{C0000tick 2");  // the ticks go on while the line fails
            return port.State() == State::Lost;
        },
        5s));
    EXPECT_EQ(port.LineReason(), NetworkReason::ClosedByPeer);
    ASSERT_TRUE(WaitFor([&] { return port.Reconnect() == 1 && said.Get().size() == 2; }, 2s));
    EXPECT_EQ(port.LastError(), std::errc::connection_refused);
    EXPECT_EQ(said.Get(), (std::vector{server.Url() + ": Connection closed by the peer",
                                       server.Url() + ": Connection refused"}));
    const std::string ticked = unit.Bytes();

    server.Start();
    const auto listening = std::chrono::steady_clock::now();
    bool back = false;
    for (int tick = 0; tick < 2 && !back; ++tick) {  // as the window tries: once a second
        back = port.Reconnect() == 0 || (std::this_thread::sleep_for(1s), false);
    }
    ASSERT_TRUE(back);
    EXPECT_LE(std::chrono::steady_clock::now() - listening, 2s);
    ASSERT_EQ(port.Write("{C0000tick 3"), 0);
    ASSERT_TRUE(unit.WaitBytes(ticked.size() + 12));
    EXPECT_EQ(unit.Bytes(), ticked + "{C0000tick 3");
    EXPECT_EQ(said.Get().size(), 2u);
    std::filesystem::remove_all(dir);
}

}  // namespace
