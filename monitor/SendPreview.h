#pragma once

#include <ctime>
#include <string_view>

#include "CaptionDisplay.h"
#include "TextLayout.h"

// What pressing Send now would put on the unit: the display as it stands after the clear,
// both stamps at the given time and the screen's text laid out, each composed as Send
// composes it; with the layout, for the warning and the rows that would be dropped.
struct SendPreview {
    CCaptionDisplay display;
    TextLayout layout;
    // The text holds the unit's own commands (a clear, a position), which the unit carries out.
    bool unitCommands = false;
};

SendPreview PreviewSend(std::string_view text, int dateCorner, int timeCorner, std::time_t now);
