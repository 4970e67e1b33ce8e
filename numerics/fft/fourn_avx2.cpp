// The AVX2 path of fourn. Each dimension's lines are copied into a working
// array of rows (one row per index along the dimension, one lane per line),
// transformed there with the twiddle products of the portable code (float
// twiddles, float products and sums, so the bits are those of fft_nd.cpp),
// and copied back; dimensions too short for four lanes take the portable
// loop. No fused multiply-add is ever used (the target is "avx2" alone).

#include "detail_fft_avx2.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace tessivane {
namespace detail {
namespace {

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
