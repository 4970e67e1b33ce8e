// ran1 and gasdev: the sequences from a known seed, reseeding, the first call
// in a fresh process, the waiting Gaussian deviate, the clamp below 1 and
// out-of-range seeds (RandomExact); mean, variance, serial correlation and the
// Kolmogorov-Smirnov statistic over 1e5 draws from a fixed seed
// (RandomStatistics).

#include "stat.h"

#include "support/fatal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// True when `value` is exactly the float that the decimal `text` identifies
// (each text below is written to the digits that single out one float; a
// tolerance of half a unit in the last digit would admit a neighbour, e.g.
// 0.75641054 next to 0.7564105).
bool matches_digits(float value, const char *text)
{
    return value == std::strtof(text, nullptr);
}

const char *const kRan1FromMinusOne[5] = {"0.41599935", "0.09196489", "0.7564105", "0.5297002",
                                          "0.9304365"};
const char *const kGasdevFromMinusOne[4] = {"-0.836854", "-0.17227997", "0.1871176", "1.6154398"};

// Leaves gasdev with no deviate waiting, whatever ran before: a call with a
// negative seed either returns the waiting deviate (the seed stays as it was)
// or computes a pair and leaves one waiting, which a second call consumes.
void drain_gasdev()
{
    long probe = -1;
    gasdev(&probe);
    if (probe != -1)
        gasdev(&probe);
}

std::vector<float> ran1_sequence(long seed, int count)
{
    std::vector<float> out(count);
    for (auto &u : out)
        u = ran1(&seed);
    return out;
}

// The checks that need a process in which ran1 or gasdev has never run are
// made in a child that re-executes this test program (and only this test).
void in_fresh_process()
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

// ---------------------------------------------------------------- exactness

TEST(RandomExact, Ran1FromMinusOneWhateverCameBefore)
{
    long warm = -977;
    for (int i = 0; i < 37; ++i)
        ran1(&warm);
    long idum = -1;
    float u = ran1(&idum);
    // 8 discarded + 32 stored + 1 drawn: 16807^41 mod (2^31 - 1).
    EXPECT_EQ(idum, 530511967L);
    EXPECT_TRUE(matches_digits(u, kRan1FromMinusOne[0])) << u;
    for (int i = 1; i < 5; ++i) {
        u = ran1(&idum);
        EXPECT_TRUE(matches_digits(u, kRan1FromMinusOne[i])) << "draw " << i + 1 << ": " << u;
        EXPECT_GE(idum, 1);
        EXPECT_LE(idum, 2147483646);
    }
}

// ran1 from a negative seed, bit for bit against the generator written out
// from its definition: states s_m = 16807^m s_0 mod (2^31 - 1) by plain 64-bit
// modular products (not Schrage's factorisation), s_9..s_40 in table slots
// 31..0, then per draw: index = (value last taken) / 67108864, take the slot's
// value, put the new state in, return the float nearest 4.656612875245797e-10
// times the value taken, the product formed in double (about one draw in a
// hundred differs when it is formed in float instead), or 1 - 2^-23 above
// 0.99999988.
TEST(RandomExact, Ran1MatchesItsDefinitionBitForBit)
{
    const long long m = 2147483647LL;
    for (long seed : {-1L, -2385L, -2147483646L}) {
        long long s = -seed, table[32], taken;
        for (int step = 1; step <= 40; ++step) {
            s = s * 16807 % m;
            if (step > 8)
                table[40 - step] = s;
        }
        taken = table[0];
        long idum = seed;
        for (int draw = 1; draw <= 3000; ++draw) {
            s = s * 16807 % m;
            const int slot = static_cast<int>(taken / 67108864);
            taken = table[slot];
            table[slot] = s;
            float want = static_cast<float>(4.656612875245797e-10 * static_cast<double>(taken));
            if (static_cast<double>(want) > 0.99999988)
                want = 1.0f - 0x1p-23f;
            const float got = ran1(&idum);
            ASSERT_EQ(got, want) << "seed " << seed << " draw " << draw;
            ASSERT_EQ(idum, s) << "seed " << seed << " draw " << draw;
        }
    }
}

