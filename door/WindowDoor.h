#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "CaptionDisplay.h"
#include "OnAirRecord.h"
#include "SendPreview.h"

// The main window as the rest of the program reaches it: the keys, the monitor, the remote
// control and whatever comes after them. Commands run through the same handlers as the
// page's buttons, on the window's thread; the state is the screens as the page shows them;
// listeners hear of every change. Texts are Windows-1252 unless said otherwise.

struct ScreenContent {
    std::string text;
    std::int32_t dateCorner = 0;
    std::int32_t timeCorner = 0;
};

// What a command may change of a screen; the text as typed into the text box.
struct ScreenChange {
    std::optional<std::string> text;
    std::optional<std::int32_t> dateCorner;
    std::optional<std::int32_t> timeCorner;
};

struct WindowState {
    std::array<ScreenContent, 4> screens;
    // 1 to 4.
    int screen = 1;
    bool modified = false;
    // UTF-8, as the title bar shows it.
    std::string title;
    std::string message;
    // The port chosen (COM1...), its device, and whether the line is live.
    std::string port;
    std::string device;
    bool live = false;
    // The line went down and is tried again; what the monitor says of the line ("" while
    // live); why it is down, in UTF-8 ("" when no reason is known).
    bool lost = false;
    std::string lineText;
    std::string lineReason;
    // Whether the machine's clock, and so every stamp, can be trusted; a clock whose state
    // cannot be read counts as synchronised and is not known.
    bool clockSynchronised = true;
    bool clockKnown = true;
};

class CWindowDoor {
public:
    virtual ~CWindowDoor() = default;

    // True while no command may run: a modal dialog runs its own loop, or the window closes.
    virtual bool Busy() const = 0;

    // Screens are 1 to 4. Each command is recorded with its origin.
    virtual void SelectScreen(int screen, WriteOrigin origin) = 0;
    virtual void PutScreen(int screen, const ScreenChange& change, WriteOrigin origin) = 0;
    virtual void Send(WriteOrigin origin) = 0;
    // Why the last Send (of any origin) did not go out whole, as the message line says it;
    // "" when it went out. Read just after the Send.
    virtual std::string LastSendRefused() const { return {}; }
    virtual void Clear(WriteOrigin origin) = 0;
    // Puts a one-off text on the message line, unless the too-long warning holds it.
    virtual void ShowNotice(const std::string& text) = 0;
    // Takes a notice off the message line again, if it is still what the line shows.
    virtual void DropNotice(const std::string& text) { (void)text; }
    // A Send for the cue list, its record carrying the cue's number.
    virtual void SendCue(int cue) {
        (void)cue;
        Send(WriteOrigin::Cue);
    }

    virtual WindowState State() = 0;
    // What Send would put on the unit now.
    virtual SendPreview NextSend() = 0;
    // What the unit shows: decoded from every byte the line has taken so far.
    virtual const CCaptionDisplay& UnitDisplay() = 0;
    // Every write to the unit, and what is on air.
    virtual OnAirRecord& OnAir() = 0;

    // Called after each command and each change on the page or the line; returns a key.
    virtual int ListenForChanges(std::function<void()> listener) = 0;
    virtual void StopListening(int key) = 0;
};
