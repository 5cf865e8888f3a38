#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Port.h"

// The line as the operator follows it: a lost line noticed, tried again once a tick and,
// if asked, greeted when back; what it says on the message line and in the monitor.
class CLineWatch {
public:
    // message is the window's message line; show puts it on the page. standing is what the
    // message line says while the line has nothing to say (the clock's warning), "" for none.
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
    // Puts a line-state text ("" none, when the standing text shows) on the message line
    // unless the too-long warning holds it.
    void ShowMessage(const std::string& text);
    // Shows the line's text, or the standing one, again: after a Send emptied the message
    // line, or when the standing text changed.
    void Refresh() { ShowMessage(m_lineText); }
    // What the monitor says of the line: nothing while it is live.
    std::string Text() const;
    // Whether the line went down and is being tried again.
    bool Lost() const { return m_bLost; }

private:
    std::unique_ptr<CPort>& m_port;
    std::string& m_message;
    std::function<void()> m_show;
    std::function<void()> m_greet;
    std::function<std::string()> m_standing;
    // The line's own text now, the text last put on the message line ("" none), and the
    // ticks the "back" text has left to show.
    std::string m_lineText;
    std::string m_lineMessage;
    bool m_bLost = false;
    int m_backTicks = 0;
    bool m_bGreetWhenBack = false;
};
