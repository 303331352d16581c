// Tests of the least-squares fits and dense solvers: line, parabola and bell
// fits with their failure paths, the pivoting rules of elimination and
// inversion, and Gauss-Newton step rejection.
#include "numerics/CurveFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

constexpr double kSentinel = -12345.0;

TEST(CurveFit, FitLine)
{
    double x[] = {0.0, 1.0, 2.0};
    double y[] = {1.0, 3.0, 5.0};
    double slope = kSentinel;
    double intercept = kSentinel;
    EXPECT_EQ(FitLine(3, x, y, slope, intercept), 1);
    EXPECT_NEAR(slope, 2.0, 1e-12);
    EXPECT_NEAR(intercept, 1.0, 1e-12);

    // Too few points or no arrays: 0 and the outputs untouched.
    struct Case {
        int n;
        double* x;
        double* y;
    };
    for (const Case& c : {Case{1, x, y}, Case{0, x, y}, Case{3, nullptr, y}, Case{3, x, nullptr}}) {
        slope = intercept = kSentinel;
        EXPECT_EQ(FitLine(c.n, c.x, c.y, slope, intercept), 0) << c.n;
        EXPECT_EQ(slope, kSentinel);
        EXPECT_EQ(intercept, kSentinel);
    }

    // All x equal: the normal matrix is singular.
    double same[] = {2.0, 2.0, 2.0};
    EXPECT_EQ(FitLine(3, same, y, slope, intercept), 0);
}

TEST(CurveFit, FitParabolaAndExtreme)
{
    double x[] = {-1.0, 0.0, 1.0};
    double y[] = {1.0, 0.0, 1.0};
    double a2 = kSentinel, a1 = kSentinel, a0 = kSentinel;
    EXPECT_EQ(FitParabola(3, x, y, a2, a1, a0), 1);
    EXPECT_NEAR(a2, 1.0, 1e-12);
    EXPECT_NEAR(a1, 0.0, 1e-12);
    EXPECT_NEAR(a0, 0.0, 1e-12);

    a2 = a1 = a0 = kSentinel;
    EXPECT_EQ(FitParabola(2, x, y, a2, a1, a0), 0);
    EXPECT_EQ(a2, kSentinel);

    struct Case {
        double a2, a1, a0;
        int result;
        bool isMaximum;
        double x, y;
    };
    const Case cases[] = {
        {1.0, 0.0, 0.0, 1, false, 0.0, 0.0},
        {-1.0, 0.0, 0.0, 1, true, 0.0, 0.0},
        {2.0, -4.0, 1.0, 1, false, 1.0, -1.0},
        {0.0, 3.0, 1.0, 0, true, kSentinel, kSentinel},  // a straight line: untouched
    };
    for (const Case& c : cases) {
        bool isMaximum = true;
        double ex = kSentinel, ey = kSentinel;
        EXPECT_EQ(GetParabolaExtreme(c.a2, c.a1, c.a0, isMaximum, ex, ey), c.result) << c.a2;
        EXPECT_EQ(isMaximum, c.isMaximum) << c.a2;
        EXPECT_DOUBLE_EQ(ex, c.x) << c.a2;
        EXPECT_DOUBLE_EQ(ey, c.y) << c.a2;
    }
}

TEST(CurveFit, LineIntersectionAndBellValue)
{
    double x = kSentinel, y = kSentinel;
    EXPECT_EQ(CalcLineInterSection(1.0, 0.0, -1.0, 2.0, x, y), 1);
    EXPECT_DOUBLE_EQ(x, 1.0);
    EXPECT_DOUBLE_EQ(y, 1.0);
    x = y = kSentinel;
    EXPECT_EQ(CalcLineInterSection(2.0, 0.0, 2.0, 5.0, x, y), 0);
    EXPECT_EQ(x, kSentinel);
    EXPECT_EQ(y, kSentinel);

    EXPECT_DOUBLE_EQ(CalcGaussianAt(0.0, 300.0, 0.5, 400.0), 700.0);
    EXPECT_DOUBLE_EQ(CalcGaussianAt(0.5, 300.0, 0.5, 400.0), 300.0 / std::exp(1.0) + 400.0);
    for (double at : {-1.0, 0.0, 0.3, 7.0}) {
        EXPECT_EQ(CalcGaussianAt(at, 300.0, 0.0, 400.0), 400.0);
        EXPECT_EQ(CalcGaussianAt(at, 300.0, -0.5, 400.0), 400.0);
    }
}

