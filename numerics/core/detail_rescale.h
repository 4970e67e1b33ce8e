// Internal to libtessivane (not installed): the second formation of the statistics whose float
// sums of squares over- or underflow.
//
// The moments, t statistics, correlations and line fits form sums of squares in float. Data
// whose deviations lie beyond about 1e19, or below about 1e-19, over- or underflow there, and
// the statistic collapses (r = 0, t = 0, or inf and NaN) although the data are finite. These
// statistics change in a known way when a sample is multiplied by a power of two, and a float
// step on operands times 2^k gives exactly its result times 2^k as long as nothing leaves
// float's normal range. So a routine that finds its sums out of range takes its own float steps
// once more on copies of the samples scaled by powers of two that bring their largest magnitude
// to [0.5, 1): where nothing over- or underflowed the first time the second pass gives the very
// same bits, and where something did it gives the statistic of the data at a harmless scale.
#ifndef TESSIVANE_NUMERICS_DETAIL_RESCALE_H
#define TESSIVANE_NUMERICS_DETAIL_RESCALE_H

#include <cfloat>
#include <cmath>

#include "detail_scratch.h"

namespace tessivane {
namespace detail {

// A float sum of squares at or above this lost nothing that matters to terms that underflowed
// (each costs at most 2^-150, under 2^-50 of the sum); below it, or beyond FLT_MAX, the sum is
// formed again from scaled data. A sum that is exactly 0 is formed again as well (unless the
// data are constant): the squares of a spread below about 1e-23 underflow to 0.
constexpr float kSmallSquares = 0x1p-100f;

inline bool squares_in_range(float s)
{
    return s >= kSmallSquares && s <= FLT_MAX;
}

inline bool normal_float(float v)
{
    return std::fabs(v) >= FLT_MIN && std::fabs(v) <= FLT_MAX;
}

// The exponent e for which max |data[1..n]| * 2^-e lies in [0.5, 1) (0 for all-zero data).
// False when a value is not finite: such data keep the first pass's result.
inline bool scale_exponent(const float data[], unsigned long n, int *e)
{
    float largest = 0.0f;
    for (unsigned long j = 1; j <= n; j++) {
        if (!std::isfinite(data[j]))
            return false;
        largest = std::fmax(largest, std::fabs(data[j]));
    }
    std::frexp(largest, e);
    return true;
}

// True when data[1..n] are all equal (their spread is truly 0).
inline bool constant_sample(const float data[], unsigned long n)
{
    for (unsigned long j = 2; j <= n; j++)
        if (!(data[j] == data[1]))
            return false;
    return true;
}

// data[1..n] * 2^-e, 1-based; exact apart from values that underflow.
class scaled_copy {
public:
    scaled_copy(const float data[], unsigned long n, int e)
        : v_(1, static_cast<long>(n))
    {
        for (unsigned long j = 1; j <= n; j++)
            v_[j] = std::ldexp(data[j], -e);
    }
    operator float *() const { return v_; }

private:
    scratch_vector<float> v_;
};

}  // namespace detail
}  // namespace tessivane

#endif
