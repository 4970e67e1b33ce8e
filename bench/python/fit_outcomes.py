"""What lm_fit_many / LMFit call a fit, against where the fit really is.

For every row of the families in fit_families.py the library fits in float
(lm_fit_many for the built-in Gaussian, LMFit for the user model and NIST's
problems). Where the fit really is comes from double precision at the
library's parameters: the full curvature of chi-square (J^T J less the
residuals times the model's second derivatives, by central differences),
scaled to unit diagonal of J^T J, and the decrease N a full Newton step
predicts. With s^2 = 1 for a known sigma (NIST: the residual variance at the
certified optimum) and the float resolution floor sqrt(n) FLT_EPSILON, a row is

- "at a minimum"     when the curvature's smallest eigenvalue is >= -floor and
  N <= 0.0025 s^2 (every parameter within about 0.05 standard errors),
- "not at a minimum" when the curvature is clearly indefinite (a saddle) or
  N > 0.01 s^2 and N > R, the change a float chi-square comparison cannot
  resolve (fit.h),
- "in between"       otherwise,
- "no resolvable minimum" when the data hold NaN, or the point is degenerate in
  float: the weakest parameter's 1 - R^2 of J^T J is below the floor, the
  library's own rule.

Prints the outcome x class table; per family the rows at the best optimum
found (lowest chi-square of curve_fit from the row's start, curve_fit from the
truth and lmfit's GaussianModel from guess(); NIST: certified) for the
library, curve_fit from the same start and lmfit's guess() + fit; the rows
whose parameters agree with curve_fit's from the same start but that are not
called converged, and those called converged with a chi-square clearly above
it (another, deeper minimum reached from the same start); and the targets.

    PYTHONPATH=build/python python3 bench/python/fit_outcomes.py [--rows 400] [--seed 29]
"""

import argparse
import sys
import time
import warnings
from collections import Counter, defaultdict

import numpy as np
from scipy.optimize import curve_fit

import tessivane as tv

sys.path.insert(0, __import__("os").path.dirname(__file__))
import fit_families as ff  # noqa: E402

AT, BETWEEN, ABOVE, NONE = ("at a minimum", "in between", "not at a minimum",
                            "no resolvable minimum")
CLASSES = (AT, BETWEEN, ABOVE, NONE)
FLT_EPS = float(np.finfo(np.float32).eps)


def chisq(f, b, x, y, sig):
    b = np.asarray(b, dtype=np.float64)
    if not np.all(np.isfinite(b)):
        return np.inf
    with np.errstate(all="ignore"):
        r = (y.astype(np.float64) - f(b, x.astype(np.float64))) / sig
    c = float(np.dot(r, r))
    return c if np.isfinite(c) else np.inf


def curve(f, x, y, sig, start):
    try:
        with warnings.catch_warnings(), np.errstate(all="ignore"):
            warnings.simplefilter("ignore")
            p, _ = curve_fit(lambda xx, *b: f(np.array(b), xx), x.astype(np.float64),
                             y.astype(np.float64), p0=np.asarray(start, np.float64),
                             sigma=sig.astype(np.float64), absolute_sigma=True, maxfev=20000)
        return p
    except (RuntimeError, ValueError, OverflowError):
        return None


def lmfit_guess(x, y, sig):
    """lmfit's GaussianModel from its own guess(), as (amplitude, centre, width) of ours."""
    import lmfit
    model = lmfit.models.GaussianModel()
    try:
        with warnings.catch_warnings(), np.errstate(all="ignore"):
            warnings.simplefilter("ignore")
            r = model.fit(y.astype(np.float64), model.guess(y.astype(np.float64), x=x.astype(np.float64)),
                          x=x.astype(np.float64), weights=1.0 / sig.astype(np.float64))
    except (ValueError, TypeError):
        return None
    s, c, area = r.params["sigma"].value, r.params["center"].value, r.params["amplitude"].value
    return np.array([area / (abs(s) * np.sqrt(2 * np.pi)), c, abs(s) * np.sqrt(2)])


def jacobian(f, b, x):
    J = np.empty((x.size, b.size))
    for j in range(b.size):
        h = 1e-6 * max(abs(b[j]), 1e-8)
        bp, bm = b.copy(), b.copy()
        bp[j] += h
        bm[j] -= h
        J[:, j] = (f(bp, x) - f(bm, x)) / (2 * h)
    return J


