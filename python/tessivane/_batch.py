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
                          "params covariance chisq outcome iterations lambda_at_stop message")

# Stop codes of _core.lm_fit_many, in order.
OUTCOMES = ("iteration_limit", "converged", "stalled", "refused", "not_run")

# Below this many series or elements a batch runs on one thread unless
# `threads` says otherwise: starting workers costs more than it saves.
_SMALL = 2048


def threads_for(threads, work):
    """The pool size: threads (>= 1), or 0 (all the CPUs this process may use)
    when threads is None and the work is large, 1 when it is small."""
    if threads is None:
        return 0 if work >= _SMALL else 1
    t = operator.index(threads)
    if t < 1:
        raise ValueError(f"threads must be at least 1, got {t}")
    return t


def series(x, axis, name, minimum=1):
    """x (float32) as a 2-D array of series along `axis`, with the layout flag
    and the shape of the other axes: (samples, series) and True when axis is
    the first axis (no copy for C-contiguous input), (series, samples) and
    False otherwise (a copy when axis is neither first nor last)."""
    a = _arrays.real(x, name)
    if a.ndim < 1:
        raise ValueError(f"{name}: expected an array, got a scalar")
    return along(a, axis, name, minimum)


def along(a, axis, name, minimum=1):
    """series() for an array `a` already of the library's type (C-contiguous)."""
    try:
        axis = np.core.multiarray.normalize_axis_index(axis, a.ndim)
    except np.AxisError as bad:
        raise ValueError(f"{name}: {bad}") from None
    n = a.shape[axis]
    if n < minimum:
        raise ValueError(f"{name}: needs at least {minimum} values along axis {axis}, got {n}")
    rest = a.shape[:axis] + a.shape[axis + 1:]
    count = int(np.prod(rest, dtype=np.int64))  # -1 cannot stand for 0 series in reshape
    if axis == 0:
        return a.reshape(n, count), True, rest
    if axis != a.ndim - 1:
        a = np.ascontiguousarray(np.moveaxis(a, axis, -1))
    return a.reshape(count, n), False, rest


def pair(name, a, b, axis, minimum, same_length=False):
    """Two arrays of series along the same axis, with equal other axes."""
    sa, first, rest = series(a, axis, f"{name}: a", minimum)
    sb, _, rest_b = series(b, axis, f"{name}: b", minimum)
    if rest != rest_b:
        raise ValueError(f"{name}: the shapes apart from axis must agree, got {rest} and {rest_b}")
    if same_length and sa.shape != sb.shape:
        raise ValueError(f"{name}: the series must have the same length")
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


def run(core, sa, sb, first, rest, threads):
    """The batch core(sa, sb, first, threads, bar) with its maps in the shape rest."""
    count = int(np.prod(rest, dtype=np.int64))
    maps = core(sa, sb, first, threads_for(threads, count), None)
    return tuple(m.reshape(rest) for m in maps)


def lm_fit_many(x, y, a0, model="gauss", sig=None, ia=None, rule=None, threads=None,
                progress=False):
    """Levenberg-Marquardt fits of every row of y, each by its own fit.

    y: (rows, n), one series per row. x and sig: (n,) for every row or
    (rows, n); sig defaults to ones. a0: the start, (ma,) for every row or
    (rows, ma). ia: (ma,) flags, 0 holds a parameter (default: all fitted).
    model: "gauss" (fgauss; ma a multiple of 3). rule: an LMStoppingRule.

    Each row gives the bits LMFit(x, y[i], a0[i], sig, ia).run(rule) gives.
    Returns LMManyResult(params (rows, ma), covariance (rows, ma, ma),
    chisq (rows,), outcome (rows,) strings: "converged", "stalled",
    "iteration_limit", or "refused" with the library's text in message[i]
    (for example a singular curvature matrix; its params are NaN), iterations,
    lambda_at_stop, message). One refused row never stops the others.
    threads=None uses every CPU the process may use; progress=True shows a
    tqdm bar when tqdm is installed.
    """
    from ._fit import LMStoppingRule

    if not (isinstance(model, str) and model == "gauss"):
        raise TypeError('lm_fit_many: model must be "gauss" (use LMFit for a Python model)')
    y = _arrays.real(y, "lm_fit_many: y")
    if y.ndim != 2 or y.shape[1] < 1:
        raise ValueError(f"lm_fit_many: y must be (rows, n), got shape {y.shape}")
    rows, n = y.shape
    x = _rows_or_one(x, rows, n, "lm_fit_many: x")
    sig = None if sig is None else _rows_or_one(sig, rows, n, "lm_fit_many: sig")
    a0 = _arrays.real(a0, "lm_fit_many: a0")
    if a0.ndim not in (1, 2) or a0.shape[-1] < 1 or (a0.ndim == 2 and a0.shape[0] != rows):
        raise ValueError(f"lm_fit_many: a0 must be (ma,) or ({rows}, ma), got shape {a0.shape}")
    ma = a0.shape[-1]
    if ma % 3:
        raise ValueError("lm_fit_many: the Gaussian model takes (amplitude, centre, width) triples")
    if ia is None:
        ia = np.ones(ma, dtype=np.intc)
    else:
        ia = np.ascontiguousarray(np.asarray(ia) != 0, dtype=np.intc)
        if ia.shape != (ma,):
            raise ValueError(f"lm_fit_many: ia must have shape ({ma},), got {ia.shape}")
        if not ia.any():
            raise ValueError("lm_fit_many: ia holds every parameter, there is nothing to fit")
    r = rule if rule is not None else LMStoppingRule()
    rule_tuple = (int(r.max_iterations), float(r.absolute_drop), float(r.relative_drop),
                  int(r.quiet_steps), float(r.max_lambda))
    bar = progress_bar(progress, rows, "lm_fit_many")
    try:
        params, covariance, chisq, stop, iterations, lam, messages = _core.lm_fit_many(
            x, y, a0, sig, ia, rule_tuple, threads_for(threads, 64 * rows), bar)
    finally:
        if bar is not None:
            bar.close()
    outcome = np.array(OUTCOMES, dtype=object)[stop].astype(str)
    return LMManyResult(params, covariance, chisq, outcome, iterations, lam,
                        np.array(messages, dtype=str))


def _rows_or_one(a, rows, n, name):
    a = _arrays.real(a, name)
    if a.shape not in ((n,), (rows, n)):
        raise ValueError(f"{name}: expected shape ({n},) or ({rows}, {n}), got {a.shape}")
    return a
