"""Fourier transforms in the library's conventions.

Sign: isign = +1 is the exponent +2*pi*i, F_k = sum_j x_j exp(+2*pi*i*j*k/n),
the opposite of numpy.fft.fft's default; so four1(z) equals
n * numpy.fft.ifft(z) and four1(z, -1) equals numpy.fft.fft(z) up to rounding.
No transform normalises: the inverse returns the data times the number of
complex points (four1, fourn) or times half the number of real points
(realft, rlft3). Lengths must be powers of two (ValueError otherwise). Every
function returns a new array; the input is left alone.
"""


import numpy as np

from . import _arrays, _batch, _core

_MANY_DOC = """
    Many series: x of two or more dimensions holds a series along `axis`
    (default the last) for every index of the other axes. Each is transformed
    as the 1-D call transforms it, bit for bit, on the library's worker
    threads (threads: None takes every CPU the process may use for large
    batches), with the GIL released; Ctrl-C stops the batch. The result has
    x's shape.
"""


def four1(z, isign=1, *, axis=-1, threads=None):
    """Complex FFT of a 1-D complex64 array whose length is a power of two.

    Returns F_k = sum_j z_j exp(isign * 2*pi*i * j*k / n), k = 0..n-1, in natural
    order (the negative frequencies in the upper half), as complex64.
    """
    if np.ndim(z) > 1:
        return _many(_core.four1_many, _arrays.complex64(z, "four1: z"), isign, None, axis, threads,
                     "four1", 1)
    _one_series_axis("four1", axis)
    return _core.four1(z, isign)


def realft(x, isign=1, out=None, *, axis=-1, threads=None):
    """Real FFT of x (1-D, length n a power of two >= 2) in the packed layout.

    isign = +1 (forward): out[0] = F_0, out[1] = F_{n/2} (both real), and
    out[2k], out[2k+1] = Re, Im of F_k for k = 1..n/2-1, with
    F_k = sum_j x_j exp(+2*pi*i*j*k/n). realft_unpack turns it into the
    n/2 + 1 complex values numpy.fft.rfft lays out; numpy.fft.rfft(x) equals
    the complex conjugate of realft_unpack(realft(x)) up to rounding.
    isign = -1: the inverse of that packed form, the samples times n/2.
    out: a float32 C-contiguous array of x's shape to transform into instead
    of a new array (it may be x itself, for an in-place transform); returned.
    """
    if np.ndim(x) > 1:
        return _many(_core.realft_many, _arrays.real(x, "realft: x"), isign, out, axis, threads,
                     "realft", 2)
    _one_series_axis("realft", axis)
    return _core.realft(x, isign, out)


def _one_series_axis(name, axis):
    if axis not in (0, -1):
        raise ValueError(f"{name}: axis {axis} is out of bounds for one series")


def _many(core, a, sign, out, axis, threads, name, minimum):
    """core(series, out, samples_first, sign, threads) over the series of `a`
    along axis, in a's shape (into out when given)."""
    series, first, rest = _batch.along(a, axis, f"{name}: x")
    n = series.shape[0 if first else 1]
    if n < minimum or n & (n - 1):
        at_least = " >= 2" if minimum == 2 else ""
        raise ValueError(f"{name}: the series along axis {axis} must have a length that is a "
                         f"power of two{at_least}, got {n}")
    if out is not None and not (isinstance(out, np.ndarray) and out.dtype == a.dtype
                                and out.shape == a.shape and out.flags.c_contiguous
                                and out.flags.writeable):
        raise ValueError(f"{name}: out must be a writeable C-contiguous {a.dtype} array of shape {a.shape}")
    axis = _batch.normalize_axis_index(axis, a.ndim)
    last = axis == a.ndim - 1
    into = out.reshape(series.shape) if out is not None and (first or last) else None
    result = core(series, into, first, sign, threads)
    if first or last:
        return out if out is not None else result.reshape(a.shape)
    restored = np.moveaxis(result.reshape(rest + (n,)), -1, axis)
    if out is None:
        return restored
    out[...] = restored
    return out


four1.__doc__ += _MANY_DOC
realft.__doc__ += _MANY_DOC


def realft_unpack(packed):
    """The n/2 + 1 complex values F_0..F_{n/2} from realft's packed output.

    The layout of numpy.fft.rfft, in the library's sign convention: take the
    complex conjugate to compare with numpy.fft.rfft.
    """
    p = _arrays.vector(packed, "realft_unpack: packed", 2)
    if p.size % 2:
        raise ValueError("realft_unpack: the packed array has an even length")
    half = np.empty(p.size // 2 + 1, dtype=np.complex64)
    half[0] = p[0]
    half[-1] = p[1]
    half[1:-1] = p[2::2][: p.size // 2 - 1] + 1j * p[3::2][: p.size // 2 - 1]
    return half


def fourn(z, isign=1):
    """Multidimensional complex FFT of a complex64 array, every extent a power of two.

    F(k_1..k_d) = sum z(j_1..j_d) exp(isign * 2*pi*i * sum_d j_d k_d / n_d), over all
    axes of z (row-major, as NumPy stores it).
    """
    return _core.fourn(z, isign)


def rlft3(data, isign=1, speq=None):
    """Real 3-D (or 2-D) FFT in the library's packed layout.

    data has shape (nn1, nn2, nn3) or (nn2, nn3) (then nn1 = 1); nn1 and nn2
    are powers of two, nn3 a power of two >= 2.
    isign = +1: returns (packed, speq): packed[i1, i2, 2k], [2k+1] hold Re, Im of
    frequency (i1, i2, k), k = 0..nn3/2-1, and speq[i1, 2*i2], [2*i2+1] the
    Nyquist plane k = nn3/2; speq has shape (nn1, 2*nn2) (or (2*nn2,) for 2-D
    data). isign = -1: the inverse from (packed, speq), returning the real data
    times nn1*nn2*nn3/2 (and the speq the library leaves).
    """
    return _core.rlft3(data, isign, speq)
