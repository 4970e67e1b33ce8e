#ifndef TESSIVANE_FIT_H
#define TESSIVANE_FIT_H

// Least-squares fits: the straight line, linear models through the SVD and
// nonlinear models by Levenberg-Marquardt.
// The conventions of every numerics header (index bases, out-parameters, fatal
// conditions, thread safety) are stated once, in stat.h, which includes them all.

#include "nrutil.h"
#include "tessivane_export.h"

/** @defgroup fit Least-squares fits
 *  @{
 */

// ---- Straight-line fit ----

// Least-squares line y = *a + *b x through (x[i], y[i]), i = 1..ndata. With mwt != 0 each
// point is weighted by 1 / sig[i]^2 (sig[i] != 0); *siga and *sigb are the standard errors
// and *q = gammq(0.5 (ndata - 2), 0.5 *chi2) the goodness of fit. With mwt = 0 sig is not
// read (it may be null), *q = 1, and the standard errors are scaled by the scatter about the
// line (ndata >= 3). All six outputs are written. Fatal, for a weighted fit: "Invalid
// arguments in routine gammq" when ndata <= 2 or the chi-square is not a number (all x
// equal). For large ndata *q has the accuracy gammq() gives at a = (ndata - 2) / 2.
// Where the float sums over- or underflow (finite x, y or sig beyond about 1e19 or below
// about 1e-19), x and y (with sig) are scaled by powers of two, the line is fitted again and
// its results are scaled back.
// Precision: the sums of x and y are float sums, so the slope keeps fewer than three correct
// digits once |mean| / (max - min) of y exceeds about 3e3 at ndata = 10, 600 at 100, 200 at
// 1000 and 40 at 10^4 (docs/accuracy.md); subtract an offset from y (and x) first.
// [thread-safe] No state (the float square is formed without shared temporaries).
TV_API void fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b,
                float *siga, float *sigb, float *chi2, float *q);

// ---- Linear least squares ----

// Fits y = sum_j a[j] X_j(x), j = 1..ma, to the points x, y, sig [1..ndata]
// by minimising chi-square through the SVD of the weighted design matrix.
// funcs(x, p, ma) stores X_1(x)..X_ma(x) in p[1..ma]; it is called once per
// point in order, then once more per point for chi-square. Writes a[1..ma],
// u[1..ndata][1..ma] (U of the design matrix), v[1..ma][1..ma], w[1..ma] (the
// singular values, those below 1e-5 times the largest set to 0, ready for
// svdvar) and *chisq. sig[i] must be non-zero. Does not report SVD
// non-convergence itself (see tessivane::last_svd_converged()).
// Fatal, before anything is allocated or written, when ma < 1:
// "svdfit: ma = <ma>, there must be at least one basis function".
// [thread-safe] on distinct arrays (if funcs is).
TV_API void svdfit(float *x, float *y, float *sig, int ndata, float *a, int ma, float **u,
                   float **v, float *w, float *chisq, void (*funcs)(float, float *, int));

// Polynomial basis for svdfit: p[1..np] = 1, x, x^2, ..., x^(np-1); np >= 1.
TV_API void fpoly(float x, float *p, int np);

// ---- Nonlinear least squares ----

// Model callback: funcs(x, a, &y, dyda, na) stores y(x; a[1..na]) in *y and
// the derivatives dy/da[j] in dyda[1..na].

// One Levenberg-Marquardt iteration per call for fitting a[1..ma] (ia[j] != 0:
// fitted; 0: held) to x, y, sig [1..ndata]. *alamda is the command:
// - < 0: start a fit (an unfinished earlier fit is discarded), lambda = 0.001,
//   then one iteration;
// - > 0: one iteration; on a lower chi-square the step is accepted (a, alpha,
//   *chisq updated, lambda / 10), otherwise rejected (lambda * 10, *chisq set
//   back to the accepted value);
// - == 0: finish: covar[1..ma][1..ma] receives the covariance of the accepted
//   parameters (zero rows and columns for held ones); a, alpha and *chisq are
//   not touched.
// alpha[1..mfit][1..mfit] holds the packed curvature, covar is scratch until
// the finishing call. ia must not change during a fit. Ends the process with
// "mrqmin: no fit in progress (start one with alamda < 0)" for an iteration
// or finishing call without a fit, with "no rows in matrix()" when a fit is
// started with no parameter to fit (every ia[j] = 0), and with the gaussj
// messages on a singular curvature matrix. After a throw (errors.h) no fit is
// in progress and its work storage is released; a is unchanged, alpha, covar
// and *chisq hold unspecified floats, and *alamda keeps the value it had on
// entry unless the throw came after the initialising call set it to 0.001.
// A call that never returned (an error handler left it by longjmp, which
// errors.h forbids) leaves no fit in progress either; its storage is released
// by the next call. A call from inside the model of the fit in progress is
// refused, the running fit untouched: "mrqmin: a call from inside the model
// of the fit in progress".
// [process-wide state: not thread-safe] One fit per process; a thread runs
// its own fit with a tessivane::lm_fit.
TV_API void mrqmin(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                   float **covar, float **alpha, float *chisq,
                   void (*funcs)(float, float *, float *, float *, int), float *alamda);

