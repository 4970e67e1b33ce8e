"""Sorting, ranking and selection; every function works on a copy."""

from collections import namedtuple

from . import _core

CrankResult = namedtuple("CrankResult", "ranks s")


def sort(x):
    """x sorted ascending (quicksort; NaNs end up in an unspecified order)."""
    return _core.sort(x)


def hpsort(x):
    """x sorted ascending by heap sort."""
    return _core.hpsort(x)


def sort2(a, b):
    """a sorted ascending, and b with every move of a applied to it: (a_sorted, b_moved)."""
    return _core.sort2(a, b)


def crank(w):
    """Ranks 1..n of the ascending-sorted w; ties get the mean of the ranks they span.

    Returns CrankResult(ranks, s) with s = sum over runs of t >= 2 equal values of
    t^3 - t. Ranks are 1-based, as the statistics use them. Raises ValueError when
    w is not sorted ascending (sort it with sort or sort2 first).
    """
    return CrankResult(*_core.crank(w))


def select(x, k):
    """The k-th smallest value of x, k 0-based (k = 0 is the minimum).

    k counts like numpy.partition's kth: select(x, k) == numpy.partition(x, k)[k].
    float input is rounded to float32 and gives a float; uint16 input is compared
    as unsigned 16-bit integers (select_ushort) and gives an int. NaNs give an
    undefined result.
    """
    return _core.select(x, k)
