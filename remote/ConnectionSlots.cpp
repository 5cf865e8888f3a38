#include "ConnectionSlots.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QTcpSocket>
#include <algorithm>

#include "PushChannel.h"
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

// A waiting connection's first bytes looked at for the token: more than a panel's head.
constexpr std::size_t kPeekBytes = 8192;

// A refusal the guard answers itself, before the HTTP server reads the request; the
// connection closes after it.
QByteArray CannedRefusal(const char* statusLine, std::string_view reason) {
    const QByteArray body = QByteArray::fromStdString(ErrorJson(reason));
    return QByteArray("HTTP/1.1 ") + statusLine +
           "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

ConnectionSlots::ConnectionSlots(AccessRules rules) : m_rules(std::move(rules)) {
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
    if (m_closed) {
        ::close(static_cast<int>(descriptor));
        return;
    }
    if (static_cast<int>(m_waiting.size()) >= kMaxWaiting) {
        const auto tokenless =
            std::find_if(m_waiting.begin(), m_waiting.end(),
                         [this](const auto& waiting) { return !ShowsToken(waiting.first); });
        if (tokenless == m_waiting.end()) {
            ::close(static_cast<int>(descriptor));
            return;
        }
        ::close(static_cast<int>(tokenless->first));
        m_waiting.erase(tokenless);
    }
    m_waiting.emplace_back(descriptor, std::move(take));
    AdmitWaiting();
}

void ConnectionSlots::Watch(const std::shared_ptr<ConnectionSlots>& pool, QTcpSocket* socket) {
    new SocketGuard(socket, pool);
}

bool ConnectionSlots::ShowsToken(qintptr descriptor) const {
    char head[kPeekBytes];
    const ssize_t got =
        ::recv(static_cast<int>(descriptor), head, sizeof head, MSG_PEEK | MSG_DONTWAIT);
    return got > 0 &&
           HeadShowsToken(std::string_view(head, static_cast<std::size_t>(got)), m_rules.token);
}

bool ConnectionSlots::FreeASlot() {
    for (;;) {
        SocketGuard* idlest = nullptr;
        for (SocketGuard* guard : m_guards)
            if (!guard->Authorised() && guard->HeldMs() >= kHoldMs &&
                (!idlest || guard->IdleMs() > idlest->IdleMs()))
                idlest = guard;
        if (!idlest) return false;
        // Under a flood the program may come to a request the kernel already holds only after
        // its moment is up: one that carries the token keeps its slot.
        if (ShowsToken(idlest->Descriptor())) {
            idlest->ShowedToken();
            continue;
        }
        idlest->Evict();
        return true;
    }
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
        // A connection that has shown the token goes first: a panel never waits behind a
        // line of clients without it, each of which holds the slot it gets its moment.
        auto next = std::find_if(m_waiting.begin(), m_waiting.end(),
                                 [this](const auto& waiting) { return ShowsToken(waiting.first); });
        if (next == m_waiting.end()) next = m_waiting.begin();
        auto [descriptor, take] = std::move(*next);
        m_waiting.erase(next);
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
    // The HTTP server cuts every tie to the socket before it hands it on to the push channel:
    // the watch starts again after that.
    QMetaObject::invokeMethod(this, &SocketGuard::WatchPushed, Qt::QueuedConnection);
}

void SocketGuard::WatchPushed() {
    m_socket->setReadBufferSize(PushChannel::kReadBytes);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        // A ping is answered as it is read: a client that pings and never reads the answers
        // piles them up here as surely as unread messages.
        if (m_socket->bytesToWrite() > PushChannel::kMaxBacklogBytes) m_socket->abort();
    });
}

void SocketGuard::Refuse(const QByteArray& answer) {
    m_refused = true;
    disconnect(m_socket, &QTcpSocket::readyRead, nullptr, nullptr);
    m_socket->setReadBufferSize(1);
    m_socket->write(answer);
    m_socket->disconnectFromHost();
}

qintptr SocketGuard::Descriptor() const {
    return m_socket->socketDescriptor();
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
    const qint64 came = m_socket->bytesAvailable();
    m_received += came;
    // Nothing more of a refused connection reaches the HTTP server's reader: what came is
    // dropped with the socket, and the answer goes out before the connection ends.
    if (m_received > kMaxRequestBytes)
        return Refuse(CannedRefusal("413 Payload Too Large", "the body is too large"));
    // This runs before the HTTP server reads what came, so a request is looked at whole
    // before any of it can run.
    const QByteArray bytes = m_socket->peek(came);
    if (!m_framing.Feed(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        return Refuse(CannedRefusal("400 Bad Request", "the request's framing is not well formed"));
    for (const std::string& target : m_framing.TakeTargets())
        if (!TargetAllowed(m_pool->m_rules, target))
            return Refuse(
                CannedRefusal("421 Misdirected Request",
                              "the request's target names no address this interface answers to"));
}

}  // namespace remote
