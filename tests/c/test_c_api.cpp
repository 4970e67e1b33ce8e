// The C interface against the C++ routines: every tv_ routine, run on the same inputs as its C++
// routine, writes the same bits everywhere (CApiBits); a failure comes back as a status and the
// exact message of the C++ routine, and the process goes on (CApiErrors). The C99 side of the
// interface is tests/c/test_c_api.c.
#include "tessivane_c.h"

#include "errors.h"
#include "stat.h"
#include "support/bits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr long N = 24;  // data points; parameters and small matrices are 1..6 or 0..4

// Every array and scalar a routine of the table may read or write, filled from a fixed seed.
struct Work {
    float *x = vector(1, N), *y = vector(1, N), *sig = vector(1, N), *b = vector(1, N);
    float *a = vector(1, 6), *w = vector(1, 6), *d = vector(1, 6), *z = vector(0, 4);
    float *data = vector(1, 64);
    int *ia = ivector(1, 6);
    std::vector<unsigned short> us = std::vector<unsigned short>(N + 1);  // 1..N
    float **u = matrix(1, N, 1, 6), **v = matrix(1, 6, 1, 6), **covar = matrix(1, 6, 1, 6);
    float **alpha = matrix(1, 6, 1, 6), **sq = matrix(1, 5, 1, 5), **rhs = matrix(1, 5, 1, 2);
    float **p = matrix(0, 4, 0, 4), **q = matrix(0, 4, 0, 4), **r = matrix(0, 4, 0, 4);
    float ***t = f3tensor(1, 2, 1, 4, 1, 8), **speq = matrix(1, 2, 1, 8);
    unsigned long nn[3] = {0, 4, 8};
    float s[12] = {};
    double dd = 0.0;
    int k = 0;
    long idum = -7;
    unsigned short u1 = 0;

    Work()
    {
        unsigned long long state = 2385;
        auto next = [&] {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<float>(state >> 40) * 0x1p-24f;
        };
        for (long i = 1; i <= N; i++) {
            x[i] = 0.4f * i + 0.1f * next();
            y[i] = 2.5f * std::exp(-std::pow((x[i] - 4.2f) / 1.3f, 2.0f)) + 0.05f * next();
            sig[i] = 0.1f + 0.1f * next();
            b[i] = next();
            us[static_cast<std::size_t>(i)] = static_cast<unsigned short>(65535.0f * next());
        }
        const float start[7] = {0, 2.0f, 4.0f, 1.5f, 0.3f, 8.0f, 1.0f};
        for (long i = 1; i <= 6; i++) {
            a[i] = start[i];
            ia[i] = i != 5;
            w[i] = d[i] = next() + 0.5f;
            for (long j = 1; j <= 6; j++)
                v[i][j] = covar[i][j] = alpha[i][j] = next();
        }
        for (long i = 1; i <= 64; i++)
            data[i] = next() - 0.5f;
        for (long i = 0; i <= 4; i++) {
            z[i] = next();
            for (long j = 0; j <= 4; j++)
                for (float **m : {p, q, r})
                    m[i][j] = next();
        }
        for (long i = 1; i <= 5; i++)
            for (long j = i; j <= 5; j++)
                sq[i][j] = sq[j][i] = i == j ? 4.0f + next() : next() - 0.5f;
        for (long i = 1; i <= N; i++)
            for (long j = 1; j <= 6; j++)
                u[i][j] = next();
        for (long i = 1; i <= 10; i++)
            rhs[1 + (i - 1) / 2][1 + (i - 1) % 2] = next();
        for (long i = 0; i < 64; i++)
            (&t[1][1][1])[i] = next() - 0.5f;
        for (long j = 1; j <= 8; j++)
            speq[1][j] = speq[2][j] = 0.0f;
    }
    ~Work()
    {
        for (float *f : {x, y, sig, b})
            free_vector(f, 1, N);
        for (float *f : {a, w, d})
            free_vector(f, 1, 6);
        free_vector(z, 0, 4), free_vector(data, 1, 64), free_ivector(ia, 1, 6);
        free_matrix(u, 1, N, 1, 6), free_matrix(sq, 1, 5, 1, 5), free_matrix(rhs, 1, 5, 1, 2);
        for (float **m : {v, covar, alpha})
            free_matrix(m, 1, 6, 1, 6);
        for (float **m : {p, q, r})
            free_matrix(m, 0, 4, 0, 4);
        free_f3tensor(t, 1, 2, 1, 4, 1, 8), free_matrix(speq, 1, 2, 1, 8);
    }
    std::uint64_t hash() const
    {
        tv_test::BitHash h;
        for (float *f : {x, y, sig, b})
            h.range(f, 1, N);
        for (float *f : {a, w, d})
            h.range(f, 1, 6);
        h.range(z, 0, 4), h.range(data, 1, 64), h.range(s, 0, 11), h.range(&t[1][1][1], 0, 63);
        h.bytes(&ia[1], 6 * sizeof(int)), h.bytes(&us[1], N * sizeof(short));
        h.range(u, 1, N, 1, 6), h.range(sq, 1, 5, 1, 5), h.range(rhs, 1, 5, 1, 2);
        for (float **m : {v, covar, alpha})
            h.range(m, 1, 6, 1, 6);
        for (float **m : {p, q, r})
            h.range(m, 0, 4, 0, 4);
        h.range(speq, 1, 2, 1, 8), h(dd), h(static_cast<long long>(k)),
            h(static_cast<long long>(idum));
        h(static_cast<long long>(u1));
        return h.value();
    }
};

