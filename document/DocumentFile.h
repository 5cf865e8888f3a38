#pragma once

#include <string>

#include "Exceptions.h"
#include "TessoraFile.h"

// Whole-document loads and saves of .tso files. Both return false when the file cannot be
// opened at all (the caller shows its own fixed message; openError, if given, gets the cause)
// and throw CArchiveException, CFileException or CMemoryException for a failure after that.

// On success replaces doc; on any failure doc is left exactly as it was.
[[nodiscard]] bool LoadDocument(const std::string& path, CTessoraFile& doc,
                                CFileException* openError = nullptr);

// Writes a new file beside the target and renames it over the target only once it is complete
// and on disk, so a failed save leaves an earlier file of that name intact and no stray file
// behind. Errors name the target's full path. A target the program could not write in place (a
// read-only file, a folder, a device) is refused as unopenable.
[[nodiscard]] bool SaveDocument(const CTessoraFile& doc, const std::string& path,
                                CFileException* openError = nullptr);
