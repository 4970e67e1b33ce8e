// Probability and threshold conversions: fixed answers, the 25-step searches and p_to_z
// (PvalueExact), and the t, r and F tails against Boost.Math (PvalueAccuracy).
#include <gtest/gtest.h>

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cfloat>
#include <cmath>
#include <random>

#include "stat.h"
#include "support/accuracy.h"
#include "support/arrays.h"

using namespace tv_test;

namespace {

constexpr unsigned kSeed = 2385u;

double t_tail(double t, double df)
{
    boost::math::students_t dist(df);
    return 2.0 * boost::math::cdf(boost::math::complement(dist, std::fabs(t)));
}

// The largest value a search can reach: start plus 25 undivided steps, added in float.
float climb(float start, float step)
{
    for (int k = 0; k < 25; k++)
        start += step;
    return start;
}

}  // namespace

TEST(PvalueExact, ForwardFixedAnswers)
{
    EXPECT_EQ(t_to_p(0.0f, 10), 1.0f);
    EXPECT_EQ(float_bits(t_to_p(-2.385f, 7)), float_bits(t_to_p(2.385f, 7)));
    EXPECT_NEAR(t_to_p(2.228f, 10), 0.0500f, 1e-4f);

    EXPECT_EQ(r_to_p(0.0f, 20), 1.0f);
    EXPECT_EQ(r_to_p(1.0f, 20), 0.0f);
    EXPECT_EQ(r_to_p(0.5f, 1), 1.0f);
    EXPECT_EQ(r_to_p(0.5f, 0), 1.0f);
    EXPECT_LT(r_to_p(-1.0f, 20), 1e-6f);  // no special case, but the 1e-20 terms keep it near 0
    EXPECT_NEAR(r_to_p(0.444f, 20), 0.0499f, 1e-4f);

    EXPECT_EQ(F_to_p(0.0f, 2, 20), 1.0f);
    EXPECT_EQ(F_to_p(-1.0f, 2, 20), 0.0f);
    EXPECT_NEAR(F_to_p(3.49f, 2, 20), 0.0501f, 1e-4f);
}

TEST(PvalueExact, InverseSearchesHitKnownThresholds)
{
    // 25 steps end with a step of 2^-12 or so: a few 1e-4 at worst.
    EXPECT_NEAR(p_to_t(0.05f, 10), 2.22814f, 3e-4f);
    EXPECT_NEAR(p_to_t(0.01f, 20), 2.84534f, 3e-4f);
    EXPECT_NEAR(p_to_r(0.05f, 20), 0.44377f, 3e-5f);
    EXPECT_NEAR(p_to_r(0.05f, 22), 0.42271f, 3e-5f);  // 22 samples: 20 degrees of freedom
    EXPECT_NEAR(p_to_F(0.05f, 2, 20), 3.4927f, 3e-4f);
    EXPECT_NEAR(p_to_F(0.05f, 1, 10), 4.9646f, 3e-4f);
    EXPECT_NEAR(p_to_t(1.0f, 10), 0.0f, 1e-3f);  // walks down to about 0.0005
}

TEST(PvalueExact, SearchesOnlyClimbWhenNothingIsSmallEnough)
{
    // A run of upward moves never halves the step.
    EXPECT_EQ(p_to_F(1.0e-9f, 1, 10), 60.0f);
    EXPECT_EQ(p_to_t(0.0f, 10), 54.0f);
    // r above 1 gives a p that is not a number, which also moves the search up; the threshold
    // it stands for is r = 1.
    EXPECT_GT(climb(0.4f, 0.2f), 1.0f);
    EXPECT_EQ(p_to_r(0.0f, 10), 1.0f);
}

// A correlation threshold is at most 1: where no float r below 1 reaches p, the search climbs
// past 1 and the answer is 1. Reference r from SciPy 1.10.1 (python3-scipy):
//   t = scipy.stats.t.isf(p / 2, n - 2); r = t / sqrt(n - 2 + t * t)
// rounded to float (the last three round to 1.0f).
TEST(PvalueAccuracy, CorrelationThresholdsAgainstScipy)
{
    const struct {
        unsigned long n;
        float p, r;
    } rows[] = {{20, 0.05f, 0.4437634f}, {10, 0.01f, 0.76459247f}, {5, 1e-3f, 0.9911387f},
                {3, 1e-4f, 1.0f},        {4, 1e-8f, 1.0f},         {5, 1e-12f, 1.0f}};
    for (const auto &row : rows) {
        const float r = p_to_r(row.p, row.n);
        EXPECT_LE(r, 1.0f) << "n = " << row.n << ", p = " << row.p;
        EXPECT_NEAR(r, row.r, 3e-5f) << "n = " << row.n << ", p = " << row.p;
    }
}

TEST(PvalueExact, PToZ)
{
    const float z0 = p_to_z(0.0f);
    EXPECT_EQ(z0, 0.0f);
    EXPECT_TRUE(std::signbit(z0));  // -2 ln 1 is a negative zero
    EXPECT_NEAR(p_to_z(0.05f), 0.45296f, 2e-5f);
    EXPECT_NEAR(p_to_z(0.5f), 1.66511f, 2e-5f);
    EXPECT_NEAR(p_to_z(0.95f), 3.46164f, 2e-5f);
    // p = 1 is moved to 0.99999988 instead of giving an infinite value.
    EXPECT_EQ(float_bits(p_to_z(1.0f)), float_bits(p_to_z(0.99999988f)));
    EXPECT_NEAR(p_to_z(1.0f), 7.98558f, 1e-4f);
    EXPECT_LT(p_to_z(1.5f), 0.0f);
}

