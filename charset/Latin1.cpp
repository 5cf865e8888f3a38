#include "Latin1.h"

std::u16string Utf16FromLatin1(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    for (const char c : bytes) units.push_back(static_cast<unsigned char>(c));
    return units;
}
