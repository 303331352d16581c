// An axis-parallel rectangle on the measuring stage, held as four doubles in
// the order right, bottom, left, top. Corners are always kept arranged:
// left <= right and top <= bottom (y grows downward on the stage).
#pragma once

#include "geometry/vector2d.h"

#include <algorithm>

class CRectangle {
public:
    // The empty rectangle at the origin (all four values 0).
    constexpr CRectangle() = default;
    // Values given in the stored order right, bottom, left, top; the corners are
    // arranged afterwards, so CRectangle(1, 2, 5, 8) holds right 5, bottom 8,
    // left 1, top 2.
    constexpr CRectangle(double right, double bottom, double left, double top)
        : m_Right(right), m_Bottom(bottom), m_Left(left), m_Top(top)
    {
        ArrangeCorners();
    }
    // The rectangle spanned by two opposite corners, in any order.
    constexpr CRectangle(const vector2d<double>& corner1, const vector2d<double>& corner2)
        : m_Right(corner1.x), m_Bottom(corner1.y), m_Left(corner2.x), m_Top(corner2.y)
    {
        ArrangeCorners();
    }

    // Replaces all four values at once (same order and arranging as the
    // constructor). There are no single-value setters on purpose: arranging after
    // each one would swap values half-way through an update.
    constexpr void Set(double right, double bottom, double left, double top)
    {
        m_Right = right;
        m_Bottom = bottom;
        m_Left = left;
        m_Top = top;
        ArrangeCorners();
    }

    constexpr double Right() const { return m_Right; }
    constexpr double Bottom() const { return m_Bottom; }
    constexpr double Left() const { return m_Left; }
    constexpr double Top() const { return m_Top; }

    constexpr vector2d<double> TopLeft() const { return {m_Left, m_Top}; }
    constexpr vector2d<double> TopRight() const { return {m_Right, m_Top}; }
    constexpr vector2d<double> BottomLeft() const { return {m_Left, m_Bottom}; }
    constexpr vector2d<double> BottomRight() const { return {m_Right, m_Bottom}; }

    // Extent along x (right - left) and y (bottom - top); never negative.
    constexpr double Width() const { return m_Right - m_Left; }
    constexpr double Height() const { return m_Bottom - m_Top; }

    friend constexpr bool operator==(const CRectangle& a, const CRectangle& b)
    {
        return a.m_Right == b.m_Right && a.m_Bottom == b.m_Bottom && a.m_Left == b.m_Left &&
               a.m_Top == b.m_Top;
    }
    friend constexpr bool operator!=(const CRectangle& a, const CRectangle& b) { return !(a == b); }

private:
    // Left becomes the smaller and right the larger x value, top the smaller and
    // bottom the larger y value. Called by every constructor and by Set, so a
    // rectangle is never seen unarranged.
    constexpr void ArrangeCorners()
    {
        const double x1 = m_Left;
        const double x2 = m_Right;
        const double y1 = m_Top;
        const double y2 = m_Bottom;
        m_Left = std::min(x1, x2);
        m_Right = std::max(x1, x2);
        m_Top = std::min(y1, y2);
        m_Bottom = std::max(y1, y2);
    }

    double m_Right = 0.0;
    double m_Bottom = 0.0;
    double m_Left = 0.0;
    double m_Top = 0.0;
};
