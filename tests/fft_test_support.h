#ifndef TESSIVANE_TESTS_FFT_TEST_SUPPORT_H
#define TESSIVANE_TESTS_FFT_TEST_SUPPORT_H

// Shared by test_fft.cpp and test_fft_nd.cpp: guarded 1-based arrays, seeded
// random data, the error measure against FFTW and the bit-pattern hash.

#include "stat.h"

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace fft_test {

const float kGuard = -7.125e7f;

// A 1-based float array 1..n from vector(0, n+1), with guard cells at 0 and n+1.
struct Guarded {
    explicit Guarded(unsigned long n_)
        : n(n_)
        , v(vector(0, static_cast<long>(n_) + 1))
    {
        v[0] = v[n + 1] = kGuard;
    }
    ~Guarded() { free_vector(v, 0, static_cast<long>(n) + 1); }
    Guarded(const Guarded &) = delete;
    Guarded &operator=(const Guarded &) = delete;
    bool guards_intact() const { return v[0] == kGuard && v[n + 1] == kGuard; }
    unsigned long n;
    float *v;
};

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

// Keeps the worst relative error of a test and prints it with its input.
struct Worst {
    double err = 0.0;
    std::string where;
    void note(double e, const std::string &input)
    {
        if (e >= err) {
            err = e;
            where = input;
        }
    }
    ~Worst()
    {
        std::printf("worst relative L2 error %.3f eps at %s\n", err / FLT_EPSILON, where.c_str());
    }
};

// Bit-for-bit reproducibility: callers compare results exactly, so a change in
// the order or precision of any step (or a build that contracts a*b+c into a
// fused multiply-add) must show. Inputs are exact floats from integer
// arithmetic; the outputs' bit patterns are hashed (FNV-1a over the bytes).
inline float pin_sample(unsigned long j)
{
    return static_cast<float>((j * 2654435761UL) % 65536UL) / 32768.0f - 1.0f;
}

inline unsigned long long fnv1a(const float *p, size_t count)
{
    unsigned long long h = 1469598103934665603ULL;
    for (size_t i = 0; i < count; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, p + i, sizeof bits);
        for (int b = 0; b < 4; ++b) {
            h ^= (bits >> (8 * b)) & 0xffu;
            h *= 1099511628211ULL;
        }
    }
    return h;
}

}  // namespace fft_test

#endif
