#include "Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Characters of the bytes 0x80 to 0x9F; the rest of the byte range is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

constexpr char kUnmappable = '?';

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

char ByteFor(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == unit) return static_cast<char>(0x80 + i);
    }
    return kUnmappable;
}

}  // namespace

std::string Cp1252FromUtf16(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;
            bytes.push_back(kUnmappable);
        } else {
            bytes.push_back(ByteFor(unit));
        }
    }
    return bytes;
}

char16_t Cp1252Char(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

bool Cp1252Assigned(unsigned char byte) {
    // Undefined bytes map to the control characters of their own value.
    return !(byte >= 0x80 && byte <= 0x9F && Cp1252Char(byte) == byte);
}

std::u16string Utf16FromCp1252(std::string_view text) {
    std::u16string units;
    units.reserve(text.size());
    for (const char c : text) units.push_back(Cp1252Char(static_cast<std::uint8_t>(c)));
    return units;
}

void AppendUtf8(std::string& out, char32_t character) {
    if (character < 0x80) {
        out.push_back(static_cast<char>(character));
    } else if (character < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (character >> 6)));
        out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (character >> 12)));
        out.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    }
}

std::string Utf8FromCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char byte : text) AppendUtf8(out, Cp1252Char(static_cast<unsigned char>(byte)));
    return out;
}

std::size_t DropControlCharacters(std::string& text) {
    const auto isDropped = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F;
    };
    return static_cast<std::size_t>(std::erase_if(text, isDropped));
}
