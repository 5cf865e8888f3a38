// The port on Windows: a COM port opened for overlapped reads and writes, each worker waiting
// on its operation's event beside the port's own stop and wake signals. Network lines are not
// offered here; a name is always a COM port.

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#include <cassert>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "Port.h"

namespace {

// The same pacing as on POSIX: a short sleep before each byte and a bounded wait for its
// completion; after a failure the worker pauses (Pause).
constexpr DWORD kCycleSleepMs = 1;
constexpr DWORD kWriteCompletionWaitMs = 10;

void PassHead(TransmitRing& ring) {
    [[maybe_unused]] const bool passed = ring.Advance();
    assert(passed);
}

// Why CreateFileA failed, in the words the POSIX port gives for the same case. A COM port
// held by another program answers "access denied": it is never shared.
std::error_code OpenFailure(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return std::make_error_code(std::errc::device_or_resource_busy);
        default:
            return {static_cast<int>(error), std::system_category()};
    }
}

std::error_code LastFailure() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

// The errors the port gives once the device has gone (a USB adapter pulled, its driver gone,
// the far end of the line closed).
bool IsHangUpError(DWORD error) {
    return error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_REMOVED ||
           error == ERROR_GEN_FAILURE || error == ERROR_INVALID_HANDLE ||
           error == ERROR_ACCESS_DENIED || error == ERROR_NOT_READY;
}

// One overlapped operation in flight on the port; it never outlives its record.
class Pending {
public:
    Pending() : m_event(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        m_record.hEvent = m_event;
    }
    ~Pending() {
        if (m_event != nullptr) ::CloseHandle(m_event);
    }
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;

    bool Usable() const { return m_event != nullptr; }
    OVERLAPPED* Record() {
        ::ResetEvent(m_event);
        return &m_record;
    }
    HANDLE Event() const { return m_event; }
    // The operation's outcome, once its event is raised or it is cancelled.
    bool Finish(HANDLE port, DWORD* count) {
        return ::GetOverlappedResult(port, &m_record, count, TRUE) != FALSE;
    }
    // Gives the operation up and waits until the port no longer refers to the record.
    void Cancel(HANDLE port) {
        DWORD ignored = 0;
        ::CancelIo(port);
        Finish(port, &ignored);
    }

private:
    HANDLE m_event;
    OVERLAPPED m_record{};
};

std::string AnsiName(const std::u16string& name) {
    const std::wstring wide(name.begin(), name.end());
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), ansi.data(), size,
                          nullptr, nullptr);
    return ansi;
}

}  // namespace

std::string DefaultPortDevice(const std::u16string& portName) {
    if (portName.empty()) return {};
    // Only the \\.\ form reaches COM10 and above; a name given in it already is kept.
    const std::string name = AnsiName(portName);
    return name.starts_with("\\\\") ? name : "\\\\.\\" + name;
}

int CPort::OpenDevice(bool sameDevice) {
    // Bytes queued for an earlier opening are not for whatever is on the line now.
    DropQueued();

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const std::wstring settings(m_bstrSettings.begin(), m_bstrSettings.end());
    if (!::BuildCommDCBW(settings.c_str(), &dcb)) {
        return Refuse(std::make_error_code(std::errc::invalid_argument));
    }
    if (!sameDevice) {
        m_strDevice = m_resolver ? m_resolver(m_bstrPort) : std::string();
        const std::lock_guard<std::mutex> hold(m_reasonLock);
        m_lineReason.clear();
    }
    if (m_strDevice.empty()) {
        return Refuse(std::make_error_code(std::errc::no_such_device));
    }
    for (const Signal* signal : {&m_quit, &m_wake}) {
        if (signal->Fault()) return Refuse(signal->Fault());
    }
    HANDLE port = ::CreateFileA(m_strDevice.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return Refuse(OpenFailure(::GetLastError()));
    }
    // Reads return at once with what has arrived; the reader sleeps on a receive event
    // instead. Writes have no time limit: the writer bounds its own wait.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!::SetCommState(port, &dcb) || !::SetCommTimeouts(port, &timeouts) ||
        !::SetCommMask(port, EV_RXCHAR)) {
        const std::error_code reason = LastFailure();
        ::CloseHandle(port);
        return Refuse(reason);
    }
    m_hComm = port;
    return StartWorkers(kLineUp);
}

int CPort::Reconnect() {
    if (State() != LineState::Lost) {
        return m_bOpen != 0 ? 0 : 1;
    }
    // Both workers leave their loops on a hang-up; until they have, the old line is theirs.
    if (m_nStopped.load(std::memory_order_acquire) < 2) {
        return Refuse(std::make_error_code(std::errc::device_or_resource_busy));
    }
    StopWorkersAndRelease();
    const int result = OpenDevice(true);
    if (result == 0) m_lastError.clear();
    return result;
}

