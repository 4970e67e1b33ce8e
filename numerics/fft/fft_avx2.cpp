// The AVX2 paths of the FFTs. They perform exactly the operations of the
// portable code in fft.cpp and fft_nd.cpp, on the same operands and with the
// same float/double steps, so every result has the same bits; only the order
// of independent butterflies, their grouping into vector lanes and the memory
// traffic differ:
// - twiddles come from tables filled once by the same double recurrence;
// - four1's twiddle products run in double lanes (wr*re - wi*im and
//   wr*im + wi*re, each product and sum rounded to double as in scalar code,
//   then rounded once to float); the butterfly sums run in float lanes;
// - two or three radix-2 stages are done in registers per memory sweep, and
//   the smaller stages block by block while the block is in cache;
// - the bit reversal moves whole tiles, so each cache line is read once, and
//   four1 runs its first three stages on each tile on the way;
// - the twiddle (1, 0) that starts each stage runs in float where that gives
//   the double result's bits for every input (see unit_twiddle_product).
// No fused multiply-add is ever used (the target is "avx2" alone).

#include "detail_avx2.h"
#include "detail_fft.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace tessivane {
namespace detail {
namespace {

unsigned long reverse_bits(unsigned long v, unsigned bits)
{
    unsigned long r = 0;
    for (unsigned b = 0; b < bits; ++b, v >>= 1)
        r = (r << 1) | (v & 1);
    return r;
}

unsigned log2_of(unsigned long n)
{
    unsigned l = 0;
    while ((1UL << l) < n)
        ++l;
    return l;
}

// ---------------------------------------------------------------- four1
//
// Between its first and its last sweep the transform keeps the array in
// blocks of eight complex values, each block holding the eight real parts and
// then the eight imaginary parts (the same 64 bytes as the eight values
// interleaved). Every butterfly then runs in one vector lane without
// shuffles; the first sweep (bit reversal and stages h = 1, 2, 4) builds this
// layout and the sweep of the last stage undoes it.

// bottom = top - t, top = top + t, in float.
TV_TARGET_AVX2 TV_INLINE void butterfly(__m256 &top, __m256 &bottom, __m256 t)
{
    bottom = _mm256_sub_ps(top, t);
    top = _mm256_add_ps(top, t);
}

// Eight complex values, real and imaginary parts apart.
struct Split {
    __m256 re;
    __m256 im;
};

// The twiddles of eight butterflies in double: lanes 0-3 and 4-7 of wr, wi.
struct Twiddles {
    __m256d wr0, wr1, wi0, wi1;
};

TV_TARGET_AVX2 TV_INLINE Twiddles broadcast_twiddle(const double *wr, const double *wi)
{
    const __m256d r = _mm256_broadcast_sd(wr);
    const __m256d i = _mm256_broadcast_sd(wi);
    return {r, r, i, i};
}

// Stage h of the table holds 2h doubles from 2(h - 1) on, in chunks of
// min(h, 8) twiddles: their wr values, then their wi values.
TV_TARGET_AVX2 TV_INLINE Twiddles load_twiddles(const double *w)
{
    return {_mm256_loadu_pd(w), _mm256_loadu_pd(w + 4), _mm256_loadu_pd(w + 8),
            _mm256_loadu_pd(w + 12)};
}

inline const double *stage(const double *table, unsigned long h)
{
    return table + 2 * (h - 1);
}

TV_TARGET_AVX2 TV_INLINE __m256 join(__m128 lo, __m128 hi)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

TV_TARGET_AVX2 TV_INLINE __m128 real_part(__m256d wr, __m256d re, __m256d wi, __m256d im)
{
    return _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(wr, re), _mm256_mul_pd(wi, im)));
}

TV_TARGET_AVX2 TV_INLINE __m128 imaginary_part(__m256d wr, __m256d re, __m256d wi, __m256d im)
{
    return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(wr, im), _mm256_mul_pd(wi, re)));
}

// The twiddle products wr*re - wi*im and wr*im + wi*re of eight values, the
// products and the sum in double, rounded once to float.
TV_TARGET_AVX2 TV_INLINE Split twiddle_product(const Split &b, const Twiddles &w)
{
    const __m256d re0 = _mm256_cvtps_pd(_mm256_castps256_ps128(b.re));
    const __m256d re1 = _mm256_cvtps_pd(_mm256_extractf128_ps(b.re, 1));
    const __m256d im0 = _mm256_cvtps_pd(_mm256_castps256_ps128(b.im));
    const __m256d im1 = _mm256_cvtps_pd(_mm256_extractf128_ps(b.im, 1));
    return {join(real_part(w.wr0, re0, w.wi0, im0), real_part(w.wr1, re1, w.wi1, im1)),
            join(imaginary_part(w.wr0, re0, w.wi0, im0), imaginary_part(w.wr1, re1, w.wi1, im1))};
}

