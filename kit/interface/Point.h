// BPoint: a point in a view's or a window's coordinates. A plain value.
#pragma once

class BPoint {
public:
    float x = 0;
    float y = 0;

    constexpr BPoint() = default;
    constexpr BPoint(float x, float y) : x(x), y(y) {}

    constexpr bool operator==(const BPoint&) const = default;
    constexpr BPoint operator+(const BPoint& other) const { return {x + other.x, y + other.y}; }
    constexpr BPoint operator-(const BPoint& other) const { return {x - other.x, y - other.y}; }
};

constexpr BPoint B_ORIGIN(0, 0);
