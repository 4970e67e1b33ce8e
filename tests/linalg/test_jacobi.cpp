// jacobi and eigsrt: symmetric eigen-decomposition by cyclic rotations.

#include "support/accuracy.h"
#include "support/arrays.h"
#include "support/linalg.h"
#include "stat.h"
#include "support/fatal.h"
#include "support/isa_paths.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>

using tv_test::fmt;
using tv_test::Matrix;
using tv_test::Vector;
using tv_test::WorstCase;

TEST(JacobiExact, DiagonalNeedsNoRotation)
{
    for (int n : {1, 3}) {
        Matrix a(n, n), v(n, n);
        Vector d(n);
        std::vector<float> values(static_cast<size_t>(n * n), 0.0f);
        for (int i = 0; i < n; i++)
            values[static_cast<size_t>(i * n + i)] = 2.385f * static_cast<float>(i + 1);
        a.set(values);
        int nrot = -1;
        jacobi(a.data(), n, d.data(), v.data(), &nrot);
        EXPECT_EQ(nrot, 0);
        for (int i = 1; i <= n; i++) {
            EXPECT_EQ(d[i], 2.385f * static_cast<float>(i));
            for (int j = 1; j <= n; j++)
                EXPECT_EQ(v[i][j], i == j ? 1.0f : 0.0f);
        }
        EXPECT_EQ(a.values(), values);
    }
}

// (2 1; 1 2): one rotation with theta = 0, then sorting.
TEST(JacobiExact, TwoByTwoAndSort)
{
    Matrix a(2, 2), v(2, 2);
    Vector d(2);
    a.set({2, 1, 1, 2});
    int nrot = 0;
    jacobi(a.data(), 2, d.data(), v.data(), &nrot);
    EXPECT_EQ(nrot, 1);
    EXPECT_FLOAT_EQ(d[1], 1.0f);
    EXPECT_FLOAT_EQ(d[2], 3.0f);
    const float r = 0.70710678f;
    EXPECT_FLOAT_EQ(v[1][1], r);
    EXPECT_FLOAT_EQ(v[1][2], r);
    EXPECT_FLOAT_EQ(v[2][1], -r);
    EXPECT_FLOAT_EQ(v[2][2], r);
    EXPECT_EQ(a[1][2], 0.0f);
    EXPECT_EQ(a[2][1], 1.0f);  // the lower triangle is never written
    EXPECT_EQ(a[1][1], 2.0f);
    EXPECT_TRUE(a.guards_intact() && v.guards_intact() && d.guards_intact());

    std::vector<float> before = v.values();
    eigsrt(d.data(), v.data(), 2);
    EXPECT_FLOAT_EQ(d[1], 3.0f);
    EXPECT_FLOAT_EQ(d[2], 1.0f);
    EXPECT_EQ(v.values(), (std::vector<float>{before[1], before[0], before[3], before[2]}));
}

// One rotation of (2.385 q; q 1), followed step by step: theta, t, c and tau
// are each rounded to float from a double expression, t^2 + 1 and theta^2 are
// float. The off-diagonal values are chosen so that doing any of t, c or tau
// wholly in float changes the result bits.
TEST(JacobiExact, RotationFollowsStatedPrecision)
{
    for (float q : {0.875f, 1.125f, 4.5f}) {
        SCOPED_TRACE(testing::Message() << "q = " << q);
        const float a11 = 2.385f, a22 = 1.0f;
        Matrix a(2, 2), v(2, 2);
        Vector d(2);
        a.set({a11, q, q, a22});
        int nrot = 0;
        jacobi(a.data(), 2, d.data(), v.data(), &nrot);

        const float h = a22 - a11;
        const float theta = static_cast<float>(0.5 * static_cast<double>(h) / q);
        float t = static_cast<float>(1.0 / (std::fabs(static_cast<double>(theta)) +
                                            std::sqrt(1.0 + static_cast<double>(theta * theta))));
        if (theta < 0.0f)
            t = -t;
        const float c = static_cast<float>(1.0 / std::sqrt(static_cast<double>(t * t + 1.0f)));
        const float s = t * c;
        const float tau = static_cast<float>(s / (1.0 + static_cast<double>(c)));
        const float shift = t * q;
        EXPECT_EQ(nrot, 1);
        EXPECT_EQ(d[1], a11 - shift);
        EXPECT_EQ(d[2], a22 + shift);
        EXPECT_EQ(v.values(), (std::vector<float>{1.0f - s * tau, s, -s, 1.0f - s * tau}));
        EXPECT_EQ(a.values(), (std::vector<float>{a11, 0.0f, q, a22}));
    }
}

