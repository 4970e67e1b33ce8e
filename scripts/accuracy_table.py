#!/usr/bin/env python3
"""Writes docs/accuracy.md (and the package's precision thresholds) from
measurements against other projects' reference data.

- Special functions over Boost.Math's own test data, as Debian's python3-scipy
  ships it (scipy/special/tests/data/boost.npz). The library takes float
  arguments: where a Boost argument is not a float, the reference is computed
  by mpmath at the float-rounded argument instead of Boost's value.
- p-value routines and the inverse searches on fresh random samples, against
  SciPy's double-precision distributions at the same float arguments.
- The float32 functions of SciPy (each rounds its double result to float) as
  a side-by-side column: the best a float result can be.
- Where each statistic starts losing digits as the offset of the data grows
  against their spread, and the thresholds tessivane.PrecisionWarning uses
  (written to python/tessivane/_thresholds.py).
- The random-input table of tests/reference/accuracy_report.cpp (FFTs and
  linear algebra against FFTW and LAPACK), when its program is given.

Usage (the package built in build/python; `make accuracy` does this):
    PYTHONPATH=build/python python3 scripts/accuracy_table.py \
        --report build/tests/accuracy_report
Reference data are oracles for this page only, never for unit tests.
"""

import argparse
import os
import subprocess
import sys
import warnings
import zlib

import mpmath
import numpy as np
import scipy.special as sp
import scipy.stats as st

import tessivane as tv
from tessivane._precision import offset_ratio

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
F32 = np.float32
mpmath.mp.dps = 40


def boost_data():
    return np.load(os.path.join(os.path.dirname(sp.__file__), "tests", "data", "boost.npz"))


def ulps(ours, ref):
    ref = np.asarray(ref, np.float64)
    spacing = np.spacing(np.abs(ref).astype(F32)).astype(np.float64)
    return np.abs(np.asarray(ours, np.float64) - ref) / spacing


def rel(ours, ref):
    ref = np.asarray(ref, np.float64)
    return np.abs(np.asarray(ours, np.float64) - ref) / np.abs(ref)


def elementwise(f, *args):
    """f on each element, NaN where the library refuses the arguments."""
    out = []
    for values in zip(*args):
        try:
            out.append(f(*values))
        except tv.NumericsError:
            out.append(np.nan)
    return np.array(out, np.float64)


# ---- special functions over Boost's data ----

def at_float_arguments(rows, nargs, column, mp_reference):
    """Float-rounded arguments and the reference there: Boost's value where
    the arguments are floats already, mpmath's elsewhere."""
    args = rows[:, :nargs].astype(F32)
    exact = np.all(args.astype(np.float64) == rows[:, :nargs], axis=1)
    ref = rows[:, column].astype(np.float64).copy()
    for i in np.flatnonzero(~exact):
        ref[i] = float(mp_reference(*(mpmath.mpf(float(v)) for v in args[i])))
    return args, ref, int(np.count_nonzero(~exact))


SPECIAL = [
    # name, Boost sets, arguments, column of the value, mpmath reference, ours, SciPy float32
    ("gammq", ["igamma_small_data", "igamma_med_data", "igamma_int_data", "igamma_big_data"], 2, 3,
     lambda a, x: mpmath.gammainc(a, x, mpmath.inf, regularized=True),
     lambda a, x: tv.gammq(a, x), lambda a, x: sp.gammaincc(a, x)),
    ("betai", ["ibeta_small_data", "ibeta_data", "ibeta_int_data", "ibeta_large_data"], 3, 5,
     lambda a, b, x: mpmath.betainc(a, b, 0, x, regularized=True),
     lambda a, b, x: tv.betai(a, b, x), lambda a, b, x: sp.betainc(a, b, x)),
    ("erfcc", ["erf_small_data", "erf_data", "erf_large_data"], 1, 2,
     lambda x: mpmath.erfc(x), lambda x: tv.erfcc(x), lambda x: sp.erfc(x)),
]


