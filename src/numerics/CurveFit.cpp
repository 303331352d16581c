// Least-squares fits and dense solvers: Gaussian elimination with partial
// pivoting, normal equations, Gauss-Jordan inversion and an undamped
// Gauss-Newton fit of a bell curve.
// Singularity is detected only by exact comparison with 0.0, as callers expect.
#include "numerics/CurveFit.h"

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace {

// Element (row, col) of a row-major array with `width` columns.
inline double& At(double* a, int width, int row, int col)
{
    return a[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(col)];
}

// Row of the largest |a(i, k)| for i in [k, rows); a later row wins only when
// strictly larger, so the first of equal candidates is kept.
int ChoosePivotRow(double* a, int width, int rows, int k)
{
    int pivotRow = k;
    double largest = std::fabs(At(a, width, k, k));
    for (int i = k + 1; i < rows; ++i) {
        const double candidate = std::fabs(At(a, width, i, k));
        if (candidate > largest) {
            largest = candidate;
            pivotRow = i;
        }
    }
    return pivotRow;
}

// Forward elimination of an m x (m+1) augmented matrix. Rows are not scaled.
// Within a row the columns run from m down to k so that the factor a(i,k)/pivot
// is read before column k itself is cleared. The last pivot has no rows below
// it and is left to the back substitution to test.
LINALG_RESULT Eliminate(int m, double* a)
{
    if (m < 1 || a == nullptr)
        return LINALG_INVALID_ARGUMENT;
    const int width = m + 1;
    for (int k = 0; k < m; ++k) {
        const int pivotRow = ChoosePivotRow(a, width, m, k);
        if (pivotRow != k) {
            for (int j = k; j <= m; ++j)
                std::swap(At(a, width, pivotRow, j), At(a, width, k, j));
        }
        const double pivot = At(a, width, k, k);
        for (int i = k + 1; i < m; ++i) {
            for (int j = m; j >= k; --j) {
                if (pivot == 0.0)
                    return LINALG_SINGULAR;
                At(a, width, i, j) -= At(a, width, k, j) * At(a, width, i, k) / pivot;
            }
        }
    }
    return LINALG_OK;
}

// Back substitution on an eliminated m x (m+1) matrix:
//   x_i = (a(i,m) - sum_{j>i} a(i,j) x_j) / a(i,i),  i = m-1 .. 0.
// A zero diagonal stops it; solutions below that row are already written.
LINALG_RESULT BackSubstitute(int m, double* a, double* solution)
{
    if (m < 1 || a == nullptr || solution == nullptr)
        return LINALG_INVALID_ARGUMENT;
    const int width = m + 1;
    for (int i = m - 1; i >= 0; --i) {
        double s = 0.0;
        for (int j = i + 1; j < m; ++j)
            s += At(a, width, i, j) * solution[j];
        const double diagonal = At(a, width, i, i);
        if (diagonal == 0.0)
            return LINALG_SINGULAR;
        solution[i] = (At(a, width, i, m) - s) / diagonal;
    }
    return LINALG_OK;
}

// The normal equations of a least-squares fit, (X^T X) c = X^T y, as an
// m x (m+1) augmented matrix: element (i, j) = sum_k X(i,k) X(j,k), where
// design holds the m columns of X and then y, n values each.
inline void NormalEquations(std::size_t n, int m, const double* design, double* normal)
{
    for (int i = 0; i < m; ++i) {
        const double* ci = design + static_cast<std::size_t>(i) * n;
        for (int j = 0; j <= m; ++j) {
            const double* cj = design + static_cast<std::size_t>(j) * n;
            double sum = 0.0;
            for (std::size_t k = 0; k < n; ++k)
                sum += ci[k] * cj[k];
            At(normal, m + 1, i, j) = sum;
        }
    }
}

} // namespace

LINALG_RESULT solve_linear(int m, double* augmented, double* solution)
{
    if (m < 1 || augmented == nullptr || solution == nullptr)
        return LINALG_INVALID_ARGUMENT;
    const LINALG_RESULT eliminated = Eliminate(m, augmented);
    // The back substitution runs even after a failed elimination; the
    // elimination's verdict takes precedence.
    const LINALG_RESULT substituted = BackSubstitute(m, augmented, solution);
    return eliminated != LINALG_OK ? eliminated : substituted;
}

