// Internal to libtessivane (not installed): the quicksort shared by sort() and sort2().
//
// It lives in a header as a template so that both exported routines are one algorithm with
// two stack capacities, and so that the tests can instantiate it with a tiny stack to reach
// the overflow exit, which the exported capacities make unreachable for any array that fits
// in memory.
#ifndef TESSIVANE_NUMERICS_DETAIL_SORT_H
#define TESSIVANE_NUMERICS_DETAIL_SORT_H

#include <limits>
#include <utility>

#include "detail_isa.h"
#include "nrutil.h"

namespace tessivane {
namespace detail {

// Ranges of at most kInsertionLimit elements (ir - l < kInsertionLimit) are finished by
// straight insertion.
constexpr unsigned long kInsertionLimit = 7;

// Capacity of the pending-range stack (positions, two per deferred range) and the message
// given when it runs out, for sort() and for sort2().
struct QuicksortStack {
    int capacity;
    const char *overflow_message;
};
constexpr QuicksortStack kSortStack{60, "NSTACK too small in sort."};
constexpr QuicksortStack kSort2Stack{50, "NSTACK too small in sort2."};

// The pending-range stack, from the array layer like every scratch array.
inline int *stack_alloc(int *, int nstack)
{
    return ivector(1, nstack);
}
inline void stack_free(int *s, int nstack)
{
    free_ivector(s, 1, nstack);
}
inline unsigned long *stack_alloc(unsigned long *, int nstack)
{
    return lvector(1, nstack);
}
inline void stack_free(unsigned long *s, int nstack)
{
    free_lvector(s, 1, nstack);
}

// Sorts arr[1..n] (n >= 1) ascending. With kCompanion, every move made in arr is made at the
// same positions of brr (brr is never compared). The pending-range stack holds nstack
// positions, two per deferred range, as Bound (int, or unsigned long for arrays of 2^31
// elements or more, whose bounds an int cannot hold); running out of it ends the process with
// overflow_message.
//
// The exact sequence of exchanges matters to callers that rely on where equal keys and their
// companions end up, so the steps below are not to be "improved" (no early exits, no
// different pivot rule).
template <bool kCompanion, typename Bound>
void quicksort_with_stack(unsigned long n, float arr[], float brr[], int nstack,
                          const char *overflow_message)
{
    // Released on return, and also when the overflow exit throws.
    struct StackOwner {
        Bound *s;
        int n;
        ~StackOwner()
        {
            if (s)
                stack_free(s, n);
        }
    } owner{stack_alloc(static_cast<Bound *>(nullptr), nstack), nstack};
    Bound *const istack = owner.s;
    int jstack = 0;
    unsigned long ir = n;
    unsigned long l = 1;

    for (;;) {
        // Written as ir < l + limit rather than ir - l < limit so that the test stays right
        // in unsigned arithmetic whatever the range.
        if (ir < l + kInsertionLimit) {
            for (unsigned long j = l + 1; j <= ir; j++) {
                const float a = arr[j];
                float b = 0.0f;
                if (kCompanion)
                    b = brr[j];
                unsigned long i = j - 1;
                // l >= 1, so i stops at l - 1 >= 0 without wrapping.
                for (; i >= l && arr[i] > a; i--) {
                    arr[i + 1] = arr[i];
                    if (kCompanion)
                        brr[i + 1] = brr[i];
                }
                arr[i + 1] = a;
                if (kCompanion)
                    brr[i + 1] = b;
            }
            if (jstack == 0)
                return;
            // Bounds narrowed to int on push are sign-extended back.
            ir = static_cast<unsigned long>(static_cast<long>(istack[jstack]));
            l = static_cast<unsigned long>(static_cast<long>(istack[jstack - 1]));
            jstack -= 2;
        } else {
            const unsigned long k = (l + ir) >> 1;
            std::swap(arr[k], arr[l + 1]);
            if (kCompanion)
                std::swap(brr[k], brr[l + 1]);
            // Median of three: afterwards arr[l] <= arr[l+1] <= arr[ir], and the two ends
            // serve as sentinels for the scans below.
            if (arr[l] > arr[ir]) {
                std::swap(arr[l], arr[ir]);
                if (kCompanion)
                    std::swap(brr[l], brr[ir]);
            }
            if (arr[l + 1] > arr[ir]) {
                std::swap(arr[l + 1], arr[ir]);
                if (kCompanion)
                    std::swap(brr[l + 1], brr[ir]);
            }
            if (arr[l] > arr[l + 1]) {
                std::swap(arr[l], arr[l + 1]);
                if (kCompanion)
                    std::swap(brr[l], brr[l + 1]);
            }
            unsigned long i = l + 1;
            unsigned long j = ir;
            const float a = arr[l + 1];
            float b = 0.0f;
            if (kCompanion)
                b = brr[l + 1];
            for (;;) {
                do
                    i++;
                while (arr[i] < a);
                do
                    j--;
                while (arr[j] > a);
                if (j < i)
                    break;
                std::swap(arr[i], arr[j]);
                if (kCompanion)
                    std::swap(brr[i], brr[j]);
            }
            arr[l + 1] = arr[j];
            arr[j] = a;
            if (kCompanion) {
                brr[l + 1] = brr[j];
                brr[j] = b;
            }
            jstack += 2;
            if (jstack > nstack)
                nrerror(overflow_message);
            // Defer the longer part (ties defer the upper one) and go on with the shorter,
            // which keeps the number of pending ranges below log2(n).
            if (ir - i + 1 >= j - l) {
                istack[jstack] = static_cast<Bound>(ir);
                istack[jstack - 1] = static_cast<Bound>(i);
                ir = j - 1;
            } else {
                istack[jstack] = static_cast<Bound>(j - 1);
                istack[jstack - 1] = static_cast<Bound>(l);
                l = i;
            }
        }
    }
}

template <bool kCompanion>
void quicksort(unsigned long n, float arr[], float brr[], int nstack, const char *overflow_message)
{
    // An empty range has nothing to sort; the loop would otherwise start with ir = 0 < l = 1
    // and run off the unsigned range.
    if (n == 0)
        return;
    // Bounds are kept as 32-bit ints, as callers of the original interface expect; an array
    // too long for that gets a 64-bit stack instead of silently truncated bounds. The moves
    // are the same either way.
    if (n <= static_cast<unsigned long>(std::numeric_limits<int>::max()))
        quicksort_with_stack<kCompanion, int>(n, arr, brr, nstack, overflow_message);
    else
        quicksort_with_stack<kCompanion, unsigned long>(n, arr, brr, nstack, overflow_message);
}

// Radix sorts for inputs whose sorted order is unique, so that any correct sort gives the
// quicksort's bits (AVX2 path). radix_sort() sorts arr[1..n] unless it holds a NaN or both a -0
// and a +0; radix_sort_distinct_pairs() sorts arr[1..n] with companions brr[1..n] unless two
// keys compare equal or one is a NaN. Either returns false, leaving the arrays untouched, when
// it declines: for such inputs, below kRadixMinimum elements, or when scratch memory is short.
constexpr unsigned long kRadixMinimum = 1024;
#if TV_HAVE_AVX2_PATHS
bool radix_sort(unsigned long n, float arr[]);
bool radix_sort_distinct_pairs(unsigned long n, float arr[], float brr[]);
#else
inline bool radix_sort(unsigned long, float[])
{
    return false;
}
inline bool radix_sort_distinct_pairs(unsigned long, float[], float[])
{
    return false;
}
#endif

}  // namespace detail
}  // namespace tessivane

#endif
