"""The C++ driver that computes the library's results for the bits tests, and
the notation both sides are compared in: float32 values as 8 hex digits of
their bits (any NaN as "nan"), float64 as 16, integers in decimal."""
import os
import subprocess

import numpy as np
import pytest


class Double(float):
    """A driver argument sent as a float64."""


def encode(value):
    if isinstance(value, (str, int, np.integer)):
        return str(value)
    if isinstance(value, Double):
        return f"{np.float64(value).view(np.uint64):016x}"
    a = np.asarray(value)
    a = a.astype(np.complex64).view(np.float32) if a.dtype.kind == "c" else a.astype(np.float32)
    flat = " ".join(f"{v:08x}" for v in a.ravel().view(np.uint32))
    return flat if a.ndim == 0 else " ".join(map(str, a.shape)) + " " + flat


def bits(result):
    """The tokens of a Python result, in the driver's output notation."""
    if isinstance(result, (tuple, list)):
        return [t for item in result for t in bits(item)]
    if isinstance(result, (int, np.integer)):
        return [str(int(result))]
    if isinstance(result, float):
        assert np.isnan(result) or float(np.float32(result)) == result, "not a float32 value"
        result = np.float32(result)
    a = np.asarray(result)
    a = a.view(np.float32) if a.dtype.kind == "c" else a
    width = 16 if a.dtype == np.float64 else 8
    return ["nan" if np.isnan(v) else f"{v.view(f'u{width // 2}'):0{width}x}" for v in a.ravel()]


def _nan_tokens(tokens):
    kinds = {8: np.float32, 16: np.float64}
    return ["nan" if len(t) in kinds and np.isnan(np.array(int(t, 16), f"u{len(t) // 2}").view(kinds[len(t)]))
            else t for t in tokens]


def call_driver(process, name, *args):
    """The driver's tokens for one call, or ("ERR", message)."""
    process.stdin.write(" ".join([name] + [encode(a) for a in args]) + "\n")
    process.stdin.flush()
    line = process.stdout.readline().rstrip("\n")
    return ("ERR", line[4:]) if line.startswith("ERR ") else _nan_tokens(line.split())


@pytest.fixture(scope="session")
def driver():
    """driver(name, *args, fresh=False): fresh runs the call in a new driver process."""
    path = os.environ.get("TV_BITS_DRIVER")
    if not path or not os.access(path, os.X_OK):
        pytest.skip("TV_BITS_DRIVER does not name the built tv_py_bits_driver")

    def start():
        return subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)

    session = start()

    def run(name, *args, fresh=False):
        if not fresh:
            return call_driver(session, name, *args)
        with start() as process:  # leaving closes its stdin and waits for it
            return call_driver(process, name, *args)
    yield run
    session.stdin.close()
    session.wait()