// The same for the twiddle (1, 0) that starts every stage. 1*re and 1*im are
// exact, and so is every operation left (a product with 0 is a signed zero or
// NaN, and a sum with a signed zero is exact), so float operations give the
// bits of the double ones for every input.
TV_TARGET_AVX2 TV_INLINE Split unit_twiddle_product(const Split &b)
{
    const __m256 zero = _mm256_setzero_ps();
    return {_mm256_sub_ps(b.re, _mm256_mul_ps(zero, b.im)),
            _mm256_add_ps(b.im, _mm256_mul_ps(zero, b.re))};
}

TV_TARGET_AVX2 TV_INLINE void butterfly(Split &top, Split &bottom, const Split &t)
{
    butterfly(top.re, bottom.re, t.re);
    butterfly(top.im, bottom.im, t.im);
}

TV_TARGET_AVX2 TV_INLINE Split load_block(const float *p)
{
    return {_mm256_loadu_ps(p), _mm256_loadu_ps(p + 8)};
}

// Stores a block split, or (Finish) interleaved again.
template <bool Finish>
TV_TARGET_AVX2 TV_INLINE void store_block(float *p, const Split &v)
{
    if (Finish) {
        const __m256 lo = _mm256_unpacklo_ps(v.re, v.im);  // values 0, 1 | 4, 5
        const __m256 hi = _mm256_unpackhi_ps(v.re, v.im);  // values 2, 3 | 6, 7
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    } else {
        _mm256_storeu_ps(p, v.re);
        _mm256_storeu_ps(p + 8, v.im);
    }
}

// Rows of eight lanes transposed into split blocks: block i gets lane i.
TV_TARGET_AVX2 TV_INLINE void transpose8(Split r[8])
{
    __m256 re[8], im[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        re[j] = r[j].re;
        im[j] = r[j].im;
    }
    detail::transpose8(re);
    detail::transpose8(im);
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i)
        r[i] = {re[i], im[i]};
}

// The twiddles of stages 2 and 4 other than (1, 0), as broadcasts.
struct FirstTwiddles {
    Twiddles w2;
    Twiddles w4[4];
};

TV_TARGET_AVX2 TV_INLINE FirstTwiddles first_twiddles(const double *table)
{
    FirstTwiddles f;
    const double *w2 = stage(table, 2);
    const double *w4 = stage(table, 4);
    f.w2 = broadcast_twiddle(w2 + 1, w2 + 3);
    for (int m = 1; m < 4; ++m)
        f.w4[m] = broadcast_twiddle(w4 + m, w4 + 4 + m);
    return f;
}

// Stages h = 1, 2, 4 on rows r[j] holding, lane by lane, the values whose
// index ends in the three bits j.
TV_TARGET_AVX2 TV_INLINE void first_stages(Split r[8], const FirstTwiddles &f)
{
#pragma GCC unroll 8
    for (int j = 0; j < 8; j += 2)
        butterfly(r[j], r[j + 1], unit_twiddle_product(r[j + 1]));
#pragma GCC unroll 8
    for (int j = 0; j < 8; j += 4) {
        butterfly(r[j], r[j + 2], unit_twiddle_product(r[j + 2]));
        butterfly(r[j + 1], r[j + 3], twiddle_product(r[j + 3], f.w2));
    }
    butterfly(r[0], r[4], unit_twiddle_product(r[4]));
#pragma GCC unroll 8
    for (int j = 1; j < 4; ++j)
        butterfly(r[j], r[j + 4], twiddle_product(r[j + 4], f.w4[j]));
}

const unsigned char kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// The value of a tile row in each lane after load_tile.
const unsigned char kLaneValue[8] = {0, 1, 4, 5, 2, 3, 6, 7};

// Index (a, b, c), with a and c of three bits each, reverses to
// (rev c, rev b, rev a): tile b (rows a of eight values c, each row one block
// of the array) holds the inputs of the blocks (rev c, rev b), each row a
// feeding row rev a of the first stages. `rows` is the distance of rows a
// in floats.
TV_TARGET_AVX2 TV_INLINE void load_tile(const float *x, unsigned long rows, unsigned long b,
                                        Split r[8])
{
#pragma GCC unroll 8
    for (int a = 0; a < 8; ++a) {
        const float *p = x + a * rows + 16 * b;
        const __m256 v0 = _mm256_loadu_ps(p);
        const __m256 v1 = _mm256_loadu_ps(p + 8);
        r[kRev3[a]] = {_mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(2, 0, 2, 0)),
                       _mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 1, 3, 1))};
    }
}

