#pragma once

#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

// One try at a TCP connection to host:port, bounded as a whole (name lookup included) by a
// time limit. Begin never blocks its caller: a numeric address is connected as far as a
// non-blocking connect goes at once, which on a near host is all the way; a name is looked
// up on a thread of its own, which the dialer leaves behind if it gives up first. Wait, for
// a worker, sees the rest through.
class Dialer {
public:
    enum class Progress { Connected, Failed, Pending };
    using Clock = std::chrono::steady_clock;

    Dialer(std::string host, std::string port, Clock::duration limit);
    ~Dialer();  // closes a socket that was not taken
    Dialer(const Dialer&) = delete;
    Dialer& operator=(const Dialer&) = delete;

    Progress Begin();
    // Waits until the try ends, or while it is still pending, until stopFd is readable.
    Progress Wait(int stopFd);
    // The connected socket, non-blocking, for the caller to close.
    int TakeSocket();
    // Why the try failed: the last address's reason, or timed out.
    std::error_code Reason() const { return m_reason; }

private:
    struct Address {
        sockaddr_storage storage;
        socklen_t length;
    };
    struct Lookup;

    // getaddrinfo's answer for a stream socket, as a list of addresses.
    static int Resolve(const std::string& host, const std::string& port, int flags,
                       std::vector<Address>& found);

    Progress Fail(std::error_code reason);
    Progress TakeAddresses(int lookupResult, std::vector<Address> addresses);
    // Starts on the next address, dropping any before it; Pending while one is connecting.
    Progress TryNextAddress();
    // Whether a connecting socket that reported ready is connected; if not, keeps why.
    bool SocketConnected();

    std::string m_host;
    std::string m_port;
    Clock::duration m_limit;
    Clock::time_point m_deadline;
    std::shared_ptr<Lookup> m_lookup;  // while the name is looked up
    std::vector<Address> m_addresses;
    std::size_t m_nextAddress = 0;
    int m_fd = -1;  // the socket connecting or connected
    std::error_code m_reason;
};
