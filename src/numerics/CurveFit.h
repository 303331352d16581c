// Least-squares fits (straight line, parabola, Gaussian bell) and the small
// dense linear solvers behind them. Everything works on caller-supplied arrays
// of doubles, keeps no state, prints nothing and never throws (except
// std::bad_alloc for the per-call work arrays).
#pragma once

#include <cstdint>

// Result of fitcurve_lsq, solve_linear and invert.
enum LINALG_RESULT : int32_t {
    LINALG_OK = 0,               // solved
    LINALG_SINGULAR = 1,         // a pivot or diagonal element was exactly 0.0
    LINALG_INVALID_ARGUMENT = 2  // a size out of range or a null array
};

// Linear least squares through the normal equations.
// design: m + 1 columns of n doubles each, column after column (element
// (c, k) at design[c*n + k]); columns 0..m-1 hold the basis functions at each
// observation, column m the observed values. coefficients: m values out.
// n < m, m < 1 or a null array: LINALG_INVALID_ARGUMENT. After a failure the
// coefficients hold no meaningful values.
LINALG_RESULT fitcurve_lsq(int n, int m, double* design, double* coefficients);

// Solves the m x m system given as m rows of m + 1 doubles (row after row,
// last column the right-hand side) by Gaussian elimination with partial
// pivoting and back substitution. The augmented array is left eliminated.
// solution: m values out.
LINALG_RESULT solve_linear(int m, double* augmented, double* solution);

// Replaces the n x n matrix (row after row) by its inverse (Gauss-Jordan with
// partial pivoting). n < 2 or null: LINALG_INVALID_ARGUMENT, matrix untouched.
// LINALG_SINGULAR leaves a partly reduced matrix that must not be used.
LINALG_RESULT invert(int n, double* matrix);

// Fits y = slope*x + intercept to n points. Returns 1 on success, 0 on failure
// (n < 2 or a null array: outputs untouched; singular system, e.g. all x
// equal: outputs written but meaningless).
int FitLine(int n, double* x, double* y, double& slope, double& intercept);

// Fits y = a2*x^2 + a1*x + a0 to n points. Returns 1 on success, 0 on failure
// (n < 3 or a null array: outputs untouched; singular system: outputs written
// but meaningless).
int FitParabola(int n, double* x, double* y, double& a2, double& a1, double& a0);

// Fits f(x) = A*exp(-x^2/w^2) + y0 (a bell centred on x = 0) to n points by at
// most six Gauss-Newton steps. A, w, y0 carry the start values in and the
// fitted values out; the start width must be non-zero. sumOfSquares receives
// the sum of squared residuals of the parameters before the last accepted
// step (or of the restored parameters when a step made the fit worse).
// Returns 1 on success, 0 on failure: n < 3, a null array, a start width of
// 0.0 or non-finite start values or data (outputs untouched), or a singular
// step (parameters of the last good step kept).
int FitGaussian(int n, double* x, double* y, double& A, double& w, double& y0,
                double& sumOfSquares);

// The bell A*exp(-x^2/w^2) + y0 at x; y0 when w <= 0.0.
double CalcGaussianAt(double x, double A, double w, double y0);

// Extreme of y = a2*x^2 + a1*x + a0. Returns 0 with the outputs untouched when
// a2 is 0.0 (no extreme), else 1 with the vertex (x, y) and whether it is a
// maximum (a2 < 0).
int GetParabolaExtreme(double a2, double a1, double a0, bool& isMaximum, double& x, double& y);

// Intersection of y = slope1*x + intercept1 and y = slope2*x + intercept2.
// Returns 0 with the outputs untouched for equal slopes (parallel or identical
// lines), else 1.
int CalcLineInterSection(double slope1, double intercept1, double slope2, double intercept2,
                         double& x, double& y);
