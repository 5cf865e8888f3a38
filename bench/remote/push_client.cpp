// A client of the program's push channel for the tests and the figures: prints each message
// it gets on a line of its own, and "closed" on standard error when the program ends it.
//   push_client URL [--token T] [--origin O] [--stall] [--bench N]
// --stall stops the whole process after the first message, as a client that stops reading.
// --bench N posts N Sends and prints how long each took to come back as an on_air message.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QWebSocket>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

struct Bench {
    int left = 0;
    QElapsedTimer sent;
    std::vector<double> ms;
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: push_client URL [--token T] [--origin O] [--stall] [--bench N]\n");
        return 2;
    }
    const QUrl url(args[1]);
    QByteArray token;
    QString origin;
    bool stall = false;
    Bench bench;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == "--token" && i + 1 < args.size())
            token = args[++i].toUtf8();
        else if (args[i] == "--origin" && i + 1 < args.size())
            origin = args[++i];
        else if (args[i] == "--stall")
            stall = true;
        else if (args[i] == "--bench" && i + 1 < args.size())
            bench.left = args[++i].toInt();
    }

    QWebSocket socket(origin);
    QNetworkAccessManager http;
    const auto postSend = [&] {
        QUrl send = url;
        send.setScheme(QStringLiteral("http"));
        send.setPath(QStringLiteral("/api/v1/send"));
        send.setQuery(QString());
        QNetworkRequest request(send);
        request.setRawHeader("Authorization", "Bearer " + token);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        bench.sent.start();
        QNetworkReply* reply = http.post(request, QByteArray("{}"));
        QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    };
    bool first = true;
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [&](const QString& message) {
        if (bench.left == 0) {
            std::printf("%s\n", message.toUtf8().constData());
            std::fflush(stdout);
        }
        if (std::exchange(first, false)) {
            if (stall) std::raise(SIGSTOP);
            if (bench.left > 0) postSend();
            return;
        }
        if (bench.left == 0) return;
        const QJsonObject object = QJsonDocument::fromJson(message.toUtf8()).object();
        if (object.value("type") != "on_air") return;
        bench.ms.push_back(static_cast<double>(bench.sent.nsecsElapsed()) / 1e6);
        if (--bench.left > 0) {
            postSend();
            return;
        }
        std::vector<double> sorted = bench.ms;
        std::sort(sorted.begin(), sorted.end());
        std::printf("send to on_air over %zu: median %.1f ms, worst %.1f ms\n", sorted.size(),
                    sorted[sorted.size() / 2], sorted.back());
        app.quit();
    });
    QObject::connect(&socket, &QWebSocket::disconnected, [&] {
        std::fprintf(stderr, "closed %d %s\n", socket.closeCode(),
                     socket.errorString().toUtf8().constData());
        app.exit(first ? 1 : 0);
    });
    QNetworkRequest request(url);
    if (!token.isEmpty()) request.setRawHeader("Authorization", "Bearer " + token);
    socket.open(request);
    return app.exec();
}
