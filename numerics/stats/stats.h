#ifndef TESSIVANE_STATS_H
#define TESSIVANE_STATS_H

// Two-sample tests, correlation (batch and incremental), the conversions between
// statistics, p-values and thresholds, and the p-values of the two-sample tests.
// The conventions of every numerics header (index bases, out-parameters, fatal
// conditions, thread safety) are stated once, in stat.h, which includes them all.

#include "nrutil.h"
#include "tessivane_export.h"

/** @defgroup stats Two-sample tests, correlation and p-values
 *  @{
 */

// ---- Two-sample tests ----

// Mean of data[1..n] into *ave and sample variance (divisor n - 1, corrected two-pass) into
// *var. Needs n >= 2 (n = 1 gives a variance that is not a number). Finite data whose float
// sums over- or underflow (deviations beyond about 1e19 or below about 1e-19) are summed again
// scaled by a power of two; a variance beyond float's range is then inf, or subnormal or 0.
// The variance keeps fewer than three correct digits once |mean| / (max - min) exceeds
// about 1.4e4 (n = 10) to 5e4 (n = 10^4) (docs/accuracy.md).
TV_API void avevar(float data[], unsigned long n, float *ave, float *var);

// Student's t with pooled variance for data1[1..n1] and data2[1..n2] into *t; t = 0 when the
// pooled variance is exactly 0. Needs n1 + n2 > 2. *prob is not written (see t_to_p()).
// Where the pooled variance or the difference of means over- or underflows in float (finite
// data beyond about 1e18 or below about 1e-19), both samples are scaled by one power of two
// and the t formed again: t does not depend on the scale.
// Precision (ttest and tutest): the means are float sums, so t keeps fewer than three correct
// digits once |mean| / (max - min) of a sample exceeds about 1.5e3 at n = 10, 240 at 100, 70
// at 1000 and 20 at 10^4 (docs/accuracy.md); subtracting one offset from both samples first
// leaves t unchanged and avoids it.
TV_API void ttest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
                  float *prob);

// Welch's t for samples of unequal variance into *t; t = 0 when both variances are exactly 0.
// Over- and underflow are answered as in ttest(). *prob is not written.
TV_API void tutest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
                   float *prob);

// Two-sample Kolmogorov-Smirnov D into *d. Sorts data1[1..n1] and data2[1..n2] ascending in
// place (they stay sorted). The walk stops when either sample is exhausted. A NaN in either
// sample gives *d = NaN. *prob is not written (see probks()). Ends the process only through
// sort() ("NSTACK too small in sort.").
// The distance is measured once both samples have stepped past a value (ties across the
// samples open no gap): D is the largest distance between the two empirical distributions.
TV_API void kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2, float *d,
                  float *prob);

// ---- Correlation ----

// Pearson's r of x[1..n] and y[1..n] into *r (0 when either sample has no spread, or when a
// sample is not finite). Where the float sums of squares or their product over- or underflow
// (finite data beyond about 1e10 or below about 1e-10), x and y are each scaled by a power of
// two and the sums formed again: r does not depend on the scale. r is within [-1, 1] (a value
// rounded beyond is +-1). *prob and *z are not written.
// Precision (pearsn and pearsn_prob): r keeps fewer than three correct digits once
// |mean| / (max - min) of x or y exceeds about 2e4 (n up to 1000) or 2e3 (n = 10^4, where the
// float means move by more than the spread) (docs/accuracy.md).
TV_API void pearsn(float x[], float y[], unsigned long n, float *r, float *prob, float *z);

// Pearson's r into *r (the final division in double, so it may differ from pearsn() in the
// last bit) and its two-sided significance from Student's t with n - 2 degrees of freedom
// into *prob (1 when r = 0). Over- and underflow as in pearsn(). Needs n >= 3. *z is not
// written.
TV_API void pearsn_prob(float x[], float y[], unsigned long n, float *r, float *prob, float *z);

// Spearman rank correlation of data1[1..n] and data2[1..n] (only read). Always writes the
// sum of squared rank differences *d. Normally writes its normal deviate *zd, the two-sided
// significance *probd of *zd, and the tie-corrected coefficient *rs; *probrs is then not
// written. When a sample has all values equal, writes *rs = 0 and *probrs = 0 and leaves *zd
// and *probd untouched. Needs n >= 2. Uses two scratch vectors, released before returning.
// *rs is within [-1, 1] (a value rounded beyond is +-1).
// [thread-safe] No state (the float square is formed without shared temporaries).
TV_API void spear(float data1[], float data2[], unsigned long n, float *d, float *zd, float *probd,
                  float *rs, float *probrs);

// ---- Incremental correlation and regression ----

// Adds the sample (x, y) to the caller's running state (n: count, ax/ay: sums of x and y,
// sxx/syy/sxy: one-pass sums of squares and products about the running means; all 0 before
// the first sample) and writes the current Pearson r into *r (0 until both x and y spread).
// The one-pass sums differ from pearsn()'s batch sums from the third sample on. Where the float
// product sxx * syy over- or underflows, r is formed with the product in double; the float
// state itself over- or underflows for data beyond about 1e19 or below about 1e-19.
TV_API void pearsn_inc(float x, float y, float &n, float &ax, float &ay, float &sxx, float &syy,
                       float &sxy, float *r);