// c: through the C interface, which must answer TV_OK; otherwise the C++ routine itself.
#define BOTH(c_call, cxx_call)                                                                     \
    do {                                                                                           \
        if (c) {                                                                                   \
            ASSERT_EQ(c_call, TV_OK) << tv_last_error();                                           \
        } else {                                                                                   \
            cxx_call;                                                                              \
        }                                                                                          \
    } while (0)
#define SAME(name, ...) BOTH(tv_##name(__VA_ARGS__), name(__VA_ARGS__))
#define VALUE(out, name, ...) BOTH(tv_##name(__VA_ARGS__, &(out)), (out) = name(__VA_ARGS__))

void model(float x, float *a, float *y, float *dyda, int na)
{
    fgauss(x, a, y, dyda, na);
}

struct Routine {
    const char *name;
    void (*run)(Work &w, bool c);
};

const Routine routines[] = {
    {"gammln", [](Work &w, bool c) { VALUE(w.dd, gammln, 4.385); }},
    {"gammq", [](Work &w, bool c) { VALUE(w.s[0], gammq, 2.385f, 1.7f); }},
    {"gser", [](Work &w, bool c) { SAME(gser, &w.s[0], 2.385f, 1.7f, &w.s[1]); }},
    {"gcf", [](Work &w, bool c) { SAME(gcf, &w.s[0], 2.385f, 5.7f, &w.s[1]); }},
    {"betai", [](Work &w, bool c) { VALUE(w.s[0], betai, 2.385f, 0.5f, 0.3f); }},
    {"betacf", [](Work &w, bool c) { VALUE(w.s[0], betacf, 2.385, 0.5, 0.3); }},
    {"erfcc", [](Work &w, bool c) { VALUE(w.s[0], erfcc, 0.385f); }},
    {"probks", [](Work &w, bool c) { VALUE(w.s[0], probks, 0.885f); }},
    {"avevar", [](Work &w, bool c) { SAME(avevar, w.x, N, &w.s[0], &w.s[1]); }},
    {"ttest", [](Work &w, bool c) { SAME(ttest, w.x, 10, w.y, 14, &w.s[0], &w.s[1]); }},
    {"tutest", [](Work &w, bool c) { SAME(tutest, w.x, 10, w.y, 14, &w.s[0], &w.s[1]); }},
    {"kstwo", [](Work &w, bool c) { SAME(kstwo, w.y, 10, w.b, 14, &w.s[0], &w.s[1]); }},
    {"pearsn", [](Work &w, bool c) { SAME(pearsn, w.x, w.y, N, &w.s[0], &w.s[1], &w.s[2]); }},
    {"pearsn_prob",
     [](Work &w, bool c) { SAME(pearsn_prob, w.x, w.b, N, &w.s[0], &w.s[1], &w.s[2]); }},
    {"spear",
     [](Work &w, bool c) { SAME(spear, w.x, w.y, N, &w.s[0], &w.s[1], &w.s[2], &w.s[3], &w.s[4]); }},
    {"pearsn_inc",
     [](Work &w, bool c) {
         for (long i = 1; i <= 5; i++)
             BOTH(tv_pearsn_inc(w.x[i], w.y[i], &w.s[0], &w.s[1], &w.s[2], &w.s[3], &w.s[4],
                                &w.s[5], &w.s[6]),
                  pearsn_inc(w.x[i], w.y[i], w.s[0], w.s[1], w.s[2], w.s[3], w.s[4], w.s[5],
                             &w.s[6]));
     }},
    {"regr_inc",
     [](Work &w, bool c) {
         for (long i = 1; i <= 5; i++)
             BOTH(tv_regr_inc(w.x[i], w.y[i], &w.s[0], &w.s[1], &w.s[2], &w.s[3], &w.s[4],
                              &w.s[5], &w.s[6], &w.s[7], &w.s[8]),
                  regr_inc(w.x[i], w.y[i], w.s[0], w.s[1], w.s[2], w.s[3], w.s[4], w.s[5],
                           &w.s[6], &w.s[7], &w.s[8]));
     }},
    {"t_to_p", [](Work &w, bool c) { VALUE(w.s[0], t_to_p, 2.385f, 7); }},
    {"r_to_p", [](Work &w, bool c) { VALUE(w.s[0], r_to_p, 0.385f, 17); }},
    {"F_to_p", [](Work &w, bool c) { VALUE(w.s[0], F_to_p, 2.385f, 3, 17); }},
    {"p_to_t", [](Work &w, bool c) { VALUE(w.s[0], p_to_t, 0.0385f, 7); }},
    {"p_to_r", [](Work &w, bool c) { VALUE(w.s[0], p_to_r, 0.0385f, 17); }},
    {"p_to_F", [](Work &w, bool c) { VALUE(w.s[0], p_to_F, 0.0385f, 3, 17); }},
    {"p_to_z", [](Work &w, bool c) { VALUE(w.s[0], p_to_z, 0.0385f); }},
    {"welch_df", [](Work &w, bool c) { VALUE(w.s[0], welch_df, w.x, 10, w.y, 14); }},
    {"t_to_p_real", [](Work &w, bool c) { VALUE(w.s[0], t_to_p_real, 2.385f, 7.5f); }},
    {"kstwo_prob", [](Work &w, bool c) { VALUE(w.s[0], kstwo_prob, 0.385f, 10, 14); }},
    {"kstwo_prob_exact", [](Work &w, bool c) { VALUE(w.s[0], kstwo_prob_exact, 0.385f, 10, 14); }},
    {"four1", [](Work &w, bool c) { SAME(four1, w.data, 32, -1); }},
    {"realft", [](Work &w, bool c) { SAME(realft, w.data, 64, 1); }},
    {"fourn", [](Work &w, bool c) { SAME(fourn, w.data, w.nn, 2, 1); }},
    {"rlft3", [](Work &w, bool c) { SAME(rlft3, w.t, w.speq, 2, 4, 8, 1); }},
    {"sort", [](Work &w, bool c) { SAME(sort, N, w.b); }},
    {"sort2", [](Work &w, bool c) { SAME(sort2, N, w.b, w.x); }},
    {"hpsort", [](Work &w, bool c) { SAME(hpsort, N, w.b); }},
    {"crank", [](Work &w, bool c) { SAME(crank, N, w.x, &w.s[0]); }},
    {"select", [](Work &w, bool c) { VALUE(w.s[0], select, 7, N, w.b); }},
    {"select_ushort", [](Work &w, bool c) { VALUE(w.u1, select_ushort, 7, N, w.us.data()); }},
    {"ran1", [](Work &w, bool c) { VALUE(w.s[0], ran1, &w.idum); VALUE(w.s[1], ran1, &w.idum); }},
    {"gasdev", [](Work &w, bool c) { VALUE(w.s[0], gasdev, &w.idum); VALUE(w.s[1], gasdev, &w.idum); }},
    {"pythag", [](Work &w, bool c) { VALUE(w.s[0], pythag, 2.385f, -7.5f); }},
    {"svdcmp",
     [](Work &w, bool c) {
         SAME(svdcmp, w.u, 8, 4, w.w, w.v);
         w.k = c ? tv_last_svd_converged() : tessivane::last_svd_converged();
     }},
    {"svbksb", [](Work &w, bool c) { SAME(svbksb, w.u, w.w, w.v, 8, 4, w.b, w.d); }},
    {"svdvar", [](Work &w, bool c) { SAME(svdvar, w.v, 6, w.w, w.covar); }},
    {"matrix_matrix_mult", [](Work &w, bool c) { SAME(matrix_matrix_mult, w.p, w.q, w.r, 5, 4, 3); }},
    {"transposematrix_matrix_mult",
     [](Work &w, bool c) { SAME(transposematrix_matrix_mult, w.p, w.r, 5, 4); }},
    {"matrix_vector_mult", [](Work &w, bool c) { SAME(matrix_vector_mult, w.p, w.z, w.b + 1, 5, 5); }},
    {"vector_vector_mult", [](Work &w, bool c) { VALUE(w.s[0], vector_vector_mult, w.z, w.b + 1, 5); }},
    {"matrix_transpose", [](Work &w, bool c) { SAME(matrix_transpose, w.p, w.r, 5, 3); }},
    {"copy_matrix", [](Work &w, bool c) { SAME(copy_matrix, w.p, w.r, 4, 4, 0); }},
    {"diagmatrix_matrix_mult", [](Work &w, bool c) { SAME(diagmatrix_matrix_mult, w.z, w.p, 5, 5); }},
    {"fast_matrix_matrix_mult",
     [](Work &w, bool c) {
         BOTH(tv_fast_matrix_matrix_mult(w.p, w.q, w.r, 5, 5, 4, 0, 1),
              fast_matrix_matrix_mult(w.p, w.q, w.r, 5, 5, 4, false, true));
     }},
    {"getInverseMatrixUsingSVD",
     [](Work &w, bool c) {
         BOTH(tv_getInverseMatrixUsingSVD(w.p, w.r, 5, &w.k),
              w.k = getInverseMatrixUsingSVD(w.p, w.r, 5));
     }},
    {"gaussj", [](Work &w, bool c) { SAME(gaussj, w.sq, 5, w.rhs, 2); }},
    {"jacobi", [](Work &w, bool c) { SAME(jacobi, w.sq, 5, w.d, w.v, &w.k); }},
    {"eigsrt", [](Work &w, bool c) { SAME(eigsrt, w.d, w.v, 5); }},
    {"fit",
     [](Work &w, bool c) {
         SAME(fit, w.x, w.y, N, w.sig, 1, &w.s[0], &w.s[1], &w.s[2], &w.s[3], &w.s[4], &w.s[5]);
     }},
    {"svdfit",
     [](Work &w, bool c) { SAME(svdfit, w.x, w.y, w.sig, N, w.a, 3, w.u, w.v, w.w, &w.s[0], fpoly); }},
    {"fpoly", [](Work &w, bool c) { SAME(fpoly, 2.385f, w.a, 6); }},
    {"mrqmin",
     [](Work &w, bool c) {
         for (float command : {-1.0f, 1.0f, 1.0f, 0.0f}) {
             w.s[1] = command < 1.0f ? command : w.s[1];
             SAME(mrqmin, w.x, w.y, w.sig, N, w.a, w.ia, 3, w.covar, w.alpha, &w.s[0], model,
                  &w.s[1]);
         }
     }},
    {"mrqcof",
     [](Work &w, bool c) { SAME(mrqcof, w.x, w.y, w.sig, N, w.a, w.ia, 3, w.alpha, w.d, &w.s[0], model); }},
    {"covsrt", [](Work &w, bool c) { SAME(covsrt, w.covar, 6, w.ia, 5); }},
    {"fgauss", [](Work &w, bool c) { SAME(fgauss, 4.385f, w.a, &w.s[0], w.d, 6); }},
    {"ran1_stream",
     [](Work &w, bool c) {
         tessivane::ran1_stream cxx(-5);
         tv_ran1_stream *stream = nullptr;
         ASSERT_EQ(tv_ran1_stream_create(-5, &stream), TV_OK);
         for (int i = 0; i < 6; i++) {
             if (i == 3)
                 BOTH(tv_ran1_stream_reseed(stream, -9), cxx.reseed(-9));
             BOTH(tv_ran1_stream_uniform(stream, &w.s[2 * i]), w.s[2 * i] = cxx.uniform());
             BOTH(tv_ran1_stream_gaussian(stream, &w.s[2 * i + 1]), w.s[2 * i + 1] = cxx.gaussian());
         }
         BOTH(tv_ran1_stream_idum(stream, &w.idum), w.idum = cxx.idum());
         tv_ran1_stream_destroy(stream);
     }},
    {"lm_fit",
     [](Work &w, bool c) {
         tessivane::lm_fit cxx;
         tv_lm_fit *fit = nullptr;
         ASSERT_EQ(tv_lm_fit_create(&fit), TV_OK);
         w.s[1] = -1.0f;
         for (int i = 0; i < 2; i++)
             BOTH(tv_lm_fit_step(fit, w.x, w.y, w.sig, N, w.a, w.ia, 3, w.covar, w.alpha,
                                 &w.s[0], model, &w.s[1]),
                  cxx.step(w.x, w.y, w.sig, N, w.a, w.ia, 3, w.covar, w.alpha, &w.s[0], model,
                           &w.s[1]));
         w.k = c ? tv_lm_fit_in_progress(fit) : cxx.in_progress();
         tv_lm_outcome o;
         if (c) {
             ASSERT_EQ(tv_lm_fit_run(fit, w.x, w.y, w.sig, N, w.a, w.ia, 6, w.covar, w.alpha,
                                     &w.s[2], model, nullptr, &o),
                       TV_OK);
         } else {
             const tessivane::lm_outcome co =
                 cxx.run(w.x, w.y, w.sig, N, w.a, w.ia, 6, w.covar, w.alpha, &w.s[2], model);
             o = {co.stop, co.iterations, co.lambda_at_stop};
         }
         w.s[3] = static_cast<float>(o.stop), w.s[4] = static_cast<float>(o.iterations);
         w.s[5] = o.lambda_at_stop;
         tv_lm_fit_destroy(fit);
     }},
};

}  // namespace