LINALG_RESULT fitcurve_lsq(int n, int m, double* design, double* coefficients)
{
    if (m < 1 || n < m || design == nullptr || coefficients == nullptr)
        return LINALG_INVALID_ARGUMENT;

    std::vector<double> normal(static_cast<std::size_t>(m) * static_cast<std::size_t>(m + 1));
    NormalEquations(static_cast<std::size_t>(n), m, design, normal.data());
    return solve_linear(m, normal.data(), coefficients);
}

LINALG_RESULT invert(int n, double* matrix)
{
    if (n < 2 || matrix == nullptr)
        return LINALG_INVALID_ARGUMENT;

    // The companion starts as the identity and undergoes every row operation
    // applied to the matrix; once the matrix is reduced to the identity the
    // companion is its inverse.
    std::vector<double> companion(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0.0);
    double* inverse = companion.data();
    for (int i = 0; i < n; ++i)
        At(inverse, n, i, i) = 1.0;

    const auto subtractRow = [n, matrix, inverse](int target, int source, double f) {
        for (int j = 0; j < n; ++j) {
            At(matrix, n, target, j) -= f * At(matrix, n, source, j);
            At(inverse, n, target, j) -= f * At(inverse, n, source, j);
        }
    };

    for (int k = 0; k < n; ++k) {
        const int pivotRow = ChoosePivotRow(matrix, n, n, k);
        if (pivotRow != k) {
            for (int j = 0; j < n; ++j) {
                std::swap(At(matrix, n, pivotRow, j), At(matrix, n, k, j));
                std::swap(At(inverse, n, pivotRow, j), At(inverse, n, k, j));
            }
        }
        const double pivot = At(matrix, n, k, k);
        if (pivot == 0.0)
            return LINALG_SINGULAR;
        for (int i = k + 1; i < n; ++i)
            subtractRow(i, k, At(matrix, n, i, k) / pivot);
    }

    for (int k = n - 1; k >= 0; --k) {
        const double diagonal = At(matrix, n, k, k);
        if (diagonal == 0.0)
            return LINALG_SINGULAR;
        for (int i = 0; i < k; ++i)
            subtractRow(i, k, At(matrix, n, i, k) / diagonal);
    }

    for (int i = 0; i < n; ++i) {
        const double diagonal = At(matrix, n, i, i);
        if (diagonal == 0.0)
            return LINALG_SINGULAR;
        for (int j = 0; j < n; ++j)
            At(inverse, n, i, j) /= diagonal;
        At(matrix, n, i, i) = 1.0;
    }

    for (std::size_t e = 0; e < companion.size(); ++e)
        matrix[e] = companion[e];
    return LINALG_OK;
}

int FitLine(int n, double* x, double* y, double& slope, double& intercept)
{
    if (n < 2 || x == nullptr || y == nullptr)
        return 0;
    // Basis columns x and 1, then the observations.
    const std::size_t count = static_cast<std::size_t>(n);
    std::vector<double> design(3 * count);
    for (std::size_t k = 0; k < count; ++k) {
        design[k] = x[k];
        design[count + k] = 1.0;
        design[2 * count + k] = y[k];
    }
    double coefficients[2] = {0.0, 0.0};
    const LINALG_RESULT result = fitcurve_lsq(n, 2, design.data(), coefficients);
    slope = coefficients[0];
    intercept = coefficients[1];
    return result == LINALG_OK ? 1 : 0;
}

int FitParabola(int n, double* x, double* y, double& a2, double& a1, double& a0)
{
    if (n < 3 || x == nullptr || y == nullptr)
        return 0;
    // Basis columns x^2, x and 1, then the observations.
    const std::size_t count = static_cast<std::size_t>(n);
    std::vector<double> design(4 * count);
    for (std::size_t k = 0; k < count; ++k) {
        design[k] = x[k] * x[k];
        design[count + k] = x[k];
        design[2 * count + k] = 1.0;
        design[3 * count + k] = y[k];
    }
    double coefficients[3] = {0.0, 0.0, 0.0};
    const LINALG_RESULT result = fitcurve_lsq(n, 3, design.data(), coefficients);
    a2 = coefficients[0];
    a1 = coefficients[1];
    a0 = coefficients[2];
    return result == LINALG_OK ? 1 : 0;
}

