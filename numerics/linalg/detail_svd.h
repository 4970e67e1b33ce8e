#ifndef TESSIVANE_DETAIL_SVD_H
#define TESSIVANE_DETAIL_SVD_H

// The stages of svdcmp, written once for both of its paths. Each stage keeps
// the scalar bookkeeping (scales, reflector and rotation parameters, the
// split test, the shift, the sweep count) and hands the bulk updates of the
// matrices to a Steps object, which knows the m x n matrix a and the n x n v:
//
//   reflect_columns(i, h)   for j = i+1..n: s = sum over k = i..m of
//                           a[k][i] a[k][j]; a[k][j] += (s / h) a[k][i], k = i..m
//   reflect_rows(i, rv1)    for j = i+1..m: s = sum over k = i+1..n of
//                           a[j][k] a[i][k]; a[j][k] += s rv1[k]
//   accumulate_right(i)     for j = i+1..n: s = sum over k = i+1..n of
//                           a[i][k] v[k][j]; v[k][j] += s v[k][i]
//   accumulate_left(i, g)   for j = i+1..n: s = sum over k = i+1..m of
//                           a[k][i] a[k][j]; a[k][j] += ((s / a[i][i]) g) a[k][i],
//                           k = i..m
//   rotate_u(p, q, c, s)    columns p and q of U: (x, z) becomes
//   rotate_v(p, q, c, s)    (x c + z s, z c - x s); likewise for V
//   negate_v(k)             column k of V negated
//
// every sum a float running sum from 0 with k ascending. The rotations and the
// negation may act on working copies of U and V. Everything is single
// precision; square roots go through the double-precision std::sqrt and are
// rounded back to float, and the one double-precision step of the shift is
// marked where it happens. Callers rely on bit-identical results, so the
// order of every float operation is deliberate.

#include "detail_linalg.h"
#include "stat.h"

#include <cmath>

