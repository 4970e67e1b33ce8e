// Internal to libtessivane (not installed): betai() split where a batch at
// fixed a and b can share the work that depends on a and b only.
#ifndef TESSIVANE_NUMERICS_DETAIL_SPECIAL_H
#define TESSIVANE_NUMERICS_DETAIL_SPECIAL_H

#include "detail_isa.h"

namespace tessivane {
namespace detail {

// The iteration limit, tolerance and floor of the series and continued fractions.
constexpr int kItmax = 100;
constexpr double kEps = 3.0e-7;
constexpr double kFpmin = 1.0e-30;

// betai(a, b, x) for many x at one a and b: the log-gamma part
// gammln(a + b) - gammln(a) - gammln(b) (a + b summed in float) is formed once,
// as betai() forms it, and each call takes betai()'s remaining steps, so every
// result equals betai(a, b, x) bit for bit. betai() itself is made of these.
class betai_fixed_ab {
public:
    betai_fixed_ab(float a, float b);
    float operator()(float x) const;

    // operator() in three steps, for callers that evaluate many continued
    // fractions side by side: prepare(), then fraction = betacf(cf.a, cf.b,
    // cf.x), then finish(cf, fraction). prepare() returns false, with the
    // result in *value, for an x that needs no continued fraction.
    struct fraction_call {
        double a, b, x;
        float bt;
        bool mirrored;  // I_x(a, b) = 1 - I_{1-x}(b, a)
    };
    bool prepare(float x, fraction_call *cf, float *value) const;
    float finish(const fraction_call &cf, float fraction) const;

private:
    float a_, b_;
    double log_gamma_part_;
};

#if TV_HAVE_AVX2_PATHS
// out[i] = betacf(a[i], b[i], x[i]) for i in 0..7, eight continued fractions
// side by side in AVX2 lanes, each taking betacf's steps; true when it ran.
bool betacf8_avx2(const double *a, const double *b, const double *x, float *out);
#else
inline bool betacf8_avx2(const double *, const double *, const double *, float *)
{
    return false;
}
#endif

}  // namespace detail
}  // namespace tessivane

#endif
