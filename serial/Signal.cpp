#include "Signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

Signal::Signal() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (m_fd < 0) {
        m_fault = {errno, std::generic_category()};
    }
}

Signal::~Signal() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void Signal::Raise() {
    const std::uint64_t one = 1;
    // Only a counter at its limit refuses, and that is raised already.
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void Signal::Clear() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &count, sizeof count);
}

bool Signal::WaitFor(std::chrono::milliseconds limit) const {
    pollfd wait{m_fd, POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&wait, 1, static_cast<int>(limit.count()))) < 0 && errno == EINTR) {
    }
    return ready > 0;
}
