"""Errors, callbacks, threads and the NumPy conventions of the package."""
import os
import subprocess
import sys
import textwrap
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import tessivane as tv
from conftest import bits

x16 = np.random.default_rng(7).standard_normal(16).astype(np.float32)
peak_x = np.arange(0, 20, 0.5, dtype=np.float32)
peak_y = (2.385 * np.exp(-((peak_x - 9.3) / 3.1) ** 2)).astype(np.float32)
A2 = np.ones((4, 3), dtype=np.float32)
AxisError = getattr(np, "exceptions", np).AxisError  # np.exceptions from NumPy 1.25 on


def model_fit(model):
    return tv.LMFit(peak_x, peak_y, [2, 9, 3], model=model).run()


def run_isolated(script, timeout=60, **env):
    """script in a fresh interpreter, so that a crash or a hang cannot take the suite along."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(script)], capture_output=True,
                          text=True, timeout=timeout, env=dict(os.environ, **env))


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
    # errors name the public function and argument
    (lambda: tv.ttest(A2, A2, threads=2**32), OverflowError, "^ttest: threads = 4294967296 is too large"),
    (lambda: tv.lm_fit_many(peak_x, [peak_y], [2, 9, 3], threads=-1), ValueError,
     "^lm_fit_many: threads must be at least 1"),
    (lambda: tv.Ran1(2**70), OverflowError, "^Ran1: seed = 1180591620717411303424 is too large"),
    (lambda: tv.Ran1().uniform(1.5), TypeError, "^Ran1: size: expected an integer"),
    (lambda: model_fit(lambda x, a: ("1", [1, 1, 1])), TypeError, "^LMFit: the model's y: expected real"),
    (lambda: model_fit(lambda x, a: object()), TypeError, "^LMFit: the model must return"),
    (lambda: model_fit(lambda x, a: (1.0, [1j, 1, 1])), TypeError, "^LMFit: the model's dyda: expected real numbers, got an array of complex"),
    (lambda: tv.lm_fit_many(peak_x, np.tile(peak_y, (3, 1)).T, [2, 9, 3]), ValueError,
     r"^lm_fit_many: y must be \(rows, n\) .*transposed"),
    (lambda: tv.ttest(A2, A2, axis=2), AxisError, "^ttest: a: axis 2 is out of bounds"),
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


# _core called directly with arguments its wrappers used to stop: each must raise, none may crash.
CORE_CALLS = [
    "_core.gaussj(np.eye(200), np.ones((1, 1)))", "_core.svbksb(np.eye(3), np.ones(2), np.eye(3), np.ones(3))",
    "_core.svdvar(np.eye(3), np.ones(1))", "_core.eigsrt(np.ones(1), np.eye(5))", "_core.sort2(np.ones(5), [1])",
    "_core.pearsn(np.ones(50), np.ones(3))", "_core.gammq(np.ones(3), np.ones(10**6), None)",
    "_core.batch_ttest(np.ones((5, 100)), np.ones((5, 2)), True, 1, None)",
    "_core.batch_fit(np.ones(2), np.ones((5, 100)), None, True, 1, None)",
    "_core.lm_fit_many(np.ones(5), np.ones((4, 100)), [1, 2, 3])", "_core.rlft3(np.ones((4, 4, 4)), -1, [1])",
    "_core.fourn(np.ones((4, 3)), 1)", "_core.realft(np.ones(8), 1, np.empty(4, np.float32))",
    "_core.LMState(np.ones(5), np.ones(5), [1, 2, 3], None, [1])", "_core.select(np.ones(3), 2**64)",
    "_core.realft_many(np.ones(8), None, True, 1, 1)", "_core.four1_many(np.ones((3, 4)), None, True, 1, 1)",
]


def test_core_is_safe_to_call_directly():
    out = run_isolated(f"""
        import numpy as np
        from tessivane import _core
        for call in {CORE_CALLS!r}:
            try:
                eval(call)
                print("accepted:", call)
            except (ValueError, TypeError, OverflowError):
                pass
    """)
    assert (out.returncode, out.stdout) == (0, ""), out.stdout + out.stderr


def test_what_numpy_raises_while_converting_propagates_and_model_values_round_quietly():
    # An input beyond float's range under warnings as errors: NumPy's overflow
    # in the cast reaches the caller (it used to leave a null array and crash);
    # a model's and a basis's double values beyond that range round to the
    # infinity of their sign without the warning, the bits of returning it.
    out = run_isolated("""
        import warnings
        import numpy as np
        import tessivane as tv
        warnings.simplefilter("error")
        for call in (lambda: tv.avevar(np.array([1e300, 1.0])),
                     lambda: tv.lm_fit_many(np.arange(4.0), np.full((2, 4), -1e39), [1, 1, 1])):
            try:
                call()
                print("accepted")
            except RuntimeWarning as e:
                print("raised:", e)
        x = np.arange(5, dtype=np.float32)
        def fits(big):
            f = tv.LMFit(x, x, [1.0, 2.0], model=lambda xx, a: (0.0, np.array([big, 1.0])))
            o = f.run()
            return o, f.params.tobytes(), float(f.chisq)
        def basis(big):
            r = tv.svdfit(x, x, 2, basis=lambda xx, ma: [1.0, big if xx == 4 else xx])
            return r.a.tobytes() + r.w.tobytes()
        print(fits(1e300) == fits(np.float32(np.inf)), fits(-1e39) == fits(np.float32(-np.inf)),
              basis(1e300) == basis(np.float32(np.inf)))
    """)
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines() == ["raised: overflow encountered in cast"] * 2 + ["True True True"]


def test_a_model_that_reenters_its_own_fit_is_refused_not_deadlocked():
    out = run_isolated("""
        import numpy as np, tessivane as tv
        x = np.arange(0, 20, 0.5, dtype=np.float32)
        for reenter in ("step", "run", "finish"):
            def model(xv, a):
                getattr(fit, reenter)()
            fit = tv.LMFit(x, np.exp(-((x - 9) / 3) ** 2), [1, 9, 3], model=model)
            try:
                fit.run()
            except RuntimeError as error:
                print(error)
    """, timeout=60)
    assert out.stdout.count("a fit cannot be re-entered") == 3, out.stdout + out.stderr


def misaligned(a):
    """A float32 copy of a at an odd byte address."""
    a = np.asarray(a, np.float32)
    view = np.zeros(a.nbytes + 1, np.uint8)[1:].view(np.float32).reshape(a.shape)
    view[...] = a
    assert not view.flags.aligned
    return view


@pytest.mark.parametrize("call", [
    lambda v: tv.ttest(v, v[::-1]), lambda v: tv.tutest(v, v * v), lambda v: tv.kstwo(v, -v),
    lambda v: tv.pearsn(v, v * v), lambda v: tv.spear(v, v * v), lambda v: tv.avevar(v), lambda v: tv.sort(v),
    lambda v: tv.select(v, 3), lambda v: tv.realft(v), lambda v: tv.fit(v, v * v, v * v + 1),
    lambda v: tv.svdfit(v, v * v, 3), lambda v: tv.svdcmp(v.reshape(4, 4)), lambda v: tv.gammq(v * v + 1, v * v),
    lambda v: tv.ttest(v.reshape(4, 4), v.reshape(4, 4) * 2, threads=2),
    lambda v: tv.lm_fit_many(v, [v * v], [1, 0, 1])[:3], lambda v: [(f := tv.LMFit(v, v * v, [1, 0, 1])).step(), f.params],
])
def test_misaligned_views_give_the_bits_of_aligned_arrays(call):
    aligned = x16.copy()
    v = misaligned(aligned)
    assert bits(call(v)) == bits(call(aligned))


def test_one_version_and_a_library_of_another_major_version_is_refused():
    pyproject = open(os.path.join(os.path.dirname(__file__), "..", "pyproject.toml")).read()
    assert f'\nversion = "{tv.__version__}"\n' in pyproject
    assert tv._core.library_version() == tv.__version__
    stub = os.environ.get("TV_VERSION_STUB")
    if not stub:
        pytest.skip("TV_VERSION_STUB does not name the built tv_py_version_stub")
    out = run_isolated("import tessivane", LD_PRELOAD=stub)
    assert f"ImportError: tessivane {tv.__version__} needs libtessivane {tv.__version__[0]}.x, but the " \
           f"dynamic loader chose {stub}, version 9.9.9" in out.stderr
