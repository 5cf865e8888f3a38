#include "AsRunReport.h"

#include <fcntl.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <ostream>
#include <string>

#include "AsRunFile.h"

namespace {

// The longest line read: a screen's text is capped at 1 MiB, so even escaped as JSON a line
// the log wrote stays below this; a longer one is skipped without being held whole.
constexpr std::size_t kMaxLineBytes = 4 * 1024 * 1024;

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

// A cell a spreadsheet would take for a formula starts with a quote, and is quoted.
std::string CsvField(const std::string& text) {
    const bool formula =
        !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
    if (!formula && text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = formula ? "\"'" : "\"";
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

// Text for a terminal: a control character (C0, DEL, C1) is shown as its escape, \x1b, so a
// log cannot move the cursor, retitle the window or erase what is on the screen.
std::string Visible(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        char escape[8];
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", next);
            ++i;
        } else {
            shown += text[i];
            continue;
        }
        shown += escape;
    }
    return shown;
}

void PrintRow(std::ostream& out, const std::string& time, const std::string& origin,
              const std::string& kind, const std::string& screen, const std::string& text) {
    out << std::left << std::setw(14) << Visible(time) << std::setw(9) << Visible(origin)
        << std::setw(17) << Visible(kind) << std::setw(8) << Visible(screen) << Visible(text)
        << '\n';
}

// The lines of a file, each with its number; one longer than kMaxLineBytes is read past and
// given as nothing, with tooLong set.
class LineReader {
public:
    explicit LineReader(int fd) : m_fd(fd) {}
    ~LineReader() { ::close(m_fd); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Next(std::string& line, bool& tooLong) {
        line.clear();
        tooLong = false;
        for (;;) {
            if (m_at == m_end && !Fill()) return !line.empty() || tooLong;
            const char* start = m_buffer + m_at;
            const void* found = std::memchr(start, '\n', m_end - m_at);
            const std::size_t length =
                found ? static_cast<const char*>(found) - start : m_end - m_at;
            if (!tooLong && line.size() + length <= kMaxLineBytes) {
                line.append(start, length);
            } else {
                tooLong = true;
                line.clear();
            }
            m_at += length;
            if (found) {
                ++m_at;
                return true;
            }
        }
    }

private:
    bool Fill() {
        ssize_t got;
        do {
            got = ::read(m_fd, m_buffer, sizeof m_buffer);
        } while (got < 0 && errno == EINTR);
        m_at = 0;
        m_end = got > 0 ? static_cast<std::size_t>(got) : 0;
        return got > 0;
    }

    int m_fd;
    char m_buffer[64 * 1024];
    std::size_t m_at = 0;
    std::size_t m_end = 0;
};

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
    std::string why;
    const int fd = OpenDayFile(file, O_RDONLY, 0, why);
    if (fd < 0) {
        err << "tessora: no as-run log to show: " << Visible(file.string()) << ": " << why << '\n';
        return 1;
    }
    LineReader in(fd);
    if (csv) {
        for (const char* name : kFields) out << (name == kFields[0] ? "" : ",") << name;
        out << "\r\n";
    } else {
        PrintRow(out, "time", "origin", "kind", "screen", "text");
    }
    std::string line;
    bool tooLong = false;
    for (int number = 1; in.Next(line, tooLong); ++number) {
        if (tooLong) {
            err << "tessora: " << Visible(file.string()) << ": line " << number
                << " is longer than 4 MiB, skipped\n";
            continue;
        }
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
        if (!document.isObject()) {
            err << "tessora: " << Visible(file.string()) << ": line " << number
                << " is no entry, skipped\n";
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
