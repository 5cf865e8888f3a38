#include "Access.h"

#include <algorithm>

namespace remote {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    return lowered;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

constexpr std::string_view kLoopbackNames[] = {"127.0.0.1", "[::1]", "localhost"};

}  // namespace

bool HostAllowed(const AccessRules& rules, std::string_view host) {
    // A bracketed IPv6 address holds colons of its own; the port follows the bracket.
    std::size_t nameEnd = host.find(host.empty() || host.front() != '[' ? ':' : ']');
    if (nameEnd != std::string_view::npos && host.front() == '[') ++nameEnd;
    const std::string_view name = host.substr(0, nameEnd);
    if (name.empty()) return false;
    if (nameEnd < host.size() &&
        (host[nameEnd] != ':' || host.substr(nameEnd + 1) != std::to_string(rules.port)))
        return false;
    const std::string lowered = Lowered(name);
    return std::find(std::begin(kLoopbackNames), std::end(kLoopbackNames), lowered) !=
               std::end(kLoopbackNames) ||
           std::find(rules.hosts.begin(), rules.hosts.end(), lowered) != rules.hosts.end();
}

bool TargetAllowed(const AccessRules& rules, std::string_view target) {
    if (!target.empty() && target.front() == '/') return true;
    if (target == "*") return true;
    const std::size_t schemeEnd = target.find("://");
    if (schemeEnd == std::string_view::npos) return false;
    const std::string scheme = Lowered(target.substr(0, schemeEnd));
    if (scheme != "http") return false;
    const std::string_view rest = target.substr(schemeEnd + 3);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    return authority.find('@') == std::string_view::npos && HostAllowed(rules, authority);
}

std::vector<std::string> UsableOrigins(const std::vector<std::string>& listed,
                                       std::vector<std::string>& dropped) {
    std::vector<std::string> usable;
    for (const std::string& origin : listed) {
        if (Lowered(Trimmed(origin)) == "null")
            dropped.push_back(origin);
        else
            usable.push_back(origin);
    }
    return usable;
}

bool OriginListed(const AccessRules& rules, std::string_view origin) {
    // Whatever the rules hold, "null" is no page anyone can be told apart by.
    if (origin == "null") return false;
    return std::find(rules.origins.begin(), rules.origins.end(), origin) != rules.origins.end();
}

bool IsJsonContentType(std::string_view contentType) {
    return Lowered(Trimmed(contentType.substr(0, contentType.find(';')))) == "application/json";
}

std::optional<Refusal> CheckAccess(const AccessRules& rules, const Incoming& request) {
    if (request.bodyBytes > kMaxBodyBytes) return Refusal{413, "the body is too large", {}};
    if (!request.host || !HostAllowed(rules, *request.host))
        return Refusal{421, "the Host header names no address this interface answers to", {}};
    if (request.origin && !OriginListed(rules, *request.origin))
        return Refusal{403, "calls from web pages of this origin are not taken", {}};
    if (!Authorized(rules.token, request.authorization))
        return Refusal{401, "a valid token is needed", {}};
    if ((request.method == "PUT" || request.method == "POST") &&
        (!request.contentType || !IsJsonContentType(*request.contentType)))
        return Refusal{415, "the body must be sent as application/json", {}};
    return std::nullopt;
}

bool IsListedPreflight(const AccessRules& rules, const Incoming& request) {
    return request.method == "OPTIONS" && request.origin && OriginListed(rules, *request.origin);
}

}  // namespace remote
