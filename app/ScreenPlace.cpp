#include "ScreenPlace.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <algorithm>
#include <limits>

QRect PulledOnto(const QRect& free, const QPoint& place, const QSize& size) {
    const int x =
        std::clamp(place.x(), free.left(), std::max(free.left(), free.right() + 1 - size.width()));
    const int y =
        std::clamp(place.y(), free.top(), std::max(free.top(), free.bottom() + 1 - size.height()));
    return {QPoint(x, y), size};
}

QPoint OnTheScreens(const QPoint& place, const QSize& size) {
    const QRect wanted(place, size);
    QRegion screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens += screen->availableGeometry();
    if (screens.isEmpty() || screens.intersected(wanted) == QRegion(wanted)) return place;
    // The nearest by the distance from the window's middle, wide enough for any place.
    const qint64 midX = qint64{place.x()} + size.width() / 2;
    const qint64 midY = qint64{place.y()} + size.height() / 2;
    QRect nearest;
    qint64 best = std::numeric_limits<qint64>::max();
    for (const QRect& free : screens) {
        const qint64 dx = std::max({qint64{free.left()} - midX, qint64{0}, midX - free.right()});
        const qint64 dy = std::max({qint64{free.top()} - midY, qint64{0}, midY - free.bottom()});
        if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            nearest = free;
        }
    }
    return PulledOnto(nearest, place, size).topLeft();
}
