#include "OscRules.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <charconv>

namespace osc {
namespace {

constexpr int kHighestPort = 65535;

// The address in one form for comparing: 16 bytes, an IPv4 one mapped into IPv6.
std::optional<std::array<unsigned char, 16>> Canonical(const std::string& text) {
    std::array<unsigned char, 16> bytes{};
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        bytes[10] = bytes[11] = 0xff;
        std::copy_n(reinterpret_cast<const unsigned char*>(&v4), 4, bytes.begin() + 12);
        return bytes;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        std::copy_n(reinterpret_cast<const unsigned char*>(&v6), 16, bytes.begin());
        return bytes;
    }
    return std::nullopt;
}

std::optional<int> Port(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

bool IsLoopback(const std::string& address) {
    const auto bytes = Canonical(address);
    if (!bytes) return false;
    constexpr std::array<unsigned char, 12> kMapped{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::equal(kMapped.begin(), kMapped.end(), bytes->begin())) return (*bytes)[12] == 127;
    return std::all_of(bytes->begin(), bytes->end() - 1, [](unsigned char b) { return b == 0; }) &&
           (*bytes)[15] == 1;
}

std::optional<Endpoint> ParseEndpoint(const std::string& text) {
    std::string host;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close == std::string::npos) return std::nullopt;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) return std::nullopt;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    const std::optional<int> number = Port(port);
    if (host.empty() || !number || *number < 1 || *number > kHighestPort) return std::nullopt;
    return Endpoint{host, static_cast<std::uint16_t>(*number)};
}

std::optional<Rules> ReadRules(const Settings& settings, std::vector<std::string>& problems) {
    if (settings.port.empty()) return std::nullopt;
    const std::optional<int> port = Port(settings.port);
    if (!port) {
        problems.push_back("OSC/Port is no number: " + settings.port);
        return std::nullopt;
    }
    if (*port == 0) return std::nullopt;
    if (*port < 0 || *port > kHighestPort) {
        problems.push_back("OSC/Port " + settings.port + " is not from 1 to 65535");
        return std::nullopt;
    }
    Rules rules;
    rules.port = static_cast<std::uint16_t>(*port);
    if (!settings.address.empty() && !Canonical(settings.address)) {
        problems.push_back("OSC/Address \"" + settings.address +
                           "\" is no numeric address: listening on loopback only");
    } else {
        rules.address = settings.address;
    }
    for (const std::string& sender : settings.allow) {
        if (Canonical(sender))
            rules.allow.push_back(sender);
        else
            problems.push_back("OSC/Allow: \"" + sender + "\" left out: no numeric address");
    }
    for (const std::string& target : settings.feedback) {
        if (const std::optional<Endpoint> endpoint = ParseEndpoint(target))
            rules.feedback.push_back(*endpoint);
        else
            problems.push_back("OSC/Feedback: \"" + target + "\" left out: not host:port");
    }
    return rules;
}

bool SenderAllowed(const Rules& rules, const std::string& sender) {
    const auto bytes = Canonical(sender);
    if (!bytes) return false;
    if ((rules.address.empty() || IsLoopback(rules.address)) && IsLoopback(sender)) return true;
    return std::any_of(
        rules.allow.begin(), rules.allow.end(),
        [&bytes](const std::string& allowed) { return Canonical(allowed) == bytes; });
}

}  // namespace osc
