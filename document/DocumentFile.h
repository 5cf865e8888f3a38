#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "Exceptions.h"
#include "TessoraFile.h"

// Whole-document loads and saves of .tso files. Both return false when the file cannot be
// opened at all (the caller shows its own fixed message; openError, if given, gets the cause)
// and throw CArchiveException, CFileException or CMemoryException for a failure after that.
// A load also says why in words (reason, one line naming the file) for the operator.

// Longest text a screen may hold when a file is opened. The unit shows under a thousand
// bytes; a text far beyond that only stalls the window that has to show it.
inline constexpr std::size_t kLongestScreenText = std::size_t{1} << 20;

// On success replaces doc; on any failure doc is left exactly as it was. A file with a text
// longer than kLongestScreenText counts as one that cannot be opened.
[[nodiscard]] bool LoadDocument(const std::string& path, CTessoraFile& doc,
                                CFileException* openError = nullptr, std::string* reason = nullptr);

// Writes a new file beside the target and renames it over the target only once it is complete
// and on disk, so a failed save leaves an earlier file of that name intact and no stray file
// behind. Where the new file could not keep what the old one had (its owner, its group, its
// other links, a folder that takes no new file), the old file is rewritten in place instead.
// A link is followed to its file, which is created when missing. Errors name the target's
// full path. A target the program could not write in place (a read-only file, a folder, a
// device) is refused as unopenable.
[[nodiscard]] bool SaveDocument(const CTessoraFile& doc, const std::string& path,
                                CFileException* openError = nullptr);

// What a screen set read from a file is made to hold before it is shown or sent: control
// characters the unit would act on dropped (TAB, CR and LF stay) and corners outside 0 to 4
// read as None, so the page, the stamps and the panels see only the five corners. The file
// on disk keeps its bytes until the operator saves.
inline constexpr std::string_view kControlsLeftOut =
    "Control characters were left out of the text: the unit would act on them.";
struct ScreenRepairs {
    std::size_t controls = 0;
    int corners = 0;
    bool Any() const { return controls != 0 || corners != 0; }
};
ScreenRepairs TidyScreens(CTessoraFile& doc);
