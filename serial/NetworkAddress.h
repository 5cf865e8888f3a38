#pragma once

#include <optional>
#include <string>
#include <string_view>

// A serial line reached over TCP, as it is written in [Ports] instead of a device:
// "socket://host:port" for a raw TCP port, "rfc2217://host:port" for a Telnet server with the
// COM port option. A numeric IPv6 host goes in brackets: "socket://[::1]:4001".
struct NetworkAddress {
    bool telnet = false;  // rfc2217://
    std::string host;
    std::string port;  // its decimal digits, 1 to 65535
};

// Whether device names a network line at all (its scheme), well formed or not.
bool IsNetworkAddress(std::string_view device);

// Gives nothing for anything but scheme, host and port: no path, user or query after it.
std::optional<NetworkAddress> ParseNetworkAddress(std::string_view device);
