// Incremental correlation and regression: the one-pass state and its results, exactly
// (IncrementalExact).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "stat.h"
#include "support/accuracy.h"
#include "support/arrays.h"

using namespace tv_test;

namespace {

struct State {
    float n = 0, ax = 0, ay = 0, sxx = 0, syy = 0, sxy = 0;
};

}  // namespace

TEST(IncrementalExact, PearsonOnALine)
{
    State s;
    float r = sentinel();
    const float want[] = {0.0f, 1.0f, 1.0f};
    for (int k = 1; k <= 3; k++) {
        pearsn_inc(static_cast<float>(k), static_cast<float>(k), s.n, s.ax, s.ay, s.sxx, s.syy,
                   s.sxy, &r);
        EXPECT_EQ(r, want[k - 1]) << "after sample " << k;
    }
    EXPECT_EQ(s.n, 3.0f);
    EXPECT_EQ(s.ax, 6.0f);
    EXPECT_EQ(s.ay, 6.0f);
    EXPECT_EQ(s.sxx, 1.25f);
    EXPECT_EQ(s.syy, 1.25f);
    EXPECT_EQ(s.sxy, 1.25f);
}

TEST(IncrementalExact, PearsonDiffersFromBatchFromTheThirdSample)
{
    const std::vector<float> xs = {1, 2, 3}, ys = {2, 1, 3};
    State s;
    float r = sentinel();
    const float want[] = {0.0f, -1.0f, 0.6f};
    for (int k = 0; k < 3; k++) {
        pearsn_inc(xs[k], ys[k], s.n, s.ax, s.ay, s.sxx, s.syy, s.sxy, &r);
        EXPECT_FLOAT_EQ(r, want[k]) << "after sample " << k + 1;
    }
    // The batch coefficient of the same pairs: equal after two samples, 0.5 after three.
    Vector x(xs), y(ys);
    float rb, prob = sentinel(), z = sentinel();
    pearsn(x.data(), y.data(), 2, &rb, &prob, &z);
    EXPECT_EQ(rb, -1.0f);
    pearsn(x.data(), y.data(), 3, &rb, &prob, &z);
    EXPECT_FLOAT_EQ(rb, 0.5f);
}

TEST(IncrementalExact, RegressionOnBothSeries)
{
    State s;
    float a = sentinel(), b = sentinel(), ym = sentinel();
    regr_inc(1, 1, s.n, s.ax, s.ay, s.sxx, s.syy, s.sxy, &a, &b, &ym);
    EXPECT_EQ(b, 0.0f);  // the first sample gives no slope
    EXPECT_EQ(a, 1.0f);
    EXPECT_EQ(ym, 1.0f);
    regr_inc(2, 2, s.n, s.ax, s.ay, s.sxx, s.syy, s.sxy, &a, &b, &ym);
    regr_inc(3, 3, s.n, s.ax, s.ay, s.sxx, s.syy, s.sxy, &a, &b, &ym);
    EXPECT_EQ(b, 1.0f);
    EXPECT_EQ(ym, 2.0f);
    EXPECT_EQ(a, 0.0f);

    State t;
    regr_inc(1, 2, t.n, t.ax, t.ay, t.sxx, t.syy, t.sxy, &a, &b, &ym);
    regr_inc(2, 1, t.n, t.ax, t.ay, t.sxx, t.syy, t.sxy, &a, &b, &ym);
    regr_inc(3, 3, t.n, t.ax, t.ay, t.sxx, t.syy, t.sxy, &a, &b, &ym);
    EXPECT_FLOAT_EQ(b, 0.6f);
    EXPECT_EQ(ym, 2.0f);
    EXPECT_FLOAT_EQ(a, 0.8f);
}

TEST(IncrementalExact, ConstantXGivesNoSlopeAndNoCorrelation)
{
    State s, u;
    float r, a, b, ym;
    const float ys[] = {2.385f, -1.5f, 7.25f, 0.5f};
    float sum = 0.0f;
    for (int k = 0; k < 4; k++) {
        pearsn_inc(2.385f, ys[k], s.n, s.ax, s.ay, s.sxx, s.syy, s.sxy, &r);
        regr_inc(2.385f, ys[k], u.n, u.ax, u.ay, u.sxx, u.syy, u.sxy, &a, &b, &ym);
        sum += ys[k];
        EXPECT_EQ(r, 0.0f);
        EXPECT_EQ(b, 0.0f);
        EXPECT_EQ(ym, sum / static_cast<float>(k + 1));
        EXPECT_EQ(a, ym);
    }
}

TEST(IncrementalExact, BothRoutinesShareOneUpdateRule)
{
    // The same samples fed to either routine leave the same state, bit for bit.
    State s, u;
    float r, a, b, ym;
    const float xs[] = {2.385f, 0.125f, -3.5f, 9.0f, 4.75f};
    const float ys[] = {1.0f, -2.5f, 3.25f, 0.5f, 6.0f};
    for (int k = 0; k < 5; k++) {
        pearsn_inc(xs[k], ys[k], s.n, s.ax, s.ay, s.sxx, s.syy, s.sxy, &r);
        regr_inc(xs[k], ys[k], u.n, u.ax, u.ay, u.sxx, u.syy, u.sxy, &a, &b, &ym);
    }
    EXPECT_EQ(float_bits(s.sxx), float_bits(u.sxx));
    EXPECT_EQ(float_bits(s.syy), float_bits(u.syy));
    EXPECT_EQ(float_bits(s.sxy), float_bits(u.sxy));
    EXPECT_EQ(s.n, 5.0f);
    EXPECT_EQ(float_bits(b), float_bits(u.sxy / u.sxx));
}

// Where the float product sxx * syy over- or underflows although both sums are in range
// (data beyond about 1e10 or below about 1e-10; once r = 0), r comes from the same sums with
// the product in double: within a float step or two of r on the same data at scale 1.
TEST(IncrementalExact, PearsonWhereTheProductLeavesFloatRange)
{
    for (int k : {50, -50}) {
        State s, u;
        float r = sentinel(), r1 = sentinel();
        for (int i = 1; i <= 9; i++) {
            const float x = static_cast<float>(i), y = static_cast<float>(2 * i + i % 3);
            pearsn_inc(x, y, u.n, u.ax, u.ay, u.sxx, u.syy, u.sxy, &r1);
            pearsn_inc(std::ldexp(x, k), std::ldexp(y, k), s.n, s.ax, s.ay, s.sxx, s.syy, s.sxy,
                       &r);
            EXPECT_LE(std::fabs(r - r1), 2 * FLT_EPSILON) << "2^" << k << ", sample " << i;
        }
    }
}
