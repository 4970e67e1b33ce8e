// mrqmin, mrqcof, covsrt and fgauss: Levenberg-Marquardt fitting.

#include "support/arrays.h"
#include "stat.h"
#include "support/fatal.h"
#include "support/isa_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using tv_test::Matrix;
using tv_test::Vector;

namespace {

int model_calls = 0;

void counted_fgauss(float x, float *a, float *y, float *dyda, int na)
{
    ++model_calls;
    fgauss(x, a, y, dyda, na);
}

// Data, parameters and matrices of one fit, all guarded.
struct Problem {
    int ndata, ma;
    Vector x, y, sig, a;
    tv_test::Matrix covar, alpha;
    int *ia;
    float chisq = -1.0f, alamda = -1.0f;
    Problem(int nd, int m)
        : ndata(nd)
        , ma(m)
        , x(nd)
        , y(nd)
        , sig(nd)
        , a(m)
        , covar(m, m)
        , alpha(m, m)
        , ia(ivector(1, m))
    {
        for (int j = 1; j <= m; j++)
            ia[j] = 1;
    }
    ~Problem() { free_ivector(ia, 1, ma); }
    void step()
    {
        mrqmin(x.data(), y.data(), sig.data(), ndata, a.data(), ia, ma, covar.data(), alpha.data(),
               &chisq, counted_fgauss, &alamda);
    }
    bool guards() const
    {
        return x.guards_intact() && y.guards_intact() && sig.guards_intact() && a.guards_intact() &&
               covar.guards_intact() && alpha.guards_intact();
    }
};

// One Gaussian (2.385, 0.5, 1.25) sampled at 21 points in [-2, 3].
void one_gaussian(Problem &p)
{
    float params[4] = {0, 2.385f, 0.5f, 1.25f}, dyda[4];
    for (int i = 1; i <= p.ndata; i++) {
        p.x[i] = -2.0f + 0.25f * static_cast<float>(i - 1);
        fgauss(p.x[i], params, &p.y[i], dyda, 3);
        p.sig[i] = 0.1f;
    }
}

}  // namespace

TEST(NonlinearFitExact, GaussianModel)
{
    Vector a(3), dyda(3);
    a[1] = 2.0f;
    a[2] = 0.0f;
    a[3] = 1.0f;
    float y = -1.0f;
    fgauss(0.0f, a.data(), &y, dyda.data(), 3);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(dyda[1], 1.0f);
    EXPECT_EQ(dyda[2], 0.0f);
    EXPECT_EQ(dyda[3], 0.0f);
    fgauss(1.0f, a.data(), &y, dyda.data(), 3);
    EXPECT_FLOAT_EQ(y, 0.73575888f);
    EXPECT_FLOAT_EQ(dyda[1], 0.36787944f);
    EXPECT_FLOAT_EQ(dyda[2], 1.4715178f);
    EXPECT_FLOAT_EQ(dyda[3], 1.4715178f);
    EXPECT_TRUE(a.guards_intact() && dyda.guards_intact());
}

// The square of the scaled distance is a float product; only the exponential
// is taken in double. At these points a double square would change ex.
TEST(NonlinearFitExact, GaussianModelBits)
{
    const float B = 2.385f, E = 0.5f, G = 1.25f;
    float a[4] = {0.0f, B, E, G};
    for (float x : {-1.5f, -1.0f, 2.0f}) {
        SCOPED_TRACE(testing::Message() << "x = " << x);
        float y = 0.0f, dyda[4] = {};
        fgauss(x, a, &y, dyda, 3);
        const float arg = (x - E) / G;
        const float ex = static_cast<float>(std::exp(-static_cast<double>(arg * arg)));
        const float fac = static_cast<float>(static_cast<double>(B * ex) * 2.0 * arg);
        EXPECT_EQ(y, B * ex);
        EXPECT_EQ(dyda[1], ex);
        EXPECT_EQ(dyda[2], fac / G);
        EXPECT_EQ(dyda[3], fac * arg / G);
    }
}

