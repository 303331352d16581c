// Tests of the matrix routines: results, the exact messages on stderr and
// stdout, destinations left alone on size errors, determinants of every size
// and the Gauss-Jordan solver nsolve.
#include "numerics/Matrix.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

// A matrix record over its own storage.
struct Mat {
    std::vector<double> storage;
    matrix m;
    Mat(int rows, int cols, std::vector<double> values = {})
        : storage(values.empty() ? std::vector<double>(static_cast<size_t>(rows * cols), 0.0) : std::move(values)),
          m{rows, cols, storage.data()}
    {
    }
    matrix* P() { return &m; }
};

TEST(Matrix, Validity)
{
    double cell = 0.0;
    const matrix good{1, 1, &cell};
    const matrix noData{2, 2, nullptr};
    const matrix noRows{0, 2, &cell};
    const matrix noCols{2, 0, &cell};
    EXPECT_EQ(matrix_invalid(&good), 0);
    EXPECT_EQ(matrix_invalid(nullptr), 1);
    EXPECT_EQ(matrix_invalid(&noData), 1);
    EXPECT_EQ(matrix_invalid(&noRows), 1);
    EXPECT_EQ(matrix_invalid(&noCols), 1);
}

// Every size error: status 0x1000, the exact message, destination unchanged.
TEST(Matrix, SizeErrorsPrintTheirMessage)
{
    Mat a23(2, 3, {1, 2, 3, 4, 5, 6});
    Mat b32(3, 2, {7, 8, 9, 10, 11, 12});
    Mat d22(2, 2, {-1, -1, -1, -1});
    Mat d23(2, 3, {-1, -1, -1, -1, -1, -1});
    Mat d32(3, 2, {-1, -1, -1, -1, -1, -1});
    Mat d33(3, 3);
    struct Case {
        const char* name;
        int (*call)(Mat&, Mat&, Mat&);
        Mat* dest;
        const char* message;
    };
    const Case cases[] = {
        {"mid", [](Mat& a, Mat&, Mat&) { return mid(a.P()); }, &a23, "\nmid error - matrix must be square"},
        {"mcopy", [](Mat& a, Mat&, Mat& d) { return mcopy(a.P(), d.P()); }, &d22, "\nmcopy error - matrices different sizes"},
        {"madd", [](Mat& a, Mat& b, Mat& d) { return madd(a.P(), b.P(), d.P()); }, &d23,
         "\nmadd error - matrices different sizes"},
        {"mmult a.cols != b.rows", [](Mat& a, Mat&, Mat& d) { return mmult(a.P(), a.P(), d.P()); }, &d23,
         "\nmmult error - matrix 1 cols must = matrix 2 rows"},
        {"mmult dest cols", [](Mat& a, Mat& b, Mat& d) { return mmult(a.P(), b.P(), d.P()); }, &d23,
         "\nmmult error - dest matrix cols must = matrix 2 cols"},
        {"mmult dest rows", [](Mat& a, Mat& b, Mat& d) { return mmult(a.P(), b.P(), d.P()); }, &d32,
         "\nmmult error - dest matrix rows must = matrix 1 rows"},
        {"mtrans dest rows", [](Mat& a, Mat&, Mat& d) { return mtrans(a.P(), d.P()); }, &d23,
         "\nmtrans error - dest matrix rows must = source matrix cols"},
        {"mtrans src rows", [](Mat& a, Mat&, Mat& d) { return mtrans(a.P(), d.P()); }, &d33,
         "\nmtrans error - source matrix rows must = dest matrix cols"},
    };
    for (const Case& c : cases) {
        const std::vector<double> before = c.dest->storage;
        CaptureStderr();
        const int status = c.call(a23, b32, *c.dest);
        EXPECT_EQ(GetCapturedStderr(), c.message) << c.name;
        EXPECT_EQ(status, 0x1000) << c.name;
        EXPECT_EQ(c.dest->storage, before) << c.name;
    }

    double result = -7.0;
    CaptureStderr();
    EXPECT_EQ(det(a23.P(), &result), 0x1000);
    EXPECT_EQ(GetCapturedStderr(), "\ndet error - matrix must be square");
    EXPECT_EQ(result, -7.0);
}

