#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "RemoteServer.h"

class QWebSocket;

namespace remote {

// The clients of GET /api/v1/events, each a WebSocket that passed the interface's checks.
// The window never waits for one: a message goes to each client's own buffer, and a client
// whose buffer grows past what a reader keeps up with, or that stops answering pings, is
// dropped. The window is told changes only while a client listens.
class PushChannel : public QObject {
public:
    static constexpr int kMaxClients = 32;
    // Far more than the messages of a busy show: a client this far behind, messages and
    // answers to its pings alike, has stopped reading.
    static constexpr qint64 kMaxBacklogBytes = 4 * 1024 * 1024;
    // What is read of a client at a time, so the answers to what one read brings stay small
    // beside the backlog.
    static constexpr qint64 kReadBytes = 16 * 1024;

    explicit PushChannel(RemoteTarget& target);
    ~PushChannel() override;

    bool Full() const { return static_cast<int>(m_clients.size()) >= kMaxClients; }
    // Sends the state, then every change.
    void Add(std::unique_ptr<QWebSocket> socket);

private:
    struct Client {
        std::unique_ptr<QWebSocket> socket;
        QElapsedTimer sincePong;
    };

    void Broadcast(const std::string& message);
    void Ping();
    // Lets the client go, now or once its socket has had its say; the window stops telling
    // when the last one goes.
    void Drop(QWebSocket* socket);

    RemoteTarget& m_target;
    std::vector<Client> m_clients;
    QTimer m_ping;
};

}  // namespace remote
