#include "NetworkAddress.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::string_view kRaw = "socket://";
constexpr std::string_view kTelnet = "rfc2217://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char wanted, char c) {
               return std::tolower(static_cast<unsigned char>(c)) == wanted;
           });
}

bool IsPort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5 || digits.front() == '0' ||
        !std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        return false;
    }
    return std::stoul(std::string(digits)) <= 65535;
}

}  // namespace

bool IsNetworkAddress(std::string_view device) {
    return StartsWithNoCase(device, kRaw) || StartsWithNoCase(device, kTelnet);
}

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view device) {
    NetworkAddress address;
    address.telnet = StartsWithNoCase(device, kTelnet);
    if (!address.telnet && !StartsWithNoCase(device, kRaw)) {
        return std::nullopt;
    }
    std::string_view rest = device.substr(address.telnet ? kTelnet.size() : kRaw.size());
    std::string_view host;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 2);
    } else {
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(0, colon);
        rest.remove_prefix(colon + 1);
    }
    const auto bad = [](char c) {
        return std::isspace(static_cast<unsigned char>(c)) || c == '/' || c == '@' || c == '?' ||
               c == '#' || c == '[' || c == ']';
    };
    if (host.empty() || std::any_of(host.begin(), host.end(), bad) || !IsPort(rest)) {
        return std::nullopt;
    }
    address.host = std::string(host);
    address.port = std::string(rest);
    return address;
}
