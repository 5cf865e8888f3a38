#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 read strictly, the one decoder for every text that comes in as UTF-8 (cue lists, the
// as-run log's fields). A sequence is valid only in its shortest form and only for a
// character: overlong forms, the surrogates U+D800 to U+DFFF and anything past U+10FFFF are
// refused, so no reader can be handed a character its checks never saw (a quote, a slash or
// a control character spelt long).

// The length of the valid sequence at the start of text and its character; 0 when text is
// empty or its first byte starts none (a stray continuation byte, an overlong form, a
// surrogate, a sequence cut short or past U+10FFFF).
std::size_t DecodeUtf8(std::string_view text, char32_t& character);

// Windows-1252 from UTF-8: a character it cannot hold becomes "?", and so does each byte that
// starts no valid sequence.
std::string Cp1252FromUtf8(std::string_view utf8);
