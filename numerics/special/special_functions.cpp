// Special functions behind the library's significance levels: ln Gamma, the incomplete gamma
// and beta functions, erfc and the Kolmogorov-Smirnov tail.
//
// Precision is fixed step by step (callers compare results bit for bit): float arithmetic
// where the operands are float, double where a step meets a double constant or a maths
// library call, and explicit narrowing where a double result is stored in a float.
#include "stat.h"

#include <cmath>

#include "detail_special.h"
#include "nrutil.h"

namespace {

using tessivane::detail::kEps;    // relative convergence tolerance
using tessivane::detail::kFpmin;  // floor that keeps continued-fraction divisors away from 0
using tessivane::detail::kItmax;  // iteration limit of the series and continued fractions

// The series for P(a, x) and the continued fraction for Q(a, x) need a number of terms
// that grows like sqrt(a) near their switch point x = a + 1. The series terms fall
// roughly like exp(-n^2 / (2a)) against a sum of about sqrt(pi a / 2) times the first
// term, so the relative tolerance is met after at most sqrt(2 ln(1 / kEps)) sqrt(a),
// about 5.5 sqrt(a), terms; the continued fraction needs fewer (under 0.5 sqrt(a) beyond
// the first 100 in practice). kItmax + 6 sqrt(a) therefore covers both with a margin,
// and never lowers the limit below kItmax, so every argument that converged within kItmax
// steps still takes exactly the same steps.
constexpr double kTermsPerRootA = 6.0;
// Above 2^32 the float steps of the series stall anyway (a + n rounds back to a once a
// exceeds 2^24); the cap keeps the limit an int.
constexpr double kLimitCapA = 4294967296.0;

int iteration_limit(float a)
{
    const double ad = a;
    if (!(ad > 0.0))
        return kItmax;  // a <= 0 or NaN: no growth to allow for
    const double capped = ad < kLimitCapA ? ad : kLimitCapA;
    return kItmax + static_cast<int>(kTermsPerRootA * std::sqrt(capped));
}

// A probability rounded above 1 is 1 (NaN stays NaN).
inline float at_most_one(float p)
{
    return p > 1.0f ? 1.0f : p;
}

// Q = 1 - P formed in float from the series' P loses ten or more of float's 24 bits when P
// is above 1 - 2^-10, and P itself is only good to some |ln Gamma(a)| float steps (about
// 20 near a = 1e-9, where Q ~ a is far below one float step of P: the old 1 - P was noise,
// even negative). There, for small a, Q(a, x) is formed directly instead.
constexpr float kPNearOne = 1.0f - 0x1p-10f;
constexpr float kSmallA = 1.0e-3f;

// ln Gamma(1 + a) for 0 < a < kSmallA by its Taylor series
// -gamma a + sum_k (-1)^k zeta(k) a^k / k, in double (gammln()'s absolute error of
// about 1e-10 would swamp Q ~ a for tiny a).
double log_gamma_1p_small(double a)
{
    constexpr double euler_gamma = 0.57721566490153286061;
    constexpr double zeta2 = 1.64493406684822643647, zeta3 = 1.20205690315959428540,
                     zeta4 = 1.08232323371113819152, zeta5 = 1.03692775514336992633;
    return a * (-euler_gamma +
                a * (zeta2 / 2.0 + a * (-zeta3 / 3.0 + a * (zeta4 / 4.0 - a * zeta5 / 5.0))));
}

// Q(a, x) for tiny a and x < a + 1, formed without the subtraction 1 - P:
// P = x^a / Gamma(1 + a) * (1 + a sum_{k>=1} (-x)^k / (k! (a + k))), so
// Q = -expm1(u) - e^u a sum_{k>=1} (-x)^k / (k! (a + k)) with u = a ln x - ln Gamma(1 + a).
// For a -> 0 this is a E1(x); x < 1 + kSmallA keeps the alternating sum tame. In double.
float upper_gamma_small_a(float a, float x)
{
    const double ad = a, xd = x;
    const double u = ad * std::log(xd) - log_gamma_1p_small(ad);
    double sum = 0.0;
    double power = 1.0;  // (-x)^k / k!
    for (int k = 1; k <= kItmax; k++) {
        power *= -xd / k;
        const double term = power / (ad + k);
        sum += term;
        if (std::fabs(term) < 1.0e-17 * std::fabs(sum))
            break;
    }
    return static_cast<float>(-std::expm1(u) - std::exp(u) * ad * sum);
}

// Replaces a value whose magnitude is below the floor by +floor, whatever its sign.
inline double floor_tiny(double v)
{
    return std::fabs(v) < kFpmin ? kFpmin : v;
}

}  // namespace

