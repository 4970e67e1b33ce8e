// The offset-indexed array layer: layout arithmetic, views, release, and the
// fatal exits.
#include "nrutil.h"
#include "support/fatal.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace {

// Distance in elements between two pointers into the same block.
template <typename T>
long gap(const T *later, const T *earlier)
{
    return static_cast<long>(later - earlier);
}

// ---------------------------------------------------------------- vectors

template <typename T>
struct VectorFamily;
template <>
struct VectorFamily<float> {
    static float *make(long l, long h) { return vector(l, h); }
    static void release(float *v, long l, long h) { free_vector(v, l, h); }
};
template <>
struct VectorFamily<int> {
    static int *make(long l, long h) { return ivector(l, h); }
    static void release(int *v, long l, long h) { free_ivector(v, l, h); }
};
template <>
struct VectorFamily<unsigned char> {
    static unsigned char *make(long l, long h) { return cvector(l, h); }
    static void release(unsigned char *v, long l, long h) { free_cvector(v, l, h); }
};
template <>
struct VectorFamily<unsigned long> {
    static unsigned long *make(long l, long h) { return lvector(l, h); }
    static void release(unsigned long *v, long l, long h) { free_lvector(v, l, h); }
};
template <>
struct VectorFamily<double> {
    static double *make(long l, long h) { return dvector(l, h); }
    static void release(double *v, long l, long h) { free_dvector(v, l, h); }
};

template <typename T>
class VectorLayout : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, int, unsigned char, unsigned long, double>;
TYPED_TEST_SUITE(VectorLayout, ElementTypes);

// Every index of every range is usable and distinct, whatever the low bound;
// the sanitizer build turns any write outside the block into a failure.
TYPED_TEST(VectorLayout, EveryIndexOfTheRangeAddressesItsOwnElement)
{
    using F = VectorFamily<TypeParam>;
    const long ranges[][2] = {{1, 7}, {0, 6}, {-2, 2}, {-9, -3}, {5, 5}, {1000, 1003}};
    for (const auto &r : ranges) {
        TypeParam *v = F::make(r[0], r[1]);
        for (long i = r[0]; i <= r[1]; i++)
            v[i] = static_cast<TypeParam>(i - r[0] + 3);
        for (long i = r[0]; i <= r[1]; i++)
            EXPECT_EQ(v[i], static_cast<TypeParam>(i - r[0] + 3))
                << "range " << r[0] << ".." << r[1];
        EXPECT_EQ(gap(&v[r[1]], &v[r[0]]), r[1] - r[0]);
        F::release(v, r[0], r[1]);
    }
}

TYPED_TEST(VectorLayout, EmptyRangeIsAllowedAndReleasable)
{
    using F = VectorFamily<TypeParam>;
    TypeParam *v = F::make(1, 0);
    EXPECT_NE(v + 1, nullptr);
    F::release(v, 1, 0);
}

TEST(VectorLayout, ZeroBasedHandleIsTheBlockItself)
{
    float *v = vector(0, 3);
    float *w = vector(1, 4);
    v[0] = 2.385f;
    w[1] = 2.385f;
    EXPECT_EQ(v[0], 2.385f);
    EXPECT_EQ(w[1], 2.385f);
    free_vector(v, 0, 3);
    free_vector(w, 1, 4);
}

// ---------------------------------------------------------------- matrices

template <typename T>
struct MatrixFamily;
template <>
struct MatrixFamily<float> {
    static float **make(long a, long b, long c, long d) { return matrix(a, b, c, d); }
    static void release(float **m, long a, long b, long c, long d) { free_matrix(m, a, b, c, d); }
};
template <>
struct MatrixFamily<double> {
    static double **make(long a, long b, long c, long d) { return dmatrix(a, b, c, d); }
    static void release(double **m, long a, long b, long c, long d) { free_dmatrix(m, a, b, c, d); }
};
template <>
struct MatrixFamily<int> {
    static int **make(long a, long b, long c, long d) { return imatrix(a, b, c, d); }
    static void release(int **m, long a, long b, long c, long d) { free_imatrix(m, a, b, c, d); }
};

template <typename T>
class MatrixLayout : public ::testing::Test {};
using MatrixTypes = ::testing::Types<float, double, int>;
TYPED_TEST_SUITE(MatrixLayout, MatrixTypes);