// na = 5: the trailing pair belongs to no Gaussian; it is ignored and gets no
// derivative.
TEST(NonlinearFitExact, GaussianModelIgnoresTrailingPair)
{
    Vector a(5), dyda(5);
    a[1] = 2.0f;
    a[2] = 0.0f;
    a[3] = 1.0f;
    a[4] = 100.0f;
    a[5] = 0.0f;  // a width of 0 would make a NaN if it were used
    dyda[4] = dyda[5] = 2.385f;
    float y = 0.0f;
    fgauss(1.0f, a.data(), &y, dyda.data(), 5);
    EXPECT_FLOAT_EQ(y, 0.73575888f);
    EXPECT_EQ(dyda[4], 2.385f);
    EXPECT_EQ(dyda[5], 2.385f);
    EXPECT_TRUE(dyda.guards_intact());
}

TEST(NonlinearFitExact, CovarianceSpreading)
{
    int ia_store[4] = {0, 1, 0, 1};
    Matrix c(3, 3);
    c.set({1.5f, 0.25f, 9, 0.25f, 2.385f, 9, 9, 9, 9});
    covsrt(c.data(), 3, ia_store, 2);
    EXPECT_EQ(c.values(), (std::vector<float>{1.5f, 0, 0.25f, 0, 0, 0, 0.25f, 0, 2.385f}));

    int all[4] = {0, 1, 1, 1};
    std::vector<float> full = {1, 2, 3, 2, 4, 5, 3, 5, 6};
    c.set(full);
    covsrt(c.data(), 3, all, 3);
    EXPECT_EQ(c.values(), full);
    EXPECT_TRUE(c.guards_intact());
}

TEST(NonlinearFitExact, LambdaSequence)
{
    // Started away from the optimum: the first step lowers chi-square.
    Problem p(21, 3);
    one_gaussian(p);
    p.a[1] = 2.0f;
    p.a[2] = 0.4f;
    p.a[3] = 1.0f;
    p.step();
    EXPECT_EQ(p.alamda, static_cast<float>(static_cast<double>(0.001f) * 0.1));

    // Finishing: a, alpha and chisq untouched, the model is not called.
    std::vector<float> alpha = p.alpha.values();
    float a1 = p.a[1], chisq = p.chisq;
    model_calls = 0;
    p.alamda = 0.0f;
    p.step();
    EXPECT_EQ(model_calls, 0);
    EXPECT_EQ(p.alpha.values(), alpha);
    EXPECT_EQ(p.a[1], a1);
    EXPECT_EQ(p.chisq, chisq);

    // Started at the exact optimum: the trial's chi-square (0) equals the
    // current one, so the step is rejected.
    Problem q(21, 3);
    one_gaussian(q);
    q.a[1] = 2.385f;
    q.a[2] = 0.5f;
    q.a[3] = 1.25f;
    q.step();
    EXPECT_EQ(q.alamda, 0.001f * 10.0f);
    EXPECT_EQ(q.chisq, 0.0f);
    q.alamda = 0.0f;
    q.step();
    EXPECT_TRUE(p.guards() && q.guards());
}

namespace {

void proportional(float x, float *a, float *y, float *dyda, int)
{
    *y = a[1] * x;
    dyda[1] = x;
}

// Chi-square, beta and alpha of the one-parameter model at two points,
// accumulated in float as the fit does.
struct Sums {
    float alpha = 0.0f, beta = 0.0f, chisq = 0.0f;
};
Sums proportional_sums(const float *x, const float *y, const float *sig, float a)
{
    Sums s;
    for (int i = 1; i <= 2; i++) {
        const float sig2i = 1.0f / (sig[i] * sig[i]);
        const float dy = y[i] - a * x[i];
        const float wt = x[i] * sig2i;
        s.alpha += wt * x[i];
        s.beta += dy * wt;
        s.chisq += dy * dy * sig2i;
    }
    return s;
}

}  // namespace

