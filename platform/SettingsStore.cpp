#include "SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <filesystem>

#include "Charset.h"
#include "SettingsLines.h"

namespace {

QSettings openStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvercrest"),
                     QStringLiteral("Tessora"));
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SettingsLines ReadLines(const QByteArray& bytes) {
    return ReadSettingsLines(std::string_view(bytes.constData(), bytes.size()));
}

// The file and its copy hold the remote token: they are for their owner's eyes only.
constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

void Keep(const QString& path) {
    const QByteArray bytes = FileBytes(path);
    const std::string kept = (path + QStringLiteral(".bak")).toStdString();
    ::unlink(kept.c_str());
    const int fd =
        ::open(kept.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (fd < 0) return;
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + at, bytes.size() - at);
        if (written <= 0) break;
        at += written;
    }
    ::close(fd);
}

// The folders the program makes are its owner's alone; the file is made, or taken back, as
// its owner's before the store writes it, and the store keeps a file's mode when it rewrites.
void MakePrivate(const QString& path) {
    const std::filesystem::path file = path.toStdString();
    std::filesystem::path folder;
    for (const std::filesystem::path& part : file.parent_path()) {
        folder /= part;
        ::mkdir(folder.c_str(), kFolderMode);
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, kFileMode);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) ::fchmod(fd, kFileMode);
    ::close(fd);
}

// Called before each write, which rewrites the whole file from what could be read of it. A
// file that a rewrite would not give back line for line is kept beside it first.
void KeepUnreadableFile() {
    const QString path = openStore().fileName();
    if (ReadLines(FileBytes(path)).rewriteLosesLines) Keep(path);
    MakePrivate(path);
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

std::optional<std::string> SettingsStore::CheckFile() {
    const QString path = openStore().fileName();
    const std::optional<SettingsLines::Misread> misread = ReadLines(FileBytes(path)).misread;
    if (!misread) return std::nullopt;
    Keep(path);
    return path.toStdString() + ", line " + std::to_string(misread->line) + ": " + misread->why +
           ".";
}