double gammln(double xx)
{
    // Lanczos approximation with six terms; Gamma(xx) to a relative error below 2e-10 for xx > 0.
    static const double cof[6] = {76.18009172947146,  -86.50532032941677,    24.01409824083091,
                                  -1.231739572450155, 0.1208650973866179e-2, -0.5395239384953e-5};
    double x = xx;
    double y = xx;
    double tmp = x + 5.5;
    tmp -= (x + 0.5) * std::log(tmp);
    double ser = 1.000000000190015;
    for (int j = 0; j < 6; j++)
        ser += cof[j] / ++y;
    return std::log(2.5066282746310005 * ser / x) - tmp;
}

float gammq(float a, float x)
{
    // Written so that a NaN in either argument is refused as well.
    if (!(x >= 0.0f) || !(a > 0.0f))
        nrerror("Invalid arguments in routine gammq");
    float gln;
    if (static_cast<double>(x) < static_cast<double>(a) + 1.0) {
        float gamser;
        gser(&gamser, a, x, &gln);
        if (gamser > kPNearOne && a < kSmallA)
            return upper_gamma_small_a(a, x);
        return 1.0f - gamser;  // gser() keeps P <= 1, so Q >= 0
    }
    float gammcf;
    gcf(&gammcf, a, x, &gln);
    return gammcf;
}

void gser(float *gamser, float a, float x, float *gln)
{
    *gln = static_cast<float>(gammln(a));
    if (x <= 0.0f) {
        if (x < 0.0f)
            nrerror("x less than 0 in routine gser");
        *gamser = 0.0f;
        return;
    }
    float ap = a;
    float del = 1.0f / a;
    float sum = del;
    const int limit = iteration_limit(a);
    for (int n = 1; n <= limit; n++) {
        ++ap;
        del *= x / ap;
        sum += del;
        if (std::fabs(del) < std::fabs(sum) * kEps) {
            // The float sum and ln Gamma(a) rounded to float can carry P a few float steps
            // above 1 (tiny a, or a in the millions); P is a probability.
            *gamser = at_most_one(static_cast<float>(
                sum * std::exp(-x + a * std::log(static_cast<double>(x)) - *gln)));
            return;
        }
    }
    nrerror("a too large, ITMAX too small in routine gser");
}

void gcf(float *gammcf, float a, float x, float *gln)
{
    *gln = static_cast<float>(gammln(a));
    float b = static_cast<float>(static_cast<double>(x) + 1.0 - a);
    float c = static_cast<float>(1.0 / kFpmin);
    float d = 1.0f / b;
    float h = d;
    // Modified Lentz evaluation, in float; the floor is applied as a float.
    const float fpmin = static_cast<float>(kFpmin);
    const int limit = iteration_limit(a);
    int i = 1;
    for (; i <= limit; i++) {
        const float an = -i * (i - a);
        b += 2.0f;
        d = an * d + b;
        if (std::fabs(d) < kFpmin)
            d = fpmin;
        c = b + an / c;
        if (std::fabs(c) < kFpmin)
            c = fpmin;
        d = 1.0f / d;
        const float del = d * c;
        h *= del;
        if (std::fabs(static_cast<double>(del) - 1.0) < kEps)
            break;
    }
    if (i > limit)
        nrerror("a too large, ITMAX too small in gcf");
    // At a in the millions ln Gamma(a) rounded to float can put the factor far above its
    // value; Q is a probability.
    *gammcf = at_most_one(
        static_cast<float>(std::exp(-x + a * std::log(static_cast<double>(x)) - *gln) * h));
}

