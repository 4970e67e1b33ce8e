#ifndef TESSIVANE_C_ROUTINES_H
#define TESSIVANE_C_ROUTINES_H

// The tv_ function of every routine-table row spelled out, family by family:
// what tessivane_c.h declares from the tables (routines.h), with the arrays
// each reads and writes and the rules it checks. Generated from the tables by
// `make c-routines` (tests/c/print_c_routines.cpp): change a row, not this
// file. tessivane_c.h includes it, so a prototype here that differs from its
// row does not compile ("conflicting declaration": a row changed, run make
// c-routines), and the test c.routines_header_current fails when the file is
// not what the tables give. The conventions (status and tv_last_error,
// `result`, the NULL checks, the rules' messages) are those of tessivane_c.h;
// each routine's contract is the one above it in the family header named in
// the section title. [process-wide state: not thread-safe] tv_ran1,
// tv_gasdev, tv_mrqmin.

#include "tessivane_c.h"

#ifdef __cplusplus
extern "C" {
#endif

/* clang-format off */

// ---- Offset-indexed arrays (nrutil.h) ----

// vector: returns its value in `*result`.
TV_API tv_status tv_vector(long nl, long nh, float **result);

// ivector: returns its value in `*result`.
TV_API tv_status tv_ivector(long nl, long nh, int **result);

// cvector: returns its value in `*result`.
TV_API tv_status tv_cvector(long nl, long nh, unsigned char **result);

// lvector: returns its value in `*result`.
TV_API tv_status tv_lvector(long nl, long nh, unsigned long **result);

// dvector: returns its value in `*result`.
TV_API tv_status tv_dvector(long nl, long nh, double **result);

// matrix: returns its value in `*result`.
TV_API tv_status tv_matrix(long nrl, long nrh, long ncl, long nch, float ***result);

// dmatrix: returns its value in `*result`.
TV_API tv_status tv_dmatrix(long nrl, long nrh, long ncl, long nch, double ***result);

// imatrix: returns its value in `*result`.
TV_API tv_status tv_imatrix(long nrl, long nrh, long ncl, long nch, int ***result);

// submatrix: reads `a[oldrl..oldrh][oldrl..oldrl+(oldch - oldcl + 1)-1]`; returns its value in
// `*result`.
TV_API tv_status tv_submatrix(float **a, long oldrl, long oldrh, long oldcl, long oldch, long newrl,
                              long newcl, float ***result);

// convert_matrix: reads `a[0..((nrh - nrl + 1) * (nch - ncl + 1))-1]`; returns its value in
// `*result`.
TV_API tv_status tv_convert_matrix(float *a, long nrl, long nrh, long ncl, long nch,
                                   float ***result);

// f3tensor: returns its value in `*result`.
TV_API tv_status tv_f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh,
                             float ****result);

// c3tensor: returns its value in `*result`.
TV_API tv_status tv_c3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh,
                             unsigned char ****result);

// free_vector: releases `v[nl..nh]`; a NULL handle is ignored.
TV_API void tv_free_vector(float *v, long nl, long nh);

// free_ivector: releases `v[nl..nh]`; a NULL handle is ignored.
TV_API void tv_free_ivector(int *v, long nl, long nh);

// free_cvector: releases `v[nl..nh]`; a NULL handle is ignored.
TV_API void tv_free_cvector(unsigned char *v, long nl, long nh);

// free_lvector: releases `v[nl..nh]`; a NULL handle is ignored.
TV_API void tv_free_lvector(unsigned long *v, long nl, long nh);

// free_dvector: releases `v[nl..nh]`; a NULL handle is ignored.
TV_API void tv_free_dvector(double *v, long nl, long nh);

// free_matrix: releases `m[nrl..nrh][nrl..nrl+(nch - ncl + 1)-1]`; a NULL handle is ignored.
TV_API void tv_free_matrix(float **m, long nrl, long nrh, long ncl, long nch);

// free_dmatrix: releases `m[nrl..nrh][nrl..nrl+(nch - ncl + 1)-1]`; a NULL handle is ignored.
TV_API void tv_free_dmatrix(double **m, long nrl, long nrh, long ncl, long nch);

