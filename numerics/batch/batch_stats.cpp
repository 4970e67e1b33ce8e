// Batches of the two-sample tests, correlation, the straight-line fit and the
// special functions: each row gathers its series into 1-based vectors of its
// worker and makes exactly the single call a caller's loop would make.

#include "detail_batch.h"

#include <cmath>
#include <utility>

#include "detail_special.h"
#include "detail_ttest_block.h"
#include "routine_checks.h"
#include "stat.h"

namespace tessivane {
namespace batch {

using detail::blank_outputs;
using detail::gather;
using detail::kNaN;

namespace {

// Where row s of an optional output goes.
inline void put(float *out, std::size_t s, float value)
{
    if (out)
        out[s] = value;
}

// The frame shared by the two-sample tests: per-worker copies of both series
// of the row, then `test(d1, d2, row)`.
template <class Test, class Block = detail::row_by_row>
batch_report two_sample(const series_view &a, const series_view &b,
                        std::initializer_list<float *> outputs, const batch_options &options,
                        Test test, Block block = Block())
{
    const detail::row_plan plan = detail::plan_rows(a.count, options);
    detail::worker_vectors buffers(plan.workers, {a.length, b.length});
    return detail::for_each_row(
        plan, options,
        [&](std::size_t s, unsigned w) {
            float *d1 = buffers.vec(w, 0);
            float *d2 = buffers.vec(w, 1);
            gather(a, s, d1);
            gather(b, s, d2);
            test(d1, d2, s);
        },
        [&](std::size_t s, row_state, const char *) { blank_outputs(s, outputs); }, block);
}

// t_tail(x[l]) into p[l] for the eight lanes of a voxel block, the continued
// fractions side by side (with `avx2`, in AVX2 lanes where the build has them).
void p_block(const tessivane::detail::betai_fixed_ab &t_tail, const float *x, bool avx2, float *p)
{
    using call = tessivane::detail::betai_fixed_ab::fraction_call;
    constexpr std::size_t L = detail::kVoxelBlock;
    call cf[L];
    bool fraction[L];
    double fa[L], fb[L], fx[L];
    float value[L];
    for (std::size_t l = 0; l < L; l++) {
        fraction[l] = t_tail.prepare(x[l], &cf[l], &value[l]);
        // A lane without a fraction gets one that ends at the first step.
        fa[l] = fraction[l] ? cf[l].a : 1.0;
        fb[l] = fraction[l] ? cf[l].b : 1.0;
        fx[l] = fraction[l] ? cf[l].x : 0.0;
    }
    float h[L];
    if (!avx2 || !tessivane::detail::betacf8_avx2(fa, fb, fx, h))
        for (std::size_t l = 0; l < L; l++)
            h[l] = fraction[l] ? betacf(fa[l], fb[l], fx[l]) : 0.0f;
    for (std::size_t l = 0; l < L; l++)
        p[l] = fraction[l] ? t_tail.finish(cf[l], h[l]) : value[l];
}

// A rule of the routine's table row, as the C and Python front ends apply it.
void follow_rule(const char *routine, const char *broken)
{
    if (broken)
        detail::refuse("batch %s: %s", routine, broken);
}

void check_two_samples(const char *routine, const series_view &a, const series_view &b)
{
    detail::require_same_count(routine, a, b);
    detail::require_data(routine, a, "the first sample");
    detail::require_data(routine, b, "the second sample");
}

void check_pairs(const char *routine, const series_view &x, const series_view &y)
{
    check_two_samples(routine, x, y);
    if (x.length != y.length)
        detail::refuse("batch %s: series of %zu and %zu values, the lengths must be equal", routine,
                       x.length, y.length);
}

}  // namespace

batch_report ttest(const series_view &a, const series_view &b, float *t, float *df, float *p,
                   const batch_options &options)
{
    check_two_samples("ttest", a, b);
    const unsigned long n1 = a.length, n2 = b.length;
    follow_rule("ttest", routines::broken_rule_ttest(nullptr, n1, nullptr, n2, nullptr, nullptr));
    // t_to_p(t, n1 + n2 - 2) with its betai's log-gamma part formed once for
    // the whole batch (every voxel has the same degrees of freedom).
    const float fdf = static_cast<float>(n1 + n2 - 2);
    const tessivane::detail::betai_fixed_ab t_tail(0.5f * fdf, 0.5f);
    // Columns (voxels side by side in each sample row) go eight voxels at a
    // time; what is left of a chunk, and other layouts, voxel by voxel.
    const bool columns = a.series_stride == 1 && b.series_stride == 1;
    const detail::pooled_t_constants constants(n1, n2);
    const bool avx2 = active_isa() != isa::portable;  // one path for the whole batch
    auto blocks = [&](std::size_t begin, std::size_t end, unsigned) -> std::size_t {
        if (!columns)
            return 0;
        constexpr std::size_t L = detail::kVoxelBlock;
        std::size_t s = begin;
        for (; end - s >= L; s += L) {
            float tv[L], x[L];
            detail::pooled_t_block(detail::series_start(a, s), a.sample_stride,
                                   detail::series_start(b, s), b.sample_stride, constants, avx2,
                                   tv);
            for (std::size_t l = 0; l < L; l++) {
                put(t, s + l, tv[l]);
                put(df, s + l, fdf);
                x[l] = fdf / (fdf + tv[l] * tv[l]);
            }
            if (p)
                p_block(t_tail, x, avx2, p + s);
        }
        return s - begin;
    };
    return two_sample(
        a, b, {t, df, p}, options,
        [&](float *d1, float *d2, std::size_t s) {
            float tv = 0.0f, unused = 0.0f;
            ::ttest(d1, n1, d2, n2, &tv, &unused);
            put(t, s, tv);
            put(df, s, fdf);
            if (p)
                p[s] = t_tail(fdf / (fdf + tv * tv));
        },
        blocks);
}

batch_report tutest(const series_view &a, const series_view &b, float *t, float *df, float *p,
                    const batch_options &options)
{
    check_two_samples("tutest", a, b);
    const unsigned long n1 = a.length, n2 = b.length;
    follow_rule("tutest", routines::broken_rule_tutest(nullptr, n1, nullptr, n2, nullptr, nullptr));
    return two_sample(a, b, {t, df, p}, options, [&](float *d1, float *d2, std::size_t s) {
        float tv = 0.0f, unused = 0.0f;
        ::tutest(d1, n1, d2, n2, &tv, &unused);
        put(t, s, tv);
        if (df || p) {
            const float dfv = welch_df(d1, n1, d2, n2);
            put(df, s, dfv);
            if (p)
                p[s] = t_to_p_real(tv, dfv);
        }
    });
}

batch_report kstwo(const series_view &a, const series_view &b, float *d, float *p,
                   const batch_options &options)
{
    check_two_samples("kstwo", a, b);
    const unsigned long n1 = a.length, n2 = b.length;
    follow_rule("kstwo", routines::broken_rule_kstwo(nullptr, n1, nullptr, n2, nullptr, nullptr));
    return two_sample(a, b, {d, p}, options, [&](float *d1, float *d2, std::size_t s) {
        float dv = 0.0f, unused = 0.0f;
        ::kstwo(d1, n1, d2, n2, &dv, &unused);
        put(d, s, dv);
        if (p)
            p[s] = kstwo_prob(dv, n1, n2);
    });
}

batch_report pearsn(const series_view &x, const series_view &y, float *r, float *p,
                    const batch_options &options)
{
    check_pairs("pearsn", x, y);
    const unsigned long n = x.length;
    if (p)
        follow_rule("pearsn", routines::broken_rule_pearsn_prob(nullptr, nullptr, n, nullptr,
                                                                nullptr, nullptr));
    return two_sample(x, y, {r, p}, options, [&](float *d1, float *d2, std::size_t s) {
        float rv = 0.0f, unused_p = 0.0f, unused_z = 0.0f;
        ::pearsn(d1, d2, n, &rv, &unused_p, &unused_z);
        put(r, s, rv);
        if (p) {
            float r_prob = 0.0f, pv = 0.0f;
            pearsn_prob(d1, d2, n, &r_prob, &pv, &unused_z);
            p[s] = pv;
        }
    });
}

batch_report spear(const series_view &x, const series_view &y, float *d, float *zd, float *probd,
                   float *rs, float *probrs, const batch_options &options)
{
    check_pairs("spear", x, y);
    const unsigned long n = x.length;
    follow_rule("spear", routines::broken_rule_spear(nullptr, nullptr, n, nullptr, nullptr, nullptr,
                                                     nullptr, nullptr));
    return two_sample(x, y, {d, zd, probd, rs, probrs}, options,
                      [&](float *d1, float *d2, std::size_t s) {
                          // What spear() leaves unwritten stays NaN.
                          float v[5] = {kNaN, kNaN, kNaN, kNaN, kNaN};
                          ::spear(d1, d2, n, &v[0], &v[1], &v[2], &v[3], &v[4]);
                          put(d, s, v[0]);
                          put(zd, s, v[1]);
                          put(probd, s, v[2]);
                          put(rs, s, v[3]);
                          put(probrs, s, v[4]);
                      });
}

batch_report fit(const series_view &x, const series_view &y, const series_view *sig,
                 const line_fit_maps &out, const batch_options &options)
{
    check_pairs("fit", x, y);
    if (sig)
        check_pairs("fit", y, *sig);
    const std::size_t n = y.length;
    if (n < 3 || n > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        detail::refuse("batch fit: %zu points, a line fit needs 3..2^31-1", n);
    const detail::row_plan plan = detail::plan_rows(y.count, options);
    detail::worker_vectors buffers(plan.workers, {n, n, n});
    return detail::for_each_row(
        plan, options,
        [&](std::size_t s, unsigned w) {
            float *xs = buffers.vec(w, 0);
            float *ys = buffers.vec(w, 1);
            float *ss = buffers.vec(w, 2);
            gather(x, s, xs);
            gather(y, s, ys);
            if (sig)
                gather(*sig, s, ss);
            float v[6];
            ::fit(xs, ys, static_cast<int>(n), sig ? ss : nullptr, sig ? 1 : 0, &v[0], &v[1], &v[2],
                  &v[3], &v[4], &v[5]);
            put(out.a, s, v[0]);
            put(out.b, s, v[1]);
            put(out.siga, s, v[2]);
            put(out.sigb, s, v[3]);
            put(out.chi2, s, v[4]);
            put(out.q, s, v[5]);
        },
        [&](std::size_t s, row_state, const char *) {
            blank_outputs(s, {out.a, out.b, out.siga, out.sigb, out.chi2, out.q});
        });
}

namespace {

// A count argument: a whole number that unsigned long holds exactly.
unsigned long count_argument(double v)
{
    if (!(v >= 0.0 && v <= 9007199254740992.0 && std::floor(v) == v))
        detail::refuse("batch special: count argument %g is not a whole number >= 0", v);
    return static_cast<unsigned long>(v);
}

// An element's argument as the routine's parameter of type T takes it.
template <class T>
T element_argument(double v);
template <>
float element_argument<float>(double v)
{
    return static_cast<float>(v);
}
template <>
double element_argument<double>(double v)
{
    return v;
}
template <>
unsigned long element_argument<unsigned long>(double v)
{
    return count_argument(v);
}

template <class R, class... A, std::size_t... I>
double call_element(R (*routine)(A...), const double *args, std::index_sequence<I...>)
{
    return routine(element_argument<A>(args[I])...);
}

// routine(args[0], args[1], ...) with as many arguments as it takes.
template <class R, class... A>
double call_element(R (*routine)(A...), const double *args)
{
    return call_element(routine, args, std::index_sequence_for<A...>());
}

template <class R, class... A>
constexpr int arity_of(R (*)(A...))
{
    return sizeof...(A);
}

double special_value(special_function fn, const double *args)
{
    switch (fn) {
#define TV_ELEMENTWISE(name)                                                                       \
    case special_function::name:                                                                   \
        static_assert(arity_of(::name) <= 3, #name " takes at most x, y, z");                      \
        return call_element(::name, args);
#include "elementwise_routines.h"
    }
    detail::refuse("batch special: unknown function %d", static_cast<int>(fn));
}

int arity(special_function fn)
{
    switch (fn) {
#define TV_ELEMENTWISE(name)                                                                       \
    case special_function::name:                                                                   \
        return arity_of(::name);
#include "elementwise_routines.h"
    }
    return 0;
}

}  // namespace

batch_report special(special_function fn, const double *x, const double *y, const double *z,
                     double *out, std::size_t n, const batch_options &options)
{
    const int args = arity(fn);
    if (n > 0 && (!out || !x || (args >= 2 && !y) || (args >= 3 && !z)))
        detail::refuse("batch special: function %d takes %d arguments, an array is missing",
                       static_cast<int>(fn), args);
    const detail::row_plan plan = detail::plan_rows(n, options);
    return detail::for_each_row(
        plan, options,
        [&](std::size_t i, unsigned) {
            const double element[3] = {x[i], args >= 2 ? y[i] : 0.0, args >= 3 ? z[i] : 0.0};
            out[i] = special_value(fn, element);
        },
        [&](std::size_t i, row_state, const char *) {
            out[i] = std::numeric_limits<double>::quiet_NaN();
        });
}

}  // namespace batch
}  // namespace tessivane
