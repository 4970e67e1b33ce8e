"""Every bound routine returns the C++ library's bits: the same inputs go to
the Python package and to tv_py_bits_driver (direct C++ calls), one
parametrised comparison per family, special values included."""
import numpy as np
import pytest

import tessivane as tv
from conftest import Double, bits, check_bits

nan, inf = np.nan, np.inf
rng = np.random.default_rng(20240611)


def f32(*values):
    return np.array(values, dtype=np.float32)


def normal(n, shift=0.0, scale=1.0):
    return (rng.standard_normal(n) * scale + shift).astype(np.float32)


# ---- special functions: each routine over an array of argument tuples ----
SPECIAL = {
    "gammln": [(Double(x),) for x in (0.5, 1.0, 2.0, 10.5, 1e-30, 1e6, 2.385)],
    "gammq": [(0.5, 0.0), (3.0, 2.5), (100.0, 120.0), (1e-3, 1e3), (5.0, 1e-38), (1e4, 9.9e3)],
    "betai": [(0.5, 0.5, 0.3), (5.0, 2.0, 1.0), (2.0, 3.0, 0.0), (10.0, 0.5, 1.5), (1e3, 1e3, 0.5)],
    "erfcc": [(x,) for x in (0.0, -0.0, 0.5, -3.0, 8.5, inf, nan, 1e-40)],
    "probks": [(x,) for x in (0.0, 0.01, 0.5, 1.5, 20.0, nan)],
    "p_to_z": [(x,) for x in (0.0, 0.05, 0.5, 1.0, 1e-30, 2.0)],
    "t_to_p": [(0.0, 1), (2.1, 10), (-3.5, 30), (1e10, 1000), (nan, 5)],
    "t_to_p_real": [(0.0, 0.5), (2.1, 10.3), (-3.5, 30.0), (40.0, 1.0), (inf, 3.0)],
    "r_to_p": [(0.0, 10), (0.5, 3), (-0.9, 100), (1.0, 5), (0.3, 1)],
    "p_to_t": [(0.05, 10), (0.5, 1), (1e-6, 30), (1.0, 5), (0.0, 3)],
    "p_to_r": [(0.05, 10), (0.5, 3), (1e-6, 30), (1.0, 5), (0.0, 100)],
    "F_to_p": [(0.0, 1, 10), (2.5, 3, 20), (-1.0, 2, 2), (100.0, 5, 5), (1.0, 10, 1)],
    "p_to_F": [(0.05, 1, 10), (0.5, 3, 20), (1e-6, 2, 2), (1.0, 5, 5), (0.0, 10, 1)],
    "kstwo_prob": [(0.0, 10, 10), (0.3, 20, 15), (1.0, 5, 7), (0.05, 100, 200), (nan, 3, 4)],
}


@pytest.mark.parametrize("name", sorted(SPECIAL))
def test_special_bits(driver, name):
    rows = SPECIAL[name]
    columns = [np.array(c, dtype=np.float64 if name == "gammln" else None) for c in zip(*rows)]
    got = bits(getattr(tv, name)(*columns))
    expected = [t for row in rows for t in driver(name, *row)]
    assert got == expected


# ---- (id, python call, driver command) tables of the other families ----
def pairs(name, python, samples):
    return [(f"{name}-{i}", (lambda a=a, b=b: python(a, b)), (name, a, b))
            for i, (a, b) in enumerate(samples)]


def split_pearsn_inc(x, y):
    """pearsn_inc over the first three pairs, then the rest continuing from its state."""
    first = tv.pearsn_inc(x[:3], y[:3])
    rest = tv.pearsn_inc(x[3:], y[3:], first.state)
    return np.concatenate([first.r, rest.r]), rest.state


TWO_SAMPLES = [(normal(10), normal(12, 0.5)), (f32(5, 5, 5), f32(5, 5, 5, 5)),
               (normal(7, 1e4, 1e-2), normal(3, 1e4, 1e-2)), (f32(1, 2, nan), f32(0.5, 2.385, 3))]
PAIRED = [(normal(9), normal(9)), (f32(1, 2, 3, 4), f32(2, 4, 6, 8)), (f32(3, 3, 3, 3), f32(1, 2, 3, 4)),
          (f32(1, 2, 2, 3, 3, 3), f32(6, 5, 5, 4, 1, 1))]
STATS = (pairs("ttest", tv.ttest, TWO_SAMPLES) + pairs("tutest", tv.tutest, TWO_SAMPLES)
         + pairs("kstwo", tv.kstwo, TWO_SAMPLES) + pairs("pearsn", tv.pearsn, PAIRED)
         + pairs("spear", tv.spear, PAIRED) + pairs("regr_inc", tv.regr_inc, PAIRED)
         + pairs("pearsn_inc", lambda x, y: split_pearsn_inc(x, y), PAIRED)
         + [(f"avevar-{i}", (lambda x=x: tv.avevar(x)), ("avevar", x))
            for i, x in enumerate([normal(5), f32(2.385, 2.385), f32(1e7, 1e7 + 1, 1e7 + 3), f32(1, nan)])])


