"""Realistic voxel-fit families for the Levenberg-Marquardt outcome table and
benchmark (fit_outcomes.py, bench_lm_fits.py).

A family is a set of rows fitted alike: 100-point time courses x = 0..99 of a
Gaussian peak a exp(-((x - c) / w)^2) (the library's built-in model) with
Gaussian noise of known sigma, a user model (an exponential decay on a
baseline), or NIST's nonlinear regression problems with their two starts and
certified values. Each family says how its rows start: "fixed" (one start for
every row, as a user who does not look at the data writes), "near" (the truth
moved by a few per cent), "poor" (one start far from most rows) or "auto" (the
library's start from each row's data).
"""

import os
from dataclasses import dataclass, field
from typing import Callable, Optional

import numpy as np

NIST_DIR = os.environ.get("TV_NIST_DIR", "/work/shared/data/nist-strd")
X = np.arange(100, dtype=np.float32)


@dataclass
class Family:
    name: str
    start: str                  # "fixed", "near", "poor", "auto" or "NIST 1" / "NIST 2"
    x: np.ndarray               # (n,) float32
    y: np.ndarray               # (rows, n) float32
    sig: np.ndarray             # (n,) float32
    a0: Optional[np.ndarray]    # (rows, ma) float32, None for "auto"
    truth: np.ndarray           # (rows, ma) float64: the generating (or certified) parameters
    model: str = "gauss"        # "gauss" or "user"
    f: Optional[Callable] = None  # vectorised f(b, x) in double for a user model
    certified: bool = False     # truth is NIST's certified optimum
    extra: dict = field(default_factory=dict)


def gauss(b, x):
    """Sum of Gaussians in double, the built-in model's parameterisation."""
    y = np.zeros_like(np.asarray(x, dtype=np.float64))
    for i in range(0, len(b) - 2, 3):
        y = y + b[i] * np.exp(-((x - b[i + 1]) / b[i + 2]) ** 2)
    return y


def decay(b, x):
    """The user model: amplitude, time constant, baseline."""
    return b[0] * np.exp(-x / b[1]) + b[2]


# (name, amplitude range, centre ranges, width range, noise)
GAUSS_SHAPES = [
    ("clean, low noise", (1, 5), [(20, 80)], (4, 15), 0.02),
    ("moderate noise", (1, 5), [(20, 80)], (4, 15), 0.2),
    ("high noise", (1, 5), [(20, 80)], (4, 15), 0.5),
    ("peak near an edge", (1, 5), [(0, 8), (91, 99)], (4, 15), 0.1),
    ("narrow peak", (1, 5), [(20, 80)], (1, 3), 0.1),
    ("wide peak", (1, 5), [(20, 80)], (20, 50), 0.1),
    ("low amplitude", (0.2, 0.6), [(20, 80)], (4, 15), 0.2),
]


def gauss_family(rng, rows, name, amp, centres, width, noise, start):
    a = rng.uniform(*amp, rows)
    band = rng.integers(len(centres), size=rows)
    c = np.array([rng.uniform(*centres[k]) for k in band])
    w = rng.uniform(*width, rows)
    truth = np.stack([a, c, w], axis=1)
    y = (truth[:, :1] * np.exp(-((X - truth[:, 1:2]) / truth[:, 2:3]) ** 2)
         + rng.normal(0, noise, (rows, X.size))).astype(np.float32)
    if start == "fixed":
        a0 = np.tile(np.float32([3.0, 50.0, 10.0]), (rows, 1))
    elif start == "near":
        a0 = (truth * (1 + rng.normal(0, 0.05, truth.shape))).astype(np.float32)
    elif start == "poor":
        a0 = np.tile(np.float32([1.0, 20.0, 3.0]), (rows, 1))
    else:
        a0 = None
    sig = np.full(X.size, noise, np.float32)
    return Family(name, start, X, y, sig, a0, truth)


def decay_family(rng, rows, start):
    truth = np.stack([rng.uniform(1, 5, rows), rng.uniform(5, 40, rows),
                      rng.uniform(-1, 1, rows)], axis=1)
    noise = 0.1
    y = (truth[:, :1] * np.exp(-X / truth[:, 1:2]) + truth[:, 2:3]
         + rng.normal(0, noise, (rows, X.size))).astype(np.float32)
    if start == "fixed":
        a0 = np.tile(np.float32([2.0, 20.0, 0.0]), (rows, 1))
    else:
        a0 = (truth * (1 + rng.normal(0, 0.05, truth.shape))).astype(np.float32)
    return Family("user model: decay on a baseline", start, X, y, np.full(X.size, noise, np.float32),
                  a0, truth, model="user", f=decay)


