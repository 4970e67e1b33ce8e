"""The batched calls from Python, as ratios measured in one run:

- t-test over 10^5 voxels x 20 + 20 samples: tessivane.ttest on one thread
  against scipy.stats.ttest_ind(axis=0) (when SciPy is installed), and 2
  threads against 1;
- 10^4 Gaussian fits of 100 points: tessivane.lm_fit_many on one thread
  against a loop of scipy.optimize.curve_fit (timed on 300 fits, scaled), and
  2 threads against 1;
- 10^5 fits on a 2-worker local Dask cluster against the in-process batch
  on 2 threads (when dask.distributed is installed; --no-dask skips it);
- realft of 10^5 series x 256 (float32, along the last axis): tessivane.realft
  on one thread against scipy.fft.rfft(x, axis=-1, workers=1) and
  numpy.fft.rfft, against the same batch run inside the extension (a new
  output array each time, as from Python), and 2 threads against 1.

Wall-clock medians of --repeat runs (default 3), and for the one-thread FFT
rows also process CPU time, which a loaded machine disturbs less. Before timing, each batched
call is checked against single calls on a few series. --smoke runs every row
once on a tenth of the sizes (scripts/run-benchmarks.sh --smoke), to check that
it runs, not to time.

    PYTHONPATH=build/python python3 bench/python/bench_batch.py [--repeat N] [--no-dask] [--smoke]
"""

import argparse
import time

import numpy as np

import tessivane as tv


def median_seconds(call, repeat, clock=time.perf_counter):
    """The median of `repeat` calls on `clock` (wall, or time.process_time: CPU)."""
    times = []
    for _ in range(repeat):
        start = clock()
        call()
        times.append(clock() - start)
    return float(np.median(times))


def peaks(rows, seed=3):
    rng = np.random.default_rng(seed)
    x = np.arange(100, dtype=np.float32)
    centres = 40.0 + rng.uniform(-5, 5, size=(rows, 1))
    y = 2.5 * np.exp(-((x - centres) / 10.0) ** 2) + 0.05 * rng.normal(size=(rows, 100))
    return x, y.astype(np.float32)


def bench_ttest(repeat, voxels):
    rng = np.random.default_rng(1)
    a = rng.normal(0.0, 1.0, size=(20, voxels)).astype(np.float32)
    b = rng.normal(0.3, 1.0, size=(20, voxels)).astype(np.float32)
    batch = tv.ttest(a, b, threads=1)
    for v in (0, 777, voxels - 1):
        assert tuple(np.float32(f[v]) for f in batch) == tv.ttest(a[:, v], b[:, v])
    one = median_seconds(lambda: tv.ttest(a, b, threads=1), repeat)
    two = median_seconds(lambda: tv.ttest(a, b, threads=2), repeat)
    print(f"t-test, {voxels} voxels x 20+20: 1 thread {one * 1e3:.1f} ms, 2 threads {two * 1e3:.1f} ms,"
          f" 2 threads {one / two:.2f}x faster")
    try:
        from scipy import stats
    except ImportError:
        print("  (SciPy not installed: no ttest_ind anchor)")
        return
    anchor = median_seconds(lambda: stats.ttest_ind(a, b, axis=0), repeat)
    print(f"  scipy.stats.ttest_ind(axis=0) {anchor * 1e3:.1f} ms: 1 thread takes {one / anchor:.2f}x"
          " its time")


