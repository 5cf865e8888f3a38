#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

// What went to the caption unit, write by write, and what it shows now. Every write to the
// unit passes through here, so one place knows what is on air and where it came from.
// Plain C++: the window records, anyone may listen.

enum class WriteKind { Greeting, Clear, Send, CornerResend, Tick };
// Who asked for a write. The program itself greets the unit and runs the clock. The page is
// first: a command posted with no origin came from the page. A script is tessora-send, which
// writes to the unit by itself. Osc is a message from a lighting desk or show controller. Auto
// is a timed cue: a hold ending, a time of day.
enum class WriteOrigin { Page, Key, Strip, Remote, Cue, Program, Script, Osc, Auto };

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
    // The bytes written for the line, and whether every one of them left it: drained from
    // the device, or taken by a network line's socket. Not taken: refused, or cut short by a
    // line lost or closed first; sent tells how many left. A tick is told as soon as it is
    // queued, taken meaning queued, so the clock's readings come on time.
    std::string bytes;
    bool taken = true;
    std::size_t sent = 0;
    // When the write was asked for.
    std::chrono::system_clock::time_point time;
    // The port it went to (COM1..., UTF-8) and that port's device, "" without a port.
    std::string port;
    std::string device;
    // A backup line was written beside the main one, and every byte of the write left it
    // too (the line above is the main one's).
    bool backup = false;
    bool backupTaken = false;
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

// What a unit shows once the write has reached it whole, having shown now before.
void ShowWrite(OnAir& now, const UnitWrite& write);

class OnAirRecord {
public:
    using Listener = std::function<void(const UnitWrite& write, const OnAir& now)>;

    // How many of a write's bytes left the line; nothing while any is still held.
    using BytesOut = std::function<std::optional<std::size_t>()>;

    // Takes a write and tells every listener at once. A write not taken leaves what is on
    // air as it was; a tick only rewrites the stamps.
    void Record(const UnitWrite& write);
    // Takes a write whose bytes may still be on their way: it is recorded once bytesOut
    // gives a count, after every write held before it, taken when that is all of its bytes.
    // backupOut, when given, tells the same of the backup line, and is waited for too.
    void Hold(UnitWrite write, BytesOut bytesOut, BytesOut backupOut = {});
    // Records the held writes whose bytes have settled, oldest first; true when any.
    bool Settle();
    // Some write is still held.
    bool Holding() const { return !m_held.empty(); }
    const OnAir& Now() const { return m_now; }

    // Returns a key for Unlisten.
    int Listen(Listener listener);
    void Unlisten(int key);

private:
    OnAir m_now;
    struct Held {
        UnitWrite write;
        BytesOut out;
        BytesOut backupOut;
    };
    std::deque<Held> m_held;
    std::map<int, Listener> m_listeners;
    int m_nextKey = 1;
};