def special_rows(data):
    rows, notes = [], {}
    for name, sets, nargs, column, mp_ref, ours, scipy_f in SPECIAL:
        table = np.concatenate([data[f"{s}_ipp-{s}"] for s in sets])
        args, ref, recomputed = at_float_arguments(table, nargs, column, mp_ref)
        keep = np.abs(ref) >= 1e-30
        args, ref = args[keep], ref[keep]
        got = elementwise(ours, *args.T)
        theirs = scipy_f(*args.T).astype(F32)
        e, u = rel(got, ref), ulps(got, ref)
        refused = int(np.count_nonzero(np.isnan(got)))
        worst = int(np.nanargmax(e))
        where = ", ".join(f"{v:.6g}" for v in args[worst])
        rows.append(f"| `{name}` | {', '.join(sets)} | {ref.size} ({recomputed} by mpmath) | "
                    f"{np.nanmedian(u):.1f} | {np.nanmax(u):.3g} | {np.nanmax(e):.2g} | "
                    f"{np.nanmax(rel(theirs, ref)):.2g} | {refused} | {where} |")
        notes[name] = (e, ref.size)
    return rows, notes


# ---- p-value routines on fresh samples ----

SAMPLES, POINTS = 5, 4000


def draw_t(rng, real):
    t = rng.uniform(0, 20, POINTS).astype(F32)
    df = rng.uniform(0.5, 200, POINTS).astype(F32) if real else rng.integers(1, 201, POINTS)
    return (t, df), 2 * st.t.sf(t.astype(np.float64), np.asarray(df, np.float64))


def draw_f(rng):
    f = rng.uniform(0, 20, POINTS).astype(F32)
    d1, d2 = rng.integers(1, 101, POINTS), rng.integers(1, 101, POINTS)
    return (f, d1, d2), st.f.sf(f.astype(np.float64), d1, d2)


def draw_r(rng):
    r = rng.uniform(-0.999, 0.999, POINTS).astype(F32)
    n = rng.integers(3, 201, POINTS)
    r64 = r.astype(np.float64)
    t = np.abs(r64) * np.sqrt((n - 2) / ((1 - r64) * (1 + r64)))
    return (r, n), 2 * st.t.sf(t, n - 2)


PVALUES = [
    ("t_to_p", "t in [0, 20], df in 1..200", tv.t_to_p, lambda rng: draw_t(rng, False),
     lambda t, df: 2 * st.t.sf(t, df)),
    ("t_to_p_real", "t in [0, 20], df in [0.5, 200]", tv.t_to_p_real,
     lambda rng: draw_t(rng, True), lambda t, df: 2 * st.t.sf(t, df)),
    ("F_to_p", "F in [0, 20], df_1, df_2 in 1..100", tv.F_to_p, draw_f,
     lambda f, d1, d2: st.f.sf(f, d1, d2)),
    ("r_to_p", "r in [-0.999, 0.999], n in 3..200", tv.r_to_p, draw_r, None),
]


def pvalue_rows():
    rows = []
    for name, where, ours, draw, scipy_f in PVALUES:
        worst_per_sample, worst_rel, worst_at = [], 0.0, ""
        scipy_worst = 0.0
        for seed in range(SAMPLES):
            args, ref = draw(np.random.default_rng(1000 + seed))
            keep = (ref <= 0.5) & (ref >= 1e-30)
            args, ref = [a[keep] for a in args], ref[keep]
            got = ours(*args)
            u, e = ulps(got, ref), rel(got, ref)
            worst_per_sample.append(u.max())
            if e.max() > worst_rel:
                k = int(np.argmax(e))
                worst_rel, worst_at = e.max(), ", ".join(f"{a[k]:.6g}" for a in args)
            if scipy_f is not None:
                f32_args = [a if a.dtype.kind == "f" else a.astype(F32) for a in args]
                theirs = scipy_f(*f32_args).astype(F32)
                scipy_worst = max(scipy_worst, rel(theirs, ref).max())
        spread = f"{min(worst_per_sample):.0f}–{max(worst_per_sample):.0f}"
        theirs = f"{scipy_worst:.2g}" if scipy_f else "–"
        rows.append(f"| `{name}` | {where}, p <= 0.5 | {SAMPLES} x {POINTS} | {spread} | "
                    f"{max(worst_per_sample):.0f} | {worst_rel:.2g} | {theirs} | {worst_at} |")
    return rows


