#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "Stamps.h"
#include "TextLayout.h"

// Everything one Send writes to the unit, in order: the clear, the date and time stamps
// read at one second, and the screen's text laid out in rows. Each piece is one write, as
// the line takes them; an empty stamp is not written.
struct SendFrame {
    std::string clear;
    StampCommands stamps;
    TextLayout layout;

    // The pieces in the order they are written, empty stamps left out.
    std::vector<std::string_view> Writes() const;
    // All of them as one stream, as the unit receives them.
    std::string Bytes() const;
};

// The frame of a Send of text with these corners at the second now. Every part of the
// program that shows, sends or reports a Send composes it here.
SendFrame ComposeSendFrame(std::string_view text, int dateCorner, int timeCorner, std::time_t now);
