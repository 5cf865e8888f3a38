#include "PushChannel.h"

#include <QWebSocket>
#include <algorithm>

namespace remote {
namespace {

constexpr int kPingMs = 5000;
// A client that has not answered a ping for this long is gone.
constexpr qint64 kPongMs = 15000;
// Clients only listen; what they send is read and dropped, and never held in memory.
constexpr quint64 kMaxIncomingBytes = 4096;

}  // namespace

PushChannel::PushChannel(RemoteTarget& target) : m_target(target) {
    connect(&m_ping, &QTimer::timeout, this, &PushChannel::Ping);
}

PushChannel::~PushChannel() {
    if (!m_clients.empty()) m_target.Push(nullptr);
    for (Client& client : m_clients) client.socket->disconnect(this);
}

void PushChannel::Add(std::unique_ptr<QWebSocket> socket) {
    QWebSocket* raw = socket.get();
    raw->setMaxAllowedIncomingFrameSize(kMaxIncomingBytes);
    raw->setMaxAllowedIncomingMessageSize(kMaxIncomingBytes);
    raw->setReadBufferSize(kReadBytes);
    connect(raw, &QWebSocket::disconnected, this, [this, raw] { Drop(raw); });
    connect(raw, &QWebSocket::pong, this, [this, raw] {
        for (Client& client : m_clients)
            if (client.socket.get() == raw) client.sincePong.start();
    });
    Client client{std::move(socket), {}};
    client.sincePong.start();
    m_clients.push_back(std::move(client));
    if (m_clients.size() == 1) {
        m_target.Push([this](const std::string& message) { Broadcast(message); });
        m_ping.start(kPingMs);
    }
    raw->sendTextMessage(QString::fromStdString(StateMessageJson(m_target.CurrentStatus())));
}

void PushChannel::Broadcast(const std::string& message) {
    const QString text = QString::fromStdString(message);
    std::vector<QWebSocket*> behind;
    for (Client& client : m_clients) {
        if (client.socket->bytesToWrite() > kMaxBacklogBytes)
            behind.push_back(client.socket.get());
        else
            client.socket->sendTextMessage(text);
    }
    for (QWebSocket* socket : behind) Drop(socket);
}

void PushChannel::Ping() {
    std::vector<QWebSocket*> silent;
    for (Client& client : m_clients) {
        if (client.sincePong.elapsed() > kPongMs)
            silent.push_back(client.socket.get());
        else
            client.socket->ping();
    }
    for (QWebSocket* socket : silent) Drop(socket);
}

void PushChannel::Drop(QWebSocket* socket) {
    const auto it =
        std::find_if(m_clients.begin(), m_clients.end(),
                     [socket](const Client& client) { return client.socket.get() == socket; });
    if (it == m_clients.end()) return;
    std::unique_ptr<QWebSocket> gone = std::move(it->socket);
    m_clients.erase(it);
    gone->disconnect(this);
    // A client that stopped reading is not waited for: its connection is cut, not closed.
    gone->abort();
    // It may be the socket whose signal is running now.
    gone.release()->deleteLater();
    if (m_clients.empty()) {
        m_ping.stop();
        m_target.Push(nullptr);
    }
}

}  // namespace remote
