#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "Port.h"

#ifndef _WIN32
#include "NetworkLine.h"  // made and ended with the port, which owns its network line
#endif

// The port's members that read the same on every system, its workers' lifecycle included
// (start, stop and join, wake, pause, a line lost); the line itself and what each worker
// does on it are each system's own (Port.cpp, PortWin32.cpp).

PortDeviceResolver MappedPortDevices(std::vector<std::pair<std::u16string, std::string>> mapping) {
    return [mapping = std::move(mapping)](const std::u16string& portName) {
        for (const auto& [name, device] : mapping) {
            if (name == portName && !device.empty()) {
                return device;
            }
        }
        return DefaultPortDevice(portName);
    };
}

namespace {

// A worker's pause after a failure, so that a stalled or dead line never spins.
constexpr std::chrono::milliseconds kPause{50};

void ToStandardError(const std::string& text) {
    std::fprintf(stderr, "tessora: %s\n", text.c_str());
}

}  // namespace

CPort::CPort(PortDeviceResolver resolver)
    : m_resolver(std::move(resolver)), m_notice(ToStandardError) {}

CPort::~CPort() {
    Close();
}

int CPort::Open() {
    if (m_bOpen != 0) {
        return State() == LineState::Lost ? Reconnect() : 0;
    }
    const int result = OpenDevice(false);
    if (result == 0) {
        m_lastError.clear();
    }
    return result;
}

int CPort::Refuse(std::error_code reason) {
    m_lastError = reason;
    return 1;
}

CPort::LineState CPort::State() const {
    if (m_bOpen == 0) {
        return LineState::Closed;
    }
    return m_nLine.load(std::memory_order_acquire) == kLineUp ? LineState::Live : LineState::Lost;
}

std::error_code CPort::LineReason() const {
    const std::lock_guard<std::mutex> hold(m_reasonLock);
    return m_lineReason;
}

bool CPort::KeepWorking() const {
    return m_bRunning.load(std::memory_order_acquire) != 0 &&
           m_nLine.load(std::memory_order_acquire) != kLineDown;
}

int CPort::StartWorkers(LinePhase phase) {
    m_quit.Clear();
    m_wake.Clear();
    m_nLine.store(phase, std::memory_order_release);
    m_nStopped.store(0, std::memory_order_release);
    m_bRunning.store(1, std::memory_order_release);
    try {
        m_hReadThread = std::thread(&CPort::ReadThreadProc, this);
        m_hWriteThread = std::thread(&CPort::WriteThreadProc, this);
    } catch (const std::system_error& e) {
        // Half a port would report open while nothing sends: undo it all.
        m_bRunning.store(0, std::memory_order_release);
        m_quit.Raise();
        if (m_hReadThread.joinable()) {
            m_hReadThread.join();
        }
        ReleaseHandle();
        // A line being brought back stays lost, with nothing left to wait for.
        m_nLine.store(m_bOpen != 0 ? kLineDown : kLineUp, std::memory_order_release);
        m_nStopped.store(2, std::memory_order_release);
        return Refuse(e.code());
    }
    m_bOpen = 1;
    return 0;
}

void CPort::MarkLost(std::error_code reason) {
    if (reason) {
        const std::lock_guard<std::mutex> hold(m_reasonLock);
        m_lineReason = reason;
    }
    m_nLine.store(kLineDown, std::memory_order_release);
    m_quit.Raise();
}

void CPort::WakeWriter() {
    m_wake.Raise();
}

void CPort::Pause() {
    m_quit.WaitFor(kPause);
}

void CPort::StopWorkersAndRelease() {
    m_bRunning.store(0, std::memory_order_release);
    // Both workers wait on the stop signal beside whatever else they wait for, so each leaves
    // within a byte's cycle; the line is released only once neither can touch it.
    m_quit.Raise();
    if (m_hReadThread.joinable()) {
        m_hReadThread.join();
    }
    if (m_hWriteThread.joinable()) {
        m_hWriteThread.join();
    }
    ReleaseHandle();
}

int CPort::Close() {
    if (m_bOpen == 0) {
        return 0;
    }
    StopWorkersAndRelease();
    DropQueued();
    m_nLine.store(kLineUp, std::memory_order_release);
    m_bOpen = 0;
    return 0;
}

void CPort::DropQueued() {
    // A write asks for its bytes soon after the line settles them; a few spans are plenty.
    constexpr std::size_t kKeptSpans = 16;
    m_tx.TakeSent(m_strSentBeforeReopen);
    const std::uint64_t passed = m_tx.Passed();
    const std::uint64_t appended = m_tx.Appended();
    m_tx.Reset();
    if (appended == passed) return;
    m_dropped.emplace_back(passed, appended);
    if (m_dropped.size() > kKeptSpans) m_dropped.pop_front();
}

std::optional<std::size_t> CPort::BytesOut(std::uint64_t from, std::uint64_t to) const {
    if (m_tx.Passed() < to) return std::nullopt;
    std::uint64_t out = to - from;
    for (const auto& [first, last] : m_dropped) {
        const std::uint64_t a = std::max(first, from), b = std::min(last, to);
        if (a < b) out -= b - a;
    }
    return static_cast<std::size_t>(out);
}

int CPort::IsOpen(int* pOpen) const {
    if (pOpen != nullptr) {
        *pOpen = State() == LineState::Live ? 1 : 0;
    }
    return 0;
}

int CPort::Write(std::string_view text) {
    // A lost line takes nothing: stamps queued while it is down would go out late.
    if (m_bRunning.load(std::memory_order_acquire) == 0 || State() != LineState::Live) {
        return Refuse(std::make_error_code(std::errc::not_connected));
    }
    // A caption command must reach the unit whole or not at all, so an overlong text or
    // one that does not fit behind what is queued is refused, never cut or overwritten.
    if (text.size() > kMaxText) {
        return Refuse(std::make_error_code(std::errc::message_size));
    }
    if (!m_tx.Append(text)) {
        return Refuse(std::make_error_code(std::errc::no_buffer_space));
    }
    WakeWriter();
    m_lastError.clear();
    return 0;
}

int CPort::Write(const char* text) {
    if (text == nullptr) {
        return Refuse(std::make_error_code(std::errc::invalid_argument));
    }
    return Write(std::string_view(text, ::strnlen(text, kMaxText + 1)));
}

void CPort::TakeSent(std::string& out) {
    out.append(m_strSentBeforeReopen);
    m_strSentBeforeReopen.clear();
    m_tx.TakeSent(out);
}

int CPort::GetPortName(std::u16string* pName) const {
    if (pName != nullptr) {
        *pName = m_bstrPort;
    }
    return 0;
}

int CPort::SetPort(const char16_t* name) {
    if (m_bOpen != 0) {
        Close();
    }
    m_bstrPort = name != nullptr ? name : u"";
    Open();
    return 0;
}
