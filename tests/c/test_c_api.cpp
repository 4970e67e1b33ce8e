// The C interface against the C++ routines: every tv_ routine writes the same bits as its C++
// routine on the same inputs (CApiBits); a failure comes back as a status and the C++ routine's
// exact message, and the process goes on (CApiErrors). The C99 side is test_c_api_c99.c.
#include "tessivane_c.h"

#include "batch.h"
#include "errors.h"
#include "routine_checks.h"
#include "stat.h"
#include "support/bits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr long N = 24;  // data points; parameters and small matrices are 1..6 or 0..4

// Every array and scalar a routine of the table may read or write, filled from a fixed seed.
class Work {
    std::vector<std::pair<float *, long>> blocks_;  // first and count of everything hashed
    std::vector<std::function<void()>> release_;
    std::uint64_t state_ = 2385;

    float next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<float>(state_ >> 40) * 0x1p-24f + 0.5f;
    }
    void fill(float *first, long count, float shift = 0.0f)
    {
        blocks_.push_back({first, count});
        for (long i = 0; i < count; i++)
            first[i] = next() + shift;
    }
    float *vec(long lo, long hi)
    {
        float *v = vector(lo, hi);
        release_.push_back([=] { free_vector(v, lo, hi); });
        return fill(v + lo, hi - lo + 1), v;
    }
    float **mat(long rl, long rh, long cl, long ch)
    {
        float **m = matrix(rl, rh, cl, ch);
        release_.push_back([=] { free_matrix(m, rl, rh, cl, ch); });
        return fill(m[rl] + cl, (rh - rl + 1) * (ch - cl + 1)), m;
    }

public:
    float *x = vec(1, N), *y = vec(1, N), *sig = vec(1, N), *b = vec(1, N);
    float *a = vec(1, 6), *w = vec(1, 6), *d = vec(1, 6), *z = vec(0, 4), *data = vec(1, 64);
    float **u = mat(1, N, 1, 6), **v = mat(1, 6, 1, 6), **covar = mat(1, 6, 1, 6);
    float **alpha = mat(1, 6, 1, 6), **sq = mat(1, 5, 1, 5), **rhs = mat(1, 5, 1, 2);
    float **p = mat(0, 4, 0, 4), **q = mat(0, 4, 0, 4), **r = mat(0, 4, 0, 4);
    float **speq = mat(1, 2, 1, 8), ***t = f3tensor(1, 2, 1, 4, 1, 8);
    float s[12] = {};
    int ia[7] = {0, 1, 1, 1, 1, 0, 1};
    std::vector<unsigned short> us = std::vector<unsigned short>(N + 1);  // 1..N
    unsigned long nn[3] = {0, 4, 8};
    double dd = 0.0;
    int k = 0;
    long idum = -7;
    unsigned short u1 = 0;

    Work()
    {
        // crank() wants sorted data, the fits a Gaussian peak, gaussj a regular matrix.
        for (long i = 1; i <= N; i++) {
            x[i] = 0.4f * i + 0.1f * next();
            y[i] = 2.5f * std::exp(-std::pow((x[i] - 4.2f) / 1.3f, 2.0f)) + 0.05f * next();
            us[i] = static_cast<unsigned short>(40000.0f * next());
        }
        const float start[7] = {0, 2.0f, 4.0f, 1.5f, 0.3f, 8.0f, 1.0f};
        std::copy(start + 1, start + 7, a + 1);
        for (long i = 1; i <= 5; i++)
            sq[i][i] += 4.0f;
        fill(&t[1][1][1], 64, -1.0f);
        release_.push_back([t = t] { free_f3tensor(t, 1, 2, 1, 4, 1, 8); });
    }
    ~Work()
    {
        for (auto &release : release_)
            release();
    }
    std::uint64_t hash() const
    {
        tv_test::BitHash h;
        for (const auto &block : blocks_)
            h.range(block.first, 0, block.second - 1);
        h.range(s, 0, 11), h(dd), h(static_cast<long long>(k)), h(static_cast<long long>(idum));
        h.bytes(ia, sizeof ia), h.bytes(us.data(), us.size() * sizeof(short)), h.bytes(&u1, 2);
        return h.value();
    }
};