def local_shape(f, b, x, y, sig):
    """At b, in double: the decrease of chi-square a full Newton step predicts,
    the smallest eigenvalue of the full curvature (with the residuals times the
    model's second derivatives) scaled to unit diagonal of J^T J, and the
    weakest parameter's 1 - R^2 of J^T J."""
    b = np.asarray(b, np.float64)
    x, y, sig = x.astype(np.float64), y.astype(np.float64), sig.astype(np.float64)
    with np.errstate(all="ignore"):
        J = jacobian(f, b, x) / sig[:, None]
        r = (y - f(b, x)) / sig
        A = J.T @ J
        H = A.copy()
        for k in range(b.size):
            h = 1e-4 * max(abs(b[k]), 1e-6)
            bp, bm = b.copy(), b.copy()
            bp[k] += h
            bm[k] -= h
            H[:, k] -= r @ ((jacobian(f, bp, x) - jacobian(f, bm, x)) / (2 * h) / sig[:, None])
        H = 0.5 * (H + H.T)
        d = np.sqrt(np.diag(A))
        if not (np.all(np.isfinite(H)) and np.all(d > 0)):
            return np.inf, -np.inf, 0.0
        g = J.T @ r  # minus half the gradient of chi-square
        try:
            weakest = float(np.min(1.0 / np.diag(np.linalg.inv(A / np.outer(d, d)))))
            curvature = float(np.min(np.linalg.eigvalsh(H / np.outer(d, d))))
            newton = float(g @ np.linalg.solve(H, g)) if curvature > 0 else np.inf
        except np.linalg.LinAlgError:
            return np.inf, -np.inf, 0.0
    return newton, curvature, weakest


def independence(f, b, x, sig):
    """min_k 1 - R_k^2 of the scaled curvature at b, in double (0: singular)."""
    b = np.asarray(b, np.float64)
    J = np.empty((x.size, b.size))
    with np.errstate(all="ignore"):
        for j in range(b.size):
            h = 1e-6 * max(abs(b[j]), 1e-8)
            bp, bm = b.copy(), b.copy()
            bp[j] += h
            bm[j] -= h
            J[:, j] = (f(bp, x) - f(bm, x)) / (2 * h) / sig
    A = J.T @ J
    d = np.sqrt(np.diag(A))
    if not np.all(np.isfinite(A)) or np.any(d == 0):
        return 0.0
    try:
        return float(np.min(1.0 / np.diag(np.linalg.inv(A / np.outer(d, d)))))
    except np.linalg.LinAlgError:
        return 0.0


def resolution(c, y, sig):
    """R of fit.h: the chi-square change a float comparison cannot resolve."""
    n = y.size
    scale = float(np.sum((y.astype(np.float64) / sig) ** 2))
    return 8 * FLT_EPS * (np.sqrt(n) * c + 2 * np.sqrt(c * scale / n))


def library(fam):
    if fam.model == "gauss":
        r = tv.lm_fit_many(fam.x, fam.y, "auto" if fam.a0 is None else fam.a0, sig=fam.sig)
        starts = (np.stack([tv.gauss_start(fam.x, row) for row in fam.y])
                  if fam.a0 is None else fam.a0)
        return r.params, list(r.outcome), starts
    params, outcomes = [], []
    model = ff.user_model(fam.f)
    for i in range(fam.y.shape[0]):
        fit = tv.LMFit(fam.x, fam.y[i], fam.a0[i], sig=fam.sig, model=model)
        try:
            outcomes.append(fit.run().stop)
            params.append(fit.params)
        except tv.NumericsError:  # a singular augmented curvature ends the fit
            outcomes.append("refused")
            params.append(np.full(fam.a0.shape[1], np.nan, np.float32))
    return np.array(params), outcomes, fam.a0


