// A write is on air only once the line has let go of every byte: held while a peer does not
// read, and cut short, with the bytes that went out, when the line goes first.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "NetworkPeers.h"
#include "OnAirRecord.h"
#include "Port.h"
#include "Pty.h"

namespace {

using namespace std::chrono_literals;
using peers::WaitFor;

// A port and the on-air record its writes go to, as the window keeps them.
struct Recorded {
    explicit Recorded(const std::string& device) : port(MappedPortDevices({{u"COM1", device}})) {
        record.Listen([this](const UnitWrite& write, const OnAir&) { told.push_back(write); });
    }
    // Queues text on the port and holds it as one Send.
    void Send(const std::string& text) {
        UnitWrite write;
        write.text = write.bytes = text;
        const std::uint64_t from = port.WrittenCount();
        ASSERT_EQ(port.Write(text), 0);
        record.Hold(write,
                    [this, from, to = port.WrittenCount()] { return port.BytesOut(from, to); });
    }
    CPort port;
    OnAirRecord record;
    std::vector<UnitWrite> told;
};

TEST(WriteSettled, ASendIsTakenOnlyOnceAPeerThatDoesNotReadHasDrainedIt) {
    Pty pty(true);
    Recorded line(pty.Path());
    line.port.SetPort(u"COM1");
    ASSERT_EQ(line.port.State(), CPort::LineState::Live);
    const std::size_t filler = pty.Stall();
    const std::string text(1000, 's');
    line.Send(text);
    // While the unit reads none of it, and while it reads only the filler, the Send is held.
    EXPECT_FALSE(line.record.Settle());
    EXPECT_EQ(pty.Read(filler, 5s).size(), filler);
    EXPECT_FALSE(line.record.Settle());
    EXPECT_TRUE(line.told.empty());
    EXPECT_EQ(pty.Read(text.size(), 20s), text);
    ASSERT_TRUE(WaitFor([&] { return line.record.Settle(); }, 5s));
    ASSERT_EQ(line.told.size(), 1u);
    EXPECT_TRUE(line.told[0].taken);
    EXPECT_EQ(line.told[0].sent, text.size());
    EXPECT_FALSE(line.record.Now().cleared);
}

// The device server reads 399 bytes of a 1030-byte Send and dies: the Send is cut short
// with what the socket took, once the line is lost and the rest dropped.
TEST(WriteSettled, ASendCutShortByTheServerDyingCountsTheBytesThatWentOut) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener, 4);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    Recorded line("socket://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    line.port.SetNotice([](const std::string&) {});
    line.port.SetPort(u"COM1");
    const int server = ::accept(listener, nullptr, nullptr);
    ::close(listener);  // nothing to come back to
    line.Send(std::string(1023, 'a'));
    line.Send("b234567");
    std::size_t received = 0;
    char buffer[64];
    while (received < 399) {
        const ssize_t n =
            ::read(server, buffer, std::min<std::size_t>(sizeof buffer, 399 - received));
        ASSERT_GT(n, 0);
        received += static_cast<std::size_t>(n);
    }
    // Dies at once, unread bytes and all: the connection is reset.
    const linger abort{1, 0};
    ::setsockopt(server, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(server);
    EXPECT_FALSE(line.record.Settle());
    ASSERT_TRUE(WaitFor([&] { return line.port.State() == CPort::LineState::Lost; }, 5s));
    // The window tries the line again; the try drops what was still queued.
    ASSERT_TRUE(WaitFor(
        [&] {
            line.port.Reconnect();
            return line.record.Settle();
        },
        5s));
    ASSERT_EQ(line.told.size(), 2u);
    EXPECT_FALSE(line.told[0].taken);
    EXPECT_GE(line.told[0].sent, received);
    EXPECT_LT(line.told[0].sent, 1023u);
    EXPECT_FALSE(line.told[1].taken);
    EXPECT_EQ(line.told[1].sent, 0u);
    EXPECT_TRUE(line.record.Now().cleared);
}

}  // namespace
