// jacobi on AVX2. A rotation of (p, q) changes the two lines p and q of the
// symmetric matrix (row p with column p, row q with column q) and the columns
// p and q of v; in the caller's storage most of that is strided. Here the
// off-diagonal part lives in a full symmetric working copy w, so that each
// line is a row, and v in a transposed copy vt, so that its columns are rows;
// every rotation then runs eight elements at a time over whole rows, each
// element with exactly the scalar code's operations.
//
// Keeping both copies of an element in w costs strided writes, and those
// are what limits a rotation once w no longer fits the first-level cache. So
// the copies are kept current only where the rest of the sweep reads them,
// and moved in 8 x 8 tile transposes wherever whole tiles go stale together.
// In the row p block the rows after p are taken in groups of eight: before a
// group is rotated, its entries in the columns of the earlier rows of the
// block are transposed in from those rows, which their rotations have
// changed; within a group, each rotation writes row q into column q of the
// group's later rows only. Column p is written from row p once the block is
// done, below row p. The upper copies that went stale meanwhile are
// refreshed from the lower ones by tile transposes, for the rows after p at
// the end of each row block and for all rows at the end of the sweep, before
// the sum of the upper triangle reads them. Both kinds of transpose skip the
// tiles of rows that no rotation has rewritten. The entries that a whole-row
// rotation also computes at columns p and q and on the diagonal are no part
// of the matrix: the pivot pair is set to 0 as in the scalar code, and the
// diagonal of w is never read (d carries the diagonal).

#include "detail_avx2.h"
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

constexpr int kMaxSweeps = 50;

using ByteBuffer = std::unique_ptr<unsigned char[], MallocDeleter>;

// x' = x - s * (y + x * tau), y' = y + s * (x - y * tau) over len elements
// (a multiple of eight), as in the scalar rotation.
TV_TARGET_AVX2 void rotate_rows(float *x, float *y, std::size_t len, float s, float tau)
{
    const __m256 vs = _mm256_set1_ps(s), vtau = _mm256_set1_ps(tau);
    for (std::size_t j = 0; j < len; j += 8) {
        __m256 g = _mm256_load_ps(x + j), h = _mm256_load_ps(y + j);
        __m256 nx = _mm256_sub_ps(g, _mm256_mul_ps(vs, _mm256_add_ps(h, _mm256_mul_ps(g, vtau))));
        __m256 ny = _mm256_add_ps(h, _mm256_mul_ps(vs, _mm256_sub_ps(g, _mm256_mul_ps(h, vtau))));
        _mm256_store_ps(x + j, nx);
        _mm256_store_ps(y + j, ny);
    }
}

// Column r of w from row r, in the rows from..n-1.
void mirror_line(const PaddedMatrix &w, int r, int from, int n)
{
    const float *src = w.row(r);
    const std::size_t ld = w.stride();
    float *dst = w.row(from) + r;
    for (int j = from; j < n; j++, dst += ld)
        *dst = src[j];
}

// The transpose of the 8 x 8 tile at src (rows ld floats apart), in t.
TV_TARGET_AVX2 TV_INLINE void load_transposed_tile(const float *src, std::size_t ld, __m256 t[8])
{
#pragma GCC unroll 8
    for (int i = 0; i < 8; i++)
        t[i] = _mm256_load_ps(src + static_cast<std::size_t>(i) * ld);
    transpose8(t);
}

