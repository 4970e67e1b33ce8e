// State that threads own: random streams, Levenberg-Marquardt fits and SVD convergence run
// on four threads at once give bit for bit what the process-wide forms give for the same
// calls on one thread (ThreadOwnedState), and the fit driver finds a known optimum
// (ThreadOwnedAccuracy), and a fatal exit leaves the shared state intact for threads still
// working (ExitUnderLoad). The ThreadSanitizer job of CI runs this program.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "errors.h"
#include "stat.h"
#include "support/fatal.h"

namespace {

constexpr int kThreads = 4;

template <typename Work>
void on_threads(Work work)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back(work, t);
    for (auto &th : threads)
        th.join();
}

bool same_bits(const std::vector<float> &a, const std::vector<float> &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A mixed pattern of draws: uniform, Gaussian pairs split across uniform draws, and a
// reseed while a Gaussian deviate waits. The pattern draws an even number of Gaussian
// deviates, so the process-wide generator has none waiting afterwards.
template <typename Uniform, typename Gaussian, typename Reseed>
std::vector<float> draw_pattern(long seed, Uniform u, Gaussian g, Reseed reseed)
{
    std::vector<float> out;
    for (int k = 0; k < 3000; k++) {
        if (k == 1502)
            reseed(-seed - 1);  // 1001 drawn, one waiting: it comes first, the reseed after
        out.push_back(k % 3 == 0 ? u() : g());
    }
    return out;
}

std::vector<float> process_wide_draws(long seed)
{
    long idum = seed;
    return draw_pattern(
        seed, [&] { return ran1(&idum); }, [&] { return gasdev(&idum); },
        [&](long s) { idum = s; });
}

TEST(ThreadOwnedState, RandomStreamsMatchRan1AndGasdev)
{
    const long seeds[kThreads] = {-1, -2385, 0, -987654321};
    std::vector<float> expected[kThreads], got[kThreads];
    for (int t = 0; t < kThreads; t++)
        expected[t] = process_wide_draws(seeds[t]);
    on_threads([&](int t) {
        tessivane::ran1_stream s(seeds[t]);
        got[t] = draw_pattern(
            seeds[t], [&] { return s.uniform(); }, [&] { return s.gaussian(); },
            [&](long v) { s.reseed(v); });
    });
    for (int t = 0; t < kThreads; t++)
        EXPECT_TRUE(same_bits(expected[t], got[t])) << "seed " << seeds[t];
}

// Two Gaussians sampled at 41 points with deterministic ripple, a different start per thread.
struct FitProblem {
    float x[42], y[42], sig[42], a[7];
    int ia[7] = {0, 1, 1, 1, 1, 1, 1};
    float **covar = matrix(1, 6, 1, 6);
    float **alpha = matrix(1, 6, 1, 6);
    float chisq = 0.0f, alamda = -1.0f;
    explicit FitProblem(int variant)
    {
        float truth[7] = {0, 2.385f, -1.0f, 0.8f, 1.5f, 1.5f, 0.6f}, dyda[7];
        for (int i = 1; i <= 41; i++) {
            x[i] = -4.0f + 0.2f * static_cast<float>(i - 1);
            fgauss(x[i], truth, &y[i], dyda, 6);
            y[i] += 0.01f * std::sin(static_cast<float>(7 * i + variant));
            sig[i] = 0.05f;
        }
        const float start[7] = {0, 2.0f, -0.8f, 1.0f, 1.2f, 1.3f, 0.8f};
        for (int j = 1; j <= 6; j++)
            a[j] = start[j] * (1.0f + 0.03f * static_cast<float>(variant));
        ia[5] = variant % 2;  // hold a centre in half of the problems
        for (int i = 1; i <= 6; i++)
            for (int j = 1; j <= 6; j++)
                covar[i][j] = alpha[i][j] = 0.0f;  // a held parameter's rows stay as set here
    }
    ~FitProblem()
    {
        free_matrix(alpha, 1, 6, 1, 6);
        free_matrix(covar, 1, 6, 1, 6);
    }
    // Everything a fit leaves behind, for bitwise comparison.
    std::vector<float> outcome() const
    {
        std::vector<float> r(a + 1, a + 7);
        for (int i = 1; i <= 6; i++)
            for (int j = 1; j <= 6; j++) {
                r.push_back(covar[i][j]);
                r.push_back(alpha[i][j]);
            }
        r.push_back(chisq);
        r.push_back(alamda);
        return r;
    }
};

template <typename Step>
std::vector<float> drive(FitProblem &p, Step step)
{
    std::vector<float> trace;
    for (int it = 0; it < 12; it++) {
        step(p);
        trace.push_back(p.chisq);
        trace.push_back(p.alamda);
    }
    p.alamda = 0.0f;
    step(p);
    std::vector<float> end = p.outcome();
    trace.insert(trace.end(), end.begin(), end.end());
    return trace;
}

TEST(ThreadOwnedState, FitObjectsMatchMrqmin)
{
    std::vector<float> expected[kThreads], got[kThreads];
    for (int t = 0; t < kThreads; t++) {
        FitProblem p(t);
        expected[t] = drive(p, [](FitProblem &q) {
            mrqmin(q.x, q.y, q.sig, 41, q.a, q.ia, 6, q.covar, q.alpha, &q.chisq, fgauss,
                   &q.alamda);
        });
    }
    on_threads([&](int t) {
        FitProblem p(t);
        tessivane::lm_fit fit;
        got[t] = drive(p, [&](FitProblem &q) {
            fit.step(q.x, q.y, q.sig, 41, q.a, q.ia, 6, q.covar, q.alpha, &q.chisq, fgauss,
                     &q.alamda);
        });
    });
    for (int t = 0; t < kThreads; t++)
        EXPECT_TRUE(same_bits(expected[t], got[t])) << "problem " << t;
}

// The driver on four threads gives the same bits as on one, and stops by its rule.
TEST(ThreadOwnedState, FitDriverIsReproducible)
{
    std::vector<float> expected[kThreads], got[kThreads];
    tessivane::lm_outcome how[kThreads];
    for (int t = 0; t < kThreads; t++) {
        FitProblem p(t);
        tessivane::lm_fit fit;
        fit.run(p.x, p.y, p.sig, 41, p.a, p.ia, 6, p.covar, p.alpha, &p.chisq, fgauss);
        expected[t] = p.outcome();
    }
    on_threads([&](int t) {
        FitProblem p(t);
        tessivane::lm_fit fit;
        how[t] = fit.run(p.x, p.y, p.sig, 41, p.a, p.ia, 6, p.covar, p.alpha, &p.chisq, fgauss);
        got[t] = p.outcome();
    });
    for (int t = 0; t < kThreads; t++) {
        EXPECT_TRUE(same_bits(expected[t], got[t])) << "problem " << t;
        EXPECT_EQ(how[t].stop, tessivane::lm_outcome::converged) << "problem " << t;
    }
}

// Half the matrices hold a NaN, which no QR sweep resolves: their decompositions do not
// converge. Each thread must see its own call's convergence, while the others run.
struct SvdRun {
    std::vector<float> bits;
    std::vector<bool> converged;
};

SvdRun decompose_series(int variant)
{
    SvdRun r;
    float **a = matrix(1, 5, 1, 4);
    float **v = matrix(1, 4, 1, 4);
    float w[5];
    for (int k = 0; k < 60; k++) {
        for (int i = 1; i <= 5; i++)
            for (int j = 1; j <= 4; j++)
                a[i][j] = std::cos(static_cast<float>(i * 7 + j * 3 + k + 11 * variant));
        if (k % 2 == 1)
            a[2][3] = std::numeric_limits<float>::quiet_NaN();
        svdcmp(a, 5, 4, w, v);
        r.converged.push_back(tessivane::last_svd_converged());
        r.bits.insert(r.bits.end(), w + 1, w + 5);
    }
    free_matrix(v, 1, 4, 1, 4);
    free_matrix(a, 1, 5, 1, 4);
    return r;
}

TEST(ThreadOwnedState, SvdConvergenceIsPerCall)
{
    SvdRun expected[kThreads], got[kThreads];
    for (int t = 0; t < kThreads; t++) {
        expected[t] = decompose_series(t);
        // The process-wide flag still reports the latest call.
        EXPECT_EQ(NoConvergenceInSVD, !expected[t].converged.back());
    }
    on_threads([&](int t) { got[t] = decompose_series(t); });
    for (int t = 0; t < kThreads; t++) {
        EXPECT_TRUE(same_bits(expected[t].bits, got[t].bits)) << "series " << t;
        EXPECT_EQ(expected[t].converged, got[t].converged) << "series " << t;
        for (size_t k = 0; k < got[t].converged.size(); k++)
            EXPECT_EQ(got[t].converged[k], k % 2 == 0) << "series " << t << " call " << k;
    }
}

// Each thread chooses its own error mode: failures are thrown where asked and nowhere else.
TEST(ThreadOwnedState, ErrorModesAreIndependent)
{
    int caught[kThreads] = {};
    on_threads([&](int t) {
        tessivane::scoped_error_mode guard(tessivane::error_mode::throw_exception);
        for (int k = 0; k < 50; k++) {
            float **a = matrix(1, 2, 1, 2), **b = matrix(1, 2, 1, 1);
            a[1][1] = a[1][2] = a[2][1] = a[2][2] = static_cast<float>(t);
            b[1][1] = b[2][1] = 1.0f;
            try {
                gaussj(a, 2, b, 1);
            } catch (const tessivane::numerics_error &) {
                caught[t]++;
            }
            free_matrix(b, 1, 2, 1, 1);
            free_matrix(a, 1, 2, 1, 2);
        }
    });
    EXPECT_EQ(tessivane::get_error_mode(), tessivane::error_mode::exit_process);
    for (int t = 0; t < kThreads; t++)
        EXPECT_EQ(caught[t], 50) << "thread " << t;  // equal rows: always singular
}

// The driver's optimum agrees with a long mrqmin run to float accuracy.
TEST(ThreadOwnedAccuracy, DriverReachesTheOptimum)
{
    FitProblem driven(1), long_run(1);
    tessivane::lm_fit fit;
    const tessivane::lm_outcome how =
        fit.run(driven.x, driven.y, driven.sig, 41, driven.a, driven.ia, 6, driven.covar,
                driven.alpha, &driven.chisq, fgauss);
    for (int it = 0; it < 200; it++)
        mrqmin(long_run.x, long_run.y, long_run.sig, 41, long_run.a, long_run.ia, 6, long_run.covar,
               long_run.alpha, &long_run.chisq, fgauss, &long_run.alamda);
    long_run.alamda = 0.0f;
    mrqmin(long_run.x, long_run.y, long_run.sig, 41, long_run.a, long_run.ia, 6, long_run.covar,
           long_run.alpha, &long_run.chisq, fgauss, &long_run.alamda);
    EXPECT_EQ(how.stop, tessivane::lm_outcome::converged);
    EXPECT_LT(how.iterations, 100);
    EXPECT_NEAR(driven.chisq, long_run.chisq, 1e-3 * long_run.chisq);
    for (int j = 1; j <= 6; j++)
        EXPECT_NEAR(driven.a[j], long_run.a[j], 1e-3f) << "parameter " << j;
}

// One thread ends the process through nrerror() in the default mode while another keeps
// transforming and fitting: the twiddle cache and the process-wide fit outlive exit(), so the
// worker reads no freed table and ThreadSanitizer sees no race with the exit-time clean-up.
TEST(ExitUnderLoad, SharedStateOutlivesExit)
{
    static std::atomic<int> rounds{0};
    TV_EXPECT_FATAL(
        {
            std::thread([] {
                FitProblem p(2);
                std::vector<float> data(2 * 256 + 1, 0.25f);
                for (;; rounds++) {
                    four1(data.data(), 256, rounds % 2 ? 1 : -1);
                    p.alamda = rounds % 2 ? 0.0f : -1.0f;  // start, then finish
                    mrqmin(p.x, p.y, p.sig, 41, p.a, p.ia, 6, p.covar, p.alpha, &p.chisq, fgauss,
                           &p.alamda);
                }
            }).detach();
            while (rounds < 3)
                std::this_thread::yield();
            nrerror(const_cast<char *>("exit under load"));
        },
        "exit under load");
}

}  // namespace
