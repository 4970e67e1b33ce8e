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
