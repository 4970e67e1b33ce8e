"""Errors, callbacks, threads and the NumPy conventions of the package."""
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import tessivane as tv
from conftest import bits

x16 = np.random.default_rng(7).standard_normal(16).astype(np.float32)
peak_x = np.arange(0, 20, 0.5, dtype=np.float32)
peak_y = (2.385 * np.exp(-((peak_x - 9.3) / 3.1) ** 2)).astype(np.float32)

NOT_A_POWER_OF_TWO = r"^realft: expected a 1-D array whose length is a power of two >= 2, got shape \(6,\)$"

ERRORS = [
    (lambda: tv.gammq(-1.0, 1.0), tv.NumericsError, "^Invalid arguments in routine gammq$"),
    (lambda: tv.gaussj([[1, 2], [2, 4]]), tv.NumericsError, "^gaussj: Singular Matrix-2$"),
    (lambda: tv.LMFit(peak_x, peak_y, [2, 9, 3]).finish(), tv.NumericsError,
     r"^mrqmin: no fit in progress \(start one with alamda < 0\)$"),
    (lambda: tv.LMFit(peak_x, peak_y, [2, 9, 3], ia=[0, 0, 0]).run(), tv.NumericsError, "^no rows in matrix"),
    (lambda: tv.realft(np.ones(6)), ValueError, NOT_A_POWER_OF_TWO),
    (lambda: tv.realft(np.ones(6, np.float32)), ValueError, NOT_A_POWER_OF_TWO),  # the call without conversion
    (lambda: tv.realft(np.ones((4, 6))), ValueError, "along axis -1 must have a length that is a power"),
    (lambda: tv.four1(np.ones((3, 4)), axis=0), ValueError, "power of two, got 3"),
    (lambda: tv.realft(x16, axis=1), ValueError, "out of bounds"),
    (lambda: tv.four1(np.ones(8), isign=2), ValueError, "isign"),
    (lambda: tv.realft(x16, out=np.empty(16)), ValueError, "out must be"),
    (lambda: tv.rlft3(np.ones((2, 4, 4)), -1), ValueError, "speq"),
    (lambda: tv.ttest(["a", "b"], [1, 2]), TypeError, "real numbers"),
    (lambda: tv.ttest([1.0], [2.0]), ValueError, "three values"),
    (lambda: tv.select(x16, 16), ValueError, r"outside 0\.\.15"),
    (lambda: tv.select(x16, 1.5), TypeError, "integer"),
    (lambda: tv.svdcmp(x16), ValueError, "2-D"),
    (lambda: tv.fit(x16, x16[:5]), ValueError, "same length"),
    (lambda: tv.t_to_p(2.0, 0), ValueError, "at least 1"),
    (lambda: tv.t_to_p(2.0, np.inf), ValueError, "whole numbers"),
    (lambda: tv.ttest(np.ones((5, 3, 4)), np.ones((5, 4, 3))), ValueError, "must agree"),
    (lambda: tv.tutest(np.ones((3, 1, 4)), np.ones((3, 1, 4)), axis=1), ValueError, "needs at least 2 values"),
    (lambda: tv.crank([2, 1]), ValueError, "sorted"),
    (lambda: tv.LMFit(peak_x, peak_y, [2, 9]), ValueError, "triples"),
]


@pytest.mark.parametrize("call,error,message", ERRORS)
def test_errors_are_raised_not_fatal(call, error, message):
    with pytest.raises(error, match=message):
        call()
    assert issubclass(tv.NumericsError, RuntimeError)


class ModelFailure(Exception):
    pass


FAILURE = ModelFailure("from the callable")


def failing_after(calls, value):
    remaining = iter(range(calls))

    def callback(*args):
        if next(remaining, None) is None:
            raise FAILURE
        return value(*args)
    return callback


def test_callable_basis_and_model_match_the_builtins_and_pass_exceptions_through():
    xs = np.linspace(-1, 1, 21, dtype=np.float32)
    ys = np.cos(3 * xs).astype(np.float32)
    assert bits(tv.svdfit(xs, ys, 4, basis=lambda x, ma: tv.fleg(x, ma))) == bits(tv.svdfit(xs, ys, 4, basis=tv.fleg))
    with pytest.raises(ModelFailure) as error:
        tv.svdfit(xs, ys, 4, basis=failing_after(30, tv.fpoly))
    assert error.value is FAILURE  # the very exception, not a translation
    with pytest.raises(ValueError, match="returned 2 values for 4"):
        tv.svdfit(xs, ys, 4, basis=lambda x, ma: [1.0, x])

    builtin = tv.LMFit(peak_x, peak_y, [2, 9, 3])
    builtin.run()
    python = tv.LMFit(peak_x, peak_y, [2, 9, 3], model=lambda x, a: tv.fgauss(x, a))
    python.run()
    assert bits([python.params, python.covariance, python.chisq]) == \
        bits([builtin.params, builtin.covariance, builtin.chisq])

    failing = tv.LMFit(peak_x, peak_y, [2, 9, 3], model=failing_after(100, tv.fgauss))
    failing.step()
    assert failing.in_progress
    with pytest.raises(ModelFailure):
        for _ in range(5):
            failing.step()
    assert not failing.in_progress
    with pytest.raises(tv.NumericsError, match="no fit in progress"):
        failing.finish()


