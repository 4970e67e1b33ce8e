// gaussj on AVX2: every row update is eight columns at a time (multiply, then
// subtract, each rounded as in the scalar loop), and the pivot search of the
// next pass rides along with the elimination of this one.
//
// The search keeps, for every row not used as a pivot row yet, the largest
// magnitude among its candidate columns. The scalar search takes the last
// candidate in scan order whose magnitude is >= the running maximum; that is
// the last candidate whose magnitude equals the overall maximum, so it lies in
// the last row whose maximum equals the overall one, at the last column there
// that holds it. NaNs are never candidates in either.

#include "detail_linalg.h"
#include "stat.h"

#include <immintrin.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace tessivane {
namespace detail {
namespace {

// Magnitudes are >= 0, so this is below every candidate.
constexpr float kNoCandidate = -1.0f;
// OR-ed into the magnitude of a column already pivoted, it makes a quiet NaN,
// which the maximum ignores.
constexpr std::uint32_t kExcluded = 0x7fc00000u;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

// Per-row maxima and per-column exclusion bits, from malloc so that a
// shortage sends gaussj down the scalar path instead of ending the process.
struct SearchState {
    std::unique_ptr<float[], FreeDeleter> rowmax_;
    std::unique_ptr<std::uint32_t[], FreeDeleter> excluded_;
    float *rowmax;              // 1..n
    const std::uint32_t *mask;  // 0..n-1: kExcluded or 0 for column k + 1

