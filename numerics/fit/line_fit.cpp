// Least-squares straight line y = a + b x, weighted by per-point standard deviations or not.
#include "stat.h"

#include <cmath>

#include "detail_rescale.h"
#include "nrutil.h"

namespace {

// fit()'s steps up to its goodness of fit, written into the outputs as fit() writes them.
// True when its sums stayed in float's range (see detail_rescale.h).
bool fit_line(const float x[], const float y[], int ndata, const float sig[], int mwt, float *a,
              float *b, float *siga, float *sigb, float *chi2)
{
    using tessivane::sqr;
    float sx = 0.0f;
    float sy = 0.0f;
    float st2 = 0.0f;
    float ss;
    *b = 0.0f;
    if (mwt) {
        ss = 0.0f;
        for (int i = 1; i <= ndata; i++) {
            const float wt = static_cast<float>(1.0 / sqr(sig[i]));
            ss += wt;
            sx += x[i] * wt;
            sy += y[i] * wt;
        }
    } else {
        for (int i = 1; i <= ndata; i++) {
            sx += x[i];
            sy += y[i];
        }
        ss = static_cast<float>(ndata);
    }
    // Centring on the weighted mean of x keeps the slope free of the cancellation that the
    // normal equations would suffer.
    const float sxoss = sx / ss;
    if (mwt) {
        for (int i = 1; i <= ndata; i++) {
            const float t = (x[i] - sxoss) / sig[i];
            st2 += t * t;
            *b += t * y[i] / sig[i];
        }
    } else {
        for (int i = 1; i <= ndata; i++) {
            const float t = x[i] - sxoss;
            st2 += t * t;
            *b += t * y[i];
        }
    }
    *b /= st2;
    *a = (sy - sx * *b) / ss;
    const float ratio = sx * sx / (ss * st2);
    *siga = static_cast<float>(std::sqrt((1.0 + ratio) / ss));
    *sigb = static_cast<float>(std::sqrt(1.0 / st2));

    *chi2 = 0.0f;
    for (int i = 1; i <= ndata; i++) {
        float resid = (y[i] - *a) - x[i] * *b;
        if (mwt)
            resid /= sig[i];
        *chi2 = static_cast<float>(*chi2 + sqr(resid));
    }

    if (!mwt) {
        // Without per-point errors, scale the standard errors by the scatter about the line.
        const float sigdat = static_cast<float>(
            std::sqrt(static_cast<double>(*chi2 / static_cast<float>(ndata - 2))));
        *siga *= sigdat;
        *sigb *= sigdat;
    }
    using tessivane::detail::normal_float;
    using tessivane::detail::squares_in_range;
    return squares_in_range(st2) && squares_in_range(*chi2) && normal_float(ss) &&
           std::isfinite(sx) && std::isfinite(sy) && std::isfinite(*a) && std::isfinite(*b) &&
           std::isfinite(ratio);
}

// The powers of two 2^-ex for x and 2^-ey for y (and sig, which sets ey when the fit is
// weighted) that bring each to a largest magnitude in [0.5, 1). False when a value is not
// finite or nothing would change.
bool rescale_exponents(const float x[], const float y[], const float sig[], int ndata, int mwt,
                       int *ex, int *ey)
{
    using tessivane::detail::scale_exponent;
    const unsigned long n = static_cast<unsigned long>(ndata);
    int ey_data;
    if (!scale_exponent(x, n, ex) || !scale_exponent(y, n, &ey_data))
        return false;
    if (!mwt)
        *ey = ey_data;
    else if (!scale_exponent(sig, n, ey))
        return false;
    return *ex != 0 || *ey != 0;
}

}  // namespace

void fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b, float *siga,
         float *sigb, float *chi2, float *q)
{
    using tessivane::detail::scaled_copy;
    // Out of range: the fit of x scaled by 2^-ex and of y (with sig, when weighted) by 2^-ey,
    // scaled back. The slope scales as y / x, the intercept and its error as y, chi-square as
    // y^2 unweighted; a weighted chi-square and its q do not change.
    int ex, ey;
    if (!fit_line(x, y, ndata, sig, mwt, a, b, siga, sigb, chi2) &&
        rescale_exponents(x, y, sig, ndata, mwt, &ex, &ey)) {
        const unsigned long n = static_cast<unsigned long>(ndata);
        const scaled_copy xs(x, n, ex), ys(y, n, ey);
        float fa, fb, fsiga, fsigb, fchi2;
        if (mwt) {
            const scaled_copy sigs(sig, n, ey);
            fit_line(xs, ys, ndata, sigs, mwt, &fa, &fb, &fsiga, &fsigb, &fchi2);
        } else {
            fit_line(xs, ys, ndata, nullptr, mwt, &fa, &fb, &fsiga, &fsigb, &fchi2);
        }
        *a = std::ldexp(fa, ey);
        *b = std::ldexp(fb, ey - ex);
        *siga = std::ldexp(fsiga, ey);
        *sigb = std::ldexp(fsigb, ey - ex);
        *chi2 = mwt ? fchi2 : std::ldexp(fchi2, 2 * ey);
    }
    *q = mwt ? gammq(static_cast<float>(0.5 * (ndata - 2)), 0.5f * *chi2) : 1.0f;
}
