#include "Dialer.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "PortReason.h"
#include "Signal.h"

namespace {

std::error_code LastErrno() {
    return {errno, std::generic_category()};
}

std::error_code LookupReason(int result) {
    if (result == EAI_SYSTEM) {
        return LastErrno();
    }
    const bool missing = result == EAI_NONAME || result == EAI_NODATA || result == EAI_ADDRFAMILY;
    return missing ? make_error_code(NetworkReason::NameNotFound)
                   : make_error_code(NetworkReason::NameLookupFailed);
}

// A caption unit takes a byte a millisecond: each goes out at once rather than waiting to
// fill a segment, and a peer that stops taking what was sent fails the connection.
void TuneForTheLine(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const unsigned unackedLimitMs = 10000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unackedLimitMs, sizeof unackedLimitMs);
}

int RemainingMs(Dialer::Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Dialer::Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

// Shared with the lookup's thread, which may outlive the dialer that started it.
struct Dialer::Lookup {
    Signal done;
    std::mutex lock;
    int result = 0;
    std::vector<Address> addresses;
};

Dialer::Dialer(std::string host, std::string port, Clock::duration limit)
    : m_host(std::move(host)), m_port(std::move(port)), m_limit(limit) {}

Dialer::~Dialer() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int Dialer::TakeSocket() {
    return std::exchange(m_fd, -1);
}

Dialer::Progress Dialer::Fail(std::error_code reason) {
    m_reason = reason;
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    m_lookup.reset();
    return Progress::Failed;
}

int Dialer::Resolve(const std::string& host, const std::string& port, int flags,
                    std::vector<Address>& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const int result = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    for (const addrinfo* a = list; result == 0 && a != nullptr; a = a->ai_next) {
        Address one{};
        one.length = std::min<socklen_t>(a->ai_addrlen, sizeof one.storage);
        std::memcpy(&one.storage, a->ai_addr, one.length);
        found.push_back(one);
    }
    if (list != nullptr) {
        ::freeaddrinfo(list);
    }
    return result;
}

Dialer::Progress Dialer::Begin() {
    m_deadline = Clock::now() + m_limit;
    // A numeric host needs no lookup, and asking for one never blocks.
    std::vector<Address> addresses;
    const int numeric = Resolve(m_host, m_port, AI_NUMERICHOST, addresses);
    if (numeric != EAI_NONAME) {
        return TakeAddresses(numeric, std::move(addresses));
    }
    auto lookup = std::make_shared<Lookup>();
    if (lookup->done.Fault()) {
        return Fail(lookup->done.Fault());
    }
    try {
        std::thread([lookup, host = m_host, port = m_port] {
            std::vector<Address> found;
            const int result = Resolve(host, port, 0, found);
            {
                const std::lock_guard<std::mutex> hold(lookup->lock);
                lookup->result = result;
                lookup->addresses = std::move(found);
            }
            lookup->done.Raise();
        }).detach();
    } catch (const std::system_error& e) {
        return Fail(e.code());
    }
    m_lookup = std::move(lookup);
    return Progress::Pending;
}

Dialer::Progress Dialer::TakeAddresses(int lookupResult, std::vector<Address> addresses) {
    if (lookupResult != 0) {
        return Fail(LookupReason(lookupResult));
    }
    m_addresses = std::move(addresses);
    m_nextAddress = 0;
    return TryNextAddress();
}

Dialer::Progress Dialer::TryNextAddress() {
    while (m_nextAddress < m_addresses.size()) {
        const Address& address = m_addresses[m_nextAddress++];
        if (m_fd >= 0) {
            ::close(std::exchange(m_fd, -1));
        }
        m_fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0) {
            m_reason = LastErrno();
            continue;
        }
        TuneForTheLine(m_fd);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) ==
            0) {
            return Progress::Connected;
        }
        if (errno != EINPROGRESS) {
            m_reason = LastErrno();
            continue;
        }
        // A near host has answered by the time connect returns; only a far one is waited for.
        pollfd ready{m_fd, POLLOUT, 0};
        if (::poll(&ready, 1, 0) <= 0) {
            return Progress::Pending;
        }
        if (SocketConnected()) {
            return Progress::Connected;
        }
    }
    return Fail(m_reason ? m_reason : std::make_error_code(std::errc::address_not_available));
}

bool Dialer::SocketConnected() {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
    }
    if (error != 0) {
        m_reason = {error, std::generic_category()};
    }
    return error == 0;
}

Dialer::Progress Dialer::Wait(int stopFd) {
    for (;;) {
        const bool lookingUp = m_lookup != nullptr;
        if (!lookingUp && m_fd < 0) {
            return Progress::Failed;  // nothing was begun, or it is over
        }
        pollfd waits[] = {{stopFd, POLLIN, 0},
                          {lookingUp ? m_lookup->done.Fd() : m_fd,
                           static_cast<short>(lookingUp ? POLLIN : POLLOUT), 0}};
        const int ready = ::poll(waits, 2, RemainingMs(m_deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return Fail(LastErrno());
        }
        if (waits[0].revents != 0) {
            return Progress::Pending;
        }
        if (ready == 0) {
            return Fail(std::make_error_code(std::errc::timed_out));
        }
        Progress next = Progress::Pending;
        if (lookingUp) {
            const std::shared_ptr<Lookup> lookup = std::exchange(m_lookup, nullptr);
            const std::lock_guard<std::mutex> hold(lookup->lock);
            next = TakeAddresses(lookup->result, std::move(lookup->addresses));
        } else if (SocketConnected()) {
            return Progress::Connected;
        } else {
            next = TryNextAddress();
        }
        if (next != Progress::Pending) {
            return next;
        }
    }
}
