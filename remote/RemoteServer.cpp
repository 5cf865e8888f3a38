#include "RemoteServer.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <variant>

namespace remote {
namespace {

using StatusCode = QHttpServerResponder::StatusCode;

// Qt HttpServer keeps a whole request in memory before it hands it on. A connection that
// sends more than a request of the largest allowed body can hold is answered and closed
// before it has sent it all, so no client holds more than this much of the program's memory.
constexpr qint64 kMaxRequestBytes = static_cast<qint64>(kMaxBodyBytes) + 16 * 1024;
// Clients beyond this many at once are closed as they connect.
constexpr int kMaxConnections = 64;
// A connection that has not finished a request this long after it opened, or after its last
// request, is closed: a stalled client does not hold its place for ever.
constexpr int kIdleMs = 10000;

const char kTooLarge[] =
    "HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\n"
    "Content-Length: 33\r\nConnection: close\r\n\r\n{\"error\":\"the body is too large\"}";

// Counts what one connection has sent since its last finished request, and its idle time.
class SocketGuard : public QObject {
public:
    // live counts the guards of one server; each guard keeps it, so the last one to go, even
    // after the server, still has it to count down.
    SocketGuard(QTcpSocket* socket, std::shared_ptr<int> live)
        : QObject(socket), m_socket(socket), m_live(std::move(live)) {
        ++*m_live;
        m_idle.setSingleShot(true);
        m_idle.setInterval(kIdleMs);
        connect(&m_idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        m_idle.start();
        // Connected before the HTTP server's own reader, so the count comes first.
        connect(socket, &QTcpSocket::readyRead, this, &SocketGuard::onReadyRead);
    }
    ~SocketGuard() override { --*m_live; }

    void RequestDone() {
        m_received = 0;
        m_idle.start();
    }

private:
    void onReadyRead() {
        if (m_refused) return;
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

    QTcpSocket* m_socket;
    std::shared_ptr<int> m_live;
    qint64 m_received = 0;
    bool m_refused = false;
    QTimer m_idle;
};

class Listener : public QTcpServer {
public:
    Listener(QObject* parent, std::shared_ptr<int> live)
        : QTcpServer(parent), m_live(std::move(live)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (*m_live >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        new SocketGuard(socket, m_live);
        addPendingConnection(socket);
    }

private:
    std::shared_ptr<int> m_live;
};

QByteArray MethodName(QHttpServerRequest::Method method) {
    switch (method) {
        case QHttpServerRequest::Method::Get:
            return "GET";
        case QHttpServerRequest::Method::Put:
            return "PUT";
        case QHttpServerRequest::Method::Delete:
            return "DELETE";
        case QHttpServerRequest::Method::Post:
            return "POST";
        case QHttpServerRequest::Method::Head:
            return "HEAD";
        case QHttpServerRequest::Method::Options:
            return "OPTIONS";
        case QHttpServerRequest::Method::Patch:
            return "PATCH";
        case QHttpServerRequest::Method::Connect:
            return "CONNECT";
        case QHttpServerRequest::Method::Trace:
            return "TRACE";
        default:
            return QByteArray();
    }
}

const QByteArray kJson = "application/json";

void Answer(QHttpServerResponder& responder, StatusCode code, const std::string& body) {
    responder.write(QByteArray::fromStdString(body), kJson, code);
}

}  // namespace

class RemoteServer::Http : public QAbstractHttpServer {
public:
    Http(RemoteTarget& target, std::string token) : m_target(target), m_token(std::move(token)) {}

    bool ListenOn(const QHostAddress& address, std::uint16_t port, QString& error) {
        auto* listener = new Listener(this, m_live);
        if (!listener->listen(address, port)) {
            error = listener->errorString();
            m_lastError = listener->serverError();
            delete listener;
            return false;
        }
        bind(listener);
        return true;
    }
    QAbstractSocket::SocketError LastError() const { return m_lastError; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        for (QObject* child : socket->children())
            if (auto* guard = dynamic_cast<SocketGuard*>(child)) guard->RequestDone();
        QHttpServerResponder responder = makeResponder(request, socket);
        const QByteArray body = request.body();
        if (static_cast<std::size_t>(body.size()) > kMaxBodyBytes) {
            Answer(responder, StatusCode::PayloadTooLarge, ErrorJson("the body is too large"));
            return true;
        }
        if (!Authorized(m_token, request.value("Authorization").toStdString())) {
            responder.write(QByteArray::fromStdString(ErrorJson("a valid token is needed")),
                            {{"Content-Type", kJson}, {"WWW-Authenticate", "Bearer"}},
                            StatusCode::Unauthorized);
            return true;
        }
        const std::variant<Request, Refusal> parsed =
            ParseRequest(MethodName(request.method()).toStdString(),
                         request.url().path(QUrl::FullyEncoded).toStdString(),
                         std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
        if (const auto* refusal = std::get_if<Refusal>(&parsed)) {
            const QByteArray text = QByteArray::fromStdString(ErrorJson(refusal->reason));
            const auto code = static_cast<StatusCode>(refusal->status);
            if (refusal->allow.empty())
                responder.write(text, kJson, code);
            else
                responder.write(
                    text,
                    {{"Content-Type", kJson}, {"Allow", QByteArray::fromStdString(refusal->allow)}},
                    code);
            return true;
        }
        // A modal dialog runs its own loop, and requests arrive inside it: none may run there.
        if (m_target.Busy()) {
            Answer(responder, StatusCode::Conflict, ErrorJson("a dialog is open in the program"));
            return true;
        }
        const Request& command = std::get<Request>(parsed);
        if (command.action != Action::Status) m_target.Run(command);
        Answer(responder, StatusCode::Ok, StatusJson(m_target.CurrentStatus()));
        return true;
    }

    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override { socket->abort(); }

private:
    RemoteTarget& m_target;
    std::string m_token;
    std::shared_ptr<int> m_live = std::make_shared<int>(0);
    QAbstractSocket::SocketError m_lastError = QAbstractSocket::UnknownSocketError;
};

RemoteServer::RemoteServer(std::unique_ptr<Http> http) : m_http(std::move(http)) {}
RemoteServer::~RemoteServer() = default;

std::unique_ptr<RemoteServer> RemoteServer::Listen(RemoteTarget& target, std::uint16_t port,
                                                   std::string token, std::string& error) {
    auto http = std::make_unique<Http>(target, std::move(token));
    QString reason;
    if (!http->ListenOn(QHostAddress(QHostAddress::LocalHost), port, reason)) {
        error = "127.0.0.1:" + std::to_string(port) + ": " + reason.toStdString();
        return nullptr;
    }
    if (!http->ListenOn(QHostAddress(QHostAddress::LocalHostIPv6), port, reason)) {
        const QAbstractSocket::SocketError cause = http->LastError();
        if (cause != QAbstractSocket::SocketAddressNotAvailableError &&
            cause != QAbstractSocket::UnsupportedSocketOperationError) {
            error = "[::1]:" + std::to_string(port) + ": " + reason.toStdString();
            return nullptr;
        }
    }
    return std::unique_ptr<RemoteServer>(new RemoteServer(std::move(http)));
}

}  // namespace remote