def _nist_models():
    e, a = np.exp, np.arctan
    return {
        "Misra1a": lambda b, x: b[0] * (1 - e(-b[1] * x)),
        "Misra1b": lambda b, x: b[0] * (1 - (1 + b[1] * x / 2) ** (-2)),
        "Chwirut1": lambda b, x: e(-b[0] * x) / (b[1] + b[2] * x),
        "Chwirut2": lambda b, x: e(-b[0] * x) / (b[1] + b[2] * x),
        "DanWood": lambda b, x: b[0] * x ** b[1],
        "Gauss1": lambda b, x: b[0] * e(-b[1] * x) + b[2] * e(-(x - b[3]) ** 2 / b[4] ** 2)
        + b[5] * e(-(x - b[6]) ** 2 / b[7] ** 2),
        "Gauss2": lambda b, x: b[0] * e(-b[1] * x) + b[2] * e(-(x - b[3]) ** 2 / b[4] ** 2)
        + b[5] * e(-(x - b[6]) ** 2 / b[7] ** 2),
        "Gauss3": lambda b, x: b[0] * e(-b[1] * x) + b[2] * e(-(x - b[3]) ** 2 / b[4] ** 2)
        + b[5] * e(-(x - b[6]) ** 2 / b[7] ** 2),
        "Lanczos3": lambda b, x: b[0] * e(-b[1] * x) + b[2] * e(-b[3] * x) + b[4] * e(-b[5] * x),
        "Kirby2": lambda b, x: (b[0] + b[1] * x + b[2] * x ** 2) / (1 + b[3] * x + b[4] * x ** 2),
        "Thurber": lambda b, x: (b[0] + b[1] * x + b[2] * x ** 2 + b[3] * x ** 3)
        / (1 + b[4] * x + b[5] * x ** 2 + b[6] * x ** 3),
        "Hahn1": lambda b, x: (b[0] + b[1] * x + b[2] * x ** 2 + b[3] * x ** 3)
        / (1 + b[4] * x + b[5] * x ** 2 + b[6] * x ** 3),
        "Roszman1": lambda b, x: b[0] - b[1] * x - a(b[2] / (x - b[3])) / np.pi,
        "ENSO": lambda b, x: b[0] + b[1] * np.cos(2 * np.pi * x / 12) + b[2] * np.sin(2 * np.pi * x / 12)
        + b[4] * np.cos(2 * np.pi * x / b[3]) + b[5] * np.sin(2 * np.pi * x / b[3])
        + b[7] * np.cos(2 * np.pi * x / b[6]) + b[8] * np.sin(2 * np.pi * x / b[6]),
        "MGH09": lambda b, x: b[0] * (x ** 2 + x * b[1]) / (x ** 2 + x * b[2] + b[3]),
        "MGH10": lambda b, x: b[0] * e(b[1] / (x + b[2])),
        "MGH17": lambda b, x: b[0] + b[1] * e(-x * b[3]) + b[2] * e(-x * b[4]),
        "Eckerle4": lambda b, x: (b[0] / b[1]) * e(-0.5 * ((x - b[2]) / b[1]) ** 2),
        "Rat42": lambda b, x: b[0] / (1 + e(b[1] - b[2] * x)),
        "Rat43": lambda b, x: b[0] / (1 + e(b[1] - b[2] * x)) ** (1 / b[3]),
        "Bennett5": lambda b, x: b[0] * (b[1] + x) ** (-1 / b[2]),
        "BoxBOD": lambda b, x: b[0] * (1 - e(-b[1] * x)),
    }


def read_nist(name):
    """(starts [2][p], certified [p], x [n], y [n]) from a StRD file."""
    starts, cert, data, in_data = [[], []], [], [], False
    with open(os.path.join(NIST_DIR, name + ".dat")) as fh:
        for line in fh:
            p = line.split()
            if in_data:
                if len(p) >= 2:
                    data.append((float(p[1]), float(p[0])))
                continue
            if line.startswith("Data:") and " y " in line:
                in_data = True
            elif len(p) >= 6 and p[0].startswith("b") and p[1] == "=":
                try:
                    v = [float(t) for t in p[2:5]]
                except ValueError:
                    continue
                starts[0].append(v[0])
                starts[1].append(v[1])
                cert.append(v[2])
    d = np.array(data)
    return np.array(starts), np.array(cert), d[:, 0], d[:, 1]


def nist_families():
    out = []
    for name, f in _nist_models().items():
        if not os.path.exists(os.path.join(NIST_DIR, name + ".dat")):
            continue
        starts, cert, x, y = read_nist(name)
        for s in (0, 1):
            out.append(Family(f"NIST {name}", f"NIST {s + 1}", x.astype(np.float32),
                              y.astype(np.float32)[None, :], np.ones(x.size, np.float32),
                              starts[s].astype(np.float32)[None, :], cert[None, :], model="user",
                              f=f, certified=True))
    return out


def families(rows=400, seed=29, nist=True):
    """Every family of the table: the Gaussian shapes from a fixed start and
    from the automatic start, two more starts on the moderate shape, the user
    model, and NIST's problems."""
    rng = np.random.default_rng(seed)
    out = []
    for name, amp, centres, width, noise in GAUSS_SHAPES:
        state = rng.bit_generator.state
        fixed = gauss_family(rng, rows, name, amp, centres, width, noise, "fixed")
        rng.bit_generator.state = state  # the same rows from the automatic start
        auto = gauss_family(rng, rows, name, amp, centres, width, noise, "auto")
        out += [fixed, auto]
    for start in ("near", "poor"):
        out.append(gauss_family(rng, rows, "moderate noise", (1, 5), [(20, 80)], (4, 15), 0.2, start))
    masked = gauss_family(rng, rows, "2 % of voxels hold a NaN", (1, 5), [(20, 80)], (4, 15), 0.2,
                          "auto")
    holes = rng.choice(rows, max(rows // 50, 1), replace=False)
    masked.y[holes, rng.integers(X.size, size=holes.size)] = np.nan
    out.append(masked)
    for start in ("fixed", "near"):
        out.append(decay_family(rng, max(rows // 4, 1), start))
    if nist:
        out += nist_families()
    return out


def user_model(f):
    """An LMFit model for the vectorised double function f(b, x): value and
    central-difference derivatives in double, rounded to float by LMFit."""
    def model(x, a):
        b = np.asarray(a, dtype=np.float64)
        y = float(f(b, x))
        d = np.empty(b.size)
        for j in range(b.size):
            h = 1e-7 * max(abs(b[j]), 1e-6)
            bp, bm = b.copy(), b.copy()
            bp[j] += h
            bm[j] -= h
            d[j] = (f(bp, x) - f(bm, x)) / (2 * h)
        return y, d
    return model
