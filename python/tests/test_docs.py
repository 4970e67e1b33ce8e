"""The README's Python example prints what the README says it prints, and the
voxel-wise example runs."""
import os
import re
import subprocess
import sys

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


def test_voxelwise_spectrum_example():
    out = run([os.path.join(ROOT, "examples", "python", "voxelwise_spectrum.py"), "--shape", "8", "8", "4",
               "64", "--threads", "2"])
    difference, inside, outside = re.search(
        r"difference from NumPy's float64 map: (\S+)\nmean band power inside the ball (\d+), outside (\d+)",
        out).groups()
    assert float(difference) < 1e-5 and int(inside) > 2 * int(outside)
