#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Comma-separated text as spreadsheets write it: fields quoted with '"' where they hold the
// separator, a quote or a line break; a quote inside a quoted field doubled. Plain C++.

struct CsvRecord {
    // The line of the file the record starts on, counting from 1.
    std::size_t line = 0;
    std::vector<std::string> fields;
};

struct CsvTable {
    // ',' or ';', whichever the header line holds more of outside quotes (',' on a tie).
    char separator = ',';
    std::vector<CsvRecord> records;
    // Empty when the text read whole; else why not, naming the line.
    std::string error;
};

// Reads UTF-8 text, a byte order mark at the start skipped. Records end at CR LF, LF or a
// lone CR outside quotes; a line break inside quotes is kept as LF. Blank lines hold no
// record. A quote opened and never closed, or text after a closing quote other than the
// separator or a line end, stops the reading with an error naming the line; the records
// before it are kept.
CsvTable ReadCsv(std::string_view text);

// The same reading, each record handed to take as soon as it is read, so that no more than
// one is held at a time; take returns false to stop there. A record of more than maxFields
// fields stops the reading with an error naming its line. Returns the error, "" when the text
// read whole or take stopped it.
std::string ReadCsvRecords(std::string_view text, std::size_t maxFields,
                           const std::function<bool(CsvRecord&)>& take);
