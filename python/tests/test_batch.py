"""Batched forms: every element equals the single call on its series, bit for
bit, at 1, 2 and 7 threads and along any axis; a refused fit row is reported
while the others complete; Ctrl-C stops a long batch; tessivane.dask gives
the in-process bits on a two-process local cluster."""
import os
import signal
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

import tessivane as tv

RNG = np.random.default_rng(23)
A = RNG.normal(0.0, 2.385, size=(12, 4, 10)).astype(np.float32)
B = RNG.normal(0.4, 1.7, size=(9, 4, 10)).astype(np.float32)
A[:, 1, 2] = 2.385  # a voxel without spread
A[3, 2, 5] = np.nan
A[:, 3, 7] = np.round(A[:, 3, 7])  # ties


def same_bits(x, y):
    """Equal float32 bits, NaNs in the same places."""
    x, y = np.asarray(x, np.float32), np.asarray(y, np.float32)
    nx, ny = np.isnan(x), np.isnan(y)
    return x.shape == y.shape and np.array_equal(nx, ny) and np.array_equal(
        x[~nx].view(np.uint32), y[~ny].view(np.uint32))


# (function, second argument trimmed to the first's length for paired tests)
ROUTINES = [(tv.ttest, False), (tv.tutest, False), (tv.kstwo, False), (tv.pearsn, True),
            (tv.spear, True)]


@pytest.mark.parametrize("threads", [1, 2, 7])
@pytest.mark.parametrize("axis", [0, 1, -1])
@pytest.mark.parametrize("routine,paired", ROUTINES, ids=[r.__name__ for r, _ in ROUTINES])
def test_two_sample_batches_equal_single_calls(routine, paired, axis, threads):
    a = np.moveaxis(A, 0, axis)
    b = np.moveaxis(B, 0, axis)
    if paired:
        a = np.take(a, range(B.shape[0]), axis=axis)
    batch = routine(a, b, axis=axis, threads=threads)
    for index in np.ndindex(*batch[0].shape):
        at = (slice(None),) + index
        single = routine(np.moveaxis(a, axis, 0)[at], np.moveaxis(b, axis, 0)[at])
        for field, value in zip(batch, single):
            assert same_bits(field[index], value), (routine.__name__, index)


# 40 series (not a multiple of the eight vector lanes) of 64 real or 32
# complex values along axis 0; one series holds an infinity.
SERIES = RNG.normal(0.0, 9.0, size=(64, 4, 10)).astype(np.float32)
SERIES[5, 2, 3] = np.inf


@pytest.mark.parametrize("threads", [1, 2, 7])
@pytest.mark.parametrize("axis", [0, 1, -1])
@pytest.mark.parametrize("name", ["realft", "four1"])
def test_fft_batches_equal_single_calls(name, axis, threads):
    data = SERIES if name == "realft" else (SERIES[:32] + 1j * SERIES[32:]).astype(np.complex64)
    data = np.moveaxis(data, 0, axis)
    for isign in (1, -1):
        batch = getattr(tv, name)(data, isign, axis=axis, threads=threads)
        assert batch.shape == data.shape
        for index in np.ndindex(4, 10):
            at = (slice(None),) + index
            single = getattr(tv, name)(np.moveaxis(data, axis, 0)[at], isign)
            got = np.moveaxis(batch, axis, 0)[at]
            assert same_bits(np.ascontiguousarray(got).view(np.float32), single.view(np.float32)), index


@pytest.mark.parametrize("threads", [1, 2, 7, 10**6])
def test_line_fit_batch_shared_and_per_series_x(threads):
    t = np.linspace(0.0, 2.385, 9, dtype=np.float32)
    sig = np.linspace(0.5, 1.5, 9, dtype=np.float32)
    for x, s in ((t, None), (t, sig), (np.abs(B) + 0.5, np.abs(B) + 0.1)):
        batch = tv.fit(x, B, s, threads=threads)
        for index in np.ndindex(*B.shape[1:]):
            at = (slice(None),) + index
            single = tv.fit(x if x.ndim == 1 else x[at], B[at],
                            s if s is None or s.ndim == 1 else s[at])
            assert all(same_bits(f[index], v) for f, v in zip(batch, single)), index


