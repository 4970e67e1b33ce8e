// Sorting and ranking of 1-based float arrays: quicksort with and without a companion array,
// heap sort, and ranks with mid-ranks for ties.
#include "stat.h"

#include "detail_sort.h"
#include "isa.h"

namespace {

// The radix sorts run on the AVX2 path; the portable path is the reference quicksort and heap
// sort, which the radix sorts must match bit for bit.
bool radix_path()
{
    return tessivane::active_isa() != tessivane::isa::portable;
}

}  // namespace

void sort(unsigned long n, float arr[])
{
    using tessivane::detail::kSortStack;
    if (radix_path() && tessivane::detail::radix_sort(n, arr))
        return;
    tessivane::detail::quicksort<false>(n, arr, nullptr, kSortStack.capacity,
                                        kSortStack.overflow_message);
}

void sort2(unsigned long n, float arr[], float brr[])
{
    using tessivane::detail::kSort2Stack;
    if (radix_path() && tessivane::detail::radix_sort_distinct_pairs(n, arr, brr))
        return;
    tessivane::detail::quicksort<true>(n, arr, brr, kSort2Stack.capacity,
                                       kSort2Stack.overflow_message);
}

void hpsort(unsigned long n, float ra[])
{
    if (n < 2)
        return;
    if (radix_path() && tessivane::detail::radix_sort(n, ra))
        return;

    unsigned long l = (n >> 1) + 1;
    unsigned long ir = n;
    for (;;) {
        float rra;
        if (l > 1) {
            // Building the heap: sift down each parent, last parent first.
            rra = ra[--l];
        } else {
            // Extraction: the largest key goes to the end of the shrinking heap.
            rra = ra[ir];
            ra[ir] = ra[1];
            if (--ir == 1) {
                ra[1] = rra;
                break;
            }
        }
        unsigned long i = l;
        unsigned long j = l + l;
        while (j <= ir) {
            if (j < ir && ra[j] < ra[j + 1])
                j++;
            if (rra < ra[j]) {
                ra[i] = ra[j];
                i = j;
                j <<= 1;
            } else {
                break;
            }
        }
        ra[i] = rra;
    }
}

void crank(unsigned long n, float w[], float *s)
{
    *s = 0.0f;
    unsigned long j = 1;
    while (j < n) {
        if (w[j + 1] != w[j]) {
            w[j] = static_cast<float>(j);
            ++j;
        } else {
            unsigned long jt = j + 1;
            while (jt <= n && w[jt] == w[j])
                ++jt;
            // Mid-rank of the run j..jt-1, formed in double and rounded once.
            const float rank = static_cast<float>(0.5 * static_cast<double>(j + jt - 1));
            for (unsigned long ji = j; ji <= jt - 1; ji++)
                w[ji] = rank;
            const float t = static_cast<float>(jt - j);
            *s = ((t * t) * t - t) + *s;
            j = jt;
        }
    }
    // The last element stands alone unless the final run already reached it.
    if (j == n)
        w[n] = static_cast<float>(n);
}
