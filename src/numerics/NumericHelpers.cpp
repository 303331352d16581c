// Numeric helpers: fixed-point digit strings for comparing doubles, decimal
// rounding, angle folding, pixel-size conversion, distance, squares, parity
// and millisecond sleeps.
#include "numerics/NumericHelpers.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr const char* kMicrometre = "\xC2\xB5m";  // "µm"

// Exact decimal significand of |v| (finite, non-zero): the digits without
// leading zeros, and the position of the decimal point relative to them
// (v = 0.d1d2d3... * 10^decimalPoint).
void ExactDigits(double v, std::string& digits, int& decimalPoint)
{
    // v = M * 2^E with M odd: the exact expansion has max(0, -E) fraction
    // digits, so printing that many is exact (no rounding by printf).
    int exponent = 0;
    const double fraction = std::frexp(v, &exponent);
    auto significand = static_cast<uint64_t>(std::ldexp(fraction, 53));
    int binaryExponent = exponent - 53;
    while (significand != 0 && (significand & 1u) == 0) {
        significand >>= 1;
        ++binaryExponent;
    }
    const int fractionDigits = binaryExponent < 0 ? -binaryExponent : 0;
    std::vector<char> text(static_cast<std::size_t>(fractionDigits) + 330);
    std::snprintf(text.data(), text.size(), "%.*f", fractionDigits, v);

    const std::string printed(text.data());
    const std::size_t point = printed.find('.');
    std::string integerPart = printed.substr(0, point);
    const std::string fractionPart = point == std::string::npos ? std::string() : printed.substr(point + 1);
    if (integerPart == "0") {
        // Below 1: the leading zeros of the fraction move the point left.
        std::size_t zeros = 0;
        while (zeros < fractionPart.size() && fractionPart[zeros] == '0')
            ++zeros;
        digits = fractionPart.substr(zeros);
        decimalPoint = -static_cast<int>(zeros);
    } else {
        digits = integerPart + fractionPart;
        decimalPoint = static_cast<int>(integerPart.size());
    }
}

// The digit string of the fixed-point conversion of v with `count` digits after
// the point: significant digits up to that position, rounded half up on the
// first dropped digit (a carry may add a leading '1'); nothing when the
// position lies left of the first significant digit. Zero has the single
// significant digit "0" before the point, so it gives 1 + count zeros.
std::string FixedPointDigits(double v, int count)
{
    std::string significand = "0";
    int decimalPoint = 1;
    const double magnitude = std::fabs(v);
    if (magnitude != 0.0)
        ExactDigits(magnitude, significand, decimalPoint);

    const int kept = decimalPoint + count;
    if (kept < 0)
        return std::string();
    std::string result(static_cast<std::size_t>(kept), '0');
    for (int i = 0; i < kept && i < static_cast<int>(significand.size()); ++i)
        result[static_cast<std::size_t>(i)] = significand[static_cast<std::size_t>(i)];
    const bool roundUp = kept < static_cast<int>(significand.size()) &&
                         significand[static_cast<std::size_t>(kept)] >= '5';
    if (roundUp) {
        int i = kept - 1;
        while (i >= 0 && result[static_cast<std::size_t>(i)] == '9')
            result[static_cast<std::size_t>(i--)] = '0';
        if (i >= 0)
            ++result[static_cast<std::size_t>(i)];
        else
            result.insert(result.begin(), '1');
    }
    return result;
}

} // namespace

int IsDoubleEqual(double a, double b, int digits)
{
    if (std::isnan(a) || std::isnan(b))
        return 0;
    if (std::isinf(a) || std::isinf(b))
        return (std::isinf(a) && std::isinf(b)) ? 1 : 0;
    // Beyond 1100 decimals every double's expansion has ended (only zeros
    // follow); below -400 no double keeps a digit. Clamping changes no answer.
    const int count = std::clamp(digits, -400, 1100);
    return FixedPointDigits(a, count) == FixedPointDigits(b, count) ? 1 : 0;
}

double round(double x, int digits)
{
    const double p = std::pow(10.0, static_cast<double>(digits));
    if (p == 0.0)
        return 0.0;  // rounding to a power of ten beyond any double's size
    const double scaled = p * x;
    // From 2^52 on a double has no fraction left to round, and an infinite
    // product means the precision asked for exceeds the double's.
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0)
        return x;
    const double r = std::round(scaled);
    // A value that rounds to zero is +0.0, never -0.0 (which prints "-0.00").
    return r == 0.0 ? 0.0 : r / p;
}

double NormalizeAngle(double a)
{
    double r = a - std::floor(a / kTwoPi) * kTwoPi;  // [0, 2pi)
    if (r > kPi)
        r -= kTwoPi;
    return r;
}

double GetAngleDiff(double a, double b)
{
    const double d = NormalizeAngle(a) - NormalizeAngle(b);
    if (d < -kPi)
        return -d - kTwoPi;
    if (d > kPi)
        return kTwoPi - d;
    return d;
}

double GetAngleInDeg(double x, double y)
{
    double t = std::atan2(y, x);
    if (t < 0.0)
        t += kTwoPi;
    const double degrees = t / kPi * 180.0;
    // A tiny negative angle plus 2pi rounds to 2pi itself: that is 0 degrees.
    return degrees >= 360.0 ? 0.0 : degrees;
}

double GetAngleInDeg(int x, int y)
{
    return GetAngleInDeg(static_cast<double>(x), static_cast<double>(y));
}

int PixelSize2PixelsPerCm(double pixelSize, double aspectRatio, const CString& unit,
                          int32_t& perCmX, int32_t& perCmY)
{
    const double countX = 1000.0 / pixelSize;
    const double countY = 1000.0 / (pixelSize * aspectRatio);
    // Truncation of a count outside the 32-bit range (or of inf/NaN from a
    // zero size or ratio) has no meaningful result.
    const auto fits = [](double c) {
        return std::isfinite(c) && c > -2147483649.0 && c < 2147483648.0;
    };
    if (unit != kMicrometre || !fits(countX) || !fits(countY)) {
        perCmX = 1;
        perCmY = 1;
        return 0;
    }
    perCmX = static_cast<int32_t>(countX);
    perCmY = static_cast<int32_t>(countY);
    return 1;
}

int PixelsPerCm2PixelSize(int32_t perCmX, int32_t perCmY, double& pixelSize, double& aspectRatio,
                          CString& unit)
{
    pixelSize = 1000.0 / static_cast<double>(perCmX);
    aspectRatio = static_cast<double>(perCmX) / static_cast<double>(perCmY);
    unit = kMicrometre;
    return 1;
}

double distance(CPoint p, CPoint q)
{
    // Differences of 32-bit coordinates need 33 bits and their squares 65:
    // square in double, which cannot overflow and is exact while the sum
    // stays below 2^53 (always so where 32-bit arithmetic would have held).
    const auto dy = static_cast<double>(static_cast<int64_t>(p.y) - q.y);
    const auto dx = static_cast<double>(static_cast<int64_t>(p.x) - q.x);
    return std::sqrt(dy * dy + dx * dx);
}

int32_t sqr(int32_t x)
{
    // Multiply in unsigned arithmetic: wraps like the platform's 32-bit int
    // product without the undefined behaviour of signed overflow.
    const uint32_t u = static_cast<uint32_t>(x);
    return static_cast<int32_t>(u * u);
}

double sqr(double x)
{
    return x * x;
}

char is_even(int32_t x)
{
    return (x % 2 == 0) ? 1 : 0;
}

char is_odd(int32_t x)
{
    return is_even(x) ? 0 : 1;
}

void sleep(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void sleep(long ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