TEST(CurveFit, SolveLinearResultsAndPivoting)
{
    double solution[2] = {kSentinel, kSentinel};
    double none[6] = {};
    EXPECT_EQ(solve_linear(0, none, solution), LINALG_INVALID_ARGUMENT);
    EXPECT_EQ(solve_linear(2, nullptr, solution), LINALG_INVALID_ARGUMENT);
    EXPECT_EQ(solve_linear(2, none, nullptr), LINALG_INVALID_ARGUMENT);

    // x + 2y = 5, 3x + y = 5: the larger pivot 3 is swapped up.
    double system[] = {1.0, 2.0, 5.0, 3.0, 1.0, 5.0};
    EXPECT_EQ(solve_linear(2, system, solution), LINALG_OK);
    EXPECT_NEAR(solution[0], 1.0, 1e-12);
    EXPECT_NEAR(solution[1], 2.0, 1e-12);
    EXPECT_EQ(system[0], 3.0);  // left in eliminated form, pivot row first

    // |1| and |-1| tie: the first candidate stays the pivot row.
    double tie[] = {1.0, 2.0, 3.0, -1.0, 1.0, 0.0};
    EXPECT_EQ(solve_linear(2, tie, solution), LINALG_OK);
    EXPECT_EQ(tie[0], 1.0);
    EXPECT_EQ(tie[1], 2.0);
    EXPECT_EQ(tie[2], 3.0);
    EXPECT_NEAR(solution[0], 1.0, 1e-12);
    EXPECT_NEAR(solution[1], 1.0, 1e-12);

    // A zero row: the last pivot is 0.0, found by the back substitution.
    double zeroRow[] = {1.0, 1.0, 2.0, 0.0, 0.0, 0.0};
    EXPECT_EQ(solve_linear(2, zeroRow, solution), LINALG_SINGULAR);

    // A zero first column stops the elimination; the back substitution still
    // runs, writes x1 = 4 / 2 and stops at the zero diagonal of row 0.
    double zeroColumn[] = {0.0, 1.0, 3.0, 0.0, 2.0, 4.0};
    solution[0] = solution[1] = kSentinel;
    EXPECT_EQ(solve_linear(2, zeroColumn, solution), LINALG_SINGULAR);
    EXPECT_EQ(solution[1], 2.0);
    EXPECT_EQ(solution[0], kSentinel);

    // 1 x 1 with a zero coefficient: singular, nothing written.
    double scalar[] = {0.0, 5.0};
    solution[0] = kSentinel;
    EXPECT_EQ(solve_linear(1, scalar, solution), LINALG_SINGULAR);
    EXPECT_EQ(solution[0], kSentinel);
}

TEST(CurveFit, FitcurveLsqArguments)
{
    double design[6] = {1.0, 2.0, 1.0, 1.0, 3.0, 5.0};
    double coefficients[2];
    EXPECT_EQ(fitcurve_lsq(3, 0, design, coefficients), LINALG_INVALID_ARGUMENT);
    EXPECT_EQ(fitcurve_lsq(1, 2, design, coefficients), LINALG_INVALID_ARGUMENT);  // n < m
    EXPECT_EQ(fitcurve_lsq(3, 2, nullptr, coefficients), LINALG_INVALID_ARGUMENT);
    EXPECT_EQ(fitcurve_lsq(3, 2, design, nullptr), LINALG_INVALID_ARGUMENT);
    // Columns (x = 1, 2), (1, 1), observations (3, 5) with n = 2: y = 2x + 1.
    double exact[] = {1.0, 2.0, 1.0, 1.0, 3.0, 5.0};
    EXPECT_EQ(fitcurve_lsq(2, 2, exact, coefficients), LINALG_OK);
    EXPECT_NEAR(coefficients[0], 2.0, 1e-12);
    EXPECT_NEAR(coefficients[1], 1.0, 1e-12);
}

