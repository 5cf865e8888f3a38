#include "SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QVariantMap>
#include <cctype>
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

bool WriteWhole(int fd, const QByteArray& bytes) {
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + at, bytes.size() - at);
        if (written <= 0) return false;
        at += written;
    }
    return true;
}

void Keep(const QString& path) {
    const std::string kept = (path + QStringLiteral(".bak")).toStdString();
    ::unlink(kept.c_str());
    const int fd =
        ::open(kept.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (fd < 0) return;
    WriteWhole(fd, FileBytes(path));
    ::close(fd);
}

// The folders the program makes are its owner's alone.
void MakeFolders(const std::filesystem::path& folder) {
    std::filesystem::path made;
    for (const std::filesystem::path& part : folder) {
        made /= part;
        ::mkdir(made.c_str(), kFolderMode);
    }
}

// A text as the store's reader takes it back: backslash escapes for control characters,
// quotes and backslashes, the whole quoted where a ";", "," or "=" or an edge space would
// otherwise be read apart, and a leading "@" doubled (one alone starts a typed value).
QByteArray IniValue(const QString& text) {
    QByteArray value;
    bool quote = false;
    bool escapedHex = false;  // a hex digit after \xNN would be read as part of it
    for (const QChar c : text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text) {
        const char16_t ch = c.unicode();
        quote = quote || ch == ';' || ch == ',' || ch == '=';
        if (escapedHex && std::isxdigit(ch < 0x80 ? ch : 0)) {
            value += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapedHex = false;
        if (ch == '"' || ch == '\\') {
            value += '\\';
            value += static_cast<char>(ch);
        } else if (ch < 0x20 || ch == 0x7F) {
            value += "\\x" + QByteArray::number(ch, 16);
            escapedHex = true;
        } else {
            value += QString(c).toUtf8();
        }
    }
    if (quote || value.startsWith(' ') || value.endsWith(' ')) value = '"' + value + '"';
    return value;
}

// Every value of a file as the store reads it, its own fallbacks left out.
QVariantMap Values(QSettings&& store) {
    store.setFallbacksEnabled(false);
    QVariantMap values;
    for (const QString& key : store.allKeys()) values.insert(key, store.value(key));
    return values;
}

// Sets key to value ("Group/Name"), as text that reads back as expected, by changing its line
// alone: whatever else the file holds, as the operator wrote it, stays. A file not read as
// written is left as it is until it is mended, lest it be "mended" into another reading; a
// change that would have any other value read otherwise keeps the file as it was first.
void Store(const QString& key, const QByteArray& value, const QString& expected) {
    const QString path = openStore().fileName();
    const QByteArray bytes = FileBytes(path);
    if (ReadLines(bytes).misread) return;
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    const std::string group = slash < 0 ? "General" : key.left(slash).toStdString();
    const std::string name = key.mid(slash + 1).toStdString();
    const std::string next = WithSetting(std::string_view(bytes.constData(), bytes.size()), group,
                                         name, std::string_view(value.constData(), value.size()));
    if (ReadSettingsLines(next).misread) return;

    // Written beside it (mkstemp makes it the owner's alone) and put in its place whole; a
    // link is written through, as the operator keeps it.
    std::error_code error;
    std::filesystem::path file = std::filesystem::canonical(path.toStdString(), error);
    if (error) file = path.toStdString();
    MakeFolders(file.parent_path());
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return;
    const bool written = WriteWhole(fd, QByteArray::fromStdString(next));
    // The store tells a changed file by its size and modification time to the millisecond.
    struct stat before {};
    struct stat after {};
    if (written && ::stat(file.c_str(), &before) == 0 && ::fstat(fd, &after) == 0 &&
        before.st_size == after.st_size &&
        before.st_mtim.tv_sec * 1000 + before.st_mtim.tv_nsec / 1000000 >=
            after.st_mtim.tv_sec * 1000 + after.st_mtim.tv_nsec / 1000000) {
        timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
        times[1].tv_nsec += 1000000;
        if (times[1].tv_nsec >= 1000000000) {
            times[1].tv_nsec -= 1000000000;
            ++times[1].tv_sec;
        }
        ::futimens(fd, times);
    }
    ::close(fd);
    QVariantMap now = Values(openStore());
    QVariantMap then = Values(QSettings(QString::fromStdString(temporary), QSettings::IniFormat));
    const QVariant read = then.take(key);
    now.remove(key);
    if (!written || read.typeId() == QMetaType::QStringList || read.toString() != expected) {
        ::unlink(temporary.c_str());
        return;
    }
    if (now != then) Keep(path);
    if (::rename(temporary.c_str(), file.c_str()) != 0) ::unlink(temporary.c_str());
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
    const QString text = FromAnsi(value);
    Store(QLatin1String(name), IniValue(text), text);
}

void SettingsStore::WriteInt32(const char* name, std::int32_t value) {
    const QString text = QString::number(value);
    Store(QLatin1String(name), text.toLatin1(), text);
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
