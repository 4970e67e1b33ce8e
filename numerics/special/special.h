#ifndef TESSIVANE_SPECIAL_H
#define TESSIVANE_SPECIAL_H

// Special functions of the statistics: ln Gamma, the incomplete gamma and beta
// functions, erfc and the Kolmogorov-Smirnov tail.
// The conventions of every numerics header (index bases, out-parameters, fatal
// conditions, thread safety) are stated once, in stat.h, which includes them all.

#include "nrutil.h"
#include "tessivane_export.h"

/** @defgroup special Special functions
 *  @{
 */

// ---- Special functions ----

// ln Gamma(xx) for xx > 0 (Lanczos, six terms: Gamma to a relative error below 2e-10, so
// ln Gamma to an absolute error below 2e-10; near xx = 1 and 2, where ln Gamma is 0, the
// relative error of ln Gamma is larger). Computed in double throughout; xx is not checked.
TV_API double gammln(double xx);

// Q(a, x) = 1 - P(a, x), the regularised upper incomplete gamma function: by the series of
// gser() when x < a + 1, otherwise by the continued fraction of gcf(). Always in [0, 1]. Where
// the series' P lies above 1 - 2^-10 and a < 1e-3 (tiny a), Q is formed directly from the
// small-a expansion in double instead of as 1 - P in float, to float accuracy.
// Fatal: "Invalid arguments in routine gammq" when x < 0, a <= 0 or either is NaN.
// Accuracy at large a: gser() and gcf() scale their sums by exp(-x + a ln x - ln Gamma(a))
// with ln Gamma(a) rounded to float, whose rounding error (up to half a float step of
// ln Gamma(a), about 3e-8 a ln a) becomes a relative error of the same size in P or Q.
// Measured for x within a +- 4 sqrt(a) (docs/accuracy.md): worst 1.4e-5 at a = 100, 2e-4 at
// 1000, 0.13% at 1e4, 4% at 1e5 and 35% at 1e6; at a = 1e7 results (clamped to [0, 1]) are
// off by up to a factor of 200 and carry no information beyond the side of x = a they fall on;
// above 2^24 the points near x = a are fatal (gser).
TV_API float gammq(float a, float x);

// P(a, x) by its power series into *gamser, and ln Gamma(a) (rounded to float) into *gln.
// x = 0 gives *gamser = 0. Up to 100 + 6 sqrt(a) terms, enough for every a up to 2^24 and
// x < a + 1. Fatal: "x less than 0 in routine gser" for x < 0, "a too large, ITMAX too small
// in routine gser" when the terms do not converge (a NaN argument, or a above 2^24 with x
// near a, where a + n no longer changes in float). A P rounded above 1 is written as 1.
TV_API void gser(float *gamser, float a, float x, float *gln);

// Q(a, x) by its continued fraction (modified Lentz) into *gammcf, and ln Gamma(a) (rounded to
// float) into *gln. Meant for x >= a + 1; up to 100 + 6 sqrt(a) iterations. Fatal:
// "a too large, ITMAX too small in gcf" when they do not converge (e.g. a NaN argument).
// A Q rounded above 1 is written as 1.
TV_API void gcf(float *gammcf, float a, float x, float *gln);

// I_x(a, b), the regularised incomplete beta function, for a, b > 0 (not checked).
// x outside [0, 1] returns 0 without a message; x = 0 gives 0 and x = 1 gives 1. The result
// is in [0, 1].
TV_API float betai(float a, float b, float x);

// The continued fraction of the incomplete beta function (modified Lentz, in double), as used
// by betai(). After 100 iterations without convergence the last approximation is returned.
TV_API float betacf(double a, double b, double x);

// erfc(x) by a fitted approximation with fractional error below 1.2e-7; x * x is formed in
// float, which adds up to about x^2 / 2 float epsilons of relative error in the tail (about
// 4e-6 at |x| = 8.5). erfcc(-x) is 2 - erfcc(x).
TV_API float erfcc(float x);

// Kolmogorov-Smirnov tail Q_KS(alam) = 2 sum_{j>=1} (-1)^(j-1) exp(-2 j^2 alam^2), summed in
// float, at most 1 (the float sum rounds above 1 for alam up to about 0.26). Returns 1.0 when
// 100 terms do not converge (alam up to about 0.03, where Q is 1) and 0 when the first term
// underflows (large alam).
TV_API float probks(float alam);

/** @} */

#endif
