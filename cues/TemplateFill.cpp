#include "TemplateFill.h"

#include <algorithm>

#include "Cp1252.h"
#include "DocumentFile.h"
#include "TextLayout.h"
#include "UnitCommands.h"

namespace {

std::size_t Count(std::string_view text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

// The cell with its line breaks (CR LF, CR or LF) as the text box holds them.
std::string WithLineFeeds(std::string_view cell) {
    std::string text;
    text.reserve(cell.size());
    for (std::size_t at = 0; at < cell.size(); ++at) {
        if (cell[at] != '\r') {
            text += cell[at];
            continue;
        }
        text += '\n';
        if (at + 1 < cell.size() && cell[at + 1] == '\n') ++at;
    }
    return text;
}

const std::string* Cell(const Cue& row, std::string_view name) {
    if (!row.fieldNames) return nullptr;
    const std::string folded = FoldedColumnName(name);
    const std::vector<std::string>& names = *row.fieldNames;
    for (std::size_t column = 0; column < names.size() && column < row.fields.size(); ++column)
        if (names[column] == folded) return &row.fields[column];
    return nullptr;
}

}  // namespace

TemplateFill FillTemplate(const ScreenContent& templ, const Cue& row,
                          const Cp1252Converter& convert) {
    TemplateFill fill;
    if (row.ownText) {
        fill.content = ScreenContent{row.text, row.dateCorner, row.timeCorner};
        fill.lossy = row.lossy;
        fill.cut = row.cut;
        fill.commands = row.commands;
        return fill;
    }
    const std::string_view from = templ.text;
    std::string& text = fill.content.text;
    text.reserve(from.size());
    for (std::size_t at = 0; at < from.size(); ++at) {
        const char c = from[at];
        const bool doubled = at + 1 < from.size() && from[at + 1] == c;
        if (c == '}' || (c == '{' && doubled)) {
            // A lone "}" closes nothing and stands as it is.
            text += c;
            if (doubled) ++at;
            continue;
        }
        if (c != '{') {
            text += c;
            continue;
        }
        const std::size_t close = from.find('}', at + 1);
        // No brace of a field may reach the line: an open field refuses the fill.
        if (close == std::string_view::npos) {
            fill.refusal = "the template opens a field with { and never closes it";
            break;
        }
        const std::string_view name = from.substr(at + 1, close - at - 1);
        const std::string* cell = Cell(row, name);
        if (!cell) {
            fill.refusal =
                "no column is named " + Excerpt(Utf8FromCp1252(name)) + " for the template";
            break;
        }
        const std::string value = convert(WithLineFeeds(*cell));
        fill.lossy = fill.lossy || Count(value, '?') > Count(*cell, '?');
        text += value;
        if (text.size() > kLongestScreenText) {
            fill.refusal = "the filled text holds more than " + std::to_string(kLongestScreenText) +
                           " bytes, the most a screen may";
            break;
        }
        at = close;
    }
    if (!fill.refusal.empty()) {
        fill.content.text.clear();
        fill.lossy = false;
        return fill;
    }
    if (row.ownCorners) {
        fill.content.dateCorner = row.dateCorner;
        fill.content.timeCorner = row.timeCorner;
    } else {
        fill.content.dateCorner = templ.dateCorner;
        fill.content.timeCorner = templ.timeCorner;
    }
    fill.cut = LayOutText(text, fill.content.dateCorner, fill.content.timeCorner).tooLong;
    fill.commands = HoldsUnitCommands(text);
    return fill;
}
