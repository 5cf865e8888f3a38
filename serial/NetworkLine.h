#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <system_error>

#include "Dialer.h"
#include "NetworkAddress.h"
#include "Signal.h"

// The port's line when it is a TCP connection to a serial device server. The window thread
// makes it and begins the connection before any worker runs; from then on the writer owns
// the sending side and the reader the receiving side.
class NetworkLine {
public:
    enum class Sent { Taken, Full, Failed };

    // A connection not made within this time has failed, timed out.
    static constexpr std::chrono::seconds kConnectLimit{3};

    explicit NetworkLine(const NetworkAddress& address);
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

    // Writer: puts the byte on the socket. Taken: the byte is the socket's. Full: the socket
    // takes nothing more now and the byte is still the caller's.
    Sent Send(unsigned char byte, std::error_code& reason);

    // Reader: takes what has arrived; false when the line has gone.
    bool Receive(std::error_code& reason);

private:
    void Established(int fd);

    const NetworkAddress m_address;
    std::unique_ptr<Dialer> m_dialer;  // until connected
    std::atomic<int> m_fd{-1};         // published once connected
    Signal m_connected;
};
