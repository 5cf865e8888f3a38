// Measures the remote control's server under two floods, all on 127.0.0.1, each for a bounded
// time. The server runs in a child process of its own (a RemoteServer over a window that does
// nothing), so its memory is its own:
//  - ping flood: one client with the token opens the push channel and sends pings without
//    reading a pong; the server's resident memory is sampled throughout;
//  - reconnect flood: N clients without the token connect, send a request and connect again
//    as soon as they are answered or cut off, while a panel makes calls with the token, each
//    on a fresh connection; the calls that fail (at connect, cut off, or not 200) are counted.
//   remote_flood [clients] [seconds]            (400 and 20 unless given)
// From a release build with the benchmarks on (-DTESSORA_BENCH=ON), target remote_flood.
// FLOOD_DEBUG=1 prints each failed call of the panel on standard error.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RemoteServer.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::string kToken = "bench-token";

class Idle : public remote::RemoteTarget {
public:
    bool Busy() const override { return false; }
    std::optional<remote::Refusal> Run(const remote::Request&) override { return std::nullopt; }
    remote::Status CurrentStatus() override { return {}; }
    void Push(PushSink) override {}
};

int Serve(quint16 port) {
    int argc = 1;
    char name[] = "remote_flood_server";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    Idle idle;
    remote::AccessRules rules;
    rules.port = port;
    rules.token = kToken;
    std::string error;
    const auto server = remote::RemoteServer::Listen(idle, rules, "", error);
    if (!server) {
        std::fprintf(stderr, "remote_flood: %s\n", error.c_str());
        return 1;
    }
    return app.exec();
}

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

