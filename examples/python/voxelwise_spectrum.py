#!/usr/bin/env python3
"""Power in a frequency band for every voxel of a synthetic 4-D image
(x, y, z, time): noise everywhere, a slow oscillation in a ball-shaped
region. tessivane.realft transforms every voxel's time course in one call
(the library's batch, on all CPUs, each spectrum bit for bit the single
call's); the same map from numpy.fft.rfft is timed next to it.

usage: voxelwise_spectrum.py [--shape X Y Z T] [--tr 2.0] [--band 0.01 0.08]
                             [--threads N]
T must be a power of two.
"""
import argparse
import time

import numpy as np

import tessivane as tv


def synthetic_image(shape, tr, hz=0.05, seed=7):
    """Gaussian noise, plus a sine of `hz` in a ball at the centre."""
    image = np.random.default_rng(seed).standard_normal(shape, dtype=np.float32)
    grid = np.indices(shape[:3], dtype=np.float32)
    centre = np.array(shape[:3], dtype=np.float32).reshape(3, 1, 1, 1) / 2
    ball = ((grid - centre) ** 2).sum(axis=0) <= (min(shape[:3]) / 4) ** 2
    image[ball] += np.sin(2 * np.pi * hz * tr * np.arange(shape[3])).astype(np.float32)
    return image, ball


def band_bins(n, tr, band):
    """The frequencies k = first..last (k / (n tr) Hz) inside the band."""
    hz = np.arange(n // 2) / (n * tr)
    k = np.flatnonzero((hz >= band[0]) & (hz <= band[1]))
    return int(max(k[0], 1)), int(k[-1])


def band_power(image, tr, band, threads=None):
    """sum of |F_k|^2 over the band, from realft's packed spectra [F_0, F_n/2, Re F_1, Im F_1, ...]."""
    first, last = band_bins(image.shape[-1], tr, band)
    packed = tv.realft(image, threads=threads)  # every voxel's spectrum, along the last axis
    band = packed[..., 2 * first:2 * last + 2]  # Re F_first, Im F_first, ..., Im F_last
    return np.einsum("...k,...k->...", band, band)


def band_power_numpy(image, tr, band):
    first, last = band_bins(image.shape[-1], tr, band)
    spectrum = np.fft.rfft(image, axis=-1)[..., first:last + 1]
    return (spectrum.real ** 2 + spectrum.imag ** 2).sum(axis=-1)


def timed(call):
    """call()'s result, wall-clock seconds and CPU seconds (all threads)."""
    wall, cpu = time.perf_counter(), time.process_time()
    result = call()
    return result, time.perf_counter() - wall, time.process_time() - cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--shape", type=int, nargs=4, default=(64, 64, 32, 256))
    parser.add_argument("--tr", type=float, default=2.0, help="seconds per volume")
    parser.add_argument("--band", type=float, nargs=2, default=(0.01, 0.08), help="Hz")
    parser.add_argument("--threads", type=int, default=None)
    args = parser.parse_args()

    image, ball = synthetic_image(tuple(args.shape), args.tr)
    ours, wall, cpu = timed(lambda: band_power(image, args.tr, args.band, args.threads))
    theirs, numpy_wall, numpy_cpu = timed(lambda: band_power_numpy(image, args.tr, args.band))
    voxels = image[..., 0].size
    print(f"{voxels} voxels x {image.shape[-1]} time points, band {args.band[0]}-{args.band[1]} Hz")
    print(f"tessivane.realft: {wall:.3f} s (CPU {cpu:.3f} s); numpy.fft.rfft: {numpy_wall:.3f} s"
          f" (CPU {numpy_cpu:.3f} s)")
    worst = float(np.max(np.abs(ours - theirs) / theirs))
    print(f"largest relative difference from NumPy's float64 map: {worst:.1e}")
    print(f"mean band power inside the ball {ours[ball].mean():.0f}, outside {ours[~ball].mean():.0f}")


if __name__ == "__main__":
    main()