namespace tessivane {
namespace detail {

betai_fixed_ab::betai_fixed_ab(float a, float b)
    : a_(a)
    , b_(b)
{
    const float ab = a + b;  // summed in float before ln Gamma
    log_gamma_part_ = gammln(ab) - gammln(a) - gammln(b);
}

bool betai_fixed_ab::prepare(float x, fraction_call *cf, float *value) const
{
    const float a = a_, b = b_;
    // Outside [0, 1] the function is answered with 0, without a message.
    if (x < 0.0f || x > 1.0f) {
        *value = 0.0f;
        return false;
    }
    if (x == 0.0f || x == 1.0f) {
        cf->bt = 0.0f;
    } else {
        const double xd = x;
        cf->bt = static_cast<float>(
            std::exp(log_gamma_part_ + a * std::log(xd) + b * std::log(1.0 - xd)));
    }
    // The continued fraction converges fast for x below (a+1)/(a+b+2); above it, use the
    // symmetry I_x(a,b) = 1 - I_{1-x}(b,a).
    const float ab = a + b;
    cf->mirrored = !(static_cast<double>(x) <
                     (static_cast<double>(a) + 1.0) / (static_cast<double>(ab) + 2.0));
    cf->a = cf->mirrored ? b : a;
    cf->b = cf->mirrored ? a : b;
    cf->x = cf->mirrored ? 1.0 - static_cast<double>(x) : static_cast<double>(x);
    return true;
}

float betai_fixed_ab::finish(const fraction_call &cf, float fraction) const
{
    // bt * fraction / a is a probability; rounded above 1 it is 1.
    const float part = at_most_one(cf.bt * fraction / (cf.mirrored ? b_ : a_));
    return cf.mirrored ? 1.0f - part : part;
}

float betai_fixed_ab::operator()(float x) const
{
    fraction_call cf;
    float value;
    if (!prepare(x, &cf, &value))
        return value;
    return finish(cf, betacf(cf.a, cf.b, cf.x));
}

}  // namespace detail
}  // namespace tessivane

float betai(float a, float b, float x)
{
    return tessivane::detail::betai_fixed_ab(a, b)(x);
}

float betacf(double a, double b, double x)
{
    const double qab = a + b;
    const double qap = a + 1.0;
    const double qam = a - 1.0;
    double c = 1.0;
    double d = floor_tiny(1.0 - qab * x / qap);
    d = 1.0 / d;
    double h = d;
    for (int m = 1; m <= kItmax; m++) {
        const int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = floor_tiny(1.0 + aa * d);
        c = floor_tiny(1.0 + aa / c);
        d = 1.0 / d;
        h = h * d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = floor_tiny(1.0 + aa * d);
        c = floor_tiny(1.0 + aa / c);
        d = 1.0 / d;
        const double del = d * c;
        h *= del;
        if (std::fabs(del - 1.0) < kEps)
            break;
    }
    // Without convergence the last approximation is returned; no error is reported.
    return static_cast<float>(h);
}

float erfcc(float x)
{
    // Fitted approximation with fractional error below 1.2e-7 everywhere; the float square
    // z * z adds rounding error of its own for large |x|.
    const float z = std::fabs(x);
    const float t = static_cast<float>(1.0 / (1.0 + 0.5 * z));
    const float mzz = -z * z;  // the square is formed in float
    const double td = t;
    // clang-format off
    const float ans = static_cast<float>(
        td * std::exp(mzz - 1.26551223 +
                      td * (1.00002368 +
                            td * (0.37409196 +
                                  td * (0.09678418 +
                                        td * (-0.18628806 +
                                              td * (0.27886807 +
                                                    td * (-1.13520398 +
                                                          td * (1.48851587 +
                                                                td * (-0.82215223 +
                                                                      td * 0.17087277))))))))));
    // clang-format on
    return x >= 0.0f ? ans : static_cast<float>(2.0 - ans);
}

float probks(float alam)
{
    constexpr double kEps1 = 0.001;   // term small against the previous term
    constexpr double kEps2 = 1.0e-8;  // term small against the sum
    float fac = 2.0f;
    float sum = 0.0f;
    float termbf = 0.0f;
    const float a2 = static_cast<float>(-2.0 * alam * alam);
    for (int j = 1; j <= kItmax; j++) {
        const float term = static_cast<float>(fac * std::exp(static_cast<double>(a2 * j * j)));
        sum += term;
        // The float sum of 2 - 2 e^(-2 alam^2) + ... can round above 1 for alam below
        // about 0.3; Q is a probability.
        if (std::fabs(term) <= kEps1 * termbf || std::fabs(term) <= kEps2 * sum)
            return at_most_one(sum);
        fac = -fac;
        termbf = std::fabs(term);
    }
    // No convergence: the series is that slow only for alam near 0, where Q is 1.
    return 1.0f;
}
