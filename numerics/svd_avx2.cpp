// svdcmp on AVX2, operation for operation the scalar routine in svd.cpp.
//
// The Householder steps and both accumulations are sums over columns
// followed by rank-one updates. Every sum there is independent of the others
// (an update changes only its own column), so eight or thirty-two of them run
// side by side, each lane adding its terms in the scalar order; the row sums
// of the row step take eight rows at a time through an in-register transpose.
// The QR sweeps rotate pairs of columns of U and V: they run on transposed
// working copies, where those columns are rows.

#include "detail_linalg.h"
#include "stat.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace tessivane {
namespace detail {
namespace {

constexpr float kSplitTolerance = 1.0e-6f;
constexpr int kMaxSweeps = 100;

inline float sign(float a, float b)
{
    return b >= 0.0f ? absval(a) : -absval(a);
}

inline float froot(float x)
{
    return static_cast<float>(std::sqrt(static_cast<double>(x)));
}

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

using Buffer = std::unique_ptr<float[], FreeDeleter>;

// rows x cols floats, rows padded to a multiple of eight and 32-byte aligned.
struct Transposed {
    Buffer data;
    std::size_t ld = 0;
    bool allocate(int rows, int cols)
    {
        ld = (static_cast<std::size_t>(cols) + 7) / 8 * 8;
        void *p = nullptr;
        if (posix_memalign(&p, 32, static_cast<std::size_t>(rows) * ld * sizeof(float)) != 0)
            return false;
        data.reset(static_cast<float *>(p));
        std::fill(data.get(), data.get() + static_cast<std::size_t>(rows) * ld, 0.0f);
        return true;
    }
    // Row r (1-based) of the copy, with its first element at index 0.
    float *row(int r) const { return data.get() + static_cast<std::size_t>(r - 1) * ld; }
};

// S[j] = sum over k = k0..k1 of x[k] * M[k][j], for j = j0..j1, k ascending.
TV_TARGET_AVX2 void column_sums(float **M, int k0, int k1, int j0, int j1, const float *x, float *S)
{
    int j = j0;
    for (; j + 32 <= j1 + 1; j += 32) {
        __m256 s0 = _mm256_setzero_ps(), s1 = s0, s2 = s0, s3 = s0;
        for (int k = k0; k <= k1; k++) {
            const __m256 xk = _mm256_set1_ps(x[k]);
            const float *r = M[k] + j;
            s0 = _mm256_add_ps(s0, _mm256_mul_ps(xk, _mm256_loadu_ps(r)));
            s1 = _mm256_add_ps(s1, _mm256_mul_ps(xk, _mm256_loadu_ps(r + 8)));
            s2 = _mm256_add_ps(s2, _mm256_mul_ps(xk, _mm256_loadu_ps(r + 16)));
            s3 = _mm256_add_ps(s3, _mm256_mul_ps(xk, _mm256_loadu_ps(r + 24)));
        }
        _mm256_storeu_ps(S + j, s0);
        _mm256_storeu_ps(S + j + 8, s1);
        _mm256_storeu_ps(S + j + 16, s2);
        _mm256_storeu_ps(S + j + 24, s3);
    }
    for (; j + 8 <= j1 + 1; j += 8) {
        __m256 s0 = _mm256_setzero_ps();
        for (int k = k0; k <= k1; k++)
            s0 = _mm256_add_ps(s0, _mm256_mul_ps(_mm256_set1_ps(x[k]), _mm256_loadu_ps(M[k] + j)));
        _mm256_storeu_ps(S + j, s0);
    }
    for (; j <= j1; j++) {
        float s = 0.0f;
        for (int k = k0; k <= k1; k++)
            s += x[k] * M[k][j];
        S[j] = s;
    }
}

// M[k][j] = M[k][j] + f[j] * y[k] for k = k0..k1, j = j0..j1.
TV_TARGET_AVX2 void rank_one_update(float **M, int k0, int k1, int j0, int j1, const float *f,
                                    const float *y)
{
    for (int k = k0; k <= k1; k++) {
        const __m256 yk = _mm256_set1_ps(y[k]);
        float *r = M[k];
        int j = j0;
        for (; j + 8 <= j1 + 1; j += 8)
            _mm256_storeu_ps(r + j, _mm256_add_ps(_mm256_loadu_ps(r + j),
                                                  _mm256_mul_ps(_mm256_loadu_ps(f + j), yk)));
        for (; j <= j1; j++)
            r[j] += f[j] * y[k];
    }
}

TV_TARGET_AVX2 inline void transpose8(__m256 &r0, __m256 &r1, __m256 &r2, __m256 &r3, __m256 &r4,
                                      __m256 &r5, __m256 &r6, __m256 &r7)
{
    __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
    __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
    __m256 t4 = _mm256_unpacklo_ps(r4, r5), t5 = _mm256_unpackhi_ps(r4, r5);
    __m256 t6 = _mm256_unpacklo_ps(r6, r7), t7 = _mm256_unpackhi_ps(r6, r7);
    __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xee);
    __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xee);
    __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xee);
    __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xee);
    r0 = _mm256_permute2f128_ps(u0, u4, 0x20);
    r1 = _mm256_permute2f128_ps(u1, u5, 0x20);
    r2 = _mm256_permute2f128_ps(u2, u6, 0x20);
    r3 = _mm256_permute2f128_ps(u3, u7, 0x20);
    r4 = _mm256_permute2f128_ps(u0, u4, 0x31);
    r5 = _mm256_permute2f128_ps(u1, u5, 0x31);
    r6 = _mm256_permute2f128_ps(u2, u6, 0x31);
    r7 = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// M[j][k] = M[j][k] + S[j] * x[k] for j = j0..j1, k = k0..k1.
