// Network lines against peers the test plays itself on 127.0.0.1: what the port says when it
// cannot connect, and what it says to and sends a Telnet COM port server.
#include <gtest/gtest.h>
#include <netdb.h>

#include "NetworkAddress.h"
#include "NetworkLine.h"
#include "NetworkPeers.h"
#include "PortReason.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using peers::WaitFor;
using State = CPort::LineState;

// A listening socket whose connections the test serves by hand; backlog 0 with one client
// waiting leaves every further connect unanswered.
class Listener {
public:
    explicit Listener(int backlog = 4) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(m_fd, backlog);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_url = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        if (backlog == 0) {
            const int waiting = m_peers.emplace_back(::socket(AF_INET, SOCK_STREAM, 0));
            ::connect(waiting, reinterpret_cast<sockaddr*>(&address), size);
        }
    }
    ~Listener() {
        for (const int fd : m_peers) ::close(fd);
        ::close(m_fd);
    }
    std::string Url(const char* scheme) const { return scheme + m_url; }
    int Accept() {
        pollfd wait{m_fd, POLLIN, 0};
        return ::poll(&wait, 1, 5000) == 1 ? m_peers.emplace_back(::accept(m_fd, nullptr, nullptr))
                                           : -1;
    }

private:
    int m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    std::string m_url;
    std::vector<int> m_peers;
};

// Reads what the port sent until part is there.
std::string ReadUntil(int fd, const std::string& part) {
    std::string got;
    char buffer[512];
    for (pollfd wait{fd, POLLIN, 0};
         got.find(part) == std::string::npos && ::poll(&wait, 1, 5000) == 1;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

CPort PortOn(const std::string& url) {
    return CPort(MappedPortDevices({{u"COM1", url}}));
}

TEST(NetworkAddress, OnlySchemeHostAndPortAreTaken) {
    const auto telnet = ParseNetworkAddress("RFC2217://studio-ser:2217");
    ASSERT_TRUE(telnet);
    EXPECT_TRUE(telnet->telnet);
    EXPECT_EQ(telnet->host + " " + telnet->port, "studio-ser 2217");
    const auto v6 = ParseNetworkAddress("socket://[::1]:4001");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host + " " + v6->port + " " + std::to_string(v6->telnet), "::1 4001 0");
    for (const char* bad : {"socket://10.0.0.5", "socket://:4001", "socket://host:0",
                            "socket://host:65536", "socket://host:40a1", "socket://host:4001/",
                            "socket://user@host:4001", "socket://::1:4001", "telnet://host:23"}) {
        EXPECT_FALSE(ParseNetworkAddress(bad)) << bad;
    }
}

TEST(NetworkLine, RefusedAndMalformedAddressesFailAtOnceWithTheirReason) {
    const std::string refused = "socket://127.0.0.1:" + std::to_string(peers::FreePort());
    for (const auto& [url, reason, hint] :
         {std::tuple{refused, std::make_error_code(std::errc::connection_refused),
                     "is the device server on"},
          std::tuple{"rfc2217://127.0.0.1"s, std::make_error_code(std::errc::invalid_argument),
                     "rfc2217://host:port"}}) {
        CPort port = PortOn(url);
        port.SetPort(u"COM1");
        EXPECT_EQ(port.State(), State::Closed) << url;
        EXPECT_EQ(port.LastError(), reason) << url;
        const std::string why = DescribePortFailure(url, port.LastError(), "my.conf");
        EXPECT_EQ(why.rfind(url + ": " + reason.message() + ". ", 0), 0u) << why;
        EXPECT_NE(why.find(hint), std::string::npos) << why;
    }
}

// A host that takes no connection does not hold the window; what was written is queued,
// and after the limit the line is lost as timed out; tries after that say so once. A Telnet
// server that takes the connection but never answers is gone on without, with one line.
TEST(NetworkLine, PeersThatNeverAnswerNeitherHoldTheWindowNorStopTheLine) {
    Listener full(0), silent;
    CPort unanswered = PortOn(full.Url("socket://")), telnet = PortOn(silent.Url("rfc2217://"));
    peers::Notices unansweredSaid(unanswered), telnetSaid(telnet);
    const auto start = std::chrono::steady_clock::now();
    unanswered.SetPort(u"COM1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(unanswered.State(), State::Live);
    EXPECT_EQ(unanswered.Write("{A19"), 0);

    telnet.SetPort(u"COM1");
    const int peer = silent.Accept();
    ASSERT_EQ(telnet.Write("{A19"), 0);
    EXPECT_EQ(ReadUntil(peer, "{A19").find("\xff\xfa"), std::string::npos);  // no settings yet

    ASSERT_TRUE(WaitFor([&] { return unanswered.State() == State::Lost; },
                        NetworkLine::kConnectLimit + 3s));
    EXPECT_EQ(unanswered.LineReason(), std::errc::timed_out);
    EXPECT_EQ(unanswered.Write("late"), 1);
    ASSERT_TRUE(WaitFor(  // once the workers have wound down, a try begins in the background
        [&] { return unanswered.Reconnect() == 1 && !unansweredSaid.Get().empty(); }, 2s));
    EXPECT_EQ(unanswered.Reconnect(), 1);
    EXPECT_EQ(unansweredSaid.Get(),
              std::vector{unanswered.DevicePath() + ": Connection timed out"});
    unanswered.Close();  // while connecting
    EXPECT_FALSE(unanswered.HasWorkerThreads());

    ASSERT_TRUE(
        WaitFor([&] { return !telnetSaid.Get().empty(); }, NetworkLine::kSettingsWait + 3s));
    EXPECT_EQ(telnetSaid.Get(),
              std::vector{telnet.DevicePath() + ": the server did not confirm the line settings "
                                                "within 3 s; going on with the line as the server "
                                                "has it"});
    EXPECT_EQ(telnet.State(), State::Live);
}

TEST(NetworkLine, ANameThatDoesNotExistLosesTheLineWithThatReason) {
    const std::string name = "tessora-nowhere.invalid";
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), "2217", nullptr, &found) != EAI_NONAME) {
        if (found != nullptr) ::freeaddrinfo(found);
        GTEST_SKIP() << "this machine's resolver does not say that " << name << " is missing";
    }
    CPort port = PortOn("rfc2217://" + name + ":2217");
    peers::Notices said(port);
    port.SetPort(u"COM1");
    EXPECT_NE(port.State(), State::Closed);  // looked up in the background, soon lost
    ASSERT_TRUE(WaitFor([&] { return port.State() == State::Lost; }, 5s));
    EXPECT_EQ(port.LineReason(), NetworkReason::NameNotFound);
    for (int tick = 0; tick < 5; ++tick) {
        EXPECT_EQ(port.Reconnect(), 1);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(said.Get(), std::vector{port.DevicePath() + ": Name not found"});
    EXPECT_NE(DescribePortFailure(port.DevicePath(), port.LineReason(), "x").find("host name"),
              std::string::npos);
}