def t_to_p_large_df_rows():
    rows = []
    rng = np.random.default_rng(7)
    for df in (200, 1000, 10**4, 10**5, 10**6):
        t = np.sort(rng.uniform(0.68, 6, 3000)).astype(F32)  # p <= 0.5 and p >= 1e-9
        ref = 2 * st.t.sf(t.astype(np.float64), df)
        e = rel(tv.t_to_p(t, df), ref)
        k = int(np.argmax(e))
        rows.append(f"| {df} | {np.median(e):.1e} | {e.max():.2g} | t = {t[k]:.5g}, p = {ref[k]:.3g} |")
    return rows


def gammq_growth_rows():
    rows = []
    for a in (10.0, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 2.0**24 * 1.01):
        a32 = F32(a)
        x = (float(a32) + np.linspace(-4, 4, 401) * np.sqrt(float(a32))).astype(F32)
        ref = sp.gammaincc(float(a32), x.astype(np.float64))
        keep = ref >= 1e-30
        got = elementwise(lambda xv: tv.gammq(a32, xv), x[keep])
        e = rel(got, ref[keep])
        refused = int(np.count_nonzero(np.isnan(got)))
        worst = f"{np.nanmax(e):.2g}" if refused < got.size else "–"
        rows.append(f"| {float(a32):.6g} | {np.nanmedian(e) if refused < got.size else np.nan:.1e} | "
                    f"{worst} | {refused} of {got.size} |")
    return rows


# ---- the inverse searches ----

LARGEST = {"p_to_t": 54.0, "p_to_r": 5.4, "p_to_F": 60.0}


def inverse_rows():
    ps = [0.5, 0.2, 0.1, 0.05, 0.02, 0.01, 5e-3, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7]
    cases = []
    for p in ps:
        for df in (1, 2, 3, 5, 10, 20, 50, 100, 1000):
            cases.append(("p_to_t", p, (df,), st.t.isf(p / 2, df)))
            n = df + 2
            t = st.t.isf(p / 2, df)
            cases.append(("p_to_r", p, (n,), t / np.sqrt(df + t * t)))
            for d1 in (1, 2, 5, 10):
                cases.append(("p_to_F", p, (d1, df), st.f.isf(p, d1, df)))
    rows = []
    for name in ("p_to_t", "p_to_r", "p_to_F"):
        mine = [c for c in cases if c[0] == name and c[3] <= LARGEST[name]]
        got = np.array([float(getattr(tv, name)(p, *dfs)) for _, p, dfs, _ in mine])
        ref = np.array([c[3] for c in mine])
        e = rel(got, ref)
        k = int(np.argmax(e))
        rows.append(f"| `{name}` | {len(mine)} | {np.median(e):.1e} | "
                    f"{np.count_nonzero(e > 3e-4)} | {e.max():.2g} | "
                    f"p = {mine[k][1]:g}, {'n' if name == 'p_to_r' else 'df'} = "
                    f"{', '.join(map(str, mine[k][2]))} |")
    total = sum(1 for c in cases if c[3] <= LARGEST[c[0]])
    return rows, total


# ---- asymptotic against exact Kolmogorov-Smirnov p ----

def ks_rows():
    rows = []
    for n in (10, 20, 50, 100, 300, 1000):
        d = np.arange(1, n + 1) / n
        exact = np.array([float(tv.kstwo_prob_exact(v, n, n)) for v in d])
        asym = tv.kstwo_prob(d.astype(F32), n, n)
        band = (exact >= 0.01) & (exact <= 0.05)
        if not band.any():
            continue
        low = 1 - asym[band] / exact[band]
        rows.append(f"| {n} | {band.sum()} | {100 * low.min():.0f}–{100 * low.max():.0f} % |")
    return rows


# ---- offset against spread ----

GRID = 10.0 ** np.arange(0, 8.01, 0.5)
SIZES = (10, 100, 1000, 10000)
SERIES = 100