// Element [i][j] is block element (i - nrl) * ncol + (j - ncl): row-major,
// contiguous, starting at m[nrl] + ncl.
TYPED_TEST(MatrixLayout, RowMajorContiguousBlockForAnyBounds)
{
    using F = MatrixFamily<TypeParam>;
    const long shapes[][4] = {{1, 3, 1, 4}, {0, 2, 0, 1}, {-2, 1, -3, 0},
                              {1, 1, 1, 5}, {1, 5, 1, 1}, {7, 9, -1, 1}};
    for (const auto &s : shapes) {
        const long nrl = s[0], nrh = s[1], ncl = s[2], nch = s[3];
        const long ncol = nch - ncl + 1;
        TypeParam **m = F::make(nrl, nrh, ncl, nch);
        TypeParam *block = m[nrl] + ncl;
        for (long i = nrl; i <= nrh; i++)
            for (long j = ncl; j <= nch; j++)
                EXPECT_EQ(gap(&m[i][j], block), (i - nrl) * ncol + (j - ncl));
        for (long i = nrl + 1; i <= nrh; i++)
            EXPECT_EQ(gap(m[i], m[i - 1]), ncol);
        const long total = (nrh - nrl + 1) * ncol;
        for (long k = 0; k < total; k++)
            block[k] = static_cast<TypeParam>(k + 1);
        EXPECT_EQ(m[nrh][nch], static_cast<TypeParam>(total));
        F::release(m, nrl, nrh, ncl, nch);
    }
}

TEST(MatrixLayout, ThreeByFourFromOne)
{
    float **m = matrix(1, 3, 1, 4);
    EXPECT_EQ(gap(m[2], m[1]), 4);
    EXPECT_EQ(gap(&m[3][4], m[1] + 1), 11);
    free_matrix(m, 1, 3, 1, 4);
}

TEST(MatrixLayout, RowSwapsAreFineWhenUndoneBeforeRelease)
{
    float **m = matrix(1, 2, 1, 2);
    m[1][1] = 1.5f;
    m[2][1] = 2.5f;
    std::swap(m[1], m[2]);
    EXPECT_EQ(m[1][1], 2.5f);
    std::swap(m[1], m[2]);
    free_matrix(m, 1, 2, 1, 2);
}

// ---------------------------------------------------------------- views

TEST(MatrixView, SubmatrixReindexesAndAliasesTheSource)
{
    float **a = matrix(1, 3, 1, 3);
    for (long i = 1; i <= 3; i++)
        for (long j = 1; j <= 3; j++)
            a[i][j] = static_cast<float>(10 * i + j);
    float **view = submatrix(a, 2, 3, 2, 3, 1, 1);
    EXPECT_EQ(view[1][1], 22.0f);
    EXPECT_EQ(view[2][2], 33.0f);
    view[1][2] = -2.385f;
    EXPECT_EQ(a[2][3], -2.385f);
    free_submatrix(view, 1, 2, 1, 2);
    EXPECT_EQ(a[3][3], 33.0f);
    EXPECT_EQ(a[1][1], 11.0f);
    free_matrix(a, 1, 3, 1, 3);
}

TEST(MatrixView, SubmatrixWithNegativeNewBounds)
{
    float **a = matrix(0, 4, 0, 4);
    for (long i = 0; i <= 4; i++)
        for (long j = 0; j <= 4; j++)
            a[i][j] = static_cast<float>(10 * i + j);
    float **view = submatrix(a, 1, 3, 2, 4, -1, -5);
    for (long k = 0; k <= 2; k++)
        for (long c = 0; c <= 2; c++)
            EXPECT_EQ(view[-1 + k][-5 + c], a[1 + k][2 + c]);
    free_submatrix(view, -1, 1, -5, -3);
    free_matrix(a, 0, 4, 0, 4);
}

TEST(MatrixView, ConvertMatrixLaysRowsOverTheCallersArray)
{
    float p[6] = {0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f};
    float **view = convert_matrix(p, 1, 2, 1, 3);
    EXPECT_EQ(&view[1][1], &p[0]);
    EXPECT_EQ(&view[1][3], &p[2]);
    EXPECT_EQ(&view[2][1], &p[3]);
    view[2][3] = -1.0f;
    EXPECT_EQ(p[5], -1.0f);
    free_convert_matrix(view, 1, 2, 1, 3);
    EXPECT_EQ(p[0], 0.5f);
}

TEST(MatrixView, ConvertMatrixWithZeroBasedAndShiftedBounds)
{
    std::vector<float> p(12);
    float **view = convert_matrix(p.data(), -1, 2, 4, 6);
    for (long i = -1; i <= 2; i++)
        for (long j = 4; j <= 6; j++)
            EXPECT_EQ(&view[i][j], &p[(i + 1) * 3 + (j - 4)]);
    free_convert_matrix(view, -1, 2, 4, 6);
}

// ---------------------------------------------------------------- tensors

