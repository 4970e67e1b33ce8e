// One-dimensional FFTs of power-of-two length, in place on 1-based float
// arrays: four1 (complex, radix-2 decimation in time) and realft (real data
// packed as a complex sequence of half the length).
//
// Samples and butterfly sums are float. The angle, the twiddle factor and its
// recurrence are double: sin() is called twice per stage and every further
// twiddle comes from w <- w + w * (cos(theta) - 1, sin(theta)), with
// cos(theta) - 1 formed as -2 sin^2(theta/2) to keep it accurate for small
// angles. Callers compare results bit for bit, so where a value is formed in
// double and rounded once the cast says so.

//
// The code below is the portable path and the reference for the AVX2 path
// (four1_avx2.cpp, four1_avx512.cpp, realft_avx2.cpp, realft_avx512.cpp),
// which give the same bits faster; active_isa() chooses.

#include "stat.h"

#include "detail_fft.h"
#include "detail_refuse.h"
#include "isa.h"

#include <cmath>
#include <utility>

using tessivane::detail::advance;
using tessivane::detail::butterfly;
using tessivane::detail::kPi;
using tessivane::detail::kTwoPi;
using tessivane::detail::Rotation;
using tessivane::detail::rotation;

namespace {

// The lengths from which the AVX-512 paths are measurably faster than the
// AVX2 ones (bench_fft); shorter calls hold too few 512-bit operations to gain.
const unsigned long kFour1Avx512From = 128;
const unsigned long kSeparateAvx512From = 256;

// four1 on the fastest vector path the active instruction set allows; false
// when that path declines and the portable code must run.
bool four1_fast(float data[], unsigned long nn, int isign)
{
    const tessivane::isa path = tessivane::active_isa();
    if (path == tessivane::isa::avx512 && nn >= kFour1Avx512From)
        return tessivane::detail::four1_avx512(data, nn, isign);
    return path != tessivane::isa::portable && tessivane::detail::four1_avx2(data, nn, isign);
}

// realft's separation step on n >= 32 real samples, as four1_fast.
bool separate_fast(float data[], unsigned long n, int isign, float c1, float c2)
{
    const tessivane::isa path = tessivane::active_isa();
    if (path == tessivane::isa::avx512 && n >= kSeparateAvx512From)
        return tessivane::detail::realft_separate_avx512(data, n, isign, c1, c2);
    return path != tessivane::isa::portable &&
           tessivane::detail::realft_separate_avx2(data, n, isign, c1, c2);
}

// realft's separation step on frequencies 1..n/4-1 and their partners.
void separate_spectra(float data[], unsigned long n, double theta, float c1, float c2)
{
    const Rotation step = rotation(theta);
    // (wr, wi) start at (cos theta, sin theta), the twiddle of frequency 1.
    double wr = 1.0 + step.wpr;
    double wi = step.wpi;
    const unsigned long np3 = n + 3;
    for (unsigned long i = 2; i <= (n >> 2); ++i) {
        const unsigned long i1 = i + i - 1;
        const unsigned long i2 = 1 + i1;
        const unsigned long i3 = np3 - i2;
        const unsigned long i4 = 1 + i3;
        const float h1r = c1 * (data[i1] + data[i3]);
        const float h1i = c1 * (data[i2] - data[i4]);
        const float h2r = -c2 * (data[i2] + data[i4]);
        const float h2i = c2 * (data[i1] - data[i3]);
        // Each output is formed whole in double and rounded once.
        data[i1] = static_cast<float>(h1r + wr * h2r - wi * h2i);
        data[i2] = static_cast<float>(h1i + wr * h2i + wi * h2r);
        data[i3] = static_cast<float>(h1r - wr * h2r + wi * h2i);
        data[i4] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
        advance(wr, wi, step);
    }
}

}  // namespace

void four1(float data[], unsigned long nn, int isign)
{
    if (!tessivane::detail::is_power_of_two(nn))
        tessivane::detail::refuse("four1: nn = %lu is not a power of two (1, 2, 4, ...)", nn);

    if (four1_fast(data, nn, isign))
        return;

    const unsigned long n = nn << 1;

    // Bit-reversal reordering of the complex values (float positions i, j).
    unsigned long j = 1;
    for (unsigned long i = 1; i < n; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        unsigned long m = n >> 1;
        while (m >= 2 && j > m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }

    // Danielson-Lanczos butterflies, sub-transforms of mmax/2 complex points
    // combined into ones of mmax points.
    unsigned long mmax = 2;
    while (n > mmax) {
        const unsigned long istep = mmax << 1;
        const double theta = (kTwoPi / static_cast<double>(mmax)) * isign;
        const Rotation step = rotation(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (unsigned long m = 1; m < mmax; m += 2) {
            // The twiddle product is formed in double and rounded once.
            for (unsigned long i = m; i <= n; i += istep)
                butterfly(&data[i], &data[i + mmax], wr, wi);
            advance(wr, wi, step);
        }
        mmax = istep;
    }
}

void realft(float data[], unsigned long n, int isign)
{
    if (n < 2 || !tessivane::detail::is_power_of_two(n))
        tessivane::detail::refuse("realft: n = %lu is not a power of two >= 2", n);

    const unsigned long half = n >> 1;
    double theta = kPi / static_cast<double>(half);
    const float c1 = 0.5f;
    float c2;
    if (isign == 1) {
        c2 = -0.5f;
        four1(data, half, 1);
    } else {
        c2 = 0.5f;
        theta = -theta;
    }

    // Separate (forward) or recombine (inverse) the spectra of the even and
    // odd samples, pairing frequency k with n/2 - k. Frequency n/4 pairs with
    // itself and needs no work.
    if (!(n >= 32 && separate_fast(data, n, isign, c1, c2)))
        separate_spectra(data, n, theta, c1, c2);

    if (isign == 1) {
        // F_0 and the Nyquist value F_{n/2}, both real, share data[1..2].
        const float h1r = data[1];
        data[1] = h1r + data[2];
        data[2] = h1r - data[2];
    } else {
        const float h1r = data[1];
        data[1] = c1 * (h1r + data[2]);
        data[2] = c1 * (h1r - data[2]);
        four1(data, half, -1);
    }
}
