"""Argument conversion and checks shared by the wrappers.

Every array argument becomes a C-contiguous float32 (or complex64) array, the
type the library computes in; shape and size problems raise ValueError and
unsuitable types TypeError, before the library is called.
"""

import operator

import numpy as np

_REAL_KINDS = "biuf"


def real(x, name, dtype=np.float32):
    """x as a C-contiguous array of dtype; float64 values are rounded."""
    a = np.asarray(x)
    if a.dtype.kind not in _REAL_KINDS:
        raise TypeError(f"{name}: expected real numbers, got an array of {a.dtype}")
    return np.asarray(a, dtype=dtype, order="C")


def complex64(z, name):
    a = np.asarray(z)
    if a.dtype.kind not in _REAL_KINDS + "c":
        raise TypeError(f"{name}: expected complex numbers, got an array of {a.dtype}")
    return np.asarray(a, dtype=np.complex64, order="C")


def vector(x, name, minimum=1):
    """A 1-D float32 array of at least `minimum` elements."""
    a = real(x, name)
    if a.ndim != 1:
        raise ValueError(f"{name}: expected a 1-D array, got shape {a.shape}")
    if a.size < minimum:
        raise ValueError(f"{name}: needs at least {minimum} values, got {a.size}")
    return a


def matrix(a, name, square=False):
    """A 2-D float32 array with at least one row and one column."""
    m = real(a, name)
    if m.ndim != 2 or m.shape[0] < 1 or m.shape[1] < 1:
        raise ValueError(f"{name}: expected a non-empty 2-D array, got shape {m.shape}")
    if square and m.shape[0] != m.shape[1]:
        raise ValueError(f"{name}: expected a square matrix, got shape {m.shape}")
    return m


def same_length(name, *arrays):
    if len({a.size for a in arrays}) != 1:
        sizes = ", ".join(str(a.size) for a in arrays)
        raise ValueError(f"{name}: the arrays must have the same length, got {sizes}")


def counts(n, name, minimum):
    """Whole numbers >= minimum as an array of C unsigned long (uint64)."""
    a = np.asarray(n)
    if a.dtype.kind == "f":
        if not np.all(np.isfinite(a) & (a == np.floor(a))):
            raise ValueError(f"{name}: expected whole numbers")
    elif a.dtype.kind not in "biu":
        raise TypeError(f"{name}: expected whole numbers, got an array of {a.dtype}")
    if np.any(a < minimum):
        raise ValueError(f"{name}: must be at least {minimum}")
    return a.astype(np.uint64)


def integer(k, name):
    try:
        return operator.index(k)
    except TypeError:
        raise TypeError(f"{name}: expected an integer, got {type(k).__name__}") from None


def power_of_two(n, minimum=1):
    return n >= minimum and n & (n - 1) == 0


def isign(value, name):
    s = integer(value, name)
    if s not in (1, -1):
        raise ValueError(f"{name}: isign must be +1 or -1, got {s}")
    return s


def scalar_or_array(out):
    """Python float for a 0-d result (the exact float32 value), else the array."""
    return float(out) if out.ndim == 0 else out
