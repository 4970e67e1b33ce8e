#ifndef TESSIVANE_C_H
#define TESSIVANE_C_H

// The numerics of libtessivane for C (C99 and later) and for everything that
// binds to C: Fortran (bind(C)), Julia (ccall), R, MATLAB, Python's ctypes.
// Every symbol has C linkage and no mangled name.
//
// Each numerics routine X of the C++ headers is tv_X here, with the same
// arrays (the offset-indexed handles of nrutil.h, 1-based unless the routine
// says "0..n-1"), the same index ranges and the same bits: tv_X calls X. The
// contract of each routine (domain, which out-parameters are written, the
// messages of its fatal conditions, thread safety) is the one stated above X
// in its family header (special.h, stats.h, fft.h, sort.h, random.h,
// linalg.h, fit.h, and nrutil.h for the arrays); only the changes are listed
// here and below:
//
// - Nothing ends the process and no C++ exception reaches C. A routine
//   returns a tv_status (an int): TV_OK, or the code of what went wrong, with
//   the message in tv_last_error().
// - A routine that returns a value in C++ writes it through its last
//   argument, `result` (never NULL), and only when it returns TV_OK.
// - C++ bool becomes int (0 or 1); C++ references become pointers.
// - After an error the caller's arrays are as the C++ contract describes them
//   after a throw: scratch storage released, process-wide state consistent,
//   output and in/out arrays holding valid but unspecified floats.
// - Functions that cannot fail (tv_version, tv_last_error, the release
//   functions, the instruction-set and cache queries, tv_last_svd_converged,
//   tv_lm_fit_in_progress, the shipped callbacks tv_fpoly and tv_fgauss)
//   return their value directly.
//
// Callbacks (the basis of tv_svdfit, the model of tv_mrqmin, tv_mrqcof and
// tv_lm_fit_*) are plain C function pointers with the C++ signatures. A
// callback must return normally: a C function cannot throw, and leaving by
// longjmp would skip the release of the routine's scratch storage and the
// restoring of the thread's error mode. A callback may call tv_ functions,
// except to step the fit that is calling it (tv_mrqmin from tv_mrqmin's model,
// tv_lm_fit_step or tv_lm_fit_run on the same handle): that call is refused
// with TV_ERROR and the outer fit goes on.
//
// If the process installed a tessivane::set_error_handler() handler, it is
// still told of every fatal condition, before the tv_ function returns.
//
// This header is valid C99 and C++.

#include <stddef.h>

#include "tessivane_export.h"
#include "version.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- Status and errors ----

// What a tv_ function returns. The codes are ints so that every binding sees
// the same type.
typedef int tv_status;

enum tv_status_code {
    // The routine ran to the end.
    TV_OK = 0,
    // The routine met one of its fatal conditions; tv_last_error() is exactly
    // the message the C++ routine gives nrerror() (the middle line of the
    // three the default mode prints), e.g. "gaussj: Singular Matrix-2".
    // Allocation failures of the array layer come here too, with their own
    // messages ("allocation failure 1 in vector()").
    TV_ERROR = 1,
    // A C++ allocation failed; tv_last_error() is "out of memory".
    TV_ERROR_NO_MEMORY = 2,
    // A NULL pointer where the routine needs one, e.g. "tv_gammq: result is
    // NULL", or arguments a REQUIRE rule of the routine's table row refuses,
    // e.g. "tv_ttest: needs at least three values in the two samples
    // together"; tv_last_error() names the function.
    TV_ERROR_INVALID_ARGUMENT = 3,
    // Any other C++ exception (a bug): its what(), or "unknown C++ exception".
    TV_ERROR_INTERNAL = 4
};

// The message of the calling thread's latest tv_ call that returned a status:
// "" after TV_OK. The text is owned by the thread, stays valid until its next
// tv_ call and is cut at 255 bytes. [thread-safe]
TV_API const char *tv_last_error(void);

// "MAJOR.MINOR.PATCH" of the library loaded at run time, as
// TESSIVANE_VERSION_STRING is the version compiled against. [thread-safe]
TV_API const char *tv_version(void);

