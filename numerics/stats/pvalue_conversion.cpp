// Conversions between significance levels and the statistics r, t and F, and the p-to-z map.
// The forward conversions go through the incomplete beta function; the inverse ones walk a
// fixed 25-step search over the forward conversion, so their cost never depends on the input.
#include "stat.h"

#include <cmath>

namespace {

constexpr double kTiny = 1.0e-20;  // keeps the t of r = -1 finite
constexpr int kSearchSteps = 25;

// Walks v up while the forward p is at least p and down while it is smaller, halving the step
// at every change of direction. No tolerance and no early exit: exactly 25 moves, and the value
// after the last move is returned.
template <typename Forward>
float invert(float p, float v, float step, Forward forward)
{
    bool last_up = true;
    for (int k = 0; k < kSearchSteps; k++) {
        const float ptmp = forward(v);
        if (p > ptmp) {
            v -= step;
            if (last_up)
                step /= 2.0f;
            last_up = false;
        } else {
            // Also taken when ptmp is not a number.
            v += step;
            if (!last_up)
                step /= 2.0f;
            last_up = true;
        }
    }
    return v;
}

}  // namespace

float t_to_p(float t, unsigned long df)
{
    const float fdf = static_cast<float>(df);
    return betai(0.5f * fdf, 0.5f, fdf / (fdf + t * t));
}

float r_to_p(float r, unsigned long n)
{
    if (n < 2)
        return 1.0f;
    const float df = static_cast<float>(n - 2);
    if (r == 0.0f)
        return 1.0f;
    if (r == 1.0f)
        return 0.0f;
    const double rd = r;
    const float t =
        static_cast<float>(rd * std::sqrt(df / ((1.0 - rd + kTiny) * (1.0 + rd + kTiny))));
    return betai(0.5f * df, 0.5f, df / (df + t * t));
}

float F_to_p(float F, unsigned long df_1, unsigned long df_2)
{
    if (F < 0.0f)
        return 0.0f;
    const float d1 = static_cast<float>(df_1);
    const float d2 = static_cast<float>(df_2);
    return betai(0.5f * d2, 0.5f * d1, d2 / (d2 + d1 * F));
}

float p_to_t(float p, unsigned long df)
{
    return invert(p, 4.0f, 2.0f, [df](float v) { return t_to_p(v, df); });
}

float p_to_r(float p, unsigned long df)
{
    // df is a sample count here, passed on to r_to_p unchanged. Where no r below 1 reaches p
    // (p below what float r can resolve, e.g. n = 3 and p <= 1e-4), the search steps past 1,
    // where r_to_p() is not a number, and keeps climbing; the threshold there is r = 1.
    const float r = invert(p, 0.4f, 0.2f, [df](float v) { return r_to_p(v, df); });
    return r > 1.0f ? 1.0f : r;
}

float p_to_F(float p, unsigned long df_1, unsigned long df_2)
{
    return invert(p, 10.0f, 2.0f, [df_1, df_2](float v) { return F_to_p(v, df_1, df_2); });
}

float p_to_z(float pvalue)
{
    // p = 1 would give ln 0; it is moved to the float just below 1 (0.99999988).
    if (pvalue == 1.0f)
        pvalue = 0.9999999f;
    const float v1 = 1.0f - pvalue;
    const float rsq = v1 * v1;
    const float fac =
        static_cast<float>(std::sqrt(-2.0 * std::log(static_cast<double>(rsq)) / rsq));
    return v1 * fac;
}
