#ifndef TESSIVANE_STAT_H
#define TESSIVANE_STAT_H

// The numerics of libtessivane: single-precision statistics, transforms,
// sorting, random deviates, linear algebra and fitting over the offset-indexed
// arrays of nrutil.h.
//
// Conventions shared by every routine below:
// - Arrays are 1-based (indices 1..n) unless a comment says "0..n-1".
// - Results come back through out-parameters; an out-parameter a routine does
//   not compute is left exactly as the caller passed it.
// - Fatal conditions are reported through nrerror() with the message given in
//   the comment: by default three lines on stderr and exit status 1; in a
//   thread that chose tessivane::error_mode::throw_exception (errors.h), a
//   tessivane::numerics_error whose what() is that message.
// - After such a throw, the scratch storage of the routine has been released;
//   the caller's output and in/out arrays hold unspecified but valid floats
//   (a partly finished result), its input-only arrays are unchanged.
// - Scratch storage is allocated through nrutil and released before returning.
// - Routines marked [process-wide state: not thread-safe] keep state between
//   calls and must not run on two threads at once; each such state has a
//   thread-ownable form below (ran1_stream, lm_fit, last_svd_converged).

#include "nrutil.h"
#include "tessivane_export.h"

// ---- Special functions ----

// ln Gamma(xx) for xx > 0 (Lanczos, six terms: Gamma to a relative error below 2e-10, so
// ln Gamma to an absolute error below 2e-10; near xx = 1 and 2, where ln Gamma is 0, the
// relative error of ln Gamma is larger). Computed in double throughout; xx is not checked.
TV_API double gammln(double xx);

// Q(a, x) = 1 - P(a, x), the regularised upper incomplete gamma function: by the series of
// gser() when x < a + 1, otherwise by the continued fraction of gcf().
// Fatal: "Invalid arguments in routine gammq" when x < 0, a <= 0 or either is NaN.
// Accuracy at large a: gser() and gcf() scale their sums by exp(-x + a ln x - ln Gamma(a))
// with ln Gamma(a) rounded to float, whose rounding error (up to half a float step of
// ln Gamma(a), about 3e-8 a ln a) becomes a relative error of the same size in P or Q.
// That is below 3e-4 up to a = 1000, about 0.4% at a = 1e4 and 6% at a = 1e5; at a = 1e6
// the factor can be off by e^0.5 and at a = 1e7 by e^8, so results there (even results
// outside [0, 1]) carry no information beyond the side of x = a they fall on.
TV_API float gammq(float a, float x);

// P(a, x) by its power series into *gamser, and ln Gamma(a) (rounded to float) into *gln.
// x = 0 gives *gamser = 0. Up to 100 + 6 sqrt(a) terms, enough for every a up to 2^24 and
// x < a + 1. Fatal: "x less than 0 in routine gser" for x < 0, "a too large, ITMAX too small
// in routine gser" when the terms do not converge (a NaN argument, or a above 2^24 with x
// near a, where a + n no longer changes in float).
TV_API void gser(float *gamser, float a, float x, float *gln);

// Q(a, x) by its continued fraction (modified Lentz) into *gammcf, and ln Gamma(a) (rounded to
// float) into *gln. Meant for x >= a + 1; up to 100 + 6 sqrt(a) iterations. Fatal:
// "a too large, ITMAX too small in gcf" when they do not converge (e.g. a NaN argument).
TV_API void gcf(float *gammcf, float a, float x, float *gln);

// I_x(a, b), the regularised incomplete beta function, for a, b > 0 (not checked).
// x outside [0, 1] returns 0 without a message; x = 0 gives 0 and x = 1 gives 1.
TV_API float betai(float a, float b, float x);

// The continued fraction of the incomplete beta function (modified Lentz, in double), as used
// by betai(). After 100 iterations without convergence the last approximation is returned.
TV_API float betacf(double a, double b, double x);

