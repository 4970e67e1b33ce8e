// Gauss-Jordan elimination with full pivoting: replaces a by its inverse and
// the right-hand sides in b by the solutions, in place, in one pass.

#include "detail_gauss_jordan.h"
#include "detail_linalg.h"
#include "stat.h"

#include "detail_scratch.h"

#include <utility>

namespace {

using tessivane::detail::absval;

constexpr int kSmallestAvx2 = 4;  // the AVX2 path takes n > this

}  // namespace

void gaussj(float **a, int n, float **b, int m)
{
    // Released in reverse order on return, and also when a singular matrix throws.
    tessivane::detail::local_vector<int, 16> indxc(n);
    tessivane::detail::local_vector<int, 16> indxr(n);
    tessivane::detail::local_vector<int, 16> ipiv(n);

    for (int j = 1; j <= n; j++)
        ipiv[j] = 0;

    // Up to 4x4 (the fits' curvature matrices) the AVX2 working copy costs
    // more than the passes it speeds up.
    if (n > kSmallestAvx2 && tessivane::detail::use_avx2() &&
        tessivane::detail::gaussj_avx2(a, n, b, m, indxc, indxr, ipiv))
        return;

    for (int i = 1; i <= n; i++) {
        // Pivot search over the rows and columns not used yet; on ties the
        // last candidate in scan order wins.
        float big = 0.0f;
        int irow = 0, icol = 0;
        for (int j = 1; j <= n; j++) {
            if (ipiv[j] == 1)
                continue;
            for (int k = 1; k <= n; k++) {
                if (ipiv[k] == 0) {
                    if (absval(a[j][k]) >= big) {
                        big = absval(a[j][k]);
                        irow = j;
                        icol = k;
                    }
                } else if (ipiv[k] > 1) {
                    nrerror("gaussj: Singular Matrix-1");
                }
            }
        }
        // Only NaNs were left to choose from, so the search failed to find a
        // pivot column: the same failure as meeting a column pivoted twice.
        if (icol == 0)
            nrerror("gaussj: Singular Matrix-1");

        ++ipiv[icol];
        if (irow != icol) {
            for (int l = 1; l <= n; l++)
                std::swap(a[irow][l], a[icol][l]);
            for (int l = 1; l <= m; l++)
                std::swap(b[irow][l], b[icol][l]);
        }
        indxr[i] = irow;
        indxc[i] = icol;
        if (a[icol][icol] == 0.0f)
            nrerror("gaussj: Singular Matrix-2");

        // Storing 1 (and 0 below) before scaling builds the inverse in the
        // columns that the elimination has already cleared.
        float pivinv = 1.0f / a[icol][icol];
        a[icol][icol] = 1.0f;
        for (int l = 1; l <= n; l++)
            a[icol][l] *= pivinv;
        for (int l = 1; l <= m; l++)
            b[icol][l] *= pivinv;

        for (int ll = 1; ll <= n; ll++) {
            if (ll == icol)
                continue;
            float dum = a[ll][icol];
            a[ll][icol] = 0.0f;
            for (int l = 1; l <= n; l++)
                a[ll][l] -= a[icol][l] * dum;
            for (int l = 1; l <= m; l++)
                b[ll][l] -= b[icol][l] * dum;
        }
    }

    tessivane::detail::unscramble(indxr, indxc, n, [&](int p, int q) {
        for (int k = 1; k <= n; k++)
            std::swap(a[k][p], a[k][q]);
    });
}
