// The listener on a real loopback socket, without a display: commands from a datagram,
// bundles in order, feedback to the list and never to the sender, and a flood read a bounded
// number at a time.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "OscListener.h"
#include "OscPacket.h"
#include "StandInSession.h"

namespace {

class FakeSession : public StandInSession {
public:
    std::vector<std::string> calls;
    std::function<void()> onSelect;
    void Select(int screen) override {
        calls.push_back("select " + std::to_string(screen));
        if (onSelect) onSelect();
    }
    bool Send(WriteOrigin origin) override {
        calls.push_back(std::string("send ") + WriteOriginName(origin));
        return true;
    }
    void Clear(WriteOrigin origin) override {
        calls.push_back(std::string("clear ") + WriteOriginName(origin));
    }
};

bool WaitFor(const std::function<bool()>& done, int boundMs = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > boundMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A UDP socket on 127.0.0.1 at a port of the kernel's choice.
struct Peer {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    std::uint16_t port = 0;
    Peer() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Peer() { close(fd); }
    void SendTo(std::uint16_t to, const std::string& packet) const {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(to);
        sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address);
    }
    // The addresses of the messages waiting, in order.
    std::vector<std::string> Heard() const {
        std::vector<std::string> heard;
        char buffer[2048];
        ssize_t size = 0;
        while ((size = recv(fd, buffer, sizeof buffer, 0)) > 0) {
            std::vector<osc::Message> messages;
            if (osc::DecodePacket(buffer, static_cast<std::size_t>(size), messages))
                for (const osc::Message& message : messages) heard.push_back(message.address);
        }
        return heard;
    }
};

std::string Bundle(const std::vector<std::string>& elements) {
    std::string bundle("#bundle\0\0\0\0\0\0\0\0\1", 16);
    for (const std::string& element : elements) {
        const auto size = static_cast<std::uint32_t>(element.size());
        bundle += std::string{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                              static_cast<char>(size >> 8), static_cast<char>(size)} +
                  element;
    }
    return bundle;
}

TEST(OscListener, RunsDatagramsInOrderAndTellsTheFeedbackListNotTheSender) {
    FakeSession session;
    Peer sender;
    Peer feedback;
    osc::Rules rules;
    rules.feedback = {{"127.0.0.1", feedback.port}};
    std::string error;
    const auto listener = OscListener::Listen(rules, session, nullptr, error);
    ASSERT_TRUE(listener) << error;

    // Junk first: none of it runs, and what follows is still heard.
    sender.SendTo(listener->Port(), "garbage!");
    sender.SendTo(listener->Port(), std::string(osc::kMaxPacketBytes + 4, '\0'));
    sender.SendTo(listener->Port(), osc::EncodeMessage({"/tessora/screen", {osc::Text("1")}}));
    sender.SendTo(listener->Port(), Bundle({osc::EncodeMessage({"/tessora/send", {osc::Int(3)}}),
                                            osc::EncodeMessage({"/tessora/clear", {}})}));
    ASSERT_TRUE(WaitFor([&] { return session.calls.size() >= 3; }));
    EXPECT_EQ(session.calls, (std::vector<std::string>{"select 3", "send osc", "clear osc"}));

    UnitWrite write;
    write.kind = WriteKind::Send;
    write.screen = 3;
    write.text = "Up";
    session.record.Record(write);
    std::vector<std::string> heard;
    ASSERT_TRUE(WaitFor([&] {
        for (const std::string& address : feedback.Heard()) heard.push_back(address);
        return heard.size() >= 3;
    }));
    EXPECT_EQ(heard, (std::vector<std::string>{"/tessora/on_air/cleared", "/tessora/on_air/screen",
                                               "/tessora/on_air/text"}));
    EXPECT_TRUE(sender.Heard().empty());
}

TEST(OscListener, AFloodIsReadAFewAtATimeSoTheEventLoopRunsBetween) {
    FakeSession session;
    std::string error;
    const auto listener = OscListener::Listen(osc::Rules{}, session, nullptr, error);
    ASSERT_TRUE(listener) << error;
    Peer sender;
    int buffered = 1 << 22;
    setsockopt(sender.fd, SOL_SOCKET, SO_SNDBUF, &buffered, sizeof buffered);
    const std::string select = osc::EncodeMessage({"/tessora/screen", {osc::Int(2)}});
    for (int i = 0; i < 150; ++i) sender.SendTo(listener->Port(), select);
    // A timer made due by the first command must run before the flood is all read.
    std::size_t readWhenTimerRan = 0;
    bool timerRan = false;
    bool timerMade = false;
    session.onSelect = [&] {
        if (std::exchange(timerMade, true)) return;
        QTimer::singleShot(0, [&] {
            timerRan = true;
            readWhenTimerRan = session.calls.size();
        });
    };
    ASSERT_TRUE(WaitFor([&] { return timerRan && session.calls.size() >= 150; }));
    EXPECT_LT(readWhenTimerRan, 150u);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
