"""Least-squares fits: the straight line, linear models by SVD and nonlinear
models by Levenberg-Marquardt (LMFit)."""

from collections import namedtuple
from dataclasses import dataclass

import numpy as np

from . import _arrays, _batch, _core, _precision

FitResult = namedtuple("FitResult", "a b siga sigb chi2 q")
SvdfitResult = namedtuple("SvdfitResult", "a u v w chisq")
LMOutcome = namedtuple("LMOutcome", "stop iterations lambda_at_stop")
_STOPS = ("iteration_limit", "converged", "stalled", "small_steps")


def fit(x, y, sig=None, axis=0, threads=None):
    """Least-squares line y = a + b x: FitResult(a, b, siga, sigb, chi2, q).

    With sig (standard deviations, non-zero) each point is weighted by 1/sig^2
    and q = gammq((n - 2)/2, chi2/2) is the goodness of fit; a NumericsError
    ("Invalid arguments in routine gammq") follows when n <= 2 or chi2 is not a
    number. Without sig, q = 1 and the standard errors come from the scatter
    about the line (n >= 3). Warns (PrecisionWarning) when x or y lie so far
    from zero against their spread that the slope keeps fewer than three digits.

    Batched (y of two or more dimensions): a line through every series of y
    along `axis` (for example each voxel's time course); x and sig are one
    series of n values for all (1-D) or arrays of y's shape. Each field is a
    float32 array of the other axes' shape, element i the single call's bits on
    series i. threads: the library's worker threads (None: every CPU the
    process may use for large batches); the GIL is released and Ctrl-C stops
    the batch. A series the library refuses raises NumericsError.
    """
    if np.ndim(y) > 1:
        return _batched_fit(x, y, sig, axis, threads)
    x = _arrays.vector(x, "fit: x", 1 if sig is not None else 3)
    y = _arrays.vector(y, "fit: y")
    _precision.check("fit", y.size, [x, y])
    if sig is None:
        _arrays.same_length("fit", x, y)
        return FitResult(*_core.fit(x, y, x, False))
    sig = _arrays.vector(sig, "fit: sig")
    _arrays.same_length("fit", x, y, sig)
    return FitResult(*_core.fit(x, y, sig, True))


def _batched_fit(x, y, sig, axis, threads):
    sy, first, rest = _batch.series(y, axis, "fit: y", 3)
    n = sy.shape[0 if first else 1]

    def laid_out(v, name):
        if np.ndim(v) == 1:
            v = _arrays.vector(v, name)
            if v.size != n:
                raise ValueError(f"{name}: expected {n} values, got {v.size}")
            return v
        sv, _, rest_v = _batch.series(v, axis, name)
        if rest_v != rest or sv.shape != sy.shape:
            raise ValueError(f"{name}: expected n values or the shape of y")
        return sv

    sx = laid_out(x, "fit: x")
    ss = None if sig is None else laid_out(sig, "fit: sig")
    _precision.check("fit", n, [sx, sy], 0 if first else 1, stacklevel=4)
    count = int(np.prod(rest, dtype=np.int64))
    maps = _core.batch_fit(sx, sy, ss, first, _batch.threads_for(threads, count), None)
    return FitResult(*(m.reshape(rest) for m in maps))


def fpoly(x, n):
    """The polynomial basis 1, x, x^2, ..., x^(n-1) at x, as float32 (the library's fpoly)."""
    return _core.basis(float(x), _count(n, "fpoly: n"), 0)


def fleg(x, n):
    """Legendre polynomials P_0(x)..P_{n-1}(x) as float32, by the recurrence
    k P_k = (2k - 1) x P_{k-1} - (k - 1) P_{k-2} in float (a basis for svdfit,
    evaluated in the extension: the C++ library has no Legendre basis)."""
    return _core.basis(float(x), _count(n, "fleg: n"), 1)


def _count(n, name):
    n = _arrays.integer(n, name)
    if n < 1:
        raise ValueError(f"{name} must be at least 1, got {n}")
    return n


def _sigma(sig, n, name):
    if sig is None:
        return np.ones(n, dtype=np.float32)
    s = _arrays.vector(sig, name)
    if s.size != n:
        raise ValueError(f"{name}: expected {n} values, got {s.size}")
    return s


def svdfit(x, y, ma, sig=None, basis=fpoly):
    """Linear least squares y = sum_j a[j] X_j(x), j = 0..ma-1, through the SVD.

    basis: fpoly or fleg (evaluated in the library, without the GIL), or a
    callable basis(x: float, ma: int) returning ma values (rounded to float32). Singular values below
    1e-5 times the largest are zeroed before the back-substitution and returned
    as 0 in w, ready for svdvar(v, w). Returns SvdfitResult(a, u, v, w, chisq).
    An exception raised by the callable propagates unchanged.
    """
    x = _arrays.vector(x, "svdfit: x")
    y = _arrays.vector(y, "svdfit: y")
    _arrays.same_length("svdfit", x, y)
    ma = _count(ma, "svdfit: ma")
    sig = _sigma(sig, x.size, "svdfit: sig")
    if basis is fpoly or basis is fleg:
        code = 0 if basis is fpoly else 1
    elif callable(basis):
        code = basis
    else:
        raise TypeError("svdfit: basis must be fpoly, fleg or a callable basis(x, ma)")
    return SvdfitResult(*_core.svdfit(x, y, sig, ma, code))


