#include "ConnectionSlots.h"

#include <unistd.h>

#include <QTcpSocket>
#include <algorithm>

#include "RemoteApi.h"

namespace remote {
namespace {

// Qt HttpServer keeps a whole request in memory before it hands it on. A connection that
// sends more than a request of the largest allowed body can hold is answered and closed
// before it has sent it all, so no client holds more than this much of the program's memory.
constexpr qint64 kMaxRequestBytes = static_cast<qint64>(kMaxBodyBytes) + 16 * 1024;
// A connection has this long to send a whole request, from when it opens or from the first
// byte after its last request: a client that trickles holds no slot for long.
constexpr int kRequestMs = 2000;
// A client that gave the token may keep its connection this long between requests.
constexpr int kKeepAliveMs = 10000;
// A connection given a slot keeps it at least this long, for a request it has already sent
// to be read.
constexpr qint64 kHoldMs = 100;

const char kTooLarge[] =
    "HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\n"
    "Content-Length: 33\r\nConnection: close\r\n\r\n{\"error\":\"the body is too large\"}";

}  // namespace

ConnectionSlots::ConnectionSlots() {
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, [this] { AdmitWaiting(); });
}

ConnectionSlots::~ConnectionSlots() {
    for (const auto& waiting : m_waiting) ::close(static_cast<int>(waiting.first));
}

void ConnectionSlots::Close() {
    m_closed = true;
    m_retry.stop();
}

void ConnectionSlots::Arrive(qintptr descriptor, Take take) {
    if (m_closed || static_cast<int>(m_waiting.size()) >= kMaxWaiting) {
        ::close(static_cast<int>(descriptor));
        return;
    }
    m_waiting.emplace_back(descriptor, std::move(take));
    AdmitWaiting();
}

void ConnectionSlots::Watch(const std::shared_ptr<ConnectionSlots>& pool, QTcpSocket* socket) {
    new SocketGuard(socket, pool);
}

bool ConnectionSlots::FreeASlot() {
    SocketGuard* idlest = nullptr;
    for (SocketGuard* guard : m_guards)
        if (!guard->Authorised() && guard->HeldMs() >= kHoldMs &&
            (!idlest || guard->IdleMs() > idlest->IdleMs()))
            idlest = guard;
    if (!idlest) return false;
    idlest->Evict();
    return true;
}

void ConnectionSlots::AdmitWaiting() {
    while (!m_waiting.empty() && !m_closed) {
        if (Count() >= kMaxConnections && !FreeASlot()) {
            // Try again when the first unauthorised connection has held its slot its moment;
            // one that closes meanwhile calls sooner.
            qint64 wait = kHoldMs;
            for (SocketGuard* guard : m_guards)
                if (!guard->Authorised()) wait = std::min(wait, kHoldMs - guard->HeldMs());
            m_retry.start(static_cast<int>(std::max<qint64>(wait, 1)));
            return;
        }
        auto [descriptor, take] = std::move(m_waiting.front());
        m_waiting.pop_front();
        take(descriptor);
    }
}

SocketGuard* ConnectionSlots::GuardOf(QTcpSocket* socket) {
    // The guard has no meta-object of its own, so it is told apart from the socket's other
    // children by its C++ type.
    for (QObject* child : socket->children())
        if (auto* guard = dynamic_cast<SocketGuard*>(child)) return guard;
    return nullptr;
}

SocketGuard::SocketGuard(QTcpSocket* socket, std::shared_ptr<ConnectionSlots> pool)
    : QObject(socket), m_socket(socket), m_pool(std::move(pool)) {
    m_pool->m_guards.push_back(this);
    m_held.start();
    m_lastActivity.start();
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &SocketGuard::Evict);
    m_deadline.start(kRequestMs);
    // Connected before the HTTP server's own reader, so the count comes first.
    connect(socket, &QTcpSocket::readyRead, this, &SocketGuard::onReadyRead);
}

SocketGuard::~SocketGuard() {
    Release();
}

void SocketGuard::Release() {
    if (!m_listed) return;
    m_listed = false;
    m_pool->m_guards.remove(this);
    // Someone may be waiting for this slot; not taken from inside the close that freed it.
    if (!m_pool->m_waiting.empty() && !m_pool->m_closed) m_pool->m_retry.start(0);
}

void SocketGuard::Evict() {
    Release();
    m_deadline.stop();
    m_socket->abort();
}

void SocketGuard::Upgraded() {
    Release();
    m_deadline.stop();
    disconnect(m_socket, &QTcpSocket::readyRead, this, nullptr);
}

void SocketGuard::RequestDone(bool authorised) {
    m_authorised = m_authorised || authorised;
    m_received = 0;
    m_inRequest = false;
    m_lastActivity.start();
    m_deadline.start(m_authorised ? kKeepAliveMs : kRequestMs);
}

void SocketGuard::onReadyRead() {
    if (m_refused) return;
    m_lastActivity.start();
    if (!m_inRequest) {
        m_inRequest = true;
        m_deadline.start(kRequestMs);
    }
    m_received += m_socket->bytesAvailable();
    if (m_received <= kMaxRequestBytes) return;
    m_refused = true;
    // Nothing more of this connection reaches the HTTP server's reader: what came is
    // dropped with the socket, and the answer goes out before the connection ends.
    disconnect(m_socket, &QTcpSocket::readyRead, nullptr, nullptr);
    m_socket->setReadBufferSize(1);
    m_socket->write(kTooLarge, sizeof kTooLarge - 1);
    m_socket->disconnectFromHost();
}

}  // namespace remote
