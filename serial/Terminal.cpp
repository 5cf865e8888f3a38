#include "Terminal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

int OpenExclusiveTerminal(const std::string& path) {
    // Only character devices are opened at all, so a mapping that names a file, a folder or
    // a pipe never has anything done to it.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // Root opens a device another program holds with TIOCEXCL all the same, so the flag is
    // asked for: set, the device is busy. The lock comes before TIOCEXCL: a port that
    // someone else holds must keep their flag.
    int held = 0;
    if (::isatty(fd) != 1 || ::ioctl(fd, TIOCGEXCL, &held) != 0 || held != 0 ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void ReleaseTerminal(int fd) {
    // The exclusive flag belongs to the device, not to this descriptor: left set, it would
    // keep others out after we are gone wherever the device outlives our descriptor. It is
    // ours to clear: the device was opened only when nobody else had set it.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool ConfigureLine(int fd, const LineSettings& settings) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return false;
    }
    ApplyLineSettings(settings, &tio);
    // tcsetattr succeeds when any part of the request was taken, hence the read-back.
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return false;
    }
    termios applied{};
    return ::tcgetattr(fd, &applied) == 0 && LineMatches(settings, applied);
}

OutputState WaitOutputDrained(int fd, std::chrono::microseconds limit) {
    // A fine step keeps a byte's completion close to the line's own pace of about 1 ms.
    constexpr std::chrono::microseconds kStep{250};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
            return OutputState::Unknown;
        }
        if (queued == 0) {
            return OutputState::Drained;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return OutputState::Queued;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kStep, deadline - now));
    }
}
