// svdcmp, svbksb, svdvar, pythag and the NoConvergenceInSVD flag.

#include "support/accuracy.h"
#include "support/arrays.h"
#include "support/linalg.h"
#include "stat.h"
#include "support/isa_paths.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

using tv_test::fmt;
using tv_test::Matrix;
using tv_test::Vector;
using tv_test::WorstCase;

namespace {

// Decomposes the row-major rows x cols values; a is left holding U.
void decompose(const std::vector<float> &values, int rows, int cols, Matrix &a, Vector &w,
               Matrix &v)
{
    a.set(values);
    svdcmp(a.data(), rows, cols, w.data(), v.data());
    EXPECT_TRUE(a.guards_intact());
    EXPECT_TRUE(w.guards_intact());
    EXPECT_TRUE(v.guards_intact());
}

}  // namespace

TEST(SvdExact, DiagonalWithNegativeEntry)
{
    Matrix a(2, 2), v(2, 2);
    Vector w(2);
    decompose({-3.0f, 0.0f, 0.0f, 2.0f}, 2, 2, a, w, v);
    EXPECT_FALSE(NoConvergenceInSVD);
    EXPECT_EQ(w[1], 3.0f);
    EXPECT_EQ(w[2], 2.0f);
    EXPECT_EQ(a.values(), (std::vector<float>{-1.0f, 0.0f, 0.0f, -1.0f}));
    EXPECT_EQ(v.values(), (std::vector<float>{1.0f, 0.0f, 0.0f, -1.0f}));
}

TEST(SvdExact, ValuesAreNotSorted)
{
    Matrix a(2, 2), v(2, 2);
    Vector w(2);
    decompose({1.0f, 0.0f, 0.0f, 5.0f}, 2, 2, a, w, v);
    EXPECT_EQ(w[1], 1.0f);
    EXPECT_EQ(w[2], 5.0f);

    Matrix a3(3, 2), v3(2, 2);
    Vector w3(2);
    decompose({1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}, 3, 2, a3, w3, v3);
    EXPECT_NEAR(w3[1], 0.5143f, 1e-4f);
    EXPECT_NEAR(w3[2], 9.5255f, 1e-4f);
}

TEST(SvdExact, ZeroMatrixGivesIdentityFactors)
{
    for (auto shape : {std::make_pair(3, 2), std::make_pair(2, 3), std::make_pair(1, 1)}) {
        int rows = shape.first, cols = shape.second;
        SCOPED_TRACE(testing::Message() << rows << "x" << cols);
        Matrix a(rows, cols), v(cols, cols);
        Vector w(cols);
        decompose(std::vector<float>(static_cast<size_t>(rows * cols), 0.0f), rows, cols, a, w, v);
        EXPECT_FALSE(NoConvergenceInSVD);
        for (int j = 1; j <= cols; j++) {
            EXPECT_EQ(w[j], 0.0f);
            for (int i = 1; i <= cols; i++)
                EXPECT_EQ(v[i][j], i == j ? 1.0f : 0.0f);
            for (int i = 1; i <= rows; i++)
                EXPECT_EQ(a[i][j], i == j ? 1.0f : 0.0f);
        }
    }
}

// The superdiagonal 1e-7 is below the absolute threshold 1e-6, so no sweep
// runs and the bidiagonal diagonal is taken as is (the true singular values
// are 1.618e-7 and 0.618e-7).
TEST(SvdExact, AbsoluteThresholdEndsIteration)
{
    Matrix a(2, 2), v(2, 2);
    Vector w(2);
    decompose({1e-7f, 1e-7f, 0.0f, 1e-7f}, 2, 2, a, w, v);
    EXPECT_EQ(w[1], 1e-7f);
    EXPECT_EQ(w[2], 1e-7f);
    EXPECT_FALSE(NoConvergenceInSVD);
}

