#ifndef TESSIVANE_RANDOM_H
#define TESSIVANE_RANDOM_H

// Uniform and Gaussian deviates, process-wide and in streams a thread owns.
// The conventions of every numerics header (index bases, out-parameters, fatal
// conditions, thread safety) are stated once, in stat.h, which includes them all.

#include "nrutil.h"
#include "tessivane_export.h"

/** @defgroup random Random deviates
 *  @{
 */

// ---- Random deviates ----
//
// [process-wide state: not thread-safe] One shuffle table and one waiting
// Gaussian deviate serve the whole process, whatever seed variable is passed.
// A thread that wants its own stream uses tessivane::ran1_stream below.

// Uniform deviate in the open interval (0, 1): the minimal-standard generator
// (16807 x mod 2^31-1, Schrage's factorisation) behind a 32-entry shuffle
// table. *idum <= 0 (re)initialises the generator (from state -*idum, or 1 for
// 0); so does the first call in the process whatever *idum holds, starting
// from state 1. Afterwards *idum holds the generator state (1..2147483646):
// pass the same variable back unchanged. Results never equal 0 or 1; the
// largest is 1 - 2^-23.
// A *idum of magnitude 2147483647 or more is first reduced modulo 2147483647,
// keeping its sign (a positive multiple becomes 1).
TV_API float ran1(long *idum);

// Standard normal deviate by the polar Box-Muller method, drawing uniform
// deviates through ran1(idum). Each pair computed returns one deviate and
// keeps the other waiting for the next call, which returns it without calling
// ran1 or touching *idum (so a negative *idum passed then reseeds only on the
// call after).
TV_API float gasdev(long *idum);

namespace tessivane {

// A random stream with a state of its own: uniform() and gaussian() give, bit
// for bit, the deviates that ran1(&idum) and gasdev(&idum) give in a process
// that has not called them before, for the same seed and the same sequence of
// calls (including the deviate gaussian() keeps waiting). Any seed value works
// as it does for ran1 (a non-negative one starts from state 1).
// [thread-safe] Distinct streams may be used on distinct threads at once; one
// stream must not be used by two threads at once.
class TV_API ran1_stream {
public:
    // What ran1 and gasdev keep between calls: the shuffle table, the value
    // last taken from it (0: not seeded yet) and the waiting Gaussian deviate.
    struct state {
        long iv[32] = {};
        long iy = 0;
        int iset = 0;
        float gset = 0.0f;
    };

    explicit ran1_stream(long seed = -1);
    float uniform();
    float gaussian();
    // As passing a new value in *idum: a negative seed restarts the sequence
    // on the next draw; a waiting Gaussian deviate is still returned first.
    void reseed(long seed);
    // The value *idum would hold now (the generator state after a draw).
    long idum() const { return idum_; }

private:
    long idum_;
    state state_;
};

}  // namespace tessivane

/** @} */

#endif