namespace tessivane {
namespace detail {
namespace svd {

// Convergence and cancellation thresholds are absolute, not scaled by a norm
// of the matrix.
constexpr float kSplitTolerance = 1.0e-6f;
constexpr int kMaxSweeps = 100;

// |a| carrying the sign of b; b == 0 counts as positive.
inline float sign(float a, float b)
{
    return b >= 0.0f ? absval(a) : -absval(a);
}

inline float froot(float x)
{
    return static_cast<float>(std::sqrt(static_cast<double>(x)));
}

// The Householder reflector of the line x(lo..hi), scaled by the sum of its
// magnitudes (which is left in scale): x(lo) becomes f - g, update(h) applies
// the reflector to the rest of the matrix, and the line is scaled back. g is
// returned, 0 when the line is 0.
template <class Line, class Update>
float reflect(Line x, int lo, int hi, float &scale, Update update)
{
    scale = 0.0f;
    for (int k = lo; k <= hi; k++)
        scale += absval(x(k));
    if (scale == 0.0f)
        return 0.0f;
    float s = 0.0f;
    for (int k = lo; k <= hi; k++) {
        x(k) /= scale;
        s += x(k) * x(k);
    }
    const float f = x(lo);
    const float g = -sign(froot(s), f);
    const float h = f * g - s;
    x(lo) = f - g;
    update(h);
    for (int k = lo; k <= hi; k++)
        x(k) *= scale;
    return g;
}

// Householder reduction to upper bidiagonal form: w holds the diagonal, rv1
// the superdiagonal (rv1[1] = 0).
template <class Steps>
void bidiagonalise(float **a, int m, int n, float *w, float *rv1, Steps &steps)
{
    float g = 0.0f, scale = 0.0f;
    for (int i = 1; i <= n; i++) {
        const int l = i + 1;
        rv1[i] = scale * g;
        g = scale = 0.0f;
        if (i <= m)
            g = reflect([a, i](int k) -> float & { return a[k][i]; }, i, m, scale,
                        [&](float h) { steps.reflect_columns(i, h); });
        w[i] = scale * g;
        g = scale = 0.0f;
        if (i <= m && i != n)
            g = reflect([a, i](int k) -> float & { return a[i][k]; }, l, n, scale,
                        [&](float h) {
                            for (int k = l; k <= n; k++)
                                rv1[k] = a[i][k] / h;
                            steps.reflect_rows(i, rv1);
                        });
    }
}

// V from the right-hand reflectors stored in the rows of a.
template <class Steps>
void accumulate_right(float **a, int n, float **v, const float *rv1, Steps &steps)
{
    float g = 0.0f;
    for (int i = n; i >= 1; i--) {
        const int l = i + 1;
        if (i < n) {
            if (g != 0.0f) {
                for (int j = l; j <= n; j++)
                    v[j][i] = (a[i][j] / a[i][l]) / g;
                steps.accumulate_right(i);
            }
            for (int j = l; j <= n; j++)
                v[i][j] = v[j][i] = 0.0f;
        }
        v[i][i] = 1.0f;
        g = rv1[i];
    }
}

// U, in place of a, from the left-hand reflectors stored in its columns.
template <class Steps>
void accumulate_left(float **a, int m, int n, const float *w, Steps &steps)
{
    for (int i = imin(m, n); i >= 1; i--) {
        const int l = i + 1;
        float g = w[i];
        for (int j = l; j <= n; j++)
            a[i][j] = 0.0f;
        if (g != 0.0f) {
            g = 1.0f / g;
            steps.accumulate_left(i, g);
            for (int j = i; j <= m; j++)
                a[j][i] *= g;
        } else {
            for (int j = i; j <= m; j++)
                a[j][i] = 0.0f;
        }
        a[i][i] += 1.0f;
    }
}

// The first rotation's f from the trailing 2x2 block (x = w[l], y = w[k-1],
// z = w[k], g = rv1[k-1], h = rv1[k]).
inline float qr_shift(float x, float y, float z, float g, float h)
{
    float f = ((y - z) * (y + z) + (g - h) * (g + h)) / ((h + h) * y);
    g = pythag(f, 1.0f);
    // (x - z)(x + z) in float, the rest of the shift in double.
    const float xz = (x - z) * (x + z);
    const double hd = static_cast<double>(h);
    const double q =
        static_cast<double>(y) / (static_cast<double>(f) + static_cast<double>(sign(g, f)));
    return static_cast<float>((static_cast<double>(xz) + hd * (q - hd)) / static_cast<double>(x));
}

// w[nm] is negligible: chase rv1[l] out of rows l..k with rotations of U.
template <class Steps>
void cancel(int nm, int l, int k, float *w, float *rv1, Steps &steps)
{
    float c = 0.0f, s = 1.0f;
    for (int i = l; i <= k; i++) {
        const float f = s * rv1[i];
        rv1[i] = c * rv1[i];
        if (absval(f) < kSplitTolerance)
            break;
        const float g = w[i];
        float h = pythag(f, g);
        w[i] = h;
        h = 1.0f / h;
        c = g * h;
        s = -f * h;
        steps.rotate_u(nm, i, c, s);
    }
}

// One implicit-shift QR sweep by Givens rotations over l..k.
template <class Steps>
void qr_sweep(int l, int k, float *w, float *rv1, Steps &steps)
{
    float x = w[l];
    const int nm = k - 1;
    float f = qr_shift(x, w[nm], w[k], rv1[nm], rv1[k]);
    float c = 1.0f, s = 1.0f;
    for (int j = l; j <= nm; j++) {
        const int i = j + 1;
        float g = rv1[i];
        float y = w[i];
        float h = s * g;
        g = c * g;
        float z = pythag(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y = y * c;
        steps.rotate_v(j, i, c, s);
        z = pythag(f, h);
        w[j] = z;
        if (z != 0.0f) {
            z = 1.0f / z;
            c = f * z;
            s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        steps.rotate_u(j, i, c, s);
    }
    rv1[l] = 0.0f;
    rv1[k] = f;
    w[k] = x;
}

// Diagonalises the bidiagonal (w, rv1), one singular value at a time from the
// bottom, with at most kMaxSweeps sweeps for each; the last sweep still runs
// and its result is kept. True when some value did not converge.
template <class Steps>
bool diagonalise(int n, float *w, float *rv1, Steps &steps)
{
    bool no_convergence = false;
    for (int k = n; k >= 1; k--) {
        for (int its = 1; its <= kMaxSweeps; its++) {
            bool split_at_w = true;
            int l, nm = 0;
            for (l = k; l >= 1; l--) {
                nm = l - 1;
                // rv1[1] is always 0, so the scan ends at l = 1 at the latest
                // and w[0] is never read.
                if (absval(rv1[l]) < kSplitTolerance) {
                    split_at_w = false;
                    break;
                }
                if (absval(w[nm]) < kSplitTolerance)
                    break;
            }
            if (split_at_w)
                cancel(nm, l, k, w, rv1, steps);
            if (l == k) {
                // Converged; make the singular value non-negative.
                const float z = w[k];
                if (z < 0.0f) {
                    w[k] = -z;
                    steps.negate_v(k);
                }
                break;
            }
            if (its == kMaxSweeps)
                no_convergence = true;
            qr_sweep(l, k, w, rv1, steps);
        }
    }
    return no_convergence;
}

}  // namespace svd
}  // namespace detail
}  // namespace tessivane

#endif
