// svdfit and fpoly: general linear least squares by SVD.

#include "support/accuracy.h"
#include "support/arrays.h"
#include "support/linalg.h"
#include "stat.h"
#include "support/fatal.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>

using tv_test::fmt;
using tv_test::Matrix;
using tv_test::Vector;
using tv_test::WorstCase;

namespace {

// A fit over ndata points and ma basis functions with guarded storage.
struct Fit {
    int ndata, ma;
    Vector x, y, sig, a, w;
    Matrix u, v;
    float chisq = -1.0f;
    Fit(int nd, int m)
        : ndata(nd)
        , ma(m)
        , x(nd)
        , y(nd)
        , sig(nd)
        , a(m)
        , w(m)
        , u(nd, m)
        , v(m, m)
    {
        for (int i = 1; i <= nd; i++)
            sig[i] = 1.0f;
    }
    void run(void (*funcs)(float, float *, int))
    {
        svdfit(x.data(), y.data(), sig.data(), ndata, a.data(), ma, u.data(), v.data(), w.data(),
               &chisq, funcs);
        EXPECT_TRUE(x.guards_intact() && y.guards_intact() && sig.guards_intact() &&
                    a.guards_intact() && w.guards_intact() && u.guards_intact() &&
                    v.guards_intact());
    }
};

void zero_basis(float, float *p, int np)
{
    for (int j = 1; j <= np; j++)
        p[j] = 0.0f;
}

// 1, a basis function that vanishes everywhere, x.
void line_with_dead_column(float x, float *p, int)
{
    p[1] = 1.0f;
    p[2] = 0.0f;
    p[3] = x;
}

// Orthogonal columns of norms 10 and 1e-5 at the points x = 1, 2.
void split_basis(float x, float *p, int)
{
    p[1] = x == 1.0f ? 10.0f : 0.0f;
    p[2] = x == 2.0f ? 1e-5f : 0.0f;
}

}  // namespace

TEST(LinearFitExact, Polynomial)
{
    Vector p(4);
    fpoly(2.0f, p.data(), 4);
    EXPECT_EQ(p[1], 1.0f);
    EXPECT_EQ(p[2], 2.0f);
    EXPECT_EQ(p[3], 4.0f);
    EXPECT_EQ(p[4], 8.0f);
    p[2] = 2.385f;
    fpoly(7.0f, p.data(), 1);
    EXPECT_EQ(p[1], 1.0f);
    EXPECT_EQ(p[2], 2.385f);
    EXPECT_TRUE(p.guards_intact());
}

TEST(LinearFitExact, StraightLine)
{
    Fit f(5, 2);
    for (int i = 1; i <= 5; i++) {
        f.x[i] = static_cast<float>(i);
        f.y[i] = 2.0f + 3.0f * static_cast<float>(i);
    }
    f.run(fpoly);
    EXPECT_NEAR(f.a[1], 2.0f, 1e-5f);
    EXPECT_NEAR(f.a[2], 3.0f, 1e-5f);
    EXPECT_NEAR(f.chisq, 0.0f, 1e-9f);
}

TEST(LinearFitExact, VanishingBasis)
{
    Fit all(3, 2);
    const float ys[] = {2.385f, -1.0f, 4.0f}, sigs[] = {0.5f, 1.0f, 2.0f};
    float expect = 0.0f;
    for (int i = 1; i <= 3; i++) {
        all.x[i] = static_cast<float>(i);
        all.y[i] = ys[i - 1];
        all.sig[i] = sigs[i - 1];
        expect += (ys[i - 1] / sigs[i - 1]) * (ys[i - 1] / sigs[i - 1]);
    }
    all.run(zero_basis);
    EXPECT_EQ(all.a[1], 0.0f);
    EXPECT_EQ(all.a[2], 0.0f);
    EXPECT_FLOAT_EQ(all.chisq, expect);

    // A dead basis function gets a zero singular value and coefficient; the
    // others come out as in the fit without it.
    Fit dead(5, 3), plain(5, 2);
    for (int i = 1; i <= 5; i++) {
        dead.x[i] = plain.x[i] = static_cast<float>(i) * 0.5f;
        dead.y[i] = plain.y[i] = 1.5f - 2.385f * dead.x[i] + (i % 2 ? 0.1f : -0.1f);
    }
    dead.run(line_with_dead_column);
    plain.run(fpoly);
    int zeros = 0;
    for (int j = 1; j <= 3; j++)
        zeros += dead.w[j] == 0.0f;
    EXPECT_EQ(zeros, 1);
    EXPECT_NEAR(dead.a[2], 0.0f, 1e-6f);
    EXPECT_NEAR(dead.a[1], plain.a[1], 1e-5f);
    EXPECT_NEAR(dead.a[3], plain.a[2], 1e-5f);
    EXPECT_NEAR(dead.chisq, plain.chisq, 1e-6f);
}