// free_imatrix: releases `m[nrl..nrh][nrl..nrl+(nch - ncl + 1)-1]`; a NULL handle is ignored.
TV_API void tv_free_imatrix(int **m, long nrl, long nrh, long ncl, long nch);

// free_submatrix: releases `b[nrl..nrh][nrl..nrl+(nch - ncl + 1)-1]`; a NULL handle is ignored.
TV_API void tv_free_submatrix(float **b, long nrl, long nrh, long ncl, long nch);

// free_convert_matrix: releases `b[nrl..nrh][nrl..nrl+(nch - ncl + 1)-1]`; a NULL handle is
// ignored.
TV_API void tv_free_convert_matrix(float **b, long nrl, long nrh, long ncl, long nch);

// free_f3tensor: releases `t[nrl..nrh][nrl..nrl+(nch - ncl + 1)-1][nrl..nrl+(ndh - ndl + 1)-1]`; a
// NULL handle is ignored.
TV_API void tv_free_f3tensor(float ***t, long nrl, long nrh, long ncl, long nch, long ndl,
                             long ndh);

// free_c3tensor: releases `t[nrl..nrh][nrl..nrl+(nch - ncl + 1)-1][nrl..nrl+(ndh - ndl + 1)-1]`; a
// NULL handle is ignored.
TV_API void tv_free_c3tensor(unsigned char ***t, long nrl, long nrh, long ncl, long nch, long ndl,
                             long ndh);

// ---- Special functions (special.h) ----

// gammln: returns its value in `*result`.
TV_API tv_status tv_gammln(double xx, double *result);

// gammq: returns its value in `*result`.
TV_API tv_status tv_gammq(float a, float x, float *result);

// gser: writes `*gamser`, `*gln`.
TV_API tv_status tv_gser(float *gamser, float a, float x, float *gln);

// gcf: writes `*gammcf`, `*gln`.
TV_API tv_status tv_gcf(float *gammcf, float a, float x, float *gln);

// betai: returns its value in `*result`.
TV_API tv_status tv_betai(float a, float b, float x, float *result);

// betacf: returns its value in `*result`.
TV_API tv_status tv_betacf(double a, double b, double x, float *result);

// erfcc: returns its value in `*result`.
TV_API tv_status tv_erfcc(float x, float *result);

// probks: returns its value in `*result`.
TV_API tv_status tv_probks(float alam, float *result);

// ---- Two-sample tests, correlation and p-values (stats.h) ----

// avevar: reads `data[1..n]`; writes `*ave`, `*var`.
TV_API tv_status tv_avevar(float *data, unsigned long n, float *ave, float *var);

// ttest: reads `data1[1..n1]`, `data2[1..n2]`; writes `*t`, `*prob` = `t_to_p(*t, n1 + n2 - 2)`.
// TV_ERROR_INVALID_ARGUMENT unless `n1 >= 1 && n2 >= 1` ("needs at least one value in each
// sample"), `n1 + n2 >= 3` ("needs at least three values in the two samples together").
TV_API tv_status tv_ttest(float *data1, unsigned long n1, float *data2, unsigned long n2, float *t,
                          float *prob);

// tutest: reads `data1[1..n1]`, `data2[1..n2]`; writes `*t`, `*prob` = `t_to_p_real(*t,
// welch_df(data1, n1, data2, n2))`. TV_ERROR_INVALID_ARGUMENT unless `n1 >= 2 && n2 >= 2` ("needs
// at least two values in each sample").
TV_API tv_status tv_tutest(float *data1, unsigned long n1, float *data2, unsigned long n2, float *t,
                           float *prob);

// kstwo: writes `*d`, `*prob` = `kstwo_prob(*d, n1, n2)`; reads and writes `data1[1..n1]`,
// `data2[1..n2]`. TV_ERROR_INVALID_ARGUMENT unless `n1 >= 1 && n2 >= 1` ("needs at least one value
// in each sample").
TV_API tv_status tv_kstwo(float *data1, unsigned long n1, float *data2, unsigned long n2, float *d,
                          float *prob);

// pearsn: reads `x[1..n]`, `y[1..n]`; writes `*r`; may write `*prob` (left as passed; may be NULL),
// `*z` (left as passed; may be NULL).
TV_API tv_status tv_pearsn(float *x, float *y, unsigned long n, float *r, float *prob, float *z);