TV_TARGET_AVX2 void row_update(float **M, int j0, int j1, int k0, int k1, const float *S,
                               const float *x)
{
    for (int j = j0; j <= j1; j++) {
        const __m256 sj = _mm256_set1_ps(S[j]);
        float *r = M[j];
        int k = k0;
        for (; k + 8 <= k1 + 1; k += 8)
            _mm256_storeu_ps(r + k, _mm256_add_ps(_mm256_loadu_ps(r + k),
                                                  _mm256_mul_ps(sj, _mm256_loadu_ps(x + k))));
        for (; k <= k1; k++)
            r[k] += S[j] * x[k];
    }
}

// f[j] = S[j] / h for j = j0..j1.
TV_TARGET_AVX2 void divide(float *f, const float *S, float h, int j0, int j1)
{
    const __m256 vh = _mm256_set1_ps(h);
    int j = j0;
    for (; j + 8 <= j1 + 1; j += 8)
        _mm256_storeu_ps(f + j, _mm256_div_ps(_mm256_loadu_ps(S + j), vh));
    for (; j <= j1; j++)
        f[j] = S[j] / h;
}

// f[j] = (S[j] / d) * g for j = j0..j1.
TV_TARGET_AVX2 void divide_scale(float *f, const float *S, float d, float g, int j0, int j1)
{
    const __m256 vd = _mm256_set1_ps(d), vg = _mm256_set1_ps(g);
    int j = j0;
    for (; j + 8 <= j1 + 1; j += 8)
        _mm256_storeu_ps(f + j, _mm256_mul_ps(_mm256_div_ps(_mm256_loadu_ps(S + j), vd), vg));
    for (; j <= j1; j++)
        f[j] = (S[j] / d) * g;
}

// (x, z) = (x c + z s, z c - x s) over len elements, a multiple of eight.
TV_TARGET_AVX2 void rotate(float *x, float *z, std::size_t len, float c, float s)
{
    const __m256 vc = _mm256_set1_ps(c), vs = _mm256_set1_ps(s);
    for (std::size_t j = 0; j < len; j += 8) {
        __m256 xv = _mm256_load_ps(x + j), zv = _mm256_load_ps(z + j);
        _mm256_store_ps(x + j, _mm256_add_ps(_mm256_mul_ps(xv, vc), _mm256_mul_ps(zv, vs)));
        _mm256_store_ps(z + j, _mm256_sub_ps(_mm256_mul_ps(zv, vc), _mm256_mul_ps(xv, vs)));
    }
}

TV_TARGET_AVX2 void negate(float *x, std::size_t len)
{
    const __m256 signbit = _mm256_set1_ps(-0.0f);
    for (std::size_t j = 0; j < len; j += 8)
        _mm256_store_ps(x + j, _mm256_xor_ps(_mm256_load_ps(x + j), signbit));
}