// The upper copy of every element (r, c), r < c, in the rows from the tile
// row holding `from` on, from its lower copy, in whole 8 x 8 tiles (those on
// the diagonal keep their lower half), wherever the lower copy may differ:
// in the column tiles marked in `changed`. Rows before `from` in that tile
// row are refreshed too, which is harmless: their lower copies are current
// as well. w has whole tiles of rows; its padding is never read as an
// element.
TV_TARGET_AVX2 void upper_from_lower(const PaddedMatrix &w, int from, int n,
                                     const unsigned char *changed)
{
    const std::size_t ld = w.stride();
    __m256 t[8];
    for (int r0 = from / 8 * 8; r0 < n; r0 += 8) {
        if (changed[r0 / 8]) {
            load_transposed_tile(w.row(r0) + r0, ld, t);
#pragma GCC unroll 8
            for (int i = 0; i < 8; i++) {
                float *row = w.row(r0 + i) + r0;
                const __m256 above = _mm256_castsi256_ps(_mm256_cmpgt_epi32(
                    _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(i)));
                _mm256_store_ps(row, _mm256_blendv_ps(_mm256_load_ps(row), t[i], above));
            }
        }
        for (int c0 = r0 + 8; c0 < n; c0 += 8) {
            if (!changed[c0 / 8])
                continue;
            load_transposed_tile(w.row(c0) + r0, ld, t);
#pragma GCC unroll 8
            for (int i = 0; i < 8; i++)
                _mm256_store_ps(w.row(r0 + i) + c0, t[i]);
        }
    }
}

// jacobi_rotation with a shorter dependency chain where t^2 + 1 rounds to 1
// in float, as it does for most rotations of the last sweeps: then c is 1
// exactly (the root and the quotient of 1 are 1) and tau is s / 2, which in
// double is the exact product s * 0.5 (s is a float, so s / 2 is a normal
// double), so the two double divisions and the root can be left out without
// changing a bit, NaN and infinities included (they never pass the test).
inline JacobiRotation jacobi_rotation_fast(float h, float apq, float g)
{
    const float t = jacobi_tangent(h, apq, g);
    if (t * t + 1.0f == 1.0f) {
        const float s = t * 1.0f;
        return {t, s, static_cast<float>(static_cast<double>(s) * 0.5)};
    }
    return jacobi_rotation_from_tangent(t);
}