// One fitted parameter makes every step of an iteration visible: the damped
// diagonal alpha * (1 + lambda) and the decrease of lambda are formed in
// double and rounded to float (doing either in float changes these bits).
TEST(NonlinearFitExact, OneParameterStepFollowsStatedPrecision)
{
    float x[3] = {0.0f, 0.75f, 2.385f}, y[3] = {0.0f, 1.6f, 4.7f}, sig[3] = {0.0f, 0.5f, 0.75f};
    float a[2] = {0.0f, 1.0f};
    int ia[2] = {0, 1};
    Matrix covar(1, 1), alpha(1, 1);
    float chisq = 0.0f, alamda = -1.0f;

    float expect_a = a[1], expect_lambda = 0.001f;
    Sums at = proportional_sums(x, y, sig, expect_a);
    for (int call = 0; call < 3; call++) {
        SCOPED_TRACE(testing::Message() << "call " << call);
        mrqmin(x, y, sig, 2, a, ia, 1, covar.data(), alpha.data(), &chisq, proportional, &alamda);

        const float damped = static_cast<float>(static_cast<double>(at.alpha) *
                                                (1.0 + static_cast<double>(expect_lambda)));
        const float trial = expect_a + at.beta * (1.0f / damped);
        const Sums next = proportional_sums(x, y, sig, trial);
        if (next.chisq < at.chisq) {
            expect_lambda = static_cast<float>(static_cast<double>(expect_lambda) * 0.1);
            expect_a = trial;
            at = next;
        } else {
            expect_lambda *= 10.0f;
        }
        EXPECT_EQ(a[1], expect_a);
        EXPECT_EQ(alamda, expect_lambda);
        EXPECT_EQ(chisq, at.chisq);
        EXPECT_EQ(alpha[1][1], at.alpha);
    }
    alamda = 0.0f;
    mrqmin(x, y, sig, 2, a, ia, 1, covar.data(), alpha.data(), &chisq, proportional, &alamda);
    EXPECT_EQ(covar[1][1], 1.0f / at.alpha);
    EXPECT_TRUE(covar.guards_intact() && alpha.guards_intact());
}

// Over a longer fit lambda falls by the double-rounded factor 0.1 at every
// accepted step (a float product drifts from it after a few steps) and
// rises by 10 at every rejected one.
TEST(NonlinearFitExact, LambdaTracksAcceptedSteps)
{
    Problem p(21, 3);
    one_gaussian(p);
    p.a[1] = 1.5f;
    p.a[2] = 0.1f;
    p.a[3] = 0.8f;
    float expect = 0.001f, previous = 0.0f;
    Vector beta(3);
    mrqcof(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 3, p.alpha.data(),
           beta.data(), &previous, fgauss);
    int accepted = 0;
    for (int it = 0; it < 12; it++) {
        SCOPED_TRACE(testing::Message() << "iteration " << it);
        p.step();
        if (p.chisq < previous) {
            expect = static_cast<float>(static_cast<double>(expect) * 0.1);
            accepted++;
        } else {
            expect *= 10.0f;
        }
        EXPECT_EQ(p.alamda, expect);
        previous = p.chisq;
    }
    EXPECT_GE(accepted, 5);
    p.alamda = 0.0f;
    p.step();
}

// A held parameter keeps its value; covar gets a zero row and column for it.
TEST(NonlinearFitExact, HeldParameter)
{
    Problem p(21, 3);
    one_gaussian(p);
    p.a[1] = 2.0f;
    p.a[2] = 0.5f;
    p.a[3] = 1.0f;
    p.ia[2] = 0;
    for (int it = 0; it < 20; it++)
        p.step();
    p.alamda = 0.0f;
    p.step();
    EXPECT_EQ(p.a[2], 0.5f);
    EXPECT_NEAR(p.a[1], 2.385f, 1e-4f);
    EXPECT_NEAR(p.a[3], 1.25f, 1e-4f);
    for (int j = 1; j <= 3; j++)
        EXPECT_TRUE(p.covar[2][j] == 0.0f && p.covar[j][2] == 0.0f);
    EXPECT_GT(p.covar[1][1], 0.0f);
    EXPECT_EQ(p.covar[1][3], p.covar[3][1]);
}

