#pragma once

#include <string>
#include <string_view>

// Texts are Windows-1252 bytes on every machine, so files and the caption unit see the same
// 8-bit characters whatever the locale.

// A character Windows-1252 cannot hold becomes '?'; a surrogate pair is one character, so one '?'.
std::string Cp1252FromUtf16(std::u16string_view text);

// Total: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the
// control characters of the same value, and those map back, so every byte survives a round trip.
std::u16string Utf16FromCp1252(std::string_view text);

// The character of one byte, as Utf16FromCp1252 gives it.
char16_t Cp1252Char(unsigned char byte);

// UTF-8, character for character as Utf16FromCp1252 gives them.
std::string Utf8FromCp1252(std::string_view text);

// Appends one character (up to U+FFFF: every character here lies in the Basic
// Multilingual Plane) as UTF-8.
void AppendUtf8(std::string& out, char32_t character);

// False for the five bytes Windows-1252 leaves undefined, which have no character to show.
bool Cp1252Assigned(unsigned char byte);

// Control characters the unit would act on rather than show (ESC, BEL, BS, VT, FF, DEL and
// the rest below the space, NUL included) are dropped; TAB, CR and LF stay. Every way text
// enters (typed or pasted, opened from a file, read from a cue list) passes through this.
// Returns how many were dropped, so the caller can say so once.
std::size_t DropControlCharacters(std::string& text);
