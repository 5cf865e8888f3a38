#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "Port.h"
#include "SessionState.h"

// The message line: texts ranked so that what is most urgent and still true shows. Each
// rank holds one text ("" for nothing to say); the first rank with a text is the line.
enum class MessageRank {
    // The line down: lost, or the port not open.
    Line,
    // The last Send's own word: the too-long warning, or why it was not made.
    Send,
    // The latest one-off text: the line back, while it is live; a notice.
    Notice,
    // What stands while nothing else has anything to say: the clock's warning.
    Standing,
};

class MessageLine {
public:
    // Sets one rank's text; true when the line shown changed.
    bool Set(MessageRank rank, std::string text);
    const std::string& Get(MessageRank rank) const {
        return m_texts[static_cast<std::size_t>(rank)];
    }
    // What the message line shows (Windows-1252).
    const std::string& Shown() const { return m_shown; }

private:
    std::array<std::string, 4> m_texts;
    std::string m_shown;
};

// How the line watch speaks to the world: a line event told to whoever drives the program
// ("lost" or "back", and the device), and a device path (UTF-8) as the message line shows it
// (Windows-1252).
struct LineVoice {
    std::function<void(const char* what, const std::string& device)> announce;
    std::function<std::string(const std::string& device)> shown;
};

// The line as the operator follows it: a lost line noticed, tried again once a tick and,
// if asked, greeted when back; what it says in the monitor; and the message line.
class CLineWatch {
public:
    // changed is called when the message line shows another text.
    CLineWatch(std::unique_ptr<CPort>& port, LineVoice voice, std::function<void()> changed,
               std::function<void()> greet)
        : m_port(port),
          m_voice(std::move(voice)),
          m_changed(std::move(changed)),
          m_greet(std::move(greet)) {}

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
    // A one-off text that goes by itself a few ticks later, as the line's coming back does.
    void ShowPassingNotice(const std::string& text);
    // Takes the one-off text away if it is still this one.
    void DropNotice(const std::string& text) {
        if (m_message.Get(MessageRank::Notice) == text) ShowNotice("");
    }
    // The last Send's own word (Windows-1252): the too-long warning, why the Send was not
    // made, or "" for a Send that went out and fits.
    void SetSendText(const std::string& text) { Put(MessageRank::Send, text); }
    // What the message line says while nothing else has anything to say.
    void SetStanding(const std::string& text) { Put(MessageRank::Standing, text); }
    // Composes the message line again from what is true now: the port's state and the texts
    // above. Tells when it changed.
    void Refresh() { Put(MessageRank::Line, Text()); }
    // What the message line shows (Windows-1252).
    const std::string& Message() const { return m_message.Shown(); }
    // What the monitor says of the line (Windows-1252): nothing while it is live.
    std::string Text() const;
    // Whether the line went down and is being tried again.
    bool Lost() const { return m_bLost; }
    // What a lost line's text goes on with (Windows-1252): another line that still takes the
    // writes, "" when there is none.
    void SetBeside(std::function<std::string()> beside) { m_beside = std::move(beside); }

private:
    // Sets a rank's text and, read afresh, the line's own: a line that went down since says
    // so at once, and "back" never stands over a line that is down again.
    void Put(MessageRank rank, std::string text);
    std::string Shown(const std::string& device) const {
        return m_voice.shown ? m_voice.shown(device) : device;
    }

    std::unique_ptr<CPort>& m_port;
    LineVoice m_voice;
    std::function<void()> m_changed;
    std::function<void()> m_greet;
    std::function<std::string()> m_beside;
    MessageLine m_message;
    // The "back" text while it is the notice, and the ticks it has left to show.
    std::string m_backText;
    int m_backTicks = 0;
    bool m_bLost = false;
    bool m_bGreetWhenBack = false;
};

// What the monitor says of the backup line (UTF-8): "" without one, else whether it is live,
// why it is down, or why the one named is not used.
std::string BackupLineText(const BackupLineState& backup);