// Chi-square (*chisq), beta[1..mfit] (half the negative gradient) and the
// curvature alpha[1..mfit][1..mfit] over the fitted parameters, in increasing
// parameter order, at a[1..ma]. Derivatives the model does not write count as 0.
TV_API void mrqcof(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                   float **alpha, float *beta, float *chisq,
                   void (*funcs)(float, float *, float *, float *, int));

// Spreads the packed mfit x mfit covariance in the leading block of
// covar[1..ma][1..ma] to the full parameter set, with zero rows and columns
// for the parameters whose ia[j] is 0.
TV_API void covsrt(float **covar, int ma, int *ia, int mfit);

// Sum of Gaussians a[i] * exp(-((x - a[i+1]) / a[i+2])^2) over the triples
// i = 1, 4, 7, ... of a[1..na]; writes *y and dyda for each whole triple.
// Parameters past the last whole triple are ignored and get no derivative.
TV_API void fgauss(float x, float *a, float *y, float *dyda, int na);

// A start for the built-in model with ma = 3k parameters, from the series'
// own data x[1..ndata], y[1..ndata] (ndata >= 1, x in any order): for each
// Gaussian in turn, in the samples sorted by x, of what the earlier
// Gaussians leave unexplained: the window of 2k + 1 samples (k = 1, 2, 4,
// ..., at most half the series) whose sum s gives the largest s^2 / (its
// count) - the box filter matched to the peak - locates it and sets the
// smoothing; the running mean of that half-width (symmetric about each
// sample, narrower at the edges) gives the centre (its largest value of the
// window's sign near the window, refined by the vertex of the parabola
// through it and its neighbours) and, with its interpolated half-maximum
// points (one side at an edge), the width, from which the widening by the
// mean (its variance r (r + 1) h^2 / 3 for r samples either side at spacing
// h) is taken out; the amplitude keeps the mean's area, at most the largest
// sample of its sign under the window. Widths are at least the smallest
// spacing of x there. Writes a[1..ma]; a trailing pair or single parameter
// gets 0. NaN or infinity in x or y gives NaN parameters. [thread-safe] No
// state.
TV_API void gauss_start(float *x, float *y, int ndata, float *a, int ma);

