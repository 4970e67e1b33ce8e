"""Least-squares fits: the straight line, linear models by SVD and nonlinear
models by Levenberg-Marquardt (LMFit)."""

from collections import namedtuple
from dataclasses import make_dataclass

import numpy as np

from . import _arrays, _batch, _core, _precision

FitResult = namedtuple("FitResult", "a b siga sigb chi2 q")
SvdfitResult = namedtuple("SvdfitResult", "a u v w chisq")
LMOutcome = namedtuple("LMOutcome", "stop iterations lambda_at_stop retried message")


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
    result = FitResult(*_core.fit(x, y, sig))
    y = np.asarray(y, np.float32)
    _precision.check("fit", y.size, [np.asarray(x, np.float32), y])
    return result


def _batched_fit(x, y, sig, axis, threads):
    sy, first, rest = _batch.series(y, axis, "fit: y")

    def laid_out(v, name):
        if np.ndim(v) == 1:
            return v
        sv, _, rest_v = _batch.series(v, axis, name)
        if rest_v != rest:
            raise ValueError(f"{name}: expected n values or the shape of y")
        return sv

    sx = laid_out(x, "fit: x")
    maps = _core.batch_fit(sx, sy, None if sig is None else laid_out(sig, "fit: sig"), first, threads, None)
    k = 0 if first else 1
    _precision.check("fit", sy.shape[k], [np.asarray(sx, np.float32), sy], k, stacklevel=4)
    return FitResult(*(m.reshape(rest) for m in maps))


def fpoly(x, n):
    """The polynomial basis 1, x, x^2, ..., x^(n-1) at x, as float32 (the library's fpoly)."""
    return _core.basis(x, n, 0)


def fleg(x, n):
    """Legendre polynomials P_0(x)..P_{n-1}(x) as float32, by the recurrence
    k P_k = (2k - 1) x P_{k-1} - (k - 1) P_{k-2} in float (a basis for svdfit,
    evaluated in the extension: the C++ library has no Legendre basis)."""
    return _core.basis(x, n, 1)


def svdfit(x, y, ma, sig=None, basis=fpoly):
    """Linear least squares y = sum_j a[j] X_j(x), j = 0..ma-1, through the SVD.

    basis: fpoly or fleg (evaluated in the library, without the GIL), or a
    callable basis(x: float, ma: int) returning ma values (rounded to float32). Singular values below
    1e-5 times the largest are zeroed before the back-substitution and returned
    as 0 in w, ready for svdvar(v, w). Returns SvdfitResult(a, u, v, w, chisq).
    An exception raised by the callable propagates unchanged.
    """
    return SvdfitResult(*_core.svdfit(x, y, ma, sig, basis, (fpoly, fleg)))


def fgauss(x, a):
    """The built-in model: sum of Gaussians a[i] exp(-((x - a[i+1]) / a[i+2])^2) over
    the triples of a. Returns (y, dyda)."""
    return _core.fgauss(x, a)


def gauss_start(x, y, ma=3):
    """The automatic start of the built-in model for one series: for each of
    the ma / 3 Gaussians, in what the earlier ones leave, the peak the box
    window that sees it most clearly finds (the matched width among 3, 5, 9,
    17, ... samples), its running mean's peak (amplitude, centre) and
    half-maximum width less the window's widening (float32, ma values; NaN
    when x or y holds NaN or infinity)."""
    return _core.gauss_start(x, y, ma)


LMStoppingRule = make_dataclass("LMStoppingRule", [
    (name, type(default), default) for name, default in _core.lm_stopping_rule_fields])
LMStoppingRule.__doc__ = """When LMFit.run stops and what it calls the result (docs/fitting.md):
    converged as soon as no step can lower chi-square by more than float
    arithmetic resolves (the library's fixed test); degenerate when the
    curvature does not determine the parameters (a flat or runaway model);
    stalled when lambda exceeds max_lambda although a lower chi-square should
    exist; iteration_limit after max_iterations calls; small_steps, when
    quiet_steps > 0, after quiet_steps accepted steps in a row that each
    lowered chi-square by less than absolute_drop + relative_drop * chi-square;
    refused for NaN or infinity in x, y, sig or the start, or a sig <= 0.
    retry: a fit of the built-in model that ends stalled or degenerate is run
    again from gauss_start() (off by default). The fields and their defaults
    are the library's."""


class LMFit:
    """One Levenberg-Marquardt fit of a[0..ma-1] to (x, y, sig), with its own state.

    a: the start, or "auto" for the built-in model's start from this series
    (gauss_start; ma = len(ia), default 3). model: "gauss" for the library's
    sum of Gaussians (fgauss; ma a multiple of 3), or a callable model(x: float, a: ndarray) -> (y, dyda) with dyda of
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
        self._state = _core.LMState(x, y, a, sig, ia, model)
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

        Returns LMOutcome(stop, iterations, lambda_at_stop, retried, message),
        stop being "converged", "degenerate", "stalled", "iteration_limit",
        "small_steps" or "refused" (see LMStoppingRule), message why it did
        not converge; also kept as .outcome.
        """
        self.outcome = LMOutcome(*self._state.run(rule))
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
