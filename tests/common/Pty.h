#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

// A pseudo-terminal standing in for the cable: the port opens the slave by its path, the
// test plays the caption unit on the master.
class Pty {
public:
    // raw: no line discipline between the two ends, as a serial cable has none.
    explicit Pty(bool raw = false) {
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        m_path = name;
        if (raw) {
            struct termios settings {};
            ::tcgetattr(m_master, &settings);
            ::cfmakeraw(&settings);
            ::tcsetattr(m_master, TCSANOW, &settings);
        }
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
    }
    ~Pty() {
        CloseMaster();
        ::close(m_slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return m_path; }
    int Slave() const { return m_slave; }
    int Master() const { return m_master; }

    void CloseMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

    // What reaches the unit: reads the master until count bytes or the time is up.
    std::string Read(std::size_t count, std::chrono::milliseconds timeout) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        char buf[4096];
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_master, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) {
                break;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

    // Fills the slave-to-master buffer so every further write to the line fails with
    // EAGAIN until the master reads: a stalled line. Gives the number of filler bytes.
    std::size_t Stall() {
        const int flags = ::fcntl(m_slave, F_GETFL);
        ::fcntl(m_slave, F_SETFL, flags | O_NONBLOCK);
        const std::string block(256, 'x');
        std::size_t total = 0;
        // The kernel moves data on to the master's side in the background, which can free
        // room after a first refusal: full means still refused after a pause.
        for (;;) {
            ssize_t n = 0;
            while ((n = ::write(m_slave, block.data(), block.size())) > 0) {
                total += static_cast<std::size_t>(n);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if ((n = ::write(m_slave, block.data(), 1)) <= 0) {
                break;
            }
            total += static_cast<std::size_t>(n);
        }
        ::fcntl(m_slave, F_SETFL, flags);
        return total;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// Threads of this process, counted by the kernel rather than by the object under test.
inline std::size_t ThreadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++n;
    }
    return n;
}
