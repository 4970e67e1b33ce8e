// Correlation and regression accumulated one sample at a time in six caller-owned floats.
#include "stat.h"

#include <cfloat>
#include <cmath>

#include "detail_moments.h"

namespace {

// One-pass update shared by both routines. The deviations are taken from running means that
// already include the new sample; this differs from the batch sums once three or more samples
// are in, and is kept as is because callers compare against earlier results.
inline void add_sample(float x, float y, float &n, float &ax, float &ay, float &sxx, float &syy,
                       float &sxy)
{
    n += 1.0f;
    ax += x;
    ay += y;
    const float xt = x - ax / n;
    const float yt = y - ay / n;
    sxx += xt * xt;
    syy += yt * yt;
    sxy += xt * yt;
}

}  // namespace

void pearsn_inc(float x, float y, float &n, float &ax, float &ay, float &sxx, float &syy,
                float &sxy, float *r)
{
    add_sample(x, y, n, ax, ay, sxx, syy, sxy);
    const float sxxyy = sxx * syy;
    if (sxx > 0.0f && syy > 0.0f && std::isfinite(sxx) && std::isfinite(syy) &&
        !(sxxyy >= FLT_MIN && sxxyy <= FLT_MAX)) {
        // The float product over- or underflowed although both sums are in range (data beyond
        // about 1e10 or below about 1e-10): the same quotient, with the product in double.
        *r = tessivane::detail::within_unit(
            static_cast<float>(sxy / std::sqrt(static_cast<double>(sxx) * syy)));
        return;
    }
    const float div = static_cast<float>(std::sqrt(static_cast<double>(sxxyy)));
    *r = div > 0.0f ? tessivane::detail::within_unit(sxy / div) : 0.0f;
}

void regr_inc(float x, float y, float &n, float &ax, float &ay, float &sxx, float &syy, float &sxy,
              float *a, float *b, float *ym)
{
    add_sample(x, y, n, ax, ay, sxx, syy, sxy);
    *b = sxx > 0.0f ? sxy / sxx : 0.0f;
    *ym = ay / n;
    *a = *ym - (ax * *b) / n;
}
