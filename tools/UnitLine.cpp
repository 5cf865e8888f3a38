#include "UnitLine.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "PortReason.h"

namespace {

std::string ErrorText(const std::string& strWhat) {
    return strWhat + ": " + std::strerror(errno);
}

int OpenTerminal(const std::string& strPath, std::string& strError) {
    int fd = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        strError = ErrorText(strPath);
        return -1;
    }
    if (!SetRawLine(fd)) {
        strError = ErrorText(strPath + ": cannot set 9600 8N1 raw");
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool SetRawLine(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | CS8;
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0) {
        return false;
    }
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

CUnitLine::~CUnitLine() {
    Close();
}

void CUnitLine::Close() {
    for (int* pFd : {&m_hWatch, &m_hLine, &m_hSlave}) {
        if (*pFd >= 0) {
            ::close(*pFd);
            *pFd = -1;
        }
    }
}

bool CUnitLine::OpenPseudoTerminal(std::string& strError) {
    Close();
    m_bPseudoTerminal = true;
    m_hLine = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_hLine < 0) {
        strError = ErrorText("posix_openpt");
        return false;
    }
    char name[128];
    if (::grantpt(m_hLine) != 0 || ::unlockpt(m_hLine) != 0 ||
        ::ptsname_r(m_hLine, name, sizeof name) != 0) {
        strError = ErrorText("pseudo-terminal");
        Close();
        return false;
    }
    m_strPath = name;
    m_hSlave = OpenTerminal(m_strPath, strError);
    if (m_hSlave < 0) {
        Close();
        return false;
    }
    if (::fcntl(m_hLine, F_SETFL, ::fcntl(m_hLine, F_GETFL) | O_NONBLOCK) != 0) {
        strError = ErrorText("pseudo-terminal");
        Close();
        return false;
    }
    // Closes by others are what may leave a claim behind.
    m_hWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_hWatch < 0 || ::inotify_add_watch(m_hWatch, m_strPath.c_str(), IN_CLOSE) < 0) {
        strError = ErrorText("inotify " + m_strPath);
        Close();
        return false;
    }
    return true;
}

bool CUnitLine::DropLeftClaim() {
    // Only that something closed the device matters: inotify folds like events together.
    alignas(inotify_event) char events[4096];
    while (::read(m_hWatch, events, sizeof events) > 0) {
    }
    // A claim is let go before the close that ends it, so one still set after a close is
    // left over once no other process has the device open.
    int held = 0;
    if (::ioctl(m_hSlave, TIOCGEXCL, &held) != 0 || held == 0) {
        return false;
    }
    for (const pid_t pid : ProcessesHolding(m_strPath)) {
        if (pid != ::getpid()) {
            return false;
        }
    }
    return ::ioctl(m_hSlave, TIOCNXCL) == 0;
}

bool CUnitLine::OpenDevice(const std::string& strPath, std::string& strError) {
    Close();
    m_bPseudoTerminal = false;
    m_strPath = strPath;
    m_hLine = OpenTerminal(strPath, strError);
    return m_hLine >= 0;
}

bool CUnitLine::Reopen() {
    if (m_bPseudoTerminal) {
        return m_hLine >= 0;
    }
    std::string strIgnored;
    return OpenDevice(m_strPath, strIgnored);
}
