#include "SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "Charset.h"

namespace {

QSettings openStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvercrest"),
                     QStringLiteral("Tessora"));
}

// Whether rewriting the file from what could be read of it keeps every setting it holds. It
// does not when a line cannot be read, or when a value runs on over the lines after it (an
// unclosed quote swallows a [Ports] group). Read from a copy: the store's own reading of a
// file is shared and would not say again what went wrong the first time.
bool ReadsCleanly(const QByteArray& bytes) {
    QTemporaryDir folder;
    if (!folder.isValid()) return true;
    const QString copy = folder.filePath(QStringLiteral("Tessora.conf"));
    QFile out(copy);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return true;
    out.close();
    const QSettings parsed(copy, QSettings::IniFormat);
    if (parsed.status() != QSettings::NoError) return false;
    qsizetype settingLines = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray text = line.trimmed();
        if (!text.isEmpty() && text[0] != ';' && text[0] != '[' && text.contains('='))
            ++settingLines;
    }
    return parsed.allKeys().size() >= settingLines;
}

// Called before each write, which rewrites the whole file from what could be read of it. A
// file that did not read cleanly is kept beside it first, as Tessora.conf.bak.
void KeepUnreadableFile() {
    const QString path = openStore().fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || ReadsCleanly(file.readAll())) return;
    const QString kept = path + QStringLiteral(".bak");
    QFile::remove(kept);
    QFile::copy(path, kept);
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

std::vector<std::string> SettingsStore::ReadList(const char* name) const {
    const QVariant v = openStore().value(QLatin1String(name));
    const QStringList parts = v.typeId() == QMetaType::QStringList
                                  ? v.toStringList()
                                  : v.toString().split(QLatin1Char(','));
    std::vector<std::string> items;
    for (const QString& part : parts)
        if (!part.trimmed().isEmpty()) items.push_back(part.trimmed().toStdString());
    return items;
}

void SettingsStore::WriteText(const char* name, const std::string& value) {
    KeepUnreadableFile();
    openStore().setValue(QLatin1String(name), FromAnsi(value));
}

void SettingsStore::WriteInt32(const char* name, std::int32_t value) {
    KeepUnreadableFile();
    openStore().setValue(QLatin1String(name), static_cast<int>(value));
}

std::vector<std::pair<std::u16string, std::string>> SettingsStore::ReadPaths(
    const char* group) const {
    QSettings store = openStore();
    store.beginGroup(QLatin1String(group));
    std::vector<std::pair<std::u16string, std::string>> paths;
    for (const QString& name : store.childKeys()) {
        const QVariant v = store.value(name);
        if (v.typeId() == QMetaType::QStringList) continue;
        paths.emplace_back(name.toStdU16String(), v.toString().toStdString());
    }
    return paths;
}

std::string SettingsStore::FileName() {
    return openStore().fileName().toStdString();
}
