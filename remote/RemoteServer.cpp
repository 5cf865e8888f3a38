#include "RemoteServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>
#include <memory>
#include <optional>
#include <variant>

#include "ConnectionSlots.h"
#include "PushChannel.h"
#include "UiPage.h"

namespace remote {
namespace {

using StatusCode = QHttpServerResponder::StatusCode;

constexpr int kListenBacklog = 1024;
constexpr int kAcceptsPerTurn = 16;

// Takes connections a few at a time, each turn of the event loop: clients that reconnect as
// fast as they are closed would otherwise keep the accepting going on, and no request that
// already came, a panel's among them, would be read meanwhile.
class Listener : public QTcpServer {
public:
    Listener(QObject* parent, std::shared_ptr<ConnectionSlots> pool)
        : QTcpServer(parent), m_slots(std::move(pool)) {
        // Hundreds of clients may connect at once; the kernel's queue must hold them until
        // they reach the waiting line, where a newcomer with the token is never dropped for
        // one without it.
        setListenBacklogSize(kListenBacklog);
    }

    bool Listen(const QHostAddress& address, quint16 port) {
        if (!listen(address, port)) return false;
        pauseAccepting();
        m_ready = std::make_unique<QSocketNotifier>(socketDescriptor(), QSocketNotifier::Read);
        connect(m_ready.get(), &QSocketNotifier::activated, this, [this] { AcceptSome(); });
        return true;
    }

private:
    void AcceptSome() {
        for (int i = 0; i < kAcceptsPerTurn; ++i) {
            const int descriptor =
                ::accept4(static_cast<int>(socketDescriptor()), nullptr, nullptr, SOCK_CLOEXEC);
            if (descriptor < 0) return;
            m_slots->Arrive(descriptor, [this](qintptr taken) { Take(taken); });
        }
    }

    void Take(qintptr descriptor) {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            ::close(static_cast<int>(descriptor));
            return;
        }
        ConnectionSlots::Watch(m_slots, socket);
        addPendingConnection(socket);
        emit newConnection();
        // Taking the connection turned Qt's own accepting back on: this listener accepts.
        pauseAccepting();
    }