// The settings go out only once the server takes the option; a server that keeps its own
// baud rate is told of once and the line goes on, a data byte 0xFF doubled.
TEST(NetworkLine, ATelnetServerThatKeepsASettingIsToldOfOnceAndTheLineGoesOn) {
    Listener server;
    CPort port = PortOn(server.Url("rfc2217://"));
    peers::Notices said(port);
    port.SetPort(u"COM1");
    const int peer = server.Accept();
    const std::string opening = ReadUntil(peer, "\xff\xfb\x2c");  // WILL COM-PORT-OPTION
    EXPECT_EQ(opening.find("\xff\xfa"), std::string::npos);
    ASSERT_EQ(::write(peer, "\xff\xfd\x2c", 3), 3);  // DO COM-PORT-OPTION
    EXPECT_EQ(ReadUntil(peer, "\x05\x01\xff\xf0"),
              "\xff\xfa\x2c\x01\x00\x00\x25\x80\xff\xf0"  // 9600 baud
              "\xff\xfa\x2c\x02\x08\xff\xf0"              // 8 data bits
              "\xff\xfa\x2c\x03\x01\xff\xf0"              // no parity
              "\xff\xfa\x2c\x04\x01\xff\xf0"              // 1 stop bit
              "\xff\xfa\x2c\x05\x01\xff\xf0"s);           // no flow control
    const std::string answers =
        "\xff\xfa\x2c\x65\x00\x00\x4b\x00\xff\xf0\xff\xfa\x2c\x66\x08\xff\xf0"  // 19200 baud
        "\xff\xfa\x2c\x67\x01\xff\xf0\xff\xfa\x2c\x68\x01\xff\xf0\xff\xfa\x2c\x69\x01\xff\xf0"s;
    ASSERT_EQ(::write(peer, answers.data(), answers.size()), std::ssize(answers));
    ASSERT_TRUE(WaitFor([&] { return !said.Get().empty(); }, 5s));
    EXPECT_EQ(said.Get(), std::vector{port.DevicePath() +
                                      ": the server did not take 9600 baud (it has 19200); going "
                                      "on with the line as the server has it"});
    EXPECT_EQ(port.ServerLine().baud, 19200u);
    ASSERT_EQ(port.Write("A\xff"
                         "B"),
              0);
    EXPECT_EQ(ReadUntil(peer, "B"),
              "A\xff\xff"
              "B");
}

}  // namespace