// ---- The numerics routines ----
// One declaration per row of the routine tables (routines.h; the grammar in
// routine_table.h, a guide in docs/routine-table.md). Every one of them is
// spelled out, family by family, in tessivane_c_routines.h (included at the end
// of this header), with the arrays it reads and writes and the rules it
// checks. For the row of X,
//     tv_status tv_X(arguments of X)              a TV_PROCEDURE row
//     tv_status tv_X(arguments of X, R *result)   a TV_FUNCTION row returning R
//     void tv_X(arguments of X)                   a TV_RELEASE or TV_CALLBACK row
//     tv_status tv_X(arguments)                   a TV_BATCH row (many series at once)
// where each argument has its C++ type, except that a reference (REF) is a
// pointer and a bool (FLAG) an int. Before the call every pointer the routine
// reads or writes through is checked (TV_ERROR_INVALID_ARGUMENT naming it;
// only IN_OPT arrays and KEPT outputs may be NULL), and so is every REQUIRE
// rule of the row (TV_ERROR_INVALID_ARGUMENT with "tv_X: <rule's message>").
// A PROB output the C++ routine leaves alone is written here with the
// significance its row names (tv_ttest's prob is t_to_p(t, n1 + n2 - 2),
// tv_tutest's t_to_p_real(t, welch_df(...)), tv_kstwo's kstwo_prob(d, n1, n2)).
// The release functions (tv_free_vector, ...) ignore a NULL handle. The
// callback types tv_basis and tv_lm_model are declared in routine_table.h;
// tv_fpoly and tv_fgauss are such a basis and model themselves.
// [process-wide state: not thread-safe] tv_ran1, tv_gasdev and tv_mrqmin, as
// their C++ routines; a thread uses a tv_ran1_stream or a tv_lm_fit instead.

#include "routine_table.h"

#define TV_FUNCTION(name, rtype, ...)                                                              \
    TV_API tv_status tv_##name(TV_C_PARAMS(__VA_ARGS__), rtype *result);
#define TV_PROCEDURE(name, ...) TV_API tv_status tv_##name(TV_C_PARAMS(__VA_ARGS__));
#define TV_RELEASE(name, ...) TV_API void tv_##name(TV_C_PARAMS(__VA_ARGS__));
#define TV_CALLBACK(name, ...) TV_API void tv_##name(TV_C_PARAMS(__VA_ARGS__));
#define TV_BATCH(name, routine, ...) TV_API tv_status tv_##name(TV_C_PARAMS(__VA_ARGS__));
#include "routines.h"

// ---- Instruction-set path (isa.h) and FFT tables (fft_tables.h) ----

enum tv_isa_code { TV_ISA_PORTABLE = 0, TV_ISA_AVX2 = 1, TV_ISA_AVX512 = 2 };

// Each returns an enum tv_isa_code value; tv_set_active_isa clamps its
// argument to 0..2 and returns the previous path. tv_isa_name gives
// "portable", "avx2" or "avx512" ("portable" for any other value).
// [thread-safe]
TV_API int tv_supported_isa(void);
TV_API int tv_active_isa(void);
TV_API int tv_set_active_isa(int requested);
TV_API const char *tv_isa_name(int path);

TV_API void tv_release_fft_tables(void);
TV_API size_t tv_fft_table_bytes(void);

// ---- Random streams (random.h) ----

// A stream of its own (tessivane::ran1_stream): the deviates of tv_ran1 and
// tv_gasdev in a fresh process, for the same seed and calls. Create it with a
// seed (-1 is the C++ default), release it with tv_ran1_stream_destroy (NULL
// is ignored). [thread-safe] Distinct streams on distinct threads at once;
// one stream on one thread at a time.
typedef struct tv_ran1_stream tv_ran1_stream;

TV_API tv_status tv_ran1_stream_create(long seed, tv_ran1_stream **result);
TV_API void tv_ran1_stream_destroy(tv_ran1_stream *stream);
TV_API tv_status tv_ran1_stream_uniform(tv_ran1_stream *stream, float *result);
TV_API tv_status tv_ran1_stream_gaussian(tv_ran1_stream *stream, float *result);
TV_API tv_status tv_ran1_stream_reseed(tv_ran1_stream *stream, long seed);
// The value *idum would hold now.
TV_API tv_status tv_ran1_stream_idum(const tv_ran1_stream *stream, long *result);

