// Elementary matrix routines over the caller-owned `matrix` record and the
// Gauss-Jordan solver nsolve. Size errors are reported on stderr with the
// routine's fixed message (leading newline, no trailing one) and status 0x1000.
#include "numerics/Matrix.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

std::size_t Count(const matrix* m)
{
    if (m->rows < 1 || m->cols < 1)
        return 0;
    return static_cast<std::size_t>(m->rows) * static_cast<std::size_t>(m->cols);
}

// A record that cannot be touched at all: null, or elements without storage.
bool Unusable(const matrix* m)
{
    return m == nullptr || (m->data == nullptr && Count(m) > 0);
}

inline double& El(const matrix* m, int i, int j)
{
    return m->data[static_cast<std::size_t>(i) * static_cast<std::size_t>(m->cols) + static_cast<std::size_t>(j)];
}

int Fail(const char* message)
{
    std::fputs(message, stderr);
    return MATRIX_ERROR;
}

// True when the element ranges of the two records overlap.
bool Overlaps(const matrix* a, const matrix* b)
{
    const std::size_t na = Count(a);
    const std::size_t nb = Count(b);
    if (na == 0 || nb == 0)
        return false;
    const auto beginA = reinterpret_cast<std::uintptr_t>(a->data);
    const auto beginB = reinterpret_cast<std::uintptr_t>(b->data);
    return beginA < beginB + nb * sizeof(double) && beginB < beginA + na * sizeof(double);
}

// Determinant by elimination with partial pivoting (first of equal pivots
// wins); det = (-1)^swaps * product of the pivots. Works on a copy.
double EliminationDeterminant(const matrix* m)
{
    const int n = m->rows;
    std::vector<double> a(m->data, m->data + Count(m));
    const auto at = [&a, n](int i, int j) -> double& {
        return a[static_cast<std::size_t>(i) * static_cast<std::size_t>(n) + static_cast<std::size_t>(j)];
    };
    double result = 1.0;
    for (int k = 0; k < n; ++k) {
        int pivotRow = k;
        double largest = std::fabs(at(k, k));
        for (int i = k + 1; i < n; ++i) {
            if (std::fabs(at(i, k)) > largest) {
                largest = std::fabs(at(i, k));
                pivotRow = i;
            }
        }
        if (pivotRow != k) {
            for (int j = k; j < n; ++j)
                std::swap(at(pivotRow, j), at(k, j));
            result = -result;
        }
        const double pivot = at(k, k);
        if (pivot == 0.0)
            return 0.0;
        result *= pivot;
        for (int i = k + 1; i < n; ++i) {
            const double f = at(i, k) / pivot;
            for (int j = k; j < n; ++j)
                at(i, j) -= f * at(k, j);
        }
    }
    return result;
}

} // namespace

int matrix_invalid(const matrix* m)
{
    return (m == nullptr || m->data == nullptr || m->cols < 1 || m->rows < 1) ? 1 : 0;
}

int mzero(matrix* m)
{
    if (Unusable(m))
        return MATRIX_ERROR;
    const std::size_t count = Count(m);
    for (std::size_t e = 0; e < count; ++e)
        m->data[e] = 0.0;
    return MATRIX_OK;
}

int mid(matrix* m)
{
    if (Unusable(m))
        return MATRIX_ERROR;
    if (m->rows != m->cols)
        return Fail("\nmid error - matrix must be square");
    for (int i = 0; i < m->rows; ++i)
        for (int j = 0; j < m->cols; ++j)
            El(m, i, j) = (i == j) ? 1.0 : 0.0;
    return MATRIX_OK;
}

int mcopy(const matrix* src, matrix* dest)
{
    if (Unusable(src) || Unusable(dest))
        return MATRIX_ERROR;
    if (src->rows != dest->rows || src->cols != dest->cols)
        return Fail("\nmcopy error - matrices different sizes");
    const std::size_t count = Count(src);
    for (std::size_t e = 0; e < count; ++e)
        dest->data[e] = src->data[e];
    return MATRIX_OK;
}

int madd(const matrix* a, const matrix* b, matrix* dest)
{
    if (Unusable(a) || Unusable(b) || Unusable(dest))
        return MATRIX_ERROR;
    if (a->rows != b->rows || a->cols != b->cols || a->rows != dest->rows || a->cols != dest->cols)
        return Fail("\nmadd error - matrices different sizes");
    const std::size_t count = Count(a);
    for (std::size_t e = 0; e < count; ++e)
        dest->data[e] = a->data[e] + b->data[e];
    return MATRIX_OK;
}

int smmult(matrix* m, double s)
{
    if (Unusable(m))
        return MATRIX_ERROR;
    const std::size_t count = Count(m);
    for (std::size_t e = 0; e < count; ++e)
        m->data[e] *= s;
    return MATRIX_OK;
}