TEST(JacobiExact, SortTakesLastOfEqualValues)
{
    Matrix v(3, 3);
    Vector d(3);
    v.set({1, 2, 3, 4, 5, 6, 7, 8, 9});
    d[1] = 2.385f;
    d[2] = 2.385f;
    d[3] = 1.0f;
    eigsrt(d.data(), v.data(), 3);  // equal pair exchanged with its columns
    EXPECT_EQ(v.values(), (std::vector<float>{2, 1, 3, 5, 4, 6, 8, 7, 9}));
    d[1] = 3.0f;  // strictly descending: nothing moves
    eigsrt(d.data(), v.data(), 3);
    EXPECT_EQ(v.values(), (std::vector<float>{2, 1, 3, 5, 4, 6, 8, 7, 9}));
    EXPECT_TRUE(d.guards_intact() && v.guards_intact());
}

// A NaN above the diagonal is never rotated away.
TEST(JacobiDeathTest, TooManySweeps)
{
    auto run = [] {
        Matrix a(2, 2), v(2, 2);
        Vector d(2);
        a.set({1, std::numeric_limits<float>::quiet_NaN(), 0, 2});
        int nrot = 0;
        jacobi(a.data(), 2, d.data(), v.data(), &nrot);
    };
    TV_EXPECT_FATAL(run(), "Too many iterations in routine jacobi");
}

// Eigenvalues against ssyev; A v = lambda v and orthogonality of v.
TEST(JacobiAccuracy, RandomSymmetricAgainstLapack)
{
    const double kTolValues = 32 * FLT_EPSILON;    // relative to max |lambda|
    const double kTolResidual = 32 * FLT_EPSILON;  // likewise
    const double kTolOrtho = 16 * FLT_EPSILON;
    WorstCase worst_values("jacobi eigenvalue error"), worst_residual("jacobi residual"),
        worst_ortho("jacobi orthogonality error");
    for (unsigned trial = 0; trial < 150; trial++) {
        unsigned seed = 3000 + trial;
        std::mt19937 rng(seed);
        int n = 1 + static_cast<int>(rng() % 40);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", n = " << n);
        std::vector<float> values = tv_test::random_values(rng, n, n);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < i; j++)
                values[static_cast<size_t>(i * n + j)] = values[static_cast<size_t>(j * n + i)];
        std::vector<float> ref = tv_test::lapack_eigenvalues(values, n);
        ASSERT_FALSE(ref.empty());
        double scale = std::max(std::fabs(ref.front()), std::fabs(ref.back()));

        Matrix a(n, n), v(n, n);
        Vector d(n);
        a.set(values);
        int nrot = 0;
        jacobi(a.data(), n, d.data(), v.data(), &nrot);
        eigsrt(d.data(), v.data(), n);
        EXPECT_TRUE(a.guards_intact() && v.guards_intact() && d.guards_intact());

        double e_val = 0.0, e_res = 0.0, e_orth = 0.0;
        for (int k = 1; k <= n; k++) {
            EXPECT_TRUE(k == 1 || d[k] <= d[k - 1]);
            e_val = std::max(e_val, std::fabs(d[k] - ref[static_cast<size_t>(n - k)]) / scale);
            for (int i = 1; i <= n; i++) {
                double av = 0.0, vv = 0.0;
                for (int j = 1; j <= n; j++) {
                    av += static_cast<double>(values[static_cast<size_t>((i - 1) * n + j - 1)]) *
                          v[j][k];
                    vv += static_cast<double>(v[j][i]) * v[j][k];
                }
                e_res =
                    std::max(e_res, std::fabs(av - static_cast<double>(d[k]) * v[i][k]) / scale);
                e_orth = std::max(e_orth, std::fabs(vv - (i == k ? 1.0 : 0.0)));
            }
        }
        worst_values.add(e_val / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, n, n));
        worst_residual.add(e_res / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, n, n));
        worst_ortho.add(e_orth / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, n, n));
        EXPECT_LE(e_val, kTolValues);
        EXPECT_LE(e_res, kTolResidual);
        EXPECT_LE(e_orth, kTolOrtho);
    }
    worst_values.report();
    worst_residual.report();
    worst_ortho.report();
}

