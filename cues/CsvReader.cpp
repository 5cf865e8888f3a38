#include "CsvReader.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The separator of the first line: the one found more often outside quotes.
char SeparatorOf(std::string_view text) {
    std::size_t commas = 0;
    std::size_t semicolons = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\n' || c == '\r') break;
        commas += c == ',';
        semicolons += c == ';';
    }
    return semicolons > commas ? ';' : ',';
}

// Whether a record holds anything: a blank line is one empty field.
bool Blank(const CsvRecord& record) {
    return record.fields.size() == 1 && record.fields.front().empty();
}

}  // namespace

CsvTable ReadCsv(std::string_view text) {
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    CsvTable table;
    table.separator = SeparatorOf(text);
    const char separator = table.separator;

    std::size_t line = 1;
    CsvRecord record{line, {std::string()}};
    // Whether the field now read was quoted, and whether its closing quote has come.
    bool quoted = false;
    bool closed = false;
    std::size_t quoteLine = 0;
    const auto endRecord = [&] {
        if (!Blank(record)) table.records.push_back(std::move(record));
        record = CsvRecord{line, {std::string()}};
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool lineEnd = c == '\n' || c == '\r';
        // CR LF is one line end, inside quotes as outside.
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (quoted && !closed) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                record.fields.back() += '"';
                ++i;
            } else if (c == '"') {
                closed = true;
            } else {
                record.fields.back() += lineEnd ? '\n' : c;
            }
            if (lineEnd) ++line;
            continue;
        }
        if (c == separator) {
            record.fields.emplace_back();
            quoted = closed = false;
        } else if (lineEnd) {
            ++line;
            endRecord();
            quoted = closed = false;
        } else if (closed) {
            table.error = "line " + std::to_string(line) +
                          ": text after a closing quote; a quote inside a quoted field is "
                          "written twice";
            return table;
        } else if (c == '"' && record.fields.back().empty()) {
            quoted = true;
            quoteLine = line;
        } else {
            // A quote inside an unquoted field is taken as it stands, as spreadsheets do.
            record.fields.back() += c;
        }
    }
    if (quoted && !closed) {
        table.error = "line " + std::to_string(quoteLine) + ": a quote is opened and never closed";
        return table;
    }
    endRecord();
    return table;
}
