// Uniform deviates from the minimal-standard generator x <- 16807 x mod
// (2^31 - 1), evaluated with Schrage's factorisation so that no product leaves
// 32 bits, and decorrelated by a 32-entry shuffle table; Gaussian deviates by
// the polar Box-Muller method, which yields two per accepted pair.
//
// The shuffle table and the waiting Gaussian deviate are process-wide: one
// table serves every seed variable in the process.

#include "stat.h"

#include <cmath>

namespace {

const long kMultiplier = 16807;
const long kModulus = 2147483647;
const long kSchrageQ = 127773;                // kModulus / kMultiplier
const long kSchrageR = 2836;                  // kModulus % kMultiplier
const double kScale = 4.656612875245797e-10;  // 1 / kModulus
const int kTableSize = 32;
const long kTableDivisor = 1 + (kModulus - 1) / kTableSize;
const int kWarmUp = 8;
// Results are kept below 1 by this margin; the float returned in its place is
// 1 - 2^-23, the float nearest to it.
const double kLargest = 1.0 - 1.2e-7;

// ran1: the shuffle table and the last value taken from it (0: never seeded).
long iv[kTableSize];
long iy = 0;

// gasdev: 1 while the second deviate of a pair waits in gset.
int iset = 0;
float gset = 0.0f;

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

}  // namespace

float ran1(long *idum)
{
    reduce_seed(idum);
    if (*idum <= 0 || !iy) {
        // A zero or positive seed starts from state 1.
        if (-(*idum) < 1)
            *idum = 1;
        else
            *idum = -(*idum);
        for (int j = kTableSize + kWarmUp - 1; j >= 0; --j) {
            schrage_step(idum);
            if (j < kTableSize)
                iv[j] = *idum;
        }
        iy = iv[0];
    }
    schrage_step(idum);
    const int j = static_cast<int>(iy / kTableDivisor);
    iy = iv[j];
    iv[j] = *idum;
    // The product is formed in double and rounded to float once.
    const float temp = static_cast<float>(kScale * static_cast<double>(iy));
    if (static_cast<double>(temp) > kLargest)
        return static_cast<float>(kLargest);
    return temp;
}

float gasdev(long *idum)
{
    if (iset) {
        iset = 0;
        return gset;
    }
    float v1;
    float v2;
    float rsq;
    do {
        v1 = static_cast<float>(2.0 * ran1(idum) - 1.0);
        v2 = static_cast<float>(2.0 * ran1(idum) - 1.0);
        rsq = v1 * v1 + v2 * v2;
    } while (rsq >= 1.0f || rsq == 0.0f);
    const double r = static_cast<double>(rsq);
    const float fac = static_cast<float>(std::sqrt(-2.0 * std::log(r) / r));
    gset = v1 * fac;
    iset = 1;
    return v2 * fac;
}
