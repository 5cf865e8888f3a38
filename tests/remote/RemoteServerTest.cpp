#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RemoteControl.h"
#include "RemoteServer.h"
#include "StandInSession.h"

namespace remote {
namespace {

// A session that notes the commands it is given.
class NotingSession : public StandInSession {
public:
    std::vector<std::string> calls;

    void Select(int screen) override { calls.push_back("select " + std::to_string(screen)); }
    bool Send(WriteOrigin) override {
        calls.push_back("send");
        return true;
    }
};

// Runs the event loop until done, for at most a bound that only a fault reaches.
bool WaitFor(const std::function<bool()>& done, int boundMs = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > boundMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The whole answer to a request, up to the end of its body.
bool AnswerWhole(const QByteArray& got) {
    const qsizetype end = got.indexOf("\r\n\r\n");
    if (end < 0) return false;
    const qsizetype length = got.indexOf("Content-Length: ");
    if (length < 0 || length > end) return true;
    const qsizetype number = length + 16;
    return got.size() >= end + 4 + got.mid(number, got.indexOf("\r\n", number) - number).toInt();
}

class RemoteServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
        probe.close();
        AccessRules rules;
        rules.port = port;
        rules.token = "s3cret";
        rules.viewToken = "l00k";
        std::string error;
        server = RemoteServer::Listen(control, rules, "", error);
        ASSERT_TRUE(server) << error;
    }

    std::unique_ptr<QTcpSocket> Connect() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(socket->waitForConnected(5000));
        return socket;
    }

    // Sends raw bytes on a new connection; the answer, whole or as far as it came before
    // the connection ended.
    QByteArray Exchange(const QByteArray& request) {
        std::unique_ptr<QTcpSocket> socket = Connect();
        QByteArray got;
        QObject::connect(socket.get(), &QTcpSocket::readyRead, [&] { got += socket->readAll(); });
        socket->write(request);
        EXPECT_TRUE(WaitFor([&] {
            return AnswerWhole(got) || socket->state() == QAbstractSocket::UnconnectedState;
        }));
        return got;
    }

    // The status of the answer, or 0 for none before the connection ended.
    int Status(const QByteArray& request) {
        const QByteArray got = Exchange(request);
        return got.startsWith("HTTP/1.1 ") ? got.mid(9, 3).toInt() : 0;
    }

    quint16 port = 0;
    NotingSession session;
    RemoteControl control{session};
    std::unique_ptr<RemoteServer> server;
};

const QByteArray kSend =
    "POST /api/v1/send HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer s3cret\r\n"
    "Content-Type: application/json\r\n";

