"""Sorting, ranking and selection; every function works on a copy."""

from collections import namedtuple

import numpy as np

from . import _arrays, _core

CrankResult = namedtuple("CrankResult", "ranks s")


def sort(x):
    """x sorted ascending (quicksort; NaNs end up in an unspecified order)."""
    return _core.sort(_arrays.vector(x, "sort: x", 0))


def hpsort(x):
    """x sorted ascending by heap sort."""
    return _core.hpsort(_arrays.vector(x, "hpsort: x", 0))


def sort2(a, b):
    """a sorted ascending, and b with every move of a applied to it: (a_sorted, b_moved)."""
    a = _arrays.vector(a, "sort2: a", 0)
    b = _arrays.vector(b, "sort2: b", 0)
    _arrays.same_length("sort2", a, b)
    return _core.sort2(a, b)


def crank(w):
    """Ranks 1..n of the ascending-sorted w; ties get the mean of the ranks they span.

    Returns CrankResult(ranks, s) with s = sum over runs of t >= 2 equal values of
    t^3 - t. Ranks are 1-based, as the statistics use them. Raises ValueError when
    w is not sorted ascending (sort it with sort or sort2 first).
    """
    w = _arrays.vector(w, "crank: w", 0)
    if not np.all(w[1:] >= w[:-1]):
        raise ValueError("crank: w must be sorted ascending (and free of NaNs)")
    return CrankResult(*_core.crank(w))


def select(x, k):
    """The k-th smallest value of x, k 0-based (k = 0 is the minimum).

    k counts like numpy.partition's kth: select(x, k) == numpy.partition(x, k)[k].
    float input is rounded to float32 and gives a float; uint16 input is compared
    as unsigned 16-bit integers (select_ushort) and gives an int. NaNs give an
    undefined result.
    """
    k = _arrays.integer(k, "select: k")
    a = np.asarray(x)
    ushort = a.dtype == np.uint16
    a = np.ascontiguousarray(a) if ushort else _arrays.real(a, "select: x")
    if a.ndim != 1 or a.size == 0:
        raise ValueError(f"select: expected a non-empty 1-D array, got shape {a.shape}")
    if not 0 <= k < a.size:
        raise ValueError(f"select: k = {k} is outside 0..{a.size - 1}")
    value, _ = (_core.select_ushort if ushort else _core.select)(a, k + 1)
    return int(value) if ushort else float(value)
