// Tests of the numeric helpers: digit-string comparison, decimal rounding
// (including values past 32 bits), angle folding and direction, pixel-size
// conversion, distance, squares, parity and millisecond sleeps.
#include "numerics/NumericHelpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180.0;

TEST(NumericHelpers, IsDoubleEqualComparesFixedPointDigits)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double a, b;
        int digits;
        int expected;
    };
    const Case cases[] = {
        {1.2344, 1.2341, 3, 1},   // both "1234"
        {1.2344, 1.2346, 3, 0},   // "1234" against "1235"
        {12.5, 1.25, 2, 0},       // "1250" against "125"
        {2.5, -2.5, 0, 1},        // the sign is not part of the digits
        {2.5, -2.5, 3, 1},
        {2.5, -2.5, 10, 1},
        {1.25, 1.3, 1, 1},        // exact tie rounds up: "13"
        {0.125, 0.13, 2, 1},
        {2.675, 2.68, 2, 0},      // 2.675 is 2.67499999...: "267"
        {9.9951, 10.0, 2, 1},     // carry into a new leading digit: "1000"
        {9.994, 10.0, 2, 0},
        {0.004, 0.001, 2, 1},     // nothing left of two decimals: "" and ""
        {0.006, 0.01, 2, 1},      // rounds up to "1"
        {0.0, -0.0, 2, 1},        // "000"
        {0.0, 0.001, 2, 0},       // "000" against ""
        {1249.0, 1201.0, -2, 1},  // negative digits round left of the point: "12"
        {1250.0, 1249.0, -2, 0},
        {1e300, 1e300, 5, 1},
        {1e-300, 2e-300, 300, 0},
        {1e-300, 1.4e-300, 300, 1},
        {nan, nan, 2, 0},
        {nan, 1.0, 2, 0},
        {inf, -inf, 2, 1},
        {inf, 1e308, 2, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsDoubleEqual(c.a, c.b, c.digits), c.expected) << c.a << " " << c.b << " " << c.digits;
}

