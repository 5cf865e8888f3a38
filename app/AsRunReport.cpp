#include "AsRunReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <string>

namespace {

// Every field a line may have, in the CSV's order.
constexpr const char* kFields[] = {"utc",  "local", "kind", "origin", "cue",   "screen", "text",
                                   "date", "time",  "port", "device", "taken", "before", "after"};

std::string FieldText(const QJsonObject& entry, const char* name) {
    const QJsonValue value = entry.value(QLatin1String(name));
    if (value.isString()) return value.toString().toStdString();
    if (value.isBool()) return value.toBool() ? "true" : "false";
    if (value.isDouble()) return std::to_string(value.toInteger());
    return {};
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// hh:mm:ss.mmm of an ISO 8601 local time.
std::string ClockOf(const std::string& iso) {
    return iso.size() >= 23 ? iso.substr(11, 12) : iso;
}

void PrintRow(std::ostream& out, const std::string& time, const std::string& origin,
              const std::string& kind, const std::string& screen, const std::string& text) {
    out << std::left << std::setw(14) << time << std::setw(9) << origin << std::setw(17) << kind
        << std::setw(8) << screen << text << '\n';
}

void PrintTableRow(std::ostream& out, const QJsonObject& entry) {
    const std::string kind = FieldText(entry, "kind");
    std::string text = FieldText(entry, "text");
    text = text.substr(0, text.find_first_of("\r\n"));
    if (kind == "clock") text = FieldText(entry, "before") + " -> " + FieldText(entry, "after");
    const std::string screen = FieldText(entry, "screen");
    PrintRow(out, ClockOf(FieldText(entry, "local")), FieldText(entry, "origin"),
             kind + (entry.value(QLatin1String("taken")) == QJsonValue(false) ? " (refused)" : ""),
             screen == "0" ? "" : screen, text);
}

}  // namespace

int PrintAsRun(const std::filesystem::path& file, bool csv, std::ostream& out, std::ostream& err) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        err << "tessora: no as-run log to show: " << file.string() << ": " << std::strerror(errno)
            << '\n';
        return 1;
    }
    if (csv) {
        for (const char* name : kFields) out << (name == kFields[0] ? "" : ",") << name;
        out << "\r\n";
    } else {
        PrintRow(out, "time", "origin", "kind", "screen", "text");
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
        if (!document.isObject()) {
            err << "tessora: " << file.string() << ": line " << number << " is no entry, skipped\n";
            continue;
        }
        const QJsonObject entry = document.object();
        if (!csv) {
            PrintTableRow(out, entry);
            continue;
        }
        for (const char* name : kFields)
            out << (name == kFields[0] ? "" : ",") << CsvField(FieldText(entry, name));
        out << "\r\n";
    }
    return 0;
}
