// Internal to libtessivane (not installed): the quicksort shared by sort() and sort2().
//
// It lives in a header as a template so that both exported routines are one algorithm with
// two stack capacities, and so that the tests can instantiate it with a tiny stack to reach
// the overflow exit, which the exported capacities make unreachable for any array that fits
// in memory.
#ifndef TESSIVANE_NUMERICS_DETAIL_SORT_H
#define TESSIVANE_NUMERICS_DETAIL_SORT_H

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

inline void swap_floats(float &p, float &q)
{
    const float t = p;
    p = q;
    q = t;
}

// Sorts arr[1..n] ascending. With kCompanion, every move made in arr is made at the same
// positions of brr (brr is never compared). The pending-range stack holds nstack positions,
// two per deferred range; running out of it ends the process with overflow_message.
//
// The exact sequence of exchanges matters to callers that rely on where equal keys and their
// companions end up, so the steps below are not to be "improved" (no early exits, no
// different pivot rule).
template <bool kCompanion>
void quicksort(unsigned long n, float arr[], float brr[], int nstack, const char *overflow_message)
{
    // An empty range has nothing to sort; the loop below would otherwise start with
    // ir = 0 < l = 1.
    if (n == 0)
        return;

    int *istack = ivector(1, nstack);
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
            if (jstack == 0) {
                free_ivector(istack, 1, nstack);
                return;
            }
            // Bounds were narrowed to int on push; converting back sign-extends.
            ir = static_cast<unsigned long>(static_cast<long>(istack[jstack]));
            l = static_cast<unsigned long>(static_cast<long>(istack[jstack - 1]));
            jstack -= 2;
        } else {
            const unsigned long k = (l + ir) >> 1;
            swap_floats(arr[k], arr[l + 1]);
            if (kCompanion)
                swap_floats(brr[k], brr[l + 1]);
            // Median of three: afterwards arr[l] <= arr[l+1] <= arr[ir], and the two ends
            // serve as sentinels for the scans below.
            if (arr[l] > arr[ir]) {
                swap_floats(arr[l], arr[ir]);
                if (kCompanion)
                    swap_floats(brr[l], brr[ir]);
            }
            if (arr[l + 1] > arr[ir]) {
                swap_floats(arr[l + 1], arr[ir]);
                if (kCompanion)
                    swap_floats(brr[l + 1], brr[ir]);
            }
            if (arr[l] > arr[l + 1]) {
                swap_floats(arr[l], arr[l + 1]);
                if (kCompanion)
                    swap_floats(brr[l], brr[l + 1]);
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
                swap_floats(arr[i], arr[j]);
                if (kCompanion)
                    swap_floats(brr[i], brr[j]);
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
                istack[jstack] = static_cast<int>(ir);
                istack[jstack - 1] = static_cast<int>(i);
                ir = j - 1;
            } else {
                istack[jstack] = static_cast<int>(j - 1);
                istack[jstack - 1] = static_cast<int>(l);
                l = i;
            }
        }
    }
}

} // namespace detail
} // namespace tessivane

#endif