// Adds (x, y) to the same running state and writes the current least-squares line
// y = *a + *b x and the running mean of y into *ym (*b = 0 until the x values spread).
TV_API void regr_inc(float x, float y, float &n, float &ax, float &ay, float &sxx, float &syy,
                     float &sxy, float *a, float *b, float *ym);

// ---- Probability and threshold conversions ----

// Two-sided p of t with df >= 1 degrees of freedom (t = 0 gives 1). df / (df + t^2) is
// formed in float, so the relative error of p (p <= 0.5) grows about as df times float's
// epsilon: measured worst 1e-5 at df = 200, 5e-5 at 1000, 7e-4 at 10^4, 0.55% at 10^5 and
// 5% at 10^6 (docs/accuracy.md). t_to_p_real() takes the same steps.
TV_API float t_to_p(float t, unsigned long df);

// Two-sided p of the correlation r from n pairs (n - 2 degrees of freedom). Returns 1 for
// n < 2 and for r = 0, 0 for r = 1.
TV_API float r_to_p(float r, unsigned long n);

// Upper-tail p of F with df_1 (numerator) and df_2 (denominator) degrees of freedom. Returns 0
// for F < 0 and 1 for F = 0.
TV_API float F_to_p(float F, unsigned long df_1, unsigned long df_2);

// The t whose two-sided p is p: exactly 25 steps of a search that starts at 4 with step 2 and
// halves the step at each change of direction (largest reachable value 54). Accuracy of the
// three searches (p in [1e-7, 0.5], df 1..1000, answers within reach): median relative error
// about 1e-5, but the step left after 25 moves can be large: p_to_t up to 0.5%, p_to_F up to
// 2.2% (docs/accuracy.md).
TV_API float p_to_t(float p, unsigned long df);

// The r whose two-sided p is p; df is the number of samples, as for r_to_p(). Same search,
// start 0.4, step 0.2, but at most 1: where no float r below 1 reaches p the search climbs
// past 1 (where r_to_p() is not a number) and the answer is 1.
TV_API float p_to_r(float p, unsigned long df);

// The F whose upper-tail p is p. Same search, start 10, step 2 (largest reachable value 60).
TV_API float p_to_F(float p, unsigned long df_1, unsigned long df_2);

// sign(1 - p) * sqrt(-4 ln|1 - p|); p = 1 is replaced by 0.99999988, giving about 7.986.
TV_API float p_to_z(float pvalue);

// ---- p-values for the two-sample tests ----
//
// ttest(), tutest() and kstwo() deliver their statistic only. Their two-sided
// p-values: ttest's t with t_to_p(t, n1 + n2 - 2); tutest's t with
// t_to_p_real(t, welch_df(...)) on the same samples; kstwo's D with
// kstwo_prob_exact(d, n1, n2) for small samples, kstwo_prob(d, n1, n2) for
// large ones. [thread-safe] No state.

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
// a few values per sample kstwo_prob_exact() is the exact answer.
// D = 0 gives 1. Needs n1, n2 >= 1.
// Which to use: kstwo_prob_exact() wherever it is allowed (n1 * n2 up to 10^8,
// under a second). Near p = 0.01 to 0.05 with equal samples the asymptotic p
// is 30 to 45 percent low at 10 values per sample, 19 to 23 percent at 50,
// 14 to 16 at 100, 8 to 10 at 300, 4 to 5 at 1000 and still about 1 percent at
// 10^4 (docs/accuracy.md); in the far tail it can be off by a factor of ten. Beyond that limit
// kstwo_prob() is the only choice, and there it is good to about a percent.
TV_API float kstwo_prob(float d, unsigned long n1, unsigned long n2);

// Exact two-sided significance P(D >= d) of the two-sample Kolmogorov-Smirnov
// D for samples of n1 and n2 values without ties (continuous data), under the
// null hypothesis that both come from one distribution. Counts the lattice
// paths from (0, 0) to (n1, n2) (the merged order of the samples) that reach
// |i / n1 - j / n2| >= d, as probabilities in double (no cancellation for tiny
// p, no overflow of C(n1 + n2, n1)), rounded to float at the end.
// A d within 2^-20 (about 1e-6) of an attainable D, or within half the spacing
// 1 / (n1 n2) of the attainable values when that is smaller, counts as that D,
// so the D of kstwo() is found despite its float rounding. d <= 0 gives 1, d
// above 1 gives 0, a NaN d gives NaN. Time grows as n1 * n2 (about 0.6 s at
// n1 = n2 = 10^4), memory as min(n1, n2).
// Fatal: "kstwo_prob_exact: n1 = <n1>, n2 = <n2>: each sample needs at least
// one value" when n1 or n2 is 0; "kstwo_prob_exact: n1 * n2 = <n1> * <n2>
// exceeds 10^8: use kstwo_prob for samples this large".
// [thread-safe] No state.
TV_API float kstwo_prob_exact(float d, unsigned long n1, unsigned long n2);

/** @} */

#endif