// mrqcof with the built-in model gives the portable path's bits on every fast
// path: every parameter free and with the centre held, at point counts that
// leave a last block of 64 points, of exactly one and of 36.
TEST(NonlinearFitExact, FastPathsGiveThePortableBits)
{
    for (int ndata : {64, 65, 100})
        for (int held : {0, 2}) {
            Problem p(ndata, 3);
            for (int i = 1; i <= ndata; i++) {  // every point within reach of the model
                p.x[i] = -2.0f + 0.0625f * static_cast<float>(i - 1);
                p.y[i] = 0.1f * static_cast<float>(i % 7);
                p.sig[i] = 0.1f + 0.01f * static_cast<float>(i % 3);
            }
            p.a[1] = 2.0f;
            p.a[2] = 0.4f;
            p.a[3] = 1.0f;
            p.ia[2] = held != 2;
            auto sums = [&p](tessivane::isa path) {
                const tessivane::isa before = tessivane::set_active_isa(path);
                Vector beta(3);
                std::vector<float> out(1);
                mrqcof(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 3,
                       p.alpha.data(), beta.data(), &out[0], fgauss);
                tessivane::set_active_isa(before);
                for (int j = 1; j <= 3 - !p.ia[2]; j++) {
                    out.push_back(beta[j]);
                    out.insert(out.end(), p.alpha[j] + 1, p.alpha[j] + j + 1);
                }
                return out;
            };
            const std::vector<float> portable = sums(tessivane::isa::portable);
            for (tessivane::isa path : tv_test::fast_paths()) {
                const std::vector<float> fast = sums(path);
                EXPECT_EQ(tv_test::first_bit_difference(portable.data(), fast.data(), fast.size()),
                          -1)
                    << ndata << " points, centre " << (held ? "held" : "free");
            }
        }
}

// Starting a new fit without finishing the previous one releases the old
// work storage (LeakSanitizer checks this) and sizes it for the new fit.
TEST(NonlinearFitExact, RestartWithoutFinishing)
{
    Problem small(21, 3);
    one_gaussian(small);
    small.a[1] = 2.0f;
    small.a[2] = 0.4f;
    small.a[3] = 1.0f;
    small.step();
    small.step();

    Problem big(21, 6);
    one_gaussian(big);
    float start[7] = {0, 2.0f, 0.4f, 1.0f, 0.0f, 1.0f, 1.0f};
    for (int j = 1; j <= 6; j++)
        big.a[j] = start[j];
    big.ia[4] = big.ia[5] = big.ia[6] = 0;  // a second Gaussian held at height 0
    for (int it = 0; it < 20; it++)
        big.step();
    big.alamda = 0.0f;
    big.step();
    EXPECT_NEAR(big.a[1], 2.385f, 1e-4f);
    EXPECT_TRUE(big.guards());
}

namespace {

// A quadratic whose derivatives have the wrong sign: every step climbs.
void uphill(float x, float *a, float *y, float *dyda, int)
{
    *y = a[1] + a[2] * x + a[3] * x * x;
    dyda[1] = -1.0f;
    dyda[2] = -x;
    dyda[3] = -x * x;
}

tessivane::lm_outcome run_from_far(const tessivane::lm_stopping_rule &rule,
                                   tessivane::lm_model model = fgauss)
{
    Problem p(21, 3);
    one_gaussian(p);
    p.a[1] = 1.0f;
    p.a[2] = -0.5f;
    p.a[3] = 2.0f;
    tessivane::lm_fit fit;
    return fit.run(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 3,
                   p.covar.data(), p.alpha.data(), &p.chisq, model, rule);
}

}  // namespace

// Each stopping rule of lm_fit::run on its own. From (1, -0.5, 2) calls 2, 3
// and 5 are rejected; calls 4, 6, 7, 8 and 9 lower chi-square from 1523, 759,
// 406, 102 and 0.19 by 764, 353, 304, 102 and 0.19.
TEST(NonlinearFitExact, RunStopsByEachRule)
{
    tessivane::lm_stopping_rule cap;
    cap.max_iterations = 7;  // every drop so far is large
    tessivane::lm_outcome how = run_from_far(cap);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::iteration_limit);
    EXPECT_EQ(how.iterations, 7);

    // Small below 100 + 0.4 chi-square: calls 6, 8 and 9. Call 7's large drop
    // resets the count, so the second small step in a row is call 9.
    tessivane::lm_stopping_rule quiet;
    quiet.absolute_drop = 100.0;
    quiet.relative_drop = 0.4;
    quiet.quiet_steps = 2;
    how = run_from_far(quiet);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::small_steps);
    EXPECT_EQ(how.iterations, 9);

    // Every step rejected: lambda passes the limit (reached exactly by call 3)
    // on call 4.
    tessivane::lm_stopping_rule limit;
    limit.max_lambda = 0.001f * 10.0f * 10.0f * 10.0f;
    how = run_from_far(limit, uphill);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::stalled);
    EXPECT_EQ(how.iterations, 4);
    EXPECT_EQ(how.lambda_at_stop, limit.max_lambda * 10.0f);
}

