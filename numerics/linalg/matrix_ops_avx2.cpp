// The 0-based products on AVX2: each output element is still a float
// running sum from 0 with the summation index ascending; only independent
// outputs run side by side. The scalar routines write an output while they
// still read their inputs, so an output that overlaps an input takes the
// scalar path, which keeps that behaviour.

#include "detail_linalg.h"
#include "stat.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace tessivane {
namespace detail {
namespace {

// The address range covered by rows 0..rows-1 of cols floats each.
struct Span {
    std::uintptr_t lo = UINTPTR_MAX, hi = 0;
    Span(float *const *m, int rows, int cols)
    {
        for (int i = 0; i < rows; i++) {
            auto p = reinterpret_cast<std::uintptr_t>(m[i]);
            lo = p < lo ? p : lo;
            auto end = p + static_cast<std::uintptr_t>(cols) * sizeof(float);
            hi = end > hi ? end : hi;
        }
    }
    bool overlaps(const Span &o) const { return lo < o.hi && o.lo < hi; }
};

// Row i of c: c[i][j] = sum over k = 0..s-1 of a[i][k] * b[k][j].
void multiply(float **a, float **b, float **c, int n, int s, int m)
{
    for (int i = 0; i < n; i++)
        column_sums(b, 0, s - 1, 0, m - 1, a[i], c[i]);
}

TV_TARGET_AVX2 void scale_rows(const float *w, float **m, int n, int s)
{
    for (int i = 0; i < n; i++) {
        const __m256 wi = _mm256_set1_ps(w[i]);
        float *r = m[i];
        int j = 0;
        for (; j + 8 <= s; j += 8)
            _mm256_storeu_ps(r + j, _mm256_mul_ps(wi, _mm256_loadu_ps(r + j)));
        for (; j < s; j++)
            r[j] = w[i] * r[j];
    }
}

}  // namespace

bool matrix_matrix_mult_avx2(float **a, float **b, float **c, int n, int s, int m)
{
    if (n <= 0 || m <= 0)
        return true;
    const Span out(c, n, m);
    if (out.overlaps(Span(a, n, s > 0 ? s : 0)) || out.overlaps(Span(b, s > 0 ? s : 0, m)))
        return false;
    multiply(a, b, c, n, s, m);
    return true;
}

bool transposematrix_matrix_mult_avx2(float **a, float **c, int n, int s)
{
    if (n <= 0)
        return true;
    if (Span(c, n, n).overlaps(Span(a, n, s > 0 ? s : 0)))
        return false;
    const FloatBuffer sums = allocate_floats(static_cast<std::size_t>(n));
    if (!sums)
        return false;
    // Row i of the lower triangle: c[i][j] = sum over k of a[j][k] * a[i][k].
    for (int i = 0; i < n; i++) {
        row_sums(a, 0, i, 0, s - 1, a[i], sums.get());
        for (int j = 0; j <= i; j++)
            c[i][j] = sums[static_cast<std::size_t>(j)];
    }
    for (int i = 0; i < n; i++)
        for (int j = 0; j < i; j++)
            c[j][i] = c[i][j];
    return true;
}

bool diagmatrix_matrix_mult_avx2(float *w, float **m, int n, int s)
{
    if (n <= 0 || s <= 0)
        return true;
    if (Span(&w, 1, n).overlaps(Span(m, n, s)))
        return false;
    scale_rows(w, m, n, s);
    return true;
}

}  // namespace detail
}  // namespace tessivane
