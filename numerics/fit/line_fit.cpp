// Least-squares straight line y = a + b x, weighted by per-point standard deviations or not.
#include "stat.h"

#include <cmath>

#include "nrutil.h"

void fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b, float *siga,
         float *sigb, float *chi2, float *q)
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
        *q = 1.0f;
        const float sigdat = static_cast<float>(
            std::sqrt(static_cast<double>(*chi2 / static_cast<float>(ndata - 2))));
        *siga *= sigdat;
        *sigb *= sigdat;
    } else {
        *q = gammq(static_cast<float>(0.5 * (ndata - 2)), 0.5f * *chi2);
    }
}