// Bit patterns of U, w and V for two inputs: a 3 x 3 matrix that needs three
// QR sweeps (the shift's double-precision part shows in these bits), and a
// tall 4 x 3 matrix with two equal columns whose near-zero diagonal value
// takes the cancellation path. Callers rely on exactly these results.
TEST(SvdExact, ReferenceBitPatterns)
{
    struct Case {
        int rows, cols;
        std::vector<float> in, w, u, v;
    };
    const Case cases[] = {
        {3,
         3,
         {2.385f, -1.0f, 0.5f, 1.25f, 3.0f, -2.0f, 0.75f, 1.5f, 4.0f},
         {0x1.45b2cp+1f, 0x1.d3d676p+1f, 0x1.21a11cp+2f},
         {0x1.f7728p-1f, 0x1.c7eccp-8f, -0x1.748006p-3f, 0x1.21a818p-4f, 0x1.cff52p-1f,
          0x1.aaf906p-2f, -0x1.577cf4p-3f, 0x1.b102eep-2f, -0x1.c7f494p-1f},
         {0x1.d05c9p-1f, 0x1.9ad926p-2f, -0x1.06b3bap-3f, -0x1.9b940ep-2f, 0x1.d4b1ccp-1f,
          0x1.5f166ep-6f, -0x1.02171cp-3f, -0x1.07245ep-5f, -0x1.fba6dcp-1f}},
        {4,
         3,
         {2.385f, 0.5f, 2.385f, 1.25f, -2.0f, 1.25f, 0.75f, 4.0f, 0.75f, 1.0f, 1.0f, 1.0f},
         {0x1.a71db6p-27f, 0x1.f36312p+1f, 0x1.3745f8p+2f},
         {0x1.81c4fp-2f, -0x1.533256p-1f, -0x1.d43a2cp-2f, -0x1.33cfe8p-4f, -0x1.504d4p-1f,
          0x1.3a8582p-3f, 0x1.259626p-3f, 0x1.454638p-2f, -0x1.9fa43ap-1f, -0x1.d2fb56p-1f,
          -0x1.5b543ap-3f, -0x1.5102dap-2f},
         {-0x1.6a09eap-1f, -0x1.321834p-1f, -0x1.82ab2cp-2f, -0x1.04p-23f, 0x1.116a7ep-1f,
          -0x1.b0e204p-1f, 0x1.6a09eap-1f, -0x1.32183p-1f, -0x1.82ab2ap-2f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << "x" << c.cols);
        Matrix a(c.rows, c.cols), v(c.cols, c.cols);
        Vector w(c.cols);
        decompose(c.in, c.rows, c.cols, a, w, v);
        EXPECT_FALSE(NoConvergenceInSVD);
        EXPECT_EQ(std::vector<float>(w.data() + 1, w.data() + 1 + c.cols), c.w);
        EXPECT_EQ(a.values(), c.u);
        EXPECT_EQ(v.values(), c.v);
    }
}

TEST(SvdExact, Pythag)
{
    EXPECT_EQ(pythag(3.0f, 4.0f), 5.0f);
    EXPECT_EQ(pythag(0.0f, 0.0f), 0.0f);
    EXPECT_EQ(pythag(-3.0f, 0.0f), 3.0f);
    EXPECT_EQ(pythag(2.385f, -7.5f), pythag(-7.5f, 2.385f));
    // No overflow of the squares.
    EXPECT_FLOAT_EQ(pythag(3e30f, 4e30f), 5e30f);
    EXPECT_FLOAT_EQ(pythag(3e-30f, 4e-30f), 5e-30f);
}

// The flag is the library's own variable, read here as any caller would.
TEST(SvdExact, NoConvergenceFlagSetAndCleared)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Matrix a(2, 2), v(2, 2);
    Vector w(2);
    decompose({nan, 1.0f, 2.385f, nan}, 2, 2, a, w, v);
    EXPECT_TRUE(NoConvergenceInSVD);
    decompose({2.385f, 1.0f, 0.5f, 3.0f}, 2, 2, a, w, v);
    EXPECT_FALSE(NoConvergenceInSVD);
}

TEST(SvdExact, BacksubstitutionSkipsExactZeros)
{
    Matrix u(2, 2), v(2, 2);
    Vector w(2), b(2), x(2);
    u.set({1.0f, 0.0f, 0.0f, 1.0f});
    v.set({0.0f, 1.0f, 1.0f, 0.0f});
    b[1] = 4.77f;
    b[2] = 2.385f;
    w[1] = 2.0f;
    w[2] = 0.0f;
    svbksb(u.data(), w.data(), v.data(), 2, 2, b.data(), x.data());
    EXPECT_EQ(x[1], 0.0f);
    EXPECT_EQ(x[2], 2.385f);
    EXPECT_EQ(b[1], 4.77f);
    EXPECT_EQ(b[2], 2.385f);

    w[2] = 1e-30f;  // tiny, but not zero: divided by like any other
    svbksb(u.data(), w.data(), v.data(), 2, 2, b.data(), x.data());
    EXPECT_EQ(x[1], 2.385f / 1e-30f);
    EXPECT_TRUE(x.guards_intact() && b.guards_intact() && u.guards_intact());
}