TEST(RandomExact, Ran1ReseedingReproducesTheSequence)
{
    const std::vector<float> first = ran1_sequence(-2385, 50);
    ran1_sequence(-11, 13);  // disturb the shared table
    EXPECT_EQ(ran1_sequence(-2385, 50), first);
    // Seed 0 starts from state 1, exactly like -1.
    EXPECT_EQ(ran1_sequence(0, 20), ran1_sequence(-1, 20));
    EXPECT_NE(ran1_sequence(-2, 20), ran1_sequence(-1, 20));
}

// The very first call in a process initialises even for a positive seed, from
// state 1 whatever the value.
TEST(RandomExact, FirstCallWithPositiveSeedStartsFromStateOne)
{
    in_fresh_process();
    TV_EXPECT_EXIT_SILENT(
        {
            long idum = 2385;
            bool ok = true;
            for (int i = 0; i < 5; ++i)
                ok = ok && matches_digits(ran1(&idum), kRan1FromMinusOne[i]);
            std::exit(ok ? 0 : 3);
        },
        0);
}

TEST(RandomExact, GasdevFromMinusOneInFreshProcess)
{
    in_fresh_process();
    TV_EXPECT_EXIT_SILENT(
        {
            long idum = -1;
            bool ok = true;
            for (int i = 0; i < 4; ++i)
                ok = ok && matches_digits(gasdev(&idum), kGasdevFromMinusOne[i]);
            std::exit(ok ? 0 : 3);
        },
        0);
}

// The first call of a pair draws uniform deviates (an even number of them);
// the second draws none and returns the deviate the first left waiting.
TEST(RandomExact, GasdevSecondOfPairDrawsNothing)
{
    drain_gasdev();
    long idum = -1;
    const float g1 = gasdev(&idum);
    const long after_first = idum;
    const float g2 = gasdev(&idum);
    EXPECT_EQ(idum, after_first);
    EXPECT_TRUE(matches_digits(g1, kGasdevFromMinusOne[0])) << g1;
    EXPECT_TRUE(matches_digits(g2, kGasdevFromMinusOne[1])) << g2;

    long seed = -1;
    int draws = 0;
    while (seed != after_first && draws < 100) {
        ran1(&seed);
        ++draws;
    }
    EXPECT_EQ(seed, after_first);
    EXPECT_GE(draws, 2);
    EXPECT_EQ(draws % 2, 0);
}

// A new negative seed while a deviate waits: that deviate comes back, *idum
// keeps the new seed, and the reseed happens on the next call.
TEST(RandomExact, WaitingDeviateSurvivesReseed)
{
    drain_gasdev();
    long fresh = -5;
    const float from5 = gasdev(&fresh);

    drain_gasdev();
    long idum = -1;
    gasdev(&idum);
    idum = -5;
    const float waiting = gasdev(&idum);
    EXPECT_EQ(idum, -5);
    EXPECT_TRUE(matches_digits(waiting, kGasdevFromMinusOne[1])) << waiting;
    EXPECT_EQ(gasdev(&idum), from5);
    EXPECT_NE(idum, -5);
}

// The largest value: a draw whose float rounds above 0.99999988 comes back as
// 1 - 2^-23 (seed -591308, second draw, found by search).
TEST(RandomExact, Ran1ClampsBelowOne)
{
    long idum = -591308;
    ran1(&idum);
    const float top = ran1(&idum);
    EXPECT_EQ(top, 1.0f - 0x1p-23f);
    EXPECT_LT(top, 1.0f);
}