sockaddr_in Address(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A connected blocking socket with timeouts, or -1.
int ConnectBlocking(quint16 port, int timeoutMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    const sockaddr_in address = Address(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads an answer's head and body (Content-Length) and gives its status, or 0.
int ReadAnswer(int fd) {
    std::string got;
    char buffer[4096];
    for (;;) {
        const std::size_t end = got.find("\r\n\r\n");
        if (end != std::string::npos) {
            const std::size_t length = got.find("Content-Length: ");
            const std::size_t body = length == std::string::npos
                                         ? 0
                                         : std::strtoul(got.c_str() + length + 16, nullptr, 10);
            if (got.size() >= end + 4 + body)
                return got.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(got.c_str() + 9) : 0;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return 0;
        got.append(buffer, static_cast<std::size_t>(n));
    }
}

void PingFlood(pid_t server, quint16 port, double seconds) {
    const long before = RssKb(server);
    const int fd = ConnectBlocking(port, 5000);
    if (fd < 0 ||
        !SendAll(fd, "GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                         kToken +
                         "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                         "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: "
                         "dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n")) {
        std::printf("ping flood: could not open the push channel\n");
        return;
    }
    char head[1024];
    const ssize_t n = ::recv(fd, head, sizeof head, 0);
    if (n < 12 || std::strncmp(head, "HTTP/1.1 101", 12) != 0) {
        std::printf("ping flood: the upgrade was refused\n");
        return;
    }
    std::string ping = std::string("\x89\xfd\x01\x02\x03\x04", 6) + std::string(125, 'p');
    std::string batch;
    for (int i = 0; i < 500; ++i) batch += ping;
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    long peak = before;
    long long sent = 0;
    bool dropped = false;
    double droppedAt = 0;
    const auto start = Clock::now();
    auto lastSample = start;
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 5);
        if (!dropped && (p.revents & POLLOUT)) {
            const ssize_t wrote = ::send(fd, batch.data(), batch.size(), MSG_NOSIGNAL);
            if (wrote > 0) sent += wrote;
            if (wrote < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                dropped = true;
                droppedAt = std::chrono::duration<double>(Clock::now() - start).count();
            }
        }
        if (!dropped && (p.revents & (POLLERR | POLLHUP))) {
            dropped = true;
            droppedAt = std::chrono::duration<double>(Clock::now() - start).count();
        }
        if (Clock::now() - lastSample > std::chrono::milliseconds(10)) {
            peak = std::max(peak, RssKb(server));
            lastSample = Clock::now();
        }
    }
    ::close(fd);
    std::printf(
        "ping flood: server RSS %ld KiB before, %ld KiB at peak: growth %.1f MiB; %.1f MiB of "
        "pings "
        "sent; client %s\n",
        before, peak, (peak - before) / 1024.0, sent / 1048576.0,
        dropped ? ("dropped after " + std::to_string(droppedAt) + " s").c_str() : "not dropped");
}

void ReconnectFlood(quint16 port, int clients, double seconds) {
    std::atomic<bool> stop{false};
    long calls = 0;
    long failedConnect = 0;
    long failedAnswer = 0;
    std::thread panel([&] {
        const std::string request =
            "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + kToken +
            "\r\nConnection: close\r\n\r\n";
        while (!stop) {
            ++calls;
            const int fd = ConnectBlocking(port, 5000);
            if (fd < 0) {
                ++failedConnect;
                continue;
            }
            const auto began = Clock::now();
            const bool sent = SendAll(fd, request);
            const int status = sent ? ReadAnswer(fd) : -1;
            if (status != 200) {
                ++failedAnswer;
                if (std::getenv("FLOOD_DEBUG"))
                    std::fprintf(stderr, "panel call: status %d errno %d after %.3f s\n", status,
                                 errno,
                                 std::chrono::duration<double>(Clock::now() - began).count());
            }
            ::close(fd);
        }
    });
    const std::string request = "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const sockaddr_in address = Address(port);
    struct Flooder {
        int fd = -1;
        bool sent = false;
    };
    std::vector<Flooder> flood(static_cast<std::size_t>(clients));
    long reconnects = 0;
    const auto open = [&](Flooder& f) {
        f.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        // Cut, not closed: no TIME_WAIT piles up over thousands of reconnections.
        linger cut{1, 0};
        ::setsockopt(f.fd, SOL_SOCKET, SO_LINGER, &cut, sizeof cut);
        ::connect(f.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        f.sent = false;
        ++reconnects;
    };
    for (Flooder& f : flood) open(f);
    const auto start = Clock::now();
    std::vector<pollfd> polls(flood.size());
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        for (std::size_t i = 0; i < flood.size(); ++i)
            polls[i] = {flood[i].fd, static_cast<short>(flood[i].sent ? POLLIN : POLLOUT), 0};
        ::poll(polls.data(), polls.size(), 50);
        for (std::size_t i = 0; i < flood.size(); ++i) {
            Flooder& f = flood[i];
            const short events = polls[i].revents;
            if (!events) continue;
            if (!f.sent && (events & POLLOUT) && !(events & (POLLERR | POLLHUP))) {
                f.sent = ::send(f.fd, request.data(), request.size(), MSG_NOSIGNAL) > 0;
                if (f.sent) continue;
            }
            // Answered or cut off: connect again at once, as a reconnecting client does.
            ::close(f.fd);
            open(f);
        }
    }
    stop = true;
    panel.join();
    for (Flooder& f : flood) ::close(f.fd);
    const long failed = failedConnect + failedAnswer;
    std::printf(
        "reconnect flood: %d clients without the token, %ld connections in %.0f s; panel: %ld "
        "calls, %ld failed (%ld at connect, %ld cut off or not 200): %.3f %%\n",
        clients, reconnects, seconds, calls, failed, failedConnect, failedAnswer,
        calls ? 100.0 * static_cast<double>(failed) / static_cast<double>(calls) : 0.0);
}

}  // namespace

int main(int argc, char* argv[]) {
    const int clients = argc > 1 ? std::atoi(argv[1]) : 400;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20;
    quint16 port = 0;
    {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Address(0);
        socklen_t size = sizeof address;
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        ::close(probe);
    }
    const pid_t server = ::fork();
    if (server == 0) return Serve(port);
    // Ready once it answers.
    bool ready = false;
    for (int tries = 0; tries < 100 && !ready; ++tries) {
        const int fd = ConnectBlocking(port, 1000);
        if (fd >= 0) {
            ready =
                SendAll(fd,
                        "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                            kToken + "\r\n\r\n") &&
                ReadAnswer(fd) == 200;
            ::close(fd);
        }
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ready) {
        std::fprintf(stderr, "remote_flood: the server did not answer\n");
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
        return 1;
    }
    PingFlood(server, port, 2.0);
    ReconnectFlood(port, clients, seconds);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    return 0;
}
