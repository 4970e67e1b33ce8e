// gaussj: Gauss-Jordan elimination with full pivoting.

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
using tv_test::WorstCase;

namespace {

void run_gaussj(const std::vector<float> &av, const std::vector<float> &bv, int n, int m)
{
    Matrix a(n, n, 1), b(n, m, 1);
    a.set(av);
    b.set(bv);
    gaussj(a.data(), n, b.data(), m);
}

}  // namespace

TEST(GaussJordanExact, SmallSystems)
{
    Matrix a(1, 1), b(1, 1);
    a[1][1] = 2.0f;
    b[1][1] = 4.0f;
    gaussj(a.data(), 1, b.data(), 1);
    EXPECT_EQ(a[1][1], 0.5f);
    EXPECT_EQ(b[1][1], 2.0f);

    // Identity: ties go to the last candidate, so no row is exchanged and
    // nothing changes.
    Matrix id(3, 3), rhs(3, 2);
    id.set({1, 0, 0, 0, 1, 0, 0, 0, 1});
    rhs.set({2.385f, -1, 3, 4, 5, 6.5f});
    gaussj(id.data(), 3, rhs.data(), 2);
    EXPECT_EQ(id.values(), (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
    EXPECT_EQ(rhs.values(), (std::vector<float>{2.385f, -1, 3, 4, 5, 6.5f}));
    EXPECT_TRUE(id.guards_intact() && rhs.guards_intact());
}

// (0 1; 1 0): the pivot is found at row 2, column 1; the exchange and the
// unscrambling leave the matrix, its own inverse.
TEST(GaussJordanExact, PermutationIsItsOwnInverse)
{
    Matrix a(2, 2), b(2, 1);
    a.set({0, 1, 1, 0});
    b.set({2.385f, 7.0f});
    gaussj(a.data(), 2, b.data(), 1);
    EXPECT_EQ(a.values(), (std::vector<float>{0, 1, 1, 0}));
    EXPECT_EQ(b.values(), (std::vector<float>{7.0f, 2.385f}));
}

// (2 1; 1 2) has two pivot candidates of magnitude 2. The last one, [2][2],
// goes first; only the rounding shows which was taken: the first-pivoted
// unknown carries the error.
TEST(GaussJordanExact, TieGoesToLastCandidate)
{
    Matrix a(2, 2), b(2, 1);
    a.set({2, 1, 1, 2});
    b.set({1, 1});
    gaussj(a.data(), 2, b.data(), 1);
    // Pass 1 on [2][2]: row 2 becomes (0.5, 0.5 | 0.5), row 1 (1.5, -0.5 | 0.5).
    // Pass 2 on [1][1] = 1.5.
    const float pivinv = 1.0f / 1.5f;
    const float x1 = 0.5f * pivinv;
    const float x2 = 0.5f - x1 * 0.5f;
    EXPECT_EQ(b[1][1], x1);
    EXPECT_EQ(b[2][1], x2);
    EXPECT_NE(x1, x2);  // the other order would give them the other way round
    EXPECT_EQ(a.values(), (std::vector<float>{pivinv, -0.5f * pivinv, -0.5f * pivinv,
                                              0.5f - (-0.5f * pivinv) * 0.5f}));
}

// With no right-hand side b is never read: a null b is fine.
TEST(GaussJordanExact, InverseOnly)
{
    Matrix a(2, 2);
    a.set({4, 7, 2, 6});
    gaussj(a.data(), 2, nullptr, 0);
    std::vector<float> inv = a.values();
    EXPECT_FLOAT_EQ(inv[0], 0.6f);
    EXPECT_FLOAT_EQ(inv[1], -0.7f);
    EXPECT_FLOAT_EQ(inv[2], -0.2f);
    EXPECT_FLOAT_EQ(inv[3], 0.4f);
}

TEST(GaussJordanDeathTest, SingularMatrix)
{
    TV_EXPECT_FATAL(run_gaussj({0}, {1}, 1, 1), "gaussj: Singular Matrix-2");
    TV_EXPECT_FATAL(run_gaussj({1, 2, 2, 4}, {1, 1}, 2, 1), "gaussj: Singular Matrix-2");
    TV_EXPECT_FATAL(run_gaussj({1, 2.385f, 0, 0, 0, 0, 3, 1, 5}, {1, 1, 1}, 3, 1),
                    "gaussj: Singular Matrix-2");
}

// When only NaNs are left the pivot search finds no candidate at all; that is
// reported instead of pivoting on a position that was never chosen.
TEST(GaussJordanDeathTest, NoPivotCandidate)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    TV_EXPECT_FATAL(run_gaussj({nan}, {1}, 1, 1), "gaussj: Singular Matrix-1");
    TV_EXPECT_FATAL(run_gaussj({2.385f, nan, nan, nan}, {1, 1}, 2, 1), "gaussj: Singular Matrix-1");
}

// Inverses and solutions against sgesv.
TEST(GaussJordanAccuracy, RandomSystemsAgainstLapack)
{
    const double kTol = 8 * FLT_EPSILON;  // times the condition number
    WorstCase worst_inv("gaussj inverse error / cond"), worst_sol("gaussj solution error / cond");
    for (unsigned trial = 0; trial < 200; trial++) {
        unsigned seed = 9000 + trial;
        std::mt19937 rng(seed);
        int n = 1 + static_cast<int>(rng() % 40);
        int m = 1 + static_cast<int>(rng() % 3);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", n = " << n << ", m = " << m);
        std::vector<float> av = tv_test::random_values(rng, n, n);
        std::vector<float> bv = tv_test::random_values(rng, n, m);
        std::vector<float> identity(static_cast<size_t>(n * n), 0.0f);
        for (int i = 0; i < n; i++)
            identity[static_cast<size_t>(i * n + i)] = 1.0f;
        std::vector<float> ref_inv = tv_test::lapack_solve(av, identity, n, n);
        std::vector<float> ref_sol = tv_test::lapack_solve(av, bv, n, m);
        std::vector<float> sv = tv_test::lapack_singular_values(av, n, n);
        ASSERT_FALSE(ref_inv.empty());
        double cond = sv.front() / sv.back();

        Matrix a(n, n), b(n, m);
        a.set(av);
        b.set(bv);
        gaussj(a.data(), n, b.data(), m);
        EXPECT_TRUE(a.guards_intact() && b.guards_intact());

        auto relerr = [cond](const std::vector<float> &got, const std::vector<float> &ref) {
            double refmax = 0.0, err = 0.0;
            for (size_t k = 0; k < ref.size(); k++) {
                refmax = std::max(refmax, std::fabs(static_cast<double>(ref[k])));
                err = std::max(err, std::fabs(static_cast<double>(got[k]) - ref[k]));
            }
            return err / (refmax * cond);
        };
        double e_inv = relerr(a.values(), ref_inv), e_sol = relerr(b.values(), ref_sol);
        worst_inv.add(e_inv / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, n, m));
        worst_sol.add(e_sol / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, n, m));
        EXPECT_LE(e_inv, kTol);
        EXPECT_LE(e_sol, kTol);
    }
    worst_inv.report();
    worst_sol.report();
}

