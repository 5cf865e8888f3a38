#include "DocumentFile.h"

#include <filesystem>
#include <system_error>

#include "Archive.h"
#include "Cp1252.h"
#include "File.h"

namespace fs = std::filesystem;

namespace {

// Why a file could not be opened for reading: what the path is when it is no plain file (the
// open refuses those all alike), else the system's reason.
std::string WhyNotOpened(const CFileException& error) {
    const std::string& path = error.GetFileName();
    std::error_code unknown;
    const fs::file_status status = fs::status(path, unknown);
    if (!unknown && fs::exists(status) && !fs::is_regular_file(status)) {
        const char* kind = fs::is_directory(status) ? "a folder"
                           : fs::is_fifo(status)    ? "a pipe"
                           : fs::is_socket(status)  ? "a socket"
                                                    : "a device";
        return path + " is " + kind + ", not a screen set file.";
    }
    return path + ": " + std::generic_category().message(error.GetOsError()) + ".";
}

}  // namespace

bool LoadDocument(const std::string& path, CTessoraFile& doc, CFileException* openError,
                  std::string* reason) {
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeRead, &error)) {
        if (reason) *reason = WhyNotOpened(error);
        if (openError) *openError = std::move(error);
        return false;
    }
    CArchive ar(file, CArchive::load);
    ar.LimitTextLength(kLongestScreenText);
    try {
        doc.Serialize(ar);
    } catch (const CArchive::TextTooLong& tooLong) {
        if (reason)
            *reason = file.GetFilePath() + " holds a screen text of " +
                      std::to_string(tooLong.length) + " bytes; a screen may hold at most " +
                      std::to_string(kLongestScreenText) + ".";
        if (openError)
            *openError = CFileException(CFileException::Cause::generic, file.GetFilePath());
        return false;
    }
    ar.Close();
    file.Close();
    return true;
}

ScreenRepairs TidyScreens(CTessoraFile& doc) {
    ScreenRepairs repairs;
    const auto tidyCorner = [&repairs](std::int32_t& corner) {
        if (corner >= 0 && corner <= 4) return;
        corner = 0;
        ++repairs.corners;
    };
    for (int screen = 0; screen < CTessoraFile::kScreenCount; ++screen) {
        repairs.controls += DropControlCharacters(doc.Text(screen));
        tidyCorner(doc.DateCorner(screen));
        tidyCorner(doc.TimeCorner(screen));
    }
    return repairs;
}