    bool allocate(int n)
    {
        const std::size_t count = static_cast<std::size_t>(n) + 1;
        rowmax_.reset(static_cast<float *>(std::malloc(count * sizeof(float))));
        excluded_.reset(static_cast<std::uint32_t *>(std::calloc(count, sizeof(std::uint32_t))));
        rowmax = rowmax_.get();
        mask = excluded_.get();
        return rowmax != nullptr && mask != nullptr;
    }
    void exclude(int column) { excluded_[static_cast<std::size_t>(column - 1)] = kExcluded; }
    bool excluded(int column) const { return mask[column - 1] != 0; }
};

TV_TARGET_AVX2 inline __m256 candidate_magnitudes(__m256 x, const std::uint32_t *mask)
{
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    const __m256 excluded = _mm256_loadu_ps(reinterpret_cast<const float *>(mask));
    return _mm256_or_ps(_mm256_and_ps(x, magnitude), excluded);
}

TV_TARGET_AVX2 inline float horizontal_max(__m256 v)
{
    __m128 m = _mm_max_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    m = _mm_max_ps(m, _mm_movehl_ps(m, m));
    m = _mm_max_ss(m, _mm_shuffle_ps(m, m, 1));
    return _mm_cvtss_f32(m);
}

// Largest candidate magnitude of row r (elements 0..n-1), kNoCandidate if none.
TV_TARGET_AVX2 float row_candidate_max(const float *r, int n, const std::uint32_t *mask)
{
    __m256 best = _mm256_set1_ps(kNoCandidate);
    int l = 0;
    for (; l + 8 <= n; l += 8)
        best = _mm256_max_ps(candidate_magnitudes(_mm256_loadu_ps(r + l), mask + l), best);
    float m = horizontal_max(best);
    for (; l < n; l++)
        if (mask[l] == 0 && absval(r[l]) > m)
            m = absval(r[l]);
    return m;
}

// r[l] = r[l] - p[l] * dum for l = 0..n-1.
TV_TARGET_AVX2 void eliminate(float *r, const float *p, float dum, int n)
{
    const __m256 d = _mm256_set1_ps(dum);
    int l = 0;
    for (; l + 8 <= n; l += 8) {
        __m256 prod = _mm256_mul_ps(_mm256_loadu_ps(p + l), d);
        _mm256_storeu_ps(r + l, _mm256_sub_ps(_mm256_loadu_ps(r + l), prod));
    }
    for (; l < n; l++)
        r[l] -= p[l] * dum;
}

// The same, returning the row's largest candidate magnitude afterwards.
TV_TARGET_AVX2 float eliminate_and_search(float *r, const float *p, float dum, int n,
                                          const std::uint32_t *mask)
{
    const __m256 d = _mm256_set1_ps(dum);
    __m256 best = _mm256_set1_ps(kNoCandidate);
    int l = 0;
    for (; l + 8 <= n; l += 8) {
        __m256 prod = _mm256_mul_ps(_mm256_loadu_ps(p + l), d);
        __m256 x = _mm256_sub_ps(_mm256_loadu_ps(r + l), prod);
        _mm256_storeu_ps(r + l, x);
        best = _mm256_max_ps(candidate_magnitudes(x, mask + l), best);
    }
    float m = horizontal_max(best);
    for (; l < n; l++) {
        r[l] -= p[l] * dum;
        if (mask[l] == 0 && absval(r[l]) > m)
            m = absval(r[l]);
    }
    return m;
}

TV_TARGET_AVX2 void scale(float *r, float factor, int n)
{
    const __m256 f = _mm256_set1_ps(factor);
    int l = 0;
    for (; l + 8 <= n; l += 8)
        _mm256_storeu_ps(r + l, _mm256_mul_ps(_mm256_loadu_ps(r + l), f));
    for (; l < n; l++)
        r[l] *= factor;
}

TV_TARGET_AVX2 void swap_rows(float *x, float *y, int n)
{
    int l = 0;
    for (; l + 8 <= n; l += 8) {
        __m256 t = _mm256_loadu_ps(x + l);
        _mm256_storeu_ps(x + l, _mm256_loadu_ps(y + l));
        _mm256_storeu_ps(y + l, t);
    }
    for (; l < n; l++)
        std::swap(x[l], y[l]);
}

// The pivot the scalar search would choose, from the row maxima of the rows
// not used yet; false when every candidate is NaN.
bool choose_pivot(float **a, int n, const int *ipiv, const SearchState &search, int &irow,
                  int &icol)
{
    float big = kNoCandidate;
    irow = icol = 0;
    for (int j = 1; j <= n; j++)
        if (ipiv[j] == 0 && search.rowmax[j] >= big) {
            big = search.rowmax[j];
            irow = j;
        }
    if (irow == 0 || big == kNoCandidate)
        return false;
    for (int k = n; k >= 1; k--)
        if (!search.excluded(k) && absval(a[irow][k]) == big) {
            icol = k;
            return true;
        }
    return false;  // not reached: the row maximum is one of the row's candidates
}

}  // namespace

bool gaussj_avx2(float **a, int n, float **b, int m, int *indxc, int *indxr, int *ipiv)
{
    SearchState search;
    if (n < 1 || !search.allocate(n))
        return false;

    for (int j = 1; j <= n; j++)
        search.rowmax[j] = row_candidate_max(a[j] + 1, n, search.mask);

    for (int i = 1; i <= n; i++) {
        int irow, icol;
        if (!choose_pivot(a, n, ipiv, search, irow, icol))
            nrerror("gaussj: Singular Matrix-1");
        ++ipiv[icol];
        search.exclude(icol);
        if (irow != icol) {
            swap_rows(a[irow] + 1, a[icol] + 1, n);
            if (m > 0)
                swap_rows(b[irow] + 1, b[icol] + 1, m);
        }
        indxr[i] = irow;
        indxc[i] = icol;
        if (a[icol][icol] == 0.0f)
            nrerror("gaussj: Singular Matrix-2");

        float pivinv = 1.0f / a[icol][icol];
        a[icol][icol] = 1.0f;
        scale(a[icol] + 1, pivinv, n);
        if (m > 0)
            scale(b[icol] + 1, pivinv, m);

        const float *pivot_row = a[icol] + 1;
        for (int ll = 1; ll <= n; ll++) {
            if (ll == icol)
                continue;
            float dum = a[ll][icol];
            a[ll][icol] = 0.0f;
            if (ipiv[ll] == 0)
                search.rowmax[ll] = eliminate_and_search(a[ll] + 1, pivot_row, dum, n, search.mask);
            else
                eliminate(a[ll] + 1, pivot_row, dum, n);
            if (m > 0)
                eliminate(b[ll] + 1, b[icol] + 1, dum, m);
        }
    }

    // Row by row, the column interchanges in the order the scalar code makes
    // them (last pass first); rows are independent of each other.
    for (int k = 1; k <= n; k++) {
        float *row = a[k];
        for (int l = n; l >= 1; l--)
            if (indxr[l] != indxc[l])
                std::swap(row[indxr[l]], row[indxc[l]]);
    }
    return true;
}

}  // namespace detail
}  // namespace tessivane