// ---- Every instruction-set path against the portable one, bit for bit ----

std::string path_case_name(const testing::TestParamInfo<std::tuple<int, int, tv_test::Fill>> &info)
{
    return "n" + std::to_string(std::get<0>(info.param)) + "_m" +
           std::to_string(std::get<1>(info.param)) + "_" +
           tv_test::fill_name(std::get<2>(info.param));
}

class GaussJordanPaths : public testing::TestWithParam<std::tuple<int, int, tv_test::Fill>> {};

TEST_P(GaussJordanPaths, SameBitsAsPortable)
{
    const auto [n, m, fill] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(n * 31 + m * 7 + static_cast<int>(fill)));
    const std::vector<float> av = tv_test::path_input(rng, n, n, fill),
                             bv = tv_test::path_input(rng, n, m, fill);
    tv_test::expect_paths_agree([&] {
        Matrix a(n, n), b(n, m);
        a.set(av);
        b.set(bv);
        gaussj(a.data(), n, m > 0 ? b.data() : nullptr, m);
        std::vector<float> out = a.values(), bout = b.values();
        out.insert(out.end(), bout.begin(), bout.end());
        out.push_back(a.guards_intact() && b.guards_intact() ? 1.0f : 0.0f);
        return out;
    });
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, GaussJordanPaths,
    testing::Combine(testing::Values(1, 2, 3, 5, 8, 9, 16, 17, 31, 33, 64, 100, 128, 255, 300),
                     testing::Values(0, 1, 3, 19),
                     testing::Values(tv_test::Fill::random, tv_test::Fill::small_integers,
                                     tv_test::Fill::special_values)),
    path_case_name);
INSTANTIATE_TEST_SUITE_P(Large, GaussJordanPaths,
                         testing::Combine(testing::Values(517), testing::Values(2),
                                          testing::Values(tv_test::Fill::random)),
                         path_case_name);

// A zero column stops the last pass on a zero pivot, a row of NaNs leaves the last pass no
// candidate. In throw mode the caller then holds a and b as they were at that moment (rows
// exchanged, columns not put back), the same on every path.
TEST(GaussJordanPathsAfterThrow, SameArraysAndMessage)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int n : {2, 5, 13, 40})
        for (bool nan_row : {false, true}) {
            SCOPED_TRACE(testing::Message() << "n = " << n << (nan_row ? ", NaN row" : ""));
            std::mt19937 rng(static_cast<unsigned>(n));
            std::vector<float> av = tv_test::random_values(rng, n, n),
                               bv = tv_test::random_values(rng, n, 2);
            for (int k = 0; k < n; k++)
                av[static_cast<std::size_t>(nan_row ? (n / 2) * n + k : k * n + n / 3)] =
                    nan_row ? nan : 0.0f;
            {
                tessivane::scoped_error_mode mode(tessivane::error_mode::throw_exception);
                EXPECT_THROW(run_gaussj(av, bv, n, 2), tessivane::numerics_error);
            }
            tv_test::expect_paths_agree([&] {
                tessivane::scoped_error_mode mode(tessivane::error_mode::throw_exception);
                Matrix a(n, n), b(n, 2);
                a.set(av);
                b.set(bv);
                std::vector<float> out;
                try {
                    gaussj(a.data(), n, b.data(), 2);
                } catch (const tessivane::numerics_error &e) {
                    out.push_back(static_cast<float>(std::string(e.what()).back()));
                }
                for (const std::vector<float> &v : {a.values(), b.values()})
                    out.insert(out.end(), v.begin(), v.end());
                return out;
            });
        }
}