// A request whose length can be read two ways never runs either way: a panel's call for
// screen 2 must not put screen 1 on air.
TEST_F(RemoteServerTest, MalformedFramingIsRefusedAndNothingRuns) {
    for (const QByteArray& framing :
         {QByteArray("Content-Length: 12, 12\r\n\r\n{\"screen\":2}"),
          QByteArray("Content-Length: 12\r\nContent-Length: 13\r\n\r\n{\"screen\":2}"),
          QByteArray("Content-Length: -1\r\n\r\n{\"screen\":2}"),
          QByteArray("Content-Length: 18446744073709551628\r\n\r\n{\"screen\":2}"),
          QByteArray("Content-Length: 12\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "c\r\n{\"screen\":2}\r\n0\r\n\r\n"),
          QByteArray("Transfer-Encoding: chunked\r\n\r\nzz\r\n{\"screen\":2}\r\n0\r\n\r\n"),
          QByteArray("Transfer-Encoding: "
                     "chunked\r\n\r\n1000000000000000c\r\n{\"screen\":2}\r\n0\r\n\r\n")}) {
        EXPECT_EQ(Status(kSend + framing), 400) << framing.constData();
        EXPECT_TRUE(session.calls.empty()) << framing.constData();
        session.calls.clear();
    }
    // The same call well framed, whole or in chunks, runs once each.
    EXPECT_EQ(Status(kSend + "Content-Length: 12\r\n\r\n{\"screen\":2}"), 200);
    EXPECT_EQ(Status(kSend + "Transfer-Encoding: chunked\r\n\r\nc\r\n{\"screen\":2}\r\n0\r\n\r\n"),
              200);
    EXPECT_EQ(session.calls, (std::vector<std::string>{"select 2", "send", "select 2", "send"}));
}

// Requests that follow one another on a kept connection are each framed where they begin,
// though the HTTP server has read part of the stream already.
TEST_F(RemoteServerTest, KeptConnectionsAreFramedRequestByRequest) {
    std::unique_ptr<QTcpSocket> socket = Connect();
    QByteArray got;
    QObject::connect(socket.get(), &QTcpSocket::readyRead, [&] { got += socket->readAll(); });
    const auto status = [&](const QByteArray& request) {
        got.clear();
        socket->write(request);
        EXPECT_TRUE(WaitFor([&] {
            return AnswerWhole(got) || socket->state() == QAbstractSocket::UnconnectedState;
        }));
        return got.startsWith("HTTP/1.1 ") ? got.mid(9, 3).toInt() : 0;
    };
    EXPECT_EQ(status(kSend + "Content-Length: 12\r\n\r\n{\"screen\":3}"), 200);
    EXPECT_EQ(status(kSend +
                     "Transfer-Encoding: chunked\r\n\r\n4\r\n{\"sc\r\n8\r\nreen\":4}\r\n0\r\n\r\n"),
              200);
    EXPECT_EQ(status(kSend + "Content-Length: 12\r\nContent-Length: 12\r\n\r\n{\"screen\":2}"),
              400);
    EXPECT_TRUE(got.endsWith("{\"error\":\"the request's framing is not well formed\"}"))
        << got.constData();
    EXPECT_EQ(session.calls, (std::vector<std::string>{"select 3", "send", "select 4", "send"}));
    // A request that comes a byte at a time is framed as it comes.
    got.clear();
    socket = Connect();
    QObject::connect(socket.get(), &QTcpSocket::readyRead, [&] { got += socket->readAll(); });
    const QByteArray trickled = kSend + "Content-Length: 12\r\n\r\n{\"screen\":1}";
    for (char c : trickled) {
        socket->write(&c, 1);
        socket->waitForBytesWritten(1000);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    EXPECT_TRUE(WaitFor([&] { return AnswerWhole(got); }));
    EXPECT_TRUE(got.startsWith("HTTP/1.1 200")) << got.constData();
}

// The authority in an absolute-form target is the request's host.
TEST_F(RemoteServerTest, AnAbsoluteTargetIsCheckedAsTheHost) {
    const QByteArray rest = " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer s3cret\r\n\r\n";
    EXPECT_EQ(Status("GET http://evil.example/api/v1/status" + rest), 421);
    EXPECT_EQ(Status("GET http://127.0.0.1@evil.example/api/v1/status" + rest), 421);
    EXPECT_EQ(Status("GET /api/v1/status" + rest), 200);
}

// A header of an answer, as its value; empty when it is absent.
QByteArray HeaderValue(const QByteArray& answer, const QByteArray& name) {
    const QByteArray head = answer.left(answer.indexOf("\r\n\r\n") + 2).toLower();
    const qsizetype at = head.indexOf("\r\n" + name.toLower() + ": ");
    if (at < 0) return {};
    const qsizetype from = at + name.size() + 4;
    return answer.mid(from, head.indexOf("\r\n", from) - from);
}

QByteArray Get(const QByteArray& path, const QByteArray& host = "127.0.0.1") {
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
}

// The operator's page comes without a token, from this interface's Host alone, with the
// headers that keep other sites from framing it or running anything it does not carry; the
// page itself holds no inline script or style such a policy would have to allow.
TEST_F(RemoteServerTest, ThePageIsServedWithItsGuards) {
    for (const QByteArray path : {"/ui/", "/ui/index.html", "/ui/ui.css", "/ui/ui.js"}) {
        const QByteArray page = Exchange(Get(path));
        EXPECT_TRUE(page.startsWith("HTTP/1.1 200")) << path.constData();
        EXPECT_EQ(HeaderValue(page, "X-Frame-Options"), "DENY") << path.constData();
        const QByteArray policy = HeaderValue(page, "Content-Security-Policy");
        EXPECT_TRUE(policy.contains("frame-ancestors 'none'")) << policy.constData();
        EXPECT_TRUE(policy.contains("script-src 'self';")) << policy.constData();
        EXPECT_FALSE(policy.contains("unsafe")) << policy.constData();
        EXPECT_EQ(HeaderValue(page, "X-Content-Type-Options"), "nosniff");
        EXPECT_GT(page.size() - page.indexOf("\r\n\r\n"), 100) << path.constData();
    }
    EXPECT_TRUE(HeaderValue(Exchange(Get("/ui/")), "Content-Type").startsWith("text/html"));
    EXPECT_TRUE(
        HeaderValue(Exchange(Get("/ui/ui.js")), "Content-Type").startsWith("text/javascript"));
    EXPECT_TRUE(HeaderValue(Exchange(Get("/ui/ui.css")), "Content-Type").startsWith("text/css"));
    const QByteArray html = Exchange(Get("/ui/")).toLower();
    for (const char* inline_ :
         {"<script>", "<style", " style=", " onclick=", " onload=", "javascript:"})
        EXPECT_FALSE(html.contains(inline_)) << inline_;
    EXPECT_TRUE(html.contains("<script src=\"ui.js\""));

    const QByteArray bare = Exchange(Get("/ui"));
    EXPECT_TRUE(bare.startsWith("HTTP/1.1 308")) << bare.constData();
    EXPECT_EQ(HeaderValue(bare, "Location"), "/ui/");
    EXPECT_EQ(Status(Get("/ui/../api/v1/status")), 404);
    EXPECT_EQ(Status(Get("/ui/nothing.js")), 404);
    EXPECT_EQ(Status("POST /ui/ HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n"), 405);
    EXPECT_EQ(Status(Get("/ui/", "evil.example")), 421);

    // Answers of the API are never kept by a cache: they hold what is on air now.
    const QByteArray status = Exchange(
        "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer s3cret\r\n\r\n");
    EXPECT_EQ(HeaderValue(status, "Cache-Control"), "no-store");
    EXPECT_EQ(HeaderValue(status, "Tessora-Access"), "control");
}

// The page's calls carry its own origin, this interface's Host and port: they run. Every
// other page, one on another port of this machine included, is refused before anything runs.
TEST_F(RemoteServerTest, OwnOriginCallsAndOthersAreRefused) {
    const QByteArray send = kSend + "Content-Length: 0\r\nOrigin: ";
    const QByteArray own = "http://127.0.0.1:" + QByteArray::number(port);
    EXPECT_EQ(Status(send + own + "\r\n\r\n"), 200);
    EXPECT_EQ(session.calls, std::vector<std::string>{"send"});
    for (const QByteArray& other :
         {QByteArray("http://evil.example"), "http://127.0.0.1:" + QByteArray::number(port + 1),
          "http://evil.example:" + QByteArray::number(port),
          "https://127.0.0.1:" + QByteArray::number(port), QByteArray("null")})
        EXPECT_EQ(Status(send + other + "\r\n\r\n"), 403) << other.constData();
    EXPECT_EQ(session.calls, std::vector<std::string>{"send"});
}

// The view token reads the status and may open the push channel; every command with it is
// refused and reaches nothing of the window.
TEST_F(RemoteServerTest, TheViewTokenIsRefusedEveryCommand) {
    const QByteArray look = "Host: 127.0.0.1\r\nAuthorization: Bearer l00k\r\n";
    const QByteArray json = "Content-Type: application/json\r\n";
    for (const QByteArray& command :
         {"PUT /api/v1/screens/1 HTTP/1.1\r\n" + look + json +
              "Content-Length: 14\r\n\r\n{\"text\": \"hi\"}",
          "POST /api/v1/screens/2/select HTTP/1.1\r\n" + look + json + "Content-Length: 0\r\n\r\n",
          "POST /api/v1/send HTTP/1.1\r\n" + look + json +
              "Content-Length: 12\r\n\r\n{\"screen\":2}",
          "POST /api/v1/clear HTTP/1.1\r\n" + look + json + "Content-Length: 0\r\n\r\n",
          "POST /api/v1/cues/take HTTP/1.1\r\n" + look + json + "Content-Length: 0\r\n\r\n",
          "POST /api/v1/cues/next HTTP/1.1\r\n" + look + json + "Content-Length: 0\r\n\r\n",
          "POST /api/v1/cues/previous HTTP/1.1\r\n" + look + json + "Content-Length: 0\r\n\r\n"}) {
        const QByteArray answer = Exchange(command);
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 403")) << command.constData() << answer.constData();
    }
    EXPECT_TRUE(session.calls.empty());
    const QByteArray status = Exchange("GET /api/v1/status HTTP/1.1\r\n" + look + "\r\n");
    EXPECT_TRUE(status.startsWith("HTTP/1.1 200")) << status.constData();
    EXPECT_EQ(HeaderValue(status, "Tessora-Access"), "view");
    EXPECT_EQ(Status("GET /api/v1/events?token=l00k HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                     "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                     "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"),
              101);
}

// A client that pings and never reads the answers is dropped once they pile up past the
// push channel's backlog, long before its pings stop or its pong limit runs out.
TEST_F(RemoteServerTest, APingFloodIsDroppedOverTheBacklog) {
    std::unique_ptr<QTcpSocket> socket = Connect();
    QByteArray got;
    QObject::connect(socket.get(), &QTcpSocket::readyRead, [&] { got += socket->readAll(); });
    socket->write(
        "GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer s3cret\r\n"
        "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    ASSERT_TRUE(WaitFor([&] { return got.contains("\r\n\r\n"); }));
    ASSERT_TRUE(got.startsWith("HTTP/1.1 101")) << got.constData();
    // From now on nothing is read: the answers stay with the program and the kernel.
    QObject::disconnect(socket.get(), &QTcpSocket::readyRead, nullptr, nullptr);
    socket->setReadBufferSize(1);
    // A masked ping with the most a control frame holds.
    QByteArray ping("\x89\xfd\x01\x02\x03\x04", 6);
    ping += QByteArray(125, 'p');
    QByteArray batch;
    for (int i = 0; i < 500; ++i) batch += ping;
    // Far more than the backlog and the kernel's buffers both ways hold.
    constexpr qint64 kBound = 256LL * 1024 * 1024;
    qint64 sent = 0;
    const bool dropped = WaitFor(
        [&] {
            if (socket->state() != QAbstractSocket::ConnectedState) return true;
            if (sent >= kBound) return false;
            if (socket->bytesToWrite() < 1024 * 1024) {
                socket->write(batch);
                sent += batch.size();
            }
            return false;
        },
        12000);
    EXPECT_TRUE(dropped) << sent << " bytes of pings sent";
}

// When the waiting line is full, a panel that comes with the token takes the place of the
// client waiting longest without it, and is served when a slot frees.
TEST_F(RemoteServerTest, AFullWaitingLineDropsItsOldestClientWithoutTheToken) {
    const QByteArray status =
        "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer s3cret\r\n\r\n";
    // Every slot held by a client with the token, kept open between its requests.
    std::vector<std::unique_ptr<QTcpSocket>> holders;
    std::vector<QByteArray> answers(64);
    for (int i = 0; i < 64; ++i) {
        holders.push_back(Connect());
        QTcpSocket* holder = holders.back().get();
        QObject::connect(holder, &QTcpSocket::readyRead,
                         [&answers, holder, i] { answers[i] += holder->readAll(); });
        holder->write(status);
    }
    ASSERT_TRUE(WaitFor([&] {
        for (const QByteArray& answer : answers)
            if (!AnswerWhole(answer)) return false;
        return true;
    }));
    std::vector<std::unique_ptr<QTcpSocket>> waiting;
    for (int i = 0; i < 64; ++i) waiting.push_back(Connect());
    std::unique_ptr<QTcpSocket> panel = Connect();
    QByteArray answer;
    QObject::connect(panel.get(), &QTcpSocket::readyRead, [&] { answer += panel->readAll(); });
    panel->write(status);
    ASSERT_TRUE(
        WaitFor([&] { return waiting.front()->state() == QAbstractSocket::UnconnectedState; }));
    for (std::size_t i = 1; i < waiting.size(); ++i)
        EXPECT_EQ(waiting[i]->state(), QAbstractSocket::ConnectedState) << i;
    EXPECT_EQ(panel->state(), QAbstractSocket::ConnectedState);
    holders.front()->abort();
    EXPECT_TRUE(WaitFor([&] { return AnswerWhole(answer); }));
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.constData();
}

}  // namespace
}  // namespace remote

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
