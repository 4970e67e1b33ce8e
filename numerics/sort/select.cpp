// k-th smallest of arr[1..n] by quickselect with a median-of-three pivot, in
// place and without recursion. The median-of-three step leaves arr[l] <= pivot
// <= arr[ir], so the partition scans need no index tests: the range ends stop
// them. Values equal to the pivot stop both scans and are exchanged, which
// keeps runs of equal values splitting near the middle.
//
// A NaN in select compares false with everything. The scans still stop at the
// range ends (a comparison with NaN is false, which is what stops them), so the
// routine finishes and touches only arr[1..n]; where NaNs end up, and which
// value is returned when the array holds NaNs, is not defined.
//
// Off the portable path the exchanges of each partition are found a block at a
// time without a branch per element, and the arrangement is the same bit for
// bit (see exchange_in_blocks); on fresh data the scans' mispredicted branches
// are most of the time of the straightforward loop.

#include "stat.h"

#include "detail_refuse.h"
#include "isa.h"

#include <algorithm>

namespace {

template <typename T>
inline void swap_values(T &a, T &b)
{
    T t = a;
    a = b;
    b = t;
}

// The partition loop's scans stop, from the left, at each value that is not
// below the pivot a and, from the right, at each value that is not above it;
// until the scans cross, the s-th exchange swaps the s-th stop from the left
// with the s-th stop from the right, as the values between them are untouched
// until then. So the stops can be collected a block of kBlock values at a time
// from either end of the unscanned middle, with no branch per value, and
// exchanged in pairs. This runs those exchanges while the middle still fills a
// block and leaves i and j where the loop holds them after the last one; the
// loop then finishes from there, scanning again any stops left unpaired.
constexpr unsigned kBlock = 64;

// One side's current block: where it starts, the offsets t (in scan order) of
// the values at which the scan from that side stops, and how many of those
// have been paired.
struct Stops {
    unsigned long block = 0;
    unsigned char offset[kBlock];
    unsigned found = 0, paired = 0;
};

// Gives a side whose stops are all paired the next block of the unscanned
// middle lo..hi, arr[lo + t] from the left or arr[hi - t] from the right;
// false when it needs one and less than a whole block is left.
template <bool kFromRight, typename T>
bool take_block(const T arr[], const T a, unsigned long &lo, unsigned long &hi, Stops &side)
{
    if (side.paired < side.found)
        return true;
    if (hi + 1 < lo + kBlock)
        return false;
    side.block = kFromRight ? hi : lo;
    side.found = side.paired = 0;
    for (unsigned t = 0; t < kBlock; t++) {
        const T x = kFromRight ? arr[side.block - t] : arr[side.block + t];
        side.offset[side.found] = static_cast<unsigned char>(t);
        side.found += kFromRight ? !(x > a) : !(x < a);
    }
    if (kFromRight)
        hi -= kBlock;
    else
        lo += kBlock;
    return true;
}

template <typename T>
void exchange_in_blocks(T arr[], const T a, unsigned long &i, unsigned long &j)
{
    Stops left, right;
    unsigned long lo = i + 1, hi = j - 1;  // the unscanned middle, empty when hi < lo
    while (take_block<false>(arr, a, lo, hi, left) && take_block<true>(arr, a, lo, hi, right)) {
        const unsigned pairs = std::min(left.found - left.paired, right.found - right.paired);
        for (unsigned q = 0; q < pairs; q++)
            swap_values(arr[left.block + left.offset[left.paired + q]],
                        arr[right.block - right.offset[right.paired + q]]);
        if (pairs > 0) {
            left.paired += pairs;
            right.paired += pairs;
            i = left.block + left.offset[left.paired - 1];
            j = right.block - right.offset[right.paired - 1];
        }
    }
}

template <typename T>
T select_kth(unsigned long k, unsigned long n, T arr[], bool in_blocks)
{
    unsigned long l = 1;
    unsigned long ir = n;
    for (;;) {
        if (ir <= l + 1) {
            if (ir == l + 1 && arr[ir] < arr[l])
                swap_values(arr[l], arr[ir]);
            return arr[k];
        }
        const unsigned long mid = (l + ir) >> 1;
        swap_values(arr[mid], arr[l + 1]);
        if (arr[l] > arr[ir])
            swap_values(arr[l], arr[ir]);
        if (arr[l + 1] > arr[ir])
            swap_values(arr[l + 1], arr[ir]);
        if (arr[l] > arr[l + 1])
            swap_values(arr[l], arr[l + 1]);
        unsigned long i = l + 1;
        unsigned long j = ir;
        const T a = arr[l + 1];
        if (in_blocks)
            exchange_in_blocks(arr, a, i, j);
        for (;;) {
            do
                ++i;
            while (arr[i] < a);
            do
                --j;
            while (arr[j] > a);
            if (j < i)
                break;
            swap_values(arr[i], arr[j]);
        }
        arr[l + 1] = arr[j];
        arr[j] = a;
        if (j >= k)
            ir = j - 1;
        if (j <= k)
            l = i;
    }
}

bool in_blocks()
{
    return tessivane::active_isa() != tessivane::isa::portable;
}

void check_arguments(const char *routine, unsigned long k, unsigned long n)
{
    if (n == 0)
        tessivane::detail::refuse("%s: n = 0, there is no element to select", routine);
    if (k < 1 || k > n)
        tessivane::detail::refuse("%s: k = %lu is outside 1..n = 1..%lu", routine, k, n);
}

}  // namespace

float select(unsigned long k, unsigned long n, float arr[])
{
    check_arguments("select", k, n);
    return select_kth(k, n, arr, in_blocks());
}

unsigned short select_ushort(unsigned long k, unsigned long n, unsigned short arr[])
{
    check_arguments("select_ushort", k, n);
    return select_kth(k, n, arr, in_blocks());
}
