// gaussj on AVX2, in a working copy: row r holds a[r + 1][1..n], then b[r + 1][1..m], then
// zeros up to a multiple of eight floats, 32-byte aligned, so that a row exchange, the scaling
// of the pivot row and each elimination are one sweep over a row for a and b together. Every
// element still sees the scalar loop's operations (multiply, then subtract, each rounded);
// only independent rows and columns are computed side by side.
//
// The pivot search of the next pass rides along with the elimination of this one: every row not
// used as a pivot row yet leaves behind the largest magnitude among its candidate columns. The
// scalar search takes the last candidate in scan order whose magnitude is >= the running
// maximum; that is the last candidate whose magnitude equals the overall maximum, so it lies in
// the last row whose maximum equals the overall one, at the last column there that holds it.
// NaNs are never candidates in either.
//
// A pass has to wait for the whole previous one (its pivot depends on every remaining element),
// so each pass streams the rows that can still hold a pivot through the cache. Four rows share
// each load of the pivot row, and the passes alternate direction, so that a pass starts on the
// rows that the previous one left in the first-level cache. The rows already used as pivot rows
// take no part in the search, so their eliminations wait: the pivot rows of up to kDeferred
// passes are kept, and each waiting row then takes them in pass order while it stays in the
// first-level cache. Each element still sees the same operations in the same order.

#include "detail_gauss_jordan.h"
#include "detail_linalg.h"
#include "stat.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace tessivane {
namespace detail {
namespace {

// Magnitudes are >= 0, so this is below every candidate.
constexpr float kNoCandidate = -1.0f;
// OR-ed into the magnitude of a column that is no candidate, it makes a quiet NaN, which the
// maximum ignores.
constexpr std::uint32_t kExcluded = 0x7fc00000u;
// Rows eliminated together, sharing each load of the pivot row.
constexpr int kRowBlock = 4;
// Passes whose elimination of the used rows may wait.
constexpr int kDeferred = 8;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

template <typename T>
using Buffer = std::unique_ptr<T[], FreeDeleter>;

// A part of the working block, used like the buffer it replaces.
template <typename T>
struct Part {
    T *p = nullptr;
    T *get() const { return p; }
    T &operator[](std::size_t i) const { return p[i]; }
};

// Everything the passes work on, in one block from malloc (a fit solves its small system many
// times over, so one allocation per call rather than one per array), so that a shortage sends
// gaussj down the scalar path instead of ending the process.
struct Work {
    int n = 0, m = 0;
    std::size_t ld = 0;  // floats per row, a multiple of eight
    Buffer<unsigned char> block;
    Part<float> w;             // n rows of ld floats
    Part<std::uint32_t> mask;  // ld: kExcluded for every column that is no candidate, else 0
    // n rounded up to eight: each row's largest candidate magnitude, NaN for rows used as
    // pivot rows already and for the padding.
    Part<float> rowmax;
    // Rows not used as pivot rows yet and rows used, each ascending, and room for either walked
    // backwards.
    Part<int> candidates, used, walk;
    int n_candidates = 0, n_used = 0;
    Part<int> perm;  // n: the column of w that each column of a comes from
    // The pivot rows (kDeferred rows of ld floats) and pivot columns of the passes whose
    // elimination of the used rows waits, and for each row the first of them it still owes.
    Part<float> deferred;
    int deferred_column[kDeferred] = {};
    int n_deferred = 0;
    Part<int> owed_from;

