#pragma once

#include <termios.h>

#include <optional>
#include <string_view>

// A serial line's framing, as given by a mode string such as "9600,N,8,1".
struct LineSettings {
    unsigned baud = 0;
    speed_t speed = B0;  // the termios constant for baud
    char parity = 'N';   // 'N', 'E', 'O', 'M' or 'S'
    int dataBits = 8;    // 5 to 8
    int stopBits = 1;    // 1 or 2
};

// Parses "baud,parity,data,stop" (parity letter in either case, spaces around fields
// allowed). Gives nothing for anything else, including rates and framings the line
// cannot be set to.
std::optional<LineSettings> ParseModeString(std::u16string_view mode);

// Makes tio a raw line with the given framing: no echo, no line editing, no character
// translation, no flow control, the modem lines ignored, the receiver on, and reads
// that return at once with whatever has arrived.
void ApplyLineSettings(const LineSettings& settings, termios* tio);

// Whether a line read back from the driver really has the framing and rawness that
// ApplyLineSettings asked for; drivers may silently ignore what they cannot do.
bool LineMatches(const LineSettings& settings, const termios& tio);
