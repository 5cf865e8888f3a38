#include "AsRunFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

#include "AsRunText.h"

namespace {

// The date of a day file's name, YYYY-MM-DD.jsonl exactly.
std::optional<std::chrono::sys_days> DayOfName(const std::string& name) {
    if (name.size() != 16 || !name.ends_with(".jsonl")) return std::nullopt;
    return ParseDay(std::string_view(name).substr(0, 10));
}

// What a path that is no regular file is, in words; "" for a regular file or nothing.
std::string KindOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return {};
    if (S_ISLNK(info.st_mode)) return "it is a link, not a day file";
    if (S_ISDIR(info.st_mode)) return "it is a folder, not a day file";
    if (S_ISFIFO(info.st_mode)) return "it is a FIFO, not a day file";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "it is a device, not a day file";
    return "it is no regular file";
}

}  // namespace

int OpenDayFile(const std::filesystem::path& path, int flags, int mode, std::string& why) {
    // A device is not even opened: opening one may act on it (a serial line's DTR).
    why = KindOf(path);
    if (!why.empty()) {
        errno = EINVAL;
        return -1;
    }
    // O_NONBLOCK: should a FIFO or a device take the name meanwhile, it opens at once, to be
    // refused below, rather than hang.
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    const int error = fd < 0 ? errno : EINVAL;
    if (fd >= 0) ::close(fd);
    why = KindOf(path);
    if (why.empty()) why = std::strerror(error);
    errno = error;
    return -1;
}

std::filesystem::path AsRunFolder() {
    // A relative XDG_STATE_HOME is to be ignored, as the base directory rules say.
    const char* state = std::getenv("XDG_STATE_HOME");
    std::filesystem::path base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !home[0]) {
            const passwd* user = ::getpwuid(::getuid());
            home = user ? user->pw_dir : "/";
        }
        base = std::filesystem::path(home) / ".local" / "state";
    }
    return base / "Halvercrest" / "Tessora" / "as-run";
}

AsRunFile::AsRunFile(std::filesystem::path folder, std::function<void(const std::string&)> onFailed,
                     std::function<void()> onWrittenAgain)
    : m_folder(std::move(folder)),
      m_onFailed(std::move(onFailed)),
      m_onWrittenAgain(std::move(onWrittenAgain)) {}

AsRunFile::~AsRunFile() {
    Close();
}

void AsRunFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_openDay.clear();
}

// Whether the open file is still the one its path names: not deleted, moved away or
// replaced, nor its folder.
bool AsRunFile::StillThere() const {
    struct stat open {};
    struct stat named {};
    return ::fstat(m_fd, &open) == 0 && open.st_nlink > 0 && ::lstat(m_path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool AsRunFile::Open(const std::string& day) {
    if (m_fd >= 0 && m_openDay == day) {
        if (StillThere()) return true;
        std::fprintf(stderr, "tessora: as-run log: %s: gone while written, made again\n",
                     m_path.c_str());
    }
    Close();
    m_path = m_folder / (day + ".jsonl");
    constexpr int kFlags = O_WRONLY | O_CREAT | O_APPEND;
    m_fd = OpenDayFile(m_path, kFlags, 0666, m_why);
    if (m_fd < 0 && errno == ENOENT) {
        std::error_code error;
        std::filesystem::create_directories(m_folder, error);
        m_fd = OpenDayFile(m_path, kFlags, 0666, m_why);
    }
    if (m_fd < 0) return false;
    m_openDay = day;
    return true;
}

bool AsRunFile::Append(const std::string& day, std::string_view line) {
    if (!Open(day)) {
        Failed(m_why);
        return false;
    }
    const ssize_t written = ::write(m_fd, line.data(), line.size());
    if (written != static_cast<ssize_t>(line.size())) {
        // A short write has no error of its own: the file system is full. Its piece of a line
        // is taken back, so the next line does not join it.
        const int error = written < 0 ? errno : ENOSPC;
        if (written > 0) {
            const off_t end = ::lseek(m_fd, 0, SEEK_CUR);
            if (end >= written && ::ftruncate(m_fd, end - written) != 0) {
                // Left torn; a reader skips a line it cannot read.
            }
        }
        Close();
        Failed(std::strerror(error));
        return false;
    }
    if (m_bFailing) {
        m_bFailing = false;
        std::fprintf(stderr, "tessora: as-run log: %s: written again\n", m_path.c_str());
        if (m_onWrittenAgain) m_onWrittenAgain();
    }
    return true;
}

void AsRunFile::Failed(const std::string& reason) {
    if (m_bFailing) return;
    m_bFailing = true;
    std::fprintf(stderr, "tessora: as-run log: %s: %s\n", m_path.c_str(), reason.c_str());
    if (m_onFailed) m_onFailed(reason);
}

int RemoveOldDays(const std::filesystem::path& folder, std::chrono::sys_days today, int keepDays) {
    if (keepDays < 1) return 0;
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::optional<std::chrono::sys_days> day =
            DayOfName(entry->path().filename().string());
        if (!day || today - *day <= std::chrono::days{keepDays}) continue;
        // A link or a folder of that name is no file this program wrote.
        std::error_code kind;
        if (!entry->is_regular_file(kind) || entry->is_symlink(kind)) continue;
        std::error_code gone;
        if (std::filesystem::remove(entry->path(), gone)) ++removed;
    }
    return removed;
}