// The partners rev b of the tiles b in group `base` (see first_sweep_tiles):
// for each l, 2^g neighbouring tiles.
TV_TARGET_AVX2 void prefetch_partners(const float *x, unsigned long rows, unsigned mid, unsigned g,
                                      unsigned long base)
{
    const unsigned long bytes = 64UL << g;
    for (unsigned long l = 0; l < (1UL << g); ++l) {
        const unsigned long first = reverse_bits(base << g | l, mid) & ~((1UL << g) - 1);
        for (int a = 0; a < 8; ++a) {
            const char *p = reinterpret_cast<const char *>(x + a * rows + 16 * first);
            for (unsigned long at = 0; at < bytes; at += 64)
                _mm_prefetch(p + at, _MM_HINT_T0);
            _mm_prefetch(p + bytes - 1, _MM_HINT_T0);
        }
    }
}

// Stores the transformed tile b (now rows of the blocks) at tile rb's place.
TV_TARGET_AVX2 TV_INLINE void store_tile(float *x, unsigned long rows, unsigned long rb, Split r[8])
{
    transpose8(r);
#pragma GCC unroll 8
    for (int lane = 0; lane < 8; ++lane)
        store_block<false>(x + kRev3[kLaneValue[lane]] * rows + 16 * rb, r[lane]);
}

// The first sweep for n >= 64: tiles b and rev b exchange places.
TV_TARGET_AVX2 void first_sweep_tiles(float *x, unsigned long n, const double *table)
{
    const FirstTwiddles f = first_twiddles(table);
    const unsigned mid = log2_of(n) - 6;
    const unsigned long rows = n / 4;
    // Tiles go in groups of 2^g x 2^g: tile b = (t, base, l) with t and l of
    // g bits, so that l runs over neighbouring tiles b and t over neighbouring
    // partners rev b, and the cache lines shared by neighbouring tiles are
    // used while they are in cache.
    const unsigned g = mid >= 4 ? 2 : 0;
    const unsigned long bases = 1UL << (mid - 2 * g);
    const unsigned long side = 1UL << g;
    Split t1[8], t2[8];
    for (unsigned long base = 0; base < bases; ++base) {
        // The partners of the next group are scattered in bit-reversed
        // order, which no hardware prefetcher follows: ask for them now.
        if (base + 1 < bases)
            prefetch_partners(x, rows, mid, g, base + 1);
        for (unsigned long t = 0; t < side; ++t)
            for (unsigned long l = 0; l < side; ++l) {
                const unsigned long b = (t << (mid - g)) | (base << g) | l;
                const unsigned long rb = reverse_bits(b, mid);
                if (rb < b)
                    continue;
                load_tile(x, rows, b, t1);
                first_stages(t1, f);
                if (rb != b) {
                    load_tile(x, rows, rb, t2);
                    first_stages(t2, f);
                    store_tile(x, rows, b, t2);
                }
                store_tile(x, rows, rb, t1);
            }
    }
}

// The first sweep for n = 8, 16, 32: one row per lane j, lanes n/8.. unused.
TV_TARGET_AVX2 void first_sweep_small(float *x, unsigned long n, const double *table)
{
    const unsigned bits = log2_of(n);
    float re[8][8] = {}, im[8][8] = {};
    for (unsigned long q = 0; q < n / 8; ++q)
        for (unsigned long j = 0; j < 8; ++j) {
            const unsigned long from = reverse_bits(8 * q + j, bits);
            re[j][q] = x[2 * from];
            im[j][q] = x[2 * from + 1];
        }
    Split r[8];
    for (int j = 0; j < 8; ++j)
        r[j] = {_mm256_loadu_ps(re[j]), _mm256_loadu_ps(im[j])};
    first_stages(r, first_twiddles(table));
    transpose8(r);
    if (n == 8) {
        // The last stage done: interleave again.
        store_block<true>(x, r[0]);
        return;
    }
    for (unsigned long q = 0; q < n / 8; ++q)
        store_block<false>(x + 16 * q, r[q]);
}

