#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CFileException;

// A file on disk for the archive to read or write. Failures after opening throw
// CFileException naming the file's full path; opening reports its failure instead.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeCreate = 0x1000,  // with modeWrite: create, or truncate what exists
    };

    CFile() = default;
    // Takes over an open descriptor; errors will name fileName.
    CFile(int fd, std::string fileName);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    // Closes without reporting errors: call Close() to learn of them.
    virtual ~CFile();

    // Opens a regular file; anything else (a folder, a device, a pipe) is refused. On failure
    // returns false and, given error, fills it with the cause.
    bool Open(const std::string& path, unsigned flags, CFileException* error = nullptr);

    // Up to count bytes; fewer only at the end of the file.
    virtual std::size_t Read(void* buffer, std::size_t count);
    // All count bytes; a write that stores fewer counts as a full disk.
    virtual void Write(const void* buffer, std::size_t count);
    virtual std::uint64_t GetLength() const;
    virtual std::uint64_t GetPosition() const;
    // Makes what was written durable.
    virtual void Flush();
    virtual void Close();

    bool IsOpen() const noexcept { return m_hFile >= 0; }
    const std::string& GetFilePath() const noexcept { return m_strFileName; }

private:
    [[noreturn]] void Fail(int error) const;

    int m_hFile = -1;
    std::string m_strFileName;
};

// path made absolute against the working folder, as file errors show it.
std::string FullPath(const std::string& path);
