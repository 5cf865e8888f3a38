#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The per-user settings of the program (group "Halvercrest", application "Tessora"; on
// Linux ${XDG_CONFIG_HOME:-~/.config}/Halvercrest/Tessora.conf). Text values are 8-bit
// Windows-1252; numbers are 32-bit signed. A value that is missing or not of its kind
// reads as absent, so the caller keeps its default.
class SettingsStore {
public:
    // The text value, or nothing when missing or longer than maxBytes.
    std::optional<std::string> ReadText(const char* name, std::size_t maxBytes) const;
    std::optional<std::int32_t> ReadInt32(const char* name) const;
    // A comma-separated value, item by item, each trimmed and in UTF-8; empty items left out.
    // The file may hold it quoted or not (unquoted, the store itself splits it at commas).
    std::vector<std::string> ReadList(const char* name) const;
    // Each write changes the value's own line of the file and nothing else: every other line,
    // comments and values the program does not know, stays as the operator wrote it. The file
    // is its owner's alone (0600). A file not read as written (see CheckFile) is not written
    // at all until it is mended; a change that would have any other value read otherwise
    // keeps the file as it was in Tessora.conf.bak first.
    void WriteText(const char* name, const std::string& value);
    void WriteInt32(const char* name, std::int32_t value);

    // Every value of a group as (name, path) in the store's order. Paths are the file
    // system's UTF-8, not Windows-1252; a value that is no single text is left out.
    std::vector<std::pair<std::u16string, std::string>> ReadPaths(const char* group) const;

    // Where the store lives, for telling the operator which file to edit (UTF-8).
    static std::string FileName();

    // When the file is not read as written (a value running on over the lines after it, a
    // line that is no setting), keeps it as it was beside it, as Tessora.conf.bak, and says
    // where and why, naming the file and the line (UTF-8). Nothing when it reads as written.
    static std::optional<std::string> CheckFile();
};
