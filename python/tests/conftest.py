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
    if isinstance(value, str):
        return value
    if isinstance(value, (bool, int, np.integer)):
        return str(int(value))
    if isinstance(value, Double):
        return f"{np.float64(value).view(np.uint64):016x}"
    a = np.asarray(value)
    if a.ndim == 0:
        return f"{np.float32(a).view(np.uint32):08x}"
    if a.dtype.kind == "c":
        a = a.astype(np.complex64).view(np.float32)
    flat = " ".join(f"{v:08x}" for v in a.astype(np.float32).ravel().view(np.uint32))
    return " ".join(str(n) for n in a.shape) + " " + flat


def bits(result):
    """The tokens of a Python result, in the driver's output notation."""
    if isinstance(result, (tuple, list)):
        return [t for item in result for t in bits(item)]
    if isinstance(result, (bool, int, np.integer)):
        return [str(int(result))]
    a = np.asarray(result)
    if a.dtype.kind == "c":
        a = a.view(np.float32)
    if a.dtype == np.float64 and not isinstance(result, float):
        return ["nan" if np.isnan(v) else f"{v.view(np.uint64):016x}" for v in a.ravel()]
    if isinstance(result, float):
        assert np.isnan(result) or float(np.float32(result)) == result, "not a float32 value"
        a = np.float32(result)
    return ["nan" if np.isnan(v) else f"{v.view(np.uint32):08x}" for v in np.ravel(a)]


def _nan_tokens(tokens):
    out = []
    for t in tokens:
        if len(t) == 8 and np.isnan(np.uint32(int(t, 16)).view(np.float32)):
            t = "nan"
        elif len(t) == 16 and np.isnan(np.uint64(int(t, 16)).view(np.float64)):
            t = "nan"
        out.append(t)
    return out


class Driver:
    def __init__(self, path):
        self.path = path
        self.process = self._start()

    def _start(self):
        return subprocess.Popen([self.path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                text=True, bufsize=1)

    def __call__(self, name, *args, fresh=False):
        """The driver's tokens for one call, or ("ERR", message)."""
        process = self._start() if fresh else self.process
        process.stdin.write(" ".join([name] + [encode(a) for a in args]) + "\n")
        process.stdin.flush()
        line = process.stdout.readline().rstrip("\n")
        if fresh:
            process.stdin.close()
            process.wait()
        if line.startswith("ERR "):
            return ("ERR", line[4:])
        return _nan_tokens(line.split())

    def close(self):
        self.process.stdin.close()
        self.process.wait()


@pytest.fixture(scope="session")
def driver():
    path = os.environ.get("TV_BITS_DRIVER")
    if not path or not os.access(path, os.X_OK):
        pytest.skip("TV_BITS_DRIVER does not name the built tv_py_bits_driver")
    d = Driver(path)
    yield d
    d.close()


def check_bits(driver, case):
    """Runs one (id, python call, driver command) case on both sides and compares."""
    import tessivane

    _, call, command = case
    expected = driver(*command[:1], *command[1:])
    if expected[0] == "ERR":
        with pytest.raises(tessivane.NumericsError) as error:
            call()
        assert str(error.value) == expected[1]
    else:
        assert bits(call()) == expected