// Singular values 10 and 1e-5: the threshold is 1e-4, so the smaller one is
// zeroed before the back-substitution and returned as 0.
TEST(LinearFitExact, RelativeCutOff)
{
    Fit f(2, 2);
    f.x[1] = 1.0f;
    f.x[2] = 2.0f;
    f.y[1] = 20.0f;
    f.y[2] = 2.385f;
    f.run(split_basis);
    std::vector<float> w = {f.w[1], f.w[2]};
    std::sort(w.begin(), w.end());
    EXPECT_EQ(w[0], 0.0f);
    EXPECT_FLOAT_EQ(w[1], 10.0f);
    EXPECT_FLOAT_EQ(f.a[1], 2.0f);
    EXPECT_EQ(f.a[2], 0.0f);
    EXPECT_FLOAT_EQ(f.chisq, 2.385f * 2.385f);
}

TEST(LinearFitExact, FewerPointsThanParameters)
{
    Fit f(2, 3);
    f.x[1] = 1.0f;
    f.x[2] = 2.0f;
    f.y[1] = 2.385f;
    f.y[2] = 4.0f;
    f.run(fpoly);
    EXPECT_NEAR(f.chisq, 0.0f, 1e-8f);  // interpolates
}

// Weighted polynomial fits of noisy data against sgels on the weighted
// design matrix.
TEST(LinearFitAccuracy, PolynomialAgainstLapack)
{
    const double kTol = 16 * FLT_EPSILON;  // times the condition number
    WorstCase worst("svdfit coefficient error / cond");
    for (unsigned trial = 0; trial < 60; trial++) {
        unsigned seed = 11000 + trial;
        std::mt19937 rng(seed);
        int ma = 1 + static_cast<int>(rng() % 5);
        int ndata = ma + static_cast<int>(rng() % 40);
        SCOPED_TRACE(testing::Message()
                     << "seed " << seed << ", ndata = " << ndata << ", ma = " << ma);
        std::uniform_real_distribution<float> ux(-1.5f, 1.5f), us(0.5f, 2.0f), un(-0.3f, 0.3f);
        Fit f(ndata, ma);
        std::vector<float> design, rhs;
        for (int i = 1; i <= ndata; i++) {
            f.x[i] = ux(rng);
            f.sig[i] = us(rng);
            f.y[i] = 2.385f - f.x[i] + 0.5f * f.x[i] * f.x[i] + un(rng);
            float tmp = 1.0f / f.sig[i], pw = 1.0f;
            for (int j = 1; j <= ma; j++, pw *= f.x[i])
                design.push_back(pw * tmp);
            rhs.push_back(f.y[i] * tmp);
        }
        std::vector<float> ref = tv_test::lapack_least_squares(design, rhs, ndata, ma);
        std::vector<float> sv = tv_test::lapack_singular_values(design, ndata, ma);
        ASSERT_FALSE(ref.empty());
        double cond = sv.front() / sv.back();
        ASSERT_LT(cond, 1e4);

        f.run(fpoly);
        double refmax = 0.0, err = 0.0;
        for (int j = 1; j <= ma; j++) {
            refmax =
                std::max(refmax, std::fabs(static_cast<double>(ref[static_cast<size_t>(j - 1)])));
            err = std::max(
                err, std::fabs(static_cast<double>(f.a[j]) - ref[static_cast<size_t>(j - 1)]));
        }
        double rel = err / (refmax * cond);
        worst.add(rel / FLT_EPSILON, fmt("seed %.0f, %.0f x %.0f", seed, ndata, ma));
        EXPECT_LE(rel, kTol);
    }
    worst.report();
}

// With no basis function svdfit would hand fpoly an empty vector to write; it refuses before
// anything is allocated or written.
TEST(LinearFitDeathTest, NeedsABasisFunction)
{
    Fit f(3, 1);
    f.x[1] = f.y[1] = 2.385f;
    TV_EXPECT_FATAL(svdfit(f.x.data(), f.y.data(), f.sig.data(), 3, f.a.data(), 0, f.u.data(),
                           f.v.data(), f.w.data(), &f.chisq, fpoly),
                    "svdfit: ma = 0, there must be at least one basis function");
    tessivane::scoped_error_mode guard(tessivane::error_mode::throw_exception);
    EXPECT_THROW(svdfit(f.x.data(), f.y.data(), f.sig.data(), 3, f.a.data(), -1, f.u.data(),
                        f.v.data(), f.w.data(), &f.chisq, fpoly),
                 tessivane::numerics_error);
    EXPECT_EQ(f.chisq, -1.0f);
    EXPECT_TRUE(f.a.guards_intact() && f.u.guards_intact() && f.w.guards_intact());
}