// pearsn_prob: reads `x[1..n]`, `y[1..n]`; writes `*r`, `*prob`; may write `*z` (left as passed;
// may be NULL). TV_ERROR_INVALID_ARGUMENT unless `n >= 3` ("needs at least three pairs").
TV_API tv_status tv_pearsn_prob(float *x, float *y, unsigned long n, float *r, float *prob,
                                float *z);

// spear: reads `data1[1..n]`, `data2[1..n]`; writes `*d`, `*zd`, `*probd`, `*rs`, `*probrs`.
// TV_ERROR_INVALID_ARGUMENT unless `n >= 2` ("needs at least two pairs").
TV_API tv_status tv_spear(float *data1, float *data2, unsigned long n, float *d, float *zd,
                          float *probd, float *rs, float *probrs);

// pearsn_inc: writes `*r`; reads and writes `*n`, `*ax`, `*ay`, `*sxx`, `*syy`, `*sxy`.
TV_API tv_status tv_pearsn_inc(float x, float y, float *n, float *ax, float *ay, float *sxx,
                               float *syy, float *sxy, float *r);

// regr_inc: writes `*a`, `*b`, `*ym`; reads and writes `*n`, `*ax`, `*ay`, `*sxx`, `*syy`, `*sxy`.
TV_API tv_status tv_regr_inc(float x, float y, float *n, float *ax, float *ay, float *sxx,
                             float *syy, float *sxy, float *a, float *b, float *ym);

// t_to_p: returns its value in `*result`.
TV_API tv_status tv_t_to_p(float t, unsigned long df, float *result);

// r_to_p: returns its value in `*result`.
TV_API tv_status tv_r_to_p(float r, unsigned long n, float *result);

// F_to_p: returns its value in `*result`.
TV_API tv_status tv_F_to_p(float F, unsigned long df_1, unsigned long df_2, float *result);

// p_to_t: returns its value in `*result`.
TV_API tv_status tv_p_to_t(float p, unsigned long df, float *result);

// p_to_r: returns its value in `*result`.
TV_API tv_status tv_p_to_r(float p, unsigned long df, float *result);

// p_to_F: returns its value in `*result`.
TV_API tv_status tv_p_to_F(float p, unsigned long df_1, unsigned long df_2, float *result);

// p_to_z: returns its value in `*result`.
TV_API tv_status tv_p_to_z(float pvalue, float *result);

// welch_df: reads `data1[1..n1]`, `data2[1..n2]`; returns its value in `*result`.
TV_API tv_status tv_welch_df(float *data1, unsigned long n1, float *data2, unsigned long n2,
                             float *result);

// t_to_p_real: returns its value in `*result`.
TV_API tv_status tv_t_to_p_real(float t, float df, float *result);

// kstwo_prob: returns its value in `*result`.
TV_API tv_status tv_kstwo_prob(float d, unsigned long n1, unsigned long n2, float *result);

// kstwo_prob_exact: returns its value in `*result`.
TV_API tv_status tv_kstwo_prob_exact(float d, unsigned long n1, unsigned long n2, float *result);

// ---- Fourier transforms (fft.h) ----

// four1: reads and writes `data[1..2 * nn]`.
TV_API tv_status tv_four1(float *data, unsigned long nn, int isign);

// realft: reads and writes `data[1..n]`.
TV_API tv_status tv_realft(float *data, unsigned long n, int isign);

// fourn: reads `nn[1..ndim]`; reads and writes `data[1..2 * tessivane::args::product_1(nn, ndim)]`.
TV_API tv_status tv_fourn(float *data, unsigned long *nn, int ndim, int isign);

// rlft3: reads and writes `data[1..nn1][1..nn2][1..nn3]`, `speq[1..nn1][1..2 * nn2]`.
TV_API tv_status tv_rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                          unsigned long nn3, int isign);

// ---- Sorting, ranking and selection (sort.h) ----

// sort: reads and writes `arr[1..n]`.
TV_API tv_status tv_sort(unsigned long n, float *arr);

// sort2: reads and writes `arr[1..n]`, `brr[1..n]`.
TV_API tv_status tv_sort2(unsigned long n, float *arr, float *brr);

