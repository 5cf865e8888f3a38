#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "Signal.h"
#include "TransmitRing.h"
#ifndef _WIN32
#include "LineSettings.h"
#include "TelnetComPort.h"

class NetworkLine;
#endif
struct ComPortReport;
struct LineSettings;

// Maps a port name such as "COM1" to the device path to open, or to a network line
// ("socket://host:port", "rfc2217://host:port"); "" means the name has no device.
using PortDeviceResolver = std::function<std::string(const std::u16string& portName)>;

// "COMn" (n >= 1, any case) -> "/dev/ttyS<n-1>", anything else -> "" (open fails). On
// Windows the name itself, as "\\.\NAME" so that COM10 and above open too.
std::string DefaultPortDevice(const std::u16string& portName);

// A resolver over the operator's own mapping of port names to devices (name, device path),
// looked up by the exact name; a name it does not map opens its default device.
PortDeviceResolver MappedPortDevices(std::vector<std::pair<std::u16string, std::string>> mapping);

// Where the port tells the operator what it found on a line on its own (a device server
// that kept its own settings, why a lost network line is still down). The default writes one
// line to standard error. Called from the window thread and from the workers.
using PortNotice = std::function<void(const std::string&)>;

// The link to the caption unit: one serial port at fixed line settings, a writer thread that
// sends queued text one byte at a time and a reader thread that keeps the receive side
// drained. The port may be a device or a TCP connection to a serial device server, with the
// same contract. Every operation is for the window thread and never waits on the line nor
// on the network; Write returns without waiting for the line. Operations give 0 for done
// and 1 for not done; LastError says why the last Open or Write that was not done failed,
// and is cleared by the next that is.
class CPort {
public:
    // Live: open and the line up. Lost: open, but the device hung up (unplugged, its far
    // end gone) or the connection ended; the port stays open under its name and Reconnect
    // tries the same device or address again. A network line that is still connecting
    // after Open counts as live and queues what is written; if the connection fails, the
    // line is lost with the reason.
    enum class LineState { Closed, Live, Lost };

    explicit CPort(PortDeviceResolver resolver = DefaultPortDevice);
    ~CPort();
    CPort(const CPort&) = delete;
    CPort& operator=(const CPort&) = delete;

    int Open();                    // 0 opened, 1 failed; on a lost line, Reconnect
    int Close();                   // always 0
    int IsOpen(int* pOpen) const;  // always 0; a lost line counts as not open
    // 0 queued whole, 1 refused whole. The text is taken by its length, NULs and all: the
    // C-string form stops at its first NUL, so a text that may hold one goes in as a view.
    int Write(std::string_view text);
    int Write(const char* text);
    int GetPortName(std::u16string* pName) const;  // always 0
    int SetPort(const char16_t* name);             // always 0; IsOpen tells the outcome
    // ENOENT and the like from the device, EBUSY held elsewhere, ENOTCONN a write while
    // closed, EMSGSIZE an overlong text, ENOBUFS a text that does not fit the queue.
    std::error_code LastError() const { return m_lastError; }

    // Safe to call from the window thread at any time: the workers publish a hang-up.
    LineState State() const;
    // The device the port's name mapped to when it was last opened or tried ("" none).
    const std::string& DevicePath() const { return m_strDevice; }
    // On a lost line, opens the same device again: 0 the line is live, 1 still lost (the
    // reason in LastError). Never waits on the line, the network or the workers: while they
    // are still winding down it just reports the line lost, and a connection that does not
    // come at once is seen through in the background and taken up by a later Reconnect.
    // A port the program closed stays closed.
    int Reconnect();
    // Why a lost network line went down or is still down; nothing for a device, whose
    // reason shows when it is opened again.
    std::error_code LineReason() const;
    // What a Telnet COM port server has said it set the line to (nothing for other lines).
    ComPortReport ServerLine() const;
    // Before Open: where notices go instead of standard error.
    void SetNotice(PortNotice notice) { m_notice = std::move(notice); }

    // The bytes the line has taken (drained from the driver, not merely queued), for a view
    // of what the unit shows. Once kept, the window thread must take them, as their slots
    // stay taken until it does: a caller that writes takes them first. Bytes sent before a
    // reopening are kept for the next TakeSent.
    void KeepSentBytes(bool keep) { m_tx.KeepSentBytes(keep); }
    // Appends the bytes sent since the last call to out.
    void TakeSent(std::string& out);