TEST(TensorLayout, FloatTensorPointersAndLinearWalk)
{
    float ***t = f3tensor(1, 2, 1, 3, 1, 4);
    float *data = t[1][1] + 1;
    EXPECT_EQ(gap(t[1][2], t[1][1]), 4);
    EXPECT_EQ(gap(t[2][1], t[1][1]), 12);
    EXPECT_EQ(gap(&t[2][3][4], data), 23);
    for (long k = 0; k < 24; k++)
        data[k] = static_cast<float>(k);
    for (long i = 1; i <= 2; i++)
        for (long j = 1; j <= 3; j++)
            for (long d = 1; d <= 4; d++)
                EXPECT_EQ(t[i][j][d], static_cast<float>(((i - 1) * 3 + (j - 1)) * 4 + (d - 1)));
    free_f3tensor(t, 1, 2, 1, 3, 1, 4);
}

TEST(TensorLayout, CharTensorWithNegativeAndZeroBounds)
{
    const long nrl = -1, nrh = 1, ncl = 0, nch = 1, ndl = -2, ndh = 0;
    unsigned char ***t = c3tensor(nrl, nrh, ncl, nch, ndl, ndh);
    unsigned char *data = t[nrl][ncl] + ndl;
    EXPECT_EQ(t[nrl] + ncl, &t[nrl][ncl]);
    for (long i = nrl; i <= nrh; i++)
        for (long j = ncl; j <= nch; j++)
            for (long d = ndl; d <= ndh; d++)
                EXPECT_EQ(gap(&t[i][j][d], data), ((i - nrl) * 2 + (j - ncl)) * 3 + (d - ndl));
    for (long k = 0; k < 18; k++)
        data[k] = static_cast<unsigned char>(k);
    EXPECT_EQ(t[nrh][nch][ndh], 17);
    free_c3tensor(t, nrl, nrh, ncl, nch, ndl, ndh);
}

TEST(TensorLayout, SingleRowAndSingleColumn)
{
    float ***t = f3tensor(3, 3, 5, 5, 1, 2);
    t[3][5][1] = 1.25f;
    t[3][5][2] = 2.5f;
    EXPECT_EQ(gap(&t[3][5][2], &t[3][5][1]), 1);
    free_f3tensor(t, 3, 3, 5, 5, 1, 2);
}

// ---------------------------------------------------------------- helpers

TEST(ArithmeticHelpers, SquareIsFormedInFloatThenWidened)
{
    EXPECT_EQ(tessivane::sqr(0.0f), 0.0);
    EXPECT_EQ(tessivane::sqr(-0.0f), 0.0);
    EXPECT_EQ(tessivane::sqr(-3.0f), 9.0);
    const float x = 1.1f;
    EXPECT_EQ(tessivane::sqr(x), static_cast<double>(x * x));
    EXPECT_NE(tessivane::sqr(x), static_cast<double>(x) * static_cast<double>(x));
    EXPECT_EQ(tessivane::sqr(1e30f), static_cast<double>(INFINITY));
}

TEST(ArithmeticHelpers, IntMinimum)
{
    EXPECT_EQ(tessivane::imin(3, 7), 3);
    EXPECT_EQ(tessivane::imin(7, 3), 3);
    EXPECT_EQ(tessivane::imin(-4, -4), -4);
    EXPECT_EQ(tessivane::imin(INT_MIN, 0), INT_MIN);
}

// ---------------------------------------------------------------- fatal exits

TEST(NrerrorDeathTest, WritesThreeLinesAndExitsWithOne)
{
    TV_EXPECT_FATAL(nrerror("something went wrong"), "something went wrong");
    char text[] = "mutable text";
    TV_EXPECT_FATAL(nrerror(text), "mutable text");
    TV_EXPECT_FATAL(nrerror(""), "");
}

TEST(NrerrorDeathTest, ExitRunsExitHandlersAndFlushesStreams)
{
    EXPECT_EXIT(
        {
            tv_test::mark_dying_child();
            std::fputs("buffered", stdout);
            std::atexit([] { std::fputs("handler ran\n", stderr); });
            nrerror("bye");
        },
        ::testing::ExitedWithCode(1),
        ::testing::EndsWith("...now exiting to system...\nhandler ran\n"));
}