// Work space of one call, all from malloc.
struct Work {
    Transposed ut, vt;  // U^T (n x m) and V^T (n x n) during the QR sweeps
    Buffer sums, factors, column;
    bool allocate(int m, int n)
    {
        const std::size_t len = static_cast<std::size_t>(std::max(m, n)) + 1;
        sums.reset(static_cast<float *>(std::malloc(len * sizeof(float))));
        factors.reset(static_cast<float *>(std::malloc(len * sizeof(float))));
        column.reset(static_cast<float *>(std::malloc(len * sizeof(float))));
        return sums && factors && column && ut.allocate(n, m) && vt.allocate(n, n);
    }
};

void householder(float **a, int m, int n, float *w, float *rv1, Work &work)
{
    float *S = work.sums.get(), *f = work.factors.get(), *x = work.column.get();
    float g = 0.0f, scale = 0.0f, s = 0.0f;
    for (int i = 1; i <= n; i++) {
        int l = i + 1;
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
                float fi = a[i][i];
                g = -sign(froot(s), fi);
                float h = fi * g - s;
                a[i][i] = fi - g;
                if (l <= n) {
                    for (int k = i; k <= m; k++)
                        x[k] = a[k][i];
                    column_sums(a, i, m, l, n, x, S);
                    divide(f, S, h, l, n);
                    rank_one_update(a, i, m, l, n, f, x);
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
                float fi = a[i][l];
                g = -sign(froot(s), fi);
                float h = fi * g - s;
                a[i][l] = fi - g;
                for (int k = l; k <= n; k++)
                    rv1[k] = a[i][k] / h;
                if (l <= m) {
                    row_sums(a, l, m, l, n, a[i], S);
                    row_update(a, l, m, l, n, S, rv1);
                }
                for (int k = l; k <= n; k++)
                    a[i][k] *= scale;
            }
        }
    }
}

// g and l as the Householder loop leaves them: g = scale * g of its last
// row step, l = n + 1.
void accumulate_right(float **a, int n, float **v, const float *rv1, Work &work)
{
    float *S = work.sums.get(), *y = work.column.get();
    float g = 0.0f;
    int l = 0;
    for (int i = n; i >= 1; i--) {
        if (i < n) {
            if (g != 0.0f) {
                for (int j = l; j <= n; j++)
                    v[j][i] = (a[i][j] / a[i][l]) / g;
                for (int k = l; k <= n; k++)
                    y[k] = v[k][i];
                column_sums(v, l, n, l, n, a[i], S);
                rank_one_update(v, l, n, l, n, S, y);
            }
            for (int j = l; j <= n; j++)
                v[i][j] = v[j][i] = 0.0f;
        }
        v[i][i] = 1.0f;
        g = rv1[i];
        l = i;
    }
}

void accumulate_left(float **a, int m, int n, const float *w, Work &work)
{
    float *S = work.sums.get(), *f = work.factors.get(), *x = work.column.get();
    for (int i = tessivane::imin(m, n); i >= 1; i--) {
        int l = i + 1;
        float g = w[i];
        for (int j = l; j <= n; j++)
            a[i][j] = 0.0f;
        if (g != 0.0f) {
            g = 1.0f / g;
            if (l <= n) {
                for (int k = i; k <= m; k++)
                    x[k] = a[k][i];
                column_sums(a, l, m, l, n, x, S);
                divide_scale(f, S, a[i][i], g, l, n);
                rank_one_update(a, i, m, l, n, f, x);
            }
            for (int j = i; j <= m; j++)
                a[j][i] *= g;
        } else {
            for (int j = i; j <= m; j++)
                a[j][i] = 0.0f;
        }
        a[i][i] += 1.0f;
    }
}