@pytest.mark.parametrize("name,args", [
    ("gammq", (np.linspace(0.5, 9.0, 3000), np.linspace(0.0, 12.0, 3000))),
    ("betai", (2.5, np.linspace(0.5, 4.0, 3000), np.linspace(0.0, 1.0, 3000))),
    ("t_to_p", (np.linspace(-6.0, 6.0, 3000), np.arange(1, 3001))),
    ("gammln", (np.linspace(0.1, 50.0, 3000),)),
    ("kstwo_prob", (np.linspace(0.0, 1.0, 3000), 12, np.arange(1, 3001))),
    ("kstwo_prob_exact", (np.linspace(0.0, 1.0, 3000), 12, np.arange(3000) % 200 + 1)),
])
def test_special_functions_on_the_pool_equal_one_thread(name, args):
    f = getattr(tv, name)
    one = f(*args, threads=1)
    for threads in (2, 7):
        pooled = f(*args, threads=threads)
        assert pooled.dtype == one.dtype
        assert np.array_equal(pooled.view(np.uint8), one.view(np.uint8))


def test_special_function_refusal_raises_the_library_message():
    with pytest.raises(tv.NumericsError, match="^Invalid arguments in routine gammq$"):
        tv.gammq(np.r_[np.ones(3000), -1.0], 1.0, threads=2)


X = np.arange(60, dtype=np.float32) * 0.25
PEAKS = (np.exp(-((X - 7.0) / 2.0) ** 2) * np.linspace(1.0, 3.0, 25)[:, None]
         + 0.05 * RNG.normal(size=(25, 60))).astype(np.float32)
PEAKS[4] = 0.0  # with a zero start amplitude: a singular curvature matrix


@pytest.mark.parametrize("threads", [1, 2, 7])
def test_lm_fit_many_rows_equal_lmfit_and_refused_and_degenerate_rows_are_reported(threads):
    a0 = np.tile(np.float32([1.0, 6.0, 1.5]), (25, 1))
    a0[4, 0] = 0.0
    sig = np.abs(RNG.normal(1.0, 0.1, size=(25, 60))).astype(np.float32)
    peaks = PEAKS.copy()
    peaks[9, 2] = np.nan  # a masked voxel
    rule = tv.LMStoppingRule(max_iterations=50)
    res = tv.lm_fit_many(X, peaks, a0, sig=sig, ia=[1, 1, 1], rule=rule, threads=threads)
    assert res.outcome[4] == "degenerate" and "gaussj: Singular Matrix" in res.message[4]
    assert np.isnan(res.covariance[4]).all() and not np.isnan(res.params[4]).any()
    assert res.outcome[9] == "refused" and res.message[9] == "y is NaN at point 3 of 1..60"
    assert np.isnan(res.params[9]).all() and np.isnan(res.chisq[9])
    for i in sorted(set(range(25)) - {9}):
        f = tv.LMFit(X, peaks[i], a0[i], sig=sig[i])
        o = f.run(rule)
        assert res.outcome[i] == o.stop and res.iterations[i] == o.iterations
        assert same_bits(res.params[i], f.params) and same_bits(res.covariance[i], f.covariance)
        assert same_bits(res.chisq[i], f.chisq) and res.message[i] == o.message


def test_lm_fit_many_auto_start_is_the_per_row_start_and_retry_is_reported():
    auto = tv.lm_fit_many(X, PEAKS)
    starts = np.stack([tv.gauss_start(X, row) for row in PEAKS])
    given = tv.lm_fit_many(X, PEAKS, starts)
    assert same_bits(auto.params, given.params) and list(auto.outcome) == list(given.outcome)
    assert all(o == "converged" for i, o in enumerate(auto.outcome) if i != 4)
    a0 = np.float32([0.0, 6.0, 1.5])  # flat: degenerate, and retried from the automatic start
    plain = tv.lm_fit_many(X, PEAKS[:3], a0)
    retried = tv.lm_fit_many(X, PEAKS[:3], a0, rule=tv.LMStoppingRule(retry=True))
    assert list(plain.outcome) == ["degenerate"] * 3 and not plain.retried.any()
    assert list(retried.outcome) == ["converged"] * 3 and retried.retried.all()
    assert same_bits(retried.params, auto.params[:3])


