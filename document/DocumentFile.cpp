#include "DocumentFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "Archive.h"
#include "File.h"

namespace fs = std::filesystem;

namespace {

// The file a save replaces: for a symbolic link the file it names, so the link survives the
// save as it would survive a write in place.
std::string ReplacedPath(const std::string& target) {
    std::error_code error;
    if (fs::is_symlink(target, error)) {
        const auto real = fs::canonical(target, error);
        if (!error) return real.string();
    }
    return target;
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

}  // namespace

bool LoadDocument(const std::string& path, CTessoraFile& doc, CFileException* openError) {
    CFile file;
    if (!file.Open(path, CFile::modeRead, openError)) return false;
    CArchive ar(file, CArchive::load);
    doc.Serialize(ar);
    ar.Close();
    file.Close();
    return true;
}

bool SaveDocument(const CTessoraFile& doc, const std::string& path, CFileException* openError) {
    const std::string target = FullPath(path);
    const fs::path replaced = ReplacedPath(target);
    const auto refuse = [&](int osError) {
        if (openError) *openError = CFileException::FromErrno(osError, target);
        return false;
    };

    struct stat existing {};
    const bool exists = ::stat(replaced.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return refuse(errno);
    if (exists) {
        // Refuse what a write in place would refuse.
        if (!S_ISREG(existing.st_mode)) return refuse(EACCES);
        const int probe = ::open(replaced.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (probe < 0) return refuse(errno);
        ::close(probe);
    }

    std::string tempPath;
    const int fd = CreateTempBeside(replaced, tempPath);
    if (fd < 0) return refuse(errno);
    try {
        CFile file(fd, target);
        CArchive ar(file, CArchive::store);
        doc.Store(ar);
        ar.Close();
        if (exists) {
            // The new file takes the old one's place with its permissions and, where allowed,
            // its owner.
            if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
                // Only a privileged process may give a file away; the permissions still apply.
            }
            if (::fchmod(fd, existing.st_mode & 07777) != 0) {
                throw CFileException::FromErrno(errno, target);
            }
        }
        file.Flush();
        file.Close();
        if (::rename(tempPath.c_str(), replaced.c_str()) != 0) {
            throw CFileException::FromErrno(errno, target);
        }
    } catch (...) {
        ::unlink(tempPath.c_str());
        throw;
    }
    SyncFolder(replaced.parent_path(), target);
    return true;
}
