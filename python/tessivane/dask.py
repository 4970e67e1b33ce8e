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

from collections import namedtuple

import dask.array as da
import numpy as np

from . import _batch, _fft, _fit, _stats

__all__ = ["ttest", "tutest", "kstwo", "pearsn", "spear", "fit", "lm_fit_many", "realft", "four1"]


def _samples_first(x, axis, name):
    """x as a Dask float32 array with the sample axis first, in one chunk."""
    x = da.asarray(x)
    if x.ndim < 2:
        raise ValueError(f"{name}: expected an array of two or more dimensions")
    axis = axis % x.ndim
    x = da.moveaxis(x.astype(np.float32), axis, 0)
    return x.rechunk({0: -1})


def _two_sample(single, result, name, a, b, axis, threads):
    a = _samples_first(a, axis, f"{name}: a")
    b = _samples_first(b, axis, f"{name}: b")
    if a.shape[1:] != b.shape[1:]:
        raise ValueError(f"{name}: the shapes apart from axis must agree, got {a.shape[1:]} "
                         f"and {b.shape[1:]}")
    b = b.rechunk((b.shape[0],) + a.chunks[1:])
    nout = len(result._fields)

    def block(ab, bb):
        return np.stack(single(ab, bb, axis=0, threads=threads))

    out = da.map_blocks(block, a, b, dtype=np.float32, chunks=((nout,),) + a.chunks[1:],
                        meta=np.empty((0,) * a.ndim, np.float32))
    return result(*(out[i] for i in range(nout)))


def ttest(a, b, axis=0, threads=1):
    """tessivane.ttest over Dask arrays: TtestResult of Dask arrays."""
    return _two_sample(_stats.ttest, _stats.TtestResult, "ttest", a, b, axis, threads)


def tutest(a, b, axis=0, threads=1):
    """tessivane.tutest over Dask arrays: TtestResult of Dask arrays."""
    return _two_sample(_stats.tutest, _stats.TtestResult, "tutest", a, b, axis, threads)


def kstwo(a, b, axis=0, threads=1):
    """tessivane.kstwo over Dask arrays: KstwoResult of Dask arrays."""
    return _two_sample(_stats.kstwo, _stats.KstwoResult, "kstwo", a, b, axis, threads)


def pearsn(x, y, axis=0, threads=1):
    """tessivane.pearsn over Dask arrays: PearsnResult of Dask arrays."""
    return _two_sample(_stats.pearsn, _stats.PearsnResult, "pearsn", x, y, axis, threads)


def spear(x, y, axis=0, threads=1):
    """tessivane.spear over Dask arrays: SpearResult of Dask arrays."""
    return _two_sample(_stats.spear, _stats.SpearResult, "spear", x, y, axis, threads)


def fit(x, y, sig=None, axis=0, threads=1):
    """tessivane.fit of every series of the Dask array y along axis; x and sig
    are NumPy vectors of n values (one abscissa for all series)."""
    y = _samples_first(y, axis, "fit: y")
    x = np.asarray(x, dtype=np.float32)
    sig = None if sig is None else np.asarray(sig, dtype=np.float32)
    if x.ndim != 1 or (sig is not None and sig.ndim != 1):
        raise ValueError("fit: x and sig must be vectors of n values for a Dask y")

    def block(yb):
        return np.stack(_fit.fit(x, yb, sig, axis=0, threads=threads))

    out = da.map_blocks(block, y, dtype=np.float32, chunks=((6,),) + y.chunks[1:],
                        meta=np.empty((0,) * y.ndim, np.float32))
    return _fit.FitResult(*(out[i] for i in range(6)))


def _transform(single, dtype, name, x, isign, axis, threads):
    x = da.asarray(x).astype(dtype)
    if not -x.ndim <= axis < x.ndim:
        raise ValueError(f"{name}: axis {axis} is out of bounds for an array of dimension {x.ndim}")
    x = x.rechunk({axis % x.ndim: -1})
    return x.map_blocks(lambda b: single(b, isign, axis=axis, threads=threads), dtype=dtype)


