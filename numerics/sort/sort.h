#ifndef TESSIVANE_SORT_H
#define TESSIVANE_SORT_H

// Sorting (with a companion array), ranking and k-th smallest selection.
// The conventions of every numerics header (index bases, out-parameters, fatal
// conditions, thread safety) are stated once, in stat.h, which includes them all.

#include "nrutil.h"
#include "tessivane_export.h"

/** @defgroup sort Sorting, ranking and selection
 *  @{
 */

// ---- Sorting and ranking ----

// Sorts arr[1..n] ascending in place (quicksort, median of three, explicit stack; ranges of
// at most 7 elements by straight insertion, which keeps equal keys in input order there).
// n = 0 returns at once without touching arr. Allocates one small stack and releases it.
// Ends the process with "NSTACK too small in sort." if the stack overflows (not reachable
// with fewer than 2^33 elements). NaN keys end up in an unspecified order.
TV_API void sort(unsigned long n, float arr[]);

// As sort(), and applies every move of arr[1..n] at the same positions of brr[1..n], so each
// companion stays beside its key; brr is never compared. n = 0 returns at once.
// Ends the process with "NSTACK too small in sort2." if its stack overflows (needs more than
// 2^28 elements).
TV_API void sort2(unsigned long n, float arr[], float brr[]);

// Sorts ra[1..n] ascending in place by heap sort; no allocation. n = 0 and n = 1 leave ra
// untouched.
TV_API void hpsort(unsigned long n, float ra[]);

// Replaces w[1..n], which must already be sorted ascending, by ranks 1..n; a run of equal
// values gets the mean of the ranks it spans. *s = sum over runs of t >= 2 equal values of
// t^3 - t. n = 0 leaves w untouched and sets *s = 0; n = 1 sets w[1] = 1 and *s = 0.
TV_API void crank(unsigned long n, float w[], float *s);

// ---- Selection ----
//
// The k-th smallest of arr[1..n] (k = 1 is the minimum) by quickselect,
// rearranging arr[1..n] in place: on return arr[k] holds the result, arr[1..k-1]
// are <= it and arr[k+1..n] are >= it. arr[0] is never touched.
// [thread-safe] No state.
// Ends the process through nrerror when n = 0:
// "select: n = 0, there is no element to select", or when k is outside 1..n:
// "select: k = <k> is outside 1..n = 1..<n>" (select_ushort names itself).
// NaNs in select: the call finishes and touches only arr[1..n], but where NaNs
// end up and the result are undefined.
TV_API float select(unsigned long k, unsigned long n, float arr[]);

// As select, for unsigned 16-bit values compared as unsigned (0..65535).
TV_API unsigned short select_ushort(unsigned long k, unsigned long n, unsigned short arr[]);

/** @} */

#endif
