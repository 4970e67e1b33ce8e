// Special functions: exact values and branch rules (SpecialExact), closeness to Boost.Math
// (SpecialAccuracy), and the fatal exits (SpecialDeathTest).
#include <gtest/gtest.h>

#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

#include "stat.h"
#include "support/accuracy.h"
#include "support/arrays.h"
#include "support/fatal.h"

using namespace tv_test;

namespace {

constexpr unsigned kSeed = 2385u;

// Kolmogorov distribution tail in long double, independently of probks(): the alternating
// series, and its Jacobi-theta transform, which converges fast for small lambda.
long double ks_series(long double lam)
{
    long double sum = 0.0L;
    for (int j = 1; j <= 60; j++)
        sum += ((j % 2) ? 2.0L : -2.0L) * std::exp(-2.0L * j * j * lam * lam);
    return sum;
}

long double ks_theta(long double lam)
{
    const long double pi = 3.141592653589793238462643383279502884L;
    long double sum = 0.0L;
    for (int k = 1; k <= 60; k++) {
        const long double m = 2.0L * k - 1.0L;
        sum += std::exp(-m * m * pi * pi / (8.0L * lam * lam));
    }
    return 1.0L - std::sqrt(2.0L * pi) / lam * sum;
}

long double ks_tail(long double lam)
{
    return lam >= 0.6L ? ks_series(lam) : ks_theta(lam);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Exact values, identities and branch rules.

TEST(SpecialExact, GammlnKnownValues)
{
    EXPECT_NEAR(gammln(1.0), 0.0, 1e-9);
    EXPECT_NEAR(gammln(2.0), 0.0, 1e-9);
    EXPECT_NEAR(gammln(0.5), 0.5723649429247001, 1e-9);
    EXPECT_NEAR(gammln(10.0), std::log(362880.0), 1e-9);
    // Recurrence ln Gamma(x + 1) = ln Gamma(x) + ln x away from the integers.
    EXPECT_NEAR(gammln(3.385), gammln(2.385) + std::log(2.385), 1e-9);
}

TEST(SpecialExact, GammqAtZeroIsExactlyOne)
{
    for (float a : {0.385f, 2.385f, 17.25f, 99.5f})
        EXPECT_EQ(gammq(a, 0.0f), 1.0f) << "a = " << a;
}

TEST(SpecialExact, GammqSwitchesToContinuedFractionAtAPlusOne)
{
    // a + 1 is exact for a = 2.375, so the switch point is x = 3.375 itself.
    const float a = 2.375f;
    const float at = 3.375f;
    const float below = std::nextafter(at, 0.0f);
    float cf = sentinel(), ser = sentinel(), gln = sentinel();

    gcf(&cf, a, at, &gln);
    EXPECT_EQ(float_bits(gammq(a, at)), float_bits(cf));
    gser(&ser, a, below, &gln);
    EXPECT_EQ(float_bits(gammq(a, below)), float_bits(1.0f - ser));
    EXPECT_EQ(float_bits(gln), float_bits(static_cast<float>(gammln(a))));
    // Both branches agree closely at the seam.
    EXPECT_NEAR(gammq(a, below), gammq(a, at), 8 * FLT_EPSILON);
}

TEST(SpecialExact, GserAtZeroWritesZeroAndLogGamma)
{
    float g = sentinel(), gln = sentinel();
    gser(&g, 2.385f, 0.0f, &gln);
    EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(float_bits(gln), float_bits(static_cast<float>(gammln(2.385f))));
}

TEST(SpecialExact, BetaiEndsAndOutOfRange)
{
    for (float a : {0.385f, 2.385f, 12.5f})
        for (float b : {0.5f, 3.25f}) {
            EXPECT_EQ(betai(a, b, 0.0f), 0.0f);
            EXPECT_EQ(betai(a, b, 1.0f), 1.0f);
            EXPECT_EQ(betai(a, b, -0.1f), 0.0f);
            EXPECT_EQ(betai(a, b, 1.5f), 0.0f);
        }
}

TEST(SpecialExact, BetaiIdentities)
{
    for (float x : {0.03125f, 0.2385f, 0.5f, 0.77f, 0.999f}) {
        EXPECT_NEAR(betai(1.0f, 1.0f, x), x, 2 * FLT_EPSILON) << "x = " << x;
        // I_x(a, b) = 1 - I_{1-x}(b, a); 1 - x is exact for these x.
        const float a = 2.385f, b = 7.25f;
        EXPECT_NEAR(betai(a, b, x), 1.0f - betai(b, a, 1.0f - x), 4 * FLT_EPSILON) << "x = " << x;
    }
}

TEST(SpecialExact, ErfccValuesAndSymmetry)
{
    EXPECT_NEAR(erfcc(0.0f), 1.0f, 2 * FLT_EPSILON);
    EXPECT_NEAR(erfcc(1.0f), 0.1572992f, 2e-7f);
    EXPECT_NEAR(erfcc(2.0f), 0.004677735f, 2e-9f);
    for (float x : {0.0f, 0.2385f, 1.0f, 2.385f, 5.5f}) {
        // The negative half is 2 - erfcc(|x|) by construction, bit for bit.
        EXPECT_EQ(float_bits(erfcc(-x)), float_bits(static_cast<float>(2.0 - erfcc(x))))
            << "x = " << x;
    }
}

TEST(SpecialExact, ProbksLimits)
{
    // The series alternates between 2 and 0 and never meets its test: 1.0 after 100 terms.
    EXPECT_EQ(probks(0.0f), 1.0f);
    EXPECT_EQ(probks(0.02f), 1.0f);
    EXPECT_EQ(probks(0.03f), 1.0f);
    EXPECT_NEAR(probks(1.0f), 0.2699996f, 1e-6f);
    // The first term underflows in float: Q = 0 after one term.
    EXPECT_EQ(probks(10.0f), 0.0f);
    // Decreasing in between.
    float prev = 1.0f;
    for (float lam = 0.25f; lam < 4.0f; lam += 0.125f) {
        const float q = probks(lam);
        EXPECT_LE(q, prev) << "lambda = " << lam;
        prev = q;
    }
}

// ---------------------------------------------------------------------------------------
// Accuracy against Boost.Math at the same (float-exact) arguments.

TEST(SpecialAccuracy, GammlnAgainstBoost)
{
    // Lanczos with six terms: absolute error near 1e-10 in ln Gamma, so the comparison is
    // absolute where ln Gamma is small and relative where it is large (double precision).
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<double> lg(std::log(1e-3), std::log(1e4));
    double worst = 0.0, at = 0.0;
    for (int k = 0; k < 400; k++) {
        const double x = std::exp(lg(gen));
        const double ref = boost::math::lgamma(x);
        const double err = std::fabs(gammln(x) - ref) / std::max(1.0, std::fabs(ref));
        if (err > worst) {
            worst = err;
            at = x;
        }
    }
    std::printf("[ accuracy ] gammln: max error %.3g (relative above 1) at x = %.17g\n", worst, at);
    EXPECT_LT(worst, 1e-9) << "seed " << kSeed << ", x = " << at;
}

TEST(SpecialAccuracy, GammqAgainstBoost)
{
    // ln Gamma(a) is kept as a float, which moves the exponent of the prefactor by up to half
    // an ulp of ln Gamma(a): tolerances grow with |ln Gamma(a)| (coarser for large a).
    // Continued-fraction branch (x >= a + 1): relative error. Series branch: the result is
    // 1 - P formed in float, so the error is absolute.
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<double> la(std::log(0.05), std::log(100.0));
    std::uniform_real_distribution<double> lf(std::log(0.02), std::log(4.0));
    WorstCase ser("gammq series branch (abs)"), cf("gammq continued fraction (rel)");
    for (int k = 0; k < 400; k++) {
        const float a = static_cast<float>(std::exp(la(gen)));
        float x = static_cast<float>(a * std::exp(lf(gen)));
        if (k % 10 == 0)
            x = a + 1.0f;  // on the seam
        const double ref = boost::math::gamma_q(static_cast<double>(a), static_cast<double>(x));
        if (ref < 1e-30)
            continue;
        const float got = gammq(a, x);
        const double lng = std::fabs(std::lgamma(static_cast<double>(a)));
        const std::string in = fmt("a=%.9g x=%.9g", a, x);
        if (static_cast<double>(x) < static_cast<double>(a) + 1.0) {
            const double e = abs_err_eps(got, ref);
            ser.add(e, in);
            EXPECT_LE(e, 8.0 + lng) << in << " seed " << kSeed;
        } else {
            const double e = rel_err_eps(got, ref);
            cf.add(e, in);
            EXPECT_LE(e, 16.0 + lng) << in << " seed " << kSeed;
        }
    }
    ser.report();
    cf.report();
}

TEST(SpecialAccuracy, BetaiAgainstBoost)
{
    // a and b on a 1/64 grid so that a + b (formed in float) is exact. Direct branch:
    // relative error; reflected branch (1 - ...): absolute error. For general a and b the
    // rounding of a + b moves ln Gamma(a + b) and adds up to (a + b) psi(a + b) / 2 eps of
    // relative error: coarser for large a + b (about 100 eps at a + b = 50).
    std::mt19937 gen(kSeed);
    std::uniform_int_distribution<int> grid(1, 40 * 64);
    std::uniform_real_distribution<float> ux(0.0f, 1.0f);
    WorstCase direct("betai direct (rel)"), reflected("betai reflected (abs)");
    for (int k = 0; k < 400; k++) {
        const float a = grid(gen) / 64.0f;
        const float b = grid(gen) / 64.0f;
        const float x = ux(gen);
        const double ref = boost::math::ibeta(static_cast<double>(a), static_cast<double>(b),
                                              static_cast<double>(x));
        if (ref < 1e-30)
            continue;
        const float got = betai(a, b, x);
        const std::string in = fmt("a=%.9g b=%.9g x=%.9g", a, b, x);
        if (static_cast<double>(x) < (a + 1.0) / (static_cast<double>(a + b) + 2.0)) {
            const double e = rel_err_eps(got, ref);
            direct.add(e, in);
            EXPECT_LE(e, 16.0) << in << " seed " << kSeed;
        } else {
            const double e = abs_err_eps(got, ref);
            reflected.add(e, in);
            EXPECT_LE(e, 8.0) << in << " seed " << kSeed;
        }
    }
    direct.report();
    reflected.report();
}

TEST(SpecialAccuracy, ErfccAgainstBoost)
{
    // The fit itself is good to 1.2e-7 relative (about 1 eps). The square z*z is formed in
    // float, which adds up to z^2 / 2 eps relative in the tail: coarser for large |x|.
    WorstCase w("erfcc (rel)");
    for (int k = 0; k <= 360; k++) {
        const float x = -9.0f + k * 0.05f + 0.00123f;
        const double ref = boost::math::erfc(static_cast<double>(x));
        const double e = rel_err_eps(erfcc(x), ref);
        const std::string in = fmt("x=%.9g", x);
        w.add(e, in);
        EXPECT_LE(e, 4.0 + 0.5 * x * x) << in;
    }
    w.report();
}

TEST(SpecialAccuracy, ProbksAgainstKolmogorovSeries)
{
    // Reference: the series and its theta-function transform in long double, which agree
    // where both converge.
    for (long double lam : {0.45L, 0.6L, 0.9L})
        EXPECT_NEAR(static_cast<double>(ks_series(lam)), static_cast<double>(ks_theta(lam)), 1e-15);
    // -2 lambda^2 is rounded to float, which moves the exponent by up to lambda^2 eps
    // relative: coarser for large lambda. For small lambda the float partial sums cancel down
    // from 2, so the error there is a few eps absolute (Q is about 1).
    WorstCase w("probks (rel)");
    for (int k = 0; k < 300; k++) {
        const float lam = 0.04f + k * 0.02f;
        const double ref = static_cast<double>(ks_tail(lam));
        const double e = rel_err_eps(probks(lam), ref);
        const std::string in = fmt("lambda=%.9g", lam);
        w.add(e, in);
        EXPECT_LE(e, 8.0 + lam * lam) << in;
    }
    w.report();
}

// ---------------------------------------------------------------------------------------
// Fatal exits.

TEST(SpecialDeathTest, GammqRejectsInvalidArguments)
{
    TV_EXPECT_FATAL(gammq(0.0f, 2.385f), "Invalid arguments in routine gammq");
    TV_EXPECT_FATAL(gammq(-1.5f, 2.385f), "Invalid arguments in routine gammq");
    TV_EXPECT_FATAL(gammq(2.385f, -0.5f), "Invalid arguments in routine gammq");
}

TEST(SpecialDeathTest, GserRejectsNegativeX)
{
    float g, gln;
    TV_EXPECT_FATAL(gser(&g, 2.385f, -0.5f, &gln), "x less than 0 in routine gser");
}

TEST(SpecialDeathTest, GammqRejectsNaN)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    TV_EXPECT_FATAL(gammq(nan, 2.385f), "Invalid arguments in routine gammq");
    TV_EXPECT_FATAL(gammq(2.385f, nan), "Invalid arguments in routine gammq");
}

// The iteration limit grows with a, so only arguments the float steps cannot handle are left:
// NaN, and a above 2^24 with x near a (a + n no longer changes in float). Called directly,
// far from the switch point, the series and the fraction use up the limit, 100 + 9 steps at
// a = 2.385: the series converges on step 109 at x = 67.7481079 and the fraction at
// x = 0.113846242 (both with the float rounding of those steps, the fraction far from
// where it is accurate); the next float up (down) would need step 110.
TEST(SpecialDeathTest, GserGivesUpWithoutConvergence)
{
    float g, gln;
    gser(&g, 2.385f, 67.7481079f, &gln);
    EXPECT_EQ(g, 0.999997556f);
    TV_EXPECT_FATAL(gser(&g, 2.385f, 67.7481155f, &gln),
                    "a too large, ITMAX too small in routine gser");
    TV_EXPECT_FATAL(gser(&g, std::numeric_limits<float>::quiet_NaN(), 2.385f, &gln),
                    "a too large, ITMAX too small in routine gser");
    TV_EXPECT_FATAL(gammq(33554432.0f, 33554432.0f),
                    "a too large, ITMAX too small in routine gser");
}

TEST(SpecialDeathTest, GcfGivesUpWithoutConvergence)
{
    float g, gln;
    gcf(&g, 2.385f, 0.113846242f, &gln);
    EXPECT_EQ(g, 0.998205483f);
    TV_EXPECT_FATAL(gcf(&g, 2.385f, 0.113846235f, &gln), "a too large, ITMAX too small in gcf");
    TV_EXPECT_FATAL(gcf(&g, std::numeric_limits<float>::quiet_NaN(), 2.385f, &gln),
                    "a too large, ITMAX too small in gcf");
}

// Near the switch point x = a + 1 the series and the fraction need about 5.5 sqrt(a) and
// 100 + 0.5 sqrt(a) steps; these once ended the process for a above about 400.
TEST(SpecialExact, GammqConvergesForLargeA)
{
    for (double la = 2.5; la <= 7.0; la += 0.25) {
        const float a = static_cast<float>(std::pow(10.0, la));
        for (double t = -4.0; t <= 4.0; t += 0.5) {
            const float x = static_cast<float>(a + 1.0 + t * std::sqrt(a));
            const float q = gammq(a, x);
            EXPECT_FALSE(std::isnan(q)) << "a=" << a << " x=" << x;
        }
    }
    EXPECT_FALSE(std::isnan(gammq(2385.0f, 2385.0f)));
    EXPECT_FALSE(std::isnan(gammq(23850.0f, 23851.0f)));
}

// Up to a = 1e5 the error stays within the bound stat.h states: half a float step of
// ln Gamma(a) in the prefactor, plus the rounding of about 6 sqrt(a) float steps.
TEST(SpecialAccuracy, GammqAtLargeAAgainstBoost)
{
    WorstCase ser("gammq large a, series (abs)"), cf("gammq large a, fraction (rel)");
    for (double la = 2.0; la <= 5.0; la += 0.125) {
        const float a = static_cast<float>(std::pow(10.0, la));
        for (double t = -4.0; t <= 4.0; t += 0.25) {
            const float x = static_cast<float>(a + 1.0 + t * std::sqrt(a));
            const double ref = boost::math::gamma_q(static_cast<double>(a), static_cast<double>(x));
            const float got = gammq(a, x);
            const double bound = 8.0 + std::lgamma(static_cast<double>(a)) + 6.0 * std::sqrt(a);
            const std::string in = fmt("a=%.9g x=%.9g", a, x);
            if (static_cast<double>(x) < static_cast<double>(a) + 1.0) {
                ser.add(abs_err_eps(got, ref), in);
                EXPECT_LE(abs_err_eps(got, ref), bound) << in;
            } else {
                cf.add(rel_err_eps(got, ref), in);
                EXPECT_LE(rel_err_eps(got, ref), bound) << in;
            }
        }
    }
    ser.report();
    cf.report();
}

// Every probability stays in [0, 1]: once, 1 - P with P rounded above 1 gave Q down to
// -1.2e-6 at a near 1e-8, ln Gamma(a) rounded to float gave P = 1.278 and Q = -0.278 at
// a = x = 8972909, and the float sum of probks() reached 1 + 9.5e-7 for alam near 0.1.
TEST(SpecialExact, ProbabilitiesStayInZeroOne)
{
    auto in_unit = [](float p) { return p >= 0.0f && p <= 1.0f; };
    for (float a : {1e-12f, 1e-10f, 2.2e-8f, 1e-7f, 1e-5f, 1e5f, 1e6f, 8972909.0f, 1e7f}) {
        for (float f : {1e-30f, 1e-6f, 0.1f, 0.5f, 0.9f, 1.0f, 1.1f, 2.0f}) {
            const float x = a < 1.0f ? f : a * f;
            float part, gln;
            if (static_cast<double>(x) < static_cast<double>(a) + 1.0)
                gser(&part, a, x, &gln);
            else
                gcf(&part, a, x, &gln);
            EXPECT_TRUE(in_unit(part)) << "a=" << a << " x=" << x << ": " << part;
            EXPECT_TRUE(in_unit(gammq(a, x))) << "a=" << a << " x=" << x << ": " << gammq(a, x);
        }
    }
    for (float lam = 0.0f; lam < 0.4f; lam += 0.0005f)
        EXPECT_TRUE(in_unit(probks(lam))) << "alam=" << lam << ": " << probks(lam);
}

// Q(a, x) at tiny a: where P rounds within 2^-10 of 1 and a < 1e-3, Q is formed directly
// instead of as 1 - P, whose float rounding left no correct digit. References from mpmath
// 1.2.1 (python3-mpmath) at the float-rounded arguments, 50 digits:
//   mpmath.gammainc(a, x, mpmath.inf, regularized=True)
TEST(SpecialAccuracy, GammqAtTinyAAgainstMpmath)
{
    const float rows[][3] = {{1e-12f, 1e-30f, 6.85003368e-11f}, {1e-10f, 0.5f, 5.59773602e-11f},
                             {1e-09f, 0.001f, 6.33153912e-9f},  {1e-09f, 1.0f, 2.19383928e-10f},
                             {1e-08f, 0.3f, 9.05676618e-9f},    {1e-07f, 0.56f, 4.93019992e-8f},
                             {3e-07f, 0.01f, 1.21137826e-6f},   {1e-05f, 1.0f, 2.19386174e-6f},
                             {1e-04f, 0.3f, 9.05692795e-5f}};
    WorstCase worst("gammq tiny a (rel)");
    for (const auto &row : rows) {
        const std::string in = fmt("a=%.9g x=%.9g", row[0], row[1]);
        worst.add(rel_err_eps(gammq(row[0], row[1]), row[2]), in);
        EXPECT_LE(rel_err_eps(gammq(row[0], row[1]), row[2]), 4.0) << in;
    }
    worst.report();
}

// probks() near alam = 0.26, where the tail Q_KS is within a float step of 1. References from
// mpmath 1.2.1, the theta form 1 - sqrt(2 pi) / alam sum_k exp(-(2k - 1)^2 pi^2 / (8 alam^2)).
TEST(SpecialAccuracy, ProbksNearOneAgainstMpmath)
{
    const float rows[][2] = {
        {0.03f, 1.0f}, {0.1f, 1.0f}, {0.2f, 1.0f}, {0.26f, 0.999999886f}, {0.3f, 0.999990694f}};
    for (const auto &row : rows)
        EXPECT_LE(abs_err_eps(probks(row[0]), row[1]), 2.0) << "alam=" << row[0];
}
