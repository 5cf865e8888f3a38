#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Exceptions.h"
#include "File.h"

// A file as a POSIX descriptor.

CFile::~CFile() {
    if (IsOpen()) ::close(m_hFile);
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error) {
    const std::string fullPath = FullPath(path);
    const auto refuse = [&](int osError) {
        if (error) *error = CFileException::FromErrno(osError, fullPath);
        return false;
    };
    if (IsOpen()) return refuse(EBUSY);

    int osFlags = O_CLOEXEC | O_NOCTTY;
    // A pipe would block the open until a writer came; non-regular files are refused below.
    osFlags |= O_NONBLOCK;
    if (flags & modeWrite) {
        osFlags |= O_WRONLY;
        if (flags & modeCreate) osFlags |= O_CREAT | O_TRUNC;
    } else {
        osFlags |= O_RDONLY;
    }
    const int fd = ::open(fullPath.c_str(), osFlags, 0666);
    if (fd < 0) return refuse(errno);

    struct stat status {};
    const int osError = ::fstat(fd, &status) != 0 ? errno : S_ISREG(status.st_mode) ? 0 : EACCES;
    if (osError != 0) {
        ::close(fd);
        return refuse(osError);
    }
    m_hFile = fd;
    m_strFileName = fullPath;
    return true;
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(m_hFile, bytes + done, count - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void CFile::Write(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    ssize_t put = -1;
    do {
        put = ::write(m_hFile, bytes, count);
    } while (put < 0 && errno == EINTR);
    if (put < 0) Fail(errno);
    if (static_cast<std::size_t>(put) != count) {
        throw CFileException(CFileException::Cause::diskFull, m_strFileName);
    }
}

std::uint64_t CFile::GetLength() const {
    struct stat status {};
    if (::fstat(m_hFile, &status) != 0) Fail(errno);
    return static_cast<std::uint64_t>(status.st_size);
}

std::uint64_t CFile::GetPosition() const {
    const off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    if (position < 0) Fail(errno);
    return static_cast<std::uint64_t>(position);
}

void CFile::Flush() {
    if (::fsync(m_hFile) != 0) Fail(errno);
}

void CFile::Close() {
    if (!IsOpen()) return;
    const int fd = m_hFile;
    m_hFile = -1;
    // The descriptor is gone whatever close() says, so it is never retried.
    if (::close(fd) != 0 && errno != EINTR) Fail(errno);
}
