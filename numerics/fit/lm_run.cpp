// lm_fit::run: a whole Levenberg-Marquardt fit by lm_fit::step, when it stops
// and what it calls the result (converged, stalled, degenerate, refused ...).
// The rules are stated with lm_stopping_rule in fit.h.

#include "stat.h"

#include "detail_fit.h"
#include "detail_refuse.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace tessivane {
namespace {

constexpr double kEps = FLT_EPSILON;
// R, the band a float chi-square comparison cannot resolve, is this many times
// the typical rounding error of the float chi-square with one rounding per
// model value: a model takes several (fgauss rounds its argument, square,
// exponential and products, and the exponential multiplies the argument's
// error by 2 arg^2), and a difference of two chi-squares carries two errors.
constexpr double kNoiseBand = 8.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Double working storage of n rows of the curvature's size; up to 8
// parameters (the usual fits) on the stack. Sizes in std::size_t: n * columns
// exceeds an int from 46341 parameters on.
class square {
public:
    square(int n, int columns)
        : columns_(static_cast<std::size_t>(columns))
    {
        if (static_cast<std::size_t>(n) * columns_ <= kSmall)
            return;
        try {
            big_ = std::vector<double>(static_cast<std::size_t>(n) * columns_);
        } catch (const std::bad_alloc &) {
            detail::refuse("lm_fit: no memory for the convergence test of %d parameters", n);
        }
    }
    double *operator[](int row)
    {
        return (big_.empty() ? small_ : big_.data()) + static_cast<std::size_t>(row) * columns_;
    }

private:
    static constexpr std::size_t kSmall = 8 * 9;
    double small_[kSmall];
    std::vector<double> big_;
    std::size_t columns_;
};

// beta . alpha^-1 beta over the packed mfit x mfit curvature: the decrease of
// chi-square the Gauss-Newton step predicts. Solved in double with partial
// pivoting; infinity when alpha is singular in double.
double predicted_drop(float **alpha, const float *beta, int mfit)
{
    const int w = mfit + 1;
    square m(mfit, w);
    std::vector<double> step(mfit);
    for (int j = 0; j < mfit; j++) {
        for (int k = 0; k < mfit; k++)
            m[j][k] = alpha[j + 1][k + 1];
        m[j][mfit] = beta[j + 1];
    }
    for (int c = 0; c < mfit; c++) {
        int pivot = c;
        for (int r = c + 1; r < mfit; r++)
            if (std::fabs(m[r][c]) > std::fabs(m[pivot][c]))
                pivot = r;
        if (m[pivot][c] == 0.0)
            return HUGE_VAL;
        for (int k = 0; k < w; k++)
            std::swap(m[c][k], m[pivot][k]);
        for (int r = c + 1; r < mfit; r++) {
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < w; k++)
                m[r][k] -= f * m[c][k];
        }
    }
    double drop = 0.0;
    for (int j = mfit - 1; j >= 0; j--) {
        double s = m[j][mfit];
        for (int k = j + 1; k < mfit; k++)
            s -= m[j][k] * step[k];
        step[j] = s / m[j][j];
        drop += step[j] * beta[j + 1];
    }
    return drop;
}