// ---- Linear algebra (linalg.h) ----

// 1 when every singular value of the calling thread's latest tv_svdcmp (or
// svdcmp) call converged; 1 before its first call. [thread-safe]
TV_API int tv_last_svd_converged(void);

// ---- Levenberg-Marquardt fits (fit.h) ----

// A Levenberg-Marquardt fit with its own state (tessivane::lm_fit): step is
// tv_mrqmin on this object, run a whole fit. Create with tv_lm_fit_create,
// release with tv_lm_fit_destroy (NULL is ignored; the storage of an
// unfinished fit is released too). [thread-safe] Distinct fits on distinct
// threads at once.
typedef struct tv_lm_fit tv_lm_fit;

// When tv_lm_fit_run stops (tessivane::lm_stopping_rule, same meaning).
typedef struct tv_lm_stopping_rule {
    int max_iterations;
    double absolute_drop;
    double relative_drop;
    int quiet_steps;
    float max_lambda;
} tv_lm_stopping_rule;

// How a fit ended (lm_stopping_rule in fit.h states each rule). Only
// TV_LM_CONVERGED is a fit at a minimum float arithmetic resolves: keep those
// voxels. TV_LM_DEGENERATE: the curvature does not determine the parameters
// (a flat or runaway model, a parameter the model does not depend on; the
// covariance is NaN). TV_LM_REFUSED: NaN or infinity in x, y, sig or the
// start, or a sig <= 0 (a, covar and chisq NaN). tv_lm_fit_message says why
// a fit did not converge.
enum tv_lm_stop_code {
    TV_LM_ITERATION_LIMIT = 0,
    TV_LM_CONVERGED = 1,
    TV_LM_STALLED = 2,
    TV_LM_SMALL_STEPS = 3,
    TV_LM_DEGENERATE = 4,
    TV_LM_REFUSED = 5
};

// How tv_lm_fit_run ended (tessivane::lm_outcome); stop is a tv_lm_stop_code.
typedef struct tv_lm_outcome {
    int stop;
    int iterations;
    float lambda_at_stop;
} tv_lm_outcome;

// Fills *rule with the C++ defaults. [thread-safe]
TV_API void tv_lm_stopping_rule_default(tv_lm_stopping_rule *rule);

TV_API tv_status tv_lm_fit_create(tv_lm_fit **result);
TV_API void tv_lm_fit_destroy(tv_lm_fit *fit);
TV_API tv_status tv_lm_fit_step(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                                int *ia, int ma, float **covar, float **alpha, float *chisq,
                                tv_lm_model funcs, float *alamda);
// rule NULL: the defaults. *outcome is written on TV_OK.
TV_API tv_status tv_lm_fit_run(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                               int *ia, int ma, float **covar, float **alpha, float *chisq,
                               tv_lm_model funcs, const tv_lm_stopping_rule *rule,
                               tv_lm_outcome *outcome);
// 1 between an initialising call and the finishing call (0 for NULL).
TV_API int tv_lm_fit_in_progress(const tv_lm_fit *fit);
// Why the latest tv_lm_fit_run of this fit did not converge, in words ("" when
// it converged or before the first run; "" for NULL). Valid until the next run
// or tv_lm_fit_destroy.
TV_API const char *tv_lm_fit_message(const tv_lm_fit *fit);
// retry != 0: a later tv_lm_fit_run with the built-in model (tv_fgauss) that
// ends stalled or degenerate is run once more from tv_gauss_start of its own
// data (lm_stopping_rule::retry); 0 (the default) turns it off. Ignored for NULL.
TV_API void tv_lm_fit_set_retry(tv_lm_fit *fit, int retry);

// ---- Levenberg-Marquardt fits of many series (batch.h) ----

// Where each row of tv_lm_fit_many starts.
enum tv_lm_start {
    TV_LM_START_ONE = 0,      // a0[0..ma-1] for every row
    TV_LM_START_PER_ROW = 1,  // row s from a0[s * ma .. s * ma + ma - 1]
    TV_LM_START_AUTO = 2      // each row from tv_gauss_start of its own data (a0 not read)
};

// The bytes of one row's message in tv_lm_fit_many's messages (with the
// terminating NUL; a longer message is cut).
#define TV_LM_MESSAGE_SIZE 128