// erfc(x) by a fitted approximation with fractional error below 1.2e-7; x * x is formed in
// float, which adds up to about x^2 / 2 float epsilons of relative error in the tail (about
// 4e-6 at |x| = 8.5). erfcc(-x) is 2 - erfcc(x).
TV_API float erfcc(float x);

// Kolmogorov-Smirnov tail Q_KS(alam) = 2 sum_{j>=1} (-1)^(j-1) exp(-2 j^2 alam^2), summed in
// float. Returns 1.0 when 100 terms do not converge (alam up to about 0.03, where Q is 1) and
// 0 when the first term underflows (large alam).
TV_API float probks(float alam);

// ---- Sorting and ranking ----

// Sorts arr[1..n] ascending in place (quicksort, median of three, explicit stack; ranges of
// at most 7 elements by straight insertion, which keeps equal keys in input order there).
// n = 0 returns at once without touching arr. Allocates one small stack and releases it.
// Ends the process with "NSTACK too small in sort." if the stack overflows (not reachable
// with fewer than 2^33 elements). NaN keys end up in an unspecified order.
TV_API void sort(unsigned long n, float arr[]);

// As sort(), and applies every move of arr[1..n] at the same positions of brr[1..n], so each
// companion stays beside its key; brr is never compared. n = 0 returns at once.
// Ends the process with "NSTACK too small in sort2." if its stack overflows (needs more than
// 2^28 elements).
TV_API void sort2(unsigned long n, float arr[], float brr[]);

// Sorts ra[1..n] ascending in place by heap sort; no allocation. n = 0 and n = 1 leave ra
// untouched.
TV_API void hpsort(unsigned long n, float ra[]);

// Replaces w[1..n], which must already be sorted ascending, by ranks 1..n; a run of equal
// values gets the mean of the ranks it spans. *s = sum over runs of t >= 2 equal values of
// t^3 - t. n = 0 leaves w untouched and sets *s = 0; n = 1 sets w[1] = 1 and *s = 0.
TV_API void crank(unsigned long n, float w[], float *s);

// ---- Two-sample tests ----

// Mean of data[1..n] into *ave and sample variance (divisor n - 1, corrected two-pass) into
// *var. Needs n >= 2 (n = 1 gives a variance that is not a number).
TV_API void avevar(float data[], unsigned long n, float *ave, float *var);

// Student's t with pooled variance for data1[1..n1] and data2[1..n2] into *t; t = 0 when the
// pooled variance is exactly 0. Needs n1 + n2 > 2. *prob is not written (see t_to_p()).
TV_API void ttest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
                  float *prob);

// Welch's t for samples of unequal variance into *t; t = 0 when both variances are exactly 0.
// *prob is not written.
TV_API void tutest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
                   float *prob);

// Two-sample Kolmogorov-Smirnov D into *d. Sorts data1[1..n1] and data2[1..n2] ascending in
// place (they stay sorted). The walk stops when either sample is exhausted. A NaN in either
// sample gives *d = NaN. *prob is not written (see probks()). Ends the process only through
// sort() ("NSTACK too small in sort.").
TV_API void kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2, float *d,
                  float *prob);

// ---- Correlation ----

// Pearson's r of x[1..n] and y[1..n] into *r (0 when either sample has no spread).
// *prob and *z are not written.
TV_API void pearsn(float x[], float y[], unsigned long n, float *r, float *prob, float *z);

// Pearson's r into *r (the final division in double, so it may differ from pearsn() in the
// last bit) and its two-sided significance from Student's t with n - 2 degrees of freedom
// into *prob (1 when r = 0). Needs n >= 3. *z is not written.
TV_API void pearsn_prob(float x[], float y[], unsigned long n, float *r, float *prob, float *z);

