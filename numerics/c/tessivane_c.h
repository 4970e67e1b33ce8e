#ifndef TESSIVANE_C_H
#define TESSIVANE_C_H

// The numerics of libtessivane for C (C99 and later) and for everything that
// binds to C: Fortran (bind(C)), Julia (ccall), R, MATLAB, Python's ctypes.
// Every symbol has C linkage and no mangled name.
//
// Each numerics routine X of the C++ headers is tv_X here, with the same
// arrays (the offset-indexed handles of nrutil.h, 1-based unless the routine
// says "0..n-1"), the same index ranges and the same bits: tv_X calls X. The
// contract of each routine (domain, which out-parameters are written, the
// messages of its fatal conditions, thread safety) is the one stated above X
// in the family header named in each section below; only the changes are
// listed here:
//
// - Nothing ends the process and no C++ exception reaches C. A routine
//   returns a tv_status (an int): TV_OK, or the code of what went wrong, with
//   the message in tv_last_error().
// - A routine that returns a value in C++ writes it through its last
//   argument, `result` (never NULL), and only when it returns TV_OK.
// - C++ bool becomes int (0 or 1); C++ references become pointers.
// - After an error the caller's arrays are as the C++ contract describes them
//   after a throw: scratch storage released, process-wide state consistent,
//   output and in/out arrays holding valid but unspecified floats.
// - Functions that cannot fail (tv_version, tv_last_error, the release
//   functions, the instruction-set and cache queries, tv_last_svd_converged,
//   tv_lm_fit_in_progress) return their value directly.
//
// Callbacks (the basis of tv_svdfit, the model of tv_mrqmin, tv_mrqcof and
// tv_lm_fit_*) are plain C function pointers with the C++ signatures. A
// callback must return normally: a C function cannot throw, and leaving by
// longjmp would skip the release of the routine's scratch storage and the
// restoring of the thread's error mode. A callback may call tv_ functions.
//
// If the process installed a tessivane::set_error_handler() handler, it is
// still told of every fatal condition, before the tv_ function returns.
//
// This header is valid C99 and C++.

#include <stddef.h>

#include "tessivane_export.h"
#include "version.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- Status and errors ----

// What a tv_ function returns. The codes are ints so that every binding sees
// the same type.
typedef int tv_status;

enum tv_status_code {
    // The routine ran to the end.
    TV_OK = 0,
    // The routine met one of its fatal conditions; tv_last_error() is exactly
    // the message the C++ routine gives nrerror() (the middle line of the
    // three the default mode prints), e.g. "gaussj: Singular Matrix-2".
    // Allocation failures of the array layer come here too, with their own
    // messages ("allocation failure 1 in vector()").
    TV_ERROR = 1,
    // A C++ allocation failed; tv_last_error() is "out of memory".
    TV_ERROR_NO_MEMORY = 2,
    // A NULL handle or result pointer; tv_last_error() names the function and
    // the argument, e.g. "tv_gammq: result is NULL". Arrays are not checked.
    TV_ERROR_INVALID_ARGUMENT = 3,
    // Any other C++ exception (a bug): its what(), or "unknown C++ exception".
    TV_ERROR_INTERNAL = 4
};

// The message of the calling thread's latest tv_ call that returned a status:
// "" after TV_OK. The text is owned by the thread, stays valid until its next
// tv_ call and is cut at 255 bytes. [thread-safe]
TV_API const char *tv_last_error(void);

// "MAJOR.MINOR.PATCH" of the library loaded at run time, as
// TESSIVANE_VERSION_STRING is the version compiled against. [thread-safe]
TV_API const char *tv_version(void);

// ---- Arrays (nrutil.h) ----
// The handle goes to *result; release it with the matching tv_free_ (or the
// C++ free_ function) and the same bounds.

TV_API tv_status tv_vector(long nl, long nh, float **result);
TV_API tv_status tv_ivector(long nl, long nh, int **result);
TV_API tv_status tv_cvector(long nl, long nh, unsigned char **result);
TV_API tv_status tv_lvector(long nl, long nh, unsigned long **result);
TV_API tv_status tv_dvector(long nl, long nh, double **result);
TV_API tv_status tv_matrix(long nrl, long nrh, long ncl, long nch, float ***result);
TV_API tv_status tv_dmatrix(long nrl, long nrh, long ncl, long nch, double ***result);
TV_API tv_status tv_imatrix(long nrl, long nrh, long ncl, long nch, int ***result);
TV_API tv_status tv_submatrix(float **a, long oldrl, long oldrh, long oldcl, long oldch, long newrl,
                              long newcl, float ***result);