TEST(NonlinearFitDeathTest, MisuseWithoutFit)
{
    auto iterate = [] {
        Problem p(21, 3);
        one_gaussian(p);
        p.alamda = 0.001f;
        p.step();
    };
    auto finish = [] {
        Problem p(21, 3);
        one_gaussian(p);
        p.alamda = 0.0f;
        p.step();
    };
    TV_EXPECT_FATAL(iterate(), "mrqmin: no fit in progress (start one with alamda < 0)");
    TV_EXPECT_FATAL(finish(), "mrqmin: no fit in progress (start one with alamda < 0)");
}

// With every parameter held there is nothing to solve for; the start of such
// a fit is refused by the allocation of the empty right-hand side.
TEST(NonlinearFitDeathTest, NothingToFit)
{
    auto start = [] {
        Problem p(21, 3);
        one_gaussian(p);
        p.ia[1] = p.ia[2] = p.ia[3] = 0;
        p.step();
    };
    TV_EXPECT_FATAL(start(), "no rows in matrix()");
}

// Fitting a parameter the model has no derivative for (fgauss's trailing
// pair) makes the curvature matrix singular, also when the storage for the
// derivatives held other values before (the allocator's own bookkeeping
// overwrites the first 16 bytes of a freed block, hence parameter 5).
TEST(NonlinearFitDeathTest, ParameterWithoutDerivative)
{
    auto run = [] {
        Problem p(21, 5);
        one_gaussian(p);
        p.a[1] = 2.0f;
        p.a[2] = 0.4f;
        p.a[3] = 1.0f;
        p.a[4] = p.a[5] = 2.385f;
        p.ia[4] = 0;
        float *used[8];
        for (float *&v : used) {
            v = vector(1, 5);
            std::fill(v + 1, v + 6, 2.385f);
        }
        for (float *v : used)
            free_vector(v, 1, 5);
        p.step();
    };
    TV_EXPECT_FATAL(run(), "gaussj: Singular Matrix-2");
}

// Recovers a noisy sum of two Gaussians from a rough start.
TEST(NonlinearFitAccuracy, TwoGaussians)
{
    const unsigned seed = 2385;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    const float truth[7] = {0, 3.0f, -1.5f, 0.8f, 1.7f, 2.0f, 1.3f};
    const float start[7] = {0, 2.5f, -1.2f, 1.0f, 2.0f, 2.3f, 1.0f};
    Problem p(120, 6);
    for (int i = 1; i <= p.ndata; i++) {
        float dyda[7];
        p.x[i] = -4.0f + 8.0f * static_cast<float>(i - 1) / static_cast<float>(p.ndata - 1);
        fgauss(p.x[i], const_cast<float *>(truth), &p.y[i], dyda, 6);
        p.y[i] += noise(rng);
        p.sig[i] = 0.05f;
    }
    for (int j = 1; j <= 6; j++)
        p.a[j] = start[j];

    float previous = 0.0f;
    int quiet = 0;
    for (int it = 0; it < 100 && quiet < 3; it++) {
        p.step();
        quiet = (it > 0 && std::fabs(previous - p.chisq) < 1e-3f * p.chisq) ? quiet + 1 : 0;
        previous = p.chisq;
    }
    p.alamda = 0.0f;
    p.step();

    // Chi-square per degree of freedom near 1; every parameter within four
    // standard errors of the truth.
    double dof = p.ndata - 6;
    EXPECT_NEAR(p.chisq / dof, 1.0, 0.3);
    double worst = 0.0;
    for (int j = 1; j <= 6; j++) {
        double sd = std::sqrt(static_cast<double>(p.covar[j][j]));
        double z = std::fabs(p.a[j] - truth[j]) / sd;
        worst = std::max(worst, z);
        EXPECT_LE(z, 4.0) << "parameter " << j;
    }
    std::printf("chi2/dof %.3f, worst parameter off by %.2f standard errors\n", p.chisq / dof,
                worst);
    EXPECT_TRUE(p.guards());
}

namespace {

struct StartCase {
    const char *name;
    float peaks[6];  // (amplitude, centre, width) of up to two Gaussians
    int ma;
    bool shuffled;  // x not in order
};
std::ostream &operator<<(std::ostream &o, const StartCase &c)
{
    return o << c.name;
}

class AutomaticStart : public testing::TestWithParam<StartCase> {};

}  // namespace

