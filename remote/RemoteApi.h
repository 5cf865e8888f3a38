#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// The local HTTP interface's requests and answers, apart from the socket and the window: what
// a method, a path and a body ask for, whether a token is right, and the status's JSON. Needs
// Qt Core (its JSON reader) and nothing that draws or talks to the network.
namespace remote {

// The most a request body may hold; more is answered 413.
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

// Events is the push channel: a WebSocket the server upgrades to, never run as a command.
enum class Action {
    Status,
    PutScreen,
    SelectScreen,
    Send,
    Clear,
    Cues,
    CueTake,
    CueNext,
    CuePrevious,
    Automation,
    Events
};

// The cue list's requests, answered with the list's state rather than the window's status.
constexpr bool IsCueAction(Action action) {
    return action == Action::Cues || action == Action::CueTake || action == Action::CueNext ||
           action == Action::CuePrevious;
}

// The fields a PUT of a screen may change; text is UTF-8.
struct ScreenEdit {
    std::optional<std::string> text;
    std::optional<std::int32_t> date;
    std::optional<std::int32_t> time;
};

struct Request {
    Action action = Action::Status;
    // 1 to 4; 0 when the request names none (a Send without "screen").
    int screen = 0;
    ScreenEdit edit;
    // A take's cue, from 1; 0 for the next one.
    int cue = 0;
    // The automation switch: true holds every timed cue.
    bool hold = false;
};

// A request that is not run, or run and not done: the HTTP status, a reason for the
// operator, and for 405 the methods the path does take.
struct Refusal {
    int status = 400;
    std::string reason;
    std::string allow;
};

// What a method, a path (no query) and a body ask for, or why they are refused: 404 for a path
// the interface does not have, 405 for a method the path does not take, 400 for a screen out
// of range, a body that is no JSON object, an unknown field, a wrong type or a value out of
// range. The body's size is checked before this, by the caller.
std::variant<Request, Refusal> ParseRequest(std::string_view method, std::string_view path,
                                            std::string_view body);

// Whether an Authorization header carries "Bearer <token>". The time taken does not depend on
// where the two tokens first differ. An empty expected token lets nothing in.
bool Authorized(std::string_view expectedToken, std::string_view authorization);

struct ScreenState {
    std::string text;  // UTF-8
    std::int32_t date = 0;
    std::int32_t time = 0;
};

// The timed cues: whether they are held, and what fires next.
struct AutomationState {
    bool held = false;
    bool hasNext = false;
    std::string action;  // "clear", "next" or "take"
    int cue = 0;
    // A time of day as HH:MM:SS; empty for a hold's end.
    std::string at;
    std::int64_t inMs = 0;
    // Tells one hold from the next; not told.
    std::int64_t key = 0;
    // A change worth a push message: the countdown alone is none.
    bool SameAs(const AutomationState& other) const {
        return held == other.held && hasNext == other.hasNext && action == other.action &&
               cue == other.cue && at == other.at && key == other.key;
    }
};

// The push channel's message on each change of the automation: {"type": "automation",
// "automation": {...}}, the object as the status has it.
std::string AutomationMessageJson(const AutomationState& automation);

// What GET /api/v1/status answers; every text is UTF-8.
struct Status {
    std::string port;
    std::string device;
    bool connected = false;
    int screen = 1;
    std::string title;
    bool modified = false;
    std::string message;
    // "clock": whether the stamps' clock is synchronised, or "unknown" when it cannot be read.
    bool clockSynchronised = true;
    bool clockKnown = true;
    std::array<ScreenState, 4> screens;
    std::vector<std::string> next;  // the display the next Send would give, row by row
    std::vector<std::string> unit;  // the display the unit shows, row by row
    // What the last Send put on the unit, and who sent it; cleared after a Clear.
    struct OnAir {
        bool cleared = true;
        int screen = 0;
        ScreenState content;
        std::string origin;
        int cue = 0;  // the cue list's number, 0 when it came from no cue
    } onAir;
    AutomationState automation;
    // The backup unit's line, when one is named ("backup": null otherwise): its port, device,
    // whether it is live, and why not (or why the one named is not used).
    struct Backup {
        std::string port;
        std::string device;
        bool live = false;
        std::string reason;
    };
    std::optional<Backup> backup;
};

// How the status and the push channel name the clock's state.
const char* ClockStateName(bool known, bool synchronised);

std::string StatusJson(const Status& status);
// The push channel's first message to a client: the status, as {"type": "state", ...}.
std::string StateMessageJson(const Status& status);
// The status of a command the program ran and could not carry out now (a Send the line had
// no room for): nothing of it was done, and the same request may be made again.
inline constexpr int kNotDone = 503;

// {"error": reason}
std::string ErrorJson(std::string_view reason);

}  // namespace remote
