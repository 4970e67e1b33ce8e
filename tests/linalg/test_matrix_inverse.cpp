// getInverseMatrixUsingSVD: truncated inverse through the SVD, 0-based.

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

using tv_test::fmt;
using tv_test::Matrix;
using tv_test::WorstCase;

namespace {

std::vector<float> invert(const std::vector<float> &values, int n)
{
    Matrix m(n, n, 0), inv(n, n, 0);
    m.set(values);
    EXPECT_TRUE(getInverseMatrixUsingSVD(m.data(), inv.data(), n));
    EXPECT_EQ(m.values(), values);  // input untouched
    EXPECT_TRUE(m.guards_intact() && inv.guards_intact());
    return inv.values();
}

}  // namespace

TEST(MatrixInverseExact, Diagonal)
{
    EXPECT_EQ(invert({2, 0, 0, 4}, 2), (std::vector<float>{0.5f, 0, 0, 0.25f}));
    EXPECT_EQ(invert({5}, 1), (std::vector<float>{0.2f}));
    EXPECT_EQ(invert({-5}, 1), (std::vector<float>{-0.2f}));
}

// Values below 1e-6 times the largest are dropped; 1e-5 is not.
TEST(MatrixInverseExact, RelativeThreshold)
{
    EXPECT_EQ(invert({1, 0, 0, 0}, 2), (std::vector<float>{1, 0, 0, 0}));
    EXPECT_EQ(invert({1, 0, 0, 1e-7f}, 2), (std::vector<float>{1, 0, 0, 0}));
    std::vector<float> kept = invert({1, 0, 0, 1e-5f}, 2);
    EXPECT_EQ(kept[0], 1.0f);
    EXPECT_FLOAT_EQ(kept[3], 1e5f);

    // Nearly singular (one ulp away from rank one): the rank-one pseudo-inverse.
    const float up = std::nextafter(2.385f, 3.0f);
    std::vector<float> pinv = invert({2.385f, 2.385f, 2.385f, up}, 2);
    for (float x : pinv)
        EXPECT_NEAR(x, 1.0f / (4 * 2.385f), 1e-6f);
}

TEST(MatrixInverseExact, InPlaceMatchesSeparateStorage)
{
    std::mt19937 rng(31);
    std::vector<float> values = tv_test::random_values(rng, 5, 5);
    Matrix m(5, 5, 0);
    m.set(values);
    EXPECT_TRUE(getInverseMatrixUsingSVD(m.data(), m.data(), 5));
    EXPECT_EQ(m.values(), invert(values, 5));
}

TEST(MatrixInverseExact, DegenerateInputStillReturnsTrue)
{
    // All singular values 0: each is inverted to infinity.
    std::vector<float> zero = invert({0, 0, 0, 0}, 2);
    bool any_nonfinite = false;
    for (float x : zero)
        any_nonfinite = any_nonfinite || !std::isfinite(x);
    EXPECT_TRUE(any_nonfinite);

    // NaN input: the decomposition does not converge and the flag says so.
    Matrix m(2, 2, 0), inv(2, 2, 0);
    m.set({std::numeric_limits<float>::quiet_NaN(), 1, 1, 2.385f});
    EXPECT_TRUE(getInverseMatrixUsingSVD(m.data(), inv.data(), 2));
    EXPECT_TRUE(NoConvergenceInSVD);
    EXPECT_TRUE(m.guards_intact() && inv.guards_intact());
}

// Inverse against sgesv with the identity as right-hand side.
TEST(MatrixInverseAccuracy, RandomMatricesAgainstLapack)
{
    const double kTol = 8 * FLT_EPSILON;  // times the condition number
    WorstCase worst("getInverseMatrixUsingSVD inverse error / cond");
    for (unsigned trial = 0; trial < 200; trial++) {
        unsigned seed = 7000 + trial;
        std::mt19937 rng(seed);
        int n = 1 + static_cast<int>(rng() % 40);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", n = " << n);
        std::vector<float> values = tv_test::random_values(rng, n, n);
        std::vector<float> identity(static_cast<size_t>(n * n), 0.0f);
        for (int i = 0; i < n; i++)
            identity[static_cast<size_t>(i * n + i)] = 1.0f;
        std::vector<float> ref = tv_test::lapack_solve(values, identity, n, n);
        std::vector<float> sv = tv_test::lapack_singular_values(values, n, n);
        ASSERT_FALSE(ref.empty());
        double cond = sv.front() / sv.back();
        if (cond > 1e5)  // the relative cut-off of 1e-6 would change the answer
            continue;

        std::vector<float> inv = invert(values, n);
        double refmax = 0.0, err = 0.0;
        for (size_t k = 0; k < ref.size(); k++) {
            refmax = std::max(refmax, std::fabs(static_cast<double>(ref[k])));
            err = std::max(err, std::fabs(static_cast<double>(inv[k]) - ref[k]));
        }
        double rel = err / (refmax * cond);
        worst.add(rel / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, n, n));
        EXPECT_LE(rel, kTol);
    }
    worst.report();
}

// Every instruction-set path against the portable one, bit for bit, through
// the SVD and the products.
TEST(MatrixInversePaths, SameBitsAsPortable)
{
    for (tv_test::Fill fill : {tv_test::Fill::random, tv_test::Fill::small_integers,
                               tv_test::Fill::special_values, tv_test::Fill::zeros_subnormals})
        for (int n : {1, 2, 5, 8, 17, 40, 64, 129}) {
            SCOPED_TRACE(testing::Message() << "n = " << n << ", " << tv_test::fill_name(fill));
            std::mt19937 rng(static_cast<unsigned>(n * 3 + static_cast<int>(fill)));
            const std::vector<float> values = tv_test::path_input(rng, n, n, fill);
            tv_test::expect_paths_agree([&] {
                Matrix m(n, n, 0), inv(n, n, 0);
                m.set(values);
                getInverseMatrixUsingSVD(m.data(), inv.data(), n);
                std::vector<float> out = inv.values();
                out.push_back(m.guards_intact() && inv.guards_intact() ? 1.0f : 0.0f);
                return out;
            });
        }
}