namespace tessivane {

typedef void (*lm_model)(float, float *, float *, float *, int);

// How lm_fit::run() ends a fit and what it calls the result.
//
// Refused. Before anything runs, x, y, sig and the start a[1..ma] are checked:
// a value that is NaN or infinite, or a sig[i] <= 0, refuses the fit (stop =
// refused, the message names the array and the index); a[1..ma], covar and
// *chisq come back NaN, alpha untouched and no model call is made.
//
// Converged: the fit sits at a minimum that float arithmetic resolves. At
// the accepted parameters P = beta . alpha^-1 beta (beta and alpha as
// mrqcof() gives them, solved in double) is the decrease of chi-square the
// Gauss-Newton step predicts; a fit is converged as soon as
//   (a) P <= FLT_EPSILON * (chisq + FLT_EPSILON * S), S = sum_i (y[i]/sig[i])^2:
//       not one float rounding of chi-square (or of the data, when the
//       residuals are at its rounding level) is left to gain; or
//   (b) lambda has passed max_lambda, every trial from there rejected, and
//       P <= R, where
//       R = 8 FLT_EPSILON * (sqrt(ndata) * chisq + 2 sqrt(chisq * S / ndata))
//       bounds the rounding error of the float chi-square itself (the sum of
//       ndata terms, and the residuals y - model rounded at the data's scale,
//       a few roundings of the model per point, on each of the two
//       chi-squares compared): the decrease still predicted is below what a
//       float comparison of two chi-squares can see, so no step can be
//       accepted for a reason other than chance.
// Chi-square reaching 0 is convergence too. (a) is applied after the
// initialising call and after every accepted step, so a finished fit stops at
// once instead of rejecting steps until lambda passes max_lambda; (b) only
// when no step is accepted any more, so it never stops a fit that (a) would
// carry further. Parameters that pass lie within about sqrt(R) standard errors
// of the minimum; a fit held away from a minimum (a wrong derivative) does not
// pass however small its steps get.
//
// Degenerate: the data do not determine the parameters in float. At the
// stop, the curvature scaled to unit diagonal, C = D^-1/2 alpha D^-1/2, is
// inverted in double; 1 / (C^-1)_kk = 1 - R_k^2 is the part of parameter k's
// direction not explained by the other parameters. alpha is formed in float
// from ndata products, so its scaled entries carry errors of about
// sqrt(ndata) * FLT_EPSILON; once some 1 - R_k^2 is below
//   sqrt(ndata) * FLT_EPSILON
// (or C is not positive definite in double) that error is as large as the
// parameter's independent part and its variance is undetermined. The test
// compares the exact curvature with that error, so for the built-in model it
// is formed from fgauss's derivatives in double at the accepted parameters
// (the float alpha carries the very error it is compared with, and would
// decide by its own rounding near the floor); a user model's is the float
// alpha, the one its derivatives give. Such a model has gone flat along a
// direction (a Gaussian whose width and amplitude run off towards 1e8 while
// it turns into an exponential or a constant, a peak narrower than the
// sampling, a parameter the model does not depend on). Such a fit is degenerate whatever
// the other tests said (converged, stalled, the iteration limit, small
// steps); the message names the parameter and its 1 - R^2. In
// error_mode::throw_exception (errors.h) a curvature that gaussj finds
// singular ends the fit as degenerate too, instead of throwing; in
// exit_process mode it ends the process as mrqmin's does. A degenerate fit
// keeps its last accepted parameters and chi-square, its covariance is NaN.
//
// Stalled at a saddle: Gauss-Newton's alpha leaves out the residuals times
// the model's second derivatives, which a fit far from the data (a peak
// fitted to a noise bump from a fixed start) needs. For the built-in model
// run() adds them (in double) to a converged fit's curvature; when the full
// curvature, scaled to unit diagonal of alpha, has an eigenvalue below
// -sqrt(ndata) * FLT_EPSILON, chi-square falls along some direction
// and the fit is stalled, not converged (the message names the parameter).
// When lambda runs out with P > R, the full curvature gives the built-in
// model a second chance: if it is positive definite and the decrease a full
// Newton step predicts with it is at most R, the fit is converged (a peak
// narrower than the sampling, whose Gauss-Newton P overstates what is left).
// A user model's second derivatives are unknown: its fits are not checked.
//
// Otherwise run() stops when lambda exceeds max_lambda (stalled: no step
// lowers chi-square although P > R says one should: a wrong derivative, a
// kink), after max_iterations calls (iteration_limit; also when some 45
// accepted steps in a row take lambda to 0, where the next call would be the
// finishing one, unless the convergence tests hold there), or, when quiet_steps
// > 0, after quiet_steps accepted steps in a row that each lowered
// chi-square by less than absolute_drop + relative_drop * chi-square
// (rejected steps neither count nor break the run); a stop by that rule is
// small_steps unless the convergence test holds there. The tests are fixed,
// not part of the rule.
//
// retry: a fit of the built-in model (fgauss) that ends stalled or
// degenerate is run once more from gauss_start() of its own data, unless it
// started there; the second fit's outcome is the result, with retried set.
// Off by default, so results stay those of one fit from a.
struct lm_stopping_rule {
    int max_iterations = 200;
    double absolute_drop = 1.0e-3;
    double relative_drop = 1.0e-4;
    int quiet_steps = 0;
    float max_lambda = 1.0e10f;
    bool retry = false;
};

// Why lm_fit::run() stopped, in the order of their codes: each reason with the
// name of its C code (TV_LM_<NAME> in tessivane_c.h, checked at build time).
// The one list every front end follows (enumerations, names, bindings).
#define TV_LM_STOP_REASONS(X)                                                                      \
    X(iteration_limit, ITERATION_LIMIT)                                                            \
    X(converged, CONVERGED)                                                                        \
    X(stalled, STALLED)                                                                            \
    X(small_steps, SMALL_STEPS)                                                                    \
    X(degenerate, DEGENERATE)                                                                      \
    X(refused, REFUSED)

struct lm_outcome {
#define TV_LM_REASON_ENUMERATOR(reason, NAME) reason,
    enum reason { TV_LM_STOP_REASONS(TV_LM_REASON_ENUMERATOR) };
#undef TV_LM_REASON_ENUMERATOR
    reason stop = iteration_limit;
    int iterations = 0;  // calls before the finishing one (both fits when retried)
    float lambda_at_stop = 0.0f;
    bool retried = false;         // refitted from the automatic start (rule.retry)
    double predicted_drop = 0.0;  // P at the stop (NaN when refused)
    double resolution = 0.0;      // R at the stop
    double independence = 1.0;    // min over fitted k of 1 - R_k^2 (0: singular)
    char message[120] = {};       // why it stopped, in words ("" when converged)
};

// The name of a stop reason ("converged", "small_steps", ...), "unknown" for
// a value outside the list.
inline const char *reason_name(lm_outcome::reason r)
{
#define TV_LM_REASON_NAME(reason, NAME)                                                            \
    if (r == lm_outcome::reason)                                                                   \
        return #reason;
    TV_LM_STOP_REASONS(TV_LM_REASON_NAME)
#undef TV_LM_REASON_NAME
    return "unknown";
}

// One Levenberg-Marquardt fit with its own work storage: step() is mrqmin()
// (same arguments, same protocol through *alamda, the same results bit for
// bit) on this object's state instead of the process-wide one. Fatal
// conditions and the state after a throw are as for mrqmin(); a step (or a
// run) from inside this fit's own model is refused, the running step
// untouched: "lm_fit: a step from inside the model of the same fit".
// [thread-safe] Distinct objects may fit on distinct threads at once.
class TV_API lm_fit {
public:
    lm_fit();
    ~lm_fit();  // releases the storage of an unfinished fit
    lm_fit(const lm_fit &) = delete;
    lm_fit &operator=(const lm_fit &) = delete;