// gauss_start from noiseless samples at x = 0..59: each peak's start within a
// third of its width and amplitude, and run() from it converges to the truth.
TEST_P(AutomaticStart, StartsNearEveryPeakAndConverges)
{
    const StartCase &c = GetParam();
    Problem p(60, c.ma);
    std::vector<float> truth(c.peaks, c.peaks + c.ma);
    truth.insert(truth.begin(), 0.0f);
    for (int i = 1; i <= p.ndata; i++) {
        p.x[i] = static_cast<float>(c.shuffled ? (i * 37) % 60 : i - 1);
        float dyda[7];
        fgauss(p.x[i], truth.data(), &p.y[i], dyda, c.ma);
        p.sig[i] = 0.01f;
    }
    gauss_start(p.x.data(), p.y.data(), p.ndata, p.a.data(), c.ma);
    for (int g = 1; g <= c.ma; g += 3) {
        const float width = std::fabs(truth[g + 2]);
        EXPECT_NEAR(p.a[g], truth[g], std::fabs(truth[g]) / 3) << "amplitude " << g;
        EXPECT_NEAR(p.a[g + 1], truth[g + 1], width / 3) << "centre " << g;
        EXPECT_NEAR(std::fabs(p.a[g + 2]), width, width / 3) << "width " << g;
    }
    tessivane::lm_fit fit;
    const tessivane::lm_outcome how =
        fit.run(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, c.ma,
                p.covar.data(), p.alpha.data(), &p.chisq, fgauss);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::converged) << how.message;
    for (int j = 1; j <= c.ma; j++)
        EXPECT_NEAR(std::fabs(p.a[j]), std::fabs(truth[j]), 1e-3f * std::fabs(truth[j]) + 1e-3f);
    EXPECT_TRUE(p.guards());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, AutomaticStart,
    testing::Values(StartCase{"middle", {2.385f, 30.0f, 6.0f}, 3, false},
                    StartCase{"left_edge", {1.5f, 1.0f, 8.0f}, 3, false},
                    StartCase{"narrow", {3.0f, 40.5f, 1.2f}, 3, false},
                    StartCase{"negative", {-0.75f, 22.0f, 5.0f}, 3, false},
                    StartCase{"two_peaks", {2.0f, 15.0f, 3.0f, 1.0f, 45.0f, 4.0f}, 6, false},
                    StartCase{"x_shuffled", {2.385f, 30.0f, 6.0f}, 3, true}),
    [](const testing::TestParamInfo<StartCase> &i) { return std::string(i.param.name); });

// Input a fit cannot use is refused before any model call, naming it; a start
// the model is flat at (zero amplitude: the curvature is singular) is
// degenerate, and with retry the fit starts again from gauss_start and converges.
TEST(NonlinearFitExact, RunRefusesBadInputAndRetriesADegenerateStart)
{
    tessivane::scoped_error_mode throwing(tessivane::error_mode::throw_exception);
    Problem p(21, 3);
    one_gaussian(p);
    p.sig[3] = 0.0f;
    p.a[1] = 1.0f, p.a[2] = 0.0f, p.a[3] = 1.0f;
    model_calls = 0;
    tessivane::lm_fit fit;
    tessivane::lm_outcome how =
        fit.run(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 3, p.covar.data(),
                p.alpha.data(), &p.chisq, counted_fgauss);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::refused);
    EXPECT_STREQ(how.message, "sig is not positive at point 3 of 1..21");
    EXPECT_EQ(model_calls, 0);
    EXPECT_TRUE(std::isnan(p.a[2]) && std::isnan(p.covar[3][3]) && std::isnan(p.chisq));

    p.sig[3] = 0.1f;
    p.a[1] = 0.0f, p.a[2] = 0.5f, p.a[3] = 1.25f;
    how = fit.run(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 3,
                  p.covar.data(), p.alpha.data(), &p.chisq, fgauss);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::degenerate);
    EXPECT_FALSE(how.retried);
    EXPECT_TRUE(std::isnan(p.covar[1][1]));

    tessivane::lm_stopping_rule retry;
    retry.retry = true;
    p.a[1] = 0.0f, p.a[2] = 0.5f, p.a[3] = 1.25f;
    how = fit.run(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 3,
                  p.covar.data(), p.alpha.data(), &p.chisq, fgauss, retry);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::converged) << how.message;
    EXPECT_TRUE(how.retried);
    EXPECT_NEAR(p.a[1], 2.385f, 1e-4f);
    EXPECT_TRUE(p.guards());
}

