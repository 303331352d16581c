// Dense matrix record and elementary matrix routines (copy, sum, product,
// transpose, determinant, printing) plus a small Gauss-Jordan solver.
// The routines report size errors by status MATRIX_ERROR and a message on
// standard error, and never allocate, resize or free the caller's data.
#pragma once

#include <cstdint>

// rows x cols doubles, row after row: element (i, j) at data[i*cols + j].
// The data belong to the caller, who sizes every destination.
struct matrix {
    int32_t rows;
    int32_t cols;
    double* data;
};

// Status of the matrix routines: 0 success, 0x1000 size error or unsupported.
// A null record, or null data behind a non-empty size, is also refused with
// MATRIX_ERROR, silently (check with matrix_invalid first to tell them apart).
constexpr int MATRIX_OK = 0;
constexpr int MATRIX_ERROR = 0x1000;

// 1 if m is null, its data is null, or rows or cols is below 1; else 0.
int matrix_invalid(const matrix* m);

// All rows*cols elements to 0.0. Returns 0.
int mzero(matrix* m);

// m to the identity. Not square: "\nmid error - matrix must be square" on
// stderr and MATRIX_ERROR, m unchanged.
int mid(matrix* m);

// dest = src. Different sizes: "\nmcopy error - matrices different sizes",
// MATRIX_ERROR, dest unchanged.
int mcopy(const matrix* src, matrix* dest);

// dest = a + b element by element; all three of one size, else
// "\nmadd error - matrices different sizes", MATRIX_ERROR.
int madd(const matrix* a, const matrix* b, matrix* dest);

// m *= s in place. Returns 0.
int smmult(matrix* m, double s);

// dest = a * b, sums taken in k order. Checked in this order, each failing
// with MATRIX_ERROR and its message: a.cols == b.rows, b.cols == dest.cols,
// a.rows == dest.rows. dest may share data with a or b (the product is then
// formed in a temporary first).
int mmult(const matrix* a, const matrix* b, matrix* dest);

// dest = transpose(src). Checked: dest.rows == src.cols, then
// src.rows == dest.cols; each failing with MATRIX_ERROR and its message.
int mtrans(const matrix* src, matrix* dest);

// Not supported (use invert() of the curve-fitting routines): returns
// MATRIX_ERROR at once, prints nothing, dest unchanged.
int minv(const matrix* src, matrix* dest);

// *result = determinant of the square matrix m (0.0 for a matrix without rows).
// Not square: "\ndet error - matrix must be square", MATRIX_ERROR, *result unchanged.
int det(const matrix* m, double* result);

// Writes each row to stdout as a newline followed by its elements in "%8.2lf".
// Returns 0.
int mprint(const matrix* m);

// Solves the n x n system held as n rows of n + 1 doubles (last column the
// right-hand side) in place by Gauss-Jordan elimination, taking as pivot the
// first non-zero element of each column. On success (0) column n holds the
// solution and the left part the identity. A column without a non-zero
// element: "\nnsolve error - singular matrix", MATRIX_ERROR, the array partly
// reduced. n < 1 or a null array: MATRIX_ERROR without a message.
int nsolve(int n, double* a);