def _errors(name, n, offset, rng):
    def gen():
        return offset + rng.standard_normal((n, SERIES))

    if name in ("ttest", "tutest"):
        a = gen()
        b = offset + 0.5 + (1 if name == "ttest" else 2) * rng.standard_normal((n, SERIES))
        got = getattr(tv, name)(a, b).statistic
        ref = st.ttest_ind(a, b, equal_var=(name == "ttest")).statistic
        return np.abs(got - ref) / np.maximum(1, np.abs(ref)), (a, b)
    if name == "avevar":
        a = gen()
        got = np.array([tv.avevar(a[:, i]).variance for i in range(SERIES)])
        ref = a.var(axis=0, ddof=1)
        return np.abs(got - ref) / ref, (a,)
    if name in ("pearsn", "spear"):
        x = gen()
        y = offset + 0.5 * (x - offset) + rng.standard_normal((n, SERIES))
        got = getattr(tv, name)(x, y).statistic
        ref_f = st.pearsonr if name == "pearsn" else st.spearmanr
        ref = np.array([ref_f(x[:, i], y[:, i])[0] for i in range(SERIES)])
        return np.abs(got - ref), (x, y)
    if name == "fit":
        x = np.linspace(-1.7, 1.7, n)
        y = offset + 0.5 * x[:, None] + rng.standard_normal((n, SERIES))
        got = tv.fit(x, y).b
        ref = np.polyfit(x, y, 1)[0]
        return np.abs(got - ref) / np.abs(ref), (y,)
    a = gen()
    b = offset + 0.5 + rng.standard_normal((n, SERIES))
    got = tv.kstwo(a, b, method="asymptotic").statistic
    ref = np.array([st.ks_2samp(a[:, i], b[:, i]).statistic for i in range(SERIES)])
    return np.abs(got - ref), (a, b)


OFFSET_ROUTINES = [("ttest", "t"), ("tutest", "t"), ("avevar", "variance"), ("pearsn", "r"),
                   ("spear", "rs"), ("fit", "slope b"), ("kstwo", "D")]
MEASURES = {"t": "error / max(1, abs(t))", "variance": "relative error", "r": "absolute error",
            "rs": "absolute error", "slope b": "relative error", "D": "absolute error"}


def crossing(ratios, errors, level):
    """log10 of the offset ratio at which the error first exceeds level
    (interpolated in log-log between grid points)."""
    for k in range(1, len(errors)):
        if errors[k] > level and errors[k - 1] <= level:
            lo, hi = np.log10(errors[k - 1]), np.log10(errors[k])
            f = (np.log10(level) - lo) / (hi - lo) if hi > lo else 0.0
            return np.log10(ratios[k - 1]) + f * (np.log10(ratios[k]) - np.log10(ratios[k - 1]))
        if errors[k] > level:
            break
    return np.log10(ratios[0]) if errors[0] > level else np.log10(ratios[-1])


def offset_measurements():
    """For each routine and n: log10 of the offset / spread ratio the
    precision check computes at which the 90th percentile error passes 1e-5
    and 1e-3."""
    results = {}
    warnings.simplefilter("ignore", tv.PrecisionWarning)
    for name, _ in OFFSET_ROUTINES:
        for n in SIZES:
            rng = np.random.default_rng(zlib.crc32(f"{name} {n}".encode()))
            ratios, errors = [], []
            for offset in GRID:
                e, samples = _errors(name, n, offset, rng)
                ratio = np.max([np.median(offset_ratio(s, 0)) for s in samples])
                ratios.append(ratio)
                errors.append(max(np.quantile(e, 0.9), 1e-9))
            results[name, n] = (crossing(ratios, errors, 1e-5), crossing(ratios, errors, 1e-3))
            print(f"offset: {name} n = {n}: {results[name, n]}", file=sys.stderr)
    return results


def offset_rows(results):
    rows = []
    for name, stat in OFFSET_ROUTINES:
        cells = " | ".join(f"{10 ** results[name, n][0]:.2g} / {10 ** results[name, n][1]:.2g}"
                           for n in SIZES)
        rows.append(f"| `{name}` | {stat} ({MEASURES[stat]}) | {cells} |")
    return rows