// Stages h, 2h, ..., 2^(Stages-1) h in one sweep: each group of 2^Stages
// blocks at distance h goes through all those stages' butterflies in
// registers. At stage j the pair (i, i + 2^j) takes the twiddle of offset
// m + (i mod 2^j) h.
template <int Stages, bool Finish>
TV_TARGET_AVX2 void split_pass(float *x, unsigned long n, unsigned long h, const double *table)
{
    constexpr int kBlocks = 1 << Stages;
    const double *w[Stages];
    for (int j = 0; j < Stages; ++j)
        w[j] = stage(table, h << j);
    for (unsigned long s = 0; s < n; s += kBlocks * h) {
        for (unsigned long m = 0; m < h; m += 8) {
            float *p = x + 2 * (s + m);
            Split v[kBlocks];
#pragma GCC unroll 8
            for (int i = 0; i < kBlocks; ++i)
                v[i] = load_block(p + 2 * h * i);
#pragma GCC unroll 3
            for (int j = 0; j < Stages; ++j) {
                const int d = 1 << j;
#pragma GCC unroll 8
                for (int i = 0; i < kBlocks; ++i) {
                    if ((i & d) != 0)
                        continue;
                    const Twiddles t = load_twiddles(w[j] + 2 * (m + (i & (d - 1)) * h));
                    butterfly(v[i], v[i + d], twiddle_product(v[i + d], t));
                }
            }
#pragma GCC unroll 8
            for (int i = 0; i < kBlocks; ++i)
                store_block<Finish>(p + 2 * h * i, v[i]);
        }
    }
}

template <int Stages>
TV_TARGET_AVX2 void split_pass(float *x, unsigned long n, unsigned long h, const double *table,
                               bool finish)
{
    if (finish)
        split_pass<Stages, true>(x, n, h, table);
    else
        split_pass<Stages, false>(x, n, h, table);
}

// Stages h = first, 2 first, ..., last (h >= 8) on n values, three per
// sweep while three are left; `finish`: stage `last` is the transform's last,
// whose sweep interleaves.
TV_TARGET_AVX2 void split_passes(float *x, unsigned long n, unsigned long first, unsigned long last,
                                 const double *table, bool finish)
{
    unsigned long h = first;
    while (h <= last) {
        if (4 * h <= last) {
            split_pass<3>(x, n, h, table, finish && 4 * h == last);
            h <<= 3;
        } else if (2 * h <= last) {
            split_pass<2>(x, n, h, table, finish && 2 * h == last);
            h <<= 2;
        } else {
            split_pass<1>(x, n, h, table, finish && h == last);
            h <<= 1;
        }
    }
}

// Complex values per block whose smaller stages run while it stays in cache.
const unsigned long kFour1Block = 1UL << 14;

// ---------------------------------------------------------------- fourn

