// A web page of another origin, served on 127.0.0.1:PAGE_PORT and loaded in the browser
// engine, that calls the program's interface on API_PORT as a page in the operator's browser
// could. "foreign": a no-cors POST to send, a plain HTML form posting to clear, and a PUT
// with the token (as if it had leaked); "listed": a PUT and a send with the token, as a
// panel page whose origin the settings list. Prints the page's title, which reports what
// each call came to, once the page says it is done.
#include <QApplication>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QWebEngineView>
#include <cstdio>

namespace {

const char kPage[] = R"(<!doctype html><title>running</title><body><script>
const api = "http://127.0.0.1:%1/api/v1/", token = "%2", results = [];
const note = (what, outcome) => results.push(what + ":" + outcome);
async function call(what, path, init) {
    try {
        const answer = await fetch(api + path, init);
        note(what, answer.type === "opaque" ? "opaque" : answer.status);
    } catch (e) { note(what, e.name); }
}
function submitForm() {
    return new Promise(resolve => {
        const sink = document.createElement("iframe");
        sink.name = "sink";
        sink.onload = () => { note("form", "answered"); resolve(); };
        document.body.appendChild(sink);
        const form = document.createElement("form");
        form.method = "post"; form.enctype = "text/plain"; form.target = "sink";
        form.action = api + "clear";
        const field = document.createElement("input");
        field.name = "{\"x\": \""; field.value = "\"}";
        form.appendChild(field);
        document.body.appendChild(form);
        form.submit();
    });
}
const json = {"Authorization": "Bearer " + token, "Content-Type": "application/json"};
async function run() {
    if ("%3" === "foreign") {
        await call("send", "send", {method: "POST", mode: "no-cors", body: '{"screen": 2}'});
        await submitForm();
        await call("put", "screens/1", {method: "PUT", headers: json, body: '{"text": "pwned"}'});
    } else {
        await call("put", "screens/1", {method: "PUT", headers: json, body: '{"text": "Panel"}'});
        await call("send", "send", {method: "POST", headers: json, body: "{}"});
    }
    document.title = "done " + results.join(" ");
}
run();
</script>)";

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s PAGE_PORT API_PORT TOKEN foreign|listed\n", argv[0]);
        return 2;
    }
    const QString page = QString::fromUtf8(kPage).arg(
        QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]), QString::fromUtf8(argv[4]));
    QHttpServer server;
    server.route("/", [page] { return QHttpServerResponse("text/html", page.toUtf8()); });
    const quint16 port = QString::fromUtf8(argv[1]).toUShort();
    if (server.listen(QHostAddress::LocalHost, port) != port) {
        std::fprintf(stderr, "cannot serve the page on port %u\n", port);
        return 1;
    }
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::titleChanged, [](const QString& title) {
        if (!title.startsWith(QLatin1String("done"))) return;
        std::printf("%s\n", title.toUtf8().constData());
        QApplication::quit();
    });
    view.load(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    view.show();
    return app.exec();
}
