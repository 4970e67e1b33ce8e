"""Voxel-wise fits of a synthetic 4-D image, in one process and on a local Dask
cluster, with the same bits both ways.

The image is 40 time points over a 32 x 32 x 16 volume: inside a sphere every
voxel responds with a Gaussian peak (amplitude growing towards the centre),
elsewhere there is only noise. Each voxel's time course is fitted with the
library's Gaussian model (tessivane.lm_fit_many) from its own automatic start,
and its samples during the response window are compared with the rest by
Welch's t (tessivane.tutest). Only voxels whose fit converged are drawn: the
others (noise that the model cannot describe ends "degenerate") are blank.
The same calls then run through tessivane.dask on a two-process
LocalCluster. With matplotlib installed the middle slice of both maps is drawn
to a PNG file in the working directory, the amplitude on the scale of the
simulated amplitudes (0 to 3).

    PYTHONPATH=build/python python3 examples/python/voxelwise_fit.py
        [--shape X Y Z] [--png voxelwise_fit.png] [--no-cluster]
"""

import argparse
import time

import numpy as np

import tessivane as tv
from outputs import output_path

T = 40
WINDOW = slice(14, 26)  # the response window (time points)
PEAK_AMPLITUDE = 3.0     # the simulated amplitude at the centre of the sphere


def synthetic_image(shape, seed=1):
    """(T, x, y, z) float32: a Gaussian response in a sphere, noise everywhere."""
    rng = np.random.default_rng(seed)
    t = np.arange(T, dtype=np.float32)
    grid = np.indices(shape).astype(np.float32)
    centre = np.array(shape, np.float32)[:, None, None, None] / 2
    r = np.sqrt(((grid - centre) ** 2).sum(axis=0))
    amplitude = np.clip(1.0 - r / (min(shape) / 2), 0.0, None) * PEAK_AMPLITUDE
    peak = np.exp(-((t - 20.0) / 4.0) ** 2)
    image = amplitude[None] * peak[:, None, None, None] + rng.normal(0, 0.3, (T,) + tuple(shape))
    return t, image.astype(np.float32)


def fit_in_process(t, image):
    courses = image.reshape(T, -1).T  # one time course per row
    start = time.perf_counter()
    fits = tv.lm_fit_many(t, courses)  # a0="auto": each voxel from its own data
    welch = tv.tutest(image[WINDOW], np.concatenate([image[:WINDOW.start], image[WINDOW.stop:]]))
    return fits, welch, time.perf_counter() - start


def fit_on_cluster(t, image):
    import dask
    import dask.array as da
    from dask.distributed import Client, LocalCluster

    import tessivane.dask as tvd

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster):
        start = time.perf_counter()
        courses = da.from_array(image.reshape(T, -1).T, chunks=(4096, T))
        volume = da.from_array(image, chunks=(T, max(1, image.shape[1] // 2), -1, -1))
        rest = da.concatenate([volume[:WINDOW.start], volume[WINDOW.stop:]])
        fits, welch = dask.compute(tvd.lm_fit_many(t, courses),
                                   tvd.tutest(volume[WINDOW], rest))
        return fits, welch, time.perf_counter() - start


def draw(amplitude, welch_t, path):
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no picture drawn")
        return
    z = amplitude.shape[2] // 2
    fig, axes = plt.subplots(1, 2, figsize=(9, 4))
    # The amplitude on the scale of the simulated one: a fit that ran away
    # cannot stretch the colours (and only converged voxels are drawn at all).
    for ax, data, title, limits in (
            (axes[0], amplitude[:, :, z], "fitted amplitude (converged voxels)",
             (0.0, PEAK_AMPLITUDE)),
            (axes[1], welch_t[:, :, z], "Welch t, window vs rest", (None, None))):
        im = ax.imshow(data.T, origin="lower", cmap="viridis", vmin=limits[0], vmax=limits[1])
        ax.set_title(title)
        fig.colorbar(im, ax=ax)
    fig.savefig(path, dpi=100)
    print(f"maps drawn to {path}")


def main():
    parser = argparse.ArgumentParser(description="Voxel-wise fits of a synthetic 4-D image")
    parser.add_argument("--shape", type=int, nargs=3, default=[32, 32, 16], metavar=("X", "Y", "Z"))
    parser.add_argument("--png",
                        help="default: voxelwise_fit.png in the working directory "
                             "(build/ in the source tree)")
    parser.add_argument("--no-cluster", action="store_true")
    args = parser.parse_args()
    shape = tuple(args.shape)
    centre = tuple(n // 2 for n in shape)

    t, image = synthetic_image(shape)
    fits, welch, seconds = fit_in_process(t, image)
    converged = fits.outcome == "converged"
    amplitude = np.where(converged, fits.params[:, 0], np.nan).reshape(shape)
    counts = ", ".join(f"{n} {o}" for o, n in zip(*np.unique(fits.outcome, return_counts=True)))
    print(f"in one process: {amplitude.size} voxels fitted and tested in {seconds:.2f} s "
          f"({counts})")
    print(f"centre voxel: amplitude = {amplitude[centre]:.2f}, "
          f"Welch t = {welch.statistic[centre]:.1f}, p = {welch.pvalue[centre]:.2g}")
    draw(amplitude, welch.statistic, args.png or output_path("voxelwise_fit.png"))
    if args.no_cluster:
        return
    try:
        import dask.distributed  # noqa: F401
    except ImportError:
        print("dask.distributed is not installed: no cluster run")
        return
    cluster_fits, cluster_welch, cluster_seconds = fit_on_cluster(t, image)
    same = all(np.array_equal(a, b, equal_nan=True)
               for a, b in zip(cluster_fits[:3] + tuple(cluster_welch), fits[:3] + tuple(welch)))
    # and every row's outcome, message and retry flag
    same = same and all(np.array_equal(np.asarray(getattr(cluster_fits, f), str if f == "message"
                                                  else None), getattr(fits, f))
                        for f in ("outcome", "iterations", "message", "retried"))
    print(f"on a 2-worker local Dask cluster: {cluster_seconds:.2f} s, "
          f"the same bits: {'yes' if same else 'NO'}")


if __name__ == "__main__":
    main()
