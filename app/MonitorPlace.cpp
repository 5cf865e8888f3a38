#include "MonitorPlace.h"

#include "ScreenPlace.h"

namespace {

constexpr int kGap = 8;

bool Fits(const QRect& free, const QSize& size) {
    return size.width() <= free.width() && size.height() <= free.height();
}

// Where the main window may stand clear of the monitor at its own height, right of it first.
std::optional<QPoint> AsideOf(const QRect& free, const QRect& main, const QRect& monitor) {
    const int right = monitor.right() + 1 + kGap;
    if (right + main.width() <= free.right() + 1) return QPoint(right, main.top());
    const int left = monitor.left() - kGap - main.width();
    if (left >= free.left()) return QPoint(left, main.top());
    return std::nullopt;
}

}  // namespace

MonitorPlace PlaceMonitor(const QRect& free, const QRect& main, const std::vector<QSize>& sizes,
                          std::optional<QPoint> stored, bool mainMayMove) {
    if (sizes.empty()) return {};
    std::size_t first = 0;
    while (first + 1 < sizes.size() && !Fits(free, sizes[first])) ++first;

    if (stored) {
        const QRect at = PulledOnto(free, *stored, sizes[first]);
        if (!at.intersects(main)) return {at, first, std::nullopt};
        if (mainMayMove)
            if (const std::optional<QPoint> aside = AsideOf(free, main, at))
                return {at, first, aside};
    }
    // Beside the main window, right of it first, shrinking to the room there is.
    for (std::size_t i = first; i < sizes.size(); ++i) {
        const QSize& size = sizes[i];
        for (const int x : {main.right() + 1 + kGap, main.left() - kGap - size.width()}) {
            const QRect at = PulledOnto(free, QPoint(x, main.top()), size);
            if (!at.intersects(main)) return {at, i, std::nullopt};
        }
    }
    // At the screen's edge on the side with more room, the main window beside it.
    for (std::size_t i = first; mainMayMove && i < sizes.size(); ++i) {
        const QSize& size = sizes[i];
        if (main.width() + kGap + size.width() > free.width()) continue;
        const bool right = free.right() - main.right() >= main.left() - free.left();
        const QRect at = PulledOnto(
            free, QPoint(right ? free.right() + 1 - size.width() : free.left(), main.top()), size);
        return {at, i, AsideOf(free, main, at)};
    }
    // A screen too small for both.
    const std::size_t last = sizes.size() - 1;
    return {PulledOnto(free, stored.value_or(QPoint(main.right() + 1 + kGap, main.top())),
                       sizes[stored ? first : last]),
            stored ? first : last, std::nullopt};
}
