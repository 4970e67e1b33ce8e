// Singular value decomposition: A = U * diag(w) * V^T by Householder
// bidiagonalisation and implicit-shift QR (Golub-Reinsch), back-substitution
// through the factors, and the covariance V * diag(1/w^2) * V^T.
//
// Everything is single precision. Square roots go through the double-precision
// std::sqrt and are rounded back to float; the one exception in the QR shift
// is marked where it happens. Callers rely on bit-identical results, so the
// order of every float operation below is deliberate.

#include "detail_linalg.h"
#include "stat.h"

#include "detail_scratch.h"

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

// Convergence and cancellation thresholds are absolute, not scaled by a norm
// of the matrix.
constexpr float kSplitTolerance = 1.0e-6f;
constexpr int kMaxSweeps = 100;

// |x| as x >= 0 ? x : -x (so -0 stays -0, which only matters bitwise).
using tessivane::detail::absval;

// |a| carrying the sign of b; b == 0 counts as positive.
inline float sign(float a, float b)
{
    return b >= 0.0f ? absval(a) : -absval(a);
}

inline float froot(float x)
{
    return static_cast<float>(std::sqrt(static_cast<double>(x)));
}

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

void svdcmp(float **a, int m, int n, float *w, float **v)
{
    publish_no_convergence(false);
    svd_converged = true;
    tessivane::detail::scratch_vector<float> rv1(1, n);

    bool no_convergence = false;
    if (tessivane::detail::use_avx2() &&
        tessivane::detail::svdcmp_avx2(a, m, n, w, v, rv1, no_convergence)) {
        if (no_convergence) {
            publish_no_convergence(true);
            svd_converged = false;
        }
        return;
    }

    float g = 0.0f, scale = 0.0f, s = 0.0f, f, h;
    int l = 0;

    // Householder reduction to upper bidiagonal form: w holds the diagonal,
    // rv1 the superdiagonal.
    for (int i = 1; i <= n; i++) {
        l = i + 1;
        rv1[i] = scale * g;
        g = s = scale = 0.0f;
        if (i <= m) {
            for (int k = i; k <= m; k++)
                scale += absval(a[k][i]);
            if (scale != 0.0f) {
                for (int k = i; k <= m; k++) {
                    a[k][i] /= scale;
                    s += a[k][i] * a[k][i];
                }
                f = a[i][i];
                g = -sign(froot(s), f);
                h = f * g - s;
                a[i][i] = f - g;
                for (int j = l; j <= n; j++) {
                    s = 0.0f;
                    for (int k = i; k <= m; k++)
                        s += a[k][i] * a[k][j];
                    f = s / h;
                    for (int k = i; k <= m; k++)
                        a[k][j] += f * a[k][i];
                }
                for (int k = i; k <= m; k++)
                    a[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        g = s = scale = 0.0f;
        if (i <= m && i != n) {
            for (int k = l; k <= n; k++)
                scale += absval(a[i][k]);
            if (scale != 0.0f) {
                for (int k = l; k <= n; k++) {
                    a[i][k] /= scale;
                    s += a[i][k] * a[i][k];
                }
                f = a[i][l];
                g = -sign(froot(s), f);
                h = f * g - s;
                a[i][l] = f - g;
                for (int k = l; k <= n; k++)
                    rv1[k] = a[i][k] / h;
                for (int j = l; j <= m; j++) {
                    s = 0.0f;
                    for (int k = l; k <= n; k++)
                        s += a[j][k] * a[i][k];
                    for (int k = l; k <= n; k++)
                        a[j][k] += s * rv1[k];
                }
                for (int k = l; k <= n; k++)
                    a[i][k] *= scale;
            }
        }
    }

    // Accumulate the right-hand transformations into v.
    for (int i = n; i >= 1; i--) {
        if (i < n) {
            if (g != 0.0f) {
                for (int j = l; j <= n; j++)
                    v[j][i] = (a[i][j] / a[i][l]) / g;
                for (int j = l; j <= n; j++) {
                    s = 0.0f;
                    for (int k = l; k <= n; k++)
                        s += a[i][k] * v[k][j];
                    for (int k = l; k <= n; k++)
                        v[k][j] += s * v[k][i];
                }
            }
            for (int j = l; j <= n; j++)
                v[i][j] = v[j][i] = 0.0f;
        }
        v[i][i] = 1.0f;
        g = rv1[i];
        l = i;
    }

    // Accumulate the left-hand transformations into a, which becomes U.
    for (int i = tessivane::imin(m, n); i >= 1; i--) {
        l = i + 1;
        g = w[i];
        for (int j = l; j <= n; j++)
            a[i][j] = 0.0f;
        if (g != 0.0f) {
            g = 1.0f / g;
            for (int j = l; j <= n; j++) {
                s = 0.0f;
                for (int k = l; k <= m; k++)
                    s += a[k][i] * a[k][j];
                f = (s / a[i][i]) * g;
                for (int k = i; k <= m; k++)
                    a[k][j] += f * a[k][i];
            }
            for (int j = i; j <= m; j++)
                a[j][i] *= g;
        } else {
            for (int j = i; j <= m; j++)
                a[j][i] = 0.0f;
        }
        a[i][i] += 1.0f;
    }

    // Diagonalise the bidiagonal form, one singular value at a time from the
    // bottom, with at most kMaxSweeps implicit-shift QR sweeps for each.
    for (int k = n; k >= 1; k--) {
        for (int its = 1; its <= kMaxSweeps; its++) {
            bool cancel = true;
            int nm = 0;
            for (l = k; l >= 1; l--) {
                nm = l - 1;
                // rv1[1] is always 0, so the scan ends at l = 1 at the latest
                // and w[0] is never read.
                if (absval(rv1[l]) < kSplitTolerance) {
                    cancel = false;
                    break;
                }
                if (absval(w[nm]) < kSplitTolerance)
                    break;
            }
            if (cancel) {
                // w[nm] is negligible: chase rv1[l] out with rotations.
                float c = 0.0f;
                s = 1.0f;
                for (int i = l; i <= k; i++) {
                    f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (absval(f) < kSplitTolerance)
                        break;
                    g = w[i];
                    h = pythag(f, g);
                    w[i] = h;
                    h = 1.0f / h;
                    c = g * h;
                    s = -f * h;
                    for (int j = 1; j <= m; j++) {
                        float y = a[j][nm];
                        float z = a[j][i];
                        a[j][nm] = y * c + z * s;
                        a[j][i] = z * c - y * s;
                    }
                }
            }
            float z = w[k];
            if (l == k) {
                // Converged; make the singular value non-negative.
                if (z < 0.0f) {
                    w[k] = -z;
                    for (int j = 1; j <= n; j++)
                        v[j][k] = -v[j][k];
                }
                break;
            }
            // The last sweep still runs; its result is kept unchecked.
            if (its == kMaxSweeps) {
                publish_no_convergence(true);
                svd_converged = false;
            }

            // Shift from the trailing 2x2 block.
            float x = w[l];
            nm = k - 1;
            float y = w[nm];
            g = rv1[nm];
            h = rv1[k];
            f = ((y - z) * (y + z) + (g - h) * (g + h)) / ((h + h) * y);
            g = pythag(f, 1.0f);
            {
                // (x - z)(x + z) in float, the rest of the shift in double.
                float xz = (x - z) * (x + z);
                double hd = static_cast<double>(h);
                double q = static_cast<double>(y) /
                           (static_cast<double>(f) + static_cast<double>(sign(g, f)));
                f = static_cast<float>((static_cast<double>(xz) + hd * (q - hd)) /
                                       static_cast<double>(x));
            }

            // QR sweep by Givens rotations.
            float c = 1.0f;
            s = 1.0f;
            for (int j = l; j <= nm; j++) {
                int i = j + 1;
                g = rv1[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = pythag(f, h);
                rv1[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y = y * c;
                for (int jj = 1; jj <= n; jj++) {
                    float xv = v[jj][j];
                    float zv = v[jj][i];
                    v[jj][j] = xv * c + zv * s;
                    v[jj][i] = zv * c - xv * s;
                }
                z = pythag(f, h);
                w[j] = z;
                if (z != 0.0f) {
                    z = 1.0f / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (int jj = 1; jj <= m; jj++) {
                    float ya = a[jj][j];
                    float za = a[jj][i];
                    a[jj][j] = ya * c + za * s;
                    a[jj][i] = za * c - ya * s;
                }
            }
            rv1[l] = 0.0f;
            rv1[k] = f;
            w[k] = x;
        }
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
