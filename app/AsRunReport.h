#pragma once

#include <filesystem>
#include <iosfwd>

// What tessora --as-run prints: a day file of the as-run log as a table (local time, origin,
// kind, screen, the text's first line), or as CSV (RFC 4180) with a header row and every
// field. A line that is no entry (a torn last line) is skipped with a note on err. Returns
// the exit code: 1 when the file cannot be read.
int PrintAsRun(const std::filesystem::path& file, bool csv, std::ostream& out, std::ostream& err);