TEST(CurveFit, Invert)
{
    double m2[] = {4.0, 7.0, 2.0, 6.0};
    ASSERT_EQ(invert(2, m2), LINALG_OK);
    const double expected2[] = {0.6, -0.7, -0.2, 0.4};
    for (int e = 0; e < 4; ++e)
        EXPECT_NEAR(m2[e], expected2[e], 1e-15) << e;

    // The first column puts row 1 on top; after it the second column has
    // 0.0 on the diagonal and 2.5 below, so the rows are exchanged again.
    double m3[] = {2.0, 1.0, 1.0, 4.0, 2.0, 1.0, 1.0, 3.0, 2.0};
    ASSERT_EQ(invert(3, m3), LINALG_OK);
    const double expected3[] = {0.2, 0.2, -0.2, -1.4, 0.6, 0.4, 2.0, -1.0, 0.0};
    for (int e = 0; e < 9; ++e)
        EXPECT_NEAR(m3[e], expected3[e], 1e-14) << e;

    double equalRows[] = {1.0, 2.0, 3.0, 1.0, 2.0, 3.0, 0.0, 1.0, 4.0};
    EXPECT_EQ(invert(3, equalRows), LINALG_SINGULAR);

    double one[] = {5.0};
    EXPECT_EQ(invert(1, one), LINALG_INVALID_ARGUMENT);
    EXPECT_EQ(one[0], 5.0);
    EXPECT_EQ(invert(0, one), LINALG_INVALID_ARGUMENT);
    EXPECT_EQ(invert(2, nullptr), LINALG_INVALID_ARGUMENT);
}

// Points on the bell A = 300, w = 0.5, y0 = 400 (hardness over depth),
// optionally with a deterministic pseudo-noise of +-amplitude.
struct Bell {
    std::vector<double> x;
    std::vector<double> y;
    Bell(int n, double amplitude)
    {
        uint32_t seed = 12345u;
        for (int k = 0; k < n; ++k) {
            const double depth = 0.05 + 1.2 * k / (n - 1);
            seed = seed * 1664525u + 1013904223u;
            const double noise = ((seed >> 8) / 16777216.0 - 0.5) * 2.0 * amplitude;
            x.push_back(depth);
            y.push_back(300.0 * std::exp(-depth * depth / 0.25) + 400.0 + noise);
        }
    }
    int N() const { return static_cast<int>(x.size()); }
    // Sum of squared residuals in point order, as the fit accumulates it.
    double SumOfSquares(double A, double w, double y0) const
    {
        double s = 0.0;
        for (size_t k = 0; k < x.size(); ++k) {
            const double r = CalcGaussianAt(x[k], A, w, y0) - y[k];
            s += r * r;
        }
        return s;
    }
};

TEST(CurveFit, FitGaussianRecoversAKnownBell)
{
    struct Case {
        int n;
        double noise;
        double startA, startW, startY0;
        double tolA, tolW, tolY0;
        double maxSumOfSquares;
    };
    const Case cases[] = {
        {10, 0.0, 250.0, 0.6, 380.0, 1e-6, 1e-9, 1e-6, 1e-6},
        {10, 0.0, 600.0, 0.2, 100.0, 1e-6, 1e-9, 1e-6, 1e-6},
        {20, 0.0, 320.0, 0.4, 420.0, 1e-6, 1e-9, 1e-6, 1e-6},
        // Noise of +-3 HV: within 1 % of the amplitude and width.
        {10, 3.0, 250.0, 0.6, 380.0, 5.0, 0.01, 2.0, 10 * 9.0},
        {20, 3.0, 300.0, 0.3, 400.0, 5.0, 0.01, 2.0, 20 * 9.0},
        {50, 3.0, 320.0, 0.4, 420.0, 5.0, 0.01, 2.0, 50 * 9.0},
    };
    for (const Case& c : cases) {
        Bell bell(c.n, c.noise);
        double A = c.startA, w = c.startW, y0 = c.startY0, s = kSentinel;
        EXPECT_EQ(FitGaussian(bell.N(), bell.x.data(), bell.y.data(), A, w, y0, s), 1) << c.n;
        EXPECT_NEAR(A, 300.0, c.tolA) << c.n << " noise " << c.noise;
        EXPECT_NEAR(w, 0.5, c.tolW) << c.n << " noise " << c.noise;
        EXPECT_NEAR(y0, 400.0, c.tolY0) << c.n << " noise " << c.noise;
        EXPECT_GE(s, 0.0);
        EXPECT_LE(s, c.maxSumOfSquares) << c.n << " noise " << c.noise;
    }
}