// hpsort: reads and writes `ra[1..n]`.
TV_API tv_status tv_hpsort(unsigned long n, float *ra);

// crank: writes `*s`; reads and writes `w[1..n]`.
TV_API tv_status tv_crank(unsigned long n, float *w, float *s);

// select: reads and writes `arr[1..n]`; returns its value in `*result`.
TV_API tv_status tv_select(unsigned long k, unsigned long n, float *arr, float *result);

// select_ushort: reads and writes `arr[1..n]`; returns its value in `*result`.
TV_API tv_status tv_select_ushort(unsigned long k, unsigned long n, unsigned short *arr,
                                  unsigned short *result);

// ---- Process-wide random deviates (random.h) ----

// ran1: reads and writes `*idum`; returns its value in `*result`.
TV_API tv_status tv_ran1(long *idum, float *result);

// gasdev: reads and writes `*idum`; returns its value in `*result`.
TV_API tv_status tv_gasdev(long *idum, float *result);

// ---- Linear algebra (linalg.h) ----

// pythag: returns its value in `*result`.
TV_API tv_status tv_pythag(float a, float b, float *result);

// svdcmp: writes `w[1..n]`, `v[1..n][1..n]`; reads and writes `a[1..m][1..n]`.
TV_API tv_status tv_svdcmp(float **a, int m, int n, float *w, float **v);

// svbksb: reads `u[1..m][1..n]`, `w[1..n]`, `v[1..n][1..n]`, `b[1..m]`; writes `x[1..n]`.
TV_API tv_status tv_svbksb(float **u, float *w, float **v, int m, int n, float *b, float *x);

// svdvar: reads `v[1..ma][1..ma]`, `w[1..ma]`; writes `cvm[1..ma][1..ma]`.
TV_API tv_status tv_svdvar(float **v, int ma, float *w, float **cvm);

// matrix_matrix_mult: reads `a[0..n-1][0..s-1]`, `b[0..s-1][0..m-1]`; writes `c[0..n-1][0..m-1]`.
TV_API tv_status tv_matrix_matrix_mult(float **a, float **b, float **c, int n, int s, int m);

// transposematrix_matrix_mult: reads `a[0..n-1][0..s-1]`; writes `c[0..n-1][0..n-1]`.
TV_API tv_status tv_transposematrix_matrix_mult(float **a, float **c, int n, int s);

// matrix_vector_mult: reads `a[0..n-1][0..s-1]`, `b[0..s-1]`; writes `c[0..n-1]`.
TV_API tv_status tv_matrix_vector_mult(float **a, float *b, float *c, int n, int s);

// vector_vector_mult: reads `a[0..n-1]`, `b[0..n-1]`; returns its value in `*result`.
TV_API tv_status tv_vector_vector_mult(float *a, float *b, int n, float *result);

// matrix_transpose: reads `m[0..n-1][0..s-1]`; writes `t[0..s-1][0..n-1]`.
TV_API tv_status tv_matrix_transpose(float **m, float **t, int n, int s);

// copy_matrix: reads `im` (n x s from index `copy_mode == 1 || copy_mode == 3`); writes `om` (n x s
// from index `copy_mode == 1 || copy_mode == 2`).
TV_API tv_status tv_copy_matrix(float **im, float **om, int n, int s, int copy_mode);

// diagmatrix_matrix_mult: reads `w[0..n-1]`; reads and writes `m[0..n-1][0..s-1]`.
TV_API tv_status tv_diagmatrix_matrix_mult(float *w, float **m, int n, int s);

// fast_matrix_matrix_mult: reads `a[0..m-1][0..k-1]`, `b` (may be NULL); writes
// `c[0..m-1][0..m-1]`.
TV_API tv_status tv_fast_matrix_matrix_mult(float **a, float **b, float **c, int m, int n, int k,
                                            int tA, int tB);

// getInverseMatrixUsingSVD: reads `m[0..n-1][0..n-1]`; writes `inv[0..n-1][0..n-1]`; returns its
// value in `*result`.
TV_API tv_status tv_getInverseMatrixUsingSVD(float **m, float **inv, int n, int *result);

