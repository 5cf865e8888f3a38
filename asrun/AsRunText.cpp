#include "AsRunText.h"

#include <cstdio>
#include <ctime>

#include "Cp1252.h"
#include "Utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendEscape(std::string& out, char32_t character) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(character));
    out += escape;
}

// "+01:00" for 3600 seconds east of UTC.
std::string OffsetText(long offset) {
    const char sign = offset < 0 ? '-' : '+';
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char text[24];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", sign, minutes / 60, minutes % 60);
    return text;
}

std::string IsoText(const std::tm& fields, long milliseconds) {
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ld", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                  milliseconds);
    return text;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    while (!text.empty()) {
        char32_t character = 0;
        const std::size_t length = DecodeUtf8(text, character);
        if (length == 0) {
            AppendUtf8(out, kReplacement);
            text.remove_prefix(1);
            continue;
        }
        switch (character) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                // DEL and the line and paragraph separators are valid JSON as they are, but a
                // reader's terminal or script may trip over them.
                if (character < 0x20 || character == 0x7F || character == 0x2028 ||
                    character == 0x2029)
                    AppendEscape(out, character);
                else
                    out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    out += '"';
}

AsRunTime AsRunTimeOf(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto since = time.time_since_epoch();
    // Whole seconds towards the past, so a moment before 1970 keeps a positive fraction.
    const auto seconds = floor<std::chrono::seconds>(since);
    const long milliseconds =
        static_cast<long>(duration_cast<std::chrono::milliseconds>(since - seconds).count());
    const std::time_t clock = static_cast<std::time_t>(seconds.count());
    std::tm utc{};
    std::tm local{};
    gmtime_r(&clock, &utc);
    localtime_r(&clock, &local);
    AsRunTime out;
    out.utc = IsoText(utc, milliseconds) + "Z";
    out.offset = local.tm_gmtoff;
    const std::string localText = IsoText(local, milliseconds);
    out.local = localText + OffsetText(out.offset);
    out.day = localText.substr(0, 10);
    return out;
}

std::optional<std::chrono::sys_days> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {};
    int* part = parts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 4 || i == 7) {
            ++part;
            continue;
        }
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        *part = *part * 10 + (text[i] - '0');
    }
    const std::chrono::year_month_day date{std::chrono::year{parts[0]},
                                           std::chrono::month{static_cast<unsigned>(parts[1])},
                                           std::chrono::day{static_cast<unsigned>(parts[2])}};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days{date};
}
