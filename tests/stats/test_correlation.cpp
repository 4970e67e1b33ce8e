// Pearson and Spearman correlation: known values, the degenerate paths and untouched
// out-parameters (CorrelationExact), and Pearson's r and its significance against double
// precision and Boost.Math (CorrelationAccuracy).
#include <gtest/gtest.h>

#include <boost/math/distributions/students_t.hpp>

#include <cfloat>
#include <cmath>
#include <random>

#include "stat.h"
#include "support/accuracy.h"
#include "support/arrays.h"
#include "support/extreme_scales.h"

using namespace tv_test;

namespace {

constexpr unsigned kSeed = 2385u;

struct SpearOut {
    float d = sentinel(), zd = sentinel(), probd = sentinel(), rs = sentinel(), probrs = sentinel();
};

SpearOut run_spear(const std::vector<float> &x, const std::vector<float> &y)
{
    Vector a(x), b(y);
    SpearOut o;
    spear(a.data(), b.data(), x.size(), &o.d, &o.zd, &o.probd, &o.rs, &o.probrs);
    // The inputs are only read.
    EXPECT_EQ(a.values(), x);
    EXPECT_EQ(b.values(), y);
    EXPECT_TRUE(a.guards_intact() && b.guards_intact());
    return o;
}

}  // namespace

TEST(CorrelationExact, PearsonPerfectAndConstant)
{
    Vector x({1, 2, 3, 4, 5}), y({2, 4, 6, 8, 10}), c({2.385f, 2.385f, 2.385f, 2.385f, 2.385f});
    float r = sentinel(), prob = sentinel(), z = sentinel();
    pearsn(x.data(), y.data(), 5, &r, &prob, &z);
    EXPECT_EQ(r, 1.0f);
    EXPECT_TRUE(is_sentinel(prob) && is_sentinel(z));

    r = sentinel();
    pearsn_prob(x.data(), y.data(), 5, &r, &prob, &z);
    EXPECT_EQ(r, 1.0f);
    EXPECT_LT(prob, 1e-12f);  // t about 1.2e10, kept finite by the 1e-20 terms
    EXPECT_GE(prob, 0.0f);
    EXPECT_TRUE(is_sentinel(z));

    prob = sentinel();
    pearsn(c.data(), y.data(), 5, &r, &prob, &z);
    EXPECT_EQ(r, 0.0f);
    pearsn_prob(c.data(), y.data(), 5, &r, &prob, &z);
    EXPECT_EQ(r, 0.0f);
    EXPECT_EQ(prob, 1.0f);
    EXPECT_TRUE(is_sentinel(z));
    EXPECT_TRUE(x.guards_intact() && y.guards_intact() && c.guards_intact());
}

TEST(CorrelationExact, PearsonVariantsAgreeToTheLastBits)
{
    std::mt19937 gen(kSeed);
    std::normal_distribution<float> g(2.385f, 1.0f);
    for (int k = 0; k < 50; k++) {
        Vector x(17), y(17);
        for (long i = 1; i <= 17; i++) {
            x[i] = g(gen);
            y[i] = 0.5f * x[i] + g(gen);
        }
        float r1, r2, prob, z = sentinel();
        pearsn(x.data(), y.data(), 17, &r1, &prob, &z);
        pearsn_prob(x.data(), y.data(), 17, &r2, &prob, &z);
        EXPECT_NEAR(r1, r2, 2 * FLT_EPSILON) << "case " << k << " seed " << kSeed;
        // The significance is t_to_p of the same t.
        const double t = r2 * std::sqrt(15.0 / ((1.0 - r2 + 1e-20) * (1.0 + r2 + 1e-20)));
        EXPECT_EQ(float_bits(prob), float_bits(t_to_p(static_cast<float>(t), 15)));
    }
}

TEST(CorrelationExact, SpearmanIdenticalAndReversed)
{
    const SpearOut same = run_spear({1, 2, 3, 4, 5}, {1, 2, 3, 4, 5});
    EXPECT_EQ(same.d, 0.0f);
    EXPECT_FLOAT_EQ(same.zd, -2.0f);
    EXPECT_NEAR(same.probd, 0.0455003f, 2e-6f);
    EXPECT_FLOAT_EQ(same.rs, 1.0f);
    EXPECT_TRUE(is_sentinel(same.probrs));

    const SpearOut rev = run_spear({1, 2, 3, 4, 5}, {5, 4, 3, 2, 1});
    EXPECT_EQ(rev.d, 40.0f);
    EXPECT_FLOAT_EQ(rev.zd, 2.0f);
    EXPECT_NEAR(rev.probd, 0.0455003f, 2e-6f);
    EXPECT_FLOAT_EQ(rev.rs, -1.0f);
    EXPECT_TRUE(is_sentinel(rev.probrs));
}

