// Uniform deviates from the minimal-standard generator x <- 16807 x mod
// (2^31 - 1), evaluated with Schrage's factorisation so that no product leaves
// 32 bits, and decorrelated by a 32-entry shuffle table; Gaussian deviates by
// the polar Box-Muller method, which yields two per accepted pair.
//
// ran1 and gasdev keep their shuffle table and waiting Gaussian deviate in one
// process-wide state; a tessivane::ran1_stream owns a state of its own and runs
// the same steps on it.

#include "stat.h"

#include <cmath>

namespace {

constexpr long kMultiplier = 16807;
constexpr long kModulus = 2147483647;
constexpr long kSchrageQ = 127773;                // kModulus / kMultiplier
constexpr long kSchrageR = 2836;                  // kModulus % kMultiplier
constexpr double kScale = 4.656612875245797e-10;  // 1 / kModulus
constexpr int kTableSize = 32;
constexpr long kTableDivisor = 1 + (kModulus - 1) / kTableSize;
constexpr int kWarmUp = 8;
// Results are kept below 1 by this margin; the float returned in its place is
// 1 - 2^-23, the float nearest to it.
constexpr double kLargest = 1.0 - 1.2e-7;

// The state behind ran1 and gasdev.
tessivane::ran1_stream::state process_state;

// One step of the generator on a state in 1..kModulus-1.
inline void schrage_step(long *idum)
{
    const long k = *idum / kSchrageQ;
    *idum = kMultiplier * (*idum - k * kSchrageQ) - kSchrageR * k;
    if (*idum < 0)
        *idum += kModulus;
}

// The generator is only defined on states 1..kModulus-1: a state outside that
// range would leave it and index the shuffle table out of bounds. A seed or
// state of magnitude kModulus or more is therefore reduced modulo kModulus,
// keeping its sign (so a negative one still reseeds); a positive one that
// reduces to 0 becomes 1. Seeds inside the range are never changed.
inline void reduce_seed(long *idum)
{
    if (*idum<kModulus && * idum> - kModulus)
        return;
    const unsigned long magnitude =
        *idum < 0 ? 0UL - static_cast<unsigned long>(*idum) : static_cast<unsigned long>(*idum);
    const long r = static_cast<long>(magnitude % static_cast<unsigned long>(kModulus));
    if (*idum < 0)
        *idum = -r;
    else
        *idum = r != 0 ? r : 1;
}

float draw_uniform(tessivane::ran1_stream::state &st, long *idum)
{
    reduce_seed(idum);
    if (*idum <= 0 || !st.iy) {
        // A zero or positive seed starts from state 1.
        if (-(*idum) < 1)
            *idum = 1;
        else
            *idum = -(*idum);
        for (int j = kTableSize + kWarmUp - 1; j >= 0; --j) {
            schrage_step(idum);
            if (j < kTableSize)
                st.iv[j] = *idum;
        }
        st.iy = st.iv[0];
    }
    schrage_step(idum);
    const int j = static_cast<int>(st.iy / kTableDivisor);
    st.iy = st.iv[j];
    st.iv[j] = *idum;
    // The product is formed in double and rounded to float once.
    const float temp = static_cast<float>(kScale * static_cast<double>(st.iy));
    if (static_cast<double>(temp) > kLargest)
        return static_cast<float>(kLargest);
    return temp;
}

float draw_gaussian(tessivane::ran1_stream::state &st, long *idum)
{
    if (st.iset) {
        st.iset = 0;
        return st.gset;
    }
    float v1;
    float v2;
    float rsq;
    do {
        v1 = static_cast<float>(2.0 * draw_uniform(st, idum) - 1.0);
        v2 = static_cast<float>(2.0 * draw_uniform(st, idum) - 1.0);
        rsq = v1 * v1 + v2 * v2;
    } while (rsq >= 1.0f || rsq == 0.0f);
    const double r = static_cast<double>(rsq);
    const float fac = static_cast<float>(std::sqrt(-2.0 * std::log(r) / r));
    st.gset = v1 * fac;
    st.iset = 1;
    return v2 * fac;
}

}  // namespace

float ran1(long *idum)
{
    return draw_uniform(process_state, idum);
}

float gasdev(long *idum)
{
    return draw_gaussian(process_state, idum);
}

namespace tessivane {

ran1_stream::ran1_stream(long seed)
    : idum_(seed)
{}

float ran1_stream::uniform()
{
    return draw_uniform(state_, &idum_);
}

float ran1_stream::gaussian()
{
    return draw_gaussian(state_, &idum_);
}

void ran1_stream::reseed(long seed)
{
    idum_ = seed;
}

}  // namespace tessivane
