#pragma once

#include <filesystem>
#include <iosfwd>

// What tessora --as-run prints: a day file of the as-run log as a table (local time, origin,
// kind, screen, the text's first line; control characters shown as escapes such as \x1b), or
// as CSV (RFC 4180) with a header row and every field, a cell that a spreadsheet would take
// for a formula (starting with =, +, -, @, TAB or CR) given a leading single quote. A line
// that is no entry (a torn last line) or longer than 4 MiB is skipped with a note on err.
// Returns the exit code: 1 when the file cannot be read or is no regular file (a folder, a
// FIFO, a device, a link).
int PrintAsRun(const std::filesystem::path& file, bool csv, std::ostream& out, std::ostream& err);
