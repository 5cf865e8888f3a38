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

std::string ReadCsvRecords(std::string_view text, std::size_t maxFields,
                           const std::function<bool(CsvRecord&)>& take) {
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    const char separator = SeparatorOf(text);

    std::size_t line = 1;
    CsvRecord record{line, {std::string()}};
    // Whether the field now read was quoted, and whether its closing quote has come.
    bool quoted = false;
    bool closed = false;
    std::size_t quoteLine = 0;
    // False when take wants no more.
    const auto endRecord = [&] {
        const bool more = Blank(record) || take(record);
        record = CsvRecord{line, {std::string()}};
        return more;
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
            if (record.fields.size() >= maxFields)
                return "line " + std::to_string(record.line) + ": more than " +
                       std::to_string(maxFields) + " fields, the most a row may hold";
            record.fields.emplace_back();
            quoted = closed = false;
        } else if (lineEnd) {
            ++line;
            if (!endRecord()) return {};
            quoted = closed = false;
        } else if (closed) {
            return "line " + std::to_string(line) +
                   ": text after a closing quote; a quote inside a quoted field is written "
                   "twice";
        } else if (c == '"' && record.fields.back().empty()) {
            quoted = true;
            quoteLine = line;
        } else {
            // A quote inside an unquoted field is taken as it stands, as spreadsheets do.
            record.fields.back() += c;
        }
    }
    if (quoted && !closed)
        return "line " + std::to_string(quoteLine) + ": a quote is opened and never closed";
    endRecord();
    return {};
}

CsvTable ReadCsv(std::string_view text) {
    CsvTable table;
    table.separator =
        SeparatorOf(text.substr(0, kBom.size()) == kBom ? text.substr(kBom.size()) : text);
    table.error = ReadCsvRecords(text, std::string::npos, [&](CsvRecord& record) {
        table.records.push_back(std::move(record));
        return true;
    });
    return table;
}
