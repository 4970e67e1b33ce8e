// Straight-line fit: known fits weighted and unweighted (LineFitExact), a weighted fit against
// double-precision normal equations and Boost's Q (LineFitAccuracy), and the fatal exit of a
// weighted fit with two points (LineFitDeathTest).
#include <gtest/gtest.h>

#include <boost/math/special_functions/gamma.hpp>

#include <cfloat>
#include <cmath>
#include <random>

#include "stat.h"
#include "support/accuracy.h"
#include "support/arrays.h"
#include "support/fatal.h"

using namespace tv_test;

namespace {

constexpr unsigned kSeed = 2385u;

struct FitOut {
    float a = sentinel(), b = sentinel(), siga = sentinel(), sigb = sentinel(), chi2 = sentinel(),
          q = sentinel();
};

FitOut run_fit(Vector &x, Vector &y, float *sig, int mwt)
{
    FitOut o;
    fit(x.data(), y.data(), static_cast<int>(x.size()), sig, mwt, &o.a, &o.b, &o.siga, &o.sigb,
        &o.chi2, &o.q);
    return o;
}

void weighted_two_points()
{
    Vector x({1.0f, 2.0f}), y({2.385f, 3.0f}), sig({0.5f, 0.5f});
    run_fit(x, y, sig.data(), 1);
}

// 2000 points scattered by +-0.98 sigma about a line: chi-square about 0.96 (ndata - 2), where
// the series of gammq(999, ~960) needs more than 100 terms.
FitOut weighted_many_points()
{
    const int n = 2000;
    Vector x(n), y(n), sig(n);
    for (int i = 1; i <= n; i++) {
        x[i] = 0.5f * static_cast<float>(i);
        y[i] = 2.385f + 0.5f * x[i] + ((i % 2) ? 0.98f : -0.98f);
        sig[i] = 1.0f;
    }
    return run_fit(x, y, sig.data(), 1);
}

// All x equal: the slope and chi-square are not numbers, which gammq refuses.
void weighted_all_x_equal()
{
    Vector x({2.385f, 2.385f, 2.385f, 2.385f}), y({1.0f, 2.0f, 4.0f, 3.0f}),
        sig({0.5f, 1.0f, 0.5f, 1.0f});
    run_fit(x, y, sig.data(), 1);
}

}  // namespace

TEST(LineFitExact, UnweightedWithoutSig)
{
    // sig is not read at all without weights: null is valid.
    Vector x({1, 2, 3, 4}), y({2, 3, 5, 6});
    const FitOut o = run_fit(x, y, nullptr, 0);
    EXPECT_FLOAT_EQ(o.b, 1.4f);
    EXPECT_FLOAT_EQ(o.a, 0.5f);
    EXPECT_FLOAT_EQ(o.chi2, 0.2f);
    EXPECT_EQ(o.q, 1.0f);
    EXPECT_NEAR(o.siga, std::sqrt(1.5 * 0.1), 4 * FLT_EPSILON);
    EXPECT_NEAR(o.sigb, std::sqrt(0.2 * 0.1), 4 * FLT_EPSILON);
    EXPECT_TRUE(x.guards_intact() && y.guards_intact());
}

TEST(LineFitExact, WeightedWithUnitSigmas)
{
    Vector x({1, 2, 3, 4}), y({2, 3, 5, 6}), sig({1, 1, 1, 1});
    const FitOut o = run_fit(x, y, sig.data(), 1);
    EXPECT_FLOAT_EQ(o.b, 1.4f);
    EXPECT_FLOAT_EQ(o.a, 0.5f);
    EXPECT_FLOAT_EQ(o.chi2, 0.2f);
    EXPECT_NEAR(o.siga, std::sqrt(1.5), 2 * FLT_EPSILON);  // not scaled by the scatter
    EXPECT_NEAR(o.sigb, std::sqrt(0.2), 2 * FLT_EPSILON);
    EXPECT_NEAR(o.q, std::exp(-0.1), 4 * FLT_EPSILON);  // gammq(1, 0.1)
    EXPECT_TRUE(sig.guards_intact());
}

TEST(LineFitExact, PointsOnALine)
{
    Vector x({1, 2, 3, 4}), y({1, 3, 5, 7});
    const FitOut o = run_fit(x, y, nullptr, 0);
    EXPECT_EQ(o.b, 2.0f);
    EXPECT_EQ(o.a, -1.0f);
    EXPECT_EQ(o.chi2, 0.0f);
    EXPECT_EQ(o.siga, 0.0f);
    EXPECT_EQ(o.sigb, 0.0f);
    EXPECT_EQ(o.q, 1.0f);
}

