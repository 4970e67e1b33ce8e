"""The conversions the pure-Python wrappers still make themselves (the
extension _core checks and converts the arguments it is given): real arrays
for the batches' axis handling, counts given as whole numbers, and scalar
results."""

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


def scalar_or_array(out):
    """Python float for a 0-d result (the exact float32 value), else the array."""
    return float(out) if out.ndim == 0 else out
