// svdcmp on AVX2, operation for operation the scalar routine in svd.cpp: the
// stages of detail_svd.h with these updates.
//
// The Householder steps and both accumulations are sums over columns
// followed by rank-one updates. Every sum there is independent of the others
// (an update changes only its own column), so eight or thirty-two of them run
// side by side, each lane adding its terms in the scalar order; the row sums
// of the row step take eight rows at a time through an in-register transpose.
// The QR sweeps rotate pairs of columns of U and V: they run on transposed
// working copies, where those columns are rows.

#include "detail_svd.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace tessivane {
namespace detail {
namespace {

// M[r][c] = M[r][c] + y[r] * x[c] for r = r0..r1, c = c0..c1. (The scalar
// code writes some of these products the other way round: the same rounded
// product.)
TV_TARGET_AVX2 void add_outer_product(float **M, int r0, int r1, int c0, int c1, const float *y,
                                      const float *x)
{
    for (int r = r0; r <= r1; r++) {
        const __m256 yr = _mm256_set1_ps(y[r]);
        float *row = M[r];
        int c = c0;
        for (; c + 8 <= c1 + 1; c += 8)
            _mm256_storeu_ps(row + c, _mm256_add_ps(_mm256_loadu_ps(row + c),
                                                    _mm256_mul_ps(yr, _mm256_loadu_ps(x + c))));
        for (; c <= c1; c++)
            row[c] += y[r] * x[c];
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

// Working space of one call, all from malloc.
struct Work {
    PaddedMatrix ut, vt;  // U^T (n x m) and V^T (n x n) during the QR sweeps
    FloatBuffer sums, factors, column;
    bool allocate(int m, int n)
    {
        const std::size_t len = static_cast<std::size_t>(std::max(m, n)) + 1;
        sums = allocate_floats(len);
        factors = allocate_floats(len);
        column = allocate_floats(len);
        return sums && factors && column && ut.allocate(n, m) && vt.allocate(n, n);
    }
};

// The updates on a and v in place, then the rotations on U^T and V^T.
class Avx2Steps {
public:
    Avx2Steps(float **a, float **v, int m, int n, Work &work)
        : a_(a)
        , v_(v)
        , m_(m)
        , n_(n)
        , S_(work.sums.get())
        , f_(work.factors.get())
        , x_(work.column.get())
        , ut_(work.ut)
        , vt_(work.vt)
    {}

    void reflect_columns(int i, float h)
    {
        sums_with_column(i, i);
        divide(f_, S_, h, i + 1, n_);
        add_outer_product(a_, i, m_, i + 1, n_, x_, f_);
    }

    void reflect_rows(int i, const float *rv1)
    {
        row_sums(a_, i + 1, m_, i + 1, n_, a_[i], S_);
        add_outer_product(a_, i + 1, m_, i + 1, n_, S_, rv1);
    }

    void accumulate_right(int i)
    {
        const int l = i + 1;
        for (int k = l; k <= n_; k++)
            x_[k] = v_[k][i];
        column_sums(v_, l, n_, l, n_, a_[i], S_);
        add_outer_product(v_, l, n_, l, n_, x_, S_);
    }

    void accumulate_left(int i, float g)
    {
        sums_with_column(i, i + 1);
        divide_scale(f_, S_, a_[i][i], g, i + 1, n_);
        add_outer_product(a_, i, m_, i + 1, n_, x_, f_);
    }

    // Column p of U is row p - 1 of U^T, and likewise for V.
    void rotate_u(int p, int q, float c, float s)
    {
        rotate(ut_.row(p - 1), ut_.row(q - 1), ut_.stride(), c, s);
    }
    void rotate_v(int p, int q, float c, float s)
    {
        rotate(vt_.row(p - 1), vt_.row(q - 1), vt_.stride(), c, s);
    }
    void negate_v(int k) { negate(vt_.row(k - 1), vt_.stride()); }

private:
    // x_ = column i of a, and S_[j] = sum over k = k0..m of x_[k] a[k][j] for
    // the columns j = i+1..n right of it.
    void sums_with_column(int i, int k0)
    {
        for (int k = i; k <= m_; k++)
            x_[k] = a_[k][i];
        column_sums(a_, k0, m_, i + 1, n_, x_, S_);
    }

    float **a_, **v_;
    int m_, n_;
    float *S_, *f_, *x_;  // column sums, their factors, a column of a or v
    const PaddedMatrix &ut_, &vt_;
};

// t = x^T for the 1-based rows x cols matrix x, and back.
void transpose_into(float **x, int rows, int cols, const PaddedMatrix &t)
{
    for (int r = 1; r <= rows; r++)
        for (int c = 1; c <= cols; c++)
            t.row(c - 1)[r - 1] = x[r][c];
}

void transpose_from(const PaddedMatrix &t, int rows, int cols, float **x)
{
    for (int r = 1; r <= rows; r++)
        for (int c = 1; c <= cols; c++)
            x[r][c] = t.row(c - 1)[r - 1];
}

}  // namespace

bool svdcmp_avx2(float **a, int m, int n, float *w, float **v, float *rv1, bool &no_convergence)
{
    Work work;
    if (m < 1 || n < 1 || !work.allocate(m, n))
        return false;

    Avx2Steps steps(a, v, m, n, work);
    svd::bidiagonalise(a, m, n, w, rv1, steps);
    svd::accumulate_right(a, n, v, rv1, steps);
    svd::accumulate_left(a, m, n, w, steps);

    transpose_into(a, m, n, work.ut);
    transpose_into(v, n, n, work.vt);
    no_convergence = svd::diagonalise(n, w, rv1, steps);
    transpose_from(work.ut, m, n, a);
    transpose_from(work.vt, n, n, v);
    return true;
}

}  // namespace detail
}  // namespace tessivane