// Spearman rank correlation of data1[1..n] and data2[1..n] (only read). Always writes the
// sum of squared rank differences *d. Normally writes its normal deviate *zd, the two-sided
// significance *probd of *zd, and the tie-corrected coefficient *rs; *probrs is then not
// written. When a sample has all values equal, writes *rs = 0 and *probrs = 0 and leaves *zd
// and *probd untouched. Needs n >= 2. Uses two scratch vectors, released before returning.
// [thread-safe] No state (the float square is formed without shared temporaries).
TV_API void spear(float data1[], float data2[], unsigned long n, float *d, float *zd, float *probd,
                  float *rs, float *probrs);

// ---- Incremental correlation and regression ----

// Adds the sample (x, y) to the caller's running state (n: count, ax/ay: sums of x and y,
// sxx/syy/sxy: one-pass sums of squares and products about the running means; all 0 before
// the first sample) and writes the current Pearson r into *r (0 until both x and y spread).
// The one-pass sums differ from pearsn()'s batch sums from the third sample on.
TV_API void pearsn_inc(float x, float y, float &n, float &ax, float &ay, float &sxx, float &syy,
                       float &sxy, float *r);

// Adds (x, y) to the same running state and writes the current least-squares line
// y = *a + *b x and the running mean of y into *ym (*b = 0 until the x values spread).
TV_API void regr_inc(float x, float y, float &n, float &ax, float &ay, float &sxx, float &syy,
                     float &sxy, float *a, float *b, float *ym);

// ---- Probability and threshold conversions ----

// Two-sided p of t with df >= 1 degrees of freedom (t = 0 gives 1).
TV_API float t_to_p(float t, unsigned long df);

// Two-sided p of the correlation r from n pairs (n - 2 degrees of freedom). Returns 1 for
// n < 2 and for r = 0, 0 for r = 1.
TV_API float r_to_p(float r, unsigned long n);

// Upper-tail p of F with df_1 (numerator) and df_2 (denominator) degrees of freedom. Returns 0
// for F < 0 and 1 for F = 0.
TV_API float F_to_p(float F, unsigned long df_1, unsigned long df_2);

// The t whose two-sided p is p: exactly 25 steps of a search that starts at 4 with step 2 and
// halves the step at each change of direction (largest reachable value 54).
TV_API float p_to_t(float p, unsigned long df);

// The r whose two-sided p is p; df is the number of samples, as for r_to_p(). Same search,
// start 0.4, step 0.2 (largest reachable value 5.4).
TV_API float p_to_r(float p, unsigned long df);

// The F whose upper-tail p is p. Same search, start 10, step 2 (largest reachable value 60).
TV_API float p_to_F(float p, unsigned long df_1, unsigned long df_2);

// sign(1 - p) * sqrt(-4 ln|1 - p|); p = 1 is replaced by 0.99999988, giving about 7.986.
TV_API float p_to_z(float pvalue);

// ---- Straight-line fit ----

// Least-squares line y = *a + *b x through (x[i], y[i]), i = 1..ndata. With mwt != 0 each
// point is weighted by 1 / sig[i]^2 (sig[i] != 0); *siga and *sigb are the standard errors
// and *q = gammq(0.5 (ndata - 2), 0.5 *chi2) the goodness of fit. With mwt = 0 sig is not
// read (it may be null), *q = 1, and the standard errors are scaled by the scatter about the
// line (ndata >= 3). All six outputs are written. Fatal, for a weighted fit: "Invalid
// arguments in routine gammq" when ndata <= 2 or the chi-square is not a number (all x
// equal). For large ndata *q has the accuracy gammq() gives at a = (ndata - 2) / 2.
// [thread-safe] No state (the float square is formed without shared temporaries).
TV_API void fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b,
                float *siga, float *sigb, float *chi2, float *q);

// ---- Fourier transforms ----
//
// In-place FFTs of power-of-two length on 1-based float arrays. isign = +1
// means the exponent +2*pi*i. No transform normalises: an inverse returns the
// data times the number of complex points (four1, fourn) or times half the
// number of real points (realft, rlft3). Twiddle factors come from a
// double-precision recurrence. [thread-safe] No state; distinct arrays may be
// transformed concurrently.