// ---- Every instruction-set path against the portable one, bit for bit ----

using PathCase = std::tuple<int, tv_test::Fill>;

class JacobiPaths : public testing::TestWithParam<PathCase> {};

// Everything one jacobi call on the n x n matrix `values` leaves behind.
std::vector<float> jacobi_outputs(const std::vector<float> &values, int n)
{
    Matrix a(n, n), v(n, n);
    Vector d(n);
    a.set(values);
    int nrot = -1;
    jacobi(a.data(), n, d.data(), v.data(), &nrot);
    std::vector<float> out = a.values(), vout = v.values();
    out.insert(out.end(), vout.begin(), vout.end());
    out.insert(out.end(), d.data() + 1, d.data() + 1 + n);
    out.push_back(static_cast<float>(nrot));
    out.push_back(a.guards_intact() && v.guards_intact() && d.guards_intact() ? 1.0f : 0.0f);
    return out;
}

// The lower triangle holds values of its own: it must be neither read nor
// written. NaNs end the run after 50 sweeps; the fatal report must match.
TEST_P(JacobiPaths, SameBitsAsPortable)
{
    const auto [n, fill] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(n * 131 + static_cast<int>(fill)));
    const std::vector<float> values = tv_test::path_input(rng, n, n, fill);
    tv_test::expect_paths_agree([&] { return jacobi_outputs(values, n); });
}

// Off-diagonal entries only between the first eight rows and the rest: the
// first sweep rotates each of those rows only with later rows, yet changes
// the entries among them.
TEST(JacobiPathsShape, CouplingOfTheFirstTileOnly)
{
    for (int n : {12, 16, 40}) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        std::mt19937 rng(static_cast<unsigned>(n));
        std::uniform_real_distribution<float> coupling(-1.0f, 1.0f);
        std::vector<float> values(static_cast<size_t>(n * n), 0.0f);
        for (int i = 0; i < n; i++) {
            values[static_cast<size_t>(i * n + i)] = static_cast<float>(i + 1);
            for (int j = 8; j < n && i < 8; j++)
                values[static_cast<size_t>(i * n + j)] = values[static_cast<size_t>(j * n + i)] =
                    coupling(rng);
        }
        tv_test::expect_paths_agree([&] { return jacobi_outputs(values, n); });
    }
}

std::string jacobi_case_name(const testing::TestParamInfo<PathCase> &info)
{
    return "n" + std::to_string(std::get<0>(info.param)) + "_" +
           tv_test::fill_name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Sizes, JacobiPaths,
                         testing::Combine(testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 16, 17, 22,
                                                          31, 33, 64, 100, 128),
                                          testing::Values(tv_test::Fill::random,
                                                          tv_test::Fill::small_integers,
                                                          tv_test::Fill::special_values,
                                                          tv_test::Fill::zeros_subnormals)),
                         jacobi_case_name);
INSTANTIATE_TEST_SUITE_P(Large, JacobiPaths,
                         testing::Combine(testing::Values(257, 300),
                                          testing::Values(tv_test::Fill::random)),
                         jacobi_case_name);
