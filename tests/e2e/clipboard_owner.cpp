// Owns the clipboard with the text given (percent-encoded, so "%00" is a NUL) until it is
// ended: what an operator copied elsewhere, for the window tests to paste. Says "ready" on
// its output once the text is on the clipboard.
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) return 2;
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(QByteArray::fromPercentEncoding(QByteArray(argv[1]))));
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