class CApiBits : public ::testing::TestWithParam<Routine> {};

// The same inputs through both interfaces give the same bits in every array and scalar, and the
// routine changed something (an entry that wrote nothing would prove nothing).
TEST_P(CApiBits, SameAsTheCxxRoutine)
{
    Work untouched, cxx, c;
    GetParam().run(cxx, false);
    GetParam().run(c, true);
    EXPECT_EQ(c.hash(), cxx.hash());
    EXPECT_NE(cxx.hash(), untouched.hash());
    EXPECT_STREQ(tv_last_error(), "");
}

INSTANTIATE_TEST_SUITE_P(EveryRoutine, CApiBits, ::testing::ValuesIn(routines),
                         [](const ::testing::TestParamInfo<Routine> &info) {
                             return std::string(info.param.name);
                         });

// The message the C++ routine throws in throw mode.
template <typename Call>
std::string thrown(Call call)
{
    tessivane::scoped_error_mode mode(tessivane::error_mode::throw_exception);
    try {
        call();
    } catch (const tessivane::numerics_error &e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST(CApiErrors, StatusAndExactMessageWithoutExit)
{
    Work w;
    float out = 2.385f, chisq = 0.0f, alamda = 1.0f;
    float *handle = nullptr;
    auto singular = [&] {
        for (long i = 1; i <= 5; i++)
            for (long j = 1; j <= 5; j++)
                w.sq[i][j] = 1.0f;
    };
    const struct {
        std::function<tv_status()> c;
        std::function<void()> cxx;
    } failures[] = {
        {[&] { return tv_gammq(-1.0f, 1.0f, &out); }, [] { gammq(-1.0f, 1.0f); }},
        {[&] { return tv_select(9, 4, w.b, &out); }, [&] { select(9, 4, w.b); }},
        {[&] { return tv_four1(w.data, 3, 1); }, [&] { four1(w.data, 3, 1); }},
        {[&] { return tv_kstwo_prob_exact(0.5f, 0, 4, &out); },
         [] { kstwo_prob_exact(0.5f, 0, 4); }},
        {[&] { return tv_vector(5, 2, &handle); }, [] { vector(5, 2); }},
        {[&] { return singular(), tv_gaussj(w.sq, 5, w.rhs, 2); },
         [&] { singular(), gaussj(w.sq, 5, w.rhs, 2); }},
        {[&] {
             return tv_mrqmin(w.x, w.y, w.sig, N, w.a, w.ia, 3, w.covar, w.alpha, &chisq, model,
                              &alamda);
         },
         [&] {
             mrqmin(w.x, w.y, w.sig, N, w.a, w.ia, 3, w.covar, w.alpha, &chisq, model, &alamda);
         }},
    };
    for (const auto &f : failures) {
        const std::string expected = thrown(f.cxx);
        ASSERT_NE(expected, "(nothing thrown)");
        EXPECT_EQ(f.c(), TV_ERROR) << expected;
        EXPECT_EQ(tv_last_error(), expected);
    }
    EXPECT_EQ(tv_gammq(-1.0f, 1.0f, &out), TV_ERROR);
    EXPECT_STREQ(tv_last_error(), "Invalid arguments in routine gammq");
    EXPECT_EQ(out, 2.385f);  // a failed call leaves its result alone
    EXPECT_EQ(handle, nullptr);
    // The thread's own mode is back, and the message belongs to this thread.
    EXPECT_EQ(tessivane::get_error_mode(), tessivane::error_mode::exit_process);
    std::thread([] { EXPECT_STREQ(tv_last_error(), ""); }).join();
    EXPECT_EQ(tv_gammq(2.0f, 1.0f, nullptr), TV_ERROR_INVALID_ARGUMENT);
    EXPECT_STREQ(tv_last_error(), "tv_gammq: result is NULL");
    EXPECT_EQ(tv_ran1_stream_uniform(nullptr, &out), TV_ERROR_INVALID_ARGUMENT);
    EXPECT_STREQ(tv_last_error(), "tv_ran1_stream_uniform: stream is NULL");
    EXPECT_EQ(tv_erfcc(0.5f, &out), TV_OK);
    EXPECT_STREQ(tv_last_error(), "");
}

TEST(CApiErrors, VersionMatchesTheMacros)
{
    EXPECT_STREQ(tv_version(), TESSIVANE_VERSION_STRING);
    EXPECT_EQ(std::to_string(TESSIVANE_VERSION_MAJOR) + "." +
                  std::to_string(TESSIVANE_VERSION_MINOR) + "." +
                  std::to_string(TESSIVANE_VERSION_PATCH),
              TESSIVANE_VERSION_STRING);
}
