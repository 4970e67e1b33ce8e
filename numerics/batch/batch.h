#ifndef TESSIVANE_BATCH_H
#define TESSIVANE_BATCH_H

// Voxel-wise batches: the two-sample tests, correlation, the straight-line fit,
// the special functions and the least-squares fits applied to many series at
// once, on a pool of worker threads, with cancellation and progress.
//
// Every series of a batch is handed to the single-call routine of stat.h as
// the same floats in the same order as a caller looping over the series would
// hand them, so each row of a batch result equals that single call bit for
// bit, whatever the number of threads and however the rows are shared out.
//
// Memory layout. A batch reads its series through a series_view: `count`
// series of `length` samples each, sample k of series s at
//     data[s * series_stride + k * sample_stride]      (0-based s and k).
// Two layouts have named constructors:
// - columns(data, samples, series): a row-major [samples x series] array, the
//   series (voxels) contiguous, sample k of every voxel in row k. This is a
//   NumPy array of shape (samples, voxels) and the layout of a time x voxel
//   image; workers read neighbouring voxels together, so a column walk stays
//   in cache.
// - rows(data, series, length): a row-major [series x length] array, one
//   series per row (one time course per row for the fits).
// A series_stride of 0 shares one series among all rows (one x axis for every
// fit, one sig for every series). Results are written to contiguous arrays
// indexed by series (0..count-1), and, for per-series vectors and matrices,
// row-major [count x m] or [count x m x m].
//
// Threads and errors. A batch runs on `threads` worker threads; the calling
// thread waits, calls the progress callback, and returns when every row is
// done or skipped (without a progress callback the calling thread is one of
// the workers and starts threads for the others only). Each worker runs in
// error_mode::throw_exception (errors.h), so a row the library refuses
// (nrerror) or whose model throws is reported in the batch_report (and, for
// fits, in its own outcome) with NaN results, and the other rows complete; an
// installed error handler hears each refused row's message. Arguments that make the whole batch
// meaningless (unequal counts, a sample size a routine cannot use, null required arrays) are
// refused through nrerror() on the calling thread, before any row runs, with the message given in
// the comment. [thread-safe] Distinct batches may run on distinct threads at once; a batch reads
// its inputs and writes only its outputs.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "fit.h"
#include "tessivane_export.h"

namespace tessivane {
namespace batch {

/** @defgroup batch Voxel-wise batches on a pool of threads
 *  @{
 */

struct series_view {
    const float *data = nullptr;
    std::size_t count = 0;             // number of series
    std::size_t length = 0;            // samples per series
    std::ptrdiff_t series_stride = 0;  // elements from one series to the next (0: shared)
    std::ptrdiff_t sample_stride = 1;  // elements from one sample to the next

