#include "DisplayText.h"

#include <cstdio>

#include "Cp1252.h"

namespace {

constexpr char32_t kUnassigned = 0xFFFD;

char32_t CodePointOf(unsigned char byte) {
    if (byte < 0x20) {
        return 0x2400 + byte;
    }
    if (byte == 0x7F) {
        return 0x2421;
    }
    return Cp1252Assigned(byte) ? Cp1252Char(byte) : kUnassigned;
}

}  // namespace

std::string CellText(unsigned char byte) {
    std::string out;
    AppendUtf8(out, CodePointOf(byte));
    return out;
}

std::string RowText(const CCaptionDisplay& display, int row) {
    std::string out;
    for (char c : display.RowBytes(row)) {
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string DisplayDump(const CCaptionDisplay& display) {
    std::string out;
    for (int row = 0; row < CCaptionDisplay::kRows; ++row) {
        out += RowText(display, row);
        out += '\n';
    }
    return out;
}

std::string FramedView(const CCaptionDisplay& display, std::string_view strStatus) {
    std::string strTens = "    ";
    std::string strUnits = "    ";
    for (int column = 0; column < CCaptionDisplay::kColumns; ++column) {
        strTens.push_back(column % 10 == 0 ? static_cast<char>('0' + column / 10) : ' ');
        strUnits.push_back(static_cast<char>('0' + column % 10));
    }
    const std::string strEdge = "   +" + std::string(CCaptionDisplay::kColumns, '-') + "+\n";

    std::string out = strTens + "\n" + strUnits + "\n" + strEdge;
    for (int row = 0; row < CCaptionDisplay::kRows; ++row) {
        char label[8];
        std::snprintf(label, sizeof label, "%02d |", row);
        out += label;
        out += RowText(display, row);
        out += "|\n";
    }
    out += strEdge;
    out += "   ";
    out += strStatus;
    out += '\n';
    return out;
}

std::string ByteLogLine(std::int64_t ms, unsigned char byte) {
    char line[40];
    int n = std::snprintf(line, sizeof line, "%lld %02x\n", static_cast<long long>(ms), byte);
    return std::string(line, static_cast<std::size_t>(n));
}