// F_k = sum_j z_j exp(isign * 2*pi*i * j*k / nn), k = 0..nn-1, in place.
// data[1..2*nn]: z_k has its real part at data[2k+1] and its imaginary part at
// data[2k+2]; the result comes back in the same layout in natural order
// (frequency 0 first, nn/2+1..nn-1 hold the negative frequencies). data[0] is
// never touched. isign is +1 or -1 (it scales the angle).
// Ends the process through nrerror when nn is not a power of two (0 included):
// "four1: nn = <nn> is not a power of two (1, 2, 4, ...)".
TV_API void four1(float data[], unsigned long nn, int isign);

// Real FFT of x_0..x_{n-1} = data[1..n], in place.
// isign == 1 (forward, exponent +2*pi*i): data[1] = F_0, data[2] = F_{n/2}
// (both real), data[2k+1], data[2k+2] = Re, Im of F_k for k = 1..n/2-1.
// Any other isign: the inverse, from that packed form back to the samples
// times n/2 (multiply by 2/n to recover them).
// Ends the process through nrerror when n is not a power of two of at least 2:
// "realft: n = <n> is not a power of two >= 2".
TV_API void realft(float data[], unsigned long n, int isign);

// Multidimensional complex FFT, in place: F(k_1..k_ndim) = sum z(j_1..j_ndim)
// exp(isign * 2*pi*i * sum_d j_d k_d / nn[d]).
// data[1..2*ntot], ntot = nn[1]*...*nn[ndim] complex values in row-major order
// (last index fastest), real part first; nn[1..ndim] (nn[0] is not read).
// Twiddle factors are rounded to float and the butterflies done in float.
// ndim <= 0 touches nothing. Ends the process through nrerror, before any
// element changes, when some nn[d] is not a power of two (0 included):
// "fourn: nn[<d>] = <value> is not a power of two (1, 2, 4, ...)", or when the
// product exceeds 2^62: "fourn: nn[1..<ndim>] hold more than 2^62 complex points".
TV_API void fourn(float data[], unsigned long nn[], int ndim, int isign);

// Real 3-D FFT (2-D with nn1 = 1), in place.
// data: an f3tensor(1, nn1, 1, nn2, 1, nn3) or any tensor whose elements lie
// contiguously in that shape; speq: a matrix [1..nn1][1..2*nn2].
// isign = +1 (forward, exponent +2*pi*i): data[i1][i2][2k+1], [2k+2] = Re, Im of
// frequency (i1-1, i2-1, k), k = 0..nn3/2-1; speq[i1][2*i2-1], [2*i2] = Re, Im
// of frequency (i1-1, i2-1, nn3/2), the Nyquist plane (speq is only written).
// isign = -1: the inverse from that form (reading and overwriting speq), back
// to the real data times nn1*nn2*nn3/2. Any other isign runs only the separation
// step (neither FFT pass).
// Ends the process through nrerror, before anything is read, when an extent is
// not a power of two: "rlft3: nn1 = <nn1> is not a power of two (1, 2, 4, ...)"
// (likewise nn2), "rlft3: nn3 = <nn3> is not a power of two >= 2", or when
// nn1*nn2*nn3 exceeds 2^60: "rlft3: nn1*nn2*nn3 = <nn1>*<nn2>*<nn3> is too large".
// Fatal, before any element changes, when data[nn1][nn2] does not lie
// (nn1*nn2 - 1)*nn3 floats after data[1][1] (a tensor that is not contiguous
// in this shape): "rlft3: data is not one contiguous <nn1> x <nn2> x <nn3> tensor".
TV_API void rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                  unsigned long nn3, int isign);

