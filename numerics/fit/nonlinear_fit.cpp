// Nonlinear least squares by Levenberg-Marquardt: one iteration per mrqmin
// call, driven by the caller through alamda; the chi-square, gradient and
// curvature evaluation; the spreading of a packed covariance matrix; and a
// ready-made sum-of-Gaussians model.

#include "stat.h"

#include "detail_fit.h"
#include "detail_refuse.h"
#include "detail_scratch.h"

#include <cmath>
#include <new>
#include <utility>

namespace {

// The built-in model goes kModelBlock points at a time when it has at most
// kModelBlockMa parameters.
constexpr int kModelBlock = tessivane::detail::kFgaussBlock;
constexpr int kModelBlockMa = 16;

bool model_in_blocks(void (*funcs)(float, float *, float *, float *, int), int ma)
{
    return TV_HAVE_AVX2_PATHS && funcs == fgauss && ma <= kModelBlockMa &&
           tessivane::active_isa() != tessivane::isa::portable;
}

// Points of the block that starts at point i0 (of 1..ndata).
int block_count(int ndata, int i0)
{
    return ndata - i0 + 1 < kModelBlock ? ndata - i0 + 1 : kModelBlock;
}

// The built-in model with one Gaussian, every parameter free: the model and
// mrqcof's ten sums block by block on the AVX2 path.
void one_free_gaussian(const float *x, const float *y, const float *sig, int ndata, const float *a,
                       float **alpha, float *beta, float *chisq)
{
    constexpr int B = kModelBlock;
    float sums[10] = {};  // a11 a21 a22 a31 a32 a33 b1 b2 b3 chisq
    float ymods[B], dydas[B * 3];
    for (int i0 = 1; i0 <= ndata; i0 += B) {
        const int count = block_count(ndata, i0);
        tessivane::detail::fgauss_points_avx2(x + i0, a, 3, count, ymods, dydas);
        tessivane::detail::three_free_sums_avx2(sums, y + i0, sig + i0, ymods, dydas, dydas + B,
                                                dydas + 2 * B, count);
    }
    alpha[1][1] = sums[0];
    alpha[2][1] = sums[1];
    alpha[2][2] = sums[2];
    alpha[3][1] = sums[3];
    alpha[3][2] = sums[4];
    alpha[3][3] = sums[5];
    beta[1] = sums[6];
    beta[2] = sums[7];
    beta[3] = sums[8];
    *chisq = sums[9];
}

}  // namespace

