#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>
#include <vector>

// Where the monitor goes so that it covers none of the main window: all rectangles are outer
// ones (frame included), in screen pixels.
struct MonitorPlace {
    QRect monitor;
    std::size_t size = 0;               // which of the sizes offered it takes
    std::optional<QPoint> mainMovedTo;  // where the main window steps aside to, if it must
};

// free is the screen's free area; sizes are the monitor's outer sizes, largest first, down to
// the smallest that is still legible. The operator's stored place is kept where the main window
// can stand clear of it (stepping aside when mainMayMove). Otherwise the monitor stands beside
// the main window, as large as the room there allows; then, when mainMayMove, the main window
// steps aside for it. Only a screen too small for both keeps the monitor over the main window.
MonitorPlace PlaceMonitor(const QRect& free, const QRect& main, const std::vector<QSize>& sizes,
                          std::optional<QPoint> stored, bool mainMayMove);