def test_outcome_names_are_the_library_s_for_every_stop_and_row_state():
    core = tv._core
    for stop in core.LMStop.__members__.values():
        assert core.outcome_name(core.RowState.fitted, stop) == stop.name
    for state in ("refused", "not_run"):
        assert core.outcome_name(core.RowState.__members__[state], core.LMStop.converged) == state
    rule = tv.LMStoppingRule(quiet_steps=2, absolute_drop=1e3)  # every accepted step is a small one
    res = tv.lm_fit_many(X, PEAKS[:3], [1.0, 6.0, 1.5], rule=rule)
    assert list(res.outcome) == [tv.LMFit(X, y, [1.0, 6.0, 1.5]).run(rule).stop for y in PEAKS[:3]] \
        == ["small_steps"] * 3


def test_zero_rows_give_empty_results_in_process_and_on_dask():
    shapes = [(0, 3), (0, 3, 3), (0,), (0,), (0,), (0,)]
    assert [r.shape for r in tv.lm_fit_many(X, PEAKS[:0], [1.0, 6.0, 1.5])] == shapes + [(0,)] * 2
    da = pytest.importorskip("dask.array")
    import tessivane.dask as tvd
    lazy = tvd.lm_fit_many(X, da.from_array(PEAKS[:0]), [1.0, 6.0, 1.5])
    assert [r.compute().shape for r in lazy] == shapes + [(0,)] * 2


def same_fields(got, want):
    """Every field of two LMManyResult-like tuples equal row by row: floats to
    the bit, strings, counts and flags exactly (message as str)."""
    assert got._fields == want._fields
    for name, g, w in zip(want._fields, got, want):
        if name == "message":
            assert g.dtype == object and all(type(m) is str for m in g), name
            assert g.tolist() == w.tolist(), name
        elif g.dtype.kind in "iUb":
            assert g.dtype == w.dtype and np.array_equal(g, w), name
        else:
            assert same_bits(g, w), name


@pytest.mark.parametrize("a0", ["auto", [0.0, 6.0, 1.5]], ids=["auto", "flat"])
def test_dask_lm_fit_many_carries_messages_and_retried_rows_as_in_process(a0):
    dask = pytest.importorskip("dask")
    da = pytest.importorskip("dask.array")
    import tessivane.dask as tvd
    peaks = PEAKS.copy()
    peaks[9, 2] = np.nan  # refused, with a message naming the point
    peaks[17, 0] = np.inf
    rule = tv.LMStoppingRule(retry=True, max_iterations=6)  # retried, iteration limits, converged
    want = tv.lm_fit_many(X, peaks, a0, rule=rule)
    assert {"refused", "converged"} <= set(want.outcome) and (want.message != "").any()
    assert want.retried.any() or a0 == "auto"
    with dask.config.set(scheduler="threads"):
        got = dask.compute(*tvd.lm_fit_many(X, da.from_array(peaks, chunks=(7, 60)), a0,
                                            rule=rule))
    same_fields(tv._batch.LMManyResult(*got), want)
    assert list(want.message[[9, 17]]) == ["y is NaN at point 3 of 1..60",
                                           "y is infinite at point 1 of 1..60"]


@pytest.mark.parametrize("axis", [0, 1, -1, 3, -4])
def test_dask_takes_axis_as_numpy_does(axis):
    da = pytest.importorskip("dask.array")
    import tessivane.dask as tvd
    if not -3 <= axis < 3:
        for call in (lambda: tv.kstwo(A, B, axis=axis), lambda: tvd.kstwo(da.from_array(A), B, axis=axis)):
            with pytest.raises(getattr(np, "exceptions", np).AxisError, match="kstwo: a: axis"):
                call()
        return
    a, b = np.moveaxis(A, 0, axis), np.moveaxis(B, 0, axis)
    lazy = tvd.kstwo(da.from_array(a, chunks=3), da.from_array(b, chunks=3), axis=axis)
    assert all(same_bits(got.compute(), want) for got, want in zip(lazy, tv.kstwo(a, b, axis=axis)))