void mrqcof(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma, float **alpha,
            float *beta, float *chisq, void (*funcs)(float, float *, float *, float *, int))
{
    int mfit = 0;
    for (int j = 1; j <= ma; j++)
        if (ia[j])
            mfit++;
    tessivane::detail::local_vector<float, 16> dyda(ma);
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

    // Point i's terms, with its model value and derivatives d[1..ma].
    auto add_point = [&](int i, float ymod, const float *d) {
        float sig2i = 1.0f / (sig[i] * sig[i]);
        float dy = y[i] - ymod;
        int j = 0;
        for (int l = 1; l <= ma; l++) {
            if (!ia[l])
                continue;
            float wt = d[l] * sig2i;
            j++;
            int k = 0;
            for (int m = 1; m <= l; m++)
                if (ia[m])
                    alpha[j][++k] += wt * d[m];
            beta[j] += dy * wt;
        }
        *chisq += dy * dy * sig2i;
    };
    const bool in_blocks = model_in_blocks(funcs, ma);
    if (in_blocks && ma == 3 && ia[1] && ia[2] && ia[3]) {
        one_free_gaussian(x, y, sig, ndata, a, alpha, beta, chisq);
    } else if (in_blocks) {
        // The model at a block of points side by side (each point's bits as
        // fgauss gives them), then the sums point by point in order.
        float ymods[kModelBlock], dydas[kModelBlock * kModelBlockMa];
        for (int i0 = 1; i0 <= ndata; i0 += kModelBlock) {
            const int count = block_count(ndata, i0);
            tessivane::detail::fgauss_points_avx2(x + i0, a, ma, count, ymods, dydas);
            for (int p = 0; p < count; p++) {
                for (int k = 1; k <= ma; k++)
                    dyda[k] = dydas[(k - 1) * kModelBlock + p];
                add_point(i0 + p, ymods[p], dyda);
            }
        }
    } else {
        for (int i = 1; i <= ndata; i++) {
            float ymod;
            (*funcs)(x[i], a, &ymod, dyda, ma);
            add_point(i, ymod, dyda);
        }
    }

    for (int j = 2; j <= mfit; j++)
        for (int k = 1; k < j; k++)
            alpha[k][j] = alpha[j][k];
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

namespace tessivane {

namespace {

// The fits whose model this thread is running, innermost first, each entry on
// the stack of the step that calls the model. Stepping one of them from inside
// its own model would free or reshape the storage the running step uses.
struct running_model {
    const lm_fit *fit;
    const running_model *outer;
};
thread_local const running_model *models_running = nullptr;

class model_scope {
public:
    explicit model_scope(const lm_fit *fit)
        : entry_{fit, models_running}
    {
        models_running = &entry_;
    }
    ~model_scope() { models_running = entry_.outer; }
    model_scope(const model_scope &) = delete;
    model_scope &operator=(const model_scope &) = delete;

private:
    running_model entry_;
};

bool model_running(const lm_fit *fit)
{
    for (const running_model *r = models_running; r; r = r->outer)
        if (r->fit == fit)
            return true;
    return false;
}

}  // namespace

lm_fit::lm_fit() = default;

lm_fit::~lm_fit()
{
    release_storage();
}

// Releases whatever work storage exists; also the partial storage of an
// initialising call that was interrupted by a throw.
void lm_fit::release_storage()
{
    if (oneda_)
        free_matrix(oneda_, 1, mfit_, 1, 1);
    if (da_)
        free_vector(da_, 1, ma_);
    if (beta_)
        free_vector(beta_, 1, ma_);
    if (atry_)
        free_vector(atry_, 1, ma_);
    oneda_ = nullptr;
    da_ = beta_ = atry_ = nullptr;
    active_ = false;
}

void lm_fit::step(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                  float **covar, float **alpha, float *chisq, lm_model funcs, float *alamda)
{
    // Refused before the clean-up below could release the running step's storage.
    if (model_running(this))
        nrerror("lm_fit: a step from inside the model of the same fit");
    // The catch only runs when nrerror throws (or the model does): an
    // interrupted fit is no fit at all, and its storage goes with it.
    try {
        iterate(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, alamda);
    } catch (...) {
        release_storage();
        throw;
    }
}

void lm_fit::iterate(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                     float **covar, float **alpha, float *chisq, lm_model funcs, float *alamda)
{
    if (*alamda < 0.0f) {
        // A new fit replaces one that was never finished.
        if (active_)
            release_storage();
        ma_ = ma;
        atry_ = vector(1, ma);
        beta_ = vector(1, ma);
        da_ = vector(1, ma);
        mfit_ = 0;
        for (int j = 1; j <= ma; j++)
            if (ia[j])
                mfit_++;
        oneda_ = matrix(1, mfit_, 1, 1);
        active_ = true;

        *alamda = 0.001f;
        const model_scope model(this);
        mrqcof(x, y, sig, ndata, a, ia, ma, alpha, beta_, chisq, funcs);
        ochisq_ = *chisq;
        for (int j = 1; j <= ma; j++)
            atry_[j] = a[j];
    } else if (!active_) {
        nrerror("mrqmin: no fit in progress (start one with alamda < 0)");
    }

    const int mfit = mfit_;
    for (int j = 1; j <= mfit; j++) {
        for (int k = 1; k <= mfit; k++)
            covar[j][k] = alpha[j][k];
        // The damped diagonal is formed in double.
        covar[j][j] = static_cast<float>(static_cast<double>(alpha[j][j]) *
                                         (1.0 + static_cast<double>(*alamda)));
        oneda_[j][1] = beta_[j];
    }
    gaussj(covar, mfit, oneda_, 1);
    for (int j = 1; j <= mfit; j++)
        da_[j] = oneda_[j][1];

    if (*alamda == 0.0f) {
        covsrt(covar, ma, ia, mfit);
        release_storage();
        return;
    }

    for (int j = 0, l = 1; l <= ma; l++)
        if (ia[l])
            atry_[l] = a[l] + da_[++j];
    {
        const model_scope model(this);
        mrqcof(x, y, sig, ndata, atry_, ia, ma, covar, da_, chisq, funcs);
    }

    if (*chisq < ochisq_) {
        *alamda = static_cast<float>(static_cast<double>(*alamda) * 0.1);
        ochisq_ = *chisq;
        for (int j = 1; j <= mfit; j++) {
            for (int k = 1; k <= mfit; k++)
                alpha[j][k] = covar[j][k];
            beta_[j] = da_[j];
        }
        for (int l = 1; l <= ma; l++)
            a[l] = atry_[l];
    } else {
        *alamda *= 10.0f;
        *chisq = ochisq_;
    }
}

}  // namespace tessivane

namespace {

// The fit that mrqmin drives: one per process, never destroyed, so that a
// thread still fitting while another ends the process with exit() keeps its
// work storage.
tessivane::lm_fit *&process_fit()
{
    static tessivane::lm_fit *fit = new tessivane::lm_fit;
    return fit;
}

// Set while an mrqmin call runs and cleared when it returns or throws. Found
// set on entry, it tells of a call that never came back: an error handler left
// it by longjmp, past the clean-up. That fit is abandoned, never resumed.
bool call_open = false;

struct OpenCall {
    OpenCall() { call_open = true; }
    ~OpenCall() { call_open = false; }
    OpenCall(const OpenCall &) = delete;
    OpenCall &operator=(const OpenCall &) = delete;
};

}  // namespace

void mrqmin(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma, float **covar,
            float **alpha, float *chisq, void (*funcs)(float, float *, float *, float *, int),
            float *alamda)
{
    tessivane::lm_fit *&fit = process_fit();
    // From the model of the running fit: that call is still open, but not abandoned.
    if (tessivane::model_running(fit))
        nrerror("mrqmin: a call from inside the model of the fit in progress");
    if (call_open) {
        tessivane::lm_fit *fresh = new tessivane::lm_fit;
        delete fit;  // releases the abandoned fit's work storage
        fit = fresh;
    }
    const OpenCall open;
    fit->step(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, alamda);
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
