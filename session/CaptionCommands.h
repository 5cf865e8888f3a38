#pragma once

#include <functional>
#include <string>

#include "CaptionDisplay.h"
#include "OnAirRecord.h"
#include "SendPreview.h"
#include "SessionState.h"

// Every write to the unit and what is on air, for listening only: no client can record a
// write that was not made.
class OnAirListening {
public:
    explicit OnAirListening(OnAirRecord& record) : m_record(record) {}
    const OnAir& Now() const { return m_record.Now(); }
    // Some write is still on its way to the unit.
    bool Holding() const { return m_record.Holding(); }
    // Returns a key for Unlisten.
    int Listen(OnAirRecord::Listener listener) { return m_record.Listen(std::move(listener)); }
    void Unlisten(int key) { m_record.Unlisten(key); }

private:
    OnAirRecord& m_record;
};

// The caption session as every way of driving the show reaches it (the window, the keys, the
// remote, the cue list, the as-run log, the monitor): its commands, its state and one change
// notification. All on the session's one thread. Texts are Windows-1252 unless said
// otherwise.
class CaptionCommands {
public:
    virtual ~CaptionCommands() = default;

    // True while no command may run: there is no port, or the window runs a modal loop.
    virtual bool Busy() const = 0;

    // Screens are 1 to 4. Each command that writes is recorded with its origin.
    virtual void Select(int screen) = 0;
    virtual void Put(int screen, const ScreenChange& change, WriteOrigin origin) = 0;
    // Sends the current screen; false when it did not go out (why: Refusal()).
    virtual bool Send(WriteOrigin origin) = 0;
    // Why the last Send (of any origin) did not go out, as the message line says it; "" when
    // it went out.
    virtual const std::string& Refusal() const = 0;
    virtual void Clear(WriteOrigin origin) = 0;
    enum class PlayResult { Played, HandTyped };
    // Puts content on the screen, makes it the current one and sends it: one command, one
    // record carrying the cue's number, one change told. Text typed by hand into that screen
    // and not saved is not replaced unless replaceTyped.
    virtual PlayResult Play(int screen, const ScreenContent& content, WriteOrigin origin, int cue,
                            bool replaceTyped) = 0;

    // A one-off text on the message line, unless something ranked above holds it. Drop takes
    // it away if it is still what the line shows.
    virtual void ShowNotice(const std::string& text) = 0;
    virtual void DropNotice(const std::string& text) = 0;

    virtual SessionState State() const = 0;
    // What Send would put on the unit now.
    virtual SendPreview NextSend() const = 0;
    // What the unit shows: decoded from every byte the line has taken so far.
    virtual const CCaptionDisplay& UnitDisplay() = 0;
    virtual OnAirListening& OnAir() = 0;

    // Called after each change to the state: a command, typing, the line, the clock, the
    // message line. Returns a key.
    virtual int ListenStateChanged(std::function<void()> listener) = 0;
    virtual void StopListening(int key) = 0;
};