// Before row p is rotated with the group of rows r0..r0+7 (r0 a multiple of
// eight): the entries of those rows in the columns p+1..r0-1 from their
// upper copies, which the rotations of row p with the rows p+1..r0-1 have
// just changed: those in the tiles of the rows marked in `changed`. Columns
// up to p keep their values: the upper copies in the rows before p are
// stale, and the entries of column p are recomputed by the rotations and
// then set to 0.
TV_TARGET_AVX2 void lower_from_upper(const PaddedMatrix &w, int p, int r0,
                                     const unsigned char *changed)
{
    const std::size_t ld = w.stride();
    __m256 t[8];
    const int c_first = (p + 1) / 8 * 8;
    for (int c0 = c_first; c0 < r0; c0 += 8) {
        if (!changed[c0 / 8])
            continue;
        load_transposed_tile(w.row(c0) + r0, ld, t);
        if (c0 <= p) {
            const __m256 keep = _mm256_castsi256_ps(_mm256_cmpgt_epi32(
                _mm256_set1_epi32(p - c0 + 1), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
#pragma GCC unroll 8
            for (int i = 0; i < 8; i++) {
                float *row = w.row(r0 + i) + c0;
                _mm256_store_ps(row, _mm256_blendv_ps(t[i], _mm256_load_ps(row), keep));
            }
        } else {
#pragma GCC unroll 8
            for (int i = 0; i < 8; i++)
                _mm256_store_ps(w.row(r0 + i) + c0, t[i]);
        }
    }
}

// The caller's upper triangle and v from the working copies.
void write_back(float **a, float **v, const PaddedMatrix &w, const PaddedMatrix &vt, int n)
{
    for (int p = 0; p < n; p++) {
        const float *wr = w.row(p);
        for (int q = p + 1; q < n; q++)
            a[p + 1][q + 1] = wr[q];
    }
    for (int k = 0; k < n; k++) {
        const float *vr = vt.row(k);
        for (int j = 0; j < n; j++)
            v[j + 1][k + 1] = vr[j];
    }
}

}  // namespace

bool jacobi_avx2(float **a, int n, float *d, float **v, int *nrot, float *b, float *z)
{
    PaddedMatrix w, vt;
    // Which tiles of rows a rotation has rewritten, in the current row block
    // and in the current sweep: only their transposed copies can be stale.
    const int tiles = (n + 7) / 8;
    ByteBuffer flags(
        static_cast<unsigned char *>(std::malloc(2 * static_cast<std::size_t>(tiles))));
    if (n < 2 || !flags || !w.allocate(tiles * 8, n) || !vt.allocate(n, n))
        return false;
    unsigned char *changed_in_block = flags.get(), *changed_in_sweep = flags.get() + tiles;
    // The rotations run over whole tiles; the columns of the row padding
    // beyond them are never read.
    const std::size_t len = static_cast<std::size_t>(tiles) * 8;

    for (int p = 0; p < n; p++) {
        vt.row(p)[p] = 1.0f;
        for (int q = p + 1; q < n; q++)
            w.row(p)[q] = w.row(q)[p] = a[p + 1][q + 1];
    }
    for (int ip = 1; ip <= n; ip++) {
        b[ip] = d[ip] = a[ip][ip];
        z[ip] = 0.0f;
    }
    *nrot = 0;

    for (int i = 1; i <= kMaxSweeps; i++) {
        float sm = 0.0f;
        for (int p = 0; p < n - 1; p++)
            for (int q = p + 1; q < n; q++)
                sm += std::fabs(w.row(p)[q]);
        if (sm == 0.0f) {
            write_back(a, v, w, vt, n);
            return true;
        }
        std::fill(changed_in_sweep, changed_in_sweep + tiles, 0);
        float tresh =
            i < 4 ? static_cast<float>(0.2 * static_cast<double>(sm) / static_cast<double>(n * n))
                  : 0.0f;

        for (int ip = 1; ip <= n - 1; ip++) {
            float *wp = w.row(ip - 1);
            int group_end = ip;
            std::fill(changed_in_block, changed_in_block + tiles, 0);
            for (int iq = ip + 1; iq <= n; iq++) {
                // A new group of eight rows starts.
                if (iq > group_end) {
                    group_end = std::min((iq - 1) / 8 * 8 + 8, n);
                    if (iq > ip + 1)
                        lower_from_upper(w, ip - 1, iq - 1, changed_in_block);
                }
                float *wq = w.row(iq - 1);
                float &apq = wp[iq - 1];
                float g = 100.0f * std::fabs(apq);
                if (i > 4 && std::fabs(d[ip]) + g == std::fabs(d[ip]) &&
                    std::fabs(d[iq]) + g == std::fabs(d[iq])) {
                    apq = wq[ip - 1] = 0.0f;
                } else if (std::fabs(apq) > tresh) {
                    const JacobiRotation r = jacobi_rotation_fast(d[iq] - d[ip], apq, g);
                    const float s = r.s, tau = r.tau;
                    const float h = r.t * apq;
                    z[ip] -= h;
                    z[iq] += h;
                    d[ip] -= h;
                    d[iq] += h;

                    rotate_rows(wp, wq, len, s, tau);
                    wp[iq - 1] = wq[ip - 1] = 0.0f;
                    mirror_line(w, iq - 1, iq, group_end);
                    rotate_rows(vt.row(ip - 1), vt.row(iq - 1), len, s, tau);
                    // The lower part of row q leaves stale upper copies in
                    // column q; that of row p, in column p above row p,
                    // which only the sum at the end of the sweep reads.
                    changed_in_block[(iq - 1) / 8] = changed_in_sweep[(iq - 1) / 8] = 1;
                    changed_in_sweep[(ip - 1) / 8] = 1;
                    ++*nrot;
                }
            }
            mirror_line(w, ip - 1, ip, n);
            upper_from_lower(w, ip, n, changed_in_block);
        }
        upper_from_lower(w, 0, n, changed_in_sweep);
        for (int ip = 1; ip <= n; ip++) {
            b[ip] += z[ip];
            d[ip] = b[ip];
            z[ip] = 0.0f;
        }
    }
    write_back(a, v, w, vt, n);
    nrerror("Too many iterations in routine jacobi");
}

}  // namespace detail
}  // namespace tessivane