TEST(Matrix, ElementaryOperations)
{
    Mat a23(2, 3, {1, 2, 3, 4, 5, 6});
    Mat b32(3, 2, {7, 8, 9, 10, 11, 12});
    Mat p22(2, 2);
    CaptureStderr();
    EXPECT_EQ(mmult(a23.P(), b32.P(), p22.P()), 0);
    EXPECT_EQ(p22.storage, (std::vector<double>{58, 64, 139, 154}));

    Mat t32(3, 2);
    EXPECT_EQ(mtrans(a23.P(), t32.P()), 0);
    EXPECT_EQ(t32.storage, (std::vector<double>{1, 4, 2, 5, 3, 6}));

    Mat sum(2, 3);
    EXPECT_EQ(madd(a23.P(), a23.P(), sum.P()), 0);
    EXPECT_EQ(sum.storage, (std::vector<double>{2, 4, 6, 8, 10, 12}));
    EXPECT_EQ(smmult(sum.P(), 0.5), 0);
    EXPECT_EQ(sum.storage, a23.storage);
    Mat copy(2, 3);
    EXPECT_EQ(mcopy(a23.P(), copy.P()), 0);
    EXPECT_EQ(copy.storage, a23.storage);
    EXPECT_EQ(mzero(copy.P()), 0);
    EXPECT_EQ(copy.storage, std::vector<double>(6, 0.0));
    Mat id(3, 3, std::vector<double>(9, 5.0));
    EXPECT_EQ(mid(id.P()), 0);
    EXPECT_EQ(id.storage, (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}));

    // Destination sharing an operand's data: the product is still right.
    Mat sq(2, 2, {1, 2, 3, 4});
    EXPECT_EQ(mmult(sq.P(), sq.P(), sq.P()), 0);
    EXPECT_EQ(sq.storage, (std::vector<double>{7, 10, 15, 22}));
    EXPECT_EQ(mtrans(sq.P(), sq.P()), 0);
    EXPECT_EQ(sq.storage, (std::vector<double>{7, 15, 10, 22}));

    // Not supported: 0x1000 at once, silent, destination untouched.
    Mat inv(2, 2, {9, 9, 9, 9});
    EXPECT_EQ(minv(sq.P(), inv.P()), 0x1000);
    EXPECT_EQ(inv.storage, std::vector<double>(4, 9.0));
    EXPECT_EQ(GetCapturedStderr(), "");

    // Null records are refused rather than dereferenced.
    EXPECT_EQ(mzero(nullptr), 0x1000);
    EXPECT_EQ(mmult(sq.P(), nullptr, sq.P()), 0x1000);
}

TEST(Matrix, DeterminantOfEverySize)
{
    struct Case {
        int n;
        std::vector<double> values;
        double expected;
    };
    const Case cases[] = {
        {0, {}, 0.0},
        {1, {5}, 5.0},
        {2, {4, 7, 2, 6}, 10.0},
        {3, {2, 0, 1, 1, 3, 2, 1, 1, 2}, 6.0},
        {3, {2, 1, 1, 4, 2, 1, 1, 3, 2}, 5.0},
        {4, {2, 0, 1, 3, 1, 3, 2, 0, 1, 1, 2, 1, 0, 4, 1, 2}, 24.0},
        // Column 0 holds 1, -1, 1 of equal size before the largest 2.
        {5, {1, 2, 3, 4, 5, -1, 0, 2, 1, 3, 1, 1, 0, 2, 2, 2, -1, 1, 0, 1, 0, 3, 1, 1, 0}, -38.0},
        {4, {1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 5, 0, 0, 1}, 0.0},  // two proportional rows
        {4, {0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0}, 1.0},  // exchanges only
    };
    for (const Case& c : cases) {
        std::vector<double> values = c.values;
        const matrix m{c.n, c.n, values.empty() ? nullptr : values.data()};
        double result = -7.0;
        EXPECT_EQ(det(&m, &result), 0) << c.n;
        EXPECT_NEAR(result, c.expected, 1e-12) << c.n;
        EXPECT_EQ(values, c.values) << "det must not change its matrix";
    }
}

TEST(Matrix, PrintWritesRowsToStdout)
{
    Mat id(2, 2, {1, 0, 0, 1});
    CaptureStdout();
    EXPECT_EQ(mprint(id.P()), 0);
    EXPECT_EQ(GetCapturedStdout(), "\n    1.00    0.00\n    0.00    1.00");

    Mat row(1, 3, {-1234.567, 0.004, 123456789.0});
    CaptureStdout();
    mprint(row.P());
    EXPECT_EQ(GetCapturedStdout(), "\n-1234.57    0.00123456789.00");
}

TEST(Matrix, Nsolve)
{
    // 0x + 1y = 3, 2x + 0y = 4: the rows are exchanged, x = (2, 3).
    double swapped[] = {0, 1, 3, 2, 0, 4};
    EXPECT_EQ(nsolve(2, swapped), 0);
    EXPECT_EQ(std::vector<double>(swapped, swapped + 6), (std::vector<double>{1, 0, 2, 0, 1, 3}));

    // x + y + z = 6, 2y + 5z = -4, 2x + 5y - z = 27: x = (5, 3, -2).
    double three[] = {1, 1, 1, 6, 0, 2, 5, -4, 2, 5, -1, 27};
    EXPECT_EQ(nsolve(3, three), 0);
    EXPECT_NEAR(three[3], 5.0, 1e-12);
    EXPECT_NEAR(three[7], 3.0, 1e-12);
    EXPECT_NEAR(three[11], -2.0, 1e-12);

    // The first non-zero element is the pivot, however small beside the others.
    double firstNonZero[] = {1e-3, 1, 1, 1, 1, 2};
    EXPECT_EQ(nsolve(2, firstNonZero), 0);
    EXPECT_EQ(firstNonZero[0], 1.0);  // not exchanged with the larger row
    EXPECT_NEAR(firstNonZero[2], 1.0 / 0.999, 1e-12);

    CaptureStderr();
    double zeroColumn[] = {0, 1, 3, 0, 2, 4};
    EXPECT_EQ(nsolve(2, zeroColumn), 0x1000);
    EXPECT_EQ(GetCapturedStderr(), "\nnsolve error - singular matrix");

    CaptureStderr();
    EXPECT_EQ(nsolve(0, zeroColumn), 0x1000);
    EXPECT_EQ(nsolve(2, nullptr), 0x1000);
    EXPECT_EQ(GetCapturedStderr(), "");
}

} // namespace
