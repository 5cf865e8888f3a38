#include "SettingsStore.h"

#include <QSettings>

#include "Charset.h"
#include "Port.h"

namespace {

QSettings openStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvercrest"),
                     QStringLiteral("Tessora"));
}

}  // namespace

std::optional<std::string> SettingsStore::ReadText(const char* name, std::size_t maxBytes) const {
    const QVariant v = openStore().value(QLatin1String(name));
    if (!v.isValid() || v.typeId() == QMetaType::QStringList) return std::nullopt;
    std::string text = ToAnsi(v.toString());
    if (text.size() > maxBytes) return std::nullopt;
    return text;
}

std::optional<std::int32_t> SettingsStore::ReadInt32(const char* name) const {
    const QVariant v = openStore().value(QLatin1String(name));
    if (!v.isValid()) return std::nullopt;
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

void SettingsStore::WriteText(const char* name, const std::string& value) {
    openStore().setValue(QLatin1String(name), FromAnsi(value));
}

void SettingsStore::WriteInt32(const char* name, std::int32_t value) {
    openStore().setValue(QLatin1String(name), static_cast<int>(value));
}

std::string SettingsStore::PortDevice(const std::u16string& portName) const {
    const QString name =
        QString::fromUtf16(portName.data(), static_cast<qsizetype>(portName.size()));
    const QString mapped = openStore().value(QStringLiteral("Ports/") + name).toString();
    if (!mapped.isEmpty() && !name.contains(QLatin1Char('/'))) return mapped.toStdString();
    return DefaultPortDevice(portName);
}
