"""Batched forms: the tests, correlation, line fit and special functions over
many series at once, and Levenberg-Marquardt fits of many rows, on the
library's thread pool.

Each series is handed to the library as the same float32 values in the same
order as a single call gets them, so every element of a batched result equals
the single call's bits whatever `threads` is. The GIL is released while the
pool works; Ctrl-C (KeyboardInterrupt) stops a batch within about 0.1 s.
"""

import operator
from collections import namedtuple

import numpy as np

from . import _arrays, _core

LMManyResult = namedtuple("LMManyResult",
                          "params covariance chisq outcome iterations lambda_at_stop message retried")

try:
    from numpy.lib.array_utils import normalize_axis_index  # NumPy >= 2
except ImportError:  # NumPy 1.x: the same rule, through the public API
    def normalize_axis_index(axis, ndim, msg_prefix=None):
        """axis (negative counts from the end) as an index into ndim axes;
        numpy's AxisError (a ValueError and an IndexError) when out of range."""
        axis = operator.index(axis)
        if not -ndim <= axis < ndim:
            raise np.AxisError(axis, ndim, msg_prefix)
        return axis % ndim


def series(x, axis, name):
    """x (float32) as a 2-D array of series along `axis`, with the layout flag
    and the shape of the other axes: (samples, series) and True when axis is
    the first axis (no copy for C-contiguous input), (series, samples) and
    False otherwise (a copy when axis is neither first nor last)."""
    a = _arrays.real(x, name)
    if a.ndim < 1:
        raise ValueError(f"{name}: expected an array, got a scalar")
    return along(a, axis, name)


def along(a, axis, name):
    """series() for an array `a` already of the library's type (C-contiguous)."""
    axis = normalize_axis_index(axis, a.ndim, name)
    n = a.shape[axis]
    rest = a.shape[:axis] + a.shape[axis + 1:]
    count = int(np.prod(rest, dtype=np.int64))  # -1 cannot stand for 0 series in reshape
    if axis == 0:
        return a.reshape(n, count), True, rest
    if axis != a.ndim - 1:
        a = np.ascontiguousarray(np.moveaxis(a, axis, -1))
    return a.reshape(count, n), False, rest


def pair(name, a, b, axis):
    """Two arrays of series along the same axis, with equal other axes."""
    sa, first, rest = series(a, axis, f"{name}: a")
    sb, _, rest_b = series(b, axis, f"{name}: b")
    if rest != rest_b:
        raise ValueError(f"{name}: the shapes apart from axis must agree, got {rest} and {rest_b}")
    return sa, sb, first, rest


def progress_bar(progress, total, desc):
    """A tqdm bar when progress is true and tqdm is installed, else None."""
    if not progress:
        return None
    try:
        from tqdm.auto import tqdm
    except ImportError:
        return None
    return tqdm(total=total, desc=desc, unit="row")


def run(name, a, b, axis, threads):
    """The two-sample batch _core.batch_<name> of the series of a and b along
    axis: its maps in the shape of the other axes, the two float32 arrays of
    series it ran on and the axis of their samples (0 or 1)."""
    sa, sb, first, rest = pair(name, a, b, axis)
    maps = getattr(_core, "batch_" + name)(sa, sb, first, threads, None)
    return tuple(m.reshape(rest) for m in maps), (sa, sb), 0 if first else 1


def lm_fit_many(x, y, a0="auto", model="gauss", sig=None, ia=None, rule=None, threads=None,
                progress=False):
    """Levenberg-Marquardt fits of every row of y, each by its own fit.

    y: (rows, n), one series per row. x and sig: (n,) for every row or
    (rows, n); sig defaults to ones. a0: the start, "auto" (each row's own
    start from its data, tessivane.gauss_start; the default), (ma,) for every
    row or (rows, ma). ia: (ma,) flags, 0 holds a parameter (default: all
    fitted). model: "gauss" (fgauss; ma a multiple of 3; with a0="auto" give
    ma as ia's length, default 3). rule: an LMStoppingRule (rule.retry refits
    stalled and degenerate rows from the automatic start).

    Each row gives the bits LMFit(x, y[i], a0[i], sig, ia).run(rule) gives.
    Returns LMManyResult(params (rows, ma), covariance (rows, ma, ma),
    chisq (rows,), outcome (rows,) strings, iterations, lambda_at_stop,
    message, retried). outcome is "converged" (at a minimum float arithmetic
    resolves: the rows to keep), "degenerate" (the curvature does not
    determine the parameters: a flat or runaway model; covariance NaN),
    "stalled", "iteration_limit", "small_steps", or "refused" (NaN or
    infinity in x, y or sig, a sig <= 0, or a row the library refused; params,
    covariance and chisq NaN); message[i] says why for every row that did not
    converge. retried[i]: the row was refitted from the automatic start. One
    refused row never stops the others; 0 rows give empty results.
    threads=None uses every CPU the process may use; progress=True shows a
    tqdm bar when tqdm is installed.
    """
    bar = progress_bar(progress, np.shape(y)[0] if np.ndim(y) else 0, "lm_fit_many")
    try:
        return LMManyResult(*_core.lm_fit_many(x, y, a0, model, sig, ia, rule, threads, bar))
    finally:
        if bar is not None:
            bar.close()
