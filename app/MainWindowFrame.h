#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>

#include "DHtmlDialog.h"

// The main window as the window manager frames it, for a tool window placed beside it: its
// outer rectangle and the frame around its client area.
struct MainWindowFrame {
    QRect outer;
    QMargins frame;
};

// A window just shown may not be framed yet: a frame as large as most is assumed then.
MainWindowFrame FrameOfMainWindow(const CDHtmlDialog& window);

// Moves the main window, unchanged in size, so that its outer top left is at outerTopLeft.
void MoveMainWindow(CDHtmlDialog& window, const MainWindowFrame& main, QPoint outerTopLeft);
