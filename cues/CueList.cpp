#include "CueList.h"

#include <algorithm>
#include <array>
#include <optional>

#include "Cp1252.h"
#include "CsvReader.h"
#include "DocumentFile.h"
#include "TextLayout.h"
#include "UnitCommands.h"

namespace {

constexpr std::array<std::string_view, 5> kCornerNames = {"none", "topleft", "topright",
                                                          "bottomleft", "bottomright"};

// Lower case, with spaces, hyphens and underscores gone: "Top Left", "top-left", "TopLeft".
std::string Folded(std::string_view name) {
    std::string folded;
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '-' || c == '_') continue;
        folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded;
}

std::size_t Count(std::string_view text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

enum Column { kText, kDate, kTime, kNote, kHold, kAt, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames = {"text", "date", "time",
                                                                 "note", "hold", "at"};

std::string_view Trimmed(std::string_view cell) {
    const std::size_t first = cell.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return cell.substr(first, cell.find_last_not_of(" \t") + 1 - first);
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// Two digits, 0 to most; -1 when they are not.
int TwoDigits(std::string_view text, int most) {
    if (text.size() != 2 || !Digit(text[0]) || !Digit(text[1])) return -1;
    const int value = (text[0] - '0') * 10 + (text[1] - '0');
    return value <= most ? value : -1;
}

}  // namespace

std::string FoldedColumnName(std::string_view name) {
    return Folded(name);
}

int CornerOf(std::string_view name) {
    const std::size_t first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos) return 0;
    name = name.substr(first, name.find_last_not_of(" \t") + 1 - first);
    // A number is one digit as it stands: "-1" is no corner, and neither is "01".
    if (name.find_first_of("0123456789") != std::string_view::npos)
        return name.size() == 1 && name[0] <= '4' ? name[0] - '0' : -1;
    const std::string folded = Folded(name);
    for (std::size_t corner = 0; corner < kCornerNames.size(); ++corner)
        if (folded == kCornerNames[corner]) return static_cast<int>(corner);
    return -1;
}

std::optional<std::chrono::milliseconds> HoldOf(std::string_view cell) {
    cell = Trimmed(cell);
    if (cell.empty()) return std::chrono::milliseconds(0);
    const std::size_t point = cell.find_first_of(".,");
    const std::string_view whole = cell.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : cell.substr(point + 1);
    if ((whole.empty() && fraction.empty()) || whole.size() > 5) return std::nullopt;
    long long milliseconds = 0;
    for (const char c : whole) {
        if (!Digit(c)) return std::nullopt;
        milliseconds = milliseconds * 10 + (c - '0');
    }
    milliseconds *= 1000;
    // Beyond the millisecond a digit only rounds.
    long long scale = 100;
    for (std::size_t i = 0; i < fraction.size(); ++i) {
        if (!Digit(fraction[i])) return std::nullopt;
        if (scale >= 1)
            milliseconds += (fraction[i] - '0') * scale;
        else if (scale == 0 && i == 3 && fraction[i] >= '5')
            ++milliseconds;
        scale /= 10;
    }
    if (milliseconds > kLongestHold.count()) return std::nullopt;
    return std::chrono::milliseconds(milliseconds);
}

std::optional<int> TimeOfDayOf(std::string_view cell) {
    cell = Trimmed(cell);
    if (cell.empty()) return -1;
    const std::size_t colon = cell.find(':');
    if (colon == 0 || colon > 2) return std::nullopt;
    std::string_view hour = cell.substr(0, colon);
    const std::string_view rest = cell.substr(colon + 1);
    const int hours =
        hour.size() == 1 ? (Digit(hour[0]) ? hour[0] - '0' : -1) : TwoDigits(hour, 23);
    const int minutes = TwoDigits(rest.substr(0, 2), 59);
    int seconds = 0;
    if (rest.size() == 5 && rest[2] == ':')
        seconds = TwoDigits(rest.substr(3), 59);
    else if (rest.size() != 2)
        return std::nullopt;
    if (hours < 0 || minutes < 0 || seconds < 0) return std::nullopt;
    return hours * 3600 + minutes * 60 + seconds;
}

std::string_view FirstLine(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

std::string Excerpt(std::string_view utf8, std::size_t characters) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < utf8.size(); ++at) {
        // A character starts at every byte that does not continue one.
        if ((static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80) continue;
        if (seen++ == characters) return std::string(utf8.substr(0, at)) + "\u2026";
    }
    return std::string(utf8);
}

CueListRead ReadCueList(std::string_view csv, const Cp1252Converter& convert, bool needText) {
    CueListRead read;
    // Set once the header is read.
    std::optional<CsvRecord> header;
    std::array<std::optional<std::size_t>, kColumns> at;
    // The columns kept for a template's fields, and their names as fields match them.
    std::vector<std::size_t> fieldAt;
    auto fieldNames = std::make_shared<std::vector<std::string>>();
    // False when the record stops the reading with read.error set.
    const auto take = [&](CsvRecord& record) -> bool {
        const std::string where = "line " + std::to_string(record.line) + ": ";
        for (std::string& field : record.fields)
            read.controlsDropped += DropControlCharacters(field);
        if (!header) {
            for (std::size_t field = 0; field < record.fields.size(); ++field) {
                const std::string name = Folded(record.fields[field]);
                for (std::size_t column = 0; column < kColumns; ++column) {
                    if (name != kColumnNames[column]) continue;
                    if (at[column]) {
                        read.error =
                            where + "two columns are named " + Excerpt(record.fields[field]);
                        return false;
                    }
                    at[column] = field;
                }
            }
            if (!at[kText] && needText) {
                read.error = where + "no column is named Text";
                return false;
            }
            for (std::size_t field = 0; field < record.fields.size(); ++field) {
                if (field == at[kText] || field == at[kDate] || field == at[kTime]) continue;
                fieldAt.push_back(field);
                // A template's text is Windows-1252, and its fields with it.
                fieldNames->push_back(convert(Folded(record.fields[field])));
            }
            header = std::move(record);
            return true;
        }
        if (record.fields.size() > header->fields.size()) {
            read.error = where + std::to_string(record.fields.size()) +
                         " fields, the header names " + std::to_string(header->fields.size());
            return false;
        }
        if (read.cues.size() == kMostCues) {
            read.error = where + "more than " + std::to_string(kMostCues) +
                         " cues, the most a list may hold";
            return false;
        }
        // A spreadsheet leaves empty cells at a row's end out.
        const auto field = [&](Column column) -> std::string_view {
            return at[column] && *at[column] < record.fields.size() ? record.fields[*at[column]]
                                                                    : std::string_view();
        };
        Cue cue;
        cue.number = static_cast<int>(read.cues.size()) + 1;
        for (const auto& [column, corner] :
             {std::pair{kDate, &cue.dateCorner}, std::pair{kTime, &cue.timeCorner}}) {
            *corner = CornerOf(field(column));
            if (*corner < 0) {
                read.error = where + std::string(column == kDate ? "Date" : "Time") + " \"" +
                             Excerpt(field(column)) +
                             "\" is no corner: None, Top Left, Top Right, Bottom Left, Bottom "
                             "Right or 0 to 4";
                return false;
            }
        }
        const std::optional<std::chrono::milliseconds> hold = HoldOf(field(kHold));
        if (!hold) {
            read.error = where + "Hold \"" + Excerpt(field(kHold)) +
                         "\" is no hold: seconds from 0 to 86400, decimals allowed";
            return false;
        }
        cue.hold = *hold;
        const std::optional<int> at = TimeOfDayOf(field(kAt));
        if (!at) {
            read.error = where + "At \"" + Excerpt(field(kAt)) +
                         "\" is no time of day: HH:MM or HH:MM:SS, 00:00 to 23:59:59";
            return false;
        }
        if (*at >= 0) cue.at = *at;
        const auto tooLong = [&](const char* cell) {
            read.error = where + "the " + cell + " holds more than " +
                         std::to_string(kLongestScreenText) + " bytes, the most a screen may";
            return false;
        };
        const std::string_view text = field(kText);
        // A character is at most four bytes of UTF-8 and at least one of Windows-1252, so
        // a longer cell is too long without converting it.
        if (text.size() > 4 * kLongestScreenText) return tooLong("text");
        cue.text = convert(text);
        if (cue.text.size() > kLongestScreenText) return tooLong("text");
        if (field(kNote).size() > kLongestScreenText) return tooLong("note");
        cue.lossy = Count(cue.text, '?') > Count(text, '?');
        cue.cut = LayOutText(cue.text, cue.dateCorner, cue.timeCorner).tooLong;
        cue.commands = HoldsUnitCommands(cue.text);
        cue.note = std::string(field(kNote));
        const auto given = [](std::string_view cell) {
            return cell.find_first_not_of(" \t") != std::string_view::npos;
        };
        cue.ownText = !text.empty();
        cue.ownCorners = given(field(kDate)) || given(field(kTime));
        cue.fieldNames = fieldNames;
        cue.fields.reserve(fieldAt.size());
        for (const std::size_t column : fieldAt) {
            if (column >= record.fields.size()) {
                cue.fields.emplace_back();
                continue;
            }
            if (record.fields[column].size() > kLongestScreenText) return tooLong("field");
            cue.fields.push_back(std::move(record.fields[column]));
        }
        read.cues.push_back(std::move(cue));
        return true;
    };
    const std::string error = ReadCsvRecords(csv, kMostFields, take);
    if (read.error.empty()) read.error = error;
    if (read.error.empty() && !header) read.error = "line 1: no header row naming a Text column";
    if (!read.error.empty()) read.cues.clear();
    return read;
}