TV_API tv_status tv_convert_matrix(float *a, long nrl, long nrh, long ncl, long nch,
                                   float ***result);
TV_API tv_status tv_f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh,
                             float ****result);
TV_API tv_status tv_c3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh,
                             unsigned char ****result);

TV_API void tv_free_vector(float *v, long nl, long nh);
TV_API void tv_free_ivector(int *v, long nl, long nh);
TV_API void tv_free_cvector(unsigned char *v, long nl, long nh);
TV_API void tv_free_lvector(unsigned long *v, long nl, long nh);
TV_API void tv_free_dvector(double *v, long nl, long nh);
TV_API void tv_free_matrix(float **m, long nrl, long nrh, long ncl, long nch);
TV_API void tv_free_dmatrix(double **m, long nrl, long nrh, long ncl, long nch);
TV_API void tv_free_imatrix(int **m, long nrl, long nrh, long ncl, long nch);
TV_API void tv_free_submatrix(float **b, long nrl, long nrh, long ncl, long nch);
TV_API void tv_free_convert_matrix(float **b, long nrl, long nrh, long ncl, long nch);
TV_API void tv_free_f3tensor(float ***t, long nrl, long nrh, long ncl, long nch, long ndl,
                             long ndh);
TV_API void tv_free_c3tensor(unsigned char ***t, long nrl, long nrh, long ncl, long nch, long ndl,
                             long ndh);

// ---- Instruction-set path (isa.h) and FFT tables (fft_tables.h) ----

enum tv_isa_code { TV_ISA_PORTABLE = 0, TV_ISA_AVX2 = 1, TV_ISA_AVX512 = 2 };

// Each returns an enum tv_isa_code value; tv_set_active_isa clamps its
// argument to 0..2 and returns the previous path. tv_isa_name gives
// "portable", "avx2" or "avx512" ("portable" for any other value).
// [thread-safe]
TV_API int tv_supported_isa(void);
TV_API int tv_active_isa(void);
TV_API int tv_set_active_isa(int requested);
TV_API const char *tv_isa_name(int path);

TV_API void tv_release_fft_tables(void);
TV_API size_t tv_fft_table_bytes(void);

// ---- Special functions (special.h) ----

TV_API tv_status tv_gammln(double xx, double *result);
TV_API tv_status tv_gammq(float a, float x, float *result);
TV_API tv_status tv_gser(float *gamser, float a, float x, float *gln);
TV_API tv_status tv_gcf(float *gammcf, float a, float x, float *gln);
TV_API tv_status tv_betai(float a, float b, float x, float *result);
TV_API tv_status tv_betacf(double a, double b, double x, float *result);
TV_API tv_status tv_erfcc(float x, float *result);
TV_API tv_status tv_probks(float alam, float *result);

// ---- Two-sample tests, correlation and p-values (stats.h) ----

TV_API tv_status tv_avevar(float data[], unsigned long n, float *ave, float *var);
TV_API tv_status tv_ttest(float data1[], unsigned long n1, float data2[], unsigned long n2,
                          float *t, float *prob);
TV_API tv_status tv_tutest(float data1[], unsigned long n1, float data2[], unsigned long n2,
                           float *t, float *prob);
TV_API tv_status tv_kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2,
                          float *d, float *prob);
TV_API tv_status tv_pearsn(float x[], float y[], unsigned long n, float *r, float *prob, float *z);
TV_API tv_status tv_pearsn_prob(float x[], float y[], unsigned long n, float *r, float *prob,
                                float *z);
TV_API tv_status tv_spear(float data1[], float data2[], unsigned long n, float *d, float *zd,
                          float *probd, float *rs, float *probrs);
// The running state n, ax, ay, sxx, syy, sxy is passed by pointer.
TV_API tv_status tv_pearsn_inc(float x, float y, float *n, float *ax, float *ay, float *sxx,
                               float *syy, float *sxy, float *r);
