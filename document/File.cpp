#include "File.h"

#include <filesystem>

#include "Exceptions.h"

// What a file is on every system; FilePosix.cpp and FileWin32.cpp reach the disk.

std::string FullPath(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

CFile::CFile(int fd, std::string fileName) : m_hFile(fd), m_strFileName(std::move(fileName)) {}

void CFile::Fail(int error) const {
    throw CFileException::FromErrno(error, m_strFileName);
}
