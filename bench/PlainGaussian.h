// The bell fit f(x) = A*exp(-x^2/w^2) + y0 written over plain arrays, as a
// careful program would write it without the library: the same Gauss-Newton
// steps, normal equations and elimination in the same order (so the numbers
// agree to the last bit), with every work array allocated once by the caller.
#pragma once

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace zenbench {

// Work arrays of the plain fit, reused across fits of up to `capacity` points.
struct PlainGaussianWork {
    explicit PlainGaussianWork(std::size_t points) : columns(4 * points), capacity(points) {}
    std::vector<double> columns;  // -df/dA, -df/dw, -df/dy0, residual; `capacity` each
    std::size_t capacity;
};

// Solves the 3 x 4 augmented system in place by elimination with partial
// pivoting (first of equal pivots) and back substitution; false when a pivot
// or a diagonal element is exactly 0.0.
inline bool PlainSolve3(double a[3][4], double solution[3])
{
    for (int k = 0; k < 3; ++k) {
        int pivotRow = k;
        double largest = std::fabs(a[k][k]);
        for (int i = k + 1; i < 3; ++i) {
            if (std::fabs(a[i][k]) > largest) {
                largest = std::fabs(a[i][k]);
                pivotRow = i;
            }
        }
        if (pivotRow != k) {
            for (int j = k; j <= 3; ++j)
                std::swap(a[pivotRow][j], a[k][j]);
        }
        const double pivot = a[k][k];
        for (int i = k + 1; i < 3; ++i) {
            for (int j = 3; j >= k; --j) {
                if (pivot == 0.0)
                    return false;
                a[i][j] -= a[k][j] * a[i][k] / pivot;
            }
        }
    }
    for (int i = 2; i >= 0; --i) {
        double s = 0.0;
        for (int j = i + 1; j < 3; ++j)
            s += a[i][j] * solution[j];
        if (a[i][i] == 0.0)
            return false;
        solution[i] = (a[i][3] - s) / a[i][i];
    }
    return true;
}

// At most six Gauss-Newton steps from (A, w, y0); a step that raises the sum
// of squares is undone. Returns true on success with the parameters and the
// sum of squares of the parameters before the last step taken.
inline bool PlainFitGaussian(std::size_t n, const double* x, const double* y, double& A, double& w,
                             double& y0, double& sumOfSquares, PlainGaussianWork& work)
{
    constexpr int kMaxSteps = 6;
    if (n < 3 || n > work.capacity || w == 0.0)
        return false;
    double* colA = work.columns.data();
    double* colW = colA + n;
    double* colY0 = colW + n;
    double* residual = colY0 + n;
    const double* columns[4] = {colA, colW, colY0, residual};

    double history[kMaxSteps] = {};
    double previous[3] = {A, w, y0};
    double a = A;
    double width = w;
    double offset = y0;
    int steps = 0;
    for (;;) {
        double s = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            const double e = std::exp(-(x[k] * x[k]) / (width * width));
            colA[k] = -e;
            colW[k] = e * (x[k] * (-2.0) * x[k] / (width * width * width)) * a;
            colY0[k] = -1.0;
            residual[k] = a * e + offset - y[k];
            s += residual[k] * residual[k];
        }
        history[steps] = s;
        if (steps == 0 && !std::isfinite(s))
            return false;
        if (steps > 0 && (s > history[steps - 1] || !std::isfinite(s))) {
            A = previous[0];
            w = previous[1];
            y0 = previous[2];
            return true;
        }

        double normal[3][4];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j <= 3; ++j) {
                double sum = 0.0;
                for (std::size_t k = 0; k < n; ++k)
                    sum += columns[i][k] * columns[j][k];
                normal[i][j] = sum;
            }
        }
        double step[3] = {0.0, 0.0, 0.0};
        if (!PlainSolve3(normal, step))
            return false;

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
            return true;
    }
}

} // namespace zenbench