def classify(fam):
    """Per row: (outcome, class, at the same-start reference, converged above
    it, library / curve_fit same start / lmfit guess() + fit at the best
    optimum)."""
    f = ff.gauss if fam.model == "gauss" else fam.f
    params, outcomes, starts = library(fam)
    n, p = fam.x.size, params.shape[1]
    floor = np.sqrt(n) * FLT_EPS
    out = []
    for i in range(fam.y.shape[0]):
        x, y, sig = fam.x, fam.y[i], fam.sig
        same = curve(f, x, y, sig, starts[i])
        guess = lmfit_guess(x, y, sig) if fam.model == "gauss" else None
        if fam.certified:
            best = fam.truth[i]
        else:
            cands = [c for c in (same, curve(f, x, y, sig, fam.truth[i]), guess) if c is not None]
            best = min(cands, key=lambda c: chisq(f, c, x, y, sig)) if cands else fam.truth[i]
        c_best = chisq(f, best, x, y, sig)
        s2 = c_best / max(n - p, 1) if fam.certified else 1.0
        c_lib = chisq(f, params[i], x, y, sig)
        ok = np.all(np.isfinite(y)) and np.isfinite(c_lib)
        if ok:
            newton, curvature, weakest = local_shape(f, params[i], x, y, sig)
        if not ok or weakest < floor:
            cls = NONE
        elif curvature >= -floor and newton <= 0.0025 * s2:
            cls = AT
        elif curvature >= -floor and newton <= max(0.01 * s2, resolution(c_lib, y, sig)):
            cls = BETWEEN
        else:
            cls = ABOVE
        c_same = chisq(f, same, x, y, sig) if same is not None else np.inf
        agrees = ok and abs(c_lib - c_same) <= 0.0025 * s2
        above = outcomes[i] == "converged" and c_lib > c_same + 0.01 * s2

        def at_best(b):
            return b is not None and chisq(f, b, x, y, sig) - c_best <= 0.0025 * s2
        out.append((outcomes[i], cls, agrees, above, at_best(params[i] if ok else None),
                    at_best(same), at_best(guess) if fam.model == "gauss" else None,
                    c_lib / s2 / max(n - p, 1)))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rows", type=int, default=400, help="rows per Gaussian family")
    parser.add_argument("--seed", type=int, default=29)
    args = parser.parse_args()
    t0 = time.perf_counter()
    grid = defaultdict(Counter)
    per_family = []
    for fam in ff.families(args.rows, args.seed):
        rows = classify(fam)
        for outcome, cls, *_ in rows:
            grid[outcome][cls] += 1
        per_family.append((fam, rows))

    print(f"Outcome x where the fit is ({sum(sum(c.values()) for c in grid.values())} rows)\n")
    print("| outcome | " + " | ".join(CLASSES) + " |")
    print("|---|" + "---:|" * len(CLASSES))
    order = ["converged", "degenerate", "stalled", "iteration_limit", "small_steps", "refused"]
    for o in order + sorted(set(grid) - set(order)):
        if o in grid:
            print(f"| {o} | " + " | ".join(str(grid[o][c]) for c in CLASSES) + " |")

    print("\nPer family: rows at the best optimum found (the library; curve_fit from the same start; "
          "lmfit's GaussianModel from guess()), and against the same-start curve_fit\n")
    print("| family | start | rows | converged | library at best | curve_fit at best | lmfit guess() "
          "at best | agrees with curve_fit, not converged | converged above curve_fit |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    nist = Counter()
    for fam, rows in per_family:
        k = len(rows)
        conv = sum(r[0] == "converged" for r in rows)
        agree_not = sum(r[2] and r[0] != "converged" and r[1] != NONE for r in rows)
        above = sum(r[3] for r in rows)
        lib, cf = sum(r[4] for r in rows), sum(r[5] for r in rows)
        lm = "" if rows[0][6] is None else str(sum(bool(r[6]) for r in rows))
        if fam.certified:
            nist.update(rows=k, conv=conv, lib=lib, cf=cf, agree_not=agree_not, above=above)
            continue
        print(f"| {fam.name} | {fam.start} | {k} | {conv} | {lib} | {cf} | {lm} | {agree_not} | {above} |")
    if nist:
        print(f"| NIST StRD (certified optimum) | 1 and 2 | {nist['rows']} | {nist['conv']} | {nist['lib']} | "
              f"{nist['cf']} | | {nist['agree_not']} | {nist['above']} |")

    at_rows = sum(grid[o][AT] for o in grid)
    missed = sum(grid[o][AT] for o in grid if o != "converged")
    print(f"\nTargets: converged but not at a minimum: {grid['converged'][ABOVE]} (target 0); "
          f"at a minimum but not converged: {missed} of {at_rows} = {100 * missed / max(at_rows, 1):.3f} % "
          f"(target <= 0.1 %)")
    wrong = [r[7] for _, rows in per_family for r in rows if r[0] == "converged" and r[1] == ABOVE]
    if wrong:
        print(f"Converged rows not at a minimum: chi-square / dof from {min(wrong):.3g} to {max(wrong):.3g}")
    print("NIST rows by outcome: " + ", ".join(
        f"{fam.name} {fam.start}: {rows[0][0]} ({rows[0][1]})" for fam, rows in per_family if fam.certified))
    print(f"\n({time.perf_counter() - t0:.0f} s)")


if __name__ == "__main__":
    main()
