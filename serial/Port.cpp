#include "Port.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "LineSettings.h"
#include "NetworkAddress.h"
#include "NetworkLine.h"
#include "Terminal.h"

namespace {

using std::chrono::milliseconds;

// The writer's pacing: a short sleep before each byte, and a bounded wait for its completion.
// A worker with nothing to do sleeps until it is woken; after a failure it pauses (Pause).
constexpr milliseconds kCycleSleep{1};
constexpr milliseconds kWriteCompletionWait{10};

void Sleep(milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

// The writer passes only the byte it peeked and wrote, so there is always one to pass.
void PassHead(TransmitRing& ring) {
    [[maybe_unused]] const bool passed = ring.Advance();
    assert(passed);
}

// Names the calling worker, so that tools and tests that list threads can tell them apart.
void NameThread(const char* name) {
    ::pthread_setname_np(::pthread_self(), name);
}

}  // namespace

std::string DefaultPortDevice(const std::u16string& portName) {
    constexpr std::u16string_view kPrefix = u"COM";
    constexpr std::size_t kMaxDigits = 5;
    if (portName.size() <= kPrefix.size() || portName.size() > kPrefix.size() + kMaxDigits) {
        return {};
    }
    for (std::size_t i = 0; i < kPrefix.size(); ++i) {
        const char16_t c = portName[i];
        if (c != kPrefix[i] && c != kPrefix[i] + (u'a' - u'A')) {
            return {};
        }
    }
    unsigned number = 0;
    for (std::size_t i = kPrefix.size(); i < portName.size(); ++i) {
        const char16_t c = portName[i];
        if (c < u'0' || c > u'9' || (i == kPrefix.size() && c == u'0')) {
            return {};
        }
        number = number * 10 + static_cast<unsigned>(c - u'0');
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

int CPort::OpenDevice(bool sameDevice) {
    // Bytes queued for an earlier opening are not for whatever is on the line now; those it
    // sent are still news to whoever follows the line.
    DropQueued();

    const std::optional<LineSettings> settings = ParseModeString(m_bstrSettings);
    if (!settings) {
        return Refuse(std::make_error_code(std::errc::invalid_argument));
    }
    if (!sameDevice) {
        m_strDevice = m_resolver ? m_resolver(m_bstrPort) : std::string();
        // Another line's reasons are not this one's.
        const std::lock_guard<std::mutex> hold(m_reasonLock);
        m_lineReason.clear();
        m_noticedReason.clear();
    }
    const std::string& device = m_strDevice;
    if (device.empty()) {
        return Refuse(std::make_error_code(std::errc::no_such_device));
    }
    for (const Signal* signal : {&m_quit, &m_wake}) {
        if (signal->Fault()) {
            return Refuse(signal->Fault());
        }
    }
    if (IsNetworkAddress(device)) {
        return OpenNetwork(*settings, sameDevice);
    }
    std::error_code reason;
    const int fd = OpenExclusiveTerminal(device, reason);
    if (fd < 0) {
        return Refuse(reason);
    }
    reason = ConfigureLine(fd, *settings);
    if (reason) {
        ReleaseTerminal(fd);
        return Refuse(reason);
    }
    m_hComm = fd;
    return StartWorkers(kLineUp);
}

int CPort::OpenNetwork(const LineSettings& settings, bool comingBack) {
    const std::optional<NetworkAddress> address = ParseNetworkAddress(m_strDevice);
    if (!address) {
        return Refuse(std::make_error_code(std::errc::invalid_argument));
    }
    auto line = std::make_unique<NetworkLine>(m_strDevice, *address, settings, m_notice, m_wake);
    std::error_code reason;
    switch (line->Begin(reason)) {
        case Dialer::Progress::Failed:
            return Refuse(reason);
        case Dialer::Progress::Connected:
            m_pNetwork = std::move(line);
            return StartWorkers(kLineUp);
        case Dialer::Progress::Pending:
            break;
    }
    m_pNetwork = std::move(line);
    // A first opening is taken as done, so the program greets a unit it will reach in a
    // moment; a line being brought back stays lost until the connection is there.
    if (!comingBack) {
        return StartWorkers(kLineUp);
    }
    if (StartWorkers(kLineComing) != 0) {
        return 1;
    }
    return Refuse(LineReason());
}

ComPortReport CPort::ServerLine() const {
    return m_pNetwork ? m_pNetwork->Report() : ComPortReport{};
}

int CPort::Reconnect() {
    if (State() != LineState::Lost) {
        return m_bOpen != 0 ? 0 : 1;
    }
    int phase = kLineBack;
    if (m_nLine.compare_exchange_strong(phase, kLineUp, std::memory_order_acq_rel)) {
        m_noticedReason.clear();
        m_lastError.clear();
        return 0;
    }
    if (phase == kLineComing) {
        return Refuse(LineReason());  // the connection is still being made
    }
    // Both workers leave their loops on a hang-up; until they have, the old line is theirs.
    // Joining then costs nothing.
    if (m_nStopped.load(std::memory_order_acquire) < 2) {
        m_lastError = std::make_error_code(std::errc::device_or_resource_busy);
        return 1;
    }
    StopWorkersAndRelease();
    const bool network = IsNetworkAddress(m_strDevice);
    if (network) {
        NoticeLineReason(LineReason());
    }
    // Still open to the program: only the device is tried again. What was queued for the
    // old line is dropped by the reopening, so nothing is sent twice or out of time. The
    // path is the one mapped at the opening: a stable link comes back under the same name.
    const int result = OpenDevice(true);
    if (result == 0) {
        m_noticedReason.clear();
        m_lastError.clear();
    } else if (network) {
        // From now on the line is down for the reason the last try gave.
        {
            const std::lock_guard<std::mutex> hold(m_reasonLock);
            m_lineReason = m_lastError;
        }
        NoticeLineReason(m_lastError);
    }
    return result;
}

void CPort::NoticeLineReason(std::error_code reason) {
    if (!reason || reason == m_noticedReason) {
        return;
    }
    m_noticedReason = reason;
    m_notice(m_strDevice + ": " + reason.message());
}

void CPort::ReleaseHandle() {
    if (m_hComm != kInvalidHandle) {
        ReleaseTerminal(m_hComm);
        m_hComm = kInvalidHandle;
    }
    m_pNetwork.reset();
}

bool CPort::HasCommHandle() const {
    return m_hComm != kInvalidHandle || m_pNetwork != nullptr;
}

void CPort::WaitForBytes() {
    // Cleared before the ring is looked at, so a Write that comes after the look still wakes
    // the wait.
    m_wake.Clear();
    if (!m_tx.IsEmpty() || (m_pNetwork && m_pNetwork->HasOwed())) {
        return;
    }
    pollfd waits[] = {{m_wake.Fd(), POLLIN, 0}, {m_quit.Fd(), POLLIN, 0}};
    ::poll(waits, 2, -1);  // an interruption only means another look
}

void CPort::WriteThreadProc() {
    NameThread("tessora-writer");
    if (m_pNetwork) {
        WriteNetwork();
    } else {
        WriteDevice();
    }
    m_nStopped.fetch_add(1, std::memory_order_acq_rel);
}

void CPort::ReadThreadProc() {
    NameThread("tessora-reader");
    if (m_pNetwork) {
        ReadNetwork();
    } else {
        ReadDevice();
    }
    m_nStopped.fetch_add(1, std::memory_order_acq_rel);
}

void CPort::WriteDevice() {
    bool pending = false;
    // A hung-up line ends the worker: what is queued cannot reach the unit on it.
    while (KeepWorking()) {
        unsigned char byte = 0;
        if (!pending && !m_tx.Peek(&byte)) {
            WaitForBytes();
            continue;
        }
        Sleep(kCycleSleep);
        if (!pending) {
            // A full driver queue (EAGAIN), a hung-up line or any other error: the byte
            // stays at the head and is tried again after the pause.
            if (::write(m_hComm, &byte, 1) != 1) {
                Pause();
                continue;
            }
            // write() only hands the byte to the driver: it is in flight until the driver's
            // output queue reads empty, looked at in this same cycle. Taking an at-once empty
            // queue as an immediate completion, with its 50 ms pause, would cap the line
            // below 20 bytes a second, slower than the stamps alone.
            pending = true;
        }
        // The worker has no caller to hand a reason to: a queue it cannot read is handled
        // the same whatever the cause.
        std::error_code unreadable;
        switch (WaitOutputDrained(m_hComm, kWriteCompletionWait, unreadable)) {
            case OutputState::Drained:
                PassHead(m_tx);
                pending = false;
                break;
            case OutputState::Queued:
                break;
            case OutputState::Unknown:
                // write() took the byte, so it is the driver's to send: sending it again
                // would put it on the line twice. The pause keeps a dead line from spinning.
                PassHead(m_tx);
                pending = false;
                Pause();
                break;
        }
    }
}

void CPort::WriteNetwork() {
    std::error_code reason;
    if (!m_pNetwork->Connect(m_quit, reason)) {
        if (reason) {
            MarkLost(reason);
        }
        return;
    }
    // Connected while being brought back: the window takes the line up when it next asks.
    int coming = kLineComing;
    m_nLine.compare_exchange_strong(coming, kLineBack, std::memory_order_acq_rel);
    while (KeepWorking()) {
        unsigned char byte = 0;
        const bool hasByte = m_tx.Peek(&byte);
        if (!hasByte && !m_pNetwork->HasOwed()) {
            WaitForBytes();
            continue;
        }
        if (hasByte) {
            Sleep(kCycleSleep);
        }
        // What the socket took is what the line took: a device server may still hold some
        // of it, but the connection delivers it in order or fails.
        switch (m_pNetwork->Send(hasByte ? &byte : nullptr, reason)) {
            case NetworkLine::Sent::Taken:
                if (hasByte) {
                    PassHead(m_tx);
                }
                break;
            case NetworkLine::Sent::Full:
                Pause();  // the server is not reading: the byte stays at the head
                break;
            case NetworkLine::Sent::Failed:
                MarkLost(reason);
                break;
        }
    }
}

namespace {

// The errors a terminal gives once its device has gone or its far end has closed.
bool IsHangUpError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

}  // namespace

void CPort::ReadDevice() {
    // What the unit sends is read only to keep the receive side drained, then thrown away.
    unsigned char received[256];
    bool hungUp = false;
    while (!hungUp && KeepWorking()) {
        pollfd waits[] = {{m_hComm, POLLIN, 0}, {m_quit.Fd(), POLLIN, 0}};
        const int ready = ::poll(waits, 2, -1);
        if (ready < 0) {
            if (errno != EINTR) {
                Pause();  // a failed wait: pausing keeps the loop from spinning
            }
            continue;
        }
        if (waits[1].revents != 0) {
            break;
        }
        const ssize_t n = ::read(m_hComm, received, sizeof received);
        if (n > 0) {
            continue;
        }
        const bool lineGone = (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        if (n < 0 && (errno == EAGAIN || errno == EINTR) && !lineGone) {
            continue;  // the bytes went elsewhere; nothing wrong with the line
        }
        // Readable yet nothing to read, a hang-up or a read error the device gives once it
        // has gone: the line is lost, and the window is told through State. Any other
        // error is waited out.
        hungUp = lineGone || n == 0 || IsHangUpError(errno);
        if (!hungUp) {
            Pause();
        }
    }
    if (hungUp && m_bRunning.load(std::memory_order_acquire) != 0) {
        MarkLost();
    }
}

void CPort::ReadNetwork() {
    const int fd = m_pNetwork->WaitConnected(m_quit);
    while (fd >= 0 && KeepWorking()) {
        pollfd waits[] = {{fd, POLLIN, 0}, {m_quit.Fd(), POLLIN, 0}};
        // Only a Telnet server still owing its answer about the settings sets a limit.
        const int ready = ::poll(waits, 2, m_pNetwork->ReceiveWaitMs());
        if (ready < 0) {
            if (errno != EINTR) {
                Pause();
            }
            continue;
        }
        if (waits[1].revents != 0) {
            break;
        }
        // The end of the connection, a reset and a refusal all read as the reason.
        std::error_code reason;
        if (!m_pNetwork->Receive(reason)) {
            if (m_bRunning.load(std::memory_order_acquire) != 0) {
                MarkLost(reason);
            }
            break;
        }
    }
}