TV_API tv_status tv_regr_inc(float x, float y, float *n, float *ax, float *ay, float *sxx,
                             float *syy, float *sxy, float *a, float *b, float *ym);
TV_API tv_status tv_t_to_p(float t, unsigned long df, float *result);
TV_API tv_status tv_r_to_p(float r, unsigned long n, float *result);
TV_API tv_status tv_F_to_p(float F, unsigned long df_1, unsigned long df_2, float *result);
TV_API tv_status tv_p_to_t(float p, unsigned long df, float *result);
TV_API tv_status tv_p_to_r(float p, unsigned long df, float *result);
TV_API tv_status tv_p_to_F(float p, unsigned long df_1, unsigned long df_2, float *result);
TV_API tv_status tv_p_to_z(float pvalue, float *result);
TV_API tv_status tv_welch_df(float data1[], unsigned long n1, float data2[], unsigned long n2,
                             float *result);
TV_API tv_status tv_t_to_p_real(float t, float df, float *result);
TV_API tv_status tv_kstwo_prob(float d, unsigned long n1, unsigned long n2, float *result);
TV_API tv_status tv_kstwo_prob_exact(float d, unsigned long n1, unsigned long n2, float *result);

// ---- Fourier transforms (fft.h) ----

TV_API tv_status tv_four1(float data[], unsigned long nn, int isign);
TV_API tv_status tv_realft(float data[], unsigned long n, int isign);
TV_API tv_status tv_fourn(float data[], unsigned long nn[], int ndim, int isign);
TV_API tv_status tv_rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                          unsigned long nn3, int isign);

// ---- Sorting, ranking and selection (sort.h) ----

TV_API tv_status tv_sort(unsigned long n, float arr[]);
TV_API tv_status tv_sort2(unsigned long n, float arr[], float brr[]);
TV_API tv_status tv_hpsort(unsigned long n, float ra[]);
TV_API tv_status tv_crank(unsigned long n, float w[], float *s);
TV_API tv_status tv_select(unsigned long k, unsigned long n, float arr[], float *result);
TV_API tv_status tv_select_ushort(unsigned long k, unsigned long n, unsigned short arr[],
                                  unsigned short *result);

// ---- Random deviates (random.h) ----

// The process-wide generator. [process-wide state: not thread-safe]
TV_API tv_status tv_ran1(long *idum, float *result);
TV_API tv_status tv_gasdev(long *idum, float *result);

// A stream of its own (tessivane::ran1_stream): the deviates of tv_ran1 and
// tv_gasdev in a fresh process, for the same seed and calls. Create it with a
// seed (-1 is the C++ default), release it with tv_ran1_stream_destroy (NULL
// is ignored). [thread-safe] Distinct streams on distinct threads at once;
// one stream on one thread at a time.
typedef struct tv_ran1_stream tv_ran1_stream;

TV_API tv_status tv_ran1_stream_create(long seed, tv_ran1_stream **result);
TV_API void tv_ran1_stream_destroy(tv_ran1_stream *stream);
TV_API tv_status tv_ran1_stream_uniform(tv_ran1_stream *stream, float *result);
TV_API tv_status tv_ran1_stream_gaussian(tv_ran1_stream *stream, float *result);
TV_API tv_status tv_ran1_stream_reseed(tv_ran1_stream *stream, long seed);
// The value *idum would hold now.
TV_API tv_status tv_ran1_stream_idum(const tv_ran1_stream *stream, long *result);

// ---- Linear algebra (linalg.h) ----

// 1 when every singular value of the calling thread's latest tv_svdcmp (or
// svdcmp) call converged; 1 before its first call. [thread-safe]
TV_API int tv_last_svd_converged(void);

TV_API tv_status tv_pythag(float a, float b, float *result);
TV_API tv_status tv_svdcmp(float **a, int m, int n, float *w, float **v);
TV_API tv_status tv_svbksb(float **u, float *w, float **v, int m, int n, float *b, float *x);
TV_API tv_status tv_svdvar(float **v, int ma, float *w, float **cvm);
TV_API tv_status tv_matrix_matrix_mult(float **a, float **b, float **c, int n, int s, int m);
TV_API tv_status tv_transposematrix_matrix_mult(float **a, float **c, int n, int s);
TV_API tv_status tv_matrix_vector_mult(float **a, float *b, float *c, int n, int s);
TV_API tv_status tv_vector_vector_mult(float *a, float *b, int n, float *result);
TV_API tv_status tv_matrix_transpose(float **m, float **t, int n, int s);
TV_API tv_status tv_copy_matrix(float **im, float **om, int n, int s, int copy_mode);
TV_API tv_status tv_diagmatrix_matrix_mult(float *w, float **m, int n, int s);
TV_API tv_status tv_fast_matrix_matrix_mult(float **a, float **b, float **c, int m, int n, int k,
                                            int tA, int tB);
