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

namespace tessivane {

typedef void (*lm_model)(float, float *, float *, float *, int);

// When lm_fit::run() stops iterating. The fit has converged when no step can
// lower chi-square by more than float arithmetic resolves: at the accepted
// parameters, the Gauss-Newton step's predicted decrease beta . alpha^-1 beta
// (beta and alpha as mrqcof() gives them, solved in double) is at most
//     FLT_EPSILON * (chisq + FLT_EPSILON * sum_i (y[i] / sig[i])^2),
// one float rounding of chi-square, or of the data when the residuals are at
// their rounding level. Parameters that pass lie within about
// sqrt(FLT_EPSILON * ndata) standard errors of the minimum (on the NIST StRD
// problems, within 1% of the certified standard deviations). run() applies
// the test after the initialising call and after every accepted step and
// stops as soon as it holds; chi-square reaching 0 is convergence too. The
// test does not depend on lambda, so a finished fit stops at once instead of
// rejecting steps until lambda overflows, and a fit held far from a minimum (a
// wrong derivative, a valley flat only to float precision) does not pass it
// however small its steps get. The test is fixed, not part of the rule.
// Besides convergence, run() stops when lambda exceeds max_lambda (no step
// lowers chi-square although the test says one should: stalled) and after
// max_iterations calls. An optional drop rule stops it after quiet_steps
// accepted steps in a row that each lowered chi-square by less than
// absolute_drop + relative_drop * chi-square (rejected steps neither count nor
// break the run); 0 turns the rule off, and a stop by it is reported as
// small_steps, not as converged.
struct lm_stopping_rule {
    int max_iterations = 200;
    double absolute_drop = 1.0e-3;
    double relative_drop = 1.0e-4;
    int quiet_steps = 0;
    float max_lambda = 1.0e10f;
};

// Why lm_fit::run() stopped, in the order of their codes: each reason with the
// name of its C code (TV_LM_<NAME> in tessivane_c.h, checked at build time).
// The one list every front end follows (enumerations, names, bindings).
#define TV_LM_STOP_REASONS(X)                                                                      \
    X(iteration_limit, ITERATION_LIMIT)                                                            \
    X(converged, CONVERGED)                                                                        \
    X(stalled, STALLED)                                                                            \
    X(small_steps, SMALL_STEPS)

struct lm_outcome {
#define TV_LM_REASON_ENUMERATOR(reason, NAME) reason,
    enum reason { TV_LM_STOP_REASONS(TV_LM_REASON_ENUMERATOR) };
#undef TV_LM_REASON_ENUMERATOR
    reason stop = iteration_limit;  // stalled: lambda exceeded max_lambda
    int iterations = 0;             // calls before the finishing one
    float lambda_at_stop = 0.0f;
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
    // until the stopping rule says stop, then the finishing call. Leaves the
    // fitted parameters in a, their covariance in covar, the curvature in
    // alpha and the chi-square in *chisq, as the finishing call of mrqmin does.
    // The convergence test solves the fitted parameters' curvature in double:
    // fatal "lm_fit: no memory for the convergence test of <mfit> parameters"
    // when its mfit x (mfit + 1) doubles cannot be had.
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
    __attribute__((visibility("hidden"))) bool at_float_limit(float **alpha, double scale) const;

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
