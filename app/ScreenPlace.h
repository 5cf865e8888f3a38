#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Places for windows on the screens; all rectangles are outer ones (frame included).

// A rectangle of this size at place, pulled wholly onto the free area where it fits there.
QRect PulledOnto(const QRect& free, const QPoint& place, const QSize& size);

// Where a window of this size shows whole: place itself when it lies on the screens' free
// areas there, else pulled onto the nearest screen's.
QPoint OnTheScreens(const QPoint& place, const QSize& size);
