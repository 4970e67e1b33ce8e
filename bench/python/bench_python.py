#!/usr/bin/env python3
"""Speed of the Python package against the C++ library and against NumPy and
SciPy, as ratios measured in one run (the least of repeated timings).

- realft call overhead: tessivane.realft (input copy included) over the same
  copy-and-realft loop timed inside the extension in C++; and over
  numpy.fft.rfft on the same float32 input;
- ttest / tutest over many columns, one call per column, over
  scipy.stats.ttest_ind (equal_var True / False), also one call per column;
- realft on two threads against one, from Python and in C++ (the GIL is released);
- LMFit with the built-in Gaussian over scipy.optimize.curve_fit on the same
  200-point peak.

usage: PYTHONPATH=<build>/python bench_python.py [--smoke]
--smoke: a few repetitions only, to check that every row runs.
"""
import sys
import time

import numpy as np

import tessivane as tv
from tessivane import _core

SMOKE = "--smoke" in sys.argv
REPEATS = 3 if SMOKE else 15


def seconds_per_call(fn, calls, repeats=None):
    """Least over REPEATS of the time per call of `calls` calls: on a shared
    machine the least time is the one least disturbed by other work."""
    times = []
    for _ in range(repeats or REPEATS):
        start = time.perf_counter()
        for _ in range(calls):
            fn()
        times.append((time.perf_counter() - start) / calls)
    return min(times)


def row(name, ours, anchor, anchor_name, target=None):
    ratio = ours / anchor
    verdict = "" if target is None else ("  (target <= %.2fx: %s)" % (target, "met" if ratio <= target else "MISSED"))
    print(f"{name:<34} {ours * 1e6:10.2f} us  {anchor_name:<28} {anchor * 1e6:10.2f} us  {ratio:7.3f}x{verdict}")


def bench_realft():
    rng = np.random.default_rng(1)
    for n, target in ((1024, 1.3), (65536, 1.05)):
        x = rng.standard_normal(n).astype(np.float32)
        out = np.empty_like(x)
        calls = max(2, (20 if SMOKE else 1000) * 1024 // n)
        # Interleaved, so that both sides meet the same load on a shared machine.
        new, into, cpp, numpy = [], [], [], []
        for _ in range(REPEATS * 2):
            new.append(seconds_per_call(lambda: tv.realft(x), calls, 1))
            into.append(seconds_per_call(lambda: tv.realft(x, out=out), calls, 1))
            cpp.append(_core._time_realft(x, 1, calls))
            numpy.append(seconds_per_call(lambda: np.fft.rfft(x), calls, 1))
        row(f"realft n={n}, new array", min(new), min(cpp), "C++ copy + realft", target)
        row(f"realft n={n}, out=", min(into), min(cpp), "C++ copy + realft", target)
        row(f"realft n={n}, new array", min(new), min(numpy), "numpy.fft.rfft")


def bench_threads():
    """The GIL is released while the library works: realft on two threads, from
    Python and in the C++ loop, as speed-ups over one thread (on a machine
    without a free second core neither can reach 2)."""
    from concurrent.futures import ThreadPoolExecutor
    x = np.random.default_rng(4).standard_normal(65536).astype(np.float32)
    calls = 4 if SMOKE else 100
    work = {"Python": lambda _: [tv.realft(x) for _ in range(calls)],
            "C++": lambda _: _core._time_realft(x, 1, calls)}
    with ThreadPoolExecutor(2) as pool:
        for name, batch in work.items():
            one = seconds_per_call(lambda: [batch(0), batch(1)], 1)
            two = seconds_per_call(lambda: list(pool.map(batch, range(2))), 1)
            print(f"realft n=65536 from {name:<6} on 2 threads: {one / two:.2f}x the speed of 1 thread")


def bench_ttest():
    try:
        from scipy import stats
    except ImportError:
        print("ttest/tutest: scipy not installed (python3-scipy), anchor skipped")
        return
    rng = np.random.default_rng(2)
    columns = 20 if SMOKE else 1000
    a = rng.standard_normal((columns, 20)).astype(np.float32)
    b = (rng.standard_normal((columns, 20)) + 0.3).astype(np.float32)
    for ours, equal_var in ((tv.ttest, True), (tv.tutest, False)):
        mine = seconds_per_call(lambda: [ours(a[i], b[i]) for i in range(columns)], 1) / columns
        theirs = seconds_per_call(
            lambda: [stats.ttest_ind(a[i], b[i], equal_var=equal_var) for i in range(columns)], 1) / columns
        row(f"{ours.__name__}, 20 + 20 per column", mine, theirs, f"ttest_ind(equal_var={equal_var})")


def bench_lmfit():
    try:
        from scipy.optimize import curve_fit
    except ImportError:
        print("LMFit: scipy not installed (python3-scipy), anchor skipped")
        return
    x = np.linspace(0, 20, 200, dtype=np.float32)
    rng = np.random.default_rng(3)
    y = (2.385 * np.exp(-((x - 9.3) / 3.1) ** 2) + 0.05 * rng.standard_normal(200)).astype(np.float32)
    a0 = [2.0, 9.0, 2.5]

    def ours():
        f = tv.LMFit(x, y, a0)
        f.run()
        return f.params

    def gauss(t, amplitude, centre, width):
        return amplitude * np.exp(-((t - centre) / width) ** 2)

    def theirs():
        return curve_fit(gauss, x, y, p0=a0)[0]

    np.testing.assert_allclose(ours(), theirs(), rtol=1e-3)
    calls = 5 if SMOKE else 100
    row("LMFit gauss, 200 points", seconds_per_call(ours, calls), seconds_per_call(theirs, calls),
        "scipy.optimize.curve_fit")


if __name__ == "__main__":
    print(f"{'':<34} {'ours':>13}  {'anchor':<28} {'':>13}  ratio (ours / anchor)")
    bench_realft()
    bench_threads()
    bench_ttest()
    bench_lmfit()