namespace {

std::string Negotiation(unsigned char verb, unsigned char option) {
    return {'\xff', static_cast<char>(verb), static_cast<char>(option)};
}

// Each option is answered once per change of its state, whatever the server repeats, and a
// server that keeps negotiating is answered no more and counts as flooding.
TEST(TelnetComPort, AnswersEachOptionOncePerChangeAndStopsAnsweringAFlood) {
    constexpr unsigned char kWill = 251, kWont = 252, kDo = 253, kDont = 254;
    constexpr unsigned char kEcho = 1, kBinary = 0, kTerminalType = 24;
    TelnetComPort telnet(LineSettings{});
    telnet.Opening();
    // The server agrees to binary, then asks over and over for options this side does not do.
    std::string answers = telnet.Take(Negotiation(kDo, kBinary) + Negotiation(kWill, kBinary));
    EXPECT_EQ(answers, "");
    const std::string requests = Negotiation(kDo, kEcho) + Negotiation(kWill, kEcho) +
                                 Negotiation(kDo, kTerminalType) + Negotiation(kDont, kEcho) +
                                 Negotiation(kDo, kBinary);
    answers = telnet.Take(requests);
    EXPECT_EQ(answers, Negotiation(kWont, kEcho) + Negotiation(kDont, kEcho) +
                           Negotiation(kWont, kTerminalType));
    EXPECT_EQ(telnet.Take(requests + requests), "");
    // Turned off and on, binary is answered at each change and not in between.
    EXPECT_EQ(telnet.Take(Negotiation(kDont, kBinary) + Negotiation(kDont, kBinary)),
              Negotiation(kWont, kBinary));
    EXPECT_EQ(telnet.Take(Negotiation(kDo, kBinary) + Negotiation(kDo, kBinary)),
              Negotiation(kWill, kBinary));
    EXPECT_FALSE(telnet.Flooding());

    // An endless stream of changes: what is answered stays bounded, then stops.
    std::size_t answered = 0;
    const std::string toggles = Negotiation(kDont, kBinary) + Negotiation(kDo, kBinary);
    for (int i = 0; i < 10000; ++i) answered += telnet.Take(toggles).size();
    EXPECT_TRUE(telnet.Flooding());
    EXPECT_LE(answered, TelnetComPort::kMaxNegotiations * 3);
    EXPECT_EQ(telnet.Take(toggles), "");
}

// A server that floods with negotiation and never reads is dropped as a lost line with the
// reason, at once and again after each reconnection.
TEST(NetworkLine, ATelnetServerThatFloodsWithNegotiationIsDroppedAsLost) {
    Listener server;
    CPort port = PortOn(server.Url("rfc2217://"));
    peers::Notices said(port);
    port.SetPort(u"COM1");
    for (int connection = 0; connection < 2; ++connection) {
        const int peer = server.Accept();
        ASSERT_GE(peer, 0);
        std::string flood;
        for (unsigned char option = 0; option < 200; ++option) {
            for (const unsigned char verb : {253, 251, 254, 252})
                flood += Negotiation(verb, option);
        }
        // The flood goes on until the port drops the line; the test never reads.
        ASSERT_TRUE(WaitFor(
            [&] {
                ::send(peer, flood.data(), flood.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                return port.State() == State::Lost;
            },
            5s));
        EXPECT_EQ(port.LineReason(), NetworkReason::NegotiationFlood);
        if (connection == 0) {
            ASSERT_TRUE(WaitFor([&] { return port.Reconnect() == 0; }, 5s));
        }
    }
    EXPECT_EQ(said.Get(), std::vector{port.DevicePath() +
                                      ": The server flooded the line with Telnet negotiation"});
    EXPECT_NE(DescribePortFailure(port.DevicePath(), port.LineReason(), "x").find("socket://"),
              std::string::npos);
}

}  // namespace
