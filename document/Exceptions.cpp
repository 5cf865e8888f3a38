#include "Exceptions.h"

#include <array>
#include <cerrno>
#include <string_view>

namespace {

constexpr std::string_view kUnnamedFile = "an unnamed file";

std::string Fill(std::string_view textTemplate, std::string_view name) {
    if (name.empty()) name = kUnnamedFile;
    std::string text(textTemplate);
    const auto at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, name);
    return text;
}

std::string_view ArchiveTemplate(CArchiveException::Cause cause) {
    switch (cause) {
        case CArchiveException::Cause::endOfFile:
            return "An attempt was made to access %1 past its end.";
        case CArchiveException::Cause::generic:
            break;
    }
    return "An unknown error occurred while accessing %1.";
}

// Indexed by CFileException::Cause.
constexpr std::array<std::string_view, 14> kFileTemplates = {
    "An unknown error occurred while accessing %1.",
    "%1 was not found.",
    "%1 contains an invalid path.",
    "%1 could not be opened because there are too many open files.",
    "Access to %1 was denied.",
    "An invalid file handle was associated with %1.",
    "%1 could not be removed because it is the current directory.",
    "%1 could not be created because the directory is full.",
    "Seek failed on %1",
    "A hardware I/O error was reported while accessing %1.",
    "A sharing violation occurred while accessing %1.",
    "A locking violation occurred while accessing %1.",
    "Disk full while accessing %1.",
    "An attempt was made to access %1 past its end.",
};
static_assert(kFileTemplates.size() ==
              static_cast<std::size_t>(CFileException::Cause::endOfFile) + 1);

std::string_view FileTemplate(CFileException::Cause cause) {
    const auto index = static_cast<std::size_t>(cause);
    return index < kFileTemplates.size() ? kFileTemplates[index] : kFileTemplates[0];
}

}  // namespace

CArchiveException::CArchiveException(Cause cause)
    : CException(Fill(ArchiveTemplate(cause), {})), m_cause(cause) {}

CFileException::CFileException() : CFileException(Cause::generic, {}) {}

CFileException::CFileException(Cause cause, std::string fileName, int osError)
    : CException(Fill(FileTemplate(cause), fileName)),
      m_cause(cause),
      m_strFileName(std::move(fileName)),
      m_nOsError(osError) {}

CFileException::Cause CFileException::CauseFromErrno(int error) noexcept {
    switch (error) {
        case ENOENT:
            return Cause::fileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return Cause::accessDenied;
        case ENOSPC:
#ifdef EDQUOT  // no quotas in the Windows C runtime
        case EDQUOT:
#endif
        case EFBIG:  // the file size limit stops a save exactly as a full disk does
            return Cause::diskFull;
        case EMFILE:
        case ENFILE:
            return Cause::tooManyOpenFiles;
        case ENAMETOOLONG:
        case ENOTDIR:
        case ELOOP:
            return Cause::badPath;
        case EIO:
            return Cause::hardIO;
        case EBUSY:
        case ETXTBSY:
            return Cause::sharingViolation;
        case EBADF:
            return Cause::invalidFile;
        default:
            return Cause::generic;
    }
}

CFileException CFileException::FromErrno(int error, std::string fileName) {
    return CFileException(CauseFromErrno(error), std::move(fileName), error);
}

CMemoryException::CMemoryException() : CException("Out of memory.") {}
