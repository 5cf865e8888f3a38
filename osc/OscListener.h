#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "CaptionCommands.h"
#include "CueDeck.h"
#include "OscFeedback.h"
#include "OscRules.h"

// The OSC listener: a UDP socket read on the window's thread whenever it has a datagram, each
// message run as the session's command, and what the show does told to the feedback list.
// Never blocks: the socket is non-blocking and each turn reads a bounded number of
// datagrams, so a flood cannot hold up the clock.
class OscListener : public QObject {
public:
    // Listens as the settings group OSC says; nothing when it gives no port. When the port
    // cannot be used, one line on standard error says why and the program runs on.
    static std::unique_ptr<OscListener> FromSettings(CaptionCommands& session, CueDeck* cues);
    // Nothing, and why in error, when the socket cannot be had.
    static std::unique_ptr<OscListener> Listen(const osc::Rules& rules, CaptionCommands& session,
                                               CueDeck* cues, std::string& error);
    ~OscListener() override;

    // The port listened on (the one asked for, or the one given for port 0).
    std::uint16_t Port() const { return m_port; }

private:
    struct Target {
        int socket = -1;
    };
    OscListener(const osc::Rules& rules, CaptionCommands& session, CueDeck* cues, int socket);
    void ReadAll();
    void Take(const char* data, std::size_t size);
    void Tell(const osc::Message& message);
    enum class Ignored { Malformed, Oversize, Unknown, Sender, NotRun };
    void Count(Ignored why, const std::string& detail = {});
    void Report();

    osc::Rules m_rules;
    CaptionCommands& m_session;
    CueDeck* m_cues;
    int m_socket;
    std::uint16_t m_port = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<Target> m_targets;
    std::unique_ptr<osc::Feedback> m_feedback;
    // What was ignored since the last line on standard error, by reason.
    std::size_t m_ignored[5] = {};
    std::string m_lastDetail;
    std::chrono::steady_clock::time_point m_lastReport{};
    QTimer m_reportTimer;
};