// The implicit-shift QR sweeps on the bidiagonal (w, rv1), rotating the rows
// of ut (U^T) and vt (V^T); true when some value did not converge.
bool diagonalise(int n, float *w, float *rv1, const Transposed &ut, const Transposed &vt)
{
    bool no_convergence = false;
    float f = 0.0f, g = 0.0f, h = 0.0f, s = 0.0f;
    for (int k = n; k >= 1; k--) {
        for (int its = 1; its <= kMaxSweeps; its++) {
            bool cancel = true;
            int l, nm = 0;
            for (l = k; l >= 1; l--) {
                nm = l - 1;
                if (absval(rv1[l]) < kSplitTolerance) {
                    cancel = false;
                    break;
                }
                if (absval(w[nm]) < kSplitTolerance)
                    break;
            }
            if (cancel) {
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
                    rotate(ut.row(nm), ut.row(i), ut.ld, c, s);
                }
            }
            float z = w[k];
            if (l == k) {
                if (z < 0.0f) {
                    w[k] = -z;
                    negate(vt.row(k), vt.ld);
                }
                break;
            }
            if (its == kMaxSweeps)
                no_convergence = true;

            float x = w[l];
            nm = k - 1;
            float y = w[nm];
            g = rv1[nm];
            h = rv1[k];
            f = ((y - z) * (y + z) + (g - h) * (g + h)) / ((h + h) * y);
            g = pythag(f, 1.0f);
            {
                float xz = (x - z) * (x + z);
                double hd = static_cast<double>(h);
                double q = static_cast<double>(y) /
                           (static_cast<double>(f) + static_cast<double>(sign(g, f)));
                f = static_cast<float>((static_cast<double>(xz) + hd * (q - hd)) /
                                       static_cast<double>(x));
            }

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
                rotate(vt.row(j), vt.row(i), vt.ld, c, s);
                z = pythag(f, h);
                w[j] = z;
                if (z != 0.0f) {
                    z = 1.0f / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                rotate(ut.row(j), ut.row(i), ut.ld, c, s);
            }
            rv1[l] = 0.0f;
            rv1[k] = f;
            w[k] = x;
        }
    }
    return no_convergence;
}

}  // namespace

TV_TARGET_AVX2 void row_sums(float **M, int j0, int j1, int k0, int k1, const float *x, float *S)
{
    int j = j0;
    for (; j + 8 <= j1 + 1; j += 8) {
        const float *r[8];
        for (int q = 0; q < 8; q++)
            r[q] = M[j + q];
        __m256 s = _mm256_setzero_ps();
        int k = k0;
        for (; k + 8 <= k1 + 1; k += 8) {
            __m256 c0 = _mm256_loadu_ps(r[0] + k), c1 = _mm256_loadu_ps(r[1] + k),
                   c2 = _mm256_loadu_ps(r[2] + k), c3 = _mm256_loadu_ps(r[3] + k),
                   c4 = _mm256_loadu_ps(r[4] + k), c5 = _mm256_loadu_ps(r[5] + k),
                   c6 = _mm256_loadu_ps(r[6] + k), c7 = _mm256_loadu_ps(r[7] + k);
            transpose8(c0, c1, c2, c3, c4, c5, c6, c7);
            s = _mm256_add_ps(s, _mm256_mul_ps(c0, _mm256_set1_ps(x[k])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c1, _mm256_set1_ps(x[k + 1])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c2, _mm256_set1_ps(x[k + 2])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c3, _mm256_set1_ps(x[k + 3])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c4, _mm256_set1_ps(x[k + 4])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c5, _mm256_set1_ps(x[k + 5])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c6, _mm256_set1_ps(x[k + 6])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c7, _mm256_set1_ps(x[k + 7])));
        }
        for (; k <= k1; k++) {
            __m256 c = _mm256_setr_ps(r[0][k], r[1][k], r[2][k], r[3][k], r[4][k], r[5][k], r[6][k],
                                      r[7][k]);
            s = _mm256_add_ps(s, _mm256_mul_ps(c, _mm256_set1_ps(x[k])));
        }
        _mm256_storeu_ps(S + j, s);
    }
    for (; j <= j1; j++) {
        float s = 0.0f;
        for (int k = k0; k <= k1; k++)
            s += M[j][k] * x[k];
        S[j] = s;
    }
}

bool svdcmp_avx2(float **a, int m, int n, float *w, float **v, float *rv1, bool &no_convergence)
{
    Work work;
    if (m < 1 || n < 1 || !work.allocate(m, n))
        return false;

    householder(a, m, n, w, rv1, work);
    accumulate_right(a, n, v, rv1, work);
    accumulate_left(a, m, n, w, work);

    for (int r = 1; r <= m; r++)
        for (int c = 1; c <= n; c++)
            work.ut.row(c)[r - 1] = a[r][c];
    for (int r = 1; r <= n; r++)
        for (int c = 1; c <= n; c++)
            work.vt.row(c)[r - 1] = v[r][c];
    no_convergence = diagonalise(n, w, rv1, work.ut, work.vt);
    for (int r = 1; r <= m; r++)
        for (int c = 1; c <= n; c++)
            a[r][c] = work.ut.row(c)[r - 1];
    for (int r = 1; r <= n; r++)
        for (int c = 1; c <= n; c++)
            v[r][c] = work.vt.row(c)[r - 1];
    return true;
}

}  // namespace detail
}  // namespace tessivane