def bench_fits(repeat, rows):
    x, y = peaks(rows)
    a0 = np.float32([1.0, 45.0, 12.0])
    res = tv.lm_fit_many(x, y[:20], a0, threads=2)
    for i in (0, 19):
        f = tv.LMFit(x, y[i], a0)
        f.run()
        assert np.array_equal(f.params, res.params[i])
    one = median_seconds(lambda: tv.lm_fit_many(x, y, a0, threads=1), repeat)
    two = median_seconds(lambda: tv.lm_fit_many(x, y, a0, threads=2), repeat)
    print(f"{rows} Gaussian fits of 100 points: 1 thread {one:.2f} s, 2 threads {two:.2f} s,"
          f" 2 threads {one / two:.2f}x faster")
    try:
        from scipy.optimize import curve_fit
    except ImportError:
        print("  (SciPy not installed: no curve_fit anchor)")
        return

    def gauss(t, amp, centre, width):
        return amp * np.exp(-((t - centre) / width) ** 2)

    subset = min(300, rows)
    xd = x.astype(np.float64)
    anchor = median_seconds(
        lambda: [curve_fit(gauss, xd, y[i], p0=a0) for i in range(subset)], repeat)
    anchor *= y.shape[0] / subset
    print(f"  scipy.optimize.curve_fit loop ({subset} fits, scaled to {rows}) {anchor:.1f} s:"
          f" 1 thread {anchor / one:.0f}x faster")


def bench_realft(repeat, series):
    from tessivane import _core

    x = np.random.default_rng(4).standard_normal((series, 256)).astype(np.float32)
    batch = tv.realft(x, threads=1)
    for i in (0, 777 % series, series - 1):
        assert np.array_equal(batch[i].view(np.uint32), tv.realft(x[i]).view(np.uint32))
    calls = {"python": lambda: tv.realft(x, threads=1),
             "c++": lambda: _core._time_realft_many(x, False, 1, 1, 1)}
    try:
        import scipy.fft
        calls["scipy"] = lambda: scipy.fft.rfft(x, axis=-1, workers=1)
    except ImportError:
        print("  (SciPy not installed: no scipy.fft.rfft anchor)")
    calls["numpy"] = lambda: np.fft.rfft(x, axis=-1)
    wall = {k: median_seconds(f, repeat) for k, f in calls.items()}
    cpu = {k: median_seconds(f, repeat, time.process_time) for k, f in calls.items()}
    two = median_seconds(lambda: tv.realft(x, threads=2), repeat)
    print(f"realft, {series} series x 256: 1 thread {wall['python'] * 1e3:.1f} ms"
          f" (CPU {cpu['python'] * 1e3:.1f} ms), 2 threads {two * 1e3:.1f} ms,"
          f" 2 threads {wall['python'] / two:.2f}x faster")
    for name in ("c++", "scipy", "numpy"):
        if name in wall:
            print(f"  against {name:5}: {wall[name] * 1e3:7.1f} ms (CPU {cpu[name] * 1e3:6.1f} ms);"
                  f" Python on 1 thread takes {wall['python'] / wall[name]:.2f}x its wall time,"
                  f" {cpu['python'] / cpu[name]:.2f}x its CPU time")


def bench_dask(repeat, rows):
    try:
        import dask
        import dask.array as da
        from dask.distributed import Client, LocalCluster
    except ImportError:
        print("dask.distributed not installed: no cluster overhead measured")
        return
    import tessivane.dask as tvd

    x, y = peaks(rows)
    a0 = [1.0, 45.0, 12.0]
    local = median_seconds(lambda: tv.lm_fit_many(x, y, a0, threads=2), repeat)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster):
        yd = da.from_array(y, chunks=(max(1, rows // 10), 100))
        cluster_s = median_seconds(lambda: dask.compute(*tvd.lm_fit_many(x, yd, a0)), repeat)
    print(f"{rows} fits: in process on 2 threads {local:.2f} s, 2-worker local Dask cluster"
          f" {cluster_s:.2f} s ({cluster_s / local:.2f}x, the overhead of the cluster)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--no-dask", action="store_true")
    parser.add_argument("--smoke", action="store_true")
    args = parser.parse_args()
    scale, repeat = (10, 1) if args.smoke else (1, args.repeat)
    bench_ttest(repeat, 100000 // scale)
    bench_fits(repeat, 10000 // scale)
    bench_realft(repeat, 100000 // scale)
    if not args.no_dask:
        bench_dask(repeat, 100000 // scale)


if __name__ == "__main__":
    main()
