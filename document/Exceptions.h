#pragma once

#include <exception>
#include <string>

// Errors of the file and archive layer. Each carries the exact text the window shows in its
// message box, so the message dispatch needs nothing but Text().
class CException : public std::exception {
public:
    const std::string& Text() const noexcept { return m_strText; }
    const char* what() const noexcept override { return m_strText.c_str(); }

protected:
    explicit CException(std::string text) : m_strText(std::move(text)) {}

private:
    std::string m_strText;
};

// A load that cannot go on. Loads name no file, so the text always speaks of "an unnamed file".
class CArchiveException : public CException {
public:
    enum class Cause { generic, endOfFile };

    explicit CArchiveException(Cause cause);
    Cause GetCause() const noexcept { return m_cause; }

private:
    Cause m_cause;
};

// A failure of the file underneath an archive, or of opening it, naming the file's full path.
class CFileException : public CException {
public:
    enum class Cause {
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException();
    CFileException(Cause cause, std::string fileName, int osError = 0);

    // The cause a failing system call's errno stands for.
    static Cause CauseFromErrno(int error) noexcept;
    static CFileException FromErrno(int error, std::string fileName);

    Cause GetCause() const noexcept { return m_cause; }
    const std::string& GetFileName() const noexcept { return m_strFileName; }
    int GetOsError() const noexcept { return m_nOsError; }

private:
    Cause m_cause;
    std::string m_strFileName;
    int m_nOsError;
};

// No memory for a text of the announced length; shown with an exclamation icon.
class CMemoryException : public CException {
public:
    CMemoryException();
};