def test_ctrl_c_stops_a_long_batch_within_a_second():
    script = textwrap.dedent("""
        import sys, time
        import numpy as np, tessivane as tv
        x = np.arange(100, dtype=np.float32)
        y = np.tile(np.exp(-((x - 40) / 10) ** 2).astype(np.float32), (200000, 1))
        print("ready", flush=True)
        try:
            tv.lm_fit_many(x, y, [1, 45, 12], threads=2)
        except KeyboardInterrupt:
            print("stopped", time.monotonic(), flush=True)
            sys.exit(3)
    """)
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True,
                             env=os.environ)
    assert child.stdout.readline().strip() == "ready"
    time.sleep(0.5)  # well inside the batch, which runs for seconds
    start = time.monotonic()
    child.send_signal(signal.SIGINT)
    child.wait(timeout=30)
    assert child.returncode == 3
    # Until the exception reaches the caller (the monotonic clock is the
    # system's): the interpreter's own exit is not the batch's to answer for.
    word, stopped = child.stdout.readline().split()
    assert word == "stopped" and float(stopped) - start < 1.0


def test_dask_on_a_two_process_local_cluster_gives_the_in_process_bits():
    pytest.importorskip("dask.array")
    distributed = pytest.importorskip("distributed")
    import dask
    import dask.array as da

    import tessivane.dask as tvd

    a, b = A.reshape(12, -1), B.reshape(9, -1)
    peaks = np.tile(PEAKS, (8, 1))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster, \
            distributed.Client(cluster):
        t = dask.compute(*tvd.tutest(da.from_array(a, chunks=(6, 15)), da.from_array(b, chunks=9)))
        fits = dask.compute(*tvd.lm_fit_many(X, da.from_array(peaks, chunks=(50, 60)),
                                             [1.0, 6.0, 1.5]))
        spectra = tvd.realft(da.from_array(SERIES, chunks=(16, 2, 5)), axis=0).compute()
    assert same_bits(spectra, tv.realft(SERIES, axis=0))
    for got, want in zip(t, tv.tutest(a, b)):
        assert same_bits(got, want)
    same_fields(tv._batch.LMManyResult(*fits), tv.lm_fit_many(X, peaks, [1.0, 6.0, 1.5]))


def test_voxelwise_fit_example_gives_the_same_bits_on_the_cluster():
    pytest.importorskip("distributed")
    example = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python",
                           "voxelwise_fit.py")
    out = subprocess.run([sys.executable, example, "--shape", "8", "8", "4", "--png", os.devnull],
                         capture_output=True, text=True, check=True, timeout=120).stdout
    assert "256 voxels fitted" in out and "the same bits: yes" in out


def test_progress_bar_counts_every_row(monkeypatch):
    calls = []  # the total, every update's count, then "close"

    class Bar:
        update = calls.append

        def __init__(self, total, desc, unit):
            calls.append(total)

        def close(self):
            calls.append("close")

    fake = type(sys)("tqdm.auto")
    fake.tqdm = Bar
    monkeypatch.setitem(sys.modules, "tqdm.auto", fake)
    monkeypatch.setitem(sys.modules, "tqdm", type(sys)("tqdm"))
    rows = np.tile(PEAKS, (40, 1))
    tv.lm_fit_many(X, rows, [1.0, 6.0, 1.5], threads=2, progress=True)
    assert calls[0] == len(rows) and calls[-1] == "close" and sum(calls[1:-1]) == len(rows)


def test_a_fit_whose_lambda_falls_to_zero_ends_instead_of_being_refused():
    # A zig-zag of 45 accepted steps takes lambda below the smallest float; the
    # next call would have been the finishing one ("no fit in progress").
    sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python"))
    import voxelwise_fit

    t, image = voxelwise_fit.synthetic_image((8, 8, 4))
    course = image.reshape(voxelwise_fit.T, -1).T[218]
    start = np.float32([0.39779386, 10.1189785, 1.9712603])  # an earlier automatic start's
    fit = tv.LMFit(t, course, start)
    assert fit.run().stop == "converged" and fit.outcome.lambda_at_stop == 0.0
    assert tv.lm_fit_many(t, course[None, :], start).outcome[0] == "converged"
