#pragma once
// Points and rectangles as the platform measures them: a rectangle's Right
// and Bottom lie one past its last column and row, so its width is
// Right - Left and a point on Right is outside it. (QRect's right() is the
// last column instead; convert with ToQRect / FromQRect of Graphics.h.)

#include <algorithm>

struct TPoint
{
    int X = 0;
    int Y = 0;
    constexpr bool operator==(const TPoint&) const = default;
};

struct TSize
{
    int cx = 0;
    int cy = 0;
    constexpr bool operator==(const TSize&) const = default;
};

struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr TPoint TopLeft() const { return {Left, Top}; }
    constexpr TPoint BottomRight() const { return {Right, Bottom}; }
    constexpr bool operator==(const TRect&) const = default;
};

constexpr TPoint Point(int x, int y)
{
    return {x, y};
}
constexpr TRect Rect(int left, int top, int right, int bottom)
{
    return {left, top, right, bottom};
}
constexpr TRect Bounds(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}
// Whether the point lies in the rectangle: Left <= X < Right, Top <= Y < Bottom.
constexpr bool PtInRect(const TRect& r, const TPoint& p)
{
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}
// No area: Right <= Left or Bottom <= Top.
constexpr bool IsRectEmpty(const TRect& r)
{
    return r.Right <= r.Left || r.Bottom <= r.Top;
}
constexpr TRect OffsetRect(TRect r, int dx, int dy)
{
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}
// Grows the rectangle by dx on the left and right and dy at top and bottom
// (negative values shrink it).
constexpr TRect InflateRect(TRect r, int dx, int dy)
{
    return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}
// The common part; an empty rectangle (all 0) when they do not meet.
constexpr TRect IntersectRect(const TRect& a, const TRect& b)
{
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    return IsRectEmpty(r) ? TRect{} : r;
}