namespace {

// min over k of 1 / (C^-1)_kk for C, the symmetric m x m matrix c scaled to
// unit diagonal, by Gauss-Jordan in double: the weakest parameter's 1 - R^2.
double weakest_independence(std::vector<double> c, int m)
{
    std::vector<double> d(m), inv(static_cast<std::size_t>(m) * m, 0.0);
    for (int j = 0; j < m; j++)
        d[j] = std::sqrt(c[j * m + j]);
    for (int j = 0; j < m; j++) {
        for (int k = 0; k < m; k++)
            c[j * m + k] /= d[j] * d[k];
        inv[j * m + j] = 1.0;
    }
    for (int col = 0; col < m; col++) {
        const double pivot = c[col * m + col];
        for (int k = 0; k < m; k++)
            c[col * m + k] /= pivot, inv[col * m + k] /= pivot;
        for (int r = 0; r < m; r++) {
            const double f = r == col ? 0.0 : c[r * m + col];
            for (int k = 0; k < m; k++)
                c[r * m + k] -= f * c[col * m + k], inv[r * m + k] -= f * inv[col * m + k];
        }
    }
    double least = 1.0;
    for (int k = 0; k < m; k++)
        least = std::min(least, 1.0 / inv[k * m + k]);
    return least;
}

}  // namespace

// The independence run() reports is the weakest 1 - R^2 = 1 / (C^-1)_kk: for
// fgauss from its derivatives in double at the fitted parameters, for a user
// model (the same Gaussian through another function) from the float alpha.
// Two overlapping peaks make the six parameters unequally entangled.
TEST(NonlinearFitExact, IndependenceIsTheWeakestParametersShare)
{
    const float truth[7] = {0, 3.0f, -1.0f, 1.2f, 2.0f, 0.6f, 1.5f};
    Problem p(80, 6);
    for (int i = 1; i <= p.ndata; i++) {
        float dyda[7];
        p.x[i] = -4.0f + 0.1f * static_cast<float>(i - 1);
        fgauss(p.x[i], const_cast<float *>(truth), &p.y[i], dyda, 6);
        p.y[i] += 0.01f * static_cast<float>((i * 7919) % 13 - 6);
        p.sig[i] = 0.05f;
    }
    for (tessivane::lm_model model : {fgauss, counted_fgauss}) {
        for (int j = 1; j <= 6; j++)
            p.a[j] = truth[j] * 1.05f;
        tessivane::lm_fit fit;
        const tessivane::lm_outcome how =
            fit.run(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 6,
                    p.covar.data(), p.alpha.data(), &p.chisq, model);
        ASSERT_EQ(how.stop, tessivane::lm_outcome::converged) << how.message;
        std::vector<double> c(36, 0.0);
        if (model == fgauss) {
            for (int i = 1; i <= p.ndata; i++) {
                double d[6];
                for (int g = 0; g < 6; g += 3) {
                    const double width = p.a[g + 3], u = (p.x[i] - double(p.a[g + 2])) / width;
                    const double e = std::exp(-u * u), twice = 2.0 * p.a[g + 1] * e * u / width;
                    d[g] = e, d[g + 1] = twice, d[g + 2] = twice * u;
                }
                for (int j = 0; j < 6; j++)
                    for (int k = 0; k < 6; k++)
                        c[j * 6 + k] += d[j] * d[k] / (double(p.sig[i]) * p.sig[i]);
            }
        } else {
            for (int j = 0; j < 6; j++)
                for (int k = 0; k < 6; k++)
                    c[j * 6 + k] = p.alpha[j + 1][k + 1];
        }
        const double expected = weakest_independence(c, 6);
        EXPECT_GT(expected, 0.0);
        EXPECT_LT(expected, 0.5);
        EXPECT_NEAR(how.independence, expected, 1e-9 * expected)
            << (model == fgauss ? "fgauss" : "user model");
    }
    EXPECT_TRUE(p.guards());
}