// Seeds of magnitude 2^31 - 1 or more are reduced modulo 2^31 - 1 (keeping the
// sign), so the state stays in 1..2^31 - 2 and the table index in range.
TEST(RandomExact, OutOfRangeSeedsAreReduced)
{
    const long m = 2147483647L;
    EXPECT_EQ(ran1_sequence(-(m + 5), 10), ran1_sequence(-5, 10));
    EXPECT_EQ(ran1_sequence(-(3 * m), 10), ran1_sequence(-1, 10));
    // LONG_MIN = -2^63, and 2^63 mod (2^31 - 1) = 2.
    EXPECT_EQ(ran1_sequence(LONG_MIN, 10), ran1_sequence(-2, 10));

    // A huge positive state handed to a running generator.
    for (long state : {m, m + 1, 5 * m, LONG_MAX}) {
        ran1_sequence(-3, 1);
        long idum = state;
        for (int i = 0; i < 200; ++i) {
            const float u = ran1(&idum);
            ASSERT_GT(u, 0.0f) << "state " << state;
            ASSERT_LT(u, 1.0f) << "state " << state;
            ASSERT_GE(idum, 1) << "state " << state;
            ASSERT_LE(idum, m - 1) << "state " << state;
        }
    }
}

// ---------------------------------------------------------------- statistics

const int kDraws = 100000;
const long kSeed = -2385;
// sqrt(n) * D above this has probability about 0.001 for the true distribution.
const double kKsCritical = 1.95;

double ks_statistic(std::vector<double> x, double (*cdf)(double))
{
    std::sort(x.begin(), x.end());
    const double n = static_cast<double>(x.size());
    double d = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double f = cdf(x[i]);
        d = std::max({d, (i + 1) / n - f, f - i / n});
    }
    return d;
}

double uniform_cdf(double x)
{
    return x;
}

double normal_cdf(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

struct Moments {
    double mean = 0.0, var = 0.0, lag1 = 0.0;
};

Moments moments(const std::vector<double> &x)
{
    Moments m;
    for (double v : x)
        m.mean += v;
    m.mean /= x.size();
    double c1 = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        m.var += (x[i] - m.mean) * (x[i] - m.mean);
        if (i)
            c1 += (x[i] - m.mean) * (x[i - 1] - m.mean);
    }
    m.lag1 = c1 / m.var;
    m.var /= x.size() - 1;
    return m;
}

TEST(RandomStatistics, Ran1IsUniformOnOpenInterval)
{
    long idum = kSeed;
    std::vector<double> u(kDraws);
    for (auto &x : u) {
        x = ran1(&idum);
        ASSERT_GT(x, 0.0);
        ASSERT_LT(x, 1.0);
    }
    const Moments m = moments(u);
    const double root_n = std::sqrt(static_cast<double>(kDraws));
    SCOPED_TRACE(testing::Message() << "seed " << kSeed);
    EXPECT_NEAR(m.mean, 0.5, 5 * std::sqrt(1.0 / 12) / root_n);
    EXPECT_NEAR(m.var, 1.0 / 12, 5 * std::sqrt(1.0 / 180) / root_n);
    EXPECT_LT(std::fabs(m.lag1), 5 / root_n);
    EXPECT_LT(root_n * ks_statistic(u, uniform_cdf), kKsCritical);
}

TEST(RandomStatistics, GasdevIsStandardNormal)
{
    drain_gasdev();
    long idum = kSeed;
    std::vector<double> g(kDraws);
    for (auto &x : g)
        x = gasdev(&idum);
    const Moments m = moments(g);
    const double root_n = std::sqrt(static_cast<double>(kDraws));
    SCOPED_TRACE(testing::Message() << "seed " << kSeed);
    EXPECT_NEAR(m.mean, 0.0, 5 / root_n);
    EXPECT_NEAR(m.var, 1.0, 5 * std::sqrt(2.0) / root_n);
    EXPECT_LT(std::fabs(m.lag1), 5 / root_n);
    EXPECT_LT(root_n * ks_statistic(g, normal_cdf), kKsCritical);
}

}  // namespace
