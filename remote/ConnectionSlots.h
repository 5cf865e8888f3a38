#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <utility>

#include "Access.h"
#include "RequestFraming.h"

class QTcpSocket;

namespace remote {

class SocketGuard;

// The interface's connections and the slots they hold. A client that trickles its request
// holds a slot no longer than it takes to send one; when all are held, a newcomer waits its
// turn and then takes the slot of the connection idle longest that never gave the token. A
// connection just given its slot keeps it a moment, long enough for a request already sent
// to be read: so a panel with the token is never locked out by clients without it. When the
// waiting line is full, a newcomer takes the place of the one waiting longest that has shown
// no token, so a flood of clients without it cannot keep a panel out of the line either; and
// one that has shown the token is taken from the line first.
class ConnectionSlots {
public:
    static constexpr int kMaxConnections = 64;
    static constexpr int kMaxWaiting = 64;

    // Gives an accepted connection's descriptor a socket, watched, to the HTTP server.
    using Take = std::function<void(qintptr)>;

    // The rules give the token a waiting connection is looked at for, and the hosts a
    // request's target may name.
    explicit ConnectionSlots(AccessRules rules);
    // Closes the connections still waiting.
    ~ConnectionSlots();

    // A connection the listener accepted: taken at once when a slot is free or can be freed,
    // else when its turn in the waiting line comes. Nothing of it is taken from the
    // connection while it waits: its first bytes are only looked at for the token.
    void Arrive(qintptr descriptor, Take take);
    // Watches a connection given a slot; called by the Take.
    static void Watch(const std::shared_ptr<ConnectionSlots>& pool, QTcpSocket* socket);
    // The guard of a connection, or nothing.
    static SocketGuard* GuardOf(QTcpSocket* socket);
    // The server is going: nobody waiting is taken any more.
    void Close();

    int Count() const { return static_cast<int>(m_guards.size()); }

private:
    friend class SocketGuard;
    // Frees a slot by closing the unauthorised connection idle longest among those that
    // have held theirs a moment; false when there is none.
    bool FreeASlot();
    void AdmitWaiting();
    // Whether what a waiting connection has sent so far carries the token; nothing of it is
    // taken from the connection.
    bool ShowsToken(qintptr descriptor) const;

    AccessRules m_rules;
    std::list<SocketGuard*> m_guards;
    std::deque<std::pair<qintptr, Take>> m_waiting;
    QTimer m_retry;
    bool m_closed = false;
};

// One connection's watch: what it has sent of its current request, how long it has taken,
// and whether it has ever given the token.
class SocketGuard : public QObject {
public:
    SocketGuard(QTcpSocket* socket, std::shared_ptr<ConnectionSlots> pool);
    ~SocketGuard() override;

    // A whole request was read; authorised when it carried the token.
    void RequestDone(bool authorised);
    bool Authorised() const { return m_authorised; }
    // What the connection sent and the program has yet to read carries the token.
    void ShowedToken() { m_authorised = true; }
    qintptr Descriptor() const;
    qint64 IdleMs() const { return m_lastActivity.elapsed(); }
    qint64 HeldMs() const { return m_held.elapsed(); }
    // Gives up the slot and closes the connection.
    void Evict();
    // The connection became a push channel client: it gives up its slot and its deadlines,
    // and the channel watches it from now on. What it sends is still read a bounded piece at
    // a time, and a client whose answers to its pings pile up unread past the push channel's
    // backlog is cut off as it sends more.
    void Upgraded();

private:
    void onReadyRead();
    void WatchPushed();
    void Release();
    // Answers with a canned refusal and closes: nothing more of the connection reaches the
    // HTTP server's reader.
    void Refuse(const QByteArray& answer);

    QTcpSocket* m_socket;
    // Each guard keeps the pool of slots, so the last one to go, even after the server,
    // still has them to leave.
    std::shared_ptr<ConnectionSlots> m_pool;
    bool m_listed = true;
    qint64 m_received = 0;
    bool m_refused = false;
    bool m_inRequest = true;
    bool m_authorised = false;
    RequestFraming m_framing;
    QElapsedTimer m_held;
    QElapsedTimer m_lastActivity;
    QTimer m_deadline;
};

}  // namespace remote