@pytest.mark.parametrize("case", STATS, ids=[c[0] for c in STATS])
def test_stats_bits(driver, case):
    check_bits(driver, case)


def complex_samples(n):
    return (normal(n) + 1j * normal(n)).astype(np.complex64)


def fft_cases():
    cases = []
    for z in (complex_samples(1), complex_samples(8), np.array([1, inf, nan, 0], np.complex64),
              complex_samples(64)):
        for s in (1, -1):
            cases.append((f"four1-{z.size}{s:+d}", lambda z=z, s=s: tv.four1(z, s),
                          ("four1", z.view(np.float32), s)))
    for x in (f32(2.385, -1), normal(16), normal(1024), f32(0, 1, inf, 0)):
        for s in (1, -1):
            cases.append((f"realft-{x.size}{s:+d}", lambda x=x, s=s: tv.realft(x, s),
                          ("realft", x, s)))
    for shape in ((4, 8), (2, 2, 4), (16,)):
        z = complex_samples(int(np.prod(shape))).reshape(shape)
        cases.append((f"fourn-{shape}", lambda z=z: tv.fourn(z, -1),
                      ("fourn", len(shape), *shape, z.view(np.float32).ravel(), -1)))
    for shape in ((1, 4, 8), (2, 4, 4), (4, 2, 2)):
        d = normal(int(np.prod(shape))).reshape(shape)
        sp = np.zeros((shape[0], 2 * shape[1]), np.float32)
        cases.append((f"rlft3-{shape}", lambda d=d: tv.rlft3(d), ("rlft3", *shape, d.reshape(-1, shape[2]), sp, 1)))
        packed, speq = tv.rlft3(d)
        cases.append((f"rlft3-{shape}-inverse", lambda p=packed, s=speq: tv.rlft3(p, -1, s),
                      ("rlft3", *shape, packed.reshape(-1, shape[2]), speq, -1)))
    return cases


FFT = fft_cases()


@pytest.mark.parametrize("case", FFT, ids=[c[0] for c in FFT])
def test_fft_bits(driver, case):
    check_bits(driver, case)


SORT_INPUTS = [normal(40), f32(3, 1, 2, 1, 3, -0.0, 0.0, inf, -inf), f32(2.385), normal(300)]