// min over k of 1 - R_k^2 = 1 / (C^-1)_kk for the curvature c (mfit x mfit,
// row-major) scaled to unit diagonal, C = D^-1/2 c D^-1/2, through its
// Cholesky factor in double; 0 when C is not positive definite. *weakest:
// the packed k of the minimum.
double independence(const double *c, int mfit, int *weakest)
{
    *weakest = 1;
    const auto at = [&](int j, int k) { return c[static_cast<std::size_t>(j) * mfit + k]; };
    std::vector<double> scale(mfit);
    for (int j = 0; j < mfit; j++) {
        const double d = at(j, j);
        if (!(d > 0.0) || !std::isfinite(d))
            return *weakest = j + 1, 0.0;
        scale[j] = 1.0 / std::sqrt(d);
    }
    square l(mfit, mfit);  // C = L L^T, then L^-1 in place
    for (int j = 0; j < mfit; j++) {
        for (int k = 0; k <= j; k++) {
            double s = at(j, k) * scale[j] * scale[k];
            for (int i = 0; i < k; i++)
                s -= l[j][i] * l[k][i];
            if (k < j) {
                l[j][k] = s / l[k][k];
            } else if (s > 0.0) {
                l[j][j] = std::sqrt(s);
            } else {
                return *weakest = j + 1, 0.0;
            }
        }
    }
    // (C^-1)_kk = sum_i (L^-1)_ik^2, L^-1 lower triangular by forward substitution.
    std::vector<double> inv_diag(mfit, 0.0);
    std::vector<double> column(mfit);
    for (int k = 0; k < mfit; k++) {
        for (int i = k; i < mfit; i++) {
            double s = i == k ? 1.0 : 0.0;
            for (int p = k; p < i; p++)
                s -= l[i][p] * column[p];
            column[i] = s / l[i][i];
            inv_diag[k] += column[i] * column[i];
        }
    }
    double least = 1.0;
    for (int k = 0; k < mfit; k++) {
        const double part = 1.0 / inv_diag[k];
        if (part < least)
            least = part, *weakest = k + 1;
    }
    return least;
}

// Sum of (y[i] / sig[i])^2: chi-square's scale when the residuals are at
// the rounding level of the data.
double data_scale(const float *y, const float *sig, int ndata)
{
    double sum = 0.0;
    for (int i = 1; i <= ndata; i++) {
        const double r = static_cast<double>(y[i]) / sig[i];
        sum += r * r;
    }
    return sum;
}

// The first value of v[1..n] that is not finite (or, with positive, not > 0),
// written into message; false when there is none.
bool names_fault(const float *v, int n, const char *what, const char *unit, bool positive,
                 char *message, std::size_t size)
{
    for (int i = 1; i <= n; i++) {
        if (std::isfinite(v[i]) && (!positive || v[i] > 0.0f))
            continue;
        const char *kind = std::isnan(v[i])   ? "NaN"
                           : std::isinf(v[i]) ? "infinite"
                                              : "not positive";
        std::snprintf(message, size, "%s is %s at %s %d of 1..%d", what, kind, unit, i, n);
        return true;
    }
    return false;
}

// Index in 1..ma of the k-th fitted parameter.
int parameter_index(const int *ia, int ma, int k)
{
    for (int l = 1; l <= ma; l++)
        if (ia[l] && --k == 0)
            return l;
    return 0;
}

}  // namespace

// A degenerate fit keeps its accepted parameters and chi-square; its
// covariance is undetermined (NaN), and gaussj is not asked to invert it.
lm_outcome lm_fit::degenerate_end(lm_outcome &outcome, int ma, float **covar, float *chisq)
{
    outcome.stop = lm_outcome::degenerate;
    release_storage();
    *chisq = ochisq_;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int j = 1; j <= ma; j++)
        for (int k = 1; k <= ma; k++)
            covar[j][k] = nan;
    return outcome;
}

// In throw mode a singular curvature (gaussj's stop) is the extreme of a
// degenerate fit, not a refusal: a parameter the model does not depend on.
// Other errors go on to the caller.
lm_outcome lm_fit::singular_end(lm_outcome &outcome, const numerics_error &e, int ma, float **covar,
                                float *chisq)
{
    const char *why = e.what();
    if (std::strncmp(why, "gaussj: Singular", 16) != 0)
        throw;
    outcome.independence = 0.0;
    std::snprintf(outcome.message, sizeof outcome.message,
                  "degenerate: the curvature matrix is singular in float (%s)", why);
    return degenerate_end(outcome, ma, covar, chisq);
}

