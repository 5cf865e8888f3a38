#pragma once

// Where a screen's date or time stamp goes, as stored per screen and offered by the page's
// corner lists. The page offers nothing beyond 0..4; any other stored value is no corner.
inline constexpr int kCornerNone = 0;
inline constexpr int kCornerTopLeft = 1;
inline constexpr int kCornerTopRight = 2;
inline constexpr int kCornerBottomLeft = 3;
inline constexpr int kCornerBottomRight = 4;

constexpr bool IsTopCorner(int corner) {
    return corner == kCornerTopLeft || corner == kCornerTopRight;
}

constexpr bool IsBottomCorner(int corner) {
    return corner == kCornerBottomLeft || corner == kCornerBottomRight;
}

constexpr bool IsRightCorner(int corner) {
    return corner == kCornerTopRight || corner == kCornerBottomRight;
}

constexpr bool IsCorner(int corner) {
    return IsTopCorner(corner) || IsBottomCorner(corner);
}
