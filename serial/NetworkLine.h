#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "Dialer.h"
#include "LineSettings.h"
#include "NetworkAddress.h"
#include "Signal.h"
#include "TelnetComPort.h"

// The port's line when it is a TCP connection to a serial device server: the connection and,
// for a Telnet server, the COM port session. The window thread makes it and begins the
// connection before any worker runs; from then on the writer owns the sending side and the
// reader the receiving side.
class NetworkLine {
public:
    using Notice = std::function<void(const std::string&)>;
    enum class Sent { Taken, Full, Failed };

    // A connection not made within this time has failed, timed out.
    static constexpr std::chrono::seconds kConnectLimit{3};
    // A Telnet server that has not answered for the settings by then is gone on without.
    static constexpr std::chrono::seconds kSettingsWait{3};
    // Answers owed to a Telnet server beyond this are a flood: real negotiation owes a few
    // dozen bytes, and a server that neither reads nor stops asking would grow them forever.
    static constexpr std::size_t kMaxOwed = 4096;

    // url names the line in notices; wakeWriter is raised when the server must be answered.
    NetworkLine(std::string url, const NetworkAddress& address, const LineSettings& settings,
                Notice notice, Signal& wakeWriter);
    ~NetworkLine();
    NetworkLine(const NetworkLine&) = delete;
    NetworkLine& operator=(const NetworkLine&) = delete;

    // Window thread, before the workers run: never blocks. Pending leaves the rest to Connect.
    Dialer::Progress Begin(std::error_code& reason);
    // Writer: sees a pending connection through. False when it failed (with the reason) or
    // stop came first (without one).
    bool Connect(const Signal& stop, std::error_code& reason);
    // Reader: the connected socket, or -1 when stop comes first.
    int WaitConnected(const Signal& stop) const;

    // Writer: puts what is owed on the socket (answers to the server, the rest of an escaped
    // byte), then the byte if there is one, as the line wants it. Taken: the byte is the
    // socket's. Full: the socket takes nothing more now and the byte is still the caller's.
    Sent Send(const unsigned char* byte, std::error_code& reason);
    // Writer: answers or the rest of a byte wait to go out.
    bool HasOwed();

    // Reader: how long it may sleep before the settings are given up on; -1 for no limit.
    int ReceiveWaitMs() const;
    // Reader: takes what has arrived, answering the server; false when the line has gone,
    // or when the server floods it with negotiation or owes itself more than kMaxOwed.
    bool Receive(std::error_code& reason);

    // What the server has said of the line so far. Any thread.
    ComPortReport Report() const;

private:
    void Established(int fd);
    // Tells once whether the server took the settings, and if not, what it kept.
    void TellSettings();

    const std::string m_url;
    const NetworkAddress m_address;
    const Notice m_notice;
    Signal& m_wakeWriter;
    std::unique_ptr<Dialer> m_dialer;       // until connected
    std::optional<TelnetComPort> m_telnet;  // reader's, once connected
    std::atomic<int> m_fd{-1};              // published once the opening is owed
    Signal m_connected;
    std::string m_owed;  // writer's; takes the answers only once empty, so it stays bounded
    std::mutex m_answersLock;
    std::string m_answers;  // from the reader to the writer; never beyond kMaxOwed
    Dialer::Clock::time_point m_settingsDeadline{};
    bool m_settingsTold = false;  // reader's
    mutable std::mutex m_reportLock;
    ComPortReport m_report;
};
