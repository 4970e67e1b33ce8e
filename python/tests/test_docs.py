"""The README's Python example prints what the README says it prints, the
voxel-wise example runs, and the type stub matches the package."""
import os
import re
import subprocess
import sys

import pytest

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")


def run(args):
    return subprocess.run([sys.executable, *args], capture_output=True, text=True, check=True,
                          cwd=os.environ.get("TMPDIR", "/tmp")).stdout


def test_readme_example_prints_as_documented():
    readme = open(os.path.join(ROOT, "README.md")).read()
    section = readme[readme.index("## From Python"):]
    code, printed = re.search(r"```python\n(.*?)```\n\nprints\n\n```text\n(.*?)```", section, re.S).groups()
    assert run(["-c", code]) == printed


def test_voxelwise_example():
    out = run([os.path.join(ROOT, "examples", "python", "voxelwise_ttest.py"), "--shape", "8", "8", "4",
               "--png", os.devnull])
    assert re.search(r"256 voxels .*\np < 0\.001 in \d+ voxels", out)


def test_stub_matches_the_package():
    pytest.importorskip("mypy.stubtest")
    here = os.path.dirname(os.path.abspath(__file__))
    out = subprocess.run([sys.executable, "-m", "mypy.stubtest", "tessivane", "--mypy-config-file",
                          os.path.join(here, "stubtest.ini"), "--allowlist",
                          os.path.join(here, "stubtest-allowlist.txt")],
                         capture_output=True, text=True, cwd=os.environ.get("TMPDIR", "/tmp"))
    assert out.returncode == 0, out.stdout + out.stderr


def test_nifti_example_writes_maps_in_the_input_space(tmp_path):
    nib = pytest.importorskip("nibabel")
    import numpy as np
    import tessivane as tv

    out = run([os.path.join(ROOT, "examples", "python", "nifti_maps.py"), "--out", str(tmp_path)])
    assert re.search(r"p < 0\.001 in \d+ voxels.*\n.*\d+ converged.*\n"
                     r"inside the ball: 81 of 81 converged", out)
    groups = [np.stack([nib.load(str(f)).get_fdata(dtype=np.float32)
                        for f in sorted((tmp_path / f"group-{g}").iterdir())])
              for g in ("patient", "control")]
    t_map = nib.load(str(tmp_path / "t.nii.gz"))
    run_affine = nib.load(str(tmp_path / "run-1_bold.nii.gz")).affine
    assert np.array_equal(t_map.affine, nib.load(str(next((tmp_path / "group-control").iterdir()))).affine)
    assert np.array_equal(nib.load(str(tmp_path / "outcome.nii.gz")).affine, run_affine)
    # The maps hold the library's bits for the images as read back.
    assert np.array_equal(t_map.get_fdata(dtype=np.float32), tv.ttest(*groups, axis=0).statistic)
    assert (tmp_path / "slice.png").read_bytes().startswith(b"\x89PNG")


def test_examples_write_into_the_working_directory_or_build(monkeypatch, tmp_path):
    monkeypatch.syspath_prepend(os.path.join(ROOT, "examples", "python"))
    from outputs import output_path

    monkeypatch.chdir(tmp_path)
    assert output_path("t_map.png") == "t_map.png"
    monkeypatch.chdir(os.path.join(ROOT, "examples"))
    in_build = os.path.realpath(os.path.join(ROOT, "build", "t_map.png"))
    assert os.path.realpath(output_path("t_map.png")) == in_build


def test_voxelwise_spectrum_example():
    out = run([os.path.join(ROOT, "examples", "python", "voxelwise_spectrum.py"), "--shape", "8", "8", "4",
               "64", "--threads", "2"])
    difference, inside, outside = re.search(
        r"difference from NumPy's float64 map: (\S+)\nmean band power inside the ball (\d+), outside (\d+)",
        out).groups()
    assert float(difference) < 1e-5 and int(inside) > 2 * int(outside)
