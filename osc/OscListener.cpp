#include "OscListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Charset.h"
#include "DHtmlDialog.h"
#include "OscCommands.h"
#include "SettingsStore.h"

namespace {

// Datagrams read in one turn of the event loop; the rest wait for the next, after the
// clock and the window have had theirs.
constexpr int kMostPerTurn = 64;
constexpr std::chrono::seconds kReportEvery{1};
constexpr std::size_t kMaxSettingBytes = 4096;

int OpenSocket(const std::string& address, std::uint16_t port, std::string& error,
               std::uint16_t& bound) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    const std::string host = address.empty() ? "127.0.0.1" : address;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        length = sizeof *v6;
    } else {
        error = host + ": no numeric address";
        return -1;
    }
    const int fd = socket(storage.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        error = host + " port " + std::to_string(port) + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return -1;
    }
    getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
    bound = ntohs(storage.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    return fd;
}

std::string NumericAddress(const sockaddr_storage& from) {
    char text[INET6_ADDRSTRLEN] = {};
    if (from.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(from).sin_addr, text, sizeof text);
    else if (from.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(from).sin6_addr, text,
                  sizeof text);
    return text;
}

// A socket connected to a feedback target; -1 when its host cannot be found.
int Connect(const osc::Endpoint& target) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(target.host.c_str(), std::to_string(target.port).c_str(), &hints, &found) !=
            0 ||
        !found)
        return -1;
    int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    return fd;
}

}  // namespace

std::unique_ptr<OscListener> OscListener::FromSettings(CaptionCommands& session, CueDeck* cues) {
    SettingsStore store;
    osc::Settings settings;
    const auto text = [&store](const char* name) {
        return FromAnsi(store.ReadText(name, kMaxSettingBytes).value_or(""))
            .trimmed()
            .toStdString();
    };
    if (const std::optional<std::int32_t> port = store.ReadInt32("OSC/Port"))
        settings.port = std::to_string(*port);
    else
        settings.port = text("OSC/Port");
    settings.address = text("OSC/Address");
    settings.allow = store.ReadList("OSC/Allow");
    settings.feedback = store.ReadList("OSC/Feedback");
    std::vector<std::string> problems;
    const std::optional<osc::Rules> rules = osc::ReadRules(settings, problems);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "tessora: %s\n", problem.c_str());
    if (!rules) {
        if (!problems.empty()) session.ShowNotice(AnsiFromUtf8("OSC off: " + problems.back()));
        return nullptr;
    }
    std::string error;
    auto listener = Listen(*rules, session, cues, error);
    if (!listener) {
        std::fprintf(stderr, "tessora: OSC off: cannot listen on %s\n", error.c_str());
        session.ShowNotice(AnsiFromUtf8("OSC off: cannot listen on " + error));
        return nullptr;
    }
    std::fprintf(stderr, "tessora: OSC on UDP port %d (%s)\n", listener->Port(),
                 rules->address.empty() ? "this machine only" : rules->address.c_str());
    CDHtmlDialog::AnnounceToDrivers(QStringLiteral("osc listening %1").arg(listener->Port()));
    return listener;
}

std::unique_ptr<OscListener> OscListener::Listen(const osc::Rules& rules, CaptionCommands& session,
                                                 CueDeck* cues, std::string& error) {
    std::uint16_t bound = 0;
    const int fd = OpenSocket(rules.address, rules.port, error, bound);
    if (fd < 0) return nullptr;
    std::unique_ptr<OscListener> listener(new OscListener(rules, session, cues, fd));
    listener->m_port = bound;
    return listener;
}

OscListener::OscListener(const osc::Rules& rules, CaptionCommands& session, CueDeck* cues,
                         int socket)
    : m_rules(rules), m_session(session), m_cues(cues), m_socket(socket) {
    m_notifier = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { ReadAll(); });
    for (const osc::Endpoint& endpoint : m_rules.feedback) {
        const int fd = Connect(endpoint);
        if (fd >= 0)
            m_targets.push_back({fd});
        else
            std::fprintf(stderr, "tessora: OSC/Feedback: %s:%d cannot be reached\n",
                         endpoint.host.c_str(), endpoint.port);
    }
    if (!m_targets.empty())
        m_feedback = std::make_unique<osc::Feedback>(
            m_session, m_cues, [this](const osc::Message& message) { Tell(message); });
    m_reportTimer.setSingleShot(true);
    connect(&m_reportTimer, &QTimer::timeout, this, [this] { Report(); });
}

OscListener::~OscListener() {
    m_feedback.reset();
    m_notifier.reset();
    for (const Target& target : m_targets) close(target.socket);
    close(m_socket);
    Report();
}

void OscListener::ReadAll() {
    // One byte more than taken, so a datagram too large shows as one.
    char buffer[osc::kMaxPacketBytes + 1];
    for (int read = 0; read < kMostPerTurn; ++read) {
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t size = recvfrom(m_socket, buffer, sizeof buffer, MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size < 0) return;
        const std::string sender = NumericAddress(from);
        if (!osc::SenderAllowed(m_rules, sender))
            Count(Ignored::Sender, sender);
        else if (static_cast<std::size_t>(size) > osc::kMaxPacketBytes)
            Count(Ignored::Oversize);
        else
            Take(buffer, static_cast<std::size_t>(size));
    }
}

void OscListener::Take(const char* data, std::size_t size) {
    std::vector<osc::Message> messages;
    if (!osc::DecodePacket(data, size, messages)) return Count(Ignored::Malformed);
    const Cp1252Converter convert = AnsiFromUtf8;
    for (const osc::Message& message : messages) {
        const std::optional<osc::Command> command = osc::CommandOf(message);
        if (!command) {
            Count(Ignored::Unknown, message.address);
            continue;
        }
        const osc::Outcome outcome = osc::Run(*command, m_session, m_cues, convert);
        if (!outcome.empty()) Count(Ignored::NotRun, message.address + ": " + outcome);
    }
}

void OscListener::Tell(const osc::Message& message) {
    const std::string packet = osc::EncodeMessage(message);
    // A target that is not listening answers with an error on the next send; the message is
    // simply lost, as UDP's are.
    for (const Target& target : m_targets) send(target.socket, packet.data(), packet.size(), 0);
}

void OscListener::Count(Ignored why, const std::string& detail) {
    ++m_ignored[static_cast<int>(why)];
    if (!detail.empty()) m_lastDetail = detail;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastReport >= kReportEvery)
        Report();
    else if (!m_reportTimer.isActive())
        m_reportTimer.start(std::chrono::duration_cast<std::chrono::milliseconds>(
            kReportEvery - (now - m_lastReport)));
}

void OscListener::Report() {
    std::size_t total = 0;
    for (std::size_t count : m_ignored) total += count;
    if (total == 0) return;
    const auto& n = m_ignored;
    std::fprintf(stderr,
                 "tessora: OSC: %zu packets or messages ignored (malformed %zu, oversize %zu, "
                 "unknown or wrongly typed %zu, sender not allowed %zu, not run %zu; last: %s)\n",
                 total, n[0], n[1], n[2], n[3], n[4],
                 m_lastDetail.empty() ? "-" : m_lastDetail.c_str());
    for (std::size_t& count : m_ignored) count = 0;
    m_lastDetail.clear();
    m_lastReport = std::chrono::steady_clock::now();
}
