#ifndef TESSIVANE_TEST_SUPPORT_FFT_H
#define TESSIVANE_TEST_SUPPORT_FFT_H

// Seeded data and the error measure against FFTW for the transform tests.

#include "support/bits.h"

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstddef>
#include <random>
#include <vector>

namespace tv_test {

inline void fill_uniform(float *first, unsigned long count, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (unsigned long i = 0; i < count; ++i)
        first[i] = dist(gen);
}

using Spectrum = std::vector<std::complex<double>>;

// count complex values stored as (re, im) pairs from p[0].
inline Spectrum interleaved(const float *p, unsigned long count)
{
    Spectrum s(count);
    for (unsigned long k = 0; k < count; ++k)
        s[k] = {p[2 * k], p[2 * k + 1]};
    return s;
}

// ||a - b||_2 / ||b||_2: the error relative to the norm of the data.
inline double relative_l2(const Spectrum &a, const Spectrum &b)
{
    double num = 0.0, den = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        num += std::norm(a[i] - b[i]);
        den += std::norm(b[i]);
    }
    return std::sqrt(num / den);
}

inline unsigned log2_of(unsigned long n)
{
    unsigned l = 0;
    while ((1UL << l) < n)
        ++l;
    return l;
}

// Relative L2 error allowed against FFTW, growing with the number of radix-2
// stages. Measured: about 0.1 FLT_EPSILON per stage for every routine (1.6 to
// 1.7 eps at 2^16 points), fourn's float twiddles included.
const double kTolBase = 0.5 * FLT_EPSILON;
const double kTolPerStage = 0.25 * FLT_EPSILON;

inline double tolerance(unsigned long points)
{
    return kTolBase + kTolPerStage * log2_of(points);
}

// Bit-for-bit reproducibility: callers compare results exactly, so a change in
// the order or precision of any step (or a build that contracts a*b+c into a
// fused multiply-add) must show. Inputs are exact floats from integer
// arithmetic; the outputs' bit patterns are hashed (FNV-1a over the bytes).
inline float pin_sample(unsigned long j)
{
    return static_cast<float>((j * 2654435761UL) % 65536UL) / 32768.0f - 1.0f;
}

}  // namespace tv_test

#endif