// How one row of tv_lm_fit_many ended: stop is a tv_lm_stop_code
// (TV_LM_REFUSED for a row refused before or during its fit, with iterations
// and lambda_at_stop 0), retried 1 when the row was refitted from the
// automatic start (retry), else 0.
typedef struct tv_lm_row_outcome {
    int stop;
    int iterations;
    float lambda_at_stop;
    int retried;
} tv_lm_row_outcome;

// The built-in model (tv_fgauss, ma parameters, amplitude-centre-width
// triples) fitted to each of `rows` series by its own tv_lm_fit_run, on
// `threads` worker threads (0: every CPU the process may use), each row's
// results the bits of the single run (and of tessivane::batch::lm_fit_many)
// whatever the thread count. All arrays are 0-based and row-major:
// - y: rows x n values, series s at y[s * n .. s * n + n - 1];
// - x: point k of row s at x[s * x_stride + k] (x_stride 0: one abscissa of
//   n values for every row; n: a row of x per series);
// - sig: likewise with sig_stride, or NULL for every sig = 1;
// - a0: by start (tv_lm_start); NULL allowed with TV_LM_START_AUTO;
// - ia: ma flags, 0 holds a parameter at its start; NULL fits every one;
// - rule: NULL for the defaults; retry != 0 refits a row that ended stalled
//   or degenerate once from tv_gauss_start (lm_stopping_rule::retry).
// Writes params[s * ma + j] (required), and when not NULL covariance
// (rows x ma x ma), chisq (rows), outcomes (rows) and messages (rows x
// TV_LM_MESSAGE_SIZE chars: row s's message, NUL-terminated, at
// messages + s * TV_LM_MESSAGE_SIZE; "" for a converged row). A row holding
// NaN or infinity in x, y or sig, or a sig <= 0, is TV_LM_REFUSED with NaN
// params, covariance and chisq, and a message naming the point; the other
// rows complete and the call returns TV_OK. A degenerate row keeps its
// parameters and chi-square with a NaN covariance. Refused as a whole
// (TV_ERROR_INVALID_ARGUMENT, nothing written): a NULL y, x or params with
// rows > 0, a NULL a0 unless TV_LM_START_AUTO, n < 1, ma < 1 or above 46340,
// a negative stride, an unknown start, array sizes that overflow size_t.
// rows = 0 reads and writes nothing.
TV_API tv_status tv_lm_fit_many(const float *x, ptrdiff_t x_stride, const float *y,
                                const float *sig, ptrdiff_t sig_stride, size_t rows, int n,
                                const float *a0, int start, int ma, const int *ia,
                                const tv_lm_stopping_rule *rule, int retry, unsigned threads,
                                float *params, float *covariance, float *chisq,
                                tv_lm_row_outcome *outcomes, char *messages);

// ---- Fourier transforms of many series (batch.h) ----

// realft (four1) of `count` series in place, on `threads` worker threads (0:
// every CPU the process may use), each series exactly as tv_realft (tv_four1)
// would leave it. Element k of series s (both 0-based) is
// data[s * series_stride + k * sample_stride]; for tv_four1_many the strides
// count complex values and element k is the pair data[2 * (...)] (real part),
// data[2 * (...) + 1] (imaginary part). The series must not overlap. n (nn) is
// a power of two (n >= 2): otherwise TV_ERROR with "batch realft: n = <n> is
// not a power of two >= 2" ("batch four1: nn = <nn> is not a power of two
// (1, 2, 4, ...)") and nothing changed. A NULL data (count > 0) is refused.
// Declared with the routine tables' rows above (batch_routines.h):
//     tv_status tv_realft_many(float *data, size_t count, unsigned long n,
//                              ptrdiff_t series_stride, ptrdiff_t sample_stride, int isign,
//                              unsigned threads);
//     tv_status tv_four1_many(float *data, size_t count, unsigned long nn,
//                             ptrdiff_t series_stride, ptrdiff_t sample_stride, int isign,
//                             unsigned threads);

#ifdef __cplusplus
}
#endif

// The same routines, each prototype spelled out (generated from the tables; a
// prototype there that differs from the declaration above does not compile).
#include "tessivane_c_routines.h"

#endif
