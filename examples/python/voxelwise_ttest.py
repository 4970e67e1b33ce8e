#!/usr/bin/env python3
"""Welch t-map over a synthetic 3-D image: two groups of subjects, one image
each, a stronger signal in a ball-shaped region of the second group. Every
voxel gets tessivane.tutest (Welch's t, its df and two-sided p) on the
library's float32 numbers; the noise comes from tessivane.Ran1, so the map is
the same bit for bit on every machine.

usage: voxelwise_ttest.py [--shape X Y Z] [--png t_map.png]
Draws the middle slice of the t-map to the PNG when matplotlib is installed.
"""
import argparse
import time

import numpy as np

import tessivane as tv
from outputs import output_path


def synthetic_groups(shape, n_a=12, n_b=15, effect=1.5, seed=-2024):
    """Images of two groups (subjects first), with the effect in a ball for group b."""
    noise = tv.Ran1(seed)
    a = noise.gaussian((n_a, *shape))
    b = noise.gaussian((n_b, *shape))
    grid = np.indices(shape, dtype=np.float32)
    centre = np.array(shape, dtype=np.float32).reshape(3, 1, 1, 1) / 2
    ball = ((grid - centre) ** 2).sum(axis=0) <= (min(shape) / 4) ** 2
    b[:, ball] += effect
    return a, b, ball


def welch_map(a, b):
    """t, df and p of tutest per voxel."""
    shape = a.shape[1:]
    a = a.reshape(a.shape[0], -1)
    b = b.reshape(b.shape[0], -1)
    t, df, p = (np.empty(a.shape[1], np.float32) for _ in range(3))
    for v in range(a.shape[1]):
        t[v], df[v], p[v] = tv.tutest(a[:, v], b[:, v])
    return t.reshape(shape), df.reshape(shape), p.reshape(shape)


def draw(t, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib not installed: no picture drawn")
        return
    fig, ax = plt.subplots(figsize=(5, 4))
    image = ax.imshow(t[:, :, t.shape[2] // 2].T, origin="lower", cmap="RdBu_r", vmin=-8, vmax=8)
    fig.colorbar(image, ax=ax, label="Welch t (a - b)")
    ax.set_title("middle slice of the t-map")
    fig.savefig(path, dpi=100)
    print(f"wrote {path}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--shape", type=int, nargs=3, default=(32, 32, 16))
    parser.add_argument("--png",
                        help="default: t_map.png in the working directory (build/ in the source tree)")
    args = parser.parse_args()

    a, b, ball = synthetic_groups(tuple(args.shape))
    start = time.perf_counter()
    t, df, p = welch_map(a, b)
    seconds = time.perf_counter() - start
    hits = p < 0.001
    print(f"{t.size} voxels in {seconds:.2f} s; {a.shape[0]} + {b.shape[0]} subjects")
    print(f"p < 0.001 in {hits.sum()} voxels: {(hits & ball).sum()} of {ball.sum()} inside the ball, "
          f"{(hits & ~ball).sum()} outside")
    print(f"most negative t = {t.min():.2f} (df = {df.flat[t.argmin()]:.1f})")
    draw(t, args.png or output_path("t_map.png"))


if __name__ == "__main__":
    main()
