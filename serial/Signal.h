#pragma once

#include <chrono>
#include <system_error>

// A wake-up one thread gives and others wait for beside their own waits: raised, it stays
// raised until it is cleared, so a waiter that comes late still sees it. On POSIX an eventfd,
// waited for in poll beside the line's descriptors; on Windows a manual-reset event, waited
// for in WaitForMultipleObjects beside the line's operations.
class Signal {
public:
    Signal();
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    // Why the signal could not be made; a signal without one cannot be used.
    std::error_code Fault() const { return m_fault; }
#ifdef _WIN32
    // The event's HANDLE, kept untyped so that users of the port do not take in <windows.h>.
    void* Handle() const {
        return m_event;
    }
#else
    int Fd() const {
        return m_fd;
    }
#endif

    void Raise();
    void Clear();
    // Waits for the signal for at most limit; true when it is raised.
    bool WaitFor(std::chrono::milliseconds limit) const;

private:
#ifdef _WIN32
    void* m_event = nullptr;
#else
    int m_fd = -1;
#endif
    std::error_code m_fault;
};
