#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RemoteApi.h"

// Who may reach the local HTTP interface. A web page in the operator's browser can send
// requests to a loopback port without being asked; these checks keep it from running
// anything: the Host a page must name, the Origin it carries, the token, and a body type
// that no page can send across origins without the browser asking first.
namespace remote {

struct AccessRules {
    std::uint16_t port = 0;
    std::string token;
    // A second token that may look and never act: the status, the cue list and the push
    // channel. Empty for none.
    std::string viewToken;
    // Besides the loopback names: the studio-network address listened on and the names given
    // for it, lowercase, with no port.
    std::vector<std::string> hosts;
    // Pages allowed to call from a browser, as their Origin header spells them.
    std::vector<std::string> origins;
};

// What a request carries that the checks look at; a header that is absent is nothing.
struct Incoming {
    std::string_view method;
    std::optional<std::string_view> host;
    std::optional<std::string_view> origin;
    std::string_view authorization;
    std::optional<std::string_view> contentType;
    std::size_t bodyBytes = 0;
};

// Whether a Host header names this interface: 127.0.0.1, [::1] or localhost, or one of the
// rules' hosts, each alone or with the listening port. Exact spellings only: no other form
// of a loopback address, no trailing dot, no other port.
bool HostAllowed(const AccessRules& rules, std::string_view host);

// Whether a request target names this interface: a path, or "*", or in absolute form
// (http://host/path) an authority that HostAllowed takes, with no user in it. The authority
// in such a target is the request's host, whatever its Host header says.
bool TargetAllowed(const AccessRules& rules, std::string_view target);

// Whether an Origin is this interface's own, as a browser spells it for a page the
// interface served: http://, a name HostAllowed takes, and the listening port (left out
// only for port 80, as browsers do).
bool OwnOrigin(const AccessRules& rules, std::string_view origin);

// Whether a page of this origin may call: its own pages, and the ones the rules list.
bool OriginListed(const AccessRules& rules, std::string_view origin);

// What an Authorization header lets a caller do.
enum class Grant { None, View, Control };
Grant GrantOf(const AccessRules& rules, std::string_view authorization);

// Whether a request only reads: the status, the cue list and the push channel.
constexpr bool OnlyReads(Action action) {
    return action == Action::Status || action == Action::Cues || action == Action::Events;
}

// A request the grant does not cover: 403 for any command with the view token.
std::optional<Refusal> CheckGrant(Grant grant, Action action);

// The Origins setting as the rules take it: "null" is the Origin of sandboxed frames and of
// data: and file: pages, any of which a stranger can make; listing it would let them all in.
// Each entry dropped is added to dropped.
std::vector<std::string> UsableOrigins(const std::vector<std::string>& listed,
                                       std::vector<std::string>& dropped);

// Whether a Content-Type is application/json, parameters such as a charset allowed.
bool IsJsonContentType(std::string_view contentType);

// The checks before any route is looked at, in their fixed order: the body's size (413),
// the Host (421), the Origin (403), the token (401), and for PUT and POST the content type
// (415). Nothing when the request may go on to its route.
std::optional<Refusal> CheckAccess(const AccessRules& rules, const Incoming& request);

// Whether a request is a browser's preflight from a listed page, to be answered with the
// methods and headers the interface takes, before any token (a preflight never has one).
bool IsListedPreflight(const AccessRules& rules, const Incoming& request);

}  // namespace remote
