#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Port.h"

// The line as the operator follows it: a lost line noticed, tried again once a tick and,
// if asked, greeted when back; what it says in the monitor. It also composes the message
// line, whose texts rank so that what is most urgent and still true shows: the line down
// (lost, or the port not open), then the last Send's own word (the too-long warning, or why
// it was not made), then the latest one-off text (the line back, while it is live; a
// notice), then the standing text (the clock's warning).
class CLineWatch {
public:
    // message is the window's message line; show puts it on the page. standing is what the
    // message line says while nothing else has anything to say, "" for none.
    CLineWatch(std::unique_ptr<CPort>& port, std::string& message, std::function<void()> show,
               std::function<void()> greet, std::function<std::string()> standing)
        : m_port(port),
          m_message(message),
          m_show(std::move(show)),
          m_greet(std::move(greet)),
          m_standing(std::move(standing)) {}

    // Says once that the line was lost; true while it is.
    bool NoticeLost();
    // Once a tick: tries a lost line's device again and says so on the message line.
    void Watch();
    // Tries the lost line on from now, greeting the unit when it is back if greetWhenBack.
    void Resume(bool greetWhenBack);
    // The operator chose another port: the line lost before is no longer the one followed.
    void Forget() { m_bLost = false; }
    // A one-off text (Windows-1252; "" takes it away): it stays until the next one.
    void ShowNotice(const std::string& text);
    // Takes the one-off text away if it is still this one.
    void DropNotice(const std::string& text) {
        if (m_notice == text) ShowNotice("");
    }
    // The last Send's own word (Windows-1252): the too-long warning, why the Send was not
    // made, or "" for a Send that went out and fits.
    void SetSendText(const std::string& text);
    // Composes the message line again from what is true now: the port's state, the standing
    // text and the texts above. Shows it when it changed.
    void Refresh();
    // What the monitor says of the line (Windows-1252): nothing while it is live.
    std::string Text() const;
    // Whether the line went down and is being tried again.
    bool Lost() const { return m_bLost; }

private:
    std::unique_ptr<CPort>& m_port;
    std::string& m_message;
    std::function<void()> m_show;
    std::function<void()> m_greet;
    std::function<std::string()> m_standing;
    std::string m_sendText;
    std::string m_notice;
    // The "back" text while it is the notice, and the ticks it has left to show.
    std::string m_backText;
    int m_backTicks = 0;
    bool m_bLost = false;
    bool m_bGreetWhenBack = false;
};