void ok(tv_status status)
{
    EXPECT_EQ(status, TV_OK) << tv_last_error();
}

// c: through the C interface, which must answer TV_OK; otherwise the C++ routine itself.
#define BOTH(c_call, cxx_call) (c ? ok(c_call) : void(cxx_call))
#define SAME(name, ...) BOTH(tv_##name(__VA_ARGS__), name(__VA_ARGS__))
#define VALUE(out, name, ...) BOTH(tv_##name(__VA_ARGS__, &(out)), (out) = name(__VA_ARGS__))
#define DATA(w) w.x, w.y, w.sig, N, w.a, w.ia  // the data and parameters of a Gaussian-peak fit

using Routine = std::pair<const char *, void (*)(Work &w, bool c)>;  // name, run

// S calls the routine once with these arguments, V once for its value into w.s[0] (VO: into
// w.out), F runs the statements given.
// clang-format off
#define S(name, ...) {#name, [](Work &w, bool c) { SAME(name, __VA_ARGS__); }}
#define VO(out, name, ...) {#name, [](Work &w, bool c) { VALUE(w.out, name, __VA_ARGS__); }}
#define V(name, ...) VO(s[0], name, __VA_ARGS__)
#define F(name, ...) {#name, [](Work &w, bool c) { __VA_ARGS__; }}
// A shipped callback: its C form returns nothing.
#define CB(name, ...) {#name, [](Work &w, bool c) { c ? tv_##name(__VA_ARGS__) : name(__VA_ARGS__); }}
// A two-sample test whose C form also writes the significance its table row names into w.s[1].
#define P(name, p, ...) F(name, BOTH(tv_##name(__VA_ARGS__, &w.s[0], &w.s[1]), \
                                   (name(__VA_ARGS__, &w.s[0], &w.s[1]), w.s[1] = (p))))
