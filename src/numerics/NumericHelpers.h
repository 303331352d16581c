// Small numeric helpers used beside the hardness and profile classes:
// comparing and rounding doubles to decimals, angles in radians and degrees,
// camera pixel size, point distance, squares, parity and millisecond sleeps.
// Angles are in radians unless the name says degrees.
#pragma once

#include "framework/CString.h"
#include "numerics/CPoint.h"

#include <cstdint>

// 1 when a and b give the same decimal digit string when each is written with
// `digits` digits after the decimal point, else 0. The digit string has no
// sign, no decimal point and no leading zeros, and is rounded half up at the
// last kept digit; digits left of the first significant one vanish. Hence
// 1.2344 and 1.2341 agree to 3 digits ("1234"), 2.5 and -2.5 agree at every
// precision (the sign is not compared), 12.5 and 1.25 differ to 2 digits
// ("1250" against "125"), and 0.0 ("000") differs from 0.001 ("") to 2 digits.
// NaN equals nothing; infinities equal each other whatever their signs.
int IsDoubleEqual(double a, double b, int digits);

// x rounded to `digits` decimals, halves away from zero (round(1.25, 1) is
// 1.3, round(-1.5, 0) is -2.0); negative digits round to tens, hundreds, ...
// Values too large to carry a fraction at that precision come back unchanged.
// Overloads ::round(double) of the C library; the two never compete because
// the argument counts differ.
double round(double x, int digits);

// Angle a brought into (-pi, pi].
double NormalizeAngle(double a);

// NormalizeAngle(a) - NormalizeAngle(b) folded into [-pi, pi]. The magnitude is
// the smaller angle between the two directions; the sign is that of the raw
// difference when no fold is needed and flips when the difference is folded
// (a = 170 deg, b = -170 deg gives +20 deg).
double GetAngleDiff(double a, double b);

// Direction of the vector (x, y) in degrees, in [0, 360).
double GetAngleInDeg(double x, double y);
double GetAngleInDeg(int x, int y);

// Pixel counts from the camera's pixel size (in the unit given, which must be
// exactly "µm") and aspect ratio: perCmX = 1000 / pixelSize and
// perCmY = 1000 / (pixelSize * aspectRatio), truncated toward zero.
// Returns 1 on success; 0 with both outputs set to 1 for another unit or for a
// size or ratio whose counts are not finite or do not fit 32 bits.
int PixelSize2PixelsPerCm(double pixelSize, double aspectRatio, const CString& unit,
                          int32_t& perCmX, int32_t& perCmY);

// The inverse: pixelSize = 1000 / perCmX (µm), aspectRatio = perCmX / perCmY,
// unit = "µm". Always returns 1 (a zero count gives an infinite size or ratio).
int PixelsPerCm2PixelSize(int32_t perCmX, int32_t perCmY, double& pixelSize, double& aspectRatio,
                          CString& unit);

// Euclidean distance of two integer points (differences taken in 64 bits, so
// far-apart points do not overflow). Beside std::distance on iterators: that
// template does not accept points and this function does not accept
// iterators, so both resolve unambiguously even under `using namespace std`.
double distance(CPoint p, CPoint q);

// x*x; the integer form wraps around in 32-bit two's complement like the
// platform's int multiplication.
int32_t sqr(int32_t x);
double sqr(double x);

// 1 when x is even (odd), else 0.
char is_even(int32_t x);
char is_odd(int32_t x);

// Suspend the calling thread for ms milliseconds; a negative count returns at
// once. These overload POSIX ::sleep(unsigned int seconds): an int or long
// argument (including int literals and promoted char/short) selects the
// millisecond form, an unsigned int argument the POSIX one in seconds; an
// unsigned long or size_t argument is ambiguous and must be cast.
void sleep(int ms);
void sleep(long ms);
