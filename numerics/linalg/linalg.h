#ifndef TESSIVANE_LINALG_H
#define TESSIVANE_LINALG_H

// Singular value decomposition, matrix products and copies, the matrix inverse,
// Gauss-Jordan elimination and the Jacobi eigen-decomposition.
// The conventions of every numerics header (index bases, out-parameters, fatal
// conditions, thread safety) are stated once, in stat.h, which includes them all.

#include "nrutil.h"
#include "tessivane_export.h"

/** @defgroup linalg Linear algebra
 *  @{
 */

// ---- Singular value decomposition ----

// Set by svdcmp when some singular value had not converged after 100 QR
// sweeps (that value may then be negative and less accurate); cleared on entry
// to every svdcmp call. Read it right after the call it is meant to describe.
// [process-wide state] It describes the latest svdcmp call of the whole
// process; svdcmp stores it atomically, so concurrent calls do not race, but
// a thread that shares the process with other decompositions should ask
// tessivane::last_svd_converged() instead.
extern TV_API bool NoConvergenceInSVD;

namespace tessivane {

// [thread-safe] True when every singular value of the calling thread's latest
// svdcmp call converged (the negation of what that call stored in
// NoConvergenceInSVD); true before the thread's first call.
TV_API bool last_svd_converged();

}  // namespace tessivane

// sqrt(a^2 + b^2) without destructive overflow or underflow; pythag(0, 0) = 0.
// [thread-safe]
TV_API float pythag(float a, float b);

// Decomposes a[1..m][1..n] (any m, n >= 1) as U * diag(w) * V^T in place:
// a becomes U (m x n), w[1..n] the singular values in the order the iteration
// leaves them (not sorted), v[1..n][1..n] V itself (not its transpose).
// Converged values are >= 0. Convergence is tested against the absolute
// threshold 1e-6; non-convergence is not fatal and only sets
// NoConvergenceInSVD (and tessivane::last_svd_converged() on this thread).
// [thread-safe] on distinct arrays.
TV_API void svdcmp(float **a, int m, int n, float *w, float **v);

// Solves A x = b in the least-squares sense from the factors of svdcmp:
// u[1..m][1..n], w[1..n], v[1..n][1..n], b[1..m]; writes x[1..n]. Exactly the
// w[j] equal to 0 are treated as absent; zero the small ones first. u, w, v
// and b are left unchanged (b is read completely before x is written).
TV_API void svbksb(float **u, float *w, float **v, int m, int n, float *b, float *x);

// Covariance V * diag(1/w^2) * V^T of an SVD fit: reads v[1..ma][1..ma] and
// w[1..ma] (a w[k] equal to 0 leaves direction k out), writes all of
// cvm[1..ma][1..ma], exactly symmetric. ma = 0 writes nothing; ma < 0 is
// refused by the scratch allocation ("bad index range in vector()") before
// anything is written.
TV_API void svdvar(float **v, int ma, float *w, float **cvm);

// ---- Matrix products and copies ----

// These take 0-based row-pointer matrices (rows 0..n-1, columns 0..s-1), e.g.
// matrix(0, n-1, 0, s-1). Sums are float, index ascending. Outputs must not
// share storage with inputs (diagmatrix_matrix_mult works in place).
// Dimensions <= 0 make the loops run zero times. [thread-safe]

// c[0..n-1][0..m-1] = a[0..n-1][0..s-1] * b[0..s-1][0..m-1].
TV_API void matrix_matrix_mult(float **a, float **b, float **c, int n, int s, int m);

// c[0..n-1][0..n-1] = a * a^T for a[0..n-1][0..s-1]; exactly symmetric.
TV_API void transposematrix_matrix_mult(float **a, float **c, int n, int s);

// c[0..n-1] = a[0..n-1][0..s-1] * b[0..s-1]; c is cleared first.
TV_API void matrix_vector_mult(float **a, float *b, float *c, int n, int s);

// Dot product of a[0..n-1] and b[0..n-1]; 0 for n <= 0.
TV_API float vector_vector_mult(float *a, float *b, int n);

// t[0..s-1][0..n-1] = transpose of m[0..n-1][0..s-1].
TV_API void matrix_transpose(float **m, float **t, int n, int s);

// Copies n x s elements from im to om. copy_mode 0: 0-based to 0-based;
// 1: 1-based to 1-based; 2: im[0..n-1][0..s-1] to om[1..n][1..s];
// 3: im[1..n][1..s] to om[0..n-1][0..s-1]; any other mode does nothing.
TV_API void copy_matrix(float **im, float **om, int n, int s, int copy_mode);

// m[i][j] = w[i] * m[i][j] for i in 0..n-1, j in 0..s-1, in place. For a
// 1-based w[1..n], pass w + 1.
TV_API void diagmatrix_matrix_mult(float *w, float **m, int n, int s);

// c[0..m-1][0..m-1] = a * a^T for a[0..m-1][0..k-1], exactly as
// transposematrix_matrix_mult(a, c, m, k); b, n, tA and tB are not used.
TV_API void fast_matrix_matrix_mult(float **a, float **b, float **c, int m, int n, int k, bool tA,
                                    bool tB);

// ---- Matrix inverse ----

// Writes the inverse of m[0..n-1][0..n-1] (n >= 1) into inv[0..n-1][0..n-1]
// through the SVD: singular values below 1e-6 times the largest are dropped,
// so a singular or nearly singular m gives the truncated pseudo-inverse (the
// zero matrix gives non-finite values). inv may be m itself. When the SVD did
// not converge the magnitudes of the singular values are used. Always returns
// true. [thread-safe] on distinct arrays.
TV_API bool getInverseMatrixUsingSVD(float **m, float **inv, int n);

// ---- Gauss-Jordan elimination ----

// Gauss-Jordan elimination with full pivoting: a[1..n][1..n] is replaced by
// its inverse and the m right-hand sides b[1..n][1..m] by the solutions (m = 0:
// b is not touched). Ties in the pivot search go to the last candidate
// (rows ascending, columns ascending). Ends the process with
// "gaussj: Singular Matrix-2" when the chosen pivot is 0 (singular matrix) and
// with "gaussj: Singular Matrix-1" when the pivot search fails (only NaNs
// left); a and b are then partly transformed.
TV_API void gaussj(float **a, int n, float **b, int m);

// ---- Jacobi eigen-decomposition ----

// Eigenvalues d[1..n] (unsorted) and normalised eigenvectors, as the columns
// of v[1..n][1..n], of the symmetric a[1..n][1..n] by cyclic Jacobi rotations;
// *nrot receives the number of rotations. Only the diagonal and the strict
// upper triangle of a are read; the upper triangle is zeroed, the diagonal and
// the lower triangle are left as they were. Ends the process with
// "Too many iterations in routine jacobi" after 50 sweeps.
TV_API void jacobi(float **a, int n, float *d, float **v, int *nrot);

// Sorts d[1..n] into descending order, moving the columns of v[1..n][1..n]
// along (as jacobi delivers them); among equal values the later one is taken
// first.
TV_API void eigsrt(float *d, float **v, int n);

/** @} */

#endif