const Routine routines[] = {
    VO(dd, gammln, 4.385), V(gammq, 2.385f, 1.7f), V(erfcc, 0.385f), V(probks, 0.885f),
    S(gser, &w.s[0], 2.385f, 1.7f, &w.s[1]), S(gcf, &w.s[0], 2.385f, 5.7f, &w.s[1]),
    V(betai, 2.385f, 0.5f, 0.3f), V(betacf, 2.385, 0.5, 0.3), S(avevar, w.x, N, &w.s[0], &w.s[1]),
    P(ttest, t_to_p(w.s[0], 22), w.x, 10, w.y, 14),
    P(tutest, t_to_p_real(w.s[0], welch_df(w.x, 10, w.y, 14)), w.x, 10, w.y, 14),
    P(kstwo, kstwo_prob(w.s[0], 10, 14), w.y, 10, w.b, 14), S(pearsn, w.x, w.y, N, &w.s[0], &w.s[1], &w.s[2]),
    S(pearsn_prob, w.x, w.b, N, &w.s[0], &w.s[1], &w.s[2]),
    S(spear, w.x, w.y, N, &w.s[0], &w.s[1], &w.s[2], &w.s[3], &w.s[4]),
    // The C++ accumulators are references, the C ones pointers: ACC(&) or ACC().
#define ACC(p) p w.s[0], p w.s[1], p w.s[2], p w.s[3], p w.s[4], p w.s[5]
    F(pearsn_inc, for (long i = 1; i <= 5; i++)
        BOTH(tv_pearsn_inc(w.x[i], w.y[i], ACC(&), &w.s[6]),
             pearsn_inc(w.x[i], w.y[i], ACC(), &w.s[6]))),
    F(regr_inc, for (long i = 1; i <= 5; i++)
        BOTH(tv_regr_inc(w.x[i], w.y[i], ACC(&), &w.s[6], &w.s[7], &w.s[8]),
             regr_inc(w.x[i], w.y[i], ACC(), &w.s[6], &w.s[7], &w.s[8]))),
    V(t_to_p, 2.385f, 7), V(r_to_p, 0.385f, 17), V(F_to_p, 2.385f, 3, 17), V(p_to_z, 0.0385f),
    V(p_to_t, 0.0385f, 7), V(p_to_r, 0.0385f, 17), V(p_to_F, 0.0385f, 3, 17),
    V(welch_df, w.x, 10, w.y, 14), V(t_to_p_real, 2.385f, 7.5f), V(pythag, 2.385f, -7.5f),
    V(kstwo_prob, 0.385f, 10, 14), V(kstwo_prob_exact, 0.385f, 10, 14),
    S(four1, w.data, 32, -1), S(realft, w.data, 64, 1), S(fourn, w.data, w.nn, 2, 1),
    // Four rows of 16 real values; two columns of 16 complex values (complex k of column s at
    // floats 4k + 2s + 1, 4k + 2s + 2).
    F(realft_many, auto rows = [&] { for (int s = 0; s < 4; s++) realft(w.data + 16 * s, 16, 1); };
      BOTH(tv_realft_many(w.data + 1, 4, 16, 16, 1, 1, 2), rows())),
    F(four1_many, auto columns = [&] {
        for (int s = 0; s < 2; s++) {
            float z[33];
            for (int j = 0; j < 32; j++) z[j + 1] = w.data[4 * (j / 2) + 2 * s + j % 2 + 1];
            four1(z, 16, -1);
            for (int j = 0; j < 32; j++) w.data[4 * (j / 2) + 2 * s + j % 2 + 1] = z[j + 1];
        }
      };
      BOTH(tv_four1_many(w.data + 1, 2, 16, 1, 2, -1, 2), columns())),
    S(rlft3, w.t, w.speq, 2, 4, 8, 1), S(sort, N, w.b), S(sort2, N, w.b, w.x), S(hpsort, N, w.b),
    S(crank, N, w.x, &w.s[0]), V(select, 7, N, w.b), VO(u1, select_ushort, 7, N, w.us.data()),
    F(ran1, VALUE(w.s[0], ran1, &w.idum); VALUE(w.s[1], ran1, &w.idum)),
    // Two deviates: the waiting one is used up, so the next side starts alike.
    F(gasdev, VALUE(w.s[0], gasdev, &w.idum); VALUE(w.s[1], gasdev, &w.idum)),
    F(svdcmp, SAME(svdcmp, w.u, 8, 4, w.w, w.v);
              w.k = c ? tv_last_svd_converged() : tessivane::last_svd_converged()),
    S(svbksb, w.u, w.w, w.v, 8, 4, w.b, w.d), S(svdvar, w.v, 6, w.w, w.covar),
    S(matrix_matrix_mult, w.p, w.q, w.r, 5, 4, 3), S(transposematrix_matrix_mult, w.p, w.r, 5, 4),
    S(matrix_vector_mult, w.p, w.z, w.b + 1, 5, 5), V(vector_vector_mult, w.z, w.b + 1, 5),
    S(matrix_transpose, w.p, w.r, 5, 3), S(copy_matrix, w.p, w.r, 4, 4, 0),
    S(diagmatrix_matrix_mult, w.z, w.p, 5, 5), S(gaussj, w.sq, 5, w.rhs, 2),
    F(fast_matrix_matrix_mult, BOTH(tv_fast_matrix_matrix_mult(w.p, w.q, w.r, 5, 5, 4, 0, 1),
                                    fast_matrix_matrix_mult(w.p, w.q, w.r, 5, 5, 4, false, true))),
    F(getInverseMatrixUsingSVD, BOTH(tv_getInverseMatrixUsingSVD(w.p, w.r, 5, &w.k),
                                     w.k = getInverseMatrixUsingSVD(w.p, w.r, 5))),
    S(jacobi, w.sq, 5, w.d, w.v, &w.k), S(eigsrt, w.d, w.v, 5), CB(fpoly, 2.385f, w.a, 6),
    S(fit, w.x, w.y, N, w.sig, 1, &w.s[0], &w.s[1], &w.s[2], &w.s[3], &w.s[4], &w.s[5]),
    // The shipped basis and model serve as the C callbacks as they are.
    F(svdfit, BOTH(tv_svdfit(w.x, w.y, w.sig, N, w.a, 3, w.u, w.v, w.w, &w.s[0], tv_fpoly),
                   svdfit(w.x, w.y, w.sig, N, w.a, 3, w.u, w.v, w.w, &w.s[0], fpoly))),
    // Start, two iterations (alamda as the routine left it), finish.
    F(mrqmin, for (float command : {-1.0f, 1.0f, 1.0f, 0.0f}) {
        w.s[1] = command == 1.0f ? w.s[1] : command;
        BOTH(tv_mrqmin(DATA(w), 3, w.covar, w.alpha, &w.s[0], tv_fgauss, &w.s[1]),
             mrqmin(DATA(w), 3, w.covar, w.alpha, &w.s[0], fgauss, &w.s[1]));
    }),
    S(mrqcof, DATA(w), 3, w.alpha, w.d, &w.s[0], fgauss),
    S(covsrt, w.covar, 6, w.ia, 5), CB(fgauss, 4.385f, w.a, &w.s[0], w.d, 6),
    S(gauss_start, w.x, w.y, N, w.a, 6),
    F(ran1_stream, tessivane::ran1_stream cxx(-5); tv_ran1_stream *stream = nullptr;
      ok(tv_ran1_stream_create(-5, &stream));
      for (int i = 0; i < 6; i += 2) {
          BOTH(tv_ran1_stream_reseed(stream, -9 * i), cxx.reseed(-9 * i));
          BOTH(tv_ran1_stream_uniform(stream, &w.s[i]), w.s[i] = cxx.uniform());
          BOTH(tv_ran1_stream_gaussian(stream, &w.s[i + 1]), w.s[i + 1] = cxx.gaussian());
      }
      BOTH(tv_ran1_stream_idum(stream, &w.idum), w.idum = cxx.idum());
      tv_ran1_stream_destroy(stream)),
    // Two steps by hand, then a whole run with the default rule.
    F(lm_fit, tessivane::lm_fit cxx; tv_lm_fit *fit = nullptr; tv_lm_outcome o;
      ok(tv_lm_fit_create(&fit));
      w.s[1] = -1.0f;
      for (int i = 0; i < 2; i++)
          BOTH(tv_lm_fit_step(fit, DATA(w), 3, w.covar, w.alpha, &w.s[0], fgauss, &w.s[1]),
               cxx.step(DATA(w), 3, w.covar, w.alpha, &w.s[0], fgauss, &w.s[1]));
      w.k = c ? tv_lm_fit_in_progress(fit) : cxx.in_progress();
      if (c) ok(tv_lm_fit_run(fit, DATA(w), 6, w.covar, w.alpha, &w.s[2], fgauss, nullptr, &o));
      else { const auto co = cxx.run(DATA(w), 6, w.covar, w.alpha, &w.s[2], fgauss);
             o.stop = co.stop; o.iterations = co.iterations; o.lambda_at_stop = co.lambda_at_stop; }
      w.s[3] = static_cast<float>(o.stop), w.s[4] = static_cast<float>(o.iterations);
      w.s[5] = o.lambda_at_stop; tv_lm_fit_destroy(fit)),
    // A flat start with the retry on: the outcome, its message and the refit.
    F(lm_fit_retry, tessivane::lm_fit cxx; tessivane::lm_stopping_rule rule; tv_lm_fit *fit = nullptr;
      tv_lm_outcome o; ok(tv_lm_fit_create(&fit));
      tv_lm_fit_set_retry(fit, 1); rule.retry = true; w.a[1] = 0.0f;
      if (c) { ok(tv_lm_fit_run(fit, DATA(w), 3, w.covar, w.alpha, &w.s[2], fgauss, nullptr, &o));
               w.k = static_cast<int>(std::strlen(tv_lm_fit_message(fit))); }
      else { tessivane::scoped_error_mode as_c(tessivane::error_mode::throw_exception);
             const auto co = cxx.run(DATA(w), 3, w.covar, w.alpha, &w.s[2], fgauss, rule);
             o.stop = co.stop; o.iterations = co.iterations; o.lambda_at_stop = co.lambda_at_stop;
             w.k = static_cast<int>(std::strlen(co.message)); }
      w.s[3] = static_cast<float>(o.stop), w.s[4] = static_cast<float>(o.iterations);
      tv_lm_fit_destroy(fit)),
};
// clang-format on

}  // namespace

