// Internal to libtessivane (not installed): betai() split where a batch at
// fixed a and b can share the work that depends on a and b only.
#ifndef TESSIVANE_NUMERICS_DETAIL_SPECIAL_H
#define TESSIVANE_NUMERICS_DETAIL_SPECIAL_H

namespace tessivane {
namespace detail {

// betai(a, b, x) for many x at one a and b: the log-gamma part
// gammln(a + b) - gammln(a) - gammln(b) (a + b summed in float) is formed once,
// as betai() forms it, and each call takes betai()'s remaining steps, so every
// result equals betai(a, b, x) bit for bit. betai() itself is made of these.
class betai_fixed_ab {
public:
    betai_fixed_ab(float a, float b);
    float operator()(float x) const;

private:
    float a_, b_;
    double log_gamma_part_;
};

}  // namespace detail
}  // namespace tessivane

#endif
