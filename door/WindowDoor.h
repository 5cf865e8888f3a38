#pragma once

#include <functional>
#include <optional>
#include <string>

#include "CaptionDisplay.h"
#include "CaptionSession.h"
#include "OnAirRecord.h"
#include "SendPreview.h"
#include "SessionState.h"

// The main window as the rest of the program reaches it: the keys, the monitor, the remote
// control and whatever comes after them. Commands run through the same handlers as the
// page's buttons, on the window's thread; the state is the screens as the page shows them;
// listeners hear of every change. Texts are Windows-1252 unless said otherwise.

// The state as the session gives it.
using WindowState = SessionState;

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
    // Puts content on a screen, makes it the current one and sends it, as one command with
    // one record carrying the cue's number. Text typed by hand into that screen and not
    // saved is not replaced unless replaceTyped.
    virtual CCaptionSession::PlayResult Play(int screen, const ScreenContent& content,
                                             WriteOrigin origin, int cue, bool replaceTyped) = 0;

    virtual WindowState State() = 0;
    // What Send would put on the unit now.
    virtual SendPreview NextSend() = 0;
    // What the unit shows: decoded from every byte the line has taken so far.
    virtual const CCaptionDisplay& UnitDisplay() = 0;
    // Every write to the unit, and what is on air: to listen to only.
    virtual OnAirListening& OnAir() = 0;

    // Called after each command and each change on the page or the line; returns a key.
    virtual int ListenForChanges(std::function<void()> listener) = 0;
    virtual void StopListening(int key) = 0;
};
