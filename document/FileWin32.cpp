#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "Exceptions.h"
#include "File.h"

// A file as a descriptor of the Windows C runtime, always in binary mode: text mode would
// turn the format's CR LF bytes into LF and stop reading at a 0x1A byte.

CFile::~CFile() {
    if (IsOpen()) ::_close(m_hFile);
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error) {
    const std::string fullPath = FullPath(path);
    const auto refuse = [&](int osError) {
        if (error) *error = CFileException::FromErrno(osError, fullPath);
        return false;
    };
    if (IsOpen()) return refuse(EBUSY);

    int osFlags = _O_BINARY | _O_NOINHERIT;
    if (flags & modeWrite) {
        osFlags |= _O_WRONLY;
        if (flags & modeCreate) osFlags |= _O_CREAT | _O_TRUNC;
    } else {
        osFlags |= _O_RDONLY;
    }
    const int fd = ::_open(fullPath.c_str(), osFlags, _S_IREAD | _S_IWRITE);
    if (fd < 0) return refuse(errno);

    // A device name (CON, NUL, COM1) opens as a character device: refused like a folder.
    struct _stat64 status {};
    const int osError = ::_fstat64(fd, &status) != 0             ? errno
                        : (status.st_mode & _S_IFMT) == _S_IFREG ? 0
                                                                 : EACCES;
    if (osError != 0) {
        ::_close(fd);
        return refuse(osError);
    }
    m_hFile = fd;
    m_strFileName = fullPath;
    return true;
}

namespace {

// The runtime's calls take an unsigned int count.
constexpr std::size_t kLargestCall = INT_MAX;

}  // namespace

std::size_t CFile::Read(void* buffer, std::size_t count) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto chunk = static_cast<unsigned>(std::min(count - done, kLargestCall));
        const int got = ::_read(m_hFile, bytes + done, chunk);
        if (got < 0) Fail(errno);
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void CFile::Write(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto chunk = static_cast<unsigned>(std::min(count - done, kLargestCall));
        const int put = ::_write(m_hFile, bytes + done, chunk);
        if (put < 0) Fail(errno);
        if (static_cast<unsigned>(put) != chunk) {
            throw CFileException(CFileException::Cause::diskFull, m_strFileName);
        }
        done += chunk;
    }
}

std::uint64_t CFile::GetLength() const {
    struct _stat64 status {};
    if (::_fstat64(m_hFile, &status) != 0) Fail(errno);
    return static_cast<std::uint64_t>(status.st_size);
}

std::uint64_t CFile::GetPosition() const {
    const __int64 position = ::_lseeki64(m_hFile, 0, SEEK_CUR);
    if (position < 0) Fail(errno);
    return static_cast<std::uint64_t>(position);
}

void CFile::Flush() {
    if (::_commit(m_hFile) != 0) Fail(errno);
}

void CFile::Close() {
    if (!IsOpen()) return;
    const int fd = m_hFile;
    m_hFile = -1;
    if (::_close(fd) != 0) Fail(errno);
}
