// tessora-unit: a stand-in for the caption unit. Listens on a pseudo-terminal
// (or a serial device), decodes what arrives into the 52x19 display and shows
// it, optionally keeping a dump file of the display and a log of every byte.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "CaptionDisplay.h"
#include "DisplayText.h"
#include "UnitLine.h"
#include "UnitOptions.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A terminal shows no more frames than this; bytes paced 1 ms apart would
// otherwise redraw it a thousand times a second.
constexpr milliseconds kFramePeriod{40};
// How long to wait before looking at a hung-up line again.
constexpr milliseconds kHangUpPause{100};

volatile std::sig_atomic_t g_bStop = 0;

void OnStopSignal(int) {
    g_bStop = 1;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Readers never see a half-written file: they get the old text or the new.
bool WriteFileAtomically(const std::string& strPath, std::string_view text) {
    const std::string strTemp = strPath + ".tmp";
    int fd = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool bWritten = WriteAll(fd, text);
    bWritten = ::close(fd) == 0 && bWritten;
    return bWritten && ::rename(strTemp.c_str(), strPath.c_str()) == 0;
}

timespec ToTimespec(Clock::duration d) {
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    if (ns < 0) {
        ns = 0;
    }
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

class CUnitServer {
public:
    explicit CUnitServer(const CUnitOptions& options) : m_options(options) {}
    ~CUnitServer();

    // Opens the line and the files and prints the device path.
    bool Start(std::string& strError);
    // Serves until a stop signal; waits with waitMask as the signal mask.
    bool Serve(const sigset_t& waitMask, std::string& strError);

private:
    void ReadFromLine();
    void OnBytes(const unsigned char* pBytes, std::size_t nBytes);
    void WaitAfterHangUp(const sigset_t& waitMask);
    void Redraw();
    void Complain(bool& bComplained, const std::string& strWhat);

    const CUnitOptions m_options;
    const Clock::time_point m_start = Clock::now();
    CCaptionDisplay m_display;
    CUnitLine m_line;
    int m_hLog = -1;
    bool m_bLive = false;
    bool m_bRedrawPending = false;
    bool m_bHungUp = false;
    Clock::time_point m_nextFrame = Clock::now();
    unsigned long long m_nBytes = 0;
    bool m_bDumpComplained = false;
    bool m_bLogComplained = false;
};

CUnitServer::~CUnitServer() {
    if (m_hLog >= 0) {
        ::close(m_hLog);
    }
    if (m_bLive) {
        WriteAll(STDOUT_FILENO, "\033[?25h\n");
    }
}

bool CUnitServer::Start(std::string& strError) {
    bool bOpen = m_options.m_strDevice.empty() ? m_line.OpenPseudoTerminal(strError)
                                               : m_line.OpenDevice(m_options.m_strDevice, strError);
    if (!bOpen) {
        return false;
    }
    if (!m_options.m_strLog.empty()) {
        m_hLog =
            ::open(m_options.m_strLog.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (m_hLog < 0) {
            strError = m_options.m_strLog + ": " + std::strerror(errno);
            return false;
        }
    }
    // The dump exists before anyone is told where to connect.
    if (!m_options.m_strDump.empty() &&
        !WriteFileAtomically(m_options.m_strDump, DisplayDump(m_display))) {
        strError = m_options.m_strDump + ": " + std::strerror(errno);
        return false;
    }

    std::printf("%s\n", m_line.Path().c_str());
    std::fflush(stdout);

    // Drawing into a pipe that nobody reads could block the unit; only a
    // terminal gets the live view.
    m_bLive = !m_options.m_bQuiet && ::isatty(STDOUT_FILENO) == 1;
    if (m_bLive) {
        WriteAll(STDOUT_FILENO, "\033[2J\033[?25l");
        Redraw();
    }
    return true;
}

bool CUnitServer::Serve(const sigset_t& waitMask, std::string& strError) {
    while (g_bStop == 0) {
        if (m_bHungUp || m_line.ReadFd() < 0) {
            WaitAfterHangUp(waitMask);
            continue;
        }
        // A watch of -1 is passed over by ppoll.
        pollfd pfds[2] = {{m_line.ReadFd(), POLLIN, 0}, {m_line.WatchFd(), POLLIN, 0}};
        timespec timeout{};
        const timespec* pTimeout = nullptr;
        if (m_bRedrawPending) {
            timeout = ToTimespec(m_nextFrame - Clock::now());
            pTimeout = &timeout;
        }
        int rc = ::ppoll(pfds, 2, pTimeout, &waitMask);
        if (rc < 0 && errno != EINTR) {
            strError = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (rc > 0) {
            if ((pfds[1].revents & POLLIN) != 0 && m_line.DropLeftClaim()) {
                std::fprintf(stderr,
                             "tessora-unit: %s: the program that held it ended without "
                             "letting go; the device is free again\n",
                             m_line.Path().c_str());
            }
            if ((pfds[0].revents & POLLIN) != 0) {
                ReadFromLine();
            } else if ((pfds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                m_bHungUp = true;
            }
        }
        if (m_bRedrawPending && Clock::now() >= m_nextFrame) {
            Redraw();
        }
    }
    return true;
}

void CUnitServer::ReadFromLine() {
    unsigned char buffer[4096];
    ssize_t n = ::read(m_line.ReadFd(), buffer, sizeof buffer);
    if (n > 0) {
        OnBytes(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        // EIO on a pseudo-terminal with no far end, or a device gone.
        m_bHungUp = true;
    }
}

void CUnitServer::OnBytes(const unsigned char* pBytes, std::size_t nBytes) {
    const auto ms = std::chrono::duration_cast<milliseconds>(Clock::now() - m_start).count();
    bool bChanged = false;
    std::string strLog;
    for (std::size_t i = 0; i < nBytes; ++i) {
        bChanged |= m_display.Feed(pBytes[i]);
        if (m_hLog >= 0) {
            strLog += ByteLogLine(ms, pBytes[i]);
        }
    }
    m_nBytes += nBytes;

    // The dump goes first, so a reader that sees a byte in the log finds the
    // display with that byte already in the dump.
    if (bChanged && !m_options.m_strDump.empty() &&
        !WriteFileAtomically(m_options.m_strDump, DisplayDump(m_display))) {
        Complain(m_bDumpComplained, m_options.m_strDump);
    }
    if (m_hLog >= 0 && !WriteAll(m_hLog, strLog)) {
        Complain(m_bLogComplained, m_options.m_strLog);
    }
    m_bRedrawPending = m_bLive;
}

void CUnitServer::WaitAfterHangUp(const sigset_t& waitMask) {
    const timespec pause = ToTimespec(kHangUpPause);
    ::ppoll(nullptr, 0, &pause, &waitMask);
    if (g_bStop == 0 && m_line.Reopen()) {
        m_bHungUp = false;
    }
}

void CUnitServer::Redraw() {
    char status[160];
    std::snprintf(status, sizeof status, "%s  bytes %llu  column %02d row %02d",
                  m_line.Path().c_str(), m_nBytes, m_display.GetColumn(), m_display.GetRow());
    WriteAll(STDOUT_FILENO, "\033[H" + FramedView(m_display, status) + "\033[J");
    m_bRedrawPending = false;
    m_nextFrame = Clock::now() + kFramePeriod;
}

void CUnitServer::Complain(bool& bComplained, const std::string& strWhat) {
    if (!bComplained) {
        std::fprintf(stderr, "tessora-unit: cannot write %s: %s\n", strWhat.c_str(),
                     std::strerror(errno));
        bComplained = true;
    }
}

// Stop signals stay blocked except while waiting, so none is lost between a
// check of the stop flag and the wait. Returns the mask to wait with.
sigset_t InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
        sigaddset(&stopSignals, signal);
    }
    ::signal(SIGPIPE, SIG_IGN);

    sigset_t waitMask;
    ::sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigdelset(&waitMask, signal);
    }
    return waitMask;
}

}  // namespace

int main(int argc, char** argv) {
    std::string strError;
    auto options = ParseUnitOptions({argv + 1, static_cast<std::size_t>(argc - 1)}, strError);
    if (!options) {
        std::fprintf(stderr, "tessora-unit: %s\n%s", strError.c_str(), UnitUsage().c_str());
        return 2;
    }
    if (options->m_bHelp) {
        std::fputs(UnitUsage().c_str(), stdout);
        return 0;
    }

    const sigset_t waitMask = InstallStopSignals();
    CUnitServer server(*options);
    if (!server.Start(strError) || !server.Serve(waitMask, strError)) {
        std::fprintf(stderr, "tessora-unit: %s\n", strError.c_str());
        return 1;
    }
    return 0;
}