TEST(NumericHelpers, RoundToDecimals)
{
    struct Case {
        double x;
        int digits;
        double expected;
    };
    const Case cases[] = {
        {1.25, 1, 1.3},
        {-1.5, 0, -2.0},
        {0.004, 2, 0.0},
        {2.5, 0, 3.0},
        {-2.5, 0, -3.0},
        {1234.5678, 2, 1234.57},
        {1234.5678, -2, 1200.0},
        // At and beyond 2^31 after scaling: correctly rounded, no 32-bit wrap.
        {2147483647.6, 0, 2147483648.0},
        {3e9 + 0.5, 0, 3000000001.0},
        {-5e9 - 0.4, 0, -5e9},
        {12345678.91, 3, 12345678.91},
        {1e300, 2, 1e300},  // no fraction left at that size
        {1.5, 400, 1.5},    // more decimals than a double has
        {1e5, -400, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(round(c.x, c.digits), c.expected) << c.x << " to " << c.digits;
    EXPECT_FALSE(std::signbit(round(-0.004, 2)));  // zero without a sign
}

TEST(NumericHelpers, Angles)
{
    struct Normalize {
        double a, expected;
    };
    for (const Normalize& c : {Normalize{3 * kPi / 2, -kPi / 2}, Normalize{kPi, kPi}, Normalize{-kPi, kPi},
                               Normalize{0.0, 0.0}, Normalize{2 * kPi, 0.0}, Normalize{-kPi / 2, -kPi / 2},
                               Normalize{-5 * kPi / 2, -kPi / 2}})
        EXPECT_NEAR(NormalizeAngle(c.a), c.expected, 1e-12) << c.a;

    struct Diff {
        double a, b, expected;
    };
    for (const Diff& c : {Diff{10 * kDeg, -10 * kDeg, 20 * kDeg}, Diff{-10 * kDeg, 10 * kDeg, -20 * kDeg},
                          // Folded differences keep the smaller angle with flipped sign.
                          Diff{170 * kDeg, -170 * kDeg, 20 * kDeg}, Diff{-170 * kDeg, 170 * kDeg, -20 * kDeg},
                          Diff{kPi / 2, kPi / 2, 0.0}, Diff{2 * kPi + 0.1, 0.0, 0.1}})
        EXPECT_NEAR(GetAngleDiff(c.a, c.b), c.expected, 1e-12) << c.a << " " << c.b;

    struct Direction {
        double x, y, expected;
    };
    for (const Direction& c : {Direction{0, -1, 270.0}, Direction{1, 0, 0.0}, Direction{0, 1, 90.0},
                               Direction{-1, 0, 180.0}, Direction{1, 1, 45.0}, Direction{1, -1e-300, 0.0}})
        EXPECT_NEAR(GetAngleInDeg(c.x, c.y), c.expected, 1e-12) << c.x << " " << c.y;
    EXPECT_DOUBLE_EQ(GetAngleInDeg(0, -1), 270.0);
    EXPECT_DOUBLE_EQ(GetAngleInDeg(1, 0), 0.0);
    EXPECT_DOUBLE_EQ(GetAngleInDeg(-3, 3), 135.0);
}

TEST(NumericHelpers, PixelSizeConversions)
{
    struct Case {
        double size, ratio;
        const char* unit;
        int result;
        int32_t x, y;
    };
    const Case cases[] = {
        {0.3, 1.0, "\xC2\xB5m", 1, 3333, 3333},
        {0.3, 2.0, "\xC2\xB5m", 1, 3333, 1666},
        {0.3, 1.0, "mm", 0, 1, 1},
        {0.3, 1.0, "um", 0, 1, 1},
        {0.0, 1.0, "\xC2\xB5m", 0, 1, 1},    // infinite count
        {1e-7, 1.0, "\xC2\xB5m", 0, 1, 1},   // beyond 32 bits
        {0.3, 0.0, "\xC2\xB5m", 0, 1, 1},
    };
    for (const Case& c : cases) {
        int32_t x = -5, y = -5;
        EXPECT_EQ(PixelSize2PixelsPerCm(c.size, c.ratio, CString(c.unit), x, y), c.result) << c.size << c.unit;
        EXPECT_EQ(x, c.x) << c.size << c.unit;
        EXPECT_EQ(y, c.y) << c.size << c.unit;
    }

    double size = 0.0, ratio = 0.0;
    CString unit("mm");
    EXPECT_EQ(PixelsPerCm2PixelSize(4000, 2000, size, ratio, unit), 1);
    EXPECT_DOUBLE_EQ(size, 0.25);
    EXPECT_DOUBLE_EQ(ratio, 2.0);
    EXPECT_EQ(std::string(unit), "\xC2\xB5m");
    EXPECT_EQ(unit.GetLength(), 3);
}

TEST(NumericHelpers, DistanceSquaresParity)
{
    EXPECT_DOUBLE_EQ(distance(CPoint(0, 0), CPoint(3, 4)), 5.0);
    EXPECT_DOUBLE_EQ(distance(CPoint(-1, 7), CPoint(-1, 7)), 0.0);
    EXPECT_DOUBLE_EQ(distance(CPoint(-2000000000, 0), CPoint(2000000000, 0)), 4e9);
    EXPECT_DOUBLE_EQ(distance(CPoint(0, 50000), CPoint(0, 0)), 50000.0);

    EXPECT_EQ(sqr(5), 25);
    EXPECT_EQ(sqr(-7), 49);
    EXPECT_EQ(sqr(46340), 2147395600);
    EXPECT_EQ(sqr(46341), -2147479015);  // 32-bit wrap-around
    EXPECT_DOUBLE_EQ(sqr(1.5), 2.25);

    struct Parity {
        int32_t x;
        char even;
    };
    for (const Parity& c : {Parity{-3, 0}, Parity{0, 1}, Parity{2, 1}, Parity{-4, 1}, Parity{7, 0},
                            Parity{16777217, 0}, Parity{INT_MAX, 0}, Parity{INT_MIN, 1}}) {
        EXPECT_EQ(is_even(c.x), c.even) << c.x;
        EXPECT_EQ(is_odd(c.x), c.even ? 0 : 1) << c.x;
    }
}

TEST(NumericHelpers, SleepInMilliseconds)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    sleep(20);
    sleep(20L);
    sleep(-1);   // negative: returns at once
    sleep(0L);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
}

} // namespace
