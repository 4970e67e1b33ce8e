#ifndef TESSIVANE_ORACLES_LAPACK_PROTOTYPES_H
#define TESSIVANE_ORACLES_LAPACK_PROTOTYPES_H

// The reference LAPACK routines that tests and benchmarks use as an
// independent oracle and anchor.

#include <cstddef>

// Reference LAPACK (Fortran, column-major); the trailing size_t arguments are
// the hidden lengths of the character arguments.
extern "C" {
void sgesvd_(const char *jobu, const char *jobvt, const int *m, const int *n, float *a,
             const int *lda, float *s, float *u, const int *ldu, float *vt, const int *ldvt,
             float *work, const int *lwork, int *info, std::size_t, std::size_t);
void sgesv_(const int *n, const int *nrhs, float *a, const int *lda, int *ipiv, float *b,
            const int *ldb, int *info);
void ssyev_(const char *jobz, const char *uplo, const int *n, float *a, const int *lda, float *w,
            float *work, const int *lwork, int *info, std::size_t, std::size_t);
void sgetrf_(const int *m, const int *n, float *a, const int *lda, int *ipiv, int *info);
void sgetri_(const int *n, float *a, const int *lda, const int *ipiv, float *work, const int *lwork,
             int *info);
// BLAS, which LAPACK brings along.
void sgemm_(const char *transa, const char *transb, const int *m, const int *n, const int *k,
            const float *alpha, const float *a, const int *lda, const float *b, const int *ldb,
            const float *beta, float *c, const int *ldc, std::size_t, std::size_t);
void sgels_(const char *trans, const int *m, const int *n, const int *nrhs, float *a,
            const int *lda, float *b, const int *ldb, float *work, const int *lwork, int *info,
            std::size_t);
}

#endif