TEST(CorrelationExact, SpearmanWithTies)
{
    // Ranks (1, 2.5, 2.5, 4) against (1, 2, 3, 4): D = 0.5, sf = 6, sg = 0.
    const SpearOut o = run_spear({1.0f, 2.385f, 2.385f, 7.0f}, {0.5f, 1.5f, 2.5f, 3.5f});
    EXPECT_EQ(o.d, 0.5f);
    const double en3n = 60.0, sf = 6.0;
    const double rs = (1.0 - (6.0 / en3n) * (0.5 + sf / 12.0)) / std::sqrt(1.0 - sf / en3n);
    EXPECT_NEAR(o.rs, rs, 4 * FLT_EPSILON);
    const double aved = en3n / 6.0 - sf / 12.0;
    const double vard = (3.0 * 16.0 * 25.0 / 36.0) * (1.0 - sf / en3n);
    EXPECT_NEAR(o.zd, (0.5 - aved) / std::sqrt(vard), 4 * FLT_EPSILON);
    EXPECT_TRUE(is_sentinel(o.probrs));
}

TEST(CorrelationExact, SpearmanDegenerateSample)
{
    // All of data2 tied: rs = probrs = 0, zd and probd untouched, scratch released (the
    // sanitizer build checks the release).
    const SpearOut o = run_spear({1, 2, 3, 4, 5}, {2.385f, 2.385f, 2.385f, 2.385f, 2.385f});
    EXPECT_EQ(o.rs, 0.0f);
    EXPECT_EQ(o.probrs, 0.0f);
    EXPECT_TRUE(is_sentinel(o.zd) && is_sentinel(o.probd));
    EXPECT_EQ(o.d, 10.0f);  // ranks 1..5 against 3 everywhere
}

TEST(CorrelationAccuracy, PearsonAgainstDoubleAndStudentT)
{
    // r from float sums against double sums; the significance against Boost's Student t at
    // the r that was returned (so only the t -> p step is measured): relative error in units
    // of (4 + 2 cond) eps, cond being the conditioning of I_x in its float argument x.
    std::mt19937 gen(kSeed);
    std::normal_distribution<double> g(0.0, 1.0);
    WorstCase wr("pearsn_prob r vs double (abs)"),
        wp("pearsn_prob prob vs Boost (rel / (4+2cond))");
    for (int k = 0; k < 200; k++) {
        const unsigned long n = 5 + (k * 13) % 60;
        const double rho = -0.9 + 1.8 * (k % 19) / 18.0;
        Vector x(n), y(n);
        for (unsigned long i = 1; i <= n; i++) {
            x[i] = static_cast<float>(2.385 + g(gen));
            y[i] =
                static_cast<float>(rho * (x[i] - 2.385) + std::sqrt(1 - rho * rho) * g(gen) - 7.5);
        }
        double mx = 0, my = 0;
        for (unsigned long i = 1; i <= n; i++) {
            mx += x[i];
            my += y[i];
        }
        mx /= n;
        my /= n;
        double sxx = 0, syy = 0, sxy = 0;
        for (unsigned long i = 1; i <= n; i++) {
            sxx += (x[i] - mx) * (x[i] - mx);
            syy += (y[i] - my) * (y[i] - my);
            sxy += (x[i] - mx) * (y[i] - my);
        }
        float r, prob, z = sentinel();
        pearsn_prob(x.data(), y.data(), n, &r, &prob, &z);
        const std::string in = fmt("n=%g rho=%g case %g", n, rho, k);
        wr.add(abs_err_eps(r, sxy / std::sqrt(sxx * syy)), in);

        const double df = n - 2.0;
        const double t = r * std::sqrt(df / ((1.0 - r) * (1.0 + r)));
        boost::math::students_t dist(df);
        const double pref = 2.0 * boost::math::cdf(boost::math::complement(dist, std::fabs(t)));
        const double cond = ibeta_condition(0.5 * df, 0.5, df / (df + t * t));
        wp.add(rel_err_eps(prob, pref) / (4.0 + 2.0 * cond), in);
        EXPECT_TRUE(is_sentinel(z));
    }
    wr.report();
    wp.report();
    EXPECT_LE(wr.worst, 16.0) << wr.where << " seed " << kSeed;
    EXPECT_LE(wp.worst, 1.0) << wp.where << " seed " << kSeed;
}

