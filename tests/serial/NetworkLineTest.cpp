// Network lines against peers the test plays itself on 127.0.0.1: what the port says when it
// cannot connect.
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

CPort PortOn(const std::string& url) {
    return CPort(MappedPortDevices({{u"COM1", url}}));
}

TEST(NetworkAddress, OnlySchemeHostAndPortAreTaken) {
    const auto named = ParseNetworkAddress("SOCKET://studio-ser:4001");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->host + " " + named->port, "studio-ser 4001");
    const auto v6 = ParseNetworkAddress("socket://[::1]:4001");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host + " " + v6->port, "::1 4001");
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
          std::tuple{"socket://127.0.0.1"s, std::make_error_code(std::errc::invalid_argument),
                     "socket://host:port"}}) {
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
// and after the limit the line is lost as timed out; tries after that say so once.
TEST(NetworkLine, PeersThatNeverAnswerNeitherHoldTheWindowNorStopTheLine) {
    Listener full(0);
    CPort unanswered = PortOn(full.Url("socket://"));
    peers::Notices unansweredSaid(unanswered);
    const auto start = std::chrono::steady_clock::now();
    unanswered.SetPort(u"COM1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(unanswered.State(), State::Live);
    EXPECT_EQ(unanswered.Write("{A19"), 0);

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
}

TEST(NetworkLine, ANameThatDoesNotExistLosesTheLineWithThatReason) {
    const std::string name = "tessora-nowhere.invalid";
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), "4001", nullptr, &found) != EAI_NONAME) {
        if (found != nullptr) ::freeaddrinfo(found);
        GTEST_SKIP() << "this machine's resolver does not say that " << name << " is missing";
    }
    CPort port = PortOn("socket://" + name + ":4001");
    peers::Notices said(port);
    port.SetPort(u"COM1");
    EXPECT_EQ(port.State(), State::Live);  // looked up in the background
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

}  // namespace