def write_thresholds(results):
    lines = ['"""Written by scripts/accuracy_table.py (make accuracy); do not edit by hand.',
             "",
             "log10 of the offset / spread ratio |max + min| / (2 (max - min)) of a sample",
             "at which the 90th percentile error of each routine's statistic passes 1e-3,",
             f"at n = {', '.join(map(str, SIZES))} (docs/accuracy.md, \"Offset against spread\").\"\"\"",
             "", "THRESHOLDS = {"]
    for name, _ in OFFSET_ROUTINES:
        values = ", ".join(f"{results[name, n][1]:.2f}" for n in SIZES)
        lines.append(f'    "{name}": ({values}),')
    lines.append("}")
    with open(os.path.join(ROOT, "python", "tessivane", "_thresholds.py"), "w") as out:
        out.write("\n".join(lines) + "\n")


# ---- the page ----

# Rows of the C++ report that the sections above measure more thoroughly.
SUPERSEDED = ("gammq", "betai", "erfcc", "t_to_p", "t_to_p_real", "F_to_p", "r_to_p")


def cpp_report_table(program):
    if not program:
        return []
    text = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    return [line for line in text.splitlines()
            if line.startswith("| `") and line.split("`")[1] not in SUPERSEDED]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--report", help="tests/reference/accuracy_report program (optional)")
    parser.add_argument("--out", default=os.path.join(ROOT, "docs", "accuracy.md"))
    args = parser.parse_args()

    data = boost_data()
    special, notes = special_rows(data)
    erfc_errors, erfc_points = notes["erfcc"]
    pvalues = pvalue_rows()
    inverse, reachable = inverse_rows()
    offsets = offset_measurements()
    write_thresholds(offsets)
    page = PAGE.format(
        special="\n".join(special), pvalues="\n".join(pvalues),
        large_df="\n".join(t_to_p_large_df_rows()), gammq="\n".join(gammq_growth_rows()),
        inverse="\n".join(inverse), reachable=reachable, ks="\n".join(ks_rows()),
        erfc_above=int(np.count_nonzero(erfc_errors > 1.2e-7)), erfc_points=erfc_points,
        erfc_worst=np.nanmax(erfc_errors),
        offsets="\n".join(offset_rows(offsets)),
        sizes=" | ".join(f"n = {n}" for n in SIZES), size_rule="|".join("---" for _ in SIZES),
        cpp="\n".join(cpp_report_table(args.report)) or "(run with --report to include it)")
    with open(args.out, "w") as out:
        out.write(page)
    print(f"wrote {args.out}", file=sys.stderr)