class CApiBits : public ::testing::TestWithParam<Routine> {};

// The same inputs through both interfaces give the same bits in every array and scalar, and the
// routine changed something (an entry that wrote nothing would prove nothing).
TEST_P(CApiBits, SameAsTheCxxRoutine)
{
    Work untouched, cxx, c;
    GetParam().second(cxx, false);
    GetParam().second(c, true);
    EXPECT_EQ(c.hash(), cxx.hash());
    EXPECT_NE(cxx.hash(), untouched.hash());
    EXPECT_STREQ(tv_last_error(), "");
}

INSTANTIATE_TEST_SUITE_P(EveryRoutine, CApiBits, ::testing::ValuesIn(routines),
                         [](const ::testing::TestParamInfo<Routine> &info) {
                             return std::string(info.param.first);
                         });

// Every field of the C stopping rule reaches the C++ rule: each rule below ends the fit elsewhere
// than the defaults do, and the C run ends where the C++ run with the same rule does.
TEST(CApiRule, EveryFieldOfTheStoppingRuleCounts)
{
    auto run = [](const tv_lm_stopping_rule *rule, bool c) {
        Work w;
        tv_lm_outcome o;
        tv_lm_fit *fit = nullptr;
        ok(tv_lm_fit_create(&fit));
        if (c) {
            ok(tv_lm_fit_run(fit, DATA(w), 3, w.covar, w.alpha, &w.s[0], fgauss, rule, &o));
        } else {
            tessivane::scoped_error_mode as_c(tessivane::error_mode::throw_exception);
            tessivane::lm_stopping_rule r;
            r.max_iterations = rule->max_iterations, r.absolute_drop = rule->absolute_drop;
            r.relative_drop = rule->relative_drop, r.quiet_steps = rule->quiet_steps;
            r.max_lambda = rule->max_lambda;
            const tessivane::lm_outcome co =
                tessivane::lm_fit().run(DATA(w), 3, w.covar, w.alpha, &w.s[0], fgauss, r);
            o.stop = co.stop, o.iterations = co.iterations, o.lambda_at_stop = co.lambda_at_stop;
        }
        tv_lm_fit_destroy(fit);
        return std::vector<float>{
            w.a[1], w.a[2], w.a[3], w.s[0], float(o.stop), float(o.iterations), o.lambda_at_stop};
    };
    tv_lm_stopping_rule defaults;
    tv_lm_stopping_rule_default(&defaults);
    std::vector<tv_lm_stopping_rule> rules(5, defaults);
    rules[0].max_iterations = 2;
    rules[1].quiet_steps = 1, rules[1].absolute_drop = 1e3, rules[1].relative_drop = 0.0;
    rules[2].quiet_steps = 1, rules[2].absolute_drop = 0.0, rules[2].relative_drop = 10.0;
    rules[3].quiet_steps = 2, rules[3].absolute_drop = 1e3;
    rules[4].max_lambda = 1e-4f;
    const std::vector<float> by_default = run(&defaults, false);
    for (const tv_lm_stopping_rule &rule : rules) {
        const std::vector<float> cxx = run(&rule, false);
        EXPECT_NE(cxx, by_default) << &rule - rules.data();
        EXPECT_EQ(run(&rule, true), cxx) << &rule - rules.data();
    }
}

