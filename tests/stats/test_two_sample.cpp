// Two-sample statistics: known values, untouched out-parameters and degenerate inputs
// (TwoSampleExact), and closeness of t to a double-precision evaluation (TwoSampleAccuracy).
#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace

TEST(TwoSampleExact, AvevarUsesSampleVariance)
{
    // Guards are NaN: reading index 0 or n + 1 would poison the results.
    Vector d({1.0f, 2.0f, 3.0f, 4.0f});
    float ave, var;
    avevar(d.data(), 4, &ave, &var);
    EXPECT_EQ(ave, 2.5f);
    EXPECT_FLOAT_EQ(var, 5.0f / 3.0f);
    EXPECT_TRUE(d.guards_intact());
}

TEST(TwoSampleExact, TtestKnownValuesAndUntouchedProb)
{
    Vector a({1.0f, 2.0f, 3.0f}), b({4.0f, 5.0f, 6.0f});
    float t = sentinel(), prob = sentinel();
    ttest(a.data(), 3, b.data(), 3, &t, &prob);
    EXPECT_NEAR(t, -3.6742346f, 2e-6f);  // pooled variance 1: -3 / sqrt(2/3)
    EXPECT_TRUE(is_sentinel(prob));

    t = sentinel();
    tutest(a.data(), 3, b.data(), 3, &t, &prob);
    EXPECT_NEAR(t, -3.6742346f, 2e-6f);  // equal sizes: Welch's t equals the pooled t
    EXPECT_TRUE(is_sentinel(prob));
    EXPECT_TRUE(a.guards_intact() && b.guards_intact());
}

TEST(TwoSampleExact, ZeroSpreadGivesZeroT)
{
    // Constant samples: t = 0 even when the constants differ (no division by zero).
    Vector a({2.385f, 2.385f, 2.385f}), b({2.385f, 2.385f}), c({7.5f, 7.5f, 7.5f, 7.5f});
    float t = sentinel(), prob = sentinel();
    ttest(a.data(), 3, b.data(), 2, &t, &prob);
    EXPECT_EQ(t, 0.0f);
    t = sentinel();
    ttest(a.data(), 3, c.data(), 4, &t, &prob);
    EXPECT_EQ(t, 0.0f);
    t = sentinel();
    tutest(a.data(), 3, c.data(), 4, &t, &prob);
    EXPECT_EQ(t, 0.0f);
    EXPECT_TRUE(is_sentinel(prob));
}

TEST(TwoSampleExact, TtestAndTutestAgreeForEqualSizes)
{
    std::mt19937 gen(kSeed);
    std::normal_distribution<float> g1(2.385f, 1.5f), g2(3.0f, 0.4f);
    for (int k = 0; k < 20; k++) {
        Vector a(12), b(12);
        for (long i = 1; i <= 12; i++) {
            a[i] = g1(gen);
            b[i] = g2(gen);
        }
        float t1, t2, prob = sentinel();
        ttest(a.data(), 12, b.data(), 12, &t1, &prob);
        tutest(a.data(), 12, b.data(), 12, &t2, &prob);
        EXPECT_NEAR(t1, t2, 8 * FLT_EPSILON * std::fabs(t1)) << "case " << k << " seed " << kSeed;
        EXPECT_TRUE(is_sentinel(prob));
    }
}