// ---- Selection ----
//
// The k-th smallest of arr[1..n] (k = 1 is the minimum) by quickselect,
// rearranging arr[1..n] in place: on return arr[k] holds the result, arr[1..k-1]
// are <= it and arr[k+1..n] are >= it. arr[0] is never touched.
// [thread-safe] No state.
// Ends the process through nrerror when n = 0:
// "select: n = 0, there is no element to select", or when k is outside 1..n:
// "select: k = <k> is outside 1..n = 1..<n>" (select_ushort names itself).
// NaNs in select: the call finishes and touches only arr[1..n], but where NaNs
// end up and the result are undefined.
TV_API float select(unsigned long k, unsigned long n, float arr[]);

// As select, for unsigned 16-bit values compared as unsigned (0..65535).
TV_API unsigned short select_ushort(unsigned long k, unsigned long n, unsigned short arr[]);

// ---- Random deviates ----
//
// [process-wide state: not thread-safe] One shuffle table and one waiting
// Gaussian deviate serve the whole process, whatever seed variable is passed.
// A thread that wants its own stream uses tessivane::ran1_stream below.

// Uniform deviate in the open interval (0, 1): the minimal-standard generator
// (16807 x mod 2^31-1, Schrage's factorisation) behind a 32-entry shuffle
// table. *idum <= 0 (re)initialises the generator (from state -*idum, or 1 for
// 0); so does the first call in the process whatever *idum holds, starting
// from state 1. Afterwards *idum holds the generator state (1..2147483646):
// pass the same variable back unchanged. Results never equal 0 or 1; the
// largest is 1 - 2^-23.
// A *idum of magnitude 2147483647 or more is first reduced modulo 2147483647,
// keeping its sign (a positive multiple becomes 1).
TV_API float ran1(long *idum);

// Standard normal deviate by the polar Box-Muller method, drawing uniform
// deviates through ran1(idum). Each pair computed returns one deviate and
// keeps the other waiting for the next call, which returns it without calling
// ran1 or touching *idum (so a negative *idum passed then reseeds only on the
// call after).
TV_API float gasdev(long *idum);

namespace tessivane {

// A random stream with a state of its own: uniform() and gaussian() give, bit
// for bit, the deviates that ran1(&idum) and gasdev(&idum) give in a process
// that has not called them before, for the same seed and the same sequence of
// calls (including the deviate gaussian() keeps waiting). Any seed value works
// as it does for ran1 (a non-negative one starts from state 1).
// [thread-safe] Distinct streams may be used on distinct threads at once; one
// stream must not be used by two threads at once.
class TV_API ran1_stream {
public:
    // What ran1 and gasdev keep between calls: the shuffle table, the value
    // last taken from it (0: not seeded yet) and the waiting Gaussian deviate.
    struct state {
        long iv[32] = {};
        long iy = 0;
        int iset = 0;
        float gset = 0.0f;
    };

    explicit ran1_stream(long seed = -1);
    float uniform();
    float gaussian();
    // As passing a new value in *idum: a negative seed restarts the sequence
    // on the next draw; a waiting Gaussian deviate is still returned first.
    void reseed(long seed);
    // The value *idum would hold now (the generator state after a draw).
    long idum() const { return idum_; }

private:
    long idum_;
    state state_;
};

}  // namespace tessivane

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

// ---- Linear least squares ----

// Fits y = sum_j a[j] X_j(x), j = 1..ma, to the points x, y, sig [1..ndata]
// by minimising chi-square through the SVD of the weighted design matrix.
// funcs(x, p, ma) stores X_1(x)..X_ma(x) in p[1..ma]; it is called once per
// point in order, then once more per point for chi-square. Writes a[1..ma],
// u[1..ndata][1..ma] (U of the design matrix), v[1..ma][1..ma], w[1..ma] (the
// singular values, those below 1e-5 times the largest set to 0, ready for
// svdvar) and *chisq. sig[i] must be non-zero. Does not report SVD
// non-convergence itself (see tessivane::last_svd_converged()).
// Fatal, before anything is allocated or written, when ma < 1:
// "svdfit: ma = <ma>, there must be at least one basis function".
// [thread-safe] on distinct arrays (if funcs is).
TV_API void svdfit(float *x, float *y, float *sig, int ndata, float *a, int ma, float **u,
                   float **v, float *w, float *chisq, void (*funcs)(float, float *, int));

