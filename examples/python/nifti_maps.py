#!/usr/bin/env python3
"""Voxel-wise statistics on NIfTI images: t, p and fit-outcome maps.

Researchers keep their images as NIfTI files; nibabel (Debian's
python3-nibabel) reads and writes them. This example first writes small
synthetic images, as a scanner pipeline would leave them:

  group-control/sub-XX.nii.gz, group-patient/sub-XX.nii.gz
      one 3-D image per subject (16 x 16 x 8 voxels of 2 mm, with an affine
      that places them in scanner space); the patients' signal is raised in a
      ball-shaped region;
  run-1_bold.nii.gz
      one 4-D run (30 volumes) whose voxels in the ball respond with a
      Gaussian peak in time.

It then reads them back as any analysis would, runs Student's t-test in every
voxel between the groups (tessivane.ttest, axis=0) and fits the library's
Gaussian model to every voxel's time course (tessivane.lm_fit_many), and
writes the maps with the input's affine: t.nii.gz, p.nii.gz,
amplitude.nii.gz and outcome.nii.gz (codes listed in its header description),
plus slice.png, the middle slice of the t-map beside the fit outcomes.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/nifti_maps.py [--out DIR]

DIR defaults to nifti_maps/ in the working directory (in build/ when that is
the source tree).
"""
import argparse
import os
import struct
import sys
import zlib

import numpy as np

import tessivane as tv
from outputs import output_path

try:
    import nibabel as nib
except ImportError:
    sys.exit("nifti_maps.py needs nibabel (Debian: sudo apt-get install python3-nibabel)")

SHAPE = (16, 16, 8)
VOLUMES = 30
# 2 mm voxels, the first voxel at (-16, -16, -8) mm in scanner space.
AFFINE = np.array([[2.0, 0, 0, -16], [0, 2.0, 0, -16], [0, 0, 2.0, -8], [0, 0, 0, 1]])
# The outcome codes of outcome.nii.gz; 0 is "refused" (the library refused the row).
OUTCOMES = ["refused", "converged", "stalled", "iteration_limit", "small_steps", "degenerate"]


def ball(shape):
    grid = np.indices(shape, dtype=np.float32)
    centre = np.array(shape, dtype=np.float32).reshape(3, 1, 1, 1) / 2
    return ((grid - centre) ** 2).sum(axis=0) <= (min(shape) / 3) ** 2


def write_synthetic_images(out, subjects=8, seed=-33):
    """The input files: two groups of 3-D images and one 4-D run."""
    noise = tv.Ran1(seed)
    inside = ball(SHAPE)
    for group, effect in (("control", 0.0), ("patient", 2.5)):
        os.makedirs(os.path.join(out, f"group-{group}"), exist_ok=True)
        for s in range(1, subjects + 1):
            image = 100 + noise.gaussian(SHAPE)
            image[inside] += effect
            path = os.path.join(out, f"group-{group}", f"sub-{s:02d}.nii.gz")
            nib.save(nib.Nifti1Image(image, AFFINE), path)
    t = np.arange(VOLUMES, dtype=np.float32).reshape(-1, 1, 1, 1)
    run = 0.2 * noise.gaussian((VOLUMES, *SHAPE)) + inside * 2.0 * np.exp(-((t - 14) / 4) ** 2)
    nib.save(nib.Nifti1Image(np.moveaxis(run, 0, -1).astype(np.float32), AFFINE),
             os.path.join(out, "run-1_bold.nii.gz"))


def read_group(folder):
    """(subjects, x, y, z) float32 and the affine the images share."""
    images = [nib.load(os.path.join(folder, f)) for f in sorted(os.listdir(folder))]
    affine = images[0].affine
    if any(not np.allclose(i.affine, affine) for i in images):
        sys.exit(f"{folder}: the images are not in one space")
    return np.stack([i.get_fdata(dtype=np.float32) for i in images]), affine


def write_map(data, affine, path, description=""):
    image = nib.Nifti1Image(data, affine)
    image.header["descrip"] = description.encode()[:79]
    nib.save(image, path)


def write_png(path, panels):
    """Panels of values in [-1, 1] side by side, blue through white to red, 8x enlarged."""
    # Each panel with x to the right and y upwards, a grey column after it.
    rows = np.concatenate([np.pad(p.T[::-1], ((0, 0), (0, 1)), constant_values=np.nan) for p in panels],
                          axis=1)
    rows = np.kron(rows, np.ones((8, 8)))
    v = np.clip(np.nan_to_num(rows, nan=0.0), -1, 1)
    rgb = np.stack([1 + np.minimum(v, 0), 1 - np.abs(v), 1 - np.maximum(v, 0)], axis=-1)
    rgb[np.isnan(rows)] = 0.3
    pixels = (rgb * 255).astype(np.uint8)
    raw = b"".join(b"\0" + row.tobytes() for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", pixels.shape[1], pixels.shape[0], 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
                chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", help="folder for the images (default: nifti_maps/)")
    out = parser.parse_args().out or output_path("nifti_maps")
    write_synthetic_images(out)

    control, affine = read_group(os.path.join(out, "group-control"))
    patient, _ = read_group(os.path.join(out, "group-patient"))
    test = tv.ttest(patient, control, axis=0)  # Student's t, df and p per voxel
    write_map(test.statistic, affine, os.path.join(out, "t.nii.gz"), "Student's t, patient - control")
    write_map(test.pvalue, affine, os.path.join(out, "p.nii.gz"), "two-sided p of t")

    run = nib.load(os.path.join(out, "run-1_bold.nii.gz"))
    courses = np.moveaxis(run.get_fdata(dtype=np.float32), -1, 0).reshape(VOLUMES, -1).T
    fits = tv.lm_fit_many(np.arange(VOLUMES), courses, [1.0, 12.0, 3.0])
    codes = np.array([OUTCOMES.index(o) for o in fits.outcome], dtype=np.int16).reshape(SHAPE)
    amplitude = fits.params[:, 0].reshape(SHAPE)
    write_map(amplitude, run.affine, os.path.join(out, "amplitude.nii.gz"), "fitted Gaussian amplitude")
    write_map(codes, run.affine, os.path.join(out, "outcome.nii.gz"),
              " ".join(f"{c}={name}" for c, name in enumerate(OUTCOMES)))

    inside = ball(SHAPE)
    found = test.pvalue < 0.001
    print(f"{control.shape[0]} + {patient.shape[0]} images of {SHAPE[0]}x{SHAPE[1]}x{SHAPE[2]} voxels read "
          f"from {out}")
    print(f"t-test: p < 0.001 in {found.sum()} voxels, "
          f"{(found & inside).sum()} of {inside.sum()} inside the ball")
    counts = ", ".join(f"{(codes == c).sum()} {name}"
                       for c, name in enumerate(OUTCOMES) if (codes == c).any())
    print(f"Gaussian fits of {codes.size} time courses: {counts}")
    print(f"inside the ball: {(codes[inside] == 1).sum()} of {inside.sum()} converged, "
          f"median amplitude {np.median(amplitude[inside]):.2f} (2 simulated)")
    middle = SHAPE[2] // 2
    write_png(os.path.join(out, "slice.png"),
              [test.statistic[:, :, middle] / 8, (codes[:, :, middle] == 1) * 1.0 - 0.5])
    print(f"wrote t, p, amplitude and outcome maps (.nii.gz, the input's affine) and slice.png to {out}")


if __name__ == "__main__":
    main()