def test_threads_give_the_serial_results():
    def work(i):
        f = tv.LMFit(peak_x, peak_y * (1 + i / 8), [2, 9, 3])
        f.run()
        return bits([tv.realft(x16 * i), tv.ttest(x16, x16 + i), tv.Ran1(-i - 1).gaussian(50), f.params])

    serial = [work(i) for i in range(8)]
    with ThreadPoolExecutor(4) as pool:
        assert list(pool.map(work, range(8))) == serial


def test_conventions():
    # FFT sign: +1 is exp(+2 pi i jk/n), the complex conjugate of numpy's forward transform.
    half = tv.realft_unpack(tv.realft(x16))
    y = x16.copy()
    assert tv.realft(y, out=y) is y and bits(y) == bits(tv.realft(x16))
    np.testing.assert_allclose(np.conj(half), np.fft.rfft(x16), rtol=0, atol=1e-5)
    z = (x16 + 1j * x16[::-1]).astype(np.complex64)
    np.testing.assert_allclose(tv.four1(z, -1), np.fft.fft(z), rtol=0, atol=1e-5)
    # select's k counts like numpy.partition's kth.
    assert [tv.select(x16, k) for k in range(16)] == list(np.partition(x16, range(16)).astype(float))
    # float64 input is rounded to float32; scalars come back as Python floats; inputs stay untouched.
    data = np.random.default_rng(3).standard_normal(12)
    before = data.copy()
    assert tv.ttest(data[:5], data[5:]) == tv.ttest(data[:5].astype(np.float32), data[5:].astype(np.float32))
    tv.kstwo(data[:5], data[5:]), tv.sort(data), tv.svdcmp(data.reshape(3, 4))
    assert np.array_equal(data, before)
    assert type(tv.erfcc(0.5)) is float and tv.t_to_p(np.ones((2, 1)), [1, 2, 3]).shape == (2, 3)
    stream = tv.Ran1(-5)
    assert bits(tv.Ran1(-5).uniform((2, 3)).ravel()) == bits([stream.uniform() for _ in range(6)])


LONG = np.random.default_rng(5).standard_normal(1 << 21).astype(np.float32)


@pytest.mark.parametrize("call", [
    lambda: tv.realft(LONG), lambda: tv.kstwo(LONG.reshape(64, -1), LONG[::-1].reshape(64, -1), threads=1),
], ids=["realft", "kstwo_batch"])
def test_library_calls_release_the_gil(call):
    """With thread switches put off, another thread counts during a call only if the call lets go of the GIL."""
    go, count = threading.Event(), [0]

    def counter():
        go.wait()
        for _ in range(1000):
            count[0] += 1
    worker = threading.Thread(target=counter)
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000.0)
    try:
        worker.start()
        go.set()
        call()
        during = count[0]
    finally:
        sys.setswitchinterval(interval)
        worker.join()
    assert during > 0


HOSTILE = [[], [nan := float("nan")], [float("inf"), -float("inf"), nan], [0.0, -0.0, 1e-45, 3e38]]
HOSTILE_MATRICES = [[[nan]], [[nan, 1.0], [1.0, nan]], [[0.0, 0.0], [0.0, 0.0]], [[3e38, 3e38], [3e38, -3e38]]]


@pytest.mark.parametrize("call", [
    lambda v: tv.ttest(v, v + v), lambda v: tv.tutest(v + v, v + v), lambda v: tv.kstwo(v, v),
    lambda v: tv.pearsn(v + v, v + v + v[:1]), lambda v: tv.spear(v + v, v + v), lambda v: tv.avevar(v + v),
    lambda v: tv.sort(v), lambda v: tv.select(v, 0), lambda v: tv.crank(v), lambda v: tv.realft(v + v),
    lambda v: tv.fit(v + v + v, v + v + v, v + v + v), lambda v: tv.fit(v, v, v),
    lambda v: tv.svdfit(v, v, 3, v), lambda v: tv.LMFit(v + v, v + v, [1, 0, 1]).run(),
    lambda v: tv.gammq(v, v), lambda v: tv.p_to_t(v, 3), lambda v: tv.probks(v),
    lambda v: tv.LMFit(v + v, v + v, [1, 0, 1], model=lambda x, a: (x, [nan] * 3)).run(),
])
@pytest.mark.parametrize("values", HOSTILE)
def test_no_input_ends_the_interpreter(call, values):
    try:
        call(list(values))
    except (ValueError, TypeError, tv.NumericsError):
        pass


@pytest.mark.parametrize("a", HOSTILE_MATRICES)
@pytest.mark.parametrize("call", [tv.svdcmp, tv.jacobi, tv.gaussj, tv.inverse, lambda a: tv.eigsrt(*tv.jacobi(a)[:2])])
def test_no_matrix_ends_the_interpreter(call, a):
    try:
        call(a)
    except tv.NumericsError:
        pass