TEST(CurveFit, FitGaussianUndoesAStepThatRaisesTheSumOfSquares)
{
    Bell bell(10, 0.0);
    // From a width four times too wide the first step overshoots: the fit
    // returns to the start values, reporting their sum of squares.
    double A = 300.0, w = 2.0, y0 = 400.0, s = kSentinel;
    EXPECT_EQ(FitGaussian(bell.N(), bell.x.data(), bell.y.data(), A, w, y0, s), 1);
    EXPECT_EQ(A, 300.0);
    EXPECT_EQ(w, 2.0);
    EXPECT_EQ(y0, 400.0);
    EXPECT_DOUBLE_EQ(s, bell.SumOfSquares(300.0, 2.0, 400.0));

    // From (400, 1.05, 500) two steps improve the fit and the third
    // overshoots: the result is the second step's intermediate state, whose
    // own sum of squares is the one reported.
    A = 400.0, w = 1.05, y0 = 500.0, s = kSentinel;
    EXPECT_EQ(FitGaussian(bell.N(), bell.x.data(), bell.y.data(), A, w, y0, s), 1);
    EXPECT_NEAR(A, 142.494, 1e-3);
    EXPECT_NEAR(w, 0.733201, 1e-6);
    EXPECT_NEAR(y0, 458.041, 1e-3);
    EXPECT_DOUBLE_EQ(s, bell.SumOfSquares(A, w, y0));
    EXPECT_LT(s, bell.SumOfSquares(400.0, 1.05, 500.0));
}

TEST(CurveFit, FitGaussianFailures)
{
    Bell bell(10, 0.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> yWithNan = bell.y;
    yWithNan[3] = nan;
    std::vector<double> atSurface(10, 0.0);  // every x = 0: the width column is all zero
    struct Case {
        const char* name;
        int n;
        double* x;
        double* y;
        double startW;
    };
    const Case cases[] = {
        {"two points", 2, bell.x.data(), bell.y.data(), 0.5},
        {"null x", 10, nullptr, bell.y.data(), 0.5},
        {"null y", 10, bell.x.data(), nullptr, 0.5},
        {"width 0", 10, bell.x.data(), bell.y.data(), 0.0},
        {"width NaN", 10, bell.x.data(), bell.y.data(), nan},
        {"width inf", 10, bell.x.data(), bell.y.data(), inf},
        {"NaN hardness", 10, bell.x.data(), yWithNan.data(), 0.5},
        {"singular step", 10, atSurface.data(), bell.y.data(), 0.5},
    };
    for (const Case& c : cases) {
        double A = 300.0, w = c.startW, y0 = 400.0, s = kSentinel;
        EXPECT_EQ(FitGaussian(c.n, c.x, c.y, A, w, y0, s), 0) << c.name;
        EXPECT_EQ(A, 300.0) << c.name;
        EXPECT_TRUE(w == c.startW || (std::isnan(w) && std::isnan(c.startW))) << c.name;
        EXPECT_EQ(y0, 400.0) << c.name;
        EXPECT_EQ(s, kSentinel) << c.name;
    }
}

} // namespace
