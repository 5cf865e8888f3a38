#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Port.h"

// The line as the operator follows it: a lost line noticed, tried again once a tick and,
// if asked, greeted when back; what it says on the message line and in the monitor.
class CLineWatch {
public:
    // message is the window's message line; show puts it on the page.
    CLineWatch(std::unique_ptr<CPort>& port, std::string& message, std::function<void()> show,
               std::function<void()> greet)
        : m_port(port), m_message(message), m_show(std::move(show)), m_greet(std::move(greet)) {}

    // Says once that the line was lost; true while it is.
    bool NoticeLost();
    // Once a tick: tries a lost line's device again and says so on the message line.
    void Watch();
    // Tries the lost line on from now, greeting the unit when it is back if greetWhenBack.
    void Resume(bool greetWhenBack);
    // The operator chose another port: the line lost before is no longer the one followed.
    void Forget() { m_bLost = false; }
    // Puts a line-state text on the message line unless the too-long warning holds it.
    void ShowMessage(const std::string& text);
    // What the monitor says of the line: nothing while it is live.
    std::string Text() const;
    // Whether the line went down and is being tried again.
    bool Lost() const { return m_bLost; }

private:
    std::unique_ptr<CPort>& m_port;
    std::string& m_message;
    std::function<void()> m_show;
    std::function<void()> m_greet;
    // The line-state text last put on the message line ("" none), and the ticks the
    // "back" text has left to show.
    std::string m_lineMessage;
    bool m_bLost = false;
    int m_backTicks = 0;
    bool m_bGreetWhenBack = false;
};
