"""The batched calls on Dask arrays, chunked along the voxel (series) axes.

    import tessivane.dask as tvd
    t, df, p = tvd.tutest(a, b, axis=0)          # a, b: dask arrays, samples along axis 0
    t_map = t.compute()                          # on whatever scheduler is active

Each function has the signature of the in-process one and returns Dask
arrays (lazy; call .compute() or dask.compute(...)). The sample axis is
gathered into one chunk and the other axes keep their chunks, so every block
is a batch of whole series: on one machine, on a dask.distributed
LocalCluster or on a site's scheduler the results are bit for bit those of
the in-process batch (each series meets the same single call). threads is the
pool size inside each task (default 1, leaving the parallelism to Dask's
workers; None takes every CPU the worker process may use).

Imported only on request (`import tessivane.dask`); needs python3-dask.
"""

import functools
from collections import namedtuple

import dask.array as da
import numpy as np

from . import _batch, _fft, _fit, _stats

__all__ = ["ttest", "tutest", "kstwo", "pearsn", "spear", "fit", "lm_fit_many", "realft", "four1"]

# The fields of the in-process LMManyResult, each a Dask array chunked over the
# rows; message is an object array of Python str (one per row, "" for a
# converged row), so that rows of any message length sit in one array.
LMManyDask = namedtuple("LMManyDask",
                        "params covariance chisq outcome iterations lambda_at_stop message retried")


def _series(x, axis, name):
    """x as a Dask float32 array of two or more dimensions, and axis as an
    index into its axes (numpy's AxisError when out of range)."""
    x = da.asarray(x)
    if x.ndim < 2:
        raise ValueError(f"{name}: expected an array of two or more dimensions")
    return x.astype(np.float32), _batch.normalize_axis_index(axis, x.ndim, name)


def _per_series(single, result, signature, arrays, axis, **kwargs):
    """single(*blocks, axis=-1, **kwargs) over the series along axis of the
    arrays: the sample axes gathered into one chunk, the other axes chunked
    alike; a result of Dask arrays of the other axes' shape."""
    nout = len(result._fields)

    def block(*blocks):
        return tuple(single(*blocks, axis=-1, **kwargs))

    out = da.apply_gufunc(block, signature + ",".join(["()"] * nout), *arrays,
                          axes=[(axis,)] * len(arrays) + [()] * nout,
                          output_dtypes=[np.float32] * nout, allow_rechunk=True)
    return result(*out)


def _two_sample(single, result, name, a, b, axis, threads):
    a, axis = _series(a, axis, f"{name}: a")
    b, _ = _series(b, axis, f"{name}: b")
    rest_a = a.shape[:axis] + a.shape[axis + 1:]
    rest_b = b.shape[:axis] + b.shape[axis + 1:]
    if rest_a != rest_b:
        raise ValueError(f"{name}: the shapes apart from axis must agree, got {rest_a} and {rest_b}")
    return _per_series(single, result, "(i),(j)->", (a, b), axis, threads=threads)


def ttest(a, b, axis=0, threads=1, *, alternative="two-sided"):
    """tessivane.ttest over Dask arrays: TtestResult of Dask arrays."""
    test = functools.partial(_stats.ttest, alternative=alternative)
    return _two_sample(test, _stats.TtestResult, "ttest", a, b, axis, threads)


def tutest(a, b, axis=0, threads=1, *, alternative="two-sided"):
    """tessivane.tutest over Dask arrays: TtestResult of Dask arrays."""
    test = functools.partial(_stats.tutest, alternative=alternative)
    return _two_sample(test, _stats.TtestResult, "tutest", a, b, axis, threads)


def kstwo(a, b, axis=0, threads=1, *, method="auto"):
    """tessivane.kstwo over Dask arrays: KstwoResult of Dask arrays (method as
    in tessivane.kstwo, chosen by the full sample sizes)."""
    test = functools.partial(_stats.kstwo, method=method)
    return _two_sample(test, _stats.KstwoResult, "kstwo", a, b, axis, threads)


