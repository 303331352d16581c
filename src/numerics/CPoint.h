// CPoint - a point of integer pixel coordinates (x, y), as the station's image
// code passes them to the numeric helpers (distance of two points).
// A plain value type: copyable, comparable, no hidden state.
#pragma once

#include <cstdint>

class CPoint {
public:
    int32_t x;
    int32_t y;

    // The origin (0, 0).
    CPoint() : x(0), y(0) {}
    CPoint(int32_t initX, int32_t initY) : x(initX), y(initY) {}

    // Moves the point by (dx, dy).
    void Offset(int32_t dx, int32_t dy)
    {
        x += dx;
        y += dy;
    }

    friend bool operator==(const CPoint& a, const CPoint& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const CPoint& a, const CPoint& b) { return !(a == b); }
};