TEST(ArrayRangeDeathTest, ReversedRangesAreRefused)
{
    TV_EXPECT_FATAL(vector(5, 3), "bad index range in vector()");
    TV_EXPECT_FATAL(ivector(0, -2), "bad index range in ivector()");
    TV_EXPECT_FATAL(cvector(1, -1), "bad index range in cvector()");
    TV_EXPECT_FATAL(lvector(2, 0), "bad index range in lvector()");
    TV_EXPECT_FATAL(dvector(1, -100), "bad index range in dvector()");
    TV_EXPECT_FATAL(matrix(1, 3, 4, 2), "bad index range in matrix()");
    TV_EXPECT_FATAL(dmatrix(3, 1, 1, 3), "bad index range in dmatrix()");
    TV_EXPECT_FATAL(f3tensor(1, 2, 1, 2, 3, 1), "bad index range in f3tensor()");
    TV_EXPECT_FATAL(convert_matrix(nullptr, 1, 2, 3, 1), "bad index range in convert_matrix()");
}

TEST(ArrayRangeDeathTest, ShapesWithoutRowsOrColumnsAreRefused)
{
    TV_EXPECT_FATAL(matrix(1, 0, 1, 3), "no rows in matrix()");
    TV_EXPECT_FATAL(dmatrix(1, 0, 1, 3), "no rows in dmatrix()");
    TV_EXPECT_FATAL(imatrix(0, -1, 1, 3), "no rows in imatrix()");
    TV_EXPECT_FATAL(submatrix(nullptr, 2, 1, 1, 3, 1, 1), "no rows in submatrix()");
    TV_EXPECT_FATAL(convert_matrix(nullptr, 1, 0, 1, 3), "no rows in convert_matrix()");
    TV_EXPECT_FATAL(f3tensor(1, 0, 1, 2, 1, 2), "no rows in f3tensor()");
    TV_EXPECT_FATAL(f3tensor(1, 2, 1, 0, 1, 2), "no columns in f3tensor()");
    TV_EXPECT_FATAL(c3tensor(1, 0, 1, 2, 1, 2), "no rows in c3tensor()");
    TV_EXPECT_FATAL(c3tensor(1, 2, 1, 0, 1, 2), "no columns in c3tensor()");
}

TEST(ArrayRangeDeathTest, ByteCountsBeyondSixtyFourBitsAreRefused)
{
    TV_EXPECT_FATAL(vector(LONG_MIN, LONG_MAX), "allocation size overflow in vector()");
    TV_EXPECT_FATAL(dvector(0, LONG_MAX), "allocation size overflow in dvector()");
    TV_EXPECT_FATAL(lvector(1, LONG_MAX / 4), "allocation size overflow in lvector()");
    TV_EXPECT_FATAL(matrix(1, 1L << 32, 1, 1L << 32), "allocation size overflow in matrix()");
    TV_EXPECT_FATAL(imatrix(1, 1L << 62, 1, 1), "allocation size overflow in imatrix()");
    TV_EXPECT_FATAL(f3tensor(1, 1L << 22, 1, 1L << 22, 1, 1L << 22),
                    "allocation size overflow in f3tensor()");
}

// Sizes that fit in 64 bits but not in memory reach the allocator and report
// its failure with the established texts.
TEST(ArrayAllocationDeathTest, AllocatorFailuresUseTheirOwnTexts)
{
    const long huge = 1L << 60;
    TV_EXPECT_FATAL(vector(1, huge), "allocation failure in vector()");
    TV_EXPECT_FATAL(ivector(1, huge), "allocation failure in ivector()");
    TV_EXPECT_FATAL(cvector(1, huge), "allocation failure in cvector()");
    TV_EXPECT_FATAL(lvector(1, huge / 2), "allocation failure in lvector()");
    TV_EXPECT_FATAL(dvector(1, huge / 2), "allocation failure in dvector()");
    TV_EXPECT_FATAL(matrix(1, huge / 2, 1, 1), "allocation failure 1 in matrix()");
    TV_EXPECT_FATAL(matrix(1, 2, 1, huge / 2), "allocation failure 2 in matrix()");
    TV_EXPECT_FATAL(dmatrix(1, 2, 1, huge / 4), "allocation failure 2 in matrix()");
    TV_EXPECT_FATAL(imatrix(1, huge / 2, 1, 1), "allocation failure 1 in matrix()");
    TV_EXPECT_FATAL(f3tensor(1, huge / 2, 1, 1, 1, 1), "allocation failure 1 in f3tensor()");
    TV_EXPECT_FATAL(f3tensor(1, 2, 1, huge / 4, 1, 1), "allocation failure 2 in f3tensor()");
    TV_EXPECT_FATAL(f3tensor(1, 2, 1, 2, 1, huge / 4), "allocation failure 3 in f3tensor()");
    TV_EXPECT_FATAL(c3tensor(1, 2, 1, 2, 1, huge), "allocation failure 3 in c3tensor()");
}

}  // namespace
