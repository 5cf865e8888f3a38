#include "ResScheme.h"

#include <QBuffer>
#include <QFile>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace {

class ResSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        const QString path = ResourcePathForUrl(job->requestUrl());
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer(job);
        buffer->setData(file.readAll());
        buffer->open(QIODevice::ReadOnly);
        const QByteArray mime = path.endsWith(QLatin1String(".bmp"))
                                    ? QByteArrayLiteral("image/bmp")
                                    : QByteArrayLiteral("text/html");
        job->reply(mime, buffer);
    }
};

}  // namespace

void RegisterResScheme() {
    QWebEngineUrlScheme scheme(kResScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void InstallResScheme(QWebEngineProfile* profile) {
    if (profile->urlSchemeHandler(kResScheme)) return;
    profile->installUrlSchemeHandler(kResScheme, new ResSchemeHandler(profile));
}
