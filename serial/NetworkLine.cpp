#include "NetworkLine.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

NetworkLine::NetworkLine(const NetworkAddress& address) : m_address(address) {}

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

NetworkLine::Sent NetworkLine::Send(unsigned char byte, std::error_code& reason) {
    const int fd = m_fd.load(std::memory_order_relaxed);
    ssize_t n = 0;
    while ((n = ::send(fd, &byte, 1, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    if (n == 1) {
        return Sent::Taken;
    }
    if (n == 0 || WouldBlock(errno)) {
        return Sent::Full;
    }
    reason = LastErrno();
    return Sent::Failed;
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
    return true;
}