// gauss_start on peaks at two to three times the noise (100 points, noise
// 0.2, width 8): the widest window that still resolves the peak finds it, not
// a noise spike on it or a dip beside it. Every start has the right sign, its
// centre within a width and its width within a factor of 2.5 of the truth,
// and run() from it reaches the chi-square of run() from the truth.
TEST(NonlinearFitAccuracy, AutomaticStartOnWeakPeaks)
{
    std::mt19937 rng(29);
    std::normal_distribution<double> noise(0.0, 0.2);
    for (int row = 0; row < 20; row++) {
        const double amplitude = 0.4 + 0.01 * row, centre = 25.0 + 2.5 * row, width = 8.0;
        Problem p(100, 3);
        for (int i = 1; i <= p.ndata; i++) {
            const double u = (i - 1 - centre) / width;
            p.x[i] = static_cast<float>(i - 1);
            p.y[i] = static_cast<float>(amplitude * std::exp(-u * u) + noise(rng));
            p.sig[i] = 0.2f;
        }
        SCOPED_TRACE(testing::Message() << "row " << row);
        float best = 0.0f;
        for (bool automatic : {false, true}) {
            if (automatic) {
                gauss_start(p.x.data(), p.y.data(), p.ndata, p.a.data(), 3);
                EXPECT_GT(p.a[1], 0.0f);
                EXPECT_NEAR(p.a[2], centre, width);
                EXPECT_GT(p.a[3], width / 2);
                EXPECT_LT(p.a[3], width * 2.5);
            } else {
                p.a[1] = float(amplitude), p.a[2] = float(centre), p.a[3] = float(width);
            }
            tessivane::lm_fit fit;
            const tessivane::lm_outcome how =
                fit.run(p.x.data(), p.y.data(), p.sig.data(), p.ndata, p.a.data(), p.ia, 3,
                        p.covar.data(), p.alpha.data(), &p.chisq, fgauss);
            EXPECT_EQ(how.stop, tessivane::lm_outcome::converged) << how.message;
            if (automatic) {
                EXPECT_NEAR(p.chisq, best, 1e-3f);
            }
            best = p.chisq;
        }
    }
}

// A start from data holding NaN or infinity, in x or y, in order or not, is
// NaN; a trailing parameter past the last whole triple is 0; a flat series
// (no peak) starts at amplitude 0, its centre and width finite.
TEST(NonlinearFitExact, AutomaticStartOfUnusableData)
{
    const float inf = INFINITY, nan = NAN;
    struct Case {
        const char *name;
        int index;
        bool in_x, shuffled;
        float value;
    } cases[] = {{"NaN y", 7, false, false, nan},           {"infinite y", 1, false, true, -inf},
                 {"NaN x in order", 20, true, false, nan},  {"NaN x shuffled", 3, true, true, nan},
                 {"infinite last x", 40, true, false, inf}, {"finite", 0, false, false, 0.0f}};
    for (const Case &c : cases) {
        Problem p(40, 4);
        for (int i = 1; i <= p.ndata; i++) {
            p.x[i] = static_cast<float>(c.shuffled ? (i * 17) % 40 : i);
            const float u = (p.x[i] - 20.0f) / 4.0f;
            p.y[i] = 2.0f * std::exp(-u * u);
        }
        if (c.index > 0)
            (c.in_x ? p.x : p.y)[c.index] = c.value;
        gauss_start(p.x.data(), p.y.data(), p.ndata, p.a.data(), 4);
        SCOPED_TRACE(c.name);
        if (c.index == 0) {
            EXPECT_NEAR(p.a[1], 2.0f, 2.0f / 3);
            EXPECT_NEAR(p.a[2], 20.0f, 4.0f / 3);
            EXPECT_NEAR(p.a[3], 4.0f, 4.0f / 3);
            EXPECT_EQ(p.a[4], 0.0f);
        } else {
            for (int j = 1; j <= 4; j++)
                EXPECT_TRUE(std::isnan(p.a[j])) << j;
        }
        EXPECT_TRUE(p.guards());
    }
    Problem flat(40, 3);
    for (int i = 1; i <= flat.ndata; i++)
        flat.x[i] = static_cast<float>(i), flat.y[i] = 0.0f;
    gauss_start(flat.x.data(), flat.y.data(), flat.ndata, flat.a.data(), 3);
    EXPECT_EQ(flat.a[1], 0.0f);
    EXPECT_TRUE(std::isfinite(flat.a[2]) && flat.a[3] > 0.0f);
}
