// Singular value decomposition: A = U * diag(w) * V^T by Householder
// bidiagonalisation and implicit-shift QR (Golub-Reinsch), back-substitution
// through the factors, and the covariance V * diag(1/w^2) * V^T.
//
// Everything is single precision and callers rely on bit-identical results,
// so the order of every float operation is deliberate. The stages of svdcmp
// are in detail_svd.h, shared with the AVX2 path; here are the straightforward
// updates of the matrices that those stages leave to each path.

#include "detail_scratch.h"
#include "detail_svd.h"
#include "stat.h"

#include <cmath>

// The one definition of the no-convergence flag shared by every routine that
// runs svdcmp (and by callers of the library).
bool NoConvergenceInSVD = false;

namespace {

// The same news for the calling thread only, so that concurrent decompositions
// cannot overwrite each other's result.
thread_local bool svd_converged = true;

// svdcmp may run on several threads at once: the process-wide flag is stored
// atomically so that those stores do not race (the last one wins, as before).
inline void publish_no_convergence(bool value)
{
    __atomic_store_n(&NoConvergenceInSVD, value, __ATOMIC_RELAXED);
}

using tessivane::detail::absval;

}  // namespace

bool tessivane::last_svd_converged()
{
    return svd_converged;
}

float pythag(float a, float b)
{
    float absa = absval(a);
    float absb = absval(b);
    if (absa > absb) {
        float r = absb / absa;
        return absa * static_cast<float>(std::sqrt(1.0 + tessivane::sqr(r)));
    }
    if (absb == 0.0f)
        return 0.0f;
    float r = absa / absb;
    return absb * static_cast<float>(std::sqrt(1.0 + tessivane::sqr(r)));
}

namespace {

// The straightforward updates of the decomposition, on the caller's a (which
// becomes U) and v.
struct PortableSteps {
    float **a, **v;
    int m, n;

    void reflect_columns(int i, float h) const
    {
        for (int j = i + 1; j <= n; j++) {
            float s = 0.0f;
            for (int k = i; k <= m; k++)
                s += a[k][i] * a[k][j];
            float f = s / h;
            for (int k = i; k <= m; k++)
                a[k][j] += f * a[k][i];
        }
    }

    void reflect_rows(int i, const float *rv1) const
    {
        const int l = i + 1;
        for (int j = l; j <= m; j++) {
            float s = 0.0f;
            for (int k = l; k <= n; k++)
                s += a[j][k] * a[i][k];
            for (int k = l; k <= n; k++)
                a[j][k] += s * rv1[k];
        }
    }

    void accumulate_right(int i) const
    {
        const int l = i + 1;
        for (int j = l; j <= n; j++) {
            float s = 0.0f;
            for (int k = l; k <= n; k++)
                s += a[i][k] * v[k][j];
            for (int k = l; k <= n; k++)
                v[k][j] += s * v[k][i];
        }
    }

    void accumulate_left(int i, float g) const
    {
        const int l = i + 1;
        for (int j = l; j <= n; j++) {
            float s = 0.0f;
            for (int k = l; k <= m; k++)
                s += a[k][i] * a[k][j];
            float f = (s / a[i][i]) * g;
            for (int k = i; k <= m; k++)
                a[k][j] += f * a[k][i];
        }
    }

    static void rotate_columns(float **x, int rows, int p, int q, float c, float s)
    {
        for (int j = 1; j <= rows; j++) {
            float y = x[j][p];
            float z = x[j][q];
            x[j][p] = y * c + z * s;
            x[j][q] = z * c - y * s;
        }
    }

    void rotate_u(int p, int q, float c, float s) const { rotate_columns(a, m, p, q, c, s); }
    void rotate_v(int p, int q, float c, float s) const { rotate_columns(v, n, p, q, c, s); }

    void negate_v(int k) const
    {
        for (int j = 1; j <= n; j++)
            v[j][k] = -v[j][k];
    }
};

}  // namespace

void svdcmp(float **a, int m, int n, float *w, float **v)
{
    publish_no_convergence(false);
    svd_converged = true;
    tessivane::detail::scratch_vector<float> rv1(1, n);

    bool no_convergence = false;
    if (!tessivane::detail::use_avx2() ||
        !tessivane::detail::svdcmp_avx2(a, m, n, w, v, rv1, no_convergence)) {
        namespace svd = tessivane::detail::svd;
        PortableSteps steps{a, v, m, n};
        svd::bidiagonalise(a, m, n, w, rv1, steps);
        svd::accumulate_right(a, n, v, rv1, steps);
        svd::accumulate_left(a, m, n, w, steps);
        no_convergence = svd::diagonalise(n, w, rv1, steps);
    }
    if (no_convergence) {
        publish_no_convergence(true);
        svd_converged = false;
    }
}

void svbksb(float **u, float *w, float **v, int m, int n, float *b, float *x)
{
    tessivane::detail::scratch_vector<float> tmp(1, n);
    // All of b is consumed here, before x is written, so b and x may alias.
    for (int j = 1; j <= n; j++) {
        float s = 0.0f;
        if (w[j] != 0.0f) {
            for (int i = 1; i <= m; i++)
                s += u[i][j] * b[i];
            s /= w[j];
        }
        tmp[j] = s;
    }
    for (int j = 1; j <= n; j++) {
        float s = 0.0f;
        for (int jj = 1; jj <= n; jj++)
            s += v[j][jj] * tmp[jj];
        x[j] = s;
    }
}

void svdvar(float **v, int ma, float *w, float **cvm)
{
    tessivane::detail::scratch_vector<float> wti(1, ma);
    for (int i = 1; i <= ma; i++) {
        wti[i] = 0.0f;
        if (w[i] != 0.0f)
            wti[i] = 1.0f / (w[i] * w[i]);
    }
    for (int i = 1; i <= ma; i++) {
        for (int j = 1; j <= i; j++) {
            float sum = 0.0f;
            for (int k = 1; k <= ma; k++)
                sum += v[i][k] * v[j][k] * wti[k];
            cvm[j][i] = cvm[i][j] = sum;
        }
    }
}