// Polynomial basis for svdfit: p[1..np] = 1, x, x^2, ..., x^(np-1); np >= 1.
TV_API void fpoly(float x, float *p, int np);

// ---- Nonlinear least squares ----

// Model callback: funcs(x, a, &y, dyda, na) stores y(x; a[1..na]) in *y and
// the derivatives dy/da[j] in dyda[1..na].

// One Levenberg-Marquardt iteration per call for fitting a[1..ma] (ia[j] != 0:
// fitted; 0: held) to x, y, sig [1..ndata]. *alamda is the command:
// - < 0: start a fit (an unfinished earlier fit is discarded), lambda = 0.001,
//   then one iteration;
// - > 0: one iteration; on a lower chi-square the step is accepted (a, alpha,
//   *chisq updated, lambda / 10), otherwise rejected (lambda * 10, *chisq set
//   back to the accepted value);
// - == 0: finish: covar[1..ma][1..ma] receives the covariance of the accepted
//   parameters (zero rows and columns for held ones); a, alpha and *chisq are
//   not touched.
// alpha[1..mfit][1..mfit] holds the packed curvature, covar is scratch until
// the finishing call. ia must not change during a fit. Ends the process with
// "mrqmin: no fit in progress (start one with alamda < 0)" for an iteration
// or finishing call without a fit, with "no rows in matrix()" when a fit is
// started with no parameter to fit (every ia[j] = 0), and with the gaussj
// messages on a singular curvature matrix. After a throw (errors.h) no fit is
// in progress and its work storage is released; a is unchanged, alpha, covar
// and *chisq hold unspecified floats, and *alamda keeps the value it had on
// entry unless the throw came after the initialising call set it to 0.001.
// [process-wide state: not thread-safe] One fit per process; a thread runs
// its own fit with a tessivane::lm_fit.
TV_API void mrqmin(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                   float **covar, float **alpha, float *chisq,
                   void (*funcs)(float, float *, float *, float *, int), float *alamda);

// Chi-square (*chisq), beta[1..mfit] (half the negative gradient) and the
// curvature alpha[1..mfit][1..mfit] over the fitted parameters, in increasing
// parameter order, at a[1..ma]. Derivatives the model does not write count as 0.
TV_API void mrqcof(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                   float **alpha, float *beta, float *chisq,
                   void (*funcs)(float, float *, float *, float *, int));

// Spreads the packed mfit x mfit covariance in the leading block of
// covar[1..ma][1..ma] to the full parameter set, with zero rows and columns
// for the parameters whose ia[j] is 0.
TV_API void covsrt(float **covar, int ma, int *ia, int mfit);

// Sum of Gaussians a[i] * exp(-((x - a[i+1]) / a[i+2])^2) over the triples
// i = 1, 4, 7, ... of a[1..na]; writes *y and dyda for each whole triple.
// Parameters past the last whole triple are ignored and get no derivative.
TV_API void fgauss(float x, float *a, float *y, float *dyda, int na);

