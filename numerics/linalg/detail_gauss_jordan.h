#ifndef TESSIVANE_DETAIL_GAUSS_JORDAN_H
#define TESSIVANE_DETAIL_GAUSS_JORDAN_H

// Internal to libtessivane (not installed): the step that both gaussj paths share.

namespace tessivane {
namespace detail {

// The column interchanges that undo the row exchanges of gaussj, last pass first: for each pass
// l = n..1 whose pivot was found off the diagonal, swap_columns(indxr[l], indxc[l]). The
// straightforward path swaps the columns of a; the AVX2 path swaps entries of the permutation
// through which it copies its working matrix out.
template <typename SwapColumns>
void unscramble(const int *indxr, const int *indxc, int n, SwapColumns swap_columns)
{
    for (int l = n; l >= 1; l--)
        if (indxr[l] != indxc[l])
            swap_columns(indxr[l], indxc[l]);
}

}  // namespace detail
}  // namespace tessivane

#endif