TEST(PvalueAccuracy, StudentTTailAgainstBoost)
{
    // The tail is I_x(df/2, 1/2) at x = df / (df + t^2) formed in float: relative error in units
    // of (4 + 2 cond) eps, cond the conditioning of I_x in x (large for small t against many
    // degrees of freedom, where the information sits in 1 - x).
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<float> ut(0.0f, 8.0f);
    std::uniform_int_distribution<unsigned long> udf(1, 200);
    WorstCase w("t_to_p vs Boost (rel / (4+2cond))");
    for (int k = 0; k < 300; k++) {
        const float t = ut(gen);
        const unsigned long df = udf(gen);
        const double ref = t_tail(t, static_cast<double>(df));
        if (ref < 1e-30)
            continue;
        const double x = df / (df + static_cast<double>(t) * t);
        const double cond = ibeta_condition(0.5 * df, 0.5, x);
        const std::string in = fmt("t=%.9g df=%g", t, df);
        w.add(rel_err_eps(t_to_p(t, df), ref) / (4.0 + 2.0 * cond), in);
    }
    w.report();
    EXPECT_LE(w.worst, 1.0) << w.where << " seed " << kSeed;
}

TEST(PvalueAccuracy, CorrelationTailAgainstBoost)
{
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<float> ur(-0.999f, 0.999f);
    std::uniform_int_distribution<unsigned long> un(3, 200);
    WorstCase w("r_to_p vs Boost (rel / (4+2cond))");
    for (int k = 0; k < 300; k++) {
        const float r = ur(gen);
        const unsigned long n = un(gen);
        const double df = n - 2.0;
        const double t = r * std::sqrt(df / ((1.0 - r) * (1.0 + r)));
        const double ref = t_tail(t, df);
        if (ref < 1e-30)
            continue;
        const double cond = ibeta_condition(0.5 * df, 0.5, df / (df + t * t));
        const std::string in = fmt("r=%.9g n=%g", r, n);
        w.add(rel_err_eps(r_to_p(r, n), ref) / (4.0 + 2.0 * cond), in);
    }
    w.report();
    EXPECT_LE(w.worst, 1.0) << w.where << " seed " << kSeed;
}

TEST(PvalueAccuracy, FTailAgainstBoost)
{
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<float> lf(-3.0f, 3.5f);
    std::uniform_int_distribution<unsigned long> udf(1, 120);
    WorstCase w("F_to_p vs Boost (rel / (4+2cond))");
    for (int k = 0; k < 300; k++) {
        const float F = std::exp(lf(gen));
        const unsigned long d1 = udf(gen), d2 = udf(gen);
        boost::math::fisher_f dist(static_cast<double>(d1), static_cast<double>(d2));
        const double ref = boost::math::cdf(boost::math::complement(dist, static_cast<double>(F)));
        if (ref < 1e-30)
            continue;
        const double x = d2 / (d2 + static_cast<double>(d1) * F);
        const double cond = ibeta_condition(0.5 * d2, 0.5 * d1, x);
        const std::string in = fmt("F=%.9g d1=%g d2=%g", F, d1, d2);
        w.add(rel_err_eps(F_to_p(F, d1, d2), ref) / (4.0 + 2.0 * cond), in);
    }
    w.report();
    EXPECT_LE(w.worst, 1.0) << w.where << " seed " << kSeed;
}

TEST(PvalueAccuracy, InverseSearchesAgainstBoostQuantiles)
{
    // 25 moves with a halving at each change of direction: the answer is as good as the last
    // step, 1e-4 to 1e-3 of the statistic here. The F search spends most of its moves walking
    // down from 10 in unit steps, and a search that meets the answer exactly on the way
    // bounces, halving only every other move: hence the looser bound for F.
    WorstCase wt("p_to_t vs quantile (abs)"), wr("p_to_r vs quantile (abs)"),
        wf("p_to_F vs quantile (abs)");
    for (float p : {0.001f, 0.01f, 0.05f, 0.2385f, 0.5f})
        for (unsigned long df : {3ul, 10ul, 40ul}) {
            boost::math::students_t st(static_cast<double>(df));
            const double tq = boost::math::quantile(boost::math::complement(st, 0.5 * p));
            const std::string in = fmt("p=%.9g df=%g", p, df);
            wt.add(std::fabs(p_to_t(p, df) - tq) / FLT_EPSILON, in);
            const double rq = tq / std::sqrt(df + tq * tq);
            wr.add(std::fabs(p_to_r(p, df + 2) - rq) / FLT_EPSILON, in);
            boost::math::fisher_f fd(4.0, static_cast<double>(df));
            const double fq =
                boost::math::quantile(boost::math::complement(fd, static_cast<double>(p)));
            if (fq < 59.0)  // beyond the reach of the search (60 at most)
                wf.add(std::fabs(p_to_F(p, 4, df) - fq) / FLT_EPSILON, in);
        }
    wt.report();
    wr.report();
    wf.report();
    EXPECT_LE(wt.worst * FLT_EPSILON, 1e-3) << wt.where;
    EXPECT_LE(wr.worst * FLT_EPSILON, 1e-4) << wr.where;
    EXPECT_LE(wf.worst * FLT_EPSILON, 2e-3) << wf.where;
}