namespace tessivane {

typedef void (*lm_model)(float, float *, float *, float *, int);

// When lm_fit::run() stops iterating. A step is small when it was accepted and
// lowered chi-square by less than absolute_drop + relative_drop * chi-square;
// run() stops after quiet_steps small steps in a row (rejected steps neither
// count nor break the run), when chi-square reaches 0, when lambda exceeds
// max_lambda (no step lowers chi-square any more), or after max_iterations
// calls.
struct lm_stopping_rule {
    int max_iterations = 200;
    double absolute_drop = 1.0e-3;
    double relative_drop = 1.0e-4;
    int quiet_steps = 2;
    float max_lambda = 1.0e10f;
};

struct lm_outcome {
    enum reason { iteration_limit, converged, stalled };
    reason stop = iteration_limit;  // stalled: lambda exceeded max_lambda
    int iterations = 0;             // calls before the finishing one
    float lambda_at_stop = 0.0f;
};

// One Levenberg-Marquardt fit with its own work storage: step() is mrqmin()
// (same arguments, same protocol through *alamda, the same results bit for
// bit) on this object's state instead of the process-wide one. Fatal
// conditions and the state after a throw are as for mrqmin().
// [thread-safe] Distinct objects may fit on distinct threads at once.
class TV_API lm_fit {
public:
    lm_fit();
    ~lm_fit();  // releases the storage of an unfinished fit
    lm_fit(const lm_fit &) = delete;
    lm_fit &operator=(const lm_fit &) = delete;

    void step(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma, float **covar,
              float **alpha, float *chisq, lm_model funcs, float *alamda);

    // Runs a whole fit from a[1..ma]: the initialising call, iteration calls
    // until the stopping rule says stop, then the finishing call. Leaves the
    // fitted parameters in a, their covariance in covar, the curvature in
    // alpha and the chi-square in *chisq, as the finishing call of mrqmin does.
    lm_outcome run(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                   float **covar, float **alpha, float *chisq, lm_model funcs,
                   const lm_stopping_rule &rule = lm_stopping_rule());

    // True between an initialising call and the finishing call.
    bool in_progress() const { return active_; }

private:
    __attribute__((visibility("hidden"))) void iterate(float *x, float *y, float *sig, int ndata,
                                                       float *a, int *ia, int ma, float **covar,
                                                       float **alpha, float *chisq, lm_model funcs,
                                                       float *alamda);
    __attribute__((visibility("hidden"))) void release_storage();

    bool active_ = false;
    int ma_ = 0;
    int mfit_ = 0;
    float ochisq_ = 0.0f;
    float *atry_ = nullptr;
    float *beta_ = nullptr;
    float *da_ = nullptr;
    float **oneda_ = nullptr;
};

}  // namespace tessivane

// ---- p-values for the two-sample tests ----
//
// ttest(), tutest() and kstwo() deliver their statistic only. Their two-sided
// p-values: ttest's t with t_to_p(t, n1 + n2 - 2); tutest's t with
// t_to_p_real(t, welch_df(...)) on the same samples; kstwo's D with
// kstwo_prob(d, n1, n2). [thread-safe] No state.

// Welch-Satterthwaite degrees of freedom of tutest()'s t for data1[1..n1] and
// data2[1..n2] (only read): (q1 + q2)^2 / (q1^2 / (n1 - 1) + q2^2 / (n2 - 1))
// with q = var / n as tutest() forms it, the ratio in double, rounded to float.
// Lies between min(n1, n2) - 1 and n1 + n2 - 2. When both variances are
// exactly 0 (tutest() then gives t = 0) it returns n1 + n2 - 2. Needs n1, n2 >= 2.
TV_API float welch_df(float data1[], unsigned long n1, float data2[], unsigned long n2);

// Two-sided p of t with df > 0 degrees of freedom, df not necessarily whole:
// betai(df / 2, 1 / 2, df / (df + t^2)), the same steps as t_to_p(), which it
// matches bit for bit for whole df. t = 0 gives 1.
TV_API float t_to_p_real(float t, float df);

// Significance of the two-sample Kolmogorov-Smirnov D of kstwo() for samples of
// n1 and n2 values: probks((ne + 0.12 + 0.11 / ne) * d) with the effective size
// ne = sqrt(n1 n2 / (n1 + n2)), the argument formed in double and rounded to
// float. This is the asymptotic distribution with the usual small-sample
// correction of its argument, an approximation that improves as ne grows; for
// a few values per sample an exact permutation count is more accurate.
// D = 0 gives 1. Needs n1, n2 >= 1.
TV_API float kstwo_prob(float d, unsigned long n1, unsigned long n2);

#endif
