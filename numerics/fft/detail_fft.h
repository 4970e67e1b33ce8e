#ifndef TESSIVANE_DETAIL_FFT_H
#define TESSIVANE_DETAIL_FFT_H

// Shared by the FFT sources: the angle constants, the twiddle recurrence, the
// twiddle tables of the fast paths and the entry points of those paths. Not
// installed, not exported.

#include "detail_isa.h"

#include <atomic>
#include <cmath>
#include <cstddef>

namespace tessivane {
namespace detail {

// 2*pi to the 15 significant digits the complex transforms have always used.
// Results depend on it in the last bits, so it is deliberately not the exact
// constant 6.283185307179586; realft's separation step uses the exact pi.
const double kTwoPi = 6.28318530717959;
const double kPi = 3.141592653589793;

// One step of the twiddle recurrence: w <- w + w * (cos(theta) - 1, sin(theta)),
// with cos(theta) - 1 formed as -2 sin^2(theta/2), which stays accurate for
// small angles. Every twiddle after the first comes from this recurrence in
// double, so the grouping below is part of every result.
struct Rotation {
    double wpr;  // cos(theta) - 1
    double wpi;  // sin(theta)
};

inline Rotation rotation(double theta)
{
    const double wtemp = std::sin(0.5 * theta);
    return {-2.0 * wtemp * wtemp, std::sin(theta)};
}

inline void advance(double &wr, double &wi, const Rotation &step)
{
    const double wtemp = wr;
    wr = wtemp * step.wpr - wi * step.wpi + wr;
    wi = wi * step.wpr + wtemp * step.wpi + wi;
}

// One radix-2 butterfly on the complex values at a and b: t = w * b, then
// b = a - t and a = a + t. The twiddle product is formed in the precision of
// Twiddle and rounded once to float (four1 passes double, fourn float); the
// sums are float.
template <class Twiddle>
inline void butterfly(float *a, float *b, Twiddle wr, Twiddle wi)
{
    const float tempr = static_cast<float>(wr * b[0] - wi * b[1]);
    const float tempi = static_cast<float>(wr * b[1] + wi * b[0]);
    b[0] = a[0] - tempr;
    b[1] = a[1] - tempi;
    a[0] += tempr;
    a[1] += tempi;
}

// Twiddles precomputed by exactly the recurrence above, one table per
// transform length and isign. Tables are immutable once built and shared
// between threads; the cache holds at most kTwiddleCacheBytes (larger or
// further tables are built for the call and dropped after it).
//
// four1:  stage with half length h (h = 1, 2, 4, ..., nn/2) in the 2h doubles
//         from d[2(h - 1)] on, twiddles m = 0..h-1 in chunks of min(h, 8):
//         the chunk's wr values, then its wi values.
// fourn:  the same layout for one dimension of length n, rounded to float, f[].
// realft: wr and wi of frequency k = 0..n/4 (k = 0 unused), split into
//         d[k] and d[stride + k]; likewise rlft3 for k = 0..nn3/4.
struct TwiddleTable {
    double *d = nullptr;
    float *f = nullptr;
    unsigned long stride = 0;
    std::size_t bytes = 0;
    std::atomic<long> holders{1};
};

// Shared ownership of a table (the cache holds one share while it keeps it).
class TwiddlePtr {
public:
    TwiddlePtr() = default;
    explicit TwiddlePtr(TwiddleTable *t)
        : table_(t)
    {}
    TwiddlePtr(const TwiddlePtr &) = delete;
    TwiddlePtr &operator=(const TwiddlePtr &) = delete;
    TwiddlePtr(TwiddlePtr &&other) noexcept
        : table_(other.table_)
    {
        other.table_ = nullptr;
    }
    ~TwiddlePtr() { drop(table_); }
    explicit operator bool() const { return table_ != nullptr; }
    const TwiddleTable *operator->() const { return table_; }

    // Gives up one share; the last one frees the table.
    static void drop(TwiddleTable *t);

private:
    TwiddleTable *table_ = nullptr;
};

const unsigned long kTwiddleCacheBytes = 64UL << 20;

// Null when memory is short: the caller then takes its portable path.
TwiddlePtr four1_twiddles(unsigned long nn, int isign);
TwiddlePtr fourn_twiddles(unsigned long n, int isign);
TwiddlePtr realft_twiddles(unsigned long n, bool forward);
TwiddlePtr rlft3_twiddles(unsigned long nn3, int isign);

#if TV_HAVE_AVX2_PATHS
// The AVX2 paths; each returns false (having changed nothing) when it cannot
// get its tables, and the caller runs the portable code instead.
bool four1_avx2(float data[], unsigned long nn, int isign);
bool four1_avx512(float data[], unsigned long nn, int isign);
bool realft_separate_avx2(float data[], unsigned long n, int isign, float c1, float c2);
bool realft_separate_avx512(float data[], unsigned long n, int isign, float c1, float c2);
bool fourn_avx2(float data[], const unsigned long nn[], int ndim, unsigned long ntot, int isign);

// The separation step of the real transforms on frequencies k = first..end-1
// of n real samples: frequency k at top[2k], top[2k+1], its partner n/2 - k at
// mirror[n - 2k], mirror[n - 2k + 1]; twiddle k is (wr[k], wi[k]).
void separate_avx2(float *top, float *mirror, unsigned long n, unsigned long end, const double *wr,
                   const double *wi, float c1, float c2, unsigned long first = 1);
#else
// A build without the AVX2 paths: each entry point declines and the caller
// runs its portable code (the active path is always portable there, so none
// of these is reached; separate_avx2, which cannot decline, traps if it is).
inline bool four1_avx2(float[], unsigned long, int)
{
    return false;
}
inline bool four1_avx512(float[], unsigned long, int)
{
    return false;
}
inline bool realft_separate_avx2(float[], unsigned long, int, float, float)
{
    return false;
}
inline bool realft_separate_avx512(float[], unsigned long, int, float, float)
{
    return false;
}
inline bool fourn_avx2(float[], const unsigned long[], int, unsigned long, int)
{
    return false;
}
inline void separate_avx2(float *, float *, unsigned long, unsigned long, const double *,
                          const double *, float, float, unsigned long = 1)
{
    __builtin_trap();
}
#endif

// One dimension of fourn, the portable code: length n, nprev complex values
// per step of its index, nrem blocks of n * nprev values.
void fourn_dimension(float data[], unsigned long n, unsigned long nprev, unsigned long nrem,
                     int isign);

}  // namespace detail
}  // namespace tessivane

#endif