    // Every byte written over the port's life has a number, from 0 in order: a Write that
    // queues n bytes takes the next n. WrittenCount is the number after the last one queued.
    std::uint64_t WrittenCount() const { return m_tx.Appended(); }
    // How many of the bytes numbered [from, to) left on the line: drained from the device's
    // driver, or taken by the connection's socket. Nothing while any of them is still held;
    // once none is, fewer than to - from when the line was lost, reopened or closed first.
    std::optional<std::size_t> BytesOut(std::uint64_t from, std::uint64_t to) const;

    // State the tests and the benchmarks look at.
    bool HasCommHandle() const;
    bool HasWorkerThreads() const { return m_hReadThread.joinable() || m_hWriteThread.joinable(); }
    std::size_t QueuedBytes() const { return m_tx.Size(); }

    // Longest text Write accepts; a longer one is refused rather than cut.
    static constexpr std::size_t kMaxText = 1023;

private:
    // The line as the workers and the window see it. Up: the workers run it and the window
    // takes it as live. Down: the workers leave it. Coming: a network line being brought
    // back is still connecting; Back: it has connected and waits for Reconnect to take it
    // up, so that the window hears of the line coming back when it asks.
    enum LinePhase : int { kLineUp, kLineDown, kLineComing, kLineBack };

    void ReadThreadProc();
    void WriteThreadProc();
    void WriteDevice();
    void WriteNetwork();
    void ReadDevice();
    void ReadNetwork();
    // The workers' own loop condition: the port runs and its line is up.
    bool KeepWorking() const;
    // The writer's rest while the ring is empty, until Write or Close wakes it.
    void WaitForBytes();
    // Tells the writer the ring has bytes.
    void WakeWriter();
    // A worker's pause after a failure, cut short when the workers are told to stop.
    void Pause();
    // Ends both workers, then gives the device back.
    void StopWorkersAndRelease();
    void ReleaseHandle();
    int OpenDevice(bool sameDevice);
    int OpenNetwork(const LineSettings& settings, bool comingBack);
    // Starts both workers on the line just opened, in the given phase.
    int StartWorkers(LinePhase phase);
    // From a worker: the line has gone, for reason when there is one.
    void MarkLost(std::error_code reason = {});
    int Refuse(std::error_code reason);
    // With no worker running: drops what is still queued, keeping what was sent for
    // TakeSent and the span dropped for BytesOut.
    void DropQueued();
    // Tells the operator once why a network line is still down, not on every try.
    void NoticeLineReason(std::error_code reason);

    PortDeviceResolver m_resolver;
    std::u16string m_bstrPort = u"COM1";
    const std::u16string m_bstrSettings = u"9600,N,8,1";
    int m_bOpen = 0;
    std::error_code m_lastError;        // window thread only
    std::string m_strDevice;            // window thread only
    std::atomic<int> m_bRunning{0};     // written by the window thread, read by both workers
    std::atomic<int> m_nLine{kLineUp};  // a LinePhase; Down set by a worker that saw it go
    std::atomic<int> m_nStopped{0};     // workers that have left their loop
    Signal m_quit;                      // raised by Close and by a hang-up: the workers leave
    Signal m_wake;                      // raised by Write: the ring has bytes
#ifdef _WIN32
    // A HANDLE, kept untyped so that users of the port do not take in <windows.h>.
    void* m_hComm = nullptr;  // set only while no worker runs
#else
    static constexpr int kInvalidHandle = -1;
    int m_hComm = kInvalidHandle;             // set only while no worker runs
    std::unique_ptr<NetworkLine> m_pNetwork;  // instead of m_hComm; set only while no worker runs
#endif
    mutable std::mutex m_reasonLock;
    std::error_code m_lineReason;     // why the line went down, set by the worker that saw it
    std::error_code m_noticedReason;  // window thread only
    PortNotice m_notice;
    std::thread m_hReadThread;
    std::thread m_hWriteThread;
    TransmitRing m_tx;                  // window thread appends, writer thread sends
    std::string m_strSentBeforeReopen;  // window thread only
    // The last spans of bytes dropped unsent, [first, second); window thread only.
    std::deque<std::pair<std::uint64_t, std::uint64_t>> m_dropped;
};
