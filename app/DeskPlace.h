#pragma once

#include <cstddef>
#include <optional>
#include <vector>

// Where the main window and its two tool windows (the monitor and the cue list) stand on one
// screen. Plain arithmetic: every rectangle is an outer one (frame included), in the screen's
// logical pixels.

struct DeskSize {
    int width = 0;
    int height = 0;
};

struct DeskRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int Right() const { return x + width; }  // one past the last column
    int Bottom() const { return y + height; }
    DeskSize Size() const { return {width, height}; }
    bool operator==(const DeskRect&) const = default;
};

// Whether the two share a pixel.
bool Overlap(const DeskRect& a, const DeskRect& b);
// Whether inner lies wholly within outer.
bool Within(const DeskRect& outer, const DeskRect& inner);

struct DeskTool {
    // Its outer sizes, largest first, down to the smallest that still reads. The cue list,
    // which the operator may size freely, gives its natural size and its smallest.
    std::vector<DeskSize> sizes;
    // Where it stands and stays: shown already, or put there by the operator.
    std::optional<DeskRect> kept;
};

struct DeskIn {
    DeskRect free;  // the screen's area free of panels
    DeskRect main;
    bool mainMayMove = false;  // the strip, or a main window the operator moved, stays
    DeskTool monitor;
    DeskTool cues;
};

struct DeskOut {
    DeskRect main;
    DeskRect monitor;
    std::size_t monitorSize = 0;  // which of the monitor's sizes it takes
    DeskRect cues;
    // Whether the two tools share one panel beside the main window, one above the other.
    bool panel = false;
};

// Both tools are placed, open or not, so that whichever opens first the other finds its place
// free. On a screen with room the three stand side by side; where they do not fit, the monitor
// (as large as the room allows) stands above the cue list in one panel beside the main window,
// which steps aside for it when it may; where the screen is too short for that, the cue list
// goes under the main window and the monitor beside both. A kept tool stays where it is (pulled
// onto the screen); a placed one goes round kept ones. Only a screen too small for the main window
// and the smallest panel leaves windows over each other.
DeskOut PlaceDesk(const DeskIn& in);
