#pragma once

#include <chrono>
#include <system_error>

// A wake-up one thread gives and others wait for in poll beside their descriptors: an eventfd
// that stays raised until it is cleared, so a waiter that comes late still sees it.
class Signal {
public:
    Signal();
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    // Why the eventfd could not be made; a signal without one cannot be used.
    std::error_code Fault() const { return m_fault; }
    int Fd() const { return m_fd; }

    void Raise();
    void Clear();
    // Waits for the signal for at most limit; true when it is raised.
    bool WaitFor(std::chrono::milliseconds limit) const;

private:
    int m_fd = -1;
    std::error_code m_fault;
};