// The message the C++ routine throws in throw mode ("" if none).
template <typename Call>
std::string thrown(Call call)
{
    tessivane::scoped_error_mode mode(tessivane::error_mode::throw_exception);
    try {
        call();
    } catch (const tessivane::numerics_error &e) {
        return e.what();
    }
    return "";
}

// The status of a C call just made, and the message it left.
void answers(tv_status got, tv_status expected, const std::string &message)
{
    EXPECT_EQ(got, expected) << message;
    EXPECT_EQ(tv_last_error(), message);
}

// The C++ side runs first (the argument), then the C side must fail with the same message.
#define FAILS(c_call, cxx_call)                                                                    \
    [&](const std::string &m) { answers(c_call, TV_ERROR, m); }(thrown([&] { cxx_call; }))

TEST(CApiErrors, StatusAndExactMessageWithoutExit)
{
    Work w;
    float out = 2.385f, chisq = 0.0f, alamda = 1.0f;
    float *handle = nullptr;
    auto singular = [&] {
        for (long i = 1; i <= 5; i++)
            std::fill(w.sq[i] + 1, w.sq[i] + 6, 1.0f);
    };
    FAILS(tv_gammq(-1.0f, 1.0f, &out), gammq(-1.0f, 1.0f));
    FAILS(tv_four1(w.data, 3, 1), four1(w.data, 3, 1));
    FAILS(tv_realft_many(w.data + 1, 4, 12, 12, 1, 1, 1),
          tessivane::batch::realft(tessivane::batch::series_view::rows(w.data + 1, 4, 12),
                                   w.data + 1, 1));
    FAILS(tv_vector(5, 2, &handle), vector(5, 2));
    FAILS((singular(), tv_gaussj(w.sq, 5, w.rhs, 2)), (singular(), gaussj(w.sq, 5, w.rhs, 2)));
    FAILS(tv_mrqmin(DATA(w), 3, w.covar, w.alpha, &chisq, fgauss, &alamda),
          mrqmin(DATA(w), 3, w.covar, w.alpha, &chisq, fgauss, &alamda));
    EXPECT_EQ(out, 2.385f);  // a failed call leaves its result alone
    EXPECT_EQ(handle, nullptr);
    // The thread's own mode is back, and the message belongs to this thread.
    EXPECT_EQ(tessivane::get_error_mode(), tessivane::error_mode::exit_process);
    std::thread([] { EXPECT_STREQ(tv_last_error(), ""); }).join();
    answers(tv_gammq(2.0f, 1.0f, nullptr), TV_ERROR_INVALID_ARGUMENT, "tv_gammq: result is NULL");
    answers(tv_ran1_stream_uniform(nullptr, &out), TV_ERROR_INVALID_ARGUMENT,
            "tv_ran1_stream_uniform: stream is NULL");
    answers(tv_erfcc(0.5f, &out), TV_OK, "");
}

