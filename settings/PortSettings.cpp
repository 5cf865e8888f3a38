#include "PortSettings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Cp1252.h"
#include "Latin1.h"

namespace {

constexpr std::string_view kWhiteSpace = " \t";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

// The logical lines of the file: comments dropped, a backslash before a line break joins
// the next line, and a line break inside quotes belongs to the value.
std::vector<std::string> LogicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    bool inQuotes = false;
    bool inComment = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '\n' || c == '\r') && !inQuotes) {
            if (!Trim(line).empty()) lines.push_back(line);
            line.clear();
            inComment = false;
            continue;
        }
        if (inComment) continue;
        if (c == ';' && !inQuotes) {
            inComment = true;
        } else if (c == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            if (next == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            // A continued line; any other escape is the value's to read.
            if (next != '\n' && next != '\r') line.append({c, next});
        } else {
            if (c == '"') inQuotes = !inQuotes;
            line.push_back(c);
        }
    }
    if (!Trim(line).empty()) lines.push_back(line);
    return lines;
}

int Digit(char c, int base) {
    const int value = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : base;
    return value < base ? value : -1;
}

// A value as one text, or nothing for a list. White space before the value and after a
// closing quote is dropped, and at the end of a value that has no quotes.
std::optional<std::string> TextValue(std::string_view raw) {
    std::string value;
    bool quoted = false;
    bool inQuotes = false;
    std::size_t i = 0;
    const auto skipSpaces = [&] {
        while (i < raw.size() && kWhiteSpace.find(raw[i]) != std::string_view::npos) ++i;
    };
    skipSpaces();
    while (i < raw.size()) {
        const char c = raw[i++];
        if (c == '"') {
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) skipSpaces();
        } else if (c == ',' && !inQuotes) {
            return std::nullopt;
        } else if (c != '\\') {
            value.push_back(c);
        } else if (i < raw.size()) {
            constexpr std::string_view kFrom = "abfnrtv\"?'\\";
            constexpr std::string_view kTo = "\a\b\f\n\r\t\v\"?'\\";
            const char e = raw[i++];
            const int base = e == 'x' ? 16 : Digit(e, 8) >= 0 ? 8 : 0;
            if (const auto at = kFrom.find(e); at != std::string_view::npos) {
                value.push_back(kTo[at]);
            } else if (base != 0) {
                // Octal from its first digit, hexadecimal after the x; any other escape is dropped.
                unsigned code = base == 8 ? static_cast<unsigned>(Digit(e, 8)) : 0;
                std::size_t digits = base == 8 ? 1 : 0;
                for (; i < raw.size() && Digit(raw[i], base) >= 0; ++i, ++digits)
                    code = (code * base + static_cast<unsigned>(Digit(raw[i], base))) & 0xFFFF;
                // The store's texts are Unicode: the character is kept as UTF-8.
                if (digits > 0) AppendUtf8(value, code);
            }
        }
    }
    if (!quoted) value.erase(value.find_last_not_of(kWhiteSpace) + 1);
    return value;
}

// The keys before any section and those under [General], in any case, are the top level.
bool IsGeneral(std::string_view section) {
    constexpr std::string_view kGeneral = "general";
    if (section.empty()) return true;
    if (section.size() != kGeneral.size()) return false;
    for (std::size_t i = 0; i < section.size(); ++i)
        if ((section[i] | 0x20) != kGeneral[i]) return false;
    return true;
}

}  // namespace

PortSettings ParsePortSettings(std::string_view text) {
    PortSettings settings;
    settings.misread = ReadSettingsLines(text).misread;
    std::string section;
    for (const std::string& line : LogicalLines(text)) {
        const std::string_view trimmed = Trim(line);
        if (trimmed.front() == '[') {
            const auto end = trimmed.find(']');
            section = std::string(trimmed.substr(1, end == std::string_view::npos ? end : end - 1));
            continue;
        }
        // Spaces after a quoted part are the value's own.
        const std::string_view whole = line;
        const auto equals = whole.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = Trim(whole.substr(0, equals));
        const std::optional<std::string> value = TextValue(whole.substr(equals + 1));
        if (!value) continue;
        if (IsGeneral(section) && key == "CommPort") {
            settings.commPort = *value;
        } else if (section == "Ports") {
            // A name given twice means what it says last.
            std::erase_if(settings.ports,
                          [&](const auto& port) { return port.first == PortKey(key); });
            settings.ports.emplace_back(PortKey(key), *value);
        } else if (section == "AsRun" && key == "Enabled") {
            // Read as the window reads a number: only a whole 0 turns the log off.
            std::string_view number = Trim(*value);
            if (number.starts_with('+')) number.remove_prefix(1);
            int enabled = 1;
            const auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), enabled);
            settings.asRunEnabled =
                error != std::errc() || end != number.data() + number.size() || enabled != 0;
        }
    }
    return settings;
}

PortSettings ReadPortSettings(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ParsePortSettings(std::string(std::istreambuf_iterator<char>(in), {}));
}

std::string PortSettingsFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config != nullptr && *config != '\0') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home != nullptr ? home : "") + "/.config";
    }
    return folder + "/Halvercrest/Tessora.conf";
}

std::u16string PortKey(std::string_view name) {
    return Utf16FromLatin1(name);
}