    bool allocate(int n_, int m_)
    {
        n = n_;
        m = m_;
        ld = (static_cast<std::size_t>(n) + static_cast<std::size_t>(m) + 7) / 8 * 8;
        const std::size_t rows = static_cast<std::size_t>(n);
        const std::size_t big = std::numeric_limits<std::size_t>::max() / 1024;
        if (ld > big || rows > big || (ld != 0 && rows > big / ld))
            return false;
        // Each part starts on a 64-byte line: the row-sized parts take whole lines of sixteen
        // entries, the rows of w and mask at most one line more each.
        const std::size_t lines = (rows + 15) / 16;
        const std::size_t bytes = 4 * (rows * ld + ld + kDeferred * ld) + 64 * (6 * lines + 2);
        void *p = nullptr;
        if (posix_memalign(&p, 64, bytes) != 0)
            return false;
        block.reset(static_cast<unsigned char *>(p));
        unsigned char *next = block.get();
        auto take = [&next](auto &part, std::size_t count) {
            part.p = reinterpret_cast<decltype(part.p)>(next);
            next += (count * 4 + 63) / 64 * 64;
        };
        take(w, rows * ld);
        take(mask, ld);
        take(rowmax, lines * 16);
        take(candidates, rows);
        take(used, rows);
        take(walk, rows);
        take(perm, rows);
        take(deferred, kDeferred * ld);
        take(owed_from, rows);
        return true;
    }
    float *deferred_row(int k) const { return deferred.get() + static_cast<std::size_t>(k) * ld; }
    int padded_rows() const { return (n + 7) / 8 * 8; }
    float *row(int r) const { return w.get() + static_cast<std::size_t>(r) * ld; }
    int chunks() const { return static_cast<int>(ld / 8); }
};

// a and b as the working copy holds them, columns unpermuted: the state the scalar passes
// leave behind when they stop on a singular matrix.
void store_unpermuted(const Work &work, float **a, float **b)
{
    for (int r = 0; r < work.n; r++) {
        const float *row = work.row(r);
        std::memcpy(a[r + 1] + 1, row, static_cast<std::size_t>(work.n) * sizeof(float));
        if (work.m > 0)
            std::memcpy(b[r + 1] + 1, row + work.n,
                        static_cast<std::size_t>(work.m) * sizeof(float));
    }
}

TV_TARGET_AVX2 inline __m256 candidate_magnitudes(__m256 x, __m256 excluded)
{
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    return _mm256_or_ps(_mm256_and_ps(x, magnitude), excluded);
}

TV_TARGET_AVX2 inline __m256 load_mask(const std::uint32_t *mask)
{
    return _mm256_load_ps(reinterpret_cast<const float *>(mask));
}

TV_TARGET_AVX2 inline float horizontal_max(__m256 v)
{
    __m128 m = _mm_max_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    m = _mm_max_ps(m, _mm_movehl_ps(m, m));
    m = _mm_max_ss(m, _mm_shuffle_ps(m, m, 1));
    return _mm_cvtss_f32(m);
}

// Largest candidate magnitude of a row, kNoCandidate if it has none.
TV_TARGET_AVX2 float row_candidate_max(const float *row, const std::uint32_t *mask, int chunks)
{
    __m256 best = _mm256_set1_ps(kNoCandidate);
    for (int c = 0; c < chunks; c++)
        best = _mm256_max_ps(
            candidate_magnitudes(_mm256_load_ps(row + 8 * c), load_mask(mask + 8 * c)), best);
    return horizontal_max(best);
}

// The last candidate column of a row whose magnitude equals big, or -1.
TV_TARGET_AVX2 int last_column_holding(const float *row, const std::uint32_t *mask, int chunks,
                                       float big)
{
    const __m256 target = _mm256_set1_ps(big);
    for (int c = chunks - 1; c >= 0; c--) {
        const __m256 v = candidate_magnitudes(_mm256_load_ps(row + 8 * c), load_mask(mask + 8 * c));
        const unsigned hits =
            static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(v, target, _CMP_EQ_OQ)));
        if (hits != 0)
            return 8 * c + 31 - __builtin_clz(hits);
    }
    return -1;
}

TV_TARGET_AVX2 void scale(float *row, float factor, int chunks)
{
    const __m256 f = _mm256_set1_ps(factor);
    for (int c = 0; c < chunks; c++)
        _mm256_store_ps(row + 8 * c, _mm256_mul_ps(_mm256_load_ps(row + 8 * c), f));
}