// ---- Arguments refused before the call ----

// Each table row called with every pointer NULL: a row that needs a pointer answers
// TV_ERROR_INVALID_ARGUMENT naming it (never a crash); a release function returns.
#define NULL_ARG(kind, ...) TV_RT_KIND(NULL_ARG_, kind)(__VA_ARGS__)
#define NULL_ARG_VAL(type, name) , (type)2
#define NULL_ARG_COUNT(type, name) , (type)2
#define NULL_ARG_FLAG(name) , 0
#define NULL_ARG_OUT(type, name) , static_cast<type *>(nullptr)
#define NULL_ARG_INOUT(type, name) , static_cast<type *>(nullptr)
#define NULL_ARG_REF(type, name) , static_cast<type *>(nullptr)
#define NULL_ARG_KEPT(type, name) , static_cast<type *>(nullptr)
#define NULL_ARG_PROB(type, name, significance) , static_cast<type *>(nullptr)
#define NULL_ARG_ARR(dir, type, name, base, length) , static_cast<type *>(nullptr)
#define NULL_ARG_MAT(dir, type, name, base, rows, cols) , static_cast<type **>(nullptr)
#define NULL_ARG_TENSOR(dir, type, name, base, n1, n2, n3) , static_cast<type ***>(nullptr)
#define NULL_ARG_BASIS(name) , tv_basis(nullptr)
#define NULL_ARG_MODEL(name) , tv_lm_model(nullptr)
#define NULL_ARG_REQUIRE(condition, message)
#define NULL_ARG_SERIES(dir, type, name, width, count, length, series_stride, sample_stride)       \
    , static_cast<type *>(nullptr)
