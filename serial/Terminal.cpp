#include "Terminal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace {

std::error_code LastErrno() {
    return {errno, std::generic_category()};
}

// Gives up a descriptor that never became a held terminal, keeping the reason it failed.
int Refuse(int fd, std::error_code cause, std::error_code& reason) {
    ::close(fd);
    reason = cause;
    return -1;
}

}  // namespace

int OpenExclusiveTerminal(const std::string& path, std::error_code& reason) {
    reason.clear();
    // Only character devices are opened at all, so a mapping that names a file, a folder or
    // a pipe never has anything done to it.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        reason = LastErrno();
        return -1;
    }
    if (!S_ISCHR(info.st_mode)) {
        reason = std::make_error_code(std::errc::no_such_device);
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = LastErrno();
        return -1;
    }
    if (::isatty(fd) != 1) {
        return Refuse(fd, std::make_error_code(std::errc::inappropriate_io_control_operation),
                      reason);
    }
    // Root opens a device another program holds with TIOCEXCL all the same, so the flag is
    // asked for: set, the device is busy. The lock comes before TIOCEXCL: a port that
    // someone else holds must keep their flag.
    int held = 0;
    if (::ioctl(fd, TIOCGEXCL, &held) != 0) {
        return Refuse(fd, LastErrno(), reason);
    }
    if (held != 0) {
        return Refuse(fd, std::make_error_code(std::errc::device_or_resource_busy), reason);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::error_code cause = errno == EWOULDBLOCK
                                          ? std::make_error_code(std::errc::device_or_resource_busy)
                                          : LastErrno();
        return Refuse(fd, cause, reason);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        return Refuse(fd, LastErrno(), reason);
    }
    return fd;
}

std::error_code ReleaseTerminal(int fd) {
    // The exclusive flag belongs to the device, not to this descriptor: left set, it would
    // keep others out after we are gone wherever the device outlives our descriptor. It is
    // ours to clear: the device was opened only when nobody else had set it.
    std::error_code reason;
    if (::ioctl(fd, TIOCNXCL) != 0) {
        reason = LastErrno();
    }
    if (::close(fd) != 0 && !reason) {
        reason = LastErrno();
    }
    return reason;
}

std::error_code ConfigureLine(int fd, const LineSettings& settings) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return LastErrno();
    }
    ApplyLineSettings(settings, &tio);
    // tcsetattr succeeds when any part of the request was taken, hence the read-back.
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return LastErrno();
    }
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0) {
        return LastErrno();
    }
    if (!LineMatches(settings, applied)) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    return {};
}

OutputState WaitOutputDrained(int fd, std::chrono::microseconds limit, std::error_code& reason) {
    reason.clear();
    // A fine step keeps a byte's completion close to the line's own pace of about 1 ms.
    constexpr std::chrono::microseconds kStep{250};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
            reason = LastErrno();
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