TV_TARGET_AVX2 void swap_rows(float *x, float *y, int chunks)
{
    for (int c = 0; c < chunks; c++) {
        const __m256 t = _mm256_load_ps(x + 8 * c);
        _mm256_store_ps(x + 8 * c, _mm256_load_ps(y + 8 * c));
        _mm256_store_ps(y + 8 * c, t);
    }
}

// For each of the R rows: dum = row[col], row[col] = 0, then row[l] -= pivot[l] * dum over
// the whole row. The zero is put into the register rather than into memory, where the wide
// load right after the narrow store would wait for it. With kSearch each row's largest
// candidate magnitude afterwards goes to rowmax[r].
template <int R, bool kSearch>
TV_TARGET_AVX2 void eliminate(float *const rows[R], const float *pivot, int col, int chunks,
                              const std::uint32_t *mask, float rowmax[R])
{
    float *row[R];
    __m256 dum[R], best[R];
#pragma GCC unroll 4
    for (int r = 0; r < R; r++) {
        row[r] = rows[r];
        dum[r] = _mm256_set1_ps(row[r][col]);
        best[r] = _mm256_set1_ps(kNoCandidate);
    }
    const int zero_chunk = col / 8;
    const __m256 keep = _mm256_castsi256_ps(_mm256_cmpeq_epi32(
        _mm256_set1_epi32(0),
        _mm256_sub_epi32(_mm256_set1_epi32(col % 8), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))));
    const __m256 keep_others = _mm256_xor_ps(keep, _mm256_castsi256_ps(_mm256_set1_epi32(-1)));
    for (int c = 0; c < chunks; c++) {
        const __m256 p = _mm256_load_ps(pivot + 8 * c);
        __m256 excluded = _mm256_setzero_ps();
        if (kSearch)
            excluded = load_mask(mask + 8 * c);
#pragma GCC unroll 4
        for (int r = 0; r < R; r++) {
            __m256 x = _mm256_load_ps(row[r] + 8 * c);
            if (c == zero_chunk)
                x = _mm256_and_ps(x, keep_others);
            x = _mm256_sub_ps(x, _mm256_mul_ps(p, dum[r]));
            _mm256_store_ps(row[r] + 8 * c, x);
            if (kSearch)
                best[r] = _mm256_max_ps(candidate_magnitudes(x, excluded), best[r]);
        }
    }
    if (kSearch) {
#pragma GCC unroll 4
        for (int r = 0; r < R; r++)
            rowmax[r] = horizontal_max(best[r]);
    }
}

// Eliminates the listed rows, kRowBlock at a time.
template <bool kSearch>
void eliminate_rows(Work &work, const int *list, int count, const float *pivot, int col)
{
    const int chunks = work.chunks();
    int k = 0;
    for (; k + kRowBlock <= count; k += kRowBlock) {
        float *rows[kRowBlock];
        float maxima[kRowBlock];
        for (int r = 0; r < kRowBlock; r++)
            rows[r] = work.row(list[k + r]);
        eliminate<kRowBlock, kSearch>(rows, pivot, col, chunks, work.mask.get(), maxima);
        if (kSearch)
            for (int r = 0; r < kRowBlock; r++)
                work.rowmax[list[k + r]] = maxima[r];
    }
    for (; k < count; k++) {
        float *rows[1] = {work.row(list[k])};
        float maxima[1];
        eliminate<1, kSearch>(rows, pivot, col, chunks, work.mask.get(), maxima);
        if (kSearch)
            work.rowmax[list[k]] = maxima[0];
    }
}

