#ifndef TESSIVANE_NRUTIL_H
#define TESSIVANE_NRUTIL_H

// Offset-indexed arrays and the fatal error exit of the numerics library.
//
// Every array here is addressed over an inclusive index range low..high that
// the caller chooses (1..n for most routines, 0..n-1 for some, negative bounds
// are fine). The handle is the storage displaced by -low, so handle[low] is the
// first element; there are no guard elements. Release every handle with the
// release function of its own family and the same bounds it was allocated with.
//
// Vectors are one block. Matrices are a row-pointer array over ONE contiguous
// row-major block (handle[nrl] + ncl is the block), tensors add a column-pointer
// block over one contiguous data block (handle[nrl][ncl] + ndl), so a whole
// matrix or tensor can be walked linearly.
//
// Fatal conditions are reported through nrerror(), which ends the process unless
// the calling thread asked for exceptions (errors.h). That includes running out
// of memory ("allocation failure ...") and ranges that cannot describe an array:
// a vector range with high < low - 1 (high == low - 1 is an empty vector), a
// matrix or view without rows or with high < low - 1 columns, a tensor without
// rows or columns, and any size whose byte count does not fit in 64 bits.
//
// [thread-safe] The allocation and release functions keep no state.

#include "errors.h"
#include "tessivane_export.h"

// Reports a fatal condition. First tells the installed error handler, if any
// (tessivane::set_error_handler). Then, in the calling thread's default mode,
// writes "Vestrin Calculary run-time error...", error_text and
// "...now exiting to system..." as three lines on stderr and calls exit(1):
// exit handlers run and streams are flushed. In throw mode
// (tessivane::set_error_mode) it throws tessivane::numerics_error(error_text)
// instead. Never returns.
[[noreturn]] TV_API void nrerror(char *error_text);

// Same report, for string literals.
[[noreturn]] inline void nrerror(const char *error_text)
{
    nrerror(const_cast<char *>(error_text));
}

// Vectors over nl..nh. An empty range (nh == nl - 1) is allowed.
TV_API float *vector(long nl, long nh);
TV_API int *ivector(long nl, long nh);
TV_API unsigned char *cvector(long nl, long nh);
TV_API unsigned long *lvector(long nl, long nh);
TV_API double *dvector(long nl, long nh);

// Matrices over nrl..nrh x ncl..nch: at least one row.
TV_API float **matrix(long nrl, long nrh, long ncl, long nch);
TV_API double **dmatrix(long nrl, long nrh, long ncl, long nch);
TV_API int **imatrix(long nrl, long nrh, long ncl, long nch);

// A view of a[oldrl..oldrh][oldcl..] re-indexed to start at [newrl][newcl].
// Only the row pointers are allocated; elements stay in a and are not copied.
// oldch takes no part: the column extent is whatever the caller uses.
TV_API float **submatrix(float **a, long oldrl, long oldrh, long oldcl, long oldch, long newrl,
                         long newcl);

// A view over a caller-owned row-major array of (nrh-nrl+1) x (nch-ncl+1)
// floats: view[nrl][ncl] is a[0]. Only the row pointers are allocated.
TV_API float **convert_matrix(float *a, long nrl, long nrh, long ncl, long nch);

// Tensors over nrl..nrh x ncl..nch x ndl..ndh, depth running fastest:
// at least one row and one column.
TV_API float ***f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh);
TV_API unsigned char ***c3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh);

// When an allocation fails after earlier blocks of the same matrix or tensor were
// obtained, those blocks are released before a numerics_error is thrown; in the
// default mode the process ends without releasing them.

// Release functions take the handle and the allocation bounds; only the low
// bounds are used. A matrix or tensor must have its first row pointer (and
// first column pointer) back in place when released.
TV_API void free_vector(float *v, long nl, long nh);
TV_API void free_ivector(int *v, long nl, long nh);
TV_API void free_cvector(unsigned char *v, long nl, long nh);
TV_API void free_lvector(unsigned long *v, long nl, long nh);
TV_API void free_dvector(double *v, long nl, long nh);
TV_API void free_matrix(float **m, long nrl, long nrh, long ncl, long nch);
TV_API void free_dmatrix(double **m, long nrl, long nrh, long ncl, long nch);
TV_API void free_imatrix(int **m, long nrl, long nrh, long ncl, long nch);
// Releases only the view's row pointers; nrl is the view's own first row.
TV_API void free_submatrix(float **b, long nrl, long nrh, long ncl, long nch);
TV_API void free_convert_matrix(float **b, long nrl, long nrh, long ncl, long nch);
TV_API void free_f3tensor(float ***t, long nrl, long nrh, long ncl, long nch, long ndl, long ndh);
TV_API void free_c3tensor(unsigned char ***t, long nrl, long nrh, long ncl, long nch, long ndl,
                          long ndh);

namespace tessivane {

// Square of a float as the numerics use it: exactly 0 for an argument of 0,
// otherwise the product formed in float and then widened to double.
inline double sqr(float a)
{
    return a == 0.0f ? 0.0 : static_cast<double>(a * a);
}

// The smaller of two ints (the second when they are equal).
inline int imin(int a, int b)
{
    return a < b ? a : b;
}

}  // namespace tessivane

#endif