TEST(LineFitExact, ScalingSigmasScalesChiSquare)
{
    // Doubling every sigma leaves the line alone, doubles the errors and quarters chi^2.
    Vector x({0.5f, 1.25f, 2.385f, 4.0f, 5.5f}), y({1.0f, 2.5f, 2.0f, 4.75f, 5.0f});
    Vector s1({0.5f, 1.0f, 0.25f, 2.0f, 1.0f}), s2({1.0f, 2.0f, 0.5f, 4.0f, 2.0f});
    const FitOut o1 = run_fit(x, y, s1.data(), 1), o2 = run_fit(x, y, s2.data(), 1);
    EXPECT_NEAR(o2.a, o1.a, 4 * FLT_EPSILON * std::fabs(o1.a));
    EXPECT_NEAR(o2.b, o1.b, 4 * FLT_EPSILON * std::fabs(o1.b));
    EXPECT_NEAR(o2.siga, 2 * o1.siga, 8 * FLT_EPSILON * o1.siga);
    EXPECT_NEAR(o2.sigb, 2 * o1.sigb, 8 * FLT_EPSILON * o1.sigb);
    EXPECT_NEAR(o2.chi2, 0.25f * o1.chi2, 8 * FLT_EPSILON * o1.chi2);
}

TEST(LineFitAccuracy, WeightedFitAgainstDoubleNormalEquations)
{
    std::mt19937 gen(kSeed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> us(0.2, 2.0);
    WorstCase wa("fit a vs double (rel to mean terms)"), wb("fit b vs double (rel)"),
        wq("fit q vs Boost gamma_q (abs)");
    for (int k = 0; k < 100; k++) {
        const int n = 5 + k % 40;
        Vector x(n), y(n), sig(n);
        double S = 0, Sx = 0, Sy = 0, Sxx = 0, Sxy = 0;
        for (int i = 1; i <= n; i++) {
            x[i] = static_cast<float>(i * 0.75 - 3.0 + 0.1 * noise(gen));
            sig[i] = static_cast<float>(us(gen));
            y[i] = static_cast<float>(2.385 - 1.5 * x[i] + sig[i] * noise(gen));
            const double w = 1.0 / (static_cast<double>(sig[i]) * sig[i]);
            S += w;
            Sx += w * x[i];
            Sy += w * y[i];
            Sxx += w * x[i] * x[i];
            Sxy += w * x[i] * y[i];
        }
        const double det = S * Sxx - Sx * Sx;
        const double a = (Sxx * Sy - Sx * Sxy) / det, b = (S * Sxy - Sx * Sy) / det;
        double chi2 = 0;
        for (int i = 1; i <= n; i++) {
            const double r = (y[i] - a - b * x[i]) / sig[i];
            chi2 += r * r;
        }
        const FitOut o = run_fit(x, y, sig.data(), 1);
        const std::string in = fmt("case %g n=%g", k, n);
        // a = (Sy - Sx b) / S cancels: its error is relative to the two terms, not to a.
        wa.add(std::fabs(o.a - a) / ((std::fabs(Sy) + std::fabs(Sx * b)) / S * FLT_EPSILON), in);
        wb.add(rel_err_eps(o.b, b), in);
        wq.add(abs_err_eps(o.q, boost::math::gamma_q(0.5 * (n - 2), 0.5 * chi2)), in);
        EXPECT_NEAR(o.chi2, chi2, 64 * FLT_EPSILON * chi2) << in;
        EXPECT_NEAR(o.siga, std::sqrt(Sxx / det), 16 * FLT_EPSILON * o.siga) << in;
        EXPECT_NEAR(o.sigb, std::sqrt(S / det), 16 * FLT_EPSILON * o.sigb) << in;
    }
    wa.report();
    wb.report();
    wq.report();
    EXPECT_LE(wa.worst, 16.0) << wa.where << " seed " << kSeed;
    EXPECT_LE(wb.worst, 32.0) << wb.where << " seed " << kSeed;
    EXPECT_LE(wq.worst, 64.0) << wq.where << " seed " << kSeed;
}

TEST(LineFitDeathTest, WeightedFitNeedsThreePoints)
{
    TV_EXPECT_FATAL(weighted_two_points(), "Invalid arguments in routine gammq");
}

TEST(LineFitDeathTest, WeightedFitWithNaNChiSquareIsRefused)
{
    TV_EXPECT_FATAL(weighted_all_x_equal(), "Invalid arguments in routine gammq");
}

// Ordinary data with many points: Q within the accuracy gammq has at a = 999.
TEST(LineFitAccuracy, WeightedFitOfManyPoints)
{
    const FitOut o = weighted_many_points();
    const double ref = boost::math::gamma_q(999.0, 0.5 * static_cast<double>(o.chi2));
    EXPECT_NEAR(o.q, ref, 3e-4) << "chi2 " << o.chi2;
}

// Multiplying x by 2^kx and y (and sig) by 2^ky scales the intercept and its error by 2^ky,
// the slope and its error by 2^(ky - kx) and an unweighted chi-square by 2^(2 ky), exactly,
// and keeps a weighted chi-square and q: also where the scaled sums over- or underflow in
// float (the fit is then formed again from rescaled data).
TEST(LineFitExact, PowerOfTwoScalingKeepsEveryBit)
{
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Vector x(10), y(10), sig(10);
    for (long i = 1; i <= 10; i++) {
        x[i] = 2.385f * static_cast<float>(i) + u(gen);
        y[i] = 1.5f - 0.75f * x[i] + u(gen);
        sig[i] = 0.5f + 0.25f * u(gen);
    }
    for (int mwt : {0, 1}) {
        float base[6], got[6];
        fit(x.data(), y.data(), 10, sig.data(), mwt, &base[0], &base[1], &base[2], &base[3],
            &base[4], &base[5]);
        for (int kx : {-100, -60, 0, 60, 100})
            for (int ky : {-100, -60, 0, 60, 100}) {
                Vector xs(10), ys(10), ss(10);
                for (long i = 1; i <= 10; i++) {
                    xs[i] = std::ldexp(x[i], kx);
                    ys[i] = std::ldexp(y[i], ky);
                    ss[i] = std::ldexp(sig[i], ky);
                }
                fit(xs.data(), ys.data(), 10, ss.data(), mwt, &got[0], &got[1], &got[2], &got[3],
                    &got[4], &got[5]);
                const int scale[6] = {ky, ky - kx, ky, ky - kx, mwt ? 0 : 2 * ky, 0};
                for (int k = 0; k < 6; k++)
                    EXPECT_EQ(float_bits(got[k]), float_bits(std::ldexp(base[k], scale[k])))
                        << "output " << k << ", mwt " << mwt << ", 2^" << kx << ", 2^" << ky;
            }
    }
}

// The unweighted fit of x = 1..9 and y = 2x + (x mod 3), each scaled and rounded to float,
// where st2 or chi-square over- or underflows in float. References from SciPy 1.10.1 on the
// float data: r = scipy.stats.linregress(x, y); r.intercept, r.slope, r.intercept_stderr,
// r.stderr.
TEST(LineFitAccuracy, ExtremeScalesAgainstScipy)
{
    const struct {
        double sx, sy;
        float a, b, siga, sigb;
    } rows[] = {
        {1, 1, 1.25f, 1.95f, 0.664132087f, 0.118019369f},
        {1e20, 1, 1.24999979f, 1.95000003e-20f, 0.664132042f, 1.18019361e-21f},
        {1e-24, 1, 1.24999979f, 1.95000005e+24f, 0.664131971f, 1.18019349e+23f},
        {1, 1e20, 1.25000023e+20f, 1.94999995e+20f, 6.6413207e+19f, 1.18019366e+19f},
        {1, 1e-24, 1.25000003e-24f, 1.94999996e-24f, 6.64132074e-25f, 1.18019367e-25f},
        {1e18, 1e-18, 1.25000041e-18f, 1.94999992e-36f, 6.64132053e-19f, 1.18019363e-37f},
        {1e-18, 1e18, 1.24999936e+18f, 1.9500001e+36f, 6.64131998e+17f, 1.18019352e+35f},
    };
    for (const auto &row : rows) {
        Vector x(9), y(9);
        for (long i = 1; i <= 9; i++) {
            x[i] = static_cast<float>(i * row.sx);
            y[i] = static_cast<float>((2 * i + i % 3) * row.sy);
        }
        float out[6];
        fit(x.data(), y.data(), 9, nullptr, 0, &out[0], &out[1], &out[2], &out[3], &out[4],
            &out[5]);
        const float want[4] = {row.a, row.b, row.siga, row.sigb};
        // The intercept cancels the mean of y against b times the mean of x (about ten to one
        // here): its float error is some tens of eps at any scale.
        for (int k = 0; k < 4; k++)
            EXPECT_LE(rel_err_eps(out[k], want[k]), k == 0 ? 64.0 : 16.0)
                << "output " << k << " at " << row.sx << ", " << row.sy << ": " << out[k];
    }
}
