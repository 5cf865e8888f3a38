#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "Archive.h"
#include "DocumentFile.h"
#include "File.h"

namespace fs = std::filesystem;

namespace {

// The file a save writes: for a symbolic link the file it names, followed link by link so
// that a link whose file does not exist yet gets that file rather than being replaced.
std::string WrittenPath(const std::string& target) {
    fs::path path = target;
    // As many links as the system itself follows; a longer chain is refused by stat below.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) break;
        const fs::path next = fs::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path.string();
}

// Creates a new, empty file in the folder of path, named after it. Returns -1 with errno set
// when the folder takes no new file.
int CreateTempBeside(const fs::path& path, std::string& tempPath) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    // A short name part keeps the temporary name within the file system's limit.
    std::string stem = ".";
    stem.append(path.filename().string(), 0, 64);
    stem += '.';
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        tempPath = (path.parent_path() / (stem + suffix)).string();
        const int fd =
            ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Makes the rename durable. The document is already in place, so only a failure of the disk
// itself is reported; a folder that cannot be opened or synced otherwise is left as it is.
void SyncFolder(const fs::path& folder, const std::string& target) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (result != 0 && error == EIO) throw CFileException::FromErrno(error, target);
}

// Gives a new file what the old one had: its owner, its group and its permissions. False
// when that is not allowed, and then only writing the old file in place keeps them.
bool TakeOver(int fd, const struct stat& old) {
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 && ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Rewrites the file itself: opened without truncating, so a failure before the first write
// leaves it whole, and cut to the document's length only once the document is written.
void SaveInPlace(const CTessoraFile& doc, const std::string& path, const std::string& target) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) throw CFileException::FromErrno(errno, target);
    CFile file(fd, target);
    CArchive ar(file, CArchive::store);
    doc.Store(ar);
    ar.Close();
    if (::ftruncate(fd, static_cast<off_t>(file.GetPosition())) != 0) {
        throw CFileException::FromErrno(errno, target);
    }
    file.Flush();
    file.Close();
}

}  // namespace

bool SaveDocument(const CTessoraFile& doc, const std::string& path, CFileException* openError) {
    const std::string target = FullPath(path);
    const fs::path written = WrittenPath(target);
    const auto refuse = [&](int osError) {
        if (openError) *openError = CFileException::FromErrno(osError, target);
        return false;
    };

    struct stat existing {};
    const bool exists = ::stat(written.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return refuse(errno);
    if (exists) {
        // Refuse what a write in place would refuse.
        if (!S_ISREG(existing.st_mode)) return refuse(EACCES);
        const int probe = ::open(written.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (probe < 0) return refuse(errno);
        ::close(probe);
    }

    // A new file replaces the old one only when it can keep everything the old one had: a
    // second link to it would be split off, and a folder that takes no new file, or an owner
    // or group we cannot give, leave the old file to be rewritten where it is.
    std::string tempPath;
    int fd = -1;
    if (!exists || existing.st_nlink == 1) {
        fd = CreateTempBeside(written, tempPath);
        if (fd < 0 && !exists) return refuse(errno);
        if (fd >= 0 && exists && !TakeOver(fd, existing)) {
            ::close(fd);
            ::unlink(tempPath.c_str());
            fd = -1;
        }
    }
    if (fd < 0) {
        SaveInPlace(doc, written, target);
        return true;
    }
    try {
        CFile file(fd, target);
        CArchive ar(file, CArchive::store);
        doc.Store(ar);
        ar.Close();
        file.Flush();
        file.Close();
        if (::rename(tempPath.c_str(), written.c_str()) != 0) {
            throw CFileException::FromErrno(errno, target);
        }
    } catch (...) {
        ::unlink(tempPath.c_str());
        throw;
    }
    SyncFolder(written.parent_path(), target);
    return true;
}