def sort_cases():
    cases = []
    for i, x in enumerate(SORT_INPUTS):
        y = normal(x.size)
        cases += [(f"sort-{i}", lambda x=x: tv.sort(x), ("sort", x)),
                  (f"hpsort-{i}", lambda x=x: tv.hpsort(x), ("hpsort", x)),
                  (f"sort2-{i}", lambda x=x, y=y: tv.sort2(x, y), ("sort2", x, y)),
                  (f"crank-{i}", lambda x=x: tv.crank(np.sort(x)), ("crank", np.sort(x)))]
        for k in (0, x.size // 2, x.size - 1):
            cases.append((f"select-{i}-{k}", lambda x=x, k=k: tv.select(x, k), ("select", k + 1, x)))
    u = np.array([65535, 0, 7, 7, 40000, 1], dtype=np.uint16)
    for k in (0, 3, 5):
        cases.append((f"select_ushort-{k}", lambda k=k: tv.select(u, k),
                      ("select_ushort", k + 1, u.size, *u.tolist())))
    return cases


SORT = sort_cases()


@pytest.mark.parametrize("case", SORT, ids=[c[0] for c in SORT])
def test_sort_bits(driver, case):
    check_bits(driver, case)


def draws(seed, pattern):
    stream = tv.Ran1(seed)
    return [stream.uniform() if c == "u" else stream.gaussian() for c in pattern]


RANDOM = [(-1, "uuuggu"), (0, "ggggg"), (12345, "uguguuu"), (-2147483647 * 3, "uugg"), (-99, "u" * 40)]


@pytest.mark.parametrize("seed,pattern", RANDOM)
def test_random_bits(driver, seed, pattern):
    # The library's process-wide ran1/gasdev, in a process that has not drawn before.
    assert bits(draws(seed, pattern)) == driver("ran1", seed, pattern, fresh=True)
    n = len(pattern)
    assert bits(tv.Ran1(seed).uniform(n)) == driver("ran1", seed, "u" * n, fresh=True)


def linalg_cases():
    hilbert = np.array([[1.0 / (i + j + 1) for j in range(6)] for i in range(6)], np.float32)
    matrices = [normal(9).reshape(3, 3), normal(15).reshape(5, 3), normal(8).reshape(2, 4),
                f32(1, 2, 2, 4, 3, 6).reshape(3, 2), hilbert, f32(1, nan, 0, inf).reshape(2, 2)]
    cases = []
    for i, a in enumerate(matrices):
        u, w, v = tv.svdcmp(a)
        b = normal(a.shape[0])
        cases += [(f"svdcmp-{i}", lambda a=a: tv.svdcmp(a), ("svdcmp", a)),
                  (f"svbksb-{i}", lambda u=u, w=w, v=v, b=b: tv.svbksb(u, w, v, b), ("svbksb", u, w, v, b)),
                  (f"svdvar-{i}", lambda v=v, w=w: tv.svdvar(v, w), ("svdvar", v, w))]
    squares = [normal(16).reshape(4, 4), hilbert, f32(1, 2, 2, 4).reshape(2, 2), f32(2.385).reshape(1, 1),
               f32(nan, 1, 1, 2).reshape(2, 2)]
    for i, a in enumerate(squares):
        s = (a + a.T) / 2
        d, v, _ = tv.jacobi(s)
        b = normal(a.shape[0] * 2).reshape(-1, 2)
        cases += [(f"gaussj-{i}", lambda a=a, b=b: tv.gaussj(a, b), ("gaussj", a, b)),
                  (f"jacobi-{i}", lambda s=s: tv.jacobi(s), ("jacobi", s)),
                  (f"eigsrt-{i}", lambda d=d, v=v: tv.eigsrt(d, v), ("eigsrt", d, v)),
                  (f"inverse-{i}", lambda a=a: tv.inverse(a), ("inverse", a))]
    return cases


LINALG = linalg_cases()


@pytest.mark.parametrize("case", LINALG, ids=[c[0] for c in LINALG])
def test_linalg_bits(driver, case):
    check_bits(driver, case)


def peak(x, amplitude=2.385, centre=9.3, width=3.1, noise=0.05):
    return (amplitude * np.exp(-((x - centre) / width) ** 2) + noise * rng.standard_normal(x.size)).astype(np.float32)


def lm(x, y, sig, a, steps):
    f = tv.LMFit(x, y, a, sig)
    if steps < 0:
        o = f.run()
        return f.params, f.covariance, f.chisq, ["iteration_limit", "converged", "stalled"].index(o.stop), \
            o.iterations, o.lambda_at_stop
    for _ in range(steps):
        f.step()
    f.finish()
    return f.params, f.covariance, f.chisq


def fit_cases():
    x = np.arange(30, dtype=np.float32)
    cases = []
    for i, (xs, ys, sig) in enumerate([(x, 2 + 0.5 * x + normal(30), None), (x[:5], f32(5, 8, 11, 14, 17), None),
                                       (x, 1 - x + normal(30), np.full(30, 0.5, np.float32)),
                                       (f32(1, 1, 1), f32(1, 2, 3), f32(1, 1, 1))]):
        s = sig if sig is not None else np.ones(xs.size, np.float32)
        cases.append((f"fit-{i}", lambda xs=xs, ys=ys, sig=sig: tv.fit(xs, ys, sig),
                      ("fit", xs, ys, s, int(sig is not None))))
    xs = np.linspace(-1, 1, 25, dtype=np.float32)
    for ma in (1, 3, 6):
        for code, basis in enumerate((tv.fpoly, tv.fleg)):
            ys = (np.cos(3 * xs) + normal(25, scale=0.01)).astype(np.float32)
            sig = np.full(25, 0.1, np.float32)
            cases.append((f"svdfit-{basis.__name__}-{ma}", lambda xs=xs, ys=ys, sig=sig, ma=ma, b=basis:
                          tv.svdfit(xs, ys, ma, sig, b), ("svdfit", xs, ys, sig, ma, code)))
            for xv in (0.5, -2.385, 0.0):
                cases.append((f"{basis.__name__}-{ma}-{xv}", lambda xv=xv, ma=ma, b=basis: b(xv, ma),
                              ("basis", xv, ma, code)))
    for a in (f32(2, 0, 1), f32(2.385, 9.3, 3.1, 1, 20, 2), f32()):
        cases.append((f"fgauss-{a.size}", lambda a=a: tv.fgauss(1.0, a), ("fgauss", 1.0, a)))
    xs = np.arange(0, 20, 0.5, dtype=np.float32)
    ones = np.ones(xs.size, np.float32)
    for steps in (-1, 1, 4):
        for a0 in (f32(2, 9, 3), f32(1, 8, 2.5), f32(2, 9, 0)):
            ys = peak(xs)
            cases.append((f"lmfit-{steps}-{a0[2]}", lambda xs=xs, ys=ys, a0=a0, s=steps: lm(xs, ys, np.ones(xs.size, np.float32), a0, s),
                          ("lmfit", xs, ys, ones, a0, steps)))
    return cases


FIT = fit_cases()


@pytest.mark.parametrize("case", FIT, ids=[c[0] for c in FIT])
def test_fit_bits(driver, case):
    check_bits(driver, case)
