// General linear least squares: fit y(x) = sum_j a[j] X_j(x) by the singular
// value decomposition of the weighted design matrix, with singular values below
// 1e-5 times the largest one treated as zero; and the polynomial basis.

#include "stat.h"

#include "detail_fit.h"
#include "detail_refuse.h"
#include "detail_scratch.h"

namespace tessivane {
namespace detail {

namespace {

constexpr double kSingularValueCut = 1.0e-5;

}  // namespace

float weighted_design_row(float x, float sig, void (*funcs)(float, float *, int), float *afunc,
                          float *u_row, int ma)
{
    (*funcs)(x, afunc, ma);
    float tmp = 1.0f / sig;
    for (int j = 1; j <= ma; j++)
        u_row[j] = afunc[j] * tmp;
    return tmp;
}

void cut_small_singular_values(float *w, int ma)
{
    float wmax = 0.0f;
    for (int j = 1; j <= ma; j++)
        if (w[j] > wmax)
            wmax = w[j];
    // The threshold is never negative, so a value that an unconverged
    // decomposition left negative is cut as well.
    float thresh = static_cast<float>(kSingularValueCut * static_cast<double>(wmax));
    for (int j = 1; j <= ma; j++)
        if (w[j] < thresh)
            w[j] = 0.0f;
}

float chisq_term(const float *a, const float *afunc, int ma, float y, float sig)
{
    float sum = 0.0f;
    for (int j = 1; j <= ma; j++)
        sum += a[j] * afunc[j];
    float tmp = (y - sum) / sig;
    return tmp * tmp;
}

}  // namespace detail
}  // namespace tessivane

void svdfit(float *x, float *y, float *sig, int ndata, float *a, int ma, float **u, float **v,
            float *w, float *chisq, void (*funcs)(float, float *, int))
{
    using namespace tessivane::detail;
    // Without a basis function the callback would be handed an empty vector to write.
    if (ma < 1)
        refuse("svdfit: ma = %d, there must be at least one basis function", ma);
    // Released in reverse order (afunc, then b) on return, and also on a throw.
    scratch_vector<float> b(1, ndata);
    scratch_vector<float> afunc(1, ma);

    for (int i = 1; i <= ndata; i++)
        b[i] = y[i] * weighted_design_row(x[i], sig[i], funcs, afunc, u[i], ma);
    svdcmp(u, ndata, ma, w, v);
    cut_small_singular_values(w, ma);
    svbksb(u, w, v, ndata, ma, b, a);

    *chisq = 0.0f;
    for (int i = 1; i <= ndata; i++) {
        (*funcs)(x[i], afunc, ma);
        *chisq += chisq_term(a, afunc, ma, y[i], sig[i]);
    }
}

void fpoly(float x, float *p, int np)
{
    p[1] = 1.0f;
    for (int j = 2; j <= np; j++)
        p[j] = p[j - 1] * x;
}
