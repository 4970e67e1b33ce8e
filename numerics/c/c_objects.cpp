// The parts of the C interface that are not table rows: the thread's last
// message, the version, the instruction-set path and FFT tables, and the
// objects C holds by handle (random streams, Levenberg-Marquardt fits).
#include "detail_c.h"

#include "fft_tables.h"
#include "isa.h"
#include "routine_checks.h"
#include "stat.h"

#include <cstdio>
#include <cstring>

struct tv_ran1_stream {
    explicit tv_ran1_stream(long seed)
        : stream(seed)
    {}
    tessivane::ran1_stream stream;
};

struct tv_lm_fit {
    tessivane::lm_fit fit;
    bool retry = false;
    char message[sizeof tessivane::lm_outcome::message] = {};
};

namespace tessivane {
namespace c_layer {

namespace {

// A fixed buffer, so that recording a failure cannot itself fail.
thread_local char last_error[256];

// For what returns a value: *result is written only when the call finished.
template <typename T, typename Body>
tv_status value(const char *function, T *result, Body &&body) noexcept
{
    if (!result)
        return null_argument(function, "result");
    return guarded([&] {
        const T v = body();
        *result = v;
    });
}

}  // namespace

tv_status record(tv_status status, const char *message)
{
    std::snprintf(last_error, sizeof last_error, "%s", message);
    return status;
}

tv_status null_argument(const char *function, const char *argument)
{
    char text[sizeof last_error];
    std::snprintf(text, sizeof text, "%s: %s is NULL", function, argument);
    return record(TV_ERROR_INVALID_ARGUMENT, text);
}

tv_status refused(const char *function, const char *message)
{
    char text[sizeof last_error];
    std::snprintf(text, sizeof text, "%s: %s", function, message);
    return record(TV_ERROR_INVALID_ARGUMENT, text);
}

const char *thread_message()
{
    return last_error;
}

lm_stopping_rule stopping_rule(const tv_lm_stopping_rule *rule, bool retry)
{
    lm_stopping_rule r;
    if (rule) {
        r.max_iterations = rule->max_iterations;
        r.absolute_drop = rule->absolute_drop;
        r.relative_drop = rule->relative_drop;
        r.quiet_steps = rule->quiet_steps;
        r.max_lambda = rule->max_lambda;
    }
    r.retry = retry;
    return r;
}

}  // namespace c_layer
}  // namespace tessivane

using tessivane::c_layer::guarded;
using tessivane::c_layer::null_argument;
using tessivane::c_layer::value;

