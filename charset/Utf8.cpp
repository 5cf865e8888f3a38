#include "Utf8.h"

#include "Cp1252.h"

std::size_t DecodeUtf8(std::string_view text, char32_t& character) {
    if (text.empty()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        character = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        lowest = 0x80;
        character = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        lowest = 0x800;
        character = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        lowest = 0x10000;
        character = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        character = (character << 6) | (byte(i) & 0x3F);
    }
    if (character < lowest || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return 0;
    return length;
}

std::string Cp1252FromUtf8(std::string_view utf8) {
    std::u16string wide;
    wide.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t character = 0;
        const std::size_t length = DecodeUtf8(utf8, character);
        // Beyond the first plane Windows-1252 holds nothing: one "?" for the character.
        wide += length == 0 || character > 0xFFFF ? u'?' : static_cast<char16_t>(character);
        utf8.remove_prefix(length == 0 ? 1 : length);
    }
    return Cp1252FromUtf16(wide);
}