// fourn's twiddle product with a float twiddle, in float lanes:
// (fwr*re - fwi*im, fwr*im + fwi*re) for four complex values.
TV_TARGET_AVX2 TV_INLINE __m256 float_twiddle_product(__m256 b, __m256 wr, __m256 wi)
{
    const __m256 swapped = _mm256_permute_ps(b, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm256_addsub_ps(_mm256_mul_ps(wr, b), _mm256_mul_ps(wi, swapped));
}

// A working copy of lines of one dimension: n rows (the index along the
// dimension) of `width` complex values (width a multiple of four), each row
// one line's element, so that every butterfly runs across a row with one
// twiddle.
struct Lines {
    float *rows;
    unsigned long n;
    unsigned long width;
    float *row(unsigned long j) const { return rows + 2 * width * j; }
};

TV_TARGET_AVX2 TV_INLINE __m256 broadcast_re(const float *w)
{
    return _mm256_set1_ps(w[0]);
}

TV_TARGET_AVX2 TV_INLINE __m256 broadcast_im(const float *w)
{
    return _mm256_set1_ps(w[1]);
}

TV_TARGET_AVX2 void lines_radix2_pass(const Lines &l, unsigned long h, const float *table)
{
    const float *w = table + 2 * (h - 1);
    for (unsigned long s = 0; s < l.n; s += 2 * h) {
        for (unsigned long m = 0; m < h; ++m) {
            const __m256 wr = broadcast_re(w + 2 * m), wi = broadcast_im(w + 2 * m);
            float *a = l.row(s + m);
            float *b = l.row(s + m + h);
            for (unsigned long c = 0; c < 2 * l.width; c += 8) {
                __m256 top = _mm256_loadu_ps(a + c);
                __m256 bottom = _mm256_loadu_ps(b + c);
                butterfly(top, bottom, float_twiddle_product(bottom, wr, wi));
                _mm256_storeu_ps(a + c, top);
                _mm256_storeu_ps(b + c, bottom);
            }
        }
    }
}

// Stages h and 2h in registers, as four1_radix4_pass.
TV_TARGET_AVX2 void lines_radix4_pass(const Lines &l, unsigned long h, const float *table)
{
    const float *w1 = table + 2 * (h - 1);
    const float *w2 = table + 2 * (2 * h - 1);
    for (unsigned long s = 0; s < l.n; s += 4 * h) {
        for (unsigned long m = 0; m < h; ++m) {
            const __m256 w1r = broadcast_re(w1 + 2 * m), w1i = broadcast_im(w1 + 2 * m);
            const __m256 w2r = broadcast_re(w2 + 2 * m), w2i = broadcast_im(w2 + 2 * m);
            const __m256 w3r = broadcast_re(w2 + 2 * (m + h)), w3i = broadcast_im(w2 + 2 * (m + h));
            float *pa = l.row(s + m);
            float *pb = l.row(s + m + h);
            float *pc = l.row(s + m + 2 * h);
            float *pd = l.row(s + m + 3 * h);
            for (unsigned long c = 0; c < 2 * l.width; c += 8) {
                __m256 a = _mm256_loadu_ps(pa + c);
                __m256 b = _mm256_loadu_ps(pb + c);
                __m256 cc = _mm256_loadu_ps(pc + c);
                __m256 d = _mm256_loadu_ps(pd + c);
                butterfly(a, b, float_twiddle_product(b, w1r, w1i));
                butterfly(cc, d, float_twiddle_product(d, w1r, w1i));
                butterfly(a, cc, float_twiddle_product(cc, w2r, w2i));
                butterfly(b, d, float_twiddle_product(d, w3r, w3i));
                _mm256_storeu_ps(pa + c, a);
                _mm256_storeu_ps(pb + c, b);
                _mm256_storeu_ps(pc + c, cc);
                _mm256_storeu_ps(pd + c, d);
            }
        }
    }
}

// All stages of the dimension on the working copy (already bit-reversed).
TV_TARGET_AVX2 void lines_transform(const Lines &l, const float *table)
{
    unsigned long h = 1;
    while (h < l.n) {
        if (4 * h <= l.n) {
            lines_radix4_pass(l, h, table);
            h <<= 2;
        } else {
            lines_radix2_pass(l, h, table);
            h <<= 1;
        }
    }
}

// Transposes four rows of four complex values (64-bit units).
TV_TARGET_AVX2 TV_INLINE void transpose4(__m256d &v0, __m256d &v1, __m256d &v2, __m256d &v3)
{
    const __m256d t0 = _mm256_unpacklo_pd(v0, v1);
    const __m256d t1 = _mm256_unpackhi_pd(v0, v1);
    const __m256d t2 = _mm256_unpacklo_pd(v2, v3);
    const __m256d t3 = _mm256_unpackhi_pd(v2, v3);
    v0 = _mm256_permute2f128_pd(t0, t2, 0x20);
    v1 = _mm256_permute2f128_pd(t1, t3, 0x20);
    v2 = _mm256_permute2f128_pd(t0, t2, 0x31);
    v3 = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// The fastest-varying dimension (n >= 4): four lines at a time, transposed
// into the working copy with the bit reversal applied on the way in.
TV_TARGET_AVX2 void fourn_inner(float *x, unsigned long n, unsigned long lines, const float *table,
                                float *scratch)
{
    const Lines l{scratch, n, 4};
    const unsigned bits = log2_of(n);
    for (unsigned long r = 0; r < lines; r += 4) {
        double *line[4];
        for (int q = 0; q < 4; ++q)
            line[q] = reinterpret_cast<double *>(x + 2 * n * (r + q));
        for (unsigned long j = 0; j < n; j += 4) {
            __m256d v0 = _mm256_loadu_pd(line[0] + j), v1 = _mm256_loadu_pd(line[1] + j);
            __m256d v2 = _mm256_loadu_pd(line[2] + j), v3 = _mm256_loadu_pd(line[3] + j);
            transpose4(v0, v1, v2, v3);
            _mm256_storeu_pd(reinterpret_cast<double *>(l.row(reverse_bits(j, bits))), v0);
            _mm256_storeu_pd(reinterpret_cast<double *>(l.row(reverse_bits(j + 1, bits))), v1);
            _mm256_storeu_pd(reinterpret_cast<double *>(l.row(reverse_bits(j + 2, bits))), v2);
            _mm256_storeu_pd(reinterpret_cast<double *>(l.row(reverse_bits(j + 3, bits))), v3);
        }
        lines_transform(l, table);
        for (unsigned long j = 0; j < n; j += 4) {
            __m256d v0 = _mm256_loadu_pd(reinterpret_cast<double *>(l.row(j)));
            __m256d v1 = _mm256_loadu_pd(reinterpret_cast<double *>(l.row(j + 1)));
            __m256d v2 = _mm256_loadu_pd(reinterpret_cast<double *>(l.row(j + 2)));
            __m256d v3 = _mm256_loadu_pd(reinterpret_cast<double *>(l.row(j + 3)));
            transpose4(v0, v1, v2, v3);
            _mm256_storeu_pd(line[0] + j, v0);
            _mm256_storeu_pd(line[1] + j, v1);
            _mm256_storeu_pd(line[2] + j, v2);
            _mm256_storeu_pd(line[3] + j, v3);
        }
    }
}

// An outer dimension (nprev >= 4 values per step of its index): blocks of
// `width` neighbouring lines copied into the working copy, bit-reversed on
// the way in, transformed there while they stay in cache, and copied back.
TV_TARGET_AVX2 void fourn_outer(float *x, unsigned long n, unsigned long nprev, unsigned long nrem,
                                unsigned long width, const float *table, float *scratch)
{
    const Lines l{scratch, n, width};
    const unsigned bits = log2_of(n);
    for (unsigned long rem = 0; rem < nrem; ++rem) {
        float *block = x + 2 * rem * n * nprev;
        for (unsigned long c0 = 0; c0 < nprev; c0 += width) {
            for (unsigned long j = 0; j < n; ++j)
                std::memcpy(l.row(reverse_bits(j, bits)), block + 2 * (j * nprev + c0),
                            2 * width * sizeof(float));
            lines_transform(l, table);
            for (unsigned long j = 0; j < n; ++j)
                std::memcpy(block + 2 * (j * nprev + c0), l.row(j), 2 * width * sizeof(float));
        }
    }
}

// Lines per block of an outer dimension: a working copy of about 32 KiB.
unsigned long outer_width(unsigned long n, unsigned long nprev)
{
    return std::min(nprev, std::max(4UL, 4096UL / n));
}

}  // namespace

// ---------------------------------------------------------------- realft

// The four outputs of the separation step for four frequencies from their
// float h-values, each formed in double and rounded once to float.
struct Separated {
    __m128 o1, o2, o3, o4;
};

TV_TARGET_AVX2 TV_INLINE Separated separated(__m128 fh1r, __m128 fh1i, __m128 fh2r, __m128 fh2i,
                                             __m256d wr, __m256d wi)
{
    const __m256d h1r = _mm256_cvtps_pd(fh1r);
    const __m256d h1i = _mm256_cvtps_pd(fh1i);
    const __m256d h2r = _mm256_cvtps_pd(fh2r);
    const __m256d h2i = _mm256_cvtps_pd(fh2i);
    const __m256d wr_h2r = _mm256_mul_pd(wr, h2r);
    const __m256d wi_h2i = _mm256_mul_pd(wi, h2i);
    const __m256d wr_h2i = _mm256_mul_pd(wr, h2i);
    const __m256d wi_h2r = _mm256_mul_pd(wi, h2r);
    const __m256d minus_h1i = _mm256_xor_pd(h1i, _mm256_set1_pd(-0.0));
    return {_mm256_cvtpd_ps(_mm256_sub_pd(_mm256_add_pd(h1r, wr_h2r), wi_h2i)),
            _mm256_cvtpd_ps(_mm256_add_pd(_mm256_add_pd(h1i, wr_h2i), wi_h2r)),
            _mm256_cvtpd_ps(_mm256_add_pd(_mm256_sub_pd(h1r, wr_h2r), wi_h2i)),
            _mm256_cvtpd_ps(_mm256_add_pd(_mm256_add_pd(minus_h1i, wr_h2i), wi_h2r))};
}

// Reverses the order of four complex values.
TV_TARGET_AVX2 TV_INLINE __m256 reversed(__m256 v)
{
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), 0x1B));
}