void CPort::ReleaseHandle() {
    if (m_hComm != nullptr) {
        ::CloseHandle(m_hComm);
        m_hComm = nullptr;
    }
}

bool CPort::HasCommHandle() const {
    return m_hComm != nullptr;
}

void CPort::WaitForBytes() {
    // Cleared before the ring is looked at, so a Write that comes after the look still wakes
    // the wait.
    m_wake.Clear();
    if (!m_tx.IsEmpty()) return;
    const HANDLE waits[] = {m_wake.Handle(), m_quit.Handle()};
    ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

void CPort::WriteThreadProc() {
    WriteDevice();
    m_nStopped.fetch_add(1, std::memory_order_acq_rel);
}

void CPort::ReadThreadProc() {
    ReadDevice();
    m_nStopped.fetch_add(1, std::memory_order_acq_rel);
}

void CPort::WriteDevice() {
    Pending write;
    if (!write.Usable()) {
        MarkLost(LastFailure());
        return;
    }
    // Windows' default timer tick is about 15 ms: without a finer one each byte's 1 ms sleep
    // would take a tick, far slower than the line.
    ::timeBeginPeriod(kCycleSleepMs);
    bool pending = false;
    while (KeepWorking()) {
        unsigned char byte = 0;
        if (!pending && !m_tx.Peek(&byte)) {
            WaitForBytes();
            continue;
        }
        ::Sleep(kCycleSleepMs);
        if (!pending) {
            if (::WriteFile(m_hComm, &byte, 1, nullptr, write.Record())) {
                PassHead(m_tx);
                continue;
            }
            const DWORD error = ::GetLastError();
            if (IsHangUpError(error)) break;  // nothing queued can reach the unit on it
            if (error != ERROR_IO_PENDING) {
                Pause();  // the byte stays at the head and is tried again
                continue;
            }
            pending = true;
        }
        const HANDLE waits[] = {write.Event(), m_quit.Handle()};
        if (::WaitForMultipleObjects(2, waits, FALSE, kWriteCompletionWaitMs) != WAIT_OBJECT_0) {
            continue;  // still in flight, or the workers are told to stop
        }
        pending = false;
        DWORD written = 0;
        if (!write.Finish(m_hComm, &written)) {
            if (IsHangUpError(::GetLastError())) break;
            Pause();
        } else if (written == 1) {
            PassHead(m_tx);
        } else {
            Pause();  // timed out: the byte stays at the head
        }
    }
    if (pending) write.Cancel(m_hComm);
    ::timeEndPeriod(kCycleSleepMs);
    if (m_bRunning.load(std::memory_order_acquire) != 0 &&
        m_nLine.load(std::memory_order_acquire) != kLineDown) {
        MarkLost();  // left on a hang-up, not told to stop
    }
}

void CPort::ReadDevice() {
    // What the unit sends is read only to keep the receive side drained, then thrown away.
    Pending wait;
    Pending read;
    if (!wait.Usable() || !read.Usable()) {
        MarkLost(LastFailure());
        return;
    }
    unsigned char received[256];
    bool hungUp = false;
    while (!hungUp && KeepWorking()) {
        DWORD events = 0;
        DWORD error = ERROR_SUCCESS;
        if (!::WaitCommEvent(m_hComm, &events, wait.Record())) {
            error = ::GetLastError();
        }
        if (error == ERROR_IO_PENDING) {
            const HANDLE waits[] = {wait.Event(), m_quit.Handle()};
            if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                wait.Cancel(m_hComm);
                break;
            }
            error = wait.Finish(m_hComm, &events) ? ERROR_SUCCESS : ::GetLastError();
        }
        if (error != ERROR_SUCCESS) {
            hungUp = IsHangUpError(error);
            // A port that cannot wait for bytes (wine's on a pseudo-terminal cannot) is
            // drained after each pause instead.
            if (!hungUp) Pause();
        }
        // Reads return at once, so draining what has arrived never blocks.
        DWORD count = sizeof received;
        while (!hungUp && count == sizeof received) {
            count = 0;
            if (!::ReadFile(m_hComm, received, sizeof received, nullptr, read.Record())) {
                error = ::GetLastError();
                if (error != ERROR_IO_PENDING) {
                    hungUp = IsHangUpError(error);
                    break;
                }
                // Meant to return at once, but a port may hold the read until a byte comes.
                const HANDLE waits[] = {read.Event(), m_quit.Handle()};
                if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                    read.Cancel(m_hComm);
                    break;
                }
            }
            if (!read.Finish(m_hComm, &count)) {
                hungUp = IsHangUpError(::GetLastError());
                break;
            }
        }
    }
    if (hungUp && m_bRunning.load(std::memory_order_acquire) != 0) {
        MarkLost();
    }
}