def fgauss(x, a):
    """The built-in model: sum of Gaussians a[i] exp(-((x - a[i+1]) / a[i+2])^2) over
    the triples of a. Returns (y, dyda)."""
    return _core.fgauss(float(x), _arrays.vector(a, "fgauss: a", 0))


@dataclass
class LMStoppingRule:
    """When LMFit.run stops: as soon as no step can lower chi-square by more than
    float arithmetic resolves (converged; the library's fixed test, see
    docs/python.md), when lambda exceeds max_lambda although a lower chi-square
    should exist (stalled), after max_iterations calls (iteration_limit), or,
    when quiet_steps > 0, after quiet_steps accepted steps in a row that each
    lowered chi-square by less than absolute_drop + relative_drop * chi-square
    (small_steps)."""

    max_iterations: int = 200
    absolute_drop: float = 1.0e-3
    relative_drop: float = 1.0e-4
    quiet_steps: int = 0
    max_lambda: float = 1.0e10


class LMFit:
    """One Levenberg-Marquardt fit of a[0..ma-1] to (x, y, sig), with its own state.

    model: "gauss" for the library's sum of Gaussians (fgauss; ma a multiple of
    3), or a callable model(x: float, a: ndarray) -> (y, dyda) with dyda of
    length ma (both rounded to float32; a is a copy of the trial parameters). ia: 0 holds a parameter at its value, non-zero fits it (default:
    all fitted). sig defaults to ones.

    step() makes one call of the library's protocol: the first starts a fit
    (lambda = 0.001) and does one iteration, later ones iterate; finish() ends it
    and fills covariance. run(rule) does a whole fit. The same results, bit for
    bit, as tessivane::lm_fit in C++ (and mrqmin). A NumericsError (e.g. a
    singular curvature matrix) or an exception from the model leaves no fit in
    progress; the model's exception propagates unchanged.

    Thread safety: one object per thread (objects on different threads fit at
    once, without the GIL while the built-in model runs).
    """

    def __init__(self, x, y, a, sig=None, ia=None, model="gauss"):
        x = _arrays.vector(x, "LMFit: x")
        y = _arrays.vector(y, "LMFit: y")
        _arrays.same_length("LMFit", x, y)
        a = _arrays.vector(a, "LMFit: a")
        if model == "gauss":
            if a.size % 3:
                raise ValueError("LMFit: the Gaussian model takes (amplitude, centre, width) triples")
            model = None
        elif not callable(model):
            raise TypeError('LMFit: model must be "gauss" or a callable model(x, a) -> (y, dyda)')
        if ia is None:
            ia = np.ones(a.size, dtype=np.intc)
        else:
            ia = np.ascontiguousarray(np.asarray(ia) != 0, dtype=np.intc)
            if ia.shape != a.shape:
                raise ValueError(f"LMFit: ia must have shape {a.shape}, got {ia.shape}")
        self._state = _core.LMState(x, y, _sigma(sig, x.size, "LMFit: sig"), a, ia, model)
        self.outcome = None

    def step(self):
        """One iteration (the first call starts the fit); returns the accepted chi-square."""
        self._state.step(self._state.alamda if self._state.in_progress else -1.0)
        return self.chisq

    def finish(self):
        """Ends the fit: covariance of the accepted parameters; returns it."""
        self._state.step(0.0)
        return self.covariance

    def run(self, rule=None):
        """A whole fit from the current parameters by the stopping rule (LMStoppingRule).

        Returns LMOutcome(stop, iterations, lambda_at_stop), stop being
        "converged", "stalled", "iteration_limit" or "small_steps"; also kept as
        .outcome.
        """
        r = rule if rule is not None else LMStoppingRule()
        stop, iterations, lam = self._state.run(int(r.max_iterations), float(r.absolute_drop),
                                                float(r.relative_drop), int(r.quiet_steps),
                                                float(r.max_lambda))
        self.outcome = LMOutcome(_STOPS[stop], iterations, lam)
        return self.outcome

    @property
    def params(self):
        """The accepted parameters (float32)."""
        return self._state.params

    @property
    def covariance(self):
        """(ma, ma) covariance after finish() or run(); zero rows and columns for held parameters."""
        return self._state.covariance

    @property
    def alpha(self):
        """The curvature matrix, packed over the fitted parameters in its leading block."""
        return self._state.alpha

    @property
    def chisq(self):
        """Chi-square at the accepted parameters."""
        return self._state.chisq

    @property
    def lamda(self):
        """The current Levenberg-Marquardt lambda (the library's alamda)."""
        return self._state.alamda

    @property
    def in_progress(self):
        """True between the first step() and finish()."""
        return self._state.in_progress
