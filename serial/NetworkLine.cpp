#include "NetworkLine.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "PortReason.h"

namespace {

std::error_code LastErrno() {
    return {errno, std::generic_category()};
}

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

NetworkLine::NetworkLine(std::string url, const NetworkAddress& address,
                         const LineSettings& settings, Notice notice, Signal& wakeWriter)
    : m_url(std::move(url)),
      m_address(address),
      m_notice(std::move(notice)),
      m_wakeWriter(wakeWriter) {
    if (address.telnet) {
        m_telnet.emplace(settings);
    }
}

NetworkLine::~NetworkLine() {
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd >= 0) {
        ::close(fd);
    }
}

Dialer::Progress NetworkLine::Begin(std::error_code& reason) {
    if (m_connected.Fault()) {
        reason = m_connected.Fault();
        return Dialer::Progress::Failed;
    }
    m_dialer = std::make_unique<Dialer>(m_address.host, m_address.port, kConnectLimit);
    const Dialer::Progress progress = m_dialer->Begin();
    if (progress == Dialer::Progress::Connected) {
        Established(m_dialer->TakeSocket());
    } else if (progress == Dialer::Progress::Failed) {
        reason = m_dialer->Reason();
    }
    return progress;
}

bool NetworkLine::Connect(const Signal& stop, std::error_code& reason) {
    if (m_fd.load(std::memory_order_acquire) >= 0) {
        return true;
    }
    switch (m_dialer->Wait(stop.Fd())) {
        case Dialer::Progress::Connected:
            Established(m_dialer->TakeSocket());
            return true;
        case Dialer::Progress::Failed:
            reason = m_dialer->Reason();
            return false;
        case Dialer::Progress::Pending:
            return false;
    }
    return false;
}

void NetworkLine::Established(int fd) {
    m_dialer.reset();
    if (m_telnet) {
        m_owed = m_telnet->Opening();
        m_settingsDeadline = Dialer::Clock::now() + kSettingsWait;
    }
    // The session and what is owed are set before the reader can see the socket.
    m_fd.store(fd, std::memory_order_release);
    m_connected.Raise();
}

int NetworkLine::WaitConnected(const Signal& stop) const {
    for (;;) {
        const int fd = m_fd.load(std::memory_order_acquire);
        if (fd >= 0) {
            return fd;
        }
        pollfd waits[] = {{stop.Fd(), POLLIN, 0}, {m_connected.Fd(), POLLIN, 0}};
        if (::poll(waits, 2, -1) > 0 && waits[0].revents != 0) {
            return -1;
        }
    }
}

bool NetworkLine::HasOwed() {
    const std::lock_guard<std::mutex> hold(m_answersLock);
    return !m_owed.empty() || !m_answers.empty();
}

NetworkLine::Sent NetworkLine::Send(const unsigned char* byte, std::error_code& reason) {
    const int fd = m_fd.load(std::memory_order_relaxed);
    if (m_owed.empty()) {
        const std::lock_guard<std::mutex> hold(m_answersLock);
        m_owed.swap(m_answers);
    }
    const auto put = [&](std::string_view bytes) -> ssize_t {
        ssize_t n = 0;
        while ((n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)) < 0 && errno == EINTR) {
        }
        return n;
    };
    // What is owed goes first: nothing may come between the two bytes of an escaped one.
    while (!m_owed.empty()) {
        const ssize_t n = put(m_owed);
        if (n <= 0) {
            if (n == 0 || WouldBlock(errno)) return Sent::Full;
            reason = LastErrno();
            return Sent::Failed;
        }
        m_owed.erase(0, static_cast<std::size_t>(n));
    }
    if (byte == nullptr) {
        return Sent::Taken;
    }
    const std::string_view unit = m_telnet
                                      ? TelnetComPort::Encode(*byte)
                                      : std::string_view(reinterpret_cast<const char*>(byte), 1);
    const ssize_t n = put(unit);
    if (n <= 0) {
        if (n == 0 || WouldBlock(errno)) return Sent::Full;
        reason = LastErrno();
        return Sent::Failed;
    }
    m_owed.assign(unit.substr(static_cast<std::size_t>(n)));
    return Sent::Taken;
}

int NetworkLine::ReceiveWaitMs() const {
    if (!m_telnet || m_settingsTold) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(m_settingsDeadline - Dialer::Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

bool NetworkLine::Receive(std::error_code& reason) {
    const int fd = m_fd.load(std::memory_order_relaxed);
    char received[512];
    ssize_t n = 0;
    while ((n = ::recv(fd, received, sizeof received, 0)) < 0 && errno == EINTR) {
    }
    if (n == 0) {
        reason = make_error_code(NetworkReason::ClosedByPeer);
        return false;
    }
    if (n < 0 && !WouldBlock(errno)) {
        reason = LastErrno();
        return false;
    }
    if (n > 0 && m_telnet) {
        const std::string answers = m_telnet->Take({received, static_cast<std::size_t>(n)});
        {
            const std::lock_guard<std::mutex> hold(m_reportLock);
            m_report = m_telnet->Report();
        }
        if (m_telnet->Flooding()) {
            reason = make_error_code(NetworkReason::NegotiationFlood);
            return false;
        }
        if (!answers.empty()) {
            {
                const std::lock_guard<std::mutex> hold(m_answersLock);
                if (m_answers.size() + answers.size() > kMaxOwed) {
                    reason = make_error_code(NetworkReason::NegotiationFlood);
                    return false;
                }
                m_answers += answers;
            }
            m_wakeWriter.Raise();
        }
    }
    TellSettings();
    return true;
}

void NetworkLine::TellSettings() {
    if (!m_telnet || m_settingsTold) {
        return;
    }
    constexpr char kGoingOn[] = "; going on with the line as the server has it";
    if (m_telnet->Settled()) {
        m_settingsTold = true;
        const std::string refused = m_telnet->Refusals();
        if (!refused.empty()) {
            m_notice(m_url + ": the server did not take " + refused + kGoingOn);
        }
    } else if (Dialer::Clock::now() >= m_settingsDeadline) {
        m_settingsTold = true;
        m_notice(m_url + ": the server did not confirm the line settings within " +
                 std::to_string(kSettingsWait.count()) + " s" + kGoingOn);
    }
}

ComPortReport NetworkLine::Report() const {
    const std::lock_guard<std::mutex> hold(m_reportLock);
    return m_report;
}
