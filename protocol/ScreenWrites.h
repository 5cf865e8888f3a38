#pragma once

#include <ctime>
#include <string_view>
#include <vector>

#include "Stamps.h"
#include "TextLayout.h"

// What Send and Clear write to the unit for one screen, with both stamps from one clock
// reading. Each of Writes() goes to the port in a write of its own, in that order: the
// clear, the date stamp, the time stamp, then, for a Send, the laid-out rows in one piece.
struct ScreenWrites {
    StampCommands stamps;
    TextLayout layout;  // no commands for a Clear

    // The writes in line order, stamps without a corner left out. The views point into this
    // object (and the clear command), so they last as long as it does, unchanged.
    std::vector<std::string_view> Writes() const;
};

// Send: clear, stamps, the text laid out for the screen's corners.
ScreenWrites ComposeSend(std::string_view text, int dateCorner, int timeCorner, std::time_t now);

// Clear: clear and stamps; the text stays off the unit.
ScreenWrites ComposeClear(int dateCorner, int timeCorner, std::time_t now);
