#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "Access.h"
#include "RemoteApi.h"

namespace remote {

// The window side of the interface. Every call comes on the thread that owns the server,
// which is the window's.
class RemoteTarget {
public:
    virtual ~RemoteTarget() = default;
    // True while the window cannot take a command: a modal dialog runs its own loop.
    virtual bool Busy() const = 0;
    // Runs a request other than Status through the window's own handlers: nothing when it
    // was done, else why not (a Send the line did not take).
    virtual std::optional<Refusal> Run(const Request& request) = 0;
    virtual Status CurrentStatus() = 0;
    // The push channel: tells sink each change from now on, until called with none.
    using PushSink = std::function<void(const std::string& message)>;
    virtual void Push(PushSink sink) = 0;
    // Runs a cue list's request: the list's state as JSON, or why not.
    virtual std::variant<std::string, Refusal> RunCues(const Request&) {
        return Refusal{409, "no cue list is open", {}};
    }
};

// The HTTP interface on 127.0.0.1 and ::1, and on a studio-network address when one is
// given, over Qt HttpServer. Lives on the thread that starts it; requests are answered there,
// one at a time. Every request passes the access checks first, in their fixed order (size,
// Host, Origin, token, content type), then its route, then whether the window is free.
class RemoteServer {
public:
    // Listens on both loopback addresses at the rules' port, and on address unless it is
    // empty (0.0.0.0 or :: for every address of the machine), or gives nothing and the
    // reason. A machine without IPv6 is served on 127.0.0.1 alone.
    static std::unique_ptr<RemoteServer> Listen(RemoteTarget& target, AccessRules rules,
                                                const std::string& address, std::string& error);
    ~RemoteServer();

    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

private:
    class Http;
    explicit RemoteServer(std::unique_ptr<Http> http);
    std::unique_ptr<Http> m_http;
};

}  // namespace remote