    void step(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma, float **covar,
              float **alpha, float *chisq, lm_model funcs, float *alamda);

    // Runs a whole fit from a[1..ma]: the initialising call, iteration calls
    // until the stopping rule says stop (see lm_stopping_rule for the
    // outcomes), then the finishing call. Leaves the fitted parameters in a,
    // their covariance in covar, the curvature in alpha and the chi-square in
    // *chisq, as the finishing call of mrqmin does; a refused fit leaves NaN
    // in a, covar and *chisq; a degenerate one a NaN covariance. The steps are step()'s, so the
    // parameters of a fit that is not refused are those of the same calls of mrqmin, bit for bit.
    // The convergence tests solve the fitted parameters' curvature in double: fatal "lm_fit: no
    // memory for the convergence test of <mfit> parameters" when its mfit x (mfit + 1) doubles
    // cannot be had.
    lm_outcome run(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                   float **covar, float **alpha, float *chisq, lm_model funcs,
                   const lm_stopping_rule &rule = lm_stopping_rule());

    // True between an initialising call and the finishing call.
    bool in_progress() const { return active_; }

private:
    __attribute__((visibility("hidden"))) void iterate(float *x, float *y, float *sig, int ndata,
                                                       float *a, int *ia, int ma, float **covar,
                                                       float **alpha, float *chisq, lm_model funcs,
                                                       float *alamda);
    __attribute__((visibility("hidden"))) void release_storage();
    __attribute__((visibility("hidden"))) lm_outcome
    run_once(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma, float **covar,
             float **alpha, float *chisq, lm_model funcs, const lm_stopping_rule &rule);
    __attribute__((visibility("hidden"))) lm_outcome degenerate_end(lm_outcome &outcome, int ma,
                                                                    float **covar, float *chisq);
    __attribute__((visibility("hidden"))) lm_outcome
    singular_end(lm_outcome &outcome, const numerics_error &e, int ma, float **covar, float *chisq);

    bool active_ = false;
    int ma_ = 0;
    int mfit_ = 0;
    float ochisq_ = 0.0f;
    float *atry_ = nullptr;
    float *beta_ = nullptr;
    float *da_ = nullptr;
    float **oneda_ = nullptr;
};

}  // namespace tessivane

/** @} */

#endif