lm_outcome lm_fit::run(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                       float **covar, float **alpha, float *chisq, lm_model funcs,
                       const lm_stopping_rule &rule)
{
    const bool may_retry = rule.retry && funcs == fgauss;
    std::vector<float> start(may_retry ? ma + 1 : 0);
    if (may_retry)
        std::copy(a + 1, a + 1 + ma, start.begin() + 1);
    lm_outcome first = run_once(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, rule);
    if (!may_retry || (first.stop != lm_outcome::stalled && first.stop != lm_outcome::degenerate))
        return first;

    // Held parameters keep the caller's values; the others start afresh.
    std::vector<float> fresh(ma + 1);
    ::gauss_start(x, y, ndata, fresh.data(), ma);
    for (int l = 1; l <= ma; l++)
        if (!ia[l])
            fresh[l] = start[l];
    if (std::equal(fresh.begin() + 1, fresh.end(), start.begin() + 1))
        return first;  // it started there: the same fit again
    std::copy(fresh.begin() + 1, fresh.end(), a + 1);
    lm_outcome second = run_once(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, rule);
    second.retried = true;
    second.iterations += first.iterations;
    return second;
}

lm_outcome lm_fit::run_once(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                            float **covar, float **alpha, float *chisq, lm_model funcs,
                            const lm_stopping_rule &rule)
{
    lm_outcome outcome;
    const std::size_t size = sizeof outcome.message;
    if (names_fault(x, ndata, "x", "point", false, outcome.message, size) ||
        names_fault(y, ndata, "y", "point", false, outcome.message, size) ||
        names_fault(sig, ndata, "sig", "point", true, outcome.message, size) ||
        names_fault(a, ma, "the start", "parameter", false, outcome.message, size)) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        for (int j = 1; j <= ma; j++) {
            a[j] = nan;
            for (int k = 1; k <= ma; k++)
                covar[j][k] = nan;
        }
        *chisq = nan;
        outcome.stop = lm_outcome::refused;
        outcome.predicted_drop = outcome.resolution = outcome.independence = kNaN;
        return outcome;
    }

    const double scale = data_scale(y, sig, ndata);
    const double root_n = std::sqrt(static_cast<double>(ndata));
    double drop = 0.0, noise = 0.0;
    // The convergence tests at the accepted point; stalled: lambda has passed
    // its limit, every trial from it failing.
    auto at_minimum = [&](bool stalled) {
        const double c = ochisq_;
        if (c == 0.0)
            return true;  // nothing left to lower
        // A negative prediction means alpha is not positive definite in float:
        // no safe statement, so only its size counts.
        if (std::fabs(drop) <= kEps * (c + kEps * scale))
            return true;
        return stalled && std::fabs(drop) <= noise;
    };
    auto measure = [&] {
        drop = predicted_drop(alpha, beta_, mfit_);
        const double c = ochisq_;
        noise = kNoiseBand * kEps * (root_n * c + 2.0 * std::sqrt(c * scale / ndata));
    };

    const double floor = root_n * kEps;
    // For the built-in model, the decrease a full Newton step predicts (with
    // the residuals times fgauss's second derivatives, which alpha leaves out
    // and a fit of a peak narrower than the sampling needs) is at most `limit`.
    // The built-in model's sums in double at the stop, made once when needed.
    std::optional<detail::gauss_sums> sums;
    auto sums_at_stop = [&]() -> const detail::gauss_sums & {
        if (!sums)
            sums.emplace(x, y, sig, ndata, a, ia, ma);
        return *sums;
    };
    auto newton_within = [&](double limit) {
        double newton = 0.0;
        return funcs == fgauss &&
               detail::gauss_saddle(sums_at_stop(), alpha, beta_, floor, &newton) == 0 &&
               newton <= limit;
    };
    float alamda = -1.0f;
    bool underflow = false;
    bool moved = true;  // the accepted point changed: measure it again
    int quiet = 0;
    try {
        step(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, &alamda);
        outcome.iterations = 1;
        measure();
        while (outcome.iterations < rule.max_iterations) {
            if (moved && at_minimum(false)) {
                outcome.stop = lm_outcome::converged;
                break;
            }
            if (alamda > rule.max_lambda) {
                outcome.stop = at_minimum(true) || newton_within(noise) ? lm_outcome::converged
                                                                        : lm_outcome::stalled;
                break;
            }
            // Some 45 accepted steps in a row take lambda below the smallest
            // float: a call with lambda 0 would be the finishing call, so the
            // iteration ends here, judged as when lambda runs out.
            if (alamda == 0.0f) {
                outcome.stop = at_minimum(true) || newton_within(noise)
                                   ? lm_outcome::converged
                                   : lm_outcome::iteration_limit;
                underflow = true;
                break;
            }
            const float before = ochisq_;
            step(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, &alamda);
            outcome.iterations++;
            moved = ochisq_ < before;
            if (moved)
                measure();
            if (moved && rule.quiet_steps > 0) {
                const double gained = static_cast<double>(before) - static_cast<double>(ochisq_);
                const bool small = gained < rule.absolute_drop + rule.relative_drop * before;
                quiet = small ? quiet + 1 : 0;
                if (quiet >= rule.quiet_steps) {
                    outcome.stop =
                        at_minimum(false) ? lm_outcome::converged : lm_outcome::small_steps;
                    break;
                }
            }
        }
    } catch (const numerics_error &e) {
        outcome.iterations++;
        return singular_end(outcome, e, ma, covar, chisq);
    }
    outcome.lambda_at_stop = alamda;
    outcome.predicted_drop = drop;
    outcome.resolution = noise;

    // The exact curvature decides, not the float alpha, whose rounding is what
    // the floor measures: from the derivatives in double where the library
    // knows them (fgauss), else from alpha, the one a user model gives.
    int weakest = 1;
    if (funcs == fgauss) {
        outcome.independence = independence(sums_at_stop().curvature(), mfit_, &weakest);
    } else {
        std::vector<double> curvature(static_cast<std::size_t>(mfit_) * mfit_);
        for (int j = 0; j < mfit_; j++)
            for (int k = 0; k < mfit_; k++)
                curvature[static_cast<std::size_t>(j) * mfit_ + k] = alpha[j + 1][k + 1];
        outcome.independence = independence(curvature.data(), mfit_, &weakest);
    }
    const char *before_words = outcome.stop == lm_outcome::converged     ? "converged"
                               : outcome.stop == lm_outcome::stalled     ? "stalled"
                               : outcome.stop == lm_outcome::small_steps ? "small steps"
                                                                         : "iteration limit";
    if (outcome.independence < floor) {
        // The curvature does not determine every parameter: its covariance is
        // left NaN, and gaussj is not asked to invert it.
        std::snprintf(outcome.message, size,
                      "degenerate (%s): parameter %d is a combination of the others, 1 - R^2 = "
                      "%.2g < %.2g",
                      before_words, parameter_index(ia, ma, weakest), outcome.independence, floor);
        return degenerate_end(outcome, ma, covar, chisq);
    }
    int falls = 0;
    double newton = 0.0;
    if (outcome.stop == lm_outcome::converged && funcs == fgauss &&
        (falls = detail::gauss_saddle(sums_at_stop(), alpha, beta_, floor, &newton)) != 0) {
        outcome.stop = lm_outcome::stalled;
        std::snprintf(outcome.message, size,
                      "stalled at a saddle: chi-square falls along parameter %d, which the "
                      "Gauss-Newton curvature does not see",
                      falls);
    } else if (outcome.stop == lm_outcome::stalled)
        std::snprintf(outcome.message, size,
                      "stalled: lambda passed %.3g while chi-square %.7g should still drop by %.3g",
                      static_cast<double>(rule.max_lambda), static_cast<double>(ochisq_), drop);
    else if (outcome.stop == lm_outcome::iteration_limit)
        std::snprintf(outcome.message, size,
                      "iteration limit: %s after %d calls, predicted drop %.3g",
                      underflow ? "lambda fell to 0" : "max_iterations", outcome.iterations, drop);
    else if (outcome.stop == lm_outcome::small_steps)
        std::snprintf(outcome.message, size, "small steps: predicted drop %.3g > %.3g", drop,
                      noise);
    alamda = 0.0f;
    try {
        step(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, &alamda);
    } catch (const numerics_error &e) {
        return singular_end(outcome, e, ma, covar, chisq);
    }
    return outcome;
}

}  // namespace tessivane