extern "C" {

const char *tv_last_error(void)
{
    return tessivane::c_layer::thread_message();
}

const char *tv_version(void)
{
    return tessivane::version();
}

// ---- Instruction-set path and FFT tables ----

int tv_supported_isa(void)
{
    return static_cast<int>(tessivane::supported_isa());
}

int tv_active_isa(void)
{
    return static_cast<int>(tessivane::active_isa());
}

int tv_set_active_isa(int requested)
{
    // A value outside the enumeration asks for the widest path, as the cap allows.
    const int widest = static_cast<int>(tessivane::isa::avx512);
    const int path = requested < 0 ? 0 : requested > widest ? widest : requested;
    return static_cast<int>(tessivane::set_active_isa(static_cast<tessivane::isa>(path)));
}

const char *tv_isa_name(int path)
{
    return tessivane::isa_name(static_cast<tessivane::isa>(path));
}

void tv_release_fft_tables(void)
{
    tessivane::release_fft_tables();
}

size_t tv_fft_table_bytes(void)
{
    return tessivane::fft_table_bytes();
}

int tv_last_svd_converged(void)
{
    return tessivane::last_svd_converged() ? 1 : 0;
}

// ---- Random streams ----

tv_status tv_ran1_stream_create(long seed, tv_ran1_stream **result)
{
    return value("tv_ran1_stream_create", result, [&] { return new tv_ran1_stream(seed); });
}

void tv_ran1_stream_destroy(tv_ran1_stream *stream)
{
    delete stream;
}

tv_status tv_ran1_stream_uniform(tv_ran1_stream *stream, float *result)
{
    if (!stream)
        return null_argument("tv_ran1_stream_uniform", "stream");
    return value("tv_ran1_stream_uniform", result, [&] { return stream->stream.uniform(); });
}

tv_status tv_ran1_stream_gaussian(tv_ran1_stream *stream, float *result)
{
    if (!stream)
        return null_argument("tv_ran1_stream_gaussian", "stream");
    return value("tv_ran1_stream_gaussian", result, [&] { return stream->stream.gaussian(); });
}

tv_status tv_ran1_stream_reseed(tv_ran1_stream *stream, long seed)
{
    if (!stream)
        return null_argument("tv_ran1_stream_reseed", "stream");
    return guarded([&] { stream->stream.reseed(seed); });
}

tv_status tv_ran1_stream_idum(const tv_ran1_stream *stream, long *result)
{
    if (!stream)
        return null_argument("tv_ran1_stream_idum", "stream");
    return value("tv_ran1_stream_idum", result, [&] { return stream->stream.idum(); });
}

// ---- Levenberg-Marquardt fits ----

void tv_lm_stopping_rule_default(tv_lm_stopping_rule *rule)
{
    if (!rule)
        return;
    const tessivane::lm_stopping_rule defaults;
    rule->max_iterations = defaults.max_iterations;
    rule->absolute_drop = defaults.absolute_drop;
    rule->relative_drop = defaults.relative_drop;
    rule->quiet_steps = defaults.quiet_steps;
    rule->max_lambda = defaults.max_lambda;
}

tv_status tv_lm_fit_create(tv_lm_fit **result)
{
    return value("tv_lm_fit_create", result, [] { return new tv_lm_fit; });
}

void tv_lm_fit_destroy(tv_lm_fit *fit)
{
    delete fit;
}

tv_status tv_lm_fit_step(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                         int *ia, int ma, float **covar, float **alpha, float *chisq,
                         tv_lm_model funcs, float *alamda)
{
    // The handle, then the pointers of mrqmin's table row.
    if (!fit)
        return null_argument("tv_lm_fit_step", "fit");
    if (const char *missing = tessivane::routines::missing_mrqmin(
            x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, alamda))
        return null_argument("tv_lm_fit_step", missing);
    return guarded(
        [&] { fit->fit.step(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, alamda); });
}

tv_status tv_lm_fit_run(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                        int *ia, int ma, float **covar, float **alpha, float *chisq,
                        tv_lm_model funcs, const tv_lm_stopping_rule *rule, tv_lm_outcome *outcome)
{
    const tessivane::lm_stopping_rule cxx_rule =
        tessivane::c_layer::stopping_rule(rule, fit && fit->retry);
    // As for a step, the run's own alamda standing in for the caller's.
    float alamda = -1.0f;
    if (!fit)
        return null_argument("tv_lm_fit_run", "fit");
    if (const char *missing = tessivane::routines::missing_mrqmin(
            x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, &alamda))
        return null_argument("tv_lm_fit_run", missing);
    if (!outcome)
        return null_argument("tv_lm_fit_run", "outcome");
    return guarded([&] {
        const tessivane::lm_outcome o =
            fit->fit.run(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, cxx_rule);
        outcome->stop = static_cast<int>(o.stop);
        outcome->iterations = o.iterations;
        outcome->lambda_at_stop = o.lambda_at_stop;
        std::memcpy(fit->message, o.message, sizeof fit->message);
    });
}

const char *tv_lm_fit_message(const tv_lm_fit *fit)
{
    return fit ? fit->message : "";
}

void tv_lm_fit_set_retry(tv_lm_fit *fit, int retry)
{
    if (fit)
        fit->retry = retry != 0;
}

int tv_lm_fit_in_progress(const tv_lm_fit *fit)
{
    return fit && fit->fit.in_progress() ? 1 : 0;
}

}  // extern "C"

// Every stop reason of the C++ fit has its C code, with the same value.
#define TV_LM_STOP_CODE_IS_THE_REASON(reason, NAME)                                                \
    static_assert(TV_LM_##NAME == static_cast<int>(tessivane::lm_outcome::reason),                 \
                  "tv_lm_stop_code " #NAME " is lm_outcome::" #reason);
TV_LM_STOP_REASONS(TV_LM_STOP_CODE_IS_THE_REASON)
#undef TV_LM_STOP_CODE_IS_THE_REASON

static_assert(TV_ISA_PORTABLE == static_cast<int>(tessivane::isa::portable) &&
                  TV_ISA_AVX2 == static_cast<int>(tessivane::isa::avx2) &&
                  TV_ISA_AVX512 == static_cast<int>(tessivane::isa::avx512),
              "the C path codes are the C++ paths");