namespace {

// fitcurve_lsq for the three columns of a bell-curve step (n >= 3), with the
// normal equations on the stack instead of in a vector per step: the same
// sums in the same order (NormalEquations), so the same coefficients.
LINALG_RESULT FitThreeColumns(std::size_t n, const double* design, double* coefficients)
{
    constexpr int m = 3;
    double normal[m * (m + 1)];
    NormalEquations(n, m, design, normal);
    return solve_linear(m, normal, coefficients);
}

} // namespace

int FitGaussian(int n, double* x, double* y, double& A, double& w, double& y0, double& sumOfSquares)
{
    constexpr int kMaxSteps = 6;
    if (n < 3 || x == nullptr || y == nullptr)
        return 0;
    // The derivative columns divide by w^2 and w^3: a zero or non-finite start
    // width would fill them with inf/NaN and "converge" to garbage.
    if (w == 0.0 || !std::isfinite(w) || !std::isfinite(A) || !std::isfinite(y0))
        return 0;

    // Model f(x) = A e + y0 with e = exp(-x^2/w^2). Each step solves in the
    // least-squares sense
    //   sum_p c_p (-df/dp)(x_k) = r_k,   r_k = f(x_k) - y_k,   p = A, w, y0,
    // with -df/dA = -e, -df/dw = e * (-2 x^2 / w^3) * A, -df/dy0 = -1,
    // and moves A, w, y0 by c. Stopping: six steps, a failed solve, or a step
    // after which S = sum r_k^2 rose (or became non-finite), which is undone.
    const std::size_t count = static_cast<std::size_t>(n);
    std::vector<double> work(4 * count);
    double* colA = work.data();
    double* colW = colA + count;
    double* colY0 = colW + count;
    double* residual = colY0 + count;

    double history[kMaxSteps] = {};
    double previous[3] = {A, w, y0};
    double a = A;
    double width = w;
    double offset = y0;
    int steps = 0;
    for (;;) {
        double s = 0.0;
        for (std::size_t k = 0; k < count; ++k) {
            const double e = std::exp(-(x[k] * x[k]) / (width * width));
            colA[k] = -e;
            colW[k] = e * (x[k] * (-2.0) * x[k] / (width * width * width)) * a;
            colY0[k] = -1.0;
            residual[k] = a * e + offset - y[k];
            s += residual[k] * residual[k];
        }
        history[steps] = s;

        if (steps == 0 && !std::isfinite(s))
            return 0;  // non-finite data: nothing to fit, outputs untouched
        if (steps > 0 && (s > history[steps - 1] || !std::isfinite(s))) {
            // The last step made the fit worse: go back to the parameters
            // before it (whose sum of squares is the one reported).
            A = previous[0];
            w = previous[1];
            y0 = previous[2];
            return 1;
        }

        double step[3] = {0.0, 0.0, 0.0};
        if (FitThreeColumns(count, work.data(), step) != LINALG_OK)
            return 0;  // A, w, y0 keep the parameters of the last accepted step

        previous[0] = a;
        previous[1] = width;
        previous[2] = offset;
        ++steps;
        a += step[0];
        width += step[1];
        offset += step[2];
        A = a;
        w = width;
        y0 = offset;
        sumOfSquares = s;
        if (steps == kMaxSteps)
            return 1;
    }
}

double CalcGaussianAt(double x, double A, double w, double y0)
{
    if (w > 0.0)
        return std::exp(-(x * x) / (w * w)) * A + y0;
    return y0;
}

int GetParabolaExtreme(double a2, double a1, double a0, bool& isMaximum, double& x, double& y)
{
    if (a2 == 0.0)
        return 0;
    isMaximum = a2 < 0.0;
    x = a1 / (a2 * -2.0);
    y = (x * a2) * x + x * a1 + a0;
    return 1;
}

int CalcLineInterSection(double slope1, double intercept1, double slope2, double intercept2,
                         double& x, double& y)
{
    if (slope1 == slope2)
        return 0;
    x = (intercept1 - intercept2) / (slope2 - slope1);
    // Mean of both lines' values, so that rounding favours neither line.
    y = ((x * slope1 + intercept1) + (x * slope2 + intercept2)) * 0.5;
    return 1;
}