// Scaling x and y by powers of two (each its own) leaves r and its p bit for bit as they are,
// also where the scaled sums of squares or their product over- or underflow in float.
TEST(CorrelationExact, PowerOfTwoScalingKeepsEveryBit)
{
    std::mt19937 gen(kSeed);
    std::normal_distribution<float> g(2.385f, 1.0f);
    Vector x(12), y(12);
    for (long i = 1; i <= 12; i++) {
        x[i] = g(gen);
        y[i] = 0.5f * x[i] + g(gen);
    }
    float r0, rp0, p0, unused;
    pearsn(x.data(), y.data(), 12, &r0, &unused, &unused);
    pearsn_prob(x.data(), y.data(), 12, &rp0, &p0, &unused);
    for (int kx : {-120, -70, -40, 0, 40, 70, 120})
        for (int ky : {-110, -60, 0, 60, 110}) {
            Vector xs(12), ys(12);
            for (long i = 1; i <= 12; i++) {
                xs[i] = std::ldexp(x[i], kx);
                ys[i] = std::ldexp(y[i], ky);
            }
            float r, rp, p;
            pearsn(xs.data(), ys.data(), 12, &r, &unused, &unused);
            pearsn_prob(xs.data(), ys.data(), 12, &rp, &p, &unused);
            EXPECT_EQ(float_bits(r), float_bits(r0)) << "2^" << kx << ", 2^" << ky << ": " << r;
            EXPECT_EQ(float_bits(rp), float_bits(rp0)) << "2^" << kx << ", 2^" << ky;
            EXPECT_EQ(float_bits(p), float_bits(p0)) << "2^" << kx << ", 2^" << ky;
        }
}

// r and p where sxx * syy overflows (1e10 to 1e18: once r = 0, p = 1) or underflows (1e-14
// and below: once r = 0), and Wilkinson's HUGE and TINY against themselves (once 0 and 0.925).
TEST(CorrelationAccuracy, PearsonAtExtremeScalesAgainstScipy)
{
    for (const ScaledPairRow &row : kScaledPairs) {
        std::vector<float> x = scaled_sample(row.scale, false), y = scaled_sample(row.scale, true);
        float r, rp, p, unused;
        pearsn(x.data(), y.data(), kScaledN, &r, &unused, &unused);
        pearsn_prob(x.data(), y.data(), kScaledN, &rp, &p, &unused);
        EXPECT_LE(rel_err_eps(r, row.r), 8.0) << "scale " << row.scale << ": r = " << r;
        EXPECT_LE(rel_err_eps(rp, row.r), 8.0) << "scale " << row.scale << ": r = " << rp;
        EXPECT_NEAR(p, row.p, 1e-4 * row.p) << "scale " << row.scale;
    }
    for (double scale : {1e12, 1e-12}) {
        std::vector<float> w = scaled_sample(scale, false);
        float r, unused;
        pearsn(w.data(), w.data(), kScaledN, &r, &unused, &unused);
        EXPECT_EQ(r, 1.0f) << "scale " << scale;
    }
}

// Perfectly linear data: the float sums (or their product) can round so that |sxy| exceeds
// the root by a float step. The coefficients stay within [-1, 1] (once r = 1.00000012 in
// about a quarter of such sets, and pearsn_prob's p NaN), and so does Spearman's rs on
// tied ranks.
TEST(CorrelationExact, CoefficientsStayWithinOne)
{
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    auto in = [](float v, float lo) { return v >= lo && v <= 1.0f; };
    for (int k = 0; k < 2000; k++) {
        const unsigned long n = 3 + gen() % 30;
        const float slope = u(gen), offset = u(gen);
        const int levels = 2 + static_cast<int>(gen() % 6);
        Vector x(n), y(n), rx(n), ry(n);
        float inc[6] = {0, 0, 0, 0, 0, 0}, ri = 0.0f;
        for (long i = 1; i <= static_cast<long>(n); i++) {
            x[i] = u(gen);
            y[i] = slope * x[i] + offset;
            rx[i] = static_cast<float>(gen() % levels);
            ry[i] = (k % 2 ? -3.0f : 3.0f) * rx[i] + 1.0f;
            pearsn_inc(x[i], y[i], inc[0], inc[1], inc[2], inc[3], inc[4], inc[5], &ri);
            ASSERT_TRUE(in(ri, -1.0f)) << "pearsn_inc, case " << k << ": " << ri;
        }
        float r, rp, p, unused, d, zd, probd, rs;
        pearsn(x.data(), y.data(), n, &r, &unused, &unused);
        pearsn_prob(x.data(), y.data(), n, &rp, &p, &unused);
        spear(rx.data(), ry.data(), n, &d, &zd, &probd, &rs, &unused);
        ASSERT_TRUE(in(r, -1.0f) && in(rp, -1.0f) && in(p, 0.0f) && in(rs, -1.0f))
            << "case " << k << ": r " << r << ", " << rp << ", p " << p << ", rs " << rs;
    }
}