TEST(TwoSampleExact, KstwoKnownValuesAndSortsInPlace)
{
    float d = sentinel(), prob = sentinel();
    Vector a({3.0f, 1.0f, 2.0f}), b({2.0f, 3.0f, 1.0f});
    kstwo(a.data(), 3, b.data(), 3, &d, &prob);
    EXPECT_EQ(d, 0.0f);  // ties step together
    EXPECT_EQ(a.values(), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(b.values(), (std::vector<float>{1.0f, 2.0f, 3.0f}));

    Vector c({6.0f, 4.0f, 5.0f});
    kstwo(a.data(), 3, c.data(), 3, &d, &prob);
    EXPECT_EQ(d, 1.0f);  // reached when sample 1 is exhausted
    EXPECT_EQ(c.values(), (std::vector<float>{4.0f, 5.0f, 6.0f}));

    Vector e({4.0f, 3.0f, 2.0f, 1.0f}), f({2.5f});
    kstwo(e.data(), 4, f.data(), 1, &d, &prob);
    EXPECT_EQ(d, 0.5f);  // the walk ends with the single element of sample 2
    EXPECT_TRUE(is_sentinel(prob));
    EXPECT_TRUE(a.guards_intact() && b.guards_intact() && c.guards_intact() && e.guards_intact() &&
                f.guards_intact());
}

TEST(TwoSampleExact, KstwoEmptySampleAndNan)
{
    float d = sentinel(), prob = sentinel();
    Vector a({2.385f, 1.0f}), none(0);
    kstwo(a.data(), 2, none.data(), 0, &d, &prob);
    EXPECT_EQ(d, 0.0f);
    EXPECT_TRUE(none.guards_intact());

    // A NaN cannot be placed on either side of a value: D is not a number and the call ends,
    // also when the walk would stop before reaching the NaN.
    Vector b({1.0f, std::nanf(""), 3.0f}), c({0.5f, 2.0f, 4.0f});
    kstwo(b.data(), 3, c.data(), 3, &d, &prob);
    EXPECT_TRUE(std::isnan(d));
    Vector e({1.0f, 2.0f, 3.0f}), f({0.5f, std::nanf("")});
    d = 0.0f;
    kstwo(e.data(), 3, f.data(), 2, &d, &prob);
    EXPECT_TRUE(std::isnan(d));
    Vector g({2.0f, std::nanf("")}), h({0.5f});
    d = 0.0f;
    kstwo(g.data(), 2, h.data(), 1, &d, &prob);
    EXPECT_TRUE(std::isnan(d));
    EXPECT_TRUE(is_sentinel(prob));
}

TEST(TwoSampleAccuracy, TAgainstDoublePrecision)
{
    // Float sums of up to 50 values, then a double root: within a few eps of the same
    // statistic computed from double sums.
    std::mt19937 gen(kSeed);
    std::normal_distribution<double> g(10.0, 2.385);
    WorstCase wt("ttest vs double (rel)"), wu("tutest vs double (rel)");
    for (int k = 0; k < 200; k++) {
        const unsigned long n1 = 5 + k % 23, n2 = 3 + (k * 7) % 31;
        Vector a(n1), b(n2);
        double s1 = 0, s2 = 0;
        for (unsigned long i = 1; i <= n1; i++)
            s1 += a[i] = static_cast<float>(g(gen));
        for (unsigned long i = 1; i <= n2; i++)
            s2 += b[i] = static_cast<float>(g(gen) + 1.5);
        const double m1 = s1 / n1, m2 = s2 / n2;
        double v1 = 0, v2 = 0;
        for (unsigned long i = 1; i <= n1; i++)
            v1 += (a[i] - m1) * (a[i] - m1);
        for (unsigned long i = 1; i <= n2; i++)
            v2 += (b[i] - m2) * (b[i] - m2);
        const double pooled = (v1 + v2) / (n1 + n2 - 2);
        const double tref = (m1 - m2) / std::sqrt(pooled * (1.0 / n1 + 1.0 / n2));
        const double uref = (m1 - m2) / std::sqrt(v1 / (n1 - 1) / n1 + v2 / (n2 - 1) / n2);
        float t, u, prob;
        ttest(a.data(), n1, b.data(), n2, &t, &prob);
        tutest(a.data(), n1, b.data(), n2, &u, &prob);
        // The difference of means cancels: error relative to the spread, not to t.
        const double scale = std::max(1.0, std::fabs(tref));
        const std::string in = fmt("case %g n1=%g n2=%g", k, n1, n2);
        wt.add(std::fabs(t - tref) / (scale * FLT_EPSILON), in);
        wu.add(std::fabs(u - uref) / (scale * FLT_EPSILON), in);
    }
    wt.report();
    wu.report();
    EXPECT_LE(wt.worst, 64.0) << wt.where << " seed " << kSeed;
    EXPECT_LE(wu.worst, 64.0) << wu.where << " seed " << kSeed;
}

// Multiplying both samples by a power of two leaves t, Welch's t and its degrees of freedom
// bit for bit as they are, and scales the mean and variance exactly, also where the scaled
// data's squares over- or underflow in float (they are then formed again from rescaled data).
TEST(TwoSampleExact, PowerOfTwoScalingKeepsEveryBit)
{
    std::mt19937 gen(kSeed);
    std::uniform_real_distribution<float> u(0.5f, 10.0f);
    std::vector<float> a(8), b(10);
    for (float &v : a)
        v = u(gen);
    for (float &v : b)
        v = u(gen) + 1.5f;
    float t0, tu0, ave0, var0, unused;
    ttest(a.data(), 7, b.data(), 9, &t0, &unused);
    tutest(a.data(), 7, b.data(), 9, &tu0, &unused);
    avevar(a.data(), 7, &ave0, &var0);
    const float df0 = welch_df(a.data(), 7, b.data(), 9);
    for (int k : {-120, -100, -75, -60, -20, 20, 60, 75, 100, 120}) {
        std::vector<float> as(a), bs(b);
        for (float &v : as)
            v = std::ldexp(v, k);
        for (float &v : bs)
            v = std::ldexp(v, k);
        float t, tu, ave, var;
        ttest(as.data(), 7, bs.data(), 9, &t, &unused);
        tutest(as.data(), 7, bs.data(), 9, &tu, &unused);
        avevar(as.data(), 7, &ave, &var);
        EXPECT_EQ(float_bits(t), float_bits(t0)) << "2^" << k << ": " << t << " against " << t0;
        EXPECT_EQ(float_bits(tu), float_bits(tu0)) << "2^" << k << ": " << tu << " against " << tu0;
        EXPECT_EQ(float_bits(welch_df(as.data(), 7, bs.data(), 9)), float_bits(df0)) << "2^" << k;
        EXPECT_EQ(float_bits(ave), float_bits(std::ldexp(ave0, k))) << "2^" << k;
        EXPECT_EQ(float_bits(var), float_bits(std::ldexp(var0, 2 * k))) << "2^" << k << ": " << var;
    }
}

// t where the variance overflows (1e18) or underflows (1e-24) in float: once t = 0 there.
TEST(TwoSampleAccuracy, TAtExtremeScalesAgainstScipy)
{
    for (const ScaledPairRow &row : kScaledPairs) {
        std::vector<float> x = scaled_sample(row.scale, false), y = scaled_sample(row.scale, true);
        float t, tu, unused;
        ttest(x.data(), kScaledN, y.data(), kScaledN, &t, &unused);
        tutest(x.data(), kScaledN, y.data(), kScaledN, &tu, &unused);
        EXPECT_LE(rel_err_eps(t, row.t), 8.0) << "scale " << row.scale << ": t = " << t;
        EXPECT_LE(rel_err_eps(tu, row.tu), 8.0) << "scale " << row.scale << ": t = " << tu;
    }
}

// D with values tied across the samples: both samples step past a tied value before the
// distance is measured (once D came out 0.375 for the first row, 0.154 for the second and
// 0.286 for two constant samples). References from SciPy 1.10.1:
//   scipy.stats.ks_2samp(a, b).statistic
// with a and b float-rounded integers or values rounded to one decimal.
TEST(TwoSampleAccuracy, KstwoWithTiesAgainstScipy)
{
    const struct {
        std::vector<float> a, b;
        float d;
    } rows[] = {
        {{1, 1, 2, 2, 2, 3, 3, 4}, {1, 2, 2, 3, 3, 3, 3, 4, 4, 5}, 0.325f},
        {{3, 3, 1, 0, 3, 3, 2, 0, 3, 2, 0, 0, 1, 2, 1, 3, 0, 1, 2, 3, 0},
         {3, 0, 1, 2, 2, 3, 3, 3, 3, 0, 3, 3, 0, 3, 2, 1, 0, 1, 3, 3, 0, 1, 3, 2, 1, 0},
         0.0897435897f},
        {{-0.6f, -0.6f, 0.1f, 1.3f, -0.3f, -1.1f, -0.8f, 1.8f, -0.4f, -1.2f, -0.3f, 0.3f},
         {0.3f, 1.9f, -0.2f, -1.5f, 1.5f, 0.3f, 0.3f, -0.7f, -1.0f, 1.6f, -1.5f, -0.6f, -1.1f, 1.4f,
          0.3f},
         0.283333333f},
        {{2.5f, 2.5f, 2.5f, 2.5f, 2.5f}, {2.5f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f}, 0.0f},
        {{0, 0, 0, 1}, {0, 1, 1, 1, 1, 1}, 0.583333333f},
    };
    for (const auto &row : rows) {
        Vector a(row.a), b(row.b);
        float d, unused;
        kstwo(a.data(), a.size(), b.data(), b.size(), &d, &unused);
        EXPECT_LE(abs_err_eps(d, row.d), 2.0) << row.a.size() << " and " << row.b.size();
    }
}