// The working copy of a and b, and the search state before the first pass.
void load(Work &work, float **a, float **b)
{
    for (int r = 0; r < work.n; r++) {
        float *row = work.row(r);
        std::memcpy(row, a[r + 1] + 1, static_cast<std::size_t>(work.n) * sizeof(float));
        if (work.m > 0)
            std::memcpy(row + work.n, b[r + 1] + 1,
                        static_cast<std::size_t>(work.m) * sizeof(float));
        std::fill(row + work.n + work.m, row + work.ld, 0.0f);
    }
    for (std::size_t c = 0; c < work.ld; c++)
        work.mask[c] = c < static_cast<std::size_t>(work.n) ? 0u : kExcluded;
    const int chunks = work.chunks();
    for (int r = 0; r < work.padded_rows(); r++)
        work.rowmax[r] = r < work.n ? row_candidate_max(work.row(r), work.mask.get(), chunks)
                                    : std::numeric_limits<float>::quiet_NaN();
    for (int r = 0; r < work.n; r++)
        work.candidates[r] = r;
    work.n_candidates = work.n;
    work.n_used = 0;
}

// The last position of the largest of v[0..count) (count a multiple of eight), ignoring NaNs;
// -1 when every value is NaN.
TV_TARGET_AVX2 int last_position_of_max(const float *v, int count, float &big)
{
    __m256 best = _mm256_set1_ps(-std::numeric_limits<float>::infinity());
    for (int k = 0; k < count; k += 8)
        best = _mm256_max_ps(_mm256_load_ps(v + k), best);
    big = horizontal_max(best);
    const __m256 target = _mm256_set1_ps(big);
    for (int k = count - 8; k >= 0; k -= 8) {
        const unsigned hits = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_cmp_ps(_mm256_load_ps(v + k), target, _CMP_EQ_OQ)));
        if (hits != 0)
            return k + 31 - __builtin_clz(hits);
    }
    return -1;
}

// The pivot the scalar search would choose (0-based), from the row maxima; false when every
// candidate is NaN.
bool choose_pivot(const Work &work, int &prow, int &pcol)
{
    float big;
    prow = last_position_of_max(work.rowmax.get(), work.padded_rows(), big);
    if (prow < 0 || big == kNoCandidate)
        return false;
    pcol = last_column_holding(work.row(prow), work.mask.get(), work.chunks(), big);
    return pcol >= 0;  // always: the row maximum is one of the row's candidates
}

// Removes row r from the ascending list[0..count).
void remove_row(int *list, int &count, int r)
{
    int *at = std::lower_bound(list, list + count, r);
    std::copy(at + 1, list + count, at);
    --count;
}

// Inserts row r into the ascending list[0..count).
void insert_row(int *list, int &count, int r)
{
    int *at = std::lower_bound(list, list + count, r);
    std::copy_backward(at, list + count, list + count + 1);
    *at = r;
    ++count;
}

// The waiting eliminations of the used rows, each row taking the kept pivot rows it owes in
// pass order; rows that owe all of them go kRowBlock at a time.
void catch_up(Work &work)
{
    const int chunks = work.chunks();
    int *const block = work.walk.get();
    int blocked = 0;
    for (int k = 0; k < work.n_used; k++) {
        const int r = work.used[k];
        if (work.owed_from[r] == 0) {
            block[blocked++] = r;
            continue;
        }
        for (int j = work.owed_from[r]; j < work.n_deferred; j++) {
            float *rows[1] = {work.row(r)};
            eliminate<1, false>(rows, work.deferred_row(j), work.deferred_column[j], chunks,
                                nullptr, nullptr);
        }
    }
    int k = 0;
    for (; k + kRowBlock <= blocked; k += kRowBlock) {
        float *rows[kRowBlock];
        for (int r = 0; r < kRowBlock; r++)
            rows[r] = work.row(block[k + r]);
        for (int j = 0; j < work.n_deferred; j++)
            eliminate<kRowBlock, false>(rows, work.deferred_row(j), work.deferred_column[j], chunks,
                                        nullptr, nullptr);
    }
    for (; k < blocked; k++) {
        float *rows[1] = {work.row(block[k])};
        for (int j = 0; j < work.n_deferred; j++)
            eliminate<1, false>(rows, work.deferred_row(j), work.deferred_column[j], chunks,
                                nullptr, nullptr);
    }
    for (int k2 = 0; k2 < work.n_used; k2++)
        work.owed_from[work.used[k2]] = 0;
    work.n_deferred = 0;
}

