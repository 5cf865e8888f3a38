#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>

// What went to the caption unit, write by write, and what it shows now. Every write to the
// unit passes through here, so one place knows what is on air and where it came from.
// Plain C++: the window records, anyone may listen.

enum class WriteKind { Greeting, Clear, Send, CornerResend, Tick };
// Who asked for a write. The program itself greets the unit and runs the clock. The page is
// first: a command posted with no origin came from the page.
enum class WriteOrigin { Page, Key, Strip, Remote, Cue, Program };

const char* WriteKindName(WriteKind kind);
const char* WriteOriginName(WriteOrigin origin);

struct UnitWrite {
    WriteKind kind = WriteKind::Send;
    WriteOrigin origin = WriteOrigin::Page;
    int cue = 0;  // the cue list's number, 0 when no cue
    // 1 to 4; 0 where no screen is meant (the greeting).
    int screen = 0;
    // The screen's text (Windows-1252) and corners, for a Send or a corner resend.
    std::string text;
    int dateCorner = 0;
    int timeCorner = 0;
    // The bytes queued for the line, and whether the port took every one of them.
    std::string bytes;
    bool taken = true;
    std::chrono::system_clock::time_point time;
};

// What the unit shows now: nothing but stamps since the last clear, or a screen's text.
struct OnAir {
    bool cleared = true;
    int screen = 0;
    std::string text;
    int dateCorner = 0;
    int timeCorner = 0;
    WriteOrigin origin = WriteOrigin::Program;
    std::chrono::system_clock::time_point time;
    // The cue list's number of what is on air, 0 when it came from no cue.
    int cue = 0;
};

class OnAirRecord {
public:
    using Listener = std::function<void(const UnitWrite& write, const OnAir& now)>;

    // Takes a write and tells every listener. A write the port refused leaves what is on air
    // as it was; a tick only rewrites the stamps.
    void Record(const UnitWrite& write);
    const OnAir& Now() const { return m_now; }

    // Returns a key for Unlisten.
    int Listen(Listener listener);
    void Unlisten(int key);

private:
    OnAir m_now;
    std::map<int, Listener> m_listeners;
    int m_nextKey = 1;
};