TEST(SvdExact, CovarianceIsSymmetricAndSkipsZeroValues)
{
    std::mt19937 rng(4711);
    Matrix v(3, 3), cvm(3, 3);
    Vector w(3);
    v.set(tv_test::random_values(rng, 3, 3));
    w[1] = 2.385f;
    w[2] = 0.0f;
    w[3] = 1.5f;
    svdvar(v.data(), 3, w.data(), cvm.data());
    for (int i = 1; i <= 3; i++)
        for (int j = 1; j <= 3; j++) {
            EXPECT_EQ(cvm[i][j], cvm[j][i]);
            double expect = v[i][1] * v[j][1] / (2.385 * 2.385) + v[i][3] * v[j][3] / 2.25;
            EXPECT_NEAR(cvm[i][j], expect, 8 * FLT_EPSILON * (std::fabs(expect) + 1.0));
        }
    EXPECT_TRUE(cvm.guards_intact());
}

// Singular values against sgesvd, reconstruction A = U diag(w) V^T and
// orthogonality of the factors, on square, tall and wide random matrices.
TEST(SvdAccuracy, RandomMatricesAgainstLapack)
{
    const double kTolValues = 32 * FLT_EPSILON;   // relative to the largest singular value
    const double kTolRebuild = 16 * FLT_EPSILON;  // likewise
    const double kTolOrtho = 64 * FLT_EPSILON;
    WorstCase worst_values("svdcmp singular value error"),
        worst_rebuild("svdcmp reconstruction error"), worst_ortho("svdcmp orthogonality error");

    for (unsigned trial = 0; trial < 300; trial++) {
        unsigned seed = 1000 + trial;
        std::mt19937 rng(seed);
        int d1 = 1 + static_cast<int>(rng() % 40), d2 = 1 + static_cast<int>(rng() % 40);
        int rows = d1, cols = d1;
        if (trial % 3 == 1) {  // tall
            rows = std::max(d1, d2);
            cols = std::min(d1, d2);
        } else if (trial % 3 == 2) {  // wide
            rows = std::min(d1, d2);
            cols = std::max(d1, d2);
        }
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << rows << "x" << cols);
        std::vector<float> values = tv_test::random_values(rng, rows, cols);
        std::vector<float> ref = tv_test::lapack_singular_values(values, rows, cols);
        ASSERT_FALSE(ref.empty());

        Matrix a(rows, cols), v(cols, cols);
        Vector w(cols);
        decompose(values, rows, cols, a, w, v);
        ASSERT_FALSE(NoConvergenceInSVD);

        std::vector<float> sorted(w.data() + 1, w.data() + 1 + cols);
        std::sort(sorted.rbegin(), sorted.rend());
        double scale = std::max(static_cast<double>(ref[0]), 1e-30);
        double err = 0.0;
        for (int k = 0; k < cols; k++) {
            ASSERT_GE(sorted[static_cast<size_t>(k)], 0.0f);
            double expect = k < static_cast<int>(ref.size()) ? ref[static_cast<size_t>(k)] : 0.0;
            err = std::max(err, std::fabs(sorted[static_cast<size_t>(k)] - expect) / scale);
        }
        worst_values.add(err / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, rows, cols));
        EXPECT_LE(err, kTolValues);

        err = 0.0;
        for (int i = 1; i <= rows; i++)
            for (int j = 1; j <= cols; j++) {
                double sum = 0.0;
                for (int k = 1; k <= cols; k++)
                    sum += static_cast<double>(a[i][k]) * w[k] * v[j][k];
                err = std::max(
                    err, std::fabs(sum - values[static_cast<size_t>((i - 1) * cols + j - 1)]));
            }
        worst_rebuild.add(err / scale / FLT_EPSILON,
                          fmt("seed %.0f, %.0f x %.0f", seed, rows, cols));
        EXPECT_LE(err / scale, kTolRebuild);

        // V is orthogonal; the columns of U are orthonormal when rows >= cols.
        err = 0.0;
        for (int p = 1; p <= cols; p++)
            for (int q = 1; q <= cols; q++) {
                double vv = 0.0, uu = 0.0;
                for (int k = 1; k <= cols; k++)
                    vv += static_cast<double>(v[k][p]) * v[k][q];
                for (int k = 1; k <= rows; k++)
                    uu += static_cast<double>(a[k][p]) * a[k][q];
                double id = p == q ? 1.0 : 0.0;
                err = std::max(err, std::fabs(vv - id));
                if (rows >= cols)
                    err = std::max(err, std::fabs(uu - id));
            }
        worst_ortho.add(err / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, rows, cols));
        EXPECT_LE(err, kTolOrtho);
    }
    worst_values.report();
    worst_rebuild.report();
    worst_ortho.report();
}