def realft(x, isign=1, axis=-1, threads=1):
    """tessivane.realft of every series of the Dask array x along axis: a Dask
    array of x's shape and chunks (axis in one chunk)."""
    return _transform(_fft.realft, np.float32, "realft", x, isign, axis, threads)


def four1(z, isign=1, axis=-1, threads=1):
    """tessivane.four1 of every series of the Dask array z along axis (complex64)."""
    return _transform(_fft.four1, np.complex64, "four1", z, isign, axis, threads)


def lm_fit_many(x, y, a0, model="gauss", sig=None, ia=None, rule=None, threads=1,
                progress=False):
    """tessivane.lm_fit_many over the rows of the Dask array y (rows, n),
    chunked along the rows. x, sig: NumPy (n,) for every row, or arrays of y's
    shape; a0: (ma,) or (rows, ma). Returns LMManyDask(params, covariance,
    chisq, outcome, iterations, lambda_at_stop) of Dask arrays, outcome as
    strings; the messages of refused rows stay with the in-process call.
    progress is ignored (use dask.diagnostics or the distributed dashboard)."""
    y = da.asarray(y).astype(np.float32)
    if y.ndim != 2:
        raise ValueError(f"lm_fit_many: y must be (rows, n), got shape {y.shape}")
    y = y.rechunk({1: -1})
    rows, n = y.shape
    a0 = np.asarray(a0, dtype=np.float32)
    ma = a0.shape[-1]

    def per_row(v, name):
        """A (rows, k) argument as a Dask array chunked like y's rows; None when shared."""
        if v is None or np.ndim(v) == 1:
            return None
        v = da.asarray(v).astype(np.float32)
        if v.ndim != 2 or v.shape[0] != rows:
            raise ValueError(f"lm_fit_many: {name} must be shared or have {rows} rows")
        return v.rechunk((y.chunks[0], (v.shape[1],)))

    # Shared arguments travel with the task; per-row ones are blocks like y's.
    arguments = (("x", x), ("sig", sig), ("a0", a0))
    shared = {name: np.asarray(v, dtype=np.float32) for name, v in arguments
              if v is not None and np.ndim(v) == 1}
    rowwise = {name: per_row(v, name) for name, v in arguments}
    names = [name for name, v in rowwise.items() if v is not None]
    width = ma + ma * ma + 4  # params, covariance, chisq, stop, iterations, lambda

    def block(yb, *blocks):
        args = dict(shared)
        args.update(zip(names, blocks))
        r = _batch.lm_fit_many(args["x"], yb, args["a0"], model=model, sig=args.get("sig"), ia=ia,
                               rule=rule, threads=threads)
        codes = np.array([_batch.OUTCOMES.index(o) for o in r.outcome], dtype=np.float32)
        return np.concatenate([r.params, r.covariance.reshape(len(yb), -1), r.chisq[:, None],
                               codes[:, None], r.iterations[:, None].astype(np.float32),
                               r.lambda_at_stop[:, None]], axis=1)

    packed = da.map_blocks(block, y, *(rowwise[nm] for nm in names), dtype=np.float32,
                           chunks=(y.chunks[0], (width,)), meta=np.empty((0, 0), np.float32))
    outcome = packed[:, ma + ma * ma + 1].map_blocks(
        lambda c: np.array(_batch.OUTCOMES)[c.astype(np.intp)], dtype="<U15",
        meta=np.empty((0,), "<U15"))
    return LMManyDask(packed[:, :ma], packed[:, ma:ma + ma * ma].reshape(rows, ma, ma),
                      packed[:, ma + ma * ma], outcome,
                      packed[:, ma + ma * ma + 2].astype(np.int32), packed[:, ma + ma * ma + 3])


LMManyDask = namedtuple("LMManyDask", "params covariance chisq outcome iterations lambda_at_stop")