def pearsn(x, y, axis=0, threads=1):
    """tessivane.pearsn over Dask arrays: PearsnResult of Dask arrays."""
    return _two_sample(_stats.pearsn, _stats.PearsnResult, "pearsn", x, y, axis, threads)


def spear(x, y, axis=0, threads=1):
    """tessivane.spear over Dask arrays: SpearResult of Dask arrays."""
    return _two_sample(_stats.spear, _stats.SpearResult, "spear", x, y, axis, threads)


def fit(x, y, sig=None, axis=0, threads=1):
    """tessivane.fit of every series of the Dask array y along axis; x and sig
    are NumPy vectors of n values (one abscissa for all series)."""
    y, axis = _series(y, axis, "fit: y")
    x = np.asarray(x, dtype=np.float32)
    sig = None if sig is None else np.asarray(sig, dtype=np.float32)
    if x.ndim != 1 or (sig is not None and sig.ndim != 1):
        raise ValueError("fit: x and sig must be vectors of n values for a Dask y")

    def single(yb, axis):
        return _fit.fit(x, yb, sig, axis=axis, threads=threads)

    return _per_series(single, _fit.FitResult, "(n)->", (y,), axis)


def _transform(single, dtype, name, x, isign, axis, threads):
    x = da.asarray(x).astype(dtype)
    x = x.rechunk({_batch.normalize_axis_index(axis, x.ndim, name): -1})
    return x.map_blocks(lambda b: single(b, isign, axis=axis, threads=threads), dtype=dtype)


def realft(x, isign=1, axis=-1, threads=1):
    """tessivane.realft of every series of the Dask array x along axis: a Dask
    array of x's shape and chunks (axis in one chunk)."""
    return _transform(_fft.realft, np.float32, "realft", x, isign, axis, threads)


def four1(z, isign=1, axis=-1, threads=1):
    """tessivane.four1 of every series of the Dask array z along axis (complex64)."""
    return _transform(_fft.four1, np.complex64, "four1", z, isign, axis, threads)


def lm_fit_many(x, y, a0="auto", model="gauss", sig=None, ia=None, rule=None, threads=1,
                progress=False):
    """tessivane.lm_fit_many over the rows of the Dask array y (rows, n),
    chunked along the rows. x, sig: NumPy (n,) for every row, or arrays of y's
    shape; a0: "auto", (ma,) or (rows, ma). Returns LMManyDask(params,
    covariance, chisq, outcome, iterations, lambda_at_stop, message, retried)
    of Dask arrays with the in-process fields and meaning, row by row: outcome
    as strings, message as an object array of str (why a row did not
    converge, "" for a converged row; np.asarray(m, str) gives the in-process
    array), retried as bools. 0 rows give empty results. progress is ignored
    (use dask.diagnostics or the distributed dashboard)."""
    y = da.asarray(y).astype(np.float32)
    if y.ndim != 2:
        raise ValueError(f"lm_fit_many: y must be (rows, n), got shape {y.shape}")
    given = {"x": da.asarray(x).astype(np.float32)}
    if isinstance(a0, str):  # "auto": each row's start from its own data, in the task
        ma = 3 if ia is None else np.size(ia)
    else:
        given["a0"] = da.asarray(a0).astype(np.float32)
        ma = given["a0"].shape[-1]
    if sig is not None:
        given["sig"] = da.asarray(sig).astype(np.float32)
    names = list(given)
    core = {"x": "(n)", "sig": "(n)", "a0": "(m)"}
    start = {} if "a0" in given else {"a0": a0}

    def block(yb, *arrays):
        r = _batch.lm_fit_many(y=yb, model=model, ia=ia, rule=rule, threads=threads,
                               **start, **dict(zip(names, arrays)))
        return r._replace(message=r.message.astype(object))

    out = da.apply_gufunc(
        block, "(n)," + ",".join(core[name] for name in names) + "->(m),(m,m),(),(),(),(),(),()",
        y, *given.values(),
        output_dtypes=[np.float32, np.float32, np.float32, "<U15", np.int32, np.float32, object,
                       np.bool_],
        output_sizes={"m": ma}, allow_rechunk=True)
    return LMManyDask(*out)