int mmult(const matrix* a, const matrix* b, matrix* dest)
{
    if (Unusable(a) || Unusable(b) || Unusable(dest))
        return MATRIX_ERROR;
    if (a->cols != b->rows)
        return Fail("\nmmult error - matrix 1 cols must = matrix 2 rows");
    if (b->cols != dest->cols)
        return Fail("\nmmult error - dest matrix cols must = matrix 2 cols");
    if (a->rows != dest->rows)
        return Fail("\nmmult error - dest matrix rows must = matrix 1 rows");

    // Writing into an operand would change it while it is still being read.
    const bool aliased = Overlaps(dest, a) || Overlaps(dest, b);
    std::vector<double> scratch(aliased ? Count(dest) : 0);
    double* out = aliased ? scratch.data() : dest->data;
    for (int i = 0; i < a->rows; ++i) {
        for (int j = 0; j < b->cols; ++j) {
            double sum = 0.0;
            for (int k = 0; k < a->cols; ++k)
                sum += El(a, i, k) * El(b, k, j);
            out[static_cast<std::size_t>(i) * static_cast<std::size_t>(dest->cols) + static_cast<std::size_t>(j)] = sum;
        }
    }
    if (aliased) {
        for (std::size_t e = 0; e < scratch.size(); ++e)
            dest->data[e] = scratch[e];
    }
    return MATRIX_OK;
}

int mtrans(const matrix* src, matrix* dest)
{
    if (Unusable(src) || Unusable(dest))
        return MATRIX_ERROR;
    if (dest->rows != src->cols)
        return Fail("\nmtrans error - dest matrix rows must = source matrix cols");
    if (src->rows != dest->cols)
        return Fail("\nmtrans error - source matrix rows must = dest matrix cols");

    // An in-place transpose of a square matrix would overwrite elements
    // before they are read: copy the source first in that case.
    std::vector<double> copy;
    matrix source = *src;
    if (Overlaps(src, dest)) {
        copy.assign(src->data, src->data + Count(src));
        source.data = copy.data();
    }
    for (int i = 0; i < source.rows; ++i)
        for (int j = 0; j < source.cols; ++j)
            El(dest, j, i) = El(&source, i, j);
    return MATRIX_OK;
}

int minv(const matrix* /*src*/, matrix* /*dest*/)
{
    return MATRIX_ERROR;
}

int det(const matrix* m, double* result)
{
    if (Unusable(m) || result == nullptr)
        return MATRIX_ERROR;
    if (m->rows != m->cols)
        return Fail("\ndet error - matrix must be square");
    switch (m->rows > 0 ? m->rows : 0) {
    case 0:
        *result = 0.0;
        break;
    case 1:
        *result = El(m, 0, 0);
        break;
    case 2:
        *result = El(m, 0, 0) * El(m, 1, 1) - El(m, 0, 1) * El(m, 1, 0);
        break;
    case 3: {
        // Rule of Sarrus: sum_i m(0,i) (m(1,i+1) m(2,i+2) - m(2,i+1) m(1,i+2)),
        // column indices modulo 3.
        double sum = 0.0;
        for (int i = 0; i < 3; ++i) {
            const int j1 = (i + 1) % 3;
            const int j2 = (i + 2) % 3;
            sum += El(m, 0, i) * (El(m, 1, j1) * El(m, 2, j2) - El(m, 2, j1) * El(m, 1, j2));
        }
        *result = sum;
        break;
    }
    default:
        *result = EliminationDeterminant(m);
        break;
    }
    return MATRIX_OK;
}

int mprint(const matrix* m)
{
    if (Unusable(m))
        return MATRIX_ERROR;
    for (int i = 0; i < m->rows; ++i) {
        std::fputs("\n", stdout);
        for (int j = 0; j < m->cols; ++j)
            std::printf("%8.2lf", El(m, i, j));
    }
    return MATRIX_OK;
}

int nsolve(int n, double* a)
{
    if (n < 1 || a == nullptr)
        return MATRIX_ERROR;
    const std::size_t width = static_cast<std::size_t>(n) + 1;
    const auto at = [a, width](int i, int j) -> double& {
        return a[static_cast<std::size_t>(i) * width + static_cast<std::size_t>(j)];
    };

    for (int k = 0; k < n; ++k) {
        // First row from k on with a non-zero element in column k; no
        // largest-value pivoting.
        int pivotRow = k;
        while (pivotRow < n && at(pivotRow, k) == 0.0)
            ++pivotRow;
        if (pivotRow == n)
            return Fail("\nnsolve error - singular matrix");
        if (pivotRow != k) {
            for (int j = 0; j <= n; ++j)
                std::swap(at(pivotRow, j), at(k, j));
        }
        const double pivot = at(k, k);
        for (int j = k; j <= n; ++j)
            at(k, j) /= pivot;
        // Columns run from the right-hand side down to k, so that the factor
        // a(i,k) is read before it is cleared.
        for (int i = k + 1; i < n; ++i)
            for (int j = n; j >= k; --j)
                at(i, j) -= at(i, k) * at(k, j);
    }

    // Back substitution above the unit diagonal.
    for (int i = n - 2; i >= 0; --i) {
        for (int j = n - 1; j >= i + 1; --j) {
            at(i, n) -= at(i, j) * at(j, n);
            at(i, j) = 0.0;
        }
    }
    return MATRIX_OK;
}
