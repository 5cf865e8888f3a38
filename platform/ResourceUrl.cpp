#include "ResourceUrl.h"

#include <QFile>

QUrl ResourceUrl(int resourceId) {
    return QUrl(QStringLiteral("res://Tessora.exe/%1").arg(resourceId));
}

QString ResourcePathForUrl(const QUrl& url) {
    if (url.scheme() != QLatin1String(kResScheme) ||
        url.host().compare(QLatin1String("tessora.exe"), Qt::CaseInsensitive) != 0)
        return {};
    const QString path = url.path().toLower();
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QLatin1String(".."))) return {};
    const QString file = QStringLiteral(":/res") + path;
    return QFile::exists(file) ? file : QString();
}
