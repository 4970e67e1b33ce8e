// Nonlinear least squares by Levenberg-Marquardt: one iteration per mrqmin
// call, driven by the caller through alamda; the chi-square, gradient and
// curvature evaluation; the spreading of a packed covariance matrix; and a
// ready-made sum-of-Gaussians model.

#include "stat.h"

#include <cmath>
#include <utility>

namespace {

// One fit in progress per process. The work storage exists exactly while
// `active` is set; its bounds are remembered so that it can be released even
// when a new fit is started before the previous one was finished.
struct FitState {
    bool active = false;
    int ma = 0;
    int mfit = 0;
    float ochisq = 0.0f;
    float *atry = nullptr;
    float *beta = nullptr;
    float *da = nullptr;
    float **oneda = nullptr;
};

FitState lm;

void release_fit_storage()
{
    free_matrix(lm.oneda, 1, lm.mfit, 1, 1);
    free_vector(lm.da, 1, lm.ma);
    free_vector(lm.beta, 1, lm.ma);
    free_vector(lm.atry, 1, lm.ma);
    lm.oneda = nullptr;
    lm.da = lm.beta = lm.atry = nullptr;
    lm.active = false;
}

}  // namespace

void mrqcof(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma, float **alpha,
            float *beta, float *chisq, void (*funcs)(float, float *, float *, float *, int))
{
    int mfit = 0;
    for (int j = 1; j <= ma; j++)
        if (ia[j])
            mfit++;
    float *dyda = vector(1, ma);
    // A model that leaves a derivative unwritten contributes 0 for it rather
    // than whatever the scratch storage held.
    for (int j = 1; j <= ma; j++)
        dyda[j] = 0.0f;

    for (int j = 1; j <= mfit; j++) {
        for (int k = 1; k <= j; k++)
            alpha[j][k] = 0.0f;
        beta[j] = 0.0f;
    }
    *chisq = 0.0f;

    for (int i = 1; i <= ndata; i++) {
        float ymod;
        (*funcs)(x[i], a, &ymod, dyda, ma);
        float sig2i = 1.0f / (sig[i] * sig[i]);
        float dy = y[i] - ymod;
        int j = 0;
        for (int l = 1; l <= ma; l++) {
            if (!ia[l])
                continue;
            float wt = dyda[l] * sig2i;
            j++;
            int k = 0;
            for (int m = 1; m <= l; m++)
                if (ia[m])
                    alpha[j][++k] += wt * dyda[m];
            beta[j] += dy * wt;
        }
        *chisq += dy * dy * sig2i;
    }

    for (int j = 2; j <= mfit; j++)
        for (int k = 1; k < j; k++)
            alpha[k][j] = alpha[j][k];

    free_vector(dyda, 1, ma);
}

void covsrt(float **covar, int ma, int *ia, int mfit)
{
    for (int i = mfit + 1; i <= ma; i++)
        for (int j = 1; j <= i; j++)
            covar[i][j] = covar[j][i] = 0.0f;

    int k = mfit;
    for (int j = ma; j >= 1; j--) {
        if (ia[j]) {
            for (int i = 1; i <= ma; i++)
                std::swap(covar[i][k], covar[i][j]);
            for (int i = 1; i <= ma; i++)
                std::swap(covar[k][i], covar[j][i]);
            k--;
        }
    }
}

void mrqmin(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma, float **covar,
            float **alpha, float *chisq, void (*funcs)(float, float *, float *, float *, int),
            float *alamda)
{
    if (*alamda < 0.0f) {
        // A new fit replaces one that was never finished.
        if (lm.active)
            release_fit_storage();
        lm.ma = ma;
        lm.atry = vector(1, ma);
        lm.beta = vector(1, ma);
        lm.da = vector(1, ma);
        lm.mfit = 0;
        for (int j = 1; j <= ma; j++)
            if (ia[j])
                lm.mfit++;
        lm.oneda = matrix(1, lm.mfit, 1, 1);
        lm.active = true;

        *alamda = 0.001f;
        mrqcof(x, y, sig, ndata, a, ia, ma, alpha, lm.beta, chisq, funcs);
        lm.ochisq = *chisq;
        for (int j = 1; j <= ma; j++)
            lm.atry[j] = a[j];
    } else if (!lm.active) {
        nrerror("mrqmin: no fit in progress (start one with alamda < 0)");
    }

    const int mfit = lm.mfit;
    for (int j = 1; j <= mfit; j++) {
        for (int k = 1; k <= mfit; k++)
            covar[j][k] = alpha[j][k];
        // The damped diagonal is formed in double.
        covar[j][j] = static_cast<float>(static_cast<double>(alpha[j][j]) *
                                         (1.0 + static_cast<double>(*alamda)));
        lm.oneda[j][1] = lm.beta[j];
    }
    gaussj(covar, mfit, lm.oneda, 1);
    for (int j = 1; j <= mfit; j++)
        lm.da[j] = lm.oneda[j][1];

    if (*alamda == 0.0f) {
        covsrt(covar, ma, ia, mfit);
        release_fit_storage();
        return;
    }

    for (int j = 0, l = 1; l <= ma; l++)
        if (ia[l])
            lm.atry[l] = a[l] + lm.da[++j];
    mrqcof(x, y, sig, ndata, lm.atry, ia, ma, covar, lm.da, chisq, funcs);

    if (*chisq < lm.ochisq) {
        *alamda = static_cast<float>(static_cast<double>(*alamda) * 0.1);
        lm.ochisq = *chisq;
        for (int j = 1; j <= mfit; j++) {
            for (int k = 1; k <= mfit; k++)
                alpha[j][k] = covar[j][k];
            lm.beta[j] = lm.da[j];
        }
        for (int l = 1; l <= ma; l++)
            a[l] = lm.atry[l];
    } else {
        *alamda *= 10.0f;
        *chisq = lm.ochisq;
    }
}

void fgauss(float x, float *a, float *y, float *dyda, int na)
{
    *y = 0.0f;
    // Whole triples only: a trailing pair or single parameter is not part of
    // any Gaussian and gets no derivative.
    for (int i = 1; i + 2 <= na; i += 3) {
        float arg = (x - a[i + 1]) / a[i + 2];
        float ex = static_cast<float>(std::exp(-static_cast<double>(arg * arg)));
        float bex = a[i] * ex;
        float fac = static_cast<float>(static_cast<double>(bex) * 2.0 * static_cast<double>(arg));
        *y += bex;
        dyda[i] = ex;
        dyda[i + 1] = fac / a[i + 2];
        dyda[i + 2] = fac * arg / a[i + 2];
    }
}