// The h-values are float; each output is formed in double and rounded once.
TV_TARGET_AVX2 void separate_avx2(float *top, float *mirror, unsigned long n, unsigned long end,
                                  const double *wrs, const double *wis, float c1, float c2)
{
    unsigned long k = 1;
    {
        // Eight frequencies at a time, in the lane order (k, k+1, k+4, k+5 |
        // k+2, k+3, k+6, k+7) that splitting real and imaginary parts gives.
        const __m256 vc1 = _mm256_set1_ps(c1);
        const __m256 vc2 = _mm256_set1_ps(c2);
        const __m256 vnc2 = _mm256_set1_ps(-c2);
        // The partners, loaded from frequency n/2 - k - 7 upwards, into that order.
        const __m256i partner_lanes = _mm256_setr_epi32(5, 4, 7, 6, 1, 0, 3, 2);
        for (; k + 8 <= end; k += 8) {
            float *pt = top + 2 * k;
            float *pm = mirror + n - 2 * (k + 7);
            const __m256 t0 = _mm256_loadu_ps(pt), t1 = _mm256_loadu_ps(pt + 8);
            const __m256 m0 = _mm256_loadu_ps(pm), m1 = _mm256_loadu_ps(pm + 8);
            const __m256 xr = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(2, 0, 2, 0));
            const __m256 xi = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 1, 3, 1));
            const __m256 yr = _mm256_permutevar8x32_ps(
                _mm256_shuffle_ps(m1, m0, _MM_SHUFFLE(2, 0, 2, 0)), partner_lanes);
            const __m256 yi = _mm256_permutevar8x32_ps(
                _mm256_shuffle_ps(m1, m0, _MM_SHUFFLE(3, 1, 3, 1)), partner_lanes);
            const __m256 h1r = _mm256_mul_ps(vc1, _mm256_add_ps(xr, yr));
            const __m256 h1i = _mm256_mul_ps(vc1, _mm256_sub_ps(xi, yi));
            const __m256 h2r = _mm256_mul_ps(vnc2, _mm256_add_ps(xi, yi));
            const __m256 h2i = _mm256_mul_ps(vc2, _mm256_sub_ps(xr, yr));
            const __m256d wr0 = _mm256_loadu_pd(wrs + k), wr1 = _mm256_loadu_pd(wrs + k + 4);
            const __m256d wi0 = _mm256_loadu_pd(wis + k), wi1 = _mm256_loadu_pd(wis + k + 4);
            const Separated lo = separated(_mm256_castps256_ps128(h1r), _mm256_castps256_ps128(h1i),
                                           _mm256_castps256_ps128(h2r), _mm256_castps256_ps128(h2i),
                                           _mm256_permute2f128_pd(wr0, wr1, 0x20),
                                           _mm256_permute2f128_pd(wi0, wi1, 0x20));
            const Separated hi = separated(
                _mm256_extractf128_ps(h1r, 1), _mm256_extractf128_ps(h1i, 1),
                _mm256_extractf128_ps(h2r, 1), _mm256_extractf128_ps(h2i, 1),
                _mm256_permute2f128_pd(wr0, wr1, 0x31), _mm256_permute2f128_pd(wi0, wi1, 0x31));
            // Interleaved again, in the order of k.
            _mm256_storeu_ps(pt,
                             join(_mm_unpacklo_ps(lo.o1, lo.o2), _mm_unpacklo_ps(hi.o1, hi.o2)));
            _mm256_storeu_ps(pt + 8,
                             join(_mm_unpackhi_ps(lo.o1, lo.o2), _mm_unpackhi_ps(hi.o1, hi.o2)));
            _mm256_storeu_ps(
                pm, reversed(join(_mm_unpackhi_ps(lo.o3, lo.o4), _mm_unpackhi_ps(hi.o3, hi.o4))));
            _mm256_storeu_ps(pm + 8, reversed(join(_mm_unpacklo_ps(lo.o3, lo.o4),
                                                   _mm_unpacklo_ps(hi.o3, hi.o4))));
        }
    }
    const __m128 vc1 = _mm_set1_ps(c1);
    const __m128 vc2 = _mm_set1_ps(c2);
    const __m128 vnc2 = _mm_set1_ps(-c2);
    for (; k + 4 <= end; k += 4) {
        float *pt = top + 2 * k;
        float *pm = mirror + n - 2 * (k + 3);
        const __m256 t = _mm256_loadu_ps(pt);
        // The partners in the order of k: frequencies n/2 - k, ..., n/2 - k - 3.
        const __m256 m = reversed(_mm256_loadu_ps(pm));
        const __m128 tlo = _mm256_castps256_ps128(t), thi = _mm256_extractf128_ps(t, 1);
        const __m128 mlo = _mm256_castps256_ps128(m), mhi = _mm256_extractf128_ps(m, 1);
        const __m128 xr = _mm_shuffle_ps(tlo, thi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 xi = _mm_shuffle_ps(tlo, thi, _MM_SHUFFLE(3, 1, 3, 1));
        const __m128 yr = _mm_shuffle_ps(mlo, mhi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 yi = _mm_shuffle_ps(mlo, mhi, _MM_SHUFFLE(3, 1, 3, 1));
        const Separated o =
            separated(_mm_mul_ps(vc1, _mm_add_ps(xr, yr)), _mm_mul_ps(vc1, _mm_sub_ps(xi, yi)),
                      _mm_mul_ps(vnc2, _mm_add_ps(xi, yi)), _mm_mul_ps(vc2, _mm_sub_ps(xr, yr)),
                      _mm256_loadu_pd(wrs + k), _mm256_loadu_pd(wis + k));
        _mm256_storeu_ps(pt, join(_mm_unpacklo_ps(o.o1, o.o2), _mm_unpackhi_ps(o.o1, o.o2)));
        _mm256_storeu_ps(pm,
                         reversed(join(_mm_unpacklo_ps(o.o3, o.o4), _mm_unpackhi_ps(o.o3, o.o4))));
    }
    for (; k < end; ++k) {
        float *pt = top + 2 * k;
        float *pm = mirror + n - 2 * k;
        const double wr = wrs[k];
        const double wi = wis[k];
        const float h1r = c1 * (pt[0] + pm[0]);
        const float h1i = c1 * (pt[1] - pm[1]);
        const float h2r = -c2 * (pt[1] + pm[1]);
        const float h2i = c2 * (pt[0] - pm[0]);
        pt[0] = static_cast<float>(h1r + wr * h2r - wi * h2i);
        pt[1] = static_cast<float>(h1i + wr * h2i + wi * h2r);
        pm[0] = static_cast<float>(h1r - wr * h2r + wi * h2i);
        pm[1] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
    }
}

bool four1_avx2(float data[], unsigned long nn, int isign)
{
    if (nn < 8)
        return false;
    const TwiddlePtr tables = four1_twiddles(nn, isign);
    if (!tables)
        return false;
    const double *table = tables->d;
    float *x = data + 1;
    if (nn >= 64)
        first_sweep_tiles(x, nn, table);
    else
        first_sweep_small(x, nn, table);
    if (nn == 8)
        return true;
    const unsigned long block = std::min(nn, kFour1Block);
    for (unsigned long s = 0; s < nn; s += block)
        split_passes(x + 2 * s, block, 8, block / 2, table, block == nn);
    if (block < nn)
        split_passes(x, nn, block, nn / 2, table, true);
    return true;
}

bool realft_separate_avx2(float data[], unsigned long n, int isign, float c1, float c2)
{
    const TwiddlePtr tables = realft_twiddles(n, isign == 1);
    if (!tables)
        return false;
    const double *wr = tables->d;
    separate_avx2(data + 1, data + 1, n, n >> 2, wr, wr + tables->stride, c1, c2);
    return true;
}

bool fourn_avx2(float data[], const unsigned long nn[], int ndim, unsigned long ntot, int isign)
{
    // One working copy serves every dimension.
    unsigned long scratch_complex = 0;
    unsigned long nprev = 1;
    for (int idim = ndim; idim >= 1; --idim) {
        const unsigned long n = nn[idim];
        if (nprev == 1 && n >= 4 && ntot / n >= 4)
            scratch_complex = std::max(scratch_complex, 4 * n);
        else if (nprev >= 4 && n >= 2)
            scratch_complex = std::max(scratch_complex, n * outer_width(n, nprev));
        nprev *= n;
    }
    float *scratch = new (std::nothrow) float[2 * scratch_complex + 1];
    if (scratch == nullptr)
        return false;

    float *x = data + 1;
    nprev = 1;
    for (int idim = ndim; idim >= 1; --idim) {
        const unsigned long n = nn[idim];
        const unsigned long nrem = ntot / (n * nprev);
        const bool inner = nprev == 1 && n >= 4 && nrem >= 4;
        const bool outer = nprev >= 4 && n >= 2;
        const TwiddlePtr tables = inner || outer ? fourn_twiddles(n, isign) : TwiddlePtr();
        if (tables && inner)
            fourn_inner(x, n, nrem, tables->f, scratch);
        else if (tables && outer)
            fourn_outer(x, n, nprev, nrem, outer_width(n, nprev), tables->f, scratch);
        else if (n > 1)
            fourn_dimension(data, n, nprev, nrem, isign);
        nprev *= n;
    }
    delete[] scratch;
    return true;
}

}  // namespace detail
}  // namespace tessivane