[[noreturn]] void stop(Work &work, float **a, float **b, const char *message)
{
    catch_up(work);
    store_unpermuted(work, a, b);
    nrerror(message);
    std::abort();  // not reached: nrerror ends the process or throws
}

// One pass's elimination of the rows still able to hold the next pivot, with the search; the
// passes alternate the direction in which they walk them. The used rows' elimination is kept
// for later, and the pivot row joins them.
void eliminate_all(Work &work, int pass, int prow)
{
    const float *pivot = work.row(prow);
    remove_row(work.candidates.get(), work.n_candidates, prow);
    if (pass % 2 == 1) {
        eliminate_rows<true>(work, work.candidates.get(), work.n_candidates, pivot, prow);
    } else {
        int *const walk = work.walk.get();
        std::reverse_copy(work.candidates.get(), work.candidates.get() + work.n_candidates, walk);
        eliminate_rows<true>(work, walk, work.n_candidates, pivot, prow);
    }
    std::memcpy(work.deferred_row(work.n_deferred), pivot, work.ld * sizeof(float));
    work.deferred_column[work.n_deferred++] = prow;
    insert_row(work.used.get(), work.n_used, prow);
    work.owed_from[prow] = work.n_deferred;
    if (work.n_deferred == kDeferred)
        catch_up(work);
}

// a from the working copy with the columns put back in place, and b.
void store(const Work &work, float **a, float **b, const int *indxr, const int *indxc)
{
    int *const perm = work.perm.get();
    for (int c = 0; c < work.n; c++)
        perm[c] = c;
    unscramble(indxr, indxc, work.n, [perm](int p, int q) { std::swap(perm[p - 1], perm[q - 1]); });
    for (int r = 0; r < work.n; r++) {
        const float *row = work.row(r);
        float *out = a[r + 1] + 1;
        for (int c = 0; c < work.n; c++)
            out[c] = row[perm[c]];
        if (work.m > 0)
            std::memcpy(b[r + 1] + 1, row + work.n,
                        static_cast<std::size_t>(work.m) * sizeof(float));
    }
}

}  // namespace

bool gaussj_avx2(float **a, int n, float **b, int m, int *indxc, int *indxr, int *ipiv)
{
    Work work;
    if (n < 1 || m < 0 || !work.allocate(n, m))
        return false;
    load(work, a, b);
    const int chunks = work.chunks();

    for (int i = 1; i <= n; i++) {
        int irow, icol;
        if (!choose_pivot(work, irow, icol))
            stop(work, a, b, "gaussj: Singular Matrix-1");
        // From here on 0-based icol is both the pivot column and the pivot row.
        ++ipiv[icol + 1];
        work.mask[static_cast<std::size_t>(icol)] = kExcluded;
        work.rowmax[icol] = std::numeric_limits<float>::quiet_NaN();
        float *pivot = work.row(icol);
        if (irow != icol)
            swap_rows(work.row(irow), pivot, chunks);
        indxr[i] = irow + 1;
        indxc[i] = icol + 1;
        if (pivot[icol] == 0.0f)
            stop(work, a, b, "gaussj: Singular Matrix-2");

        // Storing 1 (and 0 in the eliminated rows) before scaling builds the inverse in the
        // columns that the elimination has already cleared.
        const float pivinv = 1.0f / pivot[icol];
        pivot[icol] = 1.0f;
        scale(pivot, pivinv, chunks);
        eliminate_all(work, i, icol);
    }
    catch_up(work);
    store(work, a, b, indxr, indxc);
    return true;
}

}  // namespace detail
}  // namespace tessivane
