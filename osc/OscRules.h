#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Who the listener hears and whom it tells: the settings group OSC read into rules, and the
// sender check. UDP carries no token and its source can be forged, so the sender check keeps
// strangers out of a network that is kept closed; it is no proof of who sent.
namespace osc {

struct Endpoint {
    std::string host;  // a numeric IPv4 or IPv6 address, or a name
    std::uint16_t port = 0;
};

struct Rules {
    std::uint16_t port = 0;
    // The one local address listened on; "" for loopback only.
    std::string address;
    // Sender addresses taken, numeric; loopback senders are taken besides while the listener
    // is on loopback.
    std::vector<std::string> allow;
    std::vector<Endpoint> feedback;
};

// The settings as they are written; a value missing is empty.
struct Settings {
    std::string port;
    std::string address;
    std::vector<std::string> allow;
    std::vector<std::string> feedback;
};

// Nothing when the port is empty or 0 (off); a value that cannot be used is left out with a
// line for the operator in problems (UTF-8), and a port that cannot be used turns it off.
std::optional<Rules> ReadRules(const Settings& settings, std::vector<std::string>& problems);

// "host:port" or "[v6]:port"; nothing when it is neither.
std::optional<Endpoint> ParseEndpoint(const std::string& text);

// Whether a datagram from this address (numeric, as the socket gives it; an IPv4 address
// mapped into IPv6 counts as itself) is taken.
bool SenderAllowed(const Rules& rules, const std::string& sender);

// Whether a numeric address is a loopback one: 127.0.0.0/8 or ::1.
bool IsLoopback(const std::string& address);

}  // namespace osc
