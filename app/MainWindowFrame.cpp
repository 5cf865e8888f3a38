#include "MainWindowFrame.h"

namespace {

// A window manager's frame: a title bar and thin borders, generous rather than tight.
const QMargins kAssumedFrame(4, 40, 4, 4);

}  // namespace

MainWindowFrame FrameOfMainWindow(const CDHtmlDialog& window) {
    RECT rect;
    window.GetWindowRect(&rect);
    const QRect inner = window.geometry();
    QRect outer(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (outer == inner) outer = inner.marginsAdded(kAssumedFrame);
    return {outer, QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                            outer.right() - inner.right(), outer.bottom() - inner.bottom())};
}

void MoveMainWindow(CDHtmlDialog& window, const MainWindowFrame& main, QPoint outerTopLeft) {
    RECT rect;
    window.GetWindowRect(&rect);
    window.MoveWindow(rect.left + outerTopLeft.x() - main.outer.left(),
                      rect.top + outerTopLeft.y() - main.outer.top(), rect.right - rect.left,
                      rect.bottom - rect.top, true);
}