PAGE = """# Accuracy

Written by `make accuracy` (`scripts/accuracy_table.py`, which also runs
`tests/reference/accuracy_report.cpp`); do not edit by hand. The reference data are other projects'
and serve this page only, never the unit tests.

## Special functions on Boost.Math's test data

Boost.Math's own test data for the incomplete gamma and beta functions and erf/erfc (as Debian's
`python3-scipy` ships them in `scipy/special/tests/data/boost.npz`), points with a reference of at least
1e-30. The library takes float arguments: where a Boost argument is not a float, the reference is
recomputed by mpmath (40 digits) at the float-rounded argument. *SciPy float32*: the worst relative error of
SciPy's float32 function at the same arguments (its result rounded to float), the best a float result can be.
*refused*: points where the library ends the call (`NumericsError`), left out of the figures.

| function | Boost data | points | median ulps | worst ulps | worst relative error | SciPy float32 | refused | worst at |
|---|---|---|---|---|---|---|---|---|
{special}

`erfcc`'s fitted approximation has a fractional error below 1.2e-7 in double arithmetic; evaluated in
the library's float steps, {erfc_above} of the {erfc_points} Boost points exceed 1.2e-7 (worst {erfc_worst:.2g}).

## p-values on fresh samples

{samples} samples of {points} points each, drawn with different seeds, p <= 0.5 (near p = 1 the ratio
df / (df + t^2) formed in float costs relative accuracy where significance is not decided), against SciPy's
double-precision distributions at the same float arguments. *per-sample worst*: the range of the worst ulps
over the samples: a worst case is a property of the sample, so a single sample's figure understates it.

| function | range | points | per-sample worst ulps | worst ulps | worst relative error | SciPy float32 | worst at |
|---|---|---|---|---|---|---|---|
{pvalues}

The worst `t_to_p_real` points lie where df / 2 is just below a power of two (df near 63.99 or 127.6):
`betai` rounds a + b = df / 2 + 1/2 to float before ln Γ, at the coarser spacing above the power of two, and
its mirrored branch 1 - I amplifies that error where p is small against 1 - p. Whole df do not reach it.

### `t_to_p` at large df

`t_to_p` forms df / (df + t^2) in float, so at large df the argument of the incomplete beta function
carries a relative error of about df times float's epsilon. Over t with p in [1e-9, 0.5]:

| df | median relative error | worst relative error | worst at |
|---|---|---|---|
{large_df}

### `gammq` as a grows

Q(a, x) for x within a ± 4 sqrt(a), against SciPy's double `gammaincc` at the float arguments. The error
grows with a: the series and the continued fraction are scaled by exp(-x + a ln x - ln Γ(a)) with ln Γ(a)
rounded to float, an error of up to about 3e-8 a ln a in the exponent. Beyond a = 2^24 the library refuses
the points near x = a (`NumericsError`, "a too large, ITMAX too small").

| a | median relative error | worst relative error | refused |
|---|---|---|---|
{gammq}

## The inverse searches

`p_to_t`, `p_to_r` and `p_to_F` run exactly 25 steps of their search. Over p from 0.5 to 1e-7 and
df from 1 to 1000 ({reachable} cases whose exact answer lies within the largest reachable value), against
the exact inverse from SciPy in double:

| function | cases | median relative error | above 3e-4 | worst relative error | worst at |
|---|---|---|---|---|---|
{inverse}

## Kolmogorov-Smirnov p: asymptotic against exact

`kstwo_prob` (the asymptotic distribution with the small-sample correction of its argument) against
`kstwo_prob_exact` for two samples of n values each, at the attainable D whose exact p lies in
[0.01, 0.05]: how much lower the asymptotic p is.

| n per sample | D values | asymptotic p low by |
|---|---|---|
{ks}

## Offset against spread

Data far from zero compared with their spread lose digits in float: rounding each value to float keeps
about 7 significant digits of the value, not of its deviation from the mean, and the float sums of means and
sums of squares round at the scale of the offset. For each routine, series of n normal values (sd 1) shifted
by offsets from 1 to 1e8, 100 series per point, against SciPy/NumPy in double on the same (double) data; the
error is the 90th percentile over the series. Each cell gives the ratio of offset to spread, |max + min| /
(2 (max - min)) of the samples (for these data the mean over the range, to a few percent), at which that
error passes 1e-5 (digits start to go) / 1e-3 (fewer than three correct digits). Above the
second figure `tessivane` raises `PrecisionWarning`. Subtracting a common offset from the data (the same
constant from both samples of a test) before the call avoids the loss.

| routine | statistic (error) | {sizes} |
|---|---|{size_rule}|
{offsets}

The thresholds fall with n for the statistics built on float sums of the values (`ttest`, `tutest`, `fit`,
and `pearsn` beyond a cliff where the float mean moves by more than the spread); the rank statistics
(`spear`, `kstwo`) lose only when rounding to float merges distinct values into ties.

## Random inputs against Boost.Math, FFTW and LAPACK

From `tests/reference/accuracy_report.cpp`: inputs drawn from a fixed seed, the reference in double at the
same float inputs. *worst ulps*: of the reference value for the scalar functions, of the largest output for
the transforms and decompositions. Worst cases depend on the sample (see the p-value section above).

| function | reference | range | points | worst ulps | worst relative error | worst at |
|---|---|---|---|---|---|---|
{cpp}

## Across machines

The same inputs give the same bits on every machine whose C library gives the same results from `exp`,
`log`, `sin`, `cos`, `sqrt` and `pow` (the library calls `exp`, `log`, `sin` and `sqrt`; `sqrt` is correctly
rounded everywhere). The bit pins of every routine agree on x86-64 with glibc's FMA and its non-FMA
functions and on aarch64; NaN results agree in being NaN, not in sign or payload. Which routine depends on
which function, and what was measured: [reproducibility.md](reproducibility.md).
""".replace("{samples}", str(SAMPLES)).replace("{points}", str(POINTS))


if __name__ == "__main__":
    main()