    // A row-major [samples x series] array: the series are its columns.
    static series_view columns(const float *data, std::size_t samples, std::size_t series)
    {
        return {data, series, samples, 1, static_cast<std::ptrdiff_t>(series)};
    }
    // A row-major [series x length] array: the series are its rows.
    static series_view rows(const float *data, std::size_t series, std::size_t length)
    {
        return {data, series, length, static_cast<std::ptrdiff_t>(length), 1};
    }
    // One series of length samples (contiguous) shared by count rows.
    static series_view shared(const float *data, std::size_t count, std::size_t length)
    {
        return {data, count, length, 0, 1};
    }
};

// Set by any thread (a signal watcher, a user interface) to stop a running
// batch: workers check it between rows, skip every row not yet started, and
// the batch returns batch_status::cancelled. [thread-safe]
class cancel_token {
public:
    void cancel() { flag_.store(true, std::memory_order_relaxed); }
    void reset() { flag_.store(false, std::memory_order_relaxed); }
    bool cancelled() const { return flag_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> flag_{false};
};

struct batch_options {
    // Worker threads; 0 means default_threads(). A batch starts no more than it
    // has rows and no more than 4 x default_threads() (more would only share
    // the same cores), so a careless count (UINT_MAX from a -1) costs nothing.
    unsigned threads = 0;
    // Checked between rows; may be null.
    cancel_token *cancel = nullptr;
    // progress(rows finished, total rows): called on the calling thread only,
    // about once per progress_interval while the batch runs (also when no row
    // finished in between, so a caller can poll for interrupts there and call
    // cancel()), and once more at the end. An exception it throws cancels the
    // batch and is rethrown once the workers have stopped.
    std::function<void(std::size_t, std::size_t)> progress;
    std::chrono::milliseconds progress_interval{100};
};

enum class batch_status { completed, cancelled };

struct batch_report {
    batch_status status = batch_status::completed;
    std::size_t rows_done = 0;      // rows computed (refused ones included)
    std::size_t rows_refused = 0;   // rows the library refused or whose model threw
    std::size_t first_refused = 0;  // the lowest refused row (valid if rows_refused > 0)
    std::string first_message;      // and its message
};

// The threads this process may run on: the size of its CPU affinity set, or
// std::thread::hardware_concurrency() where that is unknown; at least 1.
TV_API unsigned default_threads();

// ---- Two-sample tests over the series of a and b (a.count == b.count) ----
// Outputs are arrays of count floats; any may be null (not computed).

// ttest() of each pair of series into t; df = n1 + n2 - 2; p = t_to_p(t, n1 + n2 - 2).
// Fatal, by the rules of ttest's table row (as in C and Python): "batch ttest: needs at least
// one value in each sample", "batch ttest: needs at least three values in the two samples
// together".
TV_API batch_report ttest(const series_view &a, const series_view &b, float *t, float *df, float *p,
                          const batch_options &options = batch_options());

// tutest() into t; df = welch_df(); p = t_to_p_real(t, df).
// Fatal: "batch tutest: needs at least two values in each sample".
TV_API batch_report tutest(const series_view &a, const series_view &b, float *t, float *df,
                           float *p, const batch_options &options = batch_options());

// kstwo() into d (on copies: the inputs are not sorted); p = kstwo_prob(d, n1, n2).
// Fatal: "batch kstwo: needs at least one value in each sample".
TV_API batch_report kstwo(const series_view &a, const series_view &b, float *d, float *p,
                          const batch_options &options = batch_options());

// ---- Correlation of the series of x and y (equal counts and lengths) ----

// pearsn() into r; p = the significance pearsn_prob() gives (from its own r, whose
// final division is in double). Fatal: "batch pearsn: ..." on unequal shapes, or
// when p is asked for with fewer than 3 pairs.
TV_API batch_report pearsn(const series_view &x, const series_view &y, float *r, float *p,
                           const batch_options &options = batch_options());

// spear() into d, zd, probd, rs, probrs; an output spear() leaves unwritten for a
// series (see stats.h) comes out NaN. Fatal: "batch spear: ..." on unequal shapes
// or length < 2.
TV_API batch_report spear(const series_view &x, const series_view &y, float *d, float *zd,
                          float *probd, float *rs, float *probrs,
                          const batch_options &options = batch_options());

// ---- Straight-line fit of each series of y against the series of x ----

struct line_fit_maps {
    float *a = nullptr, *b = nullptr, *siga = nullptr, *sigb = nullptr, *chi2 = nullptr,
          *q = nullptr;  // each count floats, or null
};

// fit() of each series; sig null: unweighted (mwt = 0), otherwise weighted by the
// series of *sig. x and sig may be shared (series_stride 0).
// Fatal: "batch fit: ..." on unequal shapes or fewer than 3 points.
TV_API batch_report fit(const series_view &x, const series_view &y, const series_view *sig,
                        const line_fit_maps &out, const batch_options &options = batch_options());

// ---- Special functions and conversions, element by element ----

// The routines of elementwise_routines.h, in its order: gammln(x), gammq(a = x,
// x = y), betai(a = x, b = y, x = z), erfcc(x), probks(x), t_to_p(t = x, df = y),
// t_to_p_real(t = x, df = y), r_to_p(r = x, n = y), F_to_p(F = x, df_1 = y,
// df_2 = z), p_to_t(p = x, df = y), p_to_r(p = x, df = y), p_to_F(p = x,
// df_1 = y, df_2 = z), p_to_z(p = x), kstwo_prob(d = x, n1 = y, n2 = z),
// kstwo_prob_exact(d = x, n1 = y, n2 = z), ...
enum class special_function {
#define TV_ELEMENTWISE(name) name,
#include "elementwise_routines.h"
};

// The number of special functions, and the name of each (its routine's).
#define TV_ELEMENTWISE(name) +1
constexpr int special_function_count = 0
#include "elementwise_routines.h"
    ;

inline const char *special_function_name(special_function fn)
{
#define TV_ELEMENTWISE(name)                                                                       \
    if (fn == special_function::name)                                                              \
        return #name;
#include "elementwise_routines.h"
    return "unknown";
}

// out[i] = fn(x[i], y[i], z[i]), i = 0..n-1, for the arguments fn takes (the
// others may be null). Arguments are doubles so that each holds a float or a
// count exactly, and each is handed over as the routine's parameter type says:
// a float argument is rounded to float (exact for a float's value), a double
// one (gammln's) is passed as it is, and a count (unsigned long) must
// be a whole number in 0..2^53 (a row with another value is refused: NaN and
// "batch special: count argument <v> is not a whole number >= 0"). Results are
// widened to double (exact). A row refused by the library (for example
// "Invalid arguments in routine gammq") gives NaN.
TV_API batch_report special(special_function fn, const double *x, const double *y, const double *z,
                            double *out, std::size_t n,
                            const batch_options &options = batch_options());

// ---- Levenberg-Marquardt fits of many series ----

enum class row_state {
    fitted,   // lm_fit::run() finished: see outcome
    refused,  // x, y, sig or the start of the row hold NaN, infinity or a sig <= 0
              // (outcome.stop == refused), the library refused the row or the model threw:
              // see message
    not_run,  // the batch was cancelled before the row started
};

struct lm_row_outcome {
    row_state state = row_state::not_run;
    lm_outcome outcome;   // valid when state == fitted; stop == refused when refused
    std::string message;  // why, unless the row converged: the outcome's message, or the
                          // library's (or the model's) when refused
};

// Names for the outcome of a row: the stop reason's name (reason_name() in
// fit.h: "converged", "degenerate", "stalled", "iteration_limit",
// "small_steps", "refused") for a fitted or refused row, "not_run" for a
// skipped one. Only "converged" rows hold a fit at a minimum (see
// lm_stopping_rule in fit.h).
TV_API const char *outcome_name(const lm_row_outcome &row);

struct lm_problem {
    series_view x;                     // abscissae (usually shared)
    series_view y;                     // one series per row
    const series_view *sig = nullptr;  // null: every sig = 1
    const float *a0 = nullptr;         // starting parameters [ma], or [count x ma] with a0_stride
    std::ptrdiff_t a0_stride = 0;      // 0: one start for every row; ma: a start per row
    bool auto_start = false;           // each row from gauss_start() of its own data (fgauss
                                       // only; a0 is then not read and may be null)
    int ma = 0;
    const int *ia = nullptr;   // [ma], shared; null: every parameter fitted
    lm_model model = nullptr;  // null: fgauss
    lm_stopping_rule rule;
};

struct lm_results {
    float *params = nullptr;             // [count x ma], required
    float *covariance = nullptr;         // [count x ma x ma], or null
    float *chisq = nullptr;              // [count], or null
    lm_row_outcome *outcomes = nullptr;  // [count], or null
};

// Each row s is fitted from its own start by its own tessivane::lm_fit:
// run(x_s, y_s, sig_s, length, a, ia, ma, covar, alpha, &chisq, model, rule),
// with the arrays 1-based copies of the row's data, a the row's start (a0, or
// gauss_start() of the row with auto_start). A refused or skipped row gets
// NaN parameters, covariance and chi-square; a degenerate row keeps its
// parameters and chi-square with a NaN covariance. The model is called on the
// worker threads: it must be safe to call from several threads at once.
// Fatal: "batch lm_fit: ..." on ma < 1, a null a0 (without auto_start) or
// params, auto_start with a model other than fgauss, or unequal shapes.
TV_API batch_report lm_fit_many(const lm_problem &problem, const lm_results &out,
                                const batch_options &options = batch_options());

// ---- Linear least squares of many series against one design ----

typedef void (*svd_basis)(float, float *, int);

// svdfit(x, y_s, sig_s, ndata, a, ma, u, v, w, &chisq, basis) for every series
// y_s of y (length ndata = x.length); x must be shared (one design). When sig
// is null (every sig = 1) or shared, the weighted design matrix, its
// decomposition and the cut of small singular values do not depend on y and
// are done once; each series then takes svdfit's own remaining steps (the
// right-hand side, the back-substitution, chi-square), so its results equal
// svdfit's bit for bit. A sig per series gives a whole svdfit per series. The
// basis must give the same values at the same x on every call (it is called
// ndata times for a shared design instead of twice per series) and, for a sig
// per series, be safe to call from several threads at once.
// Writes a [count x ma], chisq [count] (or null), and, if not null, w
// [count x ma] and v [count x ma x ma] (equal rows for a shared design), ready
// for svdvar(). *svd_converged (if not null) is false when a decomposition did
// not converge. Fatal: "batch svdfit: ..." on ma < 1, a series x, or unequal
// shapes.
TV_API batch_report svdfit_many(const series_view &x, const series_view &y, const series_view *sig,
                                int ma, svd_basis basis, float *a, float *chisq, float *w, float *v,
                                bool *svd_converged,
                                const batch_options &options = batch_options());

// ---- Fourier transforms of many series ----
//
// Each series of x is transformed as the single call transforms its 1-based
// copy, and written to out at the places it has in x: element k of series s
// at out[s * series_stride + k * sample_stride] (for four1 in complex values,
// see below). out may be x's own array, for a transform in place; otherwise
// the two must not overlap. x may not be shared (series_stride 0). The single
// calls refuse no series that the batch accepts, so no row is ever refused;
// the report tells of a cancellation. Series side by side (columns) or one
// after the other (rows) go eight at a time through the vector lanes where
// the processor has them.

// realft(data, n, isign) of every series: n = x.length real samples, a power
// of two >= 2; isign 1 is the forward transform, any other value the inverse.
// Fatal: "batch realft: n = <n> is not a power of two >= 2", or
// "batch realft: ..." for a null out or a shared x.
TV_API batch_report realft(const series_view &x, float *out, int isign,
                           const batch_options &options = batch_options());

// four1(data, nn, isign) of every series of complex values. z counts complex
// values: length nn (a power of two), strides in complex values, and complex
// k of series s has its real part at z.data[2 * (s * series_stride +
// k * sample_stride)] and its imaginary part right after (the layout of a
// std::complex<float> array); out likewise.
// Fatal: "batch four1: nn = <nn> is not a power of two (1, 2, 4, ...)", or
// "batch four1: ..." for a null out or a shared z.
TV_API batch_report four1(const series_view &z, float *out, int isign,
                          const batch_options &options = batch_options());

/** @} */

}  // namespace batch
}  // namespace tessivane

#endif
