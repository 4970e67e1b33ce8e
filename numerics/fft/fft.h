#ifndef TESSIVANE_FFT_H
#define TESSIVANE_FFT_H

// In-place fast Fourier transforms of complex and real data, in one and more
// dimensions. The twiddle-table cache of the fast paths is in fft_tables.h.
// The conventions of every numerics header (index bases, out-parameters, fatal
// conditions, thread safety) are stated once, in stat.h, which includes them all.

#include "nrutil.h"
#include "tessivane_export.h"

/** @defgroup fft Fourier transforms
 *  @{
 */

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

/** @} */

#endif
