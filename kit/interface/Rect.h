// BRect: a rectangle whose edges are inclusive, so BRect(0, 0, 300, 340) covers 301 x 341 pixels.
// A plain value.
#pragma once

#include "kit/interface/Point.h"

class BRect {
public:
    float left = 0;
    float top = 0;
    float right = -1;
    float bottom = -1;

    constexpr BRect() = default;
    constexpr BRect(float left, float top, float right, float bottom)
        : left(left), top(top), right(right), bottom(bottom) {}
    constexpr BRect(BPoint leftTop, BPoint rightBottom)
        : BRect(leftTop.x, leftTop.y, rightBottom.x, rightBottom.y) {}

    constexpr bool operator==(const BRect&) const = default;

    constexpr float Width() const { return right - left; }
    constexpr float Height() const { return bottom - top; }
    constexpr int IntegerWidth() const { return static_cast<int>(right - left + 0.5f); }
    constexpr int IntegerHeight() const { return static_cast<int>(bottom - top + 0.5f); }
    constexpr BPoint LeftTop() const { return {left, top}; }
    constexpr BPoint RightBottom() const { return {right, bottom}; }
    constexpr bool IsValid() const { return left <= right && top <= bottom; }
    constexpr bool Contains(BPoint p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    constexpr BRect OffsetToCopy(BPoint where) const {
        return {where.x, where.y, where.x + Width(), where.y + Height()};
    }
    constexpr BRect OffsetByCopy(float dx, float dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
};
