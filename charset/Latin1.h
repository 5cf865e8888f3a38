#pragma once

#include <string>
#include <string_view>

// Each byte as the UTF-16 unit of the same number (ISO 8859-1), so that texts compared this
// way match byte for byte whatever they hold.
std::u16string Utf16FromLatin1(std::string_view bytes);