// gaussj: reads and writes `a[1..n][1..n]`, `b[1..n][1..m]`.
TV_API tv_status tv_gaussj(float **a, int n, float **b, int m);

// jacobi: writes `d[1..n]`, `v[1..n][1..n]`, `*nrot`; reads and writes `a[1..n][1..n]`.
TV_API tv_status tv_jacobi(float **a, int n, float *d, float **v, int *nrot);

// eigsrt: reads and writes `d[1..n]`, `v[1..n][1..n]`.
TV_API tv_status tv_eigsrt(float *d, float **v, int n);

// ---- Least-squares fits (fit.h) ----

// fit: reads `x[1..ndata]`, `y[1..ndata]`, `sig[1..ndata]` (may be NULL); writes `*a`, `*b`,
// `*siga`, `*sigb`, `*chi2`, `*q`.
TV_API tv_status tv_fit(float *x, float *y, int ndata, float *sig, int mwt, float *a, float *b,
                        float *siga, float *sigb, float *chi2, float *q);

// svdfit: reads `x[1..ndata]`, `y[1..ndata]`, `sig[1..ndata]`; writes `a[1..ma]`,
// `u[1..ndata][1..ma]`, `v[1..ma][1..ma]`, `w[1..ma]`, `*chisq`.
TV_API tv_status tv_svdfit(float *x, float *y, float *sig, int ndata, float *a, int ma, float **u,
                           float **v, float *w, float *chisq, tv_basis funcs);

// mrqmin: reads `x[1..ndata]`, `y[1..ndata]`, `sig[1..ndata]`, `ia[1..ma]`; reads and writes
// `a[1..ma]`, `covar[1..ma][1..ma]`, `alpha[1..ma][1..ma]`, `*chisq`, `*alamda`.
TV_API tv_status tv_mrqmin(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                           float **covar, float **alpha, float *chisq, tv_lm_model funcs,
                           float *alamda);

// mrqcof: reads `x[1..ndata]`, `y[1..ndata]`, `sig[1..ndata]`, `a[1..ma]`, `ia[1..ma]`; writes
// `alpha[1..ma][1..ma]`, `beta[1..ma]`, `*chisq`.
TV_API tv_status tv_mrqcof(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                           float **alpha, float *beta, float *chisq, tv_lm_model funcs);

// gauss_start: reads `x[1..ndata]`, `y[1..ndata]`; writes `a[1..ma]`. TV_ERROR_INVALID_ARGUMENT
// unless `ndata >= 1 && ma >= 0` ("needs at least one point").
TV_API tv_status tv_gauss_start(float *x, float *y, int ndata, float *a, int ma);

// covsrt: reads `ia[1..ma]`; reads and writes `covar[1..ma][1..ma]`.
TV_API tv_status tv_covsrt(float **covar, int ma, int *ia, int mfit);

// fpoly: writes `p[1..np]`. A shipped callback, passed to the fits as it is; cannot fail.
TV_API void tv_fpoly(float x, float *p, int np);

// fgauss: reads `a[1..na]`; writes `*y`, `dyda[1..na]`. A shipped callback, passed to the fits as
// it is; cannot fail.
TV_API void tv_fgauss(float x, float *a, float *y, float *dyda, int na);

// ---- Batches over many series (batch.h) ----

// realft_many: reads and writes `count` series of `n` values at `data`, value k of series s
// (0-based) at `data[s*series_stride + k*sample_stride]`. Runs tessivane::batch::realft on
// `threads` worker threads (0: every CPU the process may use).
TV_API tv_status tv_realft_many(float *data, size_t count, unsigned long n, ptrdiff_t series_stride,
                                ptrdiff_t sample_stride, int isign, unsigned threads);

// four1_many: reads and writes `count` series of `nn` complex values at `data`, value k of series s
// (0-based) at `data[2*(s*series_stride + k*sample_stride)]` (real part) and the float after it
// (imaginary part). Runs tessivane::batch::four1 on `threads` worker threads (0: every CPU the
// process may use).
TV_API tv_status tv_four1_many(float *data, size_t count, unsigned long nn, ptrdiff_t series_stride,
                               ptrdiff_t sample_stride, int isign, unsigned threads);

/* clang-format on */

#ifdef __cplusplus
}
#endif

#endif
