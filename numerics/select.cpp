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

#include "stat.h"

#include "detail_refuse.h"

namespace {

template <typename T>
inline void swap_values(T &a, T &b)
{
    T t = a;
    a = b;
    b = t;
}

template <typename T>
T select_kth(unsigned long k, unsigned long n, T arr[])
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
    return select_kth(k, n, arr);
}

unsigned short select_ushort(unsigned long k, unsigned long n, unsigned short arr[])
{
    check_arguments("select_ushort", k, n);
    return select_kth(k, n, arr);
}