#define NULL_ARG_DIM(type, name) , (type)2
#define NULL_ARG_THREADS(name) , 0u
#define NULL_ARGS(...) TV_RT_TAIL(~TV_RT_MAP(NULL_ARG, __VA_ARGS__))

void refuses_nulls(const char *name, const char *missing, tv_status status)
{
    EXPECT_EQ(status, TV_ERROR_INVALID_ARGUMENT) << name;
    EXPECT_EQ(tv_last_error(), std::string("tv_") + name + ": " + missing + " is NULL");
}

TEST(CApiArguments, EveryNullPointerIsRefusedByName)
{
    union {
        float f;
        double d;
        int i;
        unsigned short us;
        void *p;
    } result{};
    // (A row that needs no pointer is not called: it would simply run.)
#define TV_FUNCTION(name, rtype, ...)                                                              \
    if (const char *missing = tessivane::routines::missing_##name(NULL_ARGS(__VA_ARGS__)))         \
        refuses_nulls(#name, missing,                                                              \
                      tv_##name(NULL_ARGS(__VA_ARGS__), reinterpret_cast<rtype *>(&result)));
#define TV_PROCEDURE(name, ...)                                                                    \
    if (const char *missing = tessivane::routines::missing_##name(NULL_ARGS(__VA_ARGS__)))         \
        refuses_nulls(#name, missing, tv_##name(NULL_ARGS(__VA_ARGS__)));
#define TV_RELEASE(name, ...) tv_##name(NULL_ARGS(__VA_ARGS__));
#define TV_CALLBACK(name, ...)
#define TV_BATCH(name, routine, ...) TV_PROCEDURE(name, __VA_ARGS__)
#include "routines.h"
    // The ones an outside probe crashed on, by name.
    Work w;
    answers(tv_ttest(w.x, 5, w.y, 5, &w.s[0], nullptr), TV_ERROR_INVALID_ARGUMENT,
            "tv_ttest: prob is NULL");
    answers(tv_avevar(w.x, 5, nullptr, &w.s[1]), TV_ERROR_INVALID_ARGUMENT,
            "tv_avevar: ave is NULL");
    answers(tv_crank(5, w.x, nullptr), TV_ERROR_INVALID_ARGUMENT, "tv_crank: s is NULL");
    answers(tv_four1_many(nullptr, 3, 16, 16, 1, 1, 0), TV_ERROR_INVALID_ARGUMENT,
            "tv_four1_many: data is NULL");
    // A batch of no series reads nothing: NULL is fine there (its SERIES row says count > 0).
    answers(tv_realft_many(nullptr, 0, 16, 16, 1, 1, 0), TV_OK, "");
    tv_lm_fit *fit = nullptr;
    ok(tv_lm_fit_create(&fit));
    answers(tv_lm_fit_step(fit, DATA(w), 3, w.covar, w.alpha, &w.s[0], tv_fgauss, nullptr),
            TV_ERROR_INVALID_ARGUMENT, "tv_lm_fit_step: alamda is NULL");
    tv_lm_fit_destroy(fit);
}

// A rule of a table row holds in C as in Python: two single values leave Student's t no degrees
// of freedom (the C++ routine would give NaN).
TEST(CApiArguments, TableRulesRefuseWhatNoRoutineCanAnswer)
{
    Work w;
    answers(tv_ttest(w.x, 1, w.y, 1, &w.s[0], &w.s[1]), TV_ERROR_INVALID_ARGUMENT,
            "tv_ttest: needs at least three values in the two samples together");
    answers(tv_ttest(w.x, 0, w.y, 3, &w.s[0], &w.s[1]), TV_ERROR_INVALID_ARGUMENT,
            "tv_ttest: needs at least one value in each sample");
    answers(tv_tutest(w.x, 1, w.y, 9, &w.s[0], &w.s[1]), TV_ERROR_INVALID_ARGUMENT,
            "tv_tutest: needs at least two values in each sample");
    answers(tv_ttest(w.x, 1, w.y, 2, &w.s[0], &w.s[1]), TV_OK, "");
}

// ---- Fits stepped from inside their own model ----

tv_lm_fit *outer_fit = nullptr;
tv_status inner_status = TV_OK;
std::string inner_message;

// The model, stepping the fit that calls it (the process-wide one, or outer_fit), once.
template <bool Process>
void meddling_model(float x, float *a, float *y, float *dyda, int na)
{
    if (inner_message.empty()) {
        float data[4] = {0, 1, 2, 3}, chisq = 0, alamda = -1, **m = nullptr;
        int ia[4] = {0, 1, 1, 1};
        ok(tv_matrix(1, 3, 1, 3, &m));
        inner_status =
            Process ? tv_mrqmin(data, data, data, 3, data, ia, 3, m, m, &chisq, tv_fgauss, &alamda)
                    : tv_lm_fit_step(outer_fit, data, data, data, 3, data, ia, 3, m, m, &chisq,
                                     tv_fgauss, &alamda);
        inner_message = tv_last_error();
        tv_free_matrix(m, 1, 3, 1, 3);
    }
    tv_fgauss(x, a, y, dyda, na);
}

// Two fits of the same data, the first with the meddling model, the second with the plain one:
// true when both end with the same bits and the inner call was refused. meddle() prints "same"
// (or "differs") and the inner call's message, and exits.
bool meddled_fit_is_plain(bool process)
{
    Work meddled, plain;
    float alamda = -1.0f;
    ok(tv_lm_fit_create(&outer_fit));
    for (Work *w : {&meddled, &plain}) {
        const tv_lm_model model = w == &plain ? tv_fgauss
                                  : process   ? meddling_model<true>
                                              : meddling_model<false>;
        for (float command : {-1.0f, 1.0f, 0.0f}) {
            alamda = command == 1.0f ? alamda : command;
            ok(process ? tv_mrqmin(DATA((*w)), 3, w->covar, w->alpha, &w->s[0], model, &alamda)
                       : tv_lm_fit_step(outer_fit, DATA((*w)), 3, w->covar, w->alpha, &w->s[0],
                                        model, &alamda));
        }
    }
    tv_lm_fit_destroy(outer_fit);
    return meddled.hash() == plain.hash() && inner_status == TV_ERROR;
}

[[noreturn]] void meddle(bool process)
{
    const bool same = meddled_fit_is_plain(process);
    std::fprintf(stderr, "%s|%s", same ? "same" : "differs", inner_message.c_str());
    std::exit(0);
}

// The inner call is refused with TV_ERROR, the outer fit ends as if it had not been made. Run in
// a child, so that a crash fails only this test.
TEST(CApiReentrance, AFitSteppedFromItsOwnModelIsRefused)
{
    EXPECT_EXIT(meddle(true), ::testing::ExitedWithCode(0),
                "^same\\|mrqmin: a call from inside the model of the fit in progress$");
    EXPECT_EXIT(meddle(false), ::testing::ExitedWithCode(0),
                "^same\\|lm_fit: a step from inside the model of the same fit$");
}
