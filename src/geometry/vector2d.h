// A point or displacement on the measuring stage: an x and a y, in this order.
// A plain value type with the usual vector arithmetic; the station's trace
// coordinates use vector2d<double> (µm on the stage, y growing downward).
#pragma once

#include <cmath>

template <typename T>
struct vector2d {
    T x{};
    T y{};

    constexpr vector2d() = default;
    constexpr vector2d(T xValue, T yValue) : x(xValue), y(yValue) {}

    constexpr vector2d& operator+=(const vector2d& other)
    {
        x += other.x;
        y += other.y;
        return *this;
    }
    constexpr vector2d& operator-=(const vector2d& other)
    {
        x -= other.x;
        y -= other.y;
        return *this;
    }
    constexpr vector2d& operator*=(T factor)
    {
        x *= factor;
        y *= factor;
        return *this;
    }
    // Division by zero follows the rules of T (infinities for doubles).
    constexpr vector2d& operator/=(T divisor)
    {
        x /= divisor;
        y /= divisor;
        return *this;
    }

    friend constexpr vector2d operator+(vector2d a, const vector2d& b) { return a += b; }
    friend constexpr vector2d operator-(vector2d a, const vector2d& b) { return a -= b; }
    friend constexpr vector2d operator*(vector2d a, T factor) { return a *= factor; }
    friend constexpr vector2d operator*(T factor, vector2d a) { return a *= factor; }
    friend constexpr vector2d operator/(vector2d a, T divisor) { return a /= divisor; }
    friend constexpr vector2d operator-(const vector2d& a) { return vector2d(-a.x, -a.y); }

    // Exact comparison of both coordinates.
    friend constexpr bool operator==(const vector2d& a, const vector2d& b) { return a.x == b.x && a.y == b.y; }
    friend constexpr bool operator!=(const vector2d& a, const vector2d& b) { return !(a == b); }

    // Scalar product x·x' + y·y'.
    constexpr T Dot(const vector2d& other) const { return x * other.x + y * other.y; }
    // Euclidean length sqrt(x² + y²), computed without intermediate overflow.
    double Length() const { return std::hypot(static_cast<double>(x), static_cast<double>(y)); }
};
