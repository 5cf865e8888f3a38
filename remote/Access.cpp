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

bool OwnOrigin(const AccessRules& rules, std::string_view origin) {
    constexpr std::string_view kScheme = "http://";
    if (origin.substr(0, kScheme.size()) != kScheme) return false;
    const std::string_view authority = origin.substr(kScheme.size());
    // Browsers send the name lowercase; the port is always there but for port 80.
    if (Lowered(authority) != authority || authority.find_first_of("/@") != std::string::npos)
        return false;
    const std::string port = ":" + std::to_string(rules.port);
    const bool withPort =
        authority.size() > port.size() && authority.substr(authority.size() - port.size()) == port;
    if (!withPort && rules.port != 80) return false;
    const std::string_view name =
        withPort ? authority.substr(0, authority.size() - port.size()) : authority;
    // The name alone: a second port would otherwise pass as part of it.
    const bool bare = name.empty()          ? false
                      : name.front() == '[' ? name.find(']') == name.size() - 1
                                            : name.find(':') == std::string_view::npos;
    return bare && HostAllowed(rules, name);
}

bool OriginListed(const AccessRules& rules, std::string_view origin) {
    // Whatever the rules hold, "null" is no page anyone can be told apart by.
    if (origin == "null") return false;
    return OwnOrigin(rules, origin) ||
           std::find(rules.origins.begin(), rules.origins.end(), origin) != rules.origins.end();
}

Grant GrantOf(const AccessRules& rules, std::string_view authorization) {
    // Both are compared whatever the first gives, so the time says nothing of which it was.
    const bool control = Authorized(rules.token, authorization);
    const bool view = Authorized(rules.viewToken, authorization);
    return control ? Grant::Control : view ? Grant::View : Grant::None;
}

std::optional<Refusal> CheckGrant(Grant grant, Action action) {
    if (grant == Grant::View && !OnlyReads(action))
        return Refusal{
            403, "this token may only look: the status, the cues and the push channel", {}};
    return std::nullopt;
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
    if (GrantOf(rules, request.authorization) == Grant::None)
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