// svbksb through the factors solves square systems like sgesv does.
TEST(SvdAccuracy, BacksubstitutionAgainstLapackSolve)
{
    const double kTol = 8 * FLT_EPSILON;  // times the condition number
    WorstCase worst("svbksb error / cond");
    for (unsigned trial = 0; trial < 60; trial++) {
        unsigned seed = 5000 + trial;
        std::mt19937 rng(seed);
        int n = 1 + static_cast<int>(rng() % 40);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", n = " << n);
        std::vector<float> values = tv_test::random_values(rng, n, n);
        std::vector<float> rhs = tv_test::random_values(rng, n, 1);
        std::vector<float> ref = tv_test::lapack_solve(values, rhs, n, 1);
        std::vector<float> sv = tv_test::lapack_singular_values(values, n, n);
        ASSERT_FALSE(ref.empty());
        double cond = sv.front() / sv.back();

        Matrix a(n, n), v(n, n);
        Vector w(n), b(n), x(n);
        decompose(values, n, n, a, w, v);
        for (int i = 1; i <= n; i++)
            b[i] = rhs[static_cast<size_t>(i - 1)];
        svbksb(a.data(), w.data(), v.data(), n, n, b.data(), x.data());
        double xmax = 0.0, err = 0.0;
        for (int i = 1; i <= n; i++) {
            xmax = std::max(xmax, std::fabs(static_cast<double>(ref[static_cast<size_t>(i - 1)])));
            err = std::max(err,
                           std::fabs(static_cast<double>(x[i]) - ref[static_cast<size_t>(i - 1)]));
        }
        double rel = err / (xmax * cond);
        worst.add(rel / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, n, n));
        EXPECT_LE(rel, kTol);
        EXPECT_TRUE(x.guards_intact());
    }
    worst.report();
}

// ---- Every instruction-set path against the portable one, bit for bit ----

using SvdCase = std::tuple<std::pair<int, int>, tv_test::Fill>;

class SvdPaths : public testing::TestWithParam<SvdCase> {};

// U, w, V and the no-convergence flag (NaNs and infinities keep the QR
// sweeps from converging).
TEST_P(SvdPaths, SameBitsAsPortable)
{
    const auto [shape, fill] = GetParam();
    const auto [m, n] = shape;
    std::mt19937 rng(static_cast<unsigned>(m * 1009 + n * 17 + static_cast<int>(fill)));
    const std::vector<float> values = tv_test::path_input(rng, m, n, fill);
    tv_test::expect_paths_agree([&] {
        Matrix a(m, n), v(n, n);
        Vector w(n);
        a.set(values);
        svdcmp(a.data(), m, n, w.data(), v.data());
        std::vector<float> out = a.values(), vout = v.values();
        out.insert(out.end(), vout.begin(), vout.end());
        out.insert(out.end(), w.data() + 1, w.data() + 1 + n);
        out.push_back(NoConvergenceInSVD ? 1.0f : 0.0f);
        out.push_back(a.guards_intact() && v.guards_intact() && w.guards_intact() ? 1.0f : 0.0f);
        return out;
    });
}

std::string svd_case_name(const testing::TestParamInfo<SvdCase> &info)
{
    const auto [shape, fill] = info.param;
    return std::to_string(shape.first) + "x" + std::to_string(shape.second) + "_" +
           tv_test::fill_name(fill);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SvdPaths,
    testing::Combine(
        testing::Values(std::make_pair(1, 1), std::make_pair(1, 6), std::make_pair(6, 1),
                        std::make_pair(2, 2), std::make_pair(3, 2), std::make_pair(2, 3),
                        std::make_pair(8, 8), std::make_pair(9, 7), std::make_pair(7, 9),
                        std::make_pair(17, 33), std::make_pair(33, 17), std::make_pair(40, 40),
                        std::make_pair(64, 64), std::make_pair(100, 37), std::make_pair(37, 100),
                        std::make_pair(129, 129)),
        testing::Values(tv_test::Fill::random, tv_test::Fill::small_integers,
                        tv_test::Fill::special_values, tv_test::Fill::zeros_subnormals)),
    svd_case_name);
INSTANTIATE_TEST_SUITE_P(Large, SvdPaths,
                         testing::Combine(testing::Values(std::make_pair(300, 300),
                                                          std::make_pair(520, 60)),
                                          testing::Values(tv_test::Fill::random)),
                         svd_case_name);