TV_API tv_status tv_getInverseMatrixUsingSVD(float **m, float **inv, int n, int *result);
TV_API tv_status tv_gaussj(float **a, int n, float **b, int m);
TV_API tv_status tv_jacobi(float **a, int n, float *d, float **v, int *nrot);
TV_API tv_status tv_eigsrt(float *d, float **v, int n);

// ---- Least-squares fits (fit.h) ----

// Basis of tv_svdfit: stores X_1(x)..X_np(x) in p[1..np].
typedef void (*tv_basis)(float x, float *p, int np);
// Model of the Levenberg-Marquardt fit: stores y(x; a[1..na]) in *y and
// dy/da[j] in dyda[1..na].
typedef void (*tv_lm_model)(float x, float *a, float *y, float *dyda, int na);

TV_API tv_status tv_fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b,
                        float *siga, float *sigb, float *chi2, float *q);
TV_API tv_status tv_svdfit(float *x, float *y, float *sig, int ndata, float *a, int ma, float **u,
                           float **v, float *w, float *chisq, tv_basis funcs);
TV_API tv_status tv_fpoly(float x, float *p, int np);
// [process-wide state: not thread-safe] One fit per process; a thread runs
// its own with a tv_lm_fit.
TV_API tv_status tv_mrqmin(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                           float **covar, float **alpha, float *chisq, tv_lm_model funcs,
                           float *alamda);
TV_API tv_status tv_mrqcof(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                           float **alpha, float *beta, float *chisq, tv_lm_model funcs);
TV_API tv_status tv_covsrt(float **covar, int ma, int *ia, int mfit);
TV_API tv_status tv_fgauss(float x, float *a, float *y, float *dyda, int na);

// A Levenberg-Marquardt fit with its own state (tessivane::lm_fit): step is
// tv_mrqmin on this object, run a whole fit. Create with tv_lm_fit_create,
// release with tv_lm_fit_destroy (NULL is ignored; the storage of an
// unfinished fit is released too). [thread-safe] Distinct fits on distinct
// threads at once.
typedef struct tv_lm_fit tv_lm_fit;

// When tv_lm_fit_run stops (tessivane::lm_stopping_rule, same meaning).
typedef struct tv_lm_stopping_rule {
    int max_iterations;
    double absolute_drop;
    double relative_drop;
    int quiet_steps;
    float max_lambda;
} tv_lm_stopping_rule;

enum tv_lm_stop_code { TV_LM_ITERATION_LIMIT = 0, TV_LM_CONVERGED = 1, TV_LM_STALLED = 2 };

// How tv_lm_fit_run ended (tessivane::lm_outcome); stop is a tv_lm_stop_code.
typedef struct tv_lm_outcome {
    int stop;
    int iterations;
    float lambda_at_stop;
} tv_lm_outcome;

// Fills *rule with the C++ defaults. [thread-safe]
TV_API void tv_lm_stopping_rule_default(tv_lm_stopping_rule *rule);

TV_API tv_status tv_lm_fit_create(tv_lm_fit **result);
TV_API void tv_lm_fit_destroy(tv_lm_fit *fit);
TV_API tv_status tv_lm_fit_step(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                                int *ia, int ma, float **covar, float **alpha, float *chisq,
                                tv_lm_model funcs, float *alamda);
// rule NULL: the defaults. *outcome is written on TV_OK.
TV_API tv_status tv_lm_fit_run(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                               int *ia, int ma, float **covar, float **alpha, float *chisq,
                               tv_lm_model funcs, const tv_lm_stopping_rule *rule,
                               tv_lm_outcome *outcome);
// 1 between an initialising call and the finishing call (0 for NULL).
TV_API int tv_lm_fit_in_progress(const tv_lm_fit *fit);

#ifdef __cplusplus
}
#endif

#endif
