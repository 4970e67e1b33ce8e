// p-values for the two-sample tests: fixed answers and agreement with t_to_p()/probks()
// (SignificanceExact), and Welch degrees of freedom, t tails and Kolmogorov-Smirnov tails against
// reference values (SignificanceAccuracy). The reference values are data: they were written by
// the committed generator tests/reference/pvalue_references.cpp (target pvalue_references) from
// Boost.Math's Student t distribution and a long-double Kolmogorov-Smirnov tail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "nrutil.h"
#include "stat.h"
#include "reference/welch_samples.h"

namespace {

// A 1-based copy of values, released on scope exit.
class Sample {
public:
    explicit Sample(const std::vector<float> &values)
        : n_(values.size())
        , data_(vector(1, static_cast<long>(n_)))
    {
        for (unsigned long i = 0; i < n_; i++)
            data_[i + 1] = values[i];
    }
    ~Sample() { free_vector(data_, 1, static_cast<long>(n_)); }
    Sample(const Sample &) = delete;
    Sample &operator=(const Sample &) = delete;
    float *data() const { return data_; }
    unsigned long n() const { return n_; }

private:
    unsigned long n_;
    float *data_;
};

bool same_bits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

const std::vector<std::vector<float>> &kSamples = kWelchSamples;

struct WelchCase {
    int pair;
    double df, t, p;
};
const WelchCase kWelch[] = {
    {0, 6.7890321986913943, -1.2143333506037817, 0.26516413395439874},
    {1, 8.012209401636915, -4.5526252535600676, 0.0018606303699274933},
    {2, 3, -1.1306019943221476, 0.34044169358612686},
};

struct TailCase {
    float t, df;
    double p;
};
const TailCase kTails[] = {
    {0.5, 1.5, 0.68056711066994001},
    {1, 2.25, 0.41246786960548329},
    {2, 3.70000005, 0.12181720092841079},
    {2.5, 7.30000019, 0.039650233850465309},
    {3.0999999, 12.6000004, 0.008726580168816521},
    {1.96000004, 45.5, 0.056137142105724106},
    {4, 9.25, 0.002943445486640687},
    {6, 20.5, 6.5343277563843622e-06},
    {0.100000001, 0.75, 0.94033707863166739},
    {10, 5.5, 9.8324127808883144e-05},
    {2.20000005, 150.800003, 0.029328543842876787},
    {-1.70000005, 17.2000008, 0.10714145533676416},
};

struct KsCase {
    float d;
    unsigned long n1, n2;
    double p;
};
const KsCase kKs[] = {
    {0.5, 10, 12, 0.087297852021569623},
    {0.300000012, 40, 50, 0.028615667387122982},
    {0.200000003, 100, 80, 0.049315637464350795},
    {0.100000001, 500, 400, 0.021762273744199605},
    {0.0500000007, 1000, 2000, 0.069087010432447363},
    {0.800000012, 8, 8, 0.0046912649872086988},
    {0.25, 30, 200, 0.063864909999597496},
    {0.600000024, 20, 25, 0.00031652510623426069},
    {0.150000006, 60, 60, 0.47663519923657214},
    {0.349999994, 16, 1000, 0.031501783521773542},
    {0.0399999991, 5000, 5000, 0.00064516513854680302},
};

}  // namespace

TEST(SignificanceExact, RealDegreesOfFreedomMatchTheWholeOnes)
{
    for (unsigned long df = 1; df <= 300; df += 7)
        for (float t : {0.0f, -0.3f, 1.0f, 2.228f, -4.5f, 17.0f})
            ASSERT_TRUE(same_bits(t_to_p_real(t, static_cast<float>(df)), t_to_p(t, df)))
                << "t = " << t << ", df = " << df;
}

TEST(SignificanceExact, FixedAnswers)
{
    EXPECT_EQ(t_to_p_real(0.0f, 2.5f), 1.0f);
    EXPECT_TRUE(same_bits(t_to_p_real(-2.0f, 3.7f), t_to_p_real(2.0f, 3.7f)));
    EXPECT_EQ(kstwo_prob(0.0f, 10, 20), 1.0f);
    EXPECT_EQ(kstwo_prob(1.0f, 5000, 5000), 0.0f);
}

TEST(SignificanceExact, WelchDegreesOfFreedomAtTheirBounds)
{
    const Sample constant({2.0f, 2.0f, 2.0f}), other_constant({5.0f, 5.0f, 5.0f, 5.0f, 5.0f}),
        spread({1.0f, 2.0f, 4.0f, 8.0f}), spread_too({3.0f, 1.0f, 4.0f, 1.0f, 5.0f, 9.0f});
    // One sample without spread: all the uncertainty is the other's.
    EXPECT_EQ(welch_df(constant.data(), constant.n(), spread.data(), spread.n()), 3.0f);
    EXPECT_EQ(welch_df(spread.data(), spread.n(), constant.data(), constant.n()), 3.0f);
    EXPECT_EQ(welch_df(constant.data(), 3, other_constant.data(), 5), 6.0f);
    // Symmetric in the two samples, and within min(n1, n2) - 1 .. n1 + n2 - 2.
    const float df = welch_df(spread.data(), spread.n(), spread_too.data(), spread_too.n());
    EXPECT_TRUE(
        same_bits(df, welch_df(spread_too.data(), spread_too.n(), spread.data(), spread.n())));
    EXPECT_GE(df, 3.0f);
    EXPECT_LE(df, 8.0f);
    // The samples are only read.
    EXPECT_EQ(spread.data()[1], 1.0f);
    EXPECT_EQ(spread.data()[4], 8.0f);
}

TEST(SignificanceAccuracy, WelchTestAgainstReferences)
{
    for (const WelchCase &c : kWelch) {
        Sample a(kSamples[2 * c.pair]), b(kSamples[2 * c.pair + 1]);
        const float df = welch_df(a.data(), a.n(), b.data(), b.n());
        float t = 0.0f, unused = 0.0f;
        tutest(a.data(), a.n(), b.data(), b.n(), &t, &unused);
        const float p = t_to_p_real(t, df);
        EXPECT_NEAR(df, c.df, 2e-6 * c.df) << "pair " << c.pair;
        EXPECT_NEAR(t, c.t, 2e-6 * std::fabs(c.t)) << "pair " << c.pair;
        EXPECT_NEAR(p, c.p, 2e-5 * c.p) << "pair " << c.pair;
    }
}

TEST(SignificanceAccuracy, TTailsForNonIntegerDegreesOfFreedom)
{
    for (const TailCase &c : kTails)
        EXPECT_NEAR(t_to_p_real(c.t, c.df), c.p, 2e-5 * c.p) << "t = " << c.t << ", df = " << c.df;
}

TEST(SignificanceAccuracy, KolmogorovSmirnovTails)
{
    for (const KsCase &c : kKs)
        EXPECT_NEAR(kstwo_prob(c.d, c.n1, c.n2), c.p, 2e-5 * c.p)
            << "D = " << c.d << ", n1 = " << c.n1 << ", n2 = " << c.n2;
}