    std::shared_ptr<ConnectionSlots> m_slots;
    // Goes before the listening socket does.
    std::unique_ptr<QSocketNotifier> m_ready;
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
const QByteArray kEventsPath = "/api/v1/events";

// A header's value, or nothing when it is absent; repeated when it came more than once. Two
// Hosts or two Origins never name this interface or a listed page: the caller refuses them.
struct Header {
    std::optional<QByteArray> value;
    bool repeated = false;
};

Header HeaderOf(const QHttpServerRequest& request, const QByteArray& name) {
    Header header;
    for (const auto& [key, value] : request.headers()) {
        if (key.compare(name, Qt::CaseInsensitive) != 0) continue;
        header.repeated = header.value.has_value();
        header.value = value;
    }
    return header;
}

std::optional<std::string_view> View(const Header& header) {
    if (!header.value) return std::nullopt;
    return std::string_view(header.value->constData(),
                            static_cast<std::size_t>(header.value->size()));
}

// An answer with a JSON body and the extra headers a listed page's calls need.
void Answer(QHttpServerResponder& responder, StatusCode code, const std::string& body,
            const QList<QPair<QByteArray, QByteArray>>& extra = {}) {
    const QByteArray bytes = QByteArray::fromStdString(body);
    responder.writeStatusLine(code);
    responder.writeHeader("Content-Type", kJson);
    responder.writeHeader("Content-Length", QByteArray::number(bytes.size()));
    for (const auto& [name, value] : ApiHeaders())
        responder.writeHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    for (const auto& [name, value] : extra) responder.writeHeader(name, value);
    responder.writeBody(bytes);
}

void AnswerPage(QHttpServerResponder& responder, const PageAnswer& page) {
    const QByteArray bytes = QByteArray::fromStdString(page.body);
    responder.writeStatusLine(static_cast<StatusCode>(page.status));
    for (const auto& [name, value] : page.headers)
        responder.writeHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    responder.writeHeader("Content-Length", QByteArray::number(bytes.size()));
    responder.writeBody(bytes);
}

}  // namespace

class RemoteServer::Http : public QAbstractHttpServer {
public:
    Http(RemoteTarget& target, AccessRules rules)
        : m_target(target), m_rules(std::move(rules)), m_push(target) {
        connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this] {
            while (hasPendingWebSocketConnections()) m_push.Add(nextPendingWebSocketConnection());
        });
    }
    ~Http() override { m_slots->Close(); }

    bool ListenOn(const QHostAddress& address, QString& error) {
        auto* listener = new Listener(this, m_slots);
        if (!listener->Listen(address, m_rules.port)) {
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
    // An upgrade to a WebSocket comes here before Qt takes the socket: true lets the push
    // channel have it. Any other upgrade is answered and closed by Qt after the answer.
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        const bool upgrade =
            request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
        std::optional<QHttpServerResponder> responder;
        const auto respond = [&]() -> QHttpServerResponder& {
            if (!responder) responder.emplace(makeResponder(request, socket));
            return *responder;
        };
        const bool pushed = Handle(request, socket, upgrade, respond);
        if (!upgrade) return true;
        if (!pushed) socket->setProperty(kAnswered, true);
        return pushed;
    }

    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override {
        // A refused upgrade leaves with its answer: Qt closes it once the answer is out.
        if (!socket->property(kAnswered).toBool()) socket->abort();
    }

private:
    static constexpr char kAnswered[] = "tessoraAnswered";

    // Answers a request, or for an upgrade to the push channel that may go on answers
    // nothing and gives true.
    template <typename Respond>
    bool Handle(const QHttpServerRequest& request, QTcpSocket* socket, bool upgrade,
                const Respond& respond) {
        const QByteArray body = request.body();
        const QByteArray method = MethodName(request.method());
        const Header host = HeaderOf(request, "Host");
        const Header origin = HeaderOf(request, "Origin");
        const Header contentType = HeaderOf(request, "Content-Type");
        const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8();
        QByteArray authorization = HeaderOf(request, "Authorization").value.value_or("");
        // A browser cannot give a WebSocket a header: the push channel takes the token from
        // the address as well.
        if (authorization.isEmpty() && path == kEventsPath)
            authorization =
                "Bearer " +
                QUrlQuery(request.url()).queryItemValue("token", QUrl::FullyDecoded).toUtf8();
        Incoming incoming{
            std::string_view(method.constData(), static_cast<std::size_t>(method.size())),
            host.repeated ? std::nullopt : View(host),
            View(origin),
            std::string_view(authorization.constData(),
                             static_cast<std::size_t>(authorization.size())),
            View(contentType),
            static_cast<std::size_t>(body.size())};
        // Two Origins are never one that is listed.
        if (origin.repeated) incoming.origin = std::string_view("");
        // The page holds no secret and needs no token; the Host is checked as for any call,
        // so a name pointed at this machine by a stranger's page reads nothing of it.
        if (!upgrade &&
            IsPagePath(std::string_view(path.constData(), static_cast<std::size_t>(path.size())))) {
            if (SocketGuard* guard = ConnectionSlots::GuardOf(socket)) guard->RequestDone(false);
            if (!incoming.host || !HostAllowed(m_rules, *incoming.host))
                Answer(respond(), StatusCode::MisdirectedRequest,
                       ErrorJson("the Host header names no address this interface answers to"));
            else
                AnswerPage(respond(), PageFor(incoming.method, path.toStdString()));
            return false;
        }
        const std::optional<Refusal> refusal = CheckAccess(m_rules, incoming);
        const bool tokenGiven = !refusal || refusal->status == 415;
        SocketGuard* guard = ConnectionSlots::GuardOf(socket);
        if (guard) guard->RequestDone(tokenGiven);

        // Only a listed page is told it may read the answer; any other gets no CORS header.
        QList<QPair<QByteArray, QByteArray>> cors;
        if (incoming.origin && OriginListed(m_rules, *incoming.origin)) {
            cors.emplaceBack("Access-Control-Allow-Origin", *origin.value);
            cors.emplaceBack("Vary", "Origin");
        }
        // A browser asks before a listed page's call, without the token.
        const bool pastOrigin = !refusal || refusal->status == 401;
        if (pastOrigin && IsListedPreflight(m_rules, incoming)) {
            cors.emplaceBack("Access-Control-Allow-Methods", "GET, PUT, POST");
            cors.emplaceBack("Access-Control-Allow-Headers", "Authorization, Content-Type");
            cors.emplaceBack("Access-Control-Max-Age", "600");
            QHttpServerResponder& responder = respond();
            responder.writeStatusLine(StatusCode::NoContent);
            for (const auto& [name, value] : cors) responder.writeHeader(name, value);
            responder.writeHeader("Content-Length", "0");
            responder.writeBody(QByteArray());
            return false;
        }
        if (refusal) {
            if (refusal->status == 401) cors.emplaceBack("WWW-Authenticate", "Bearer");
            Answer(respond(), static_cast<StatusCode>(refusal->status), ErrorJson(refusal->reason),
                   cors);
            return false;
        }
        const std::variant<Request, Refusal> parsed =
            ParseRequest(incoming.method, path.toStdString(),
                         std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
        if (const auto* bad = std::get_if<Refusal>(&parsed)) {
            if (!bad->allow.empty())
                cors.emplaceBack("Allow", QByteArray::fromStdString(bad->allow));
            Answer(respond(), static_cast<StatusCode>(bad->status), ErrorJson(bad->reason), cors);
            return false;
        }
        const Request& command = std::get<Request>(parsed);
        const Grant grant = GrantOf(m_rules, incoming.authorization);
        if (const std::optional<Refusal> refused = CheckGrant(grant, command.action)) {
            Answer(respond(), static_cast<StatusCode>(refused->status), ErrorJson(refused->reason),
                   cors);
            return false;
        }
        // The operator's page shows no buttons to a token that may only look.
        cors.emplaceBack("Tessora-Access", grant == Grant::View ? "view" : "control");
        if (command.action == Action::Events) {
            if (!upgrade) {
                Answer(respond(), StatusCode::UpgradeRequired,
                       ErrorJson("this path is a WebSocket: ask to upgrade"), cors);
            } else if (m_push.Full()) {
                Answer(respond(), StatusCode::ServiceUnavailable,
                       ErrorJson("the push channel has all the clients it takes"), cors);
            } else {
                if (guard) guard->Upgraded();
                return true;
            }
            return false;
        }
        if (upgrade) {
            Answer(respond(), StatusCode::BadRequest,
                   ErrorJson("only the push channel is a WebSocket"), cors);
            return false;
        }
        // A modal dialog runs its own loop, and requests arrive inside it: none may run there.
        if (m_target.Busy()) {
            Answer(respond(), StatusCode::Conflict, ErrorJson("a dialog is open in the program"),
                   cors);
            return false;
        }
        if (IsCueAction(command.action)) {
            const std::variant<std::string, Refusal> answer = m_target.RunCues(command);
            if (const auto* refused = std::get_if<Refusal>(&answer))
                Answer(respond(), static_cast<StatusCode>(refused->status),
                       ErrorJson(refused->reason), cors);
            else
                Answer(respond(), StatusCode::Ok, std::get<std::string>(answer), cors);
            return false;
        }
        if (command.action != Action::Status) {
            if (const std::optional<Refusal> refused = m_target.Run(command)) {
                Answer(respond(), static_cast<StatusCode>(refused->status),
                       ErrorJson(refused->reason), cors);
                return false;
            }
        }
        Answer(respond(), StatusCode::Ok, StatusJson(m_target.CurrentStatus()), cors);
        return false;
    }

    RemoteTarget& m_target;
    AccessRules m_rules;
    std::shared_ptr<ConnectionSlots> m_slots = std::make_shared<ConnectionSlots>(m_rules);
    PushChannel m_push;
    QAbstractSocket::SocketError m_lastError = QAbstractSocket::UnknownSocketError;
};

RemoteServer::RemoteServer(std::unique_ptr<Http> http) : m_http(std::move(http)) {}
RemoteServer::~RemoteServer() = default;

std::unique_ptr<RemoteServer> RemoteServer::Listen(RemoteTarget& target, AccessRules rules,
                                                   const std::string& address, std::string& error) {
    const std::string port = std::to_string(rules.port);
    QHostAddress studio;
    if (!address.empty() && !studio.setAddress(QString::fromStdString(address))) {
        error = "Remote/Address " + address + " is no IP address";
        return nullptr;
    }
    // The studio-network address and the names given for it are Hosts this interface
    // answers to; so is every address of the machine when it listens on all of them.
    const bool everywhere = studio == QHostAddress::AnyIPv4 || studio == QHostAddress::AnyIPv6;
    const auto hostName = [](const QHostAddress& a) {
        const std::string text = a.toString().toLower().toStdString();
        return a.protocol() == QAbstractSocket::IPv6Protocol ? "[" + text + "]" : text;
    };
    if (!address.empty()) {
        if (everywhere) {
            for (const QHostAddress& local : QNetworkInterface::allAddresses())
                if (local.scopeId().isEmpty()) rules.hosts.push_back(hostName(local));
        } else {
            rules.hosts.push_back(hostName(studio));
        }
    }
    // Qt warns of every upgrade that is answered here instead of taken: those are the
    // interface's own refusals, already answered with their reason.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));
    auto http = std::make_unique<Http>(target, std::move(rules));
    QString reason;
    // A wildcard takes in the loopback addresses; listening on them too would clash.
    if (everywhere) {
        const QHostAddress all =
            studio == QHostAddress::AnyIPv6 ? QHostAddress(QHostAddress::Any) : studio;
        if (!http->ListenOn(all, reason)) {
            error = address + " port " + port + ": " + reason.toStdString();
            return nullptr;
        }
        return std::unique_ptr<RemoteServer>(new RemoteServer(std::move(http)));
    }
    if (!http->ListenOn(QHostAddress(QHostAddress::LocalHost), reason)) {
        error = "127.0.0.1:" + port + ": " + reason.toStdString();
        return nullptr;
    }
    if (!http->ListenOn(QHostAddress(QHostAddress::LocalHostIPv6), reason)) {
        const QAbstractSocket::SocketError cause = http->LastError();
        if (cause != QAbstractSocket::SocketAddressNotAvailableError &&
            cause != QAbstractSocket::UnsupportedSocketOperationError) {
            error = "[::1]:" + port + ": " + reason.toStdString();
            return nullptr;
        }
    }
    if (!address.empty() && !studio.isLoopback() && !http->ListenOn(studio, reason)) {
        error = hostName(studio) + ":" + port + ": " + reason.toStdString();
        return nullptr;
    }
    return std::unique_ptr<RemoteServer>(new RemoteServer(std::move(http)));
}

}  // namespace remote
