"""Linear algebra on 2-D float32 arrays (0-based, row-major as NumPy stores them).

Inputs are copied; each function returns new arrays.
"""

from collections import namedtuple

from . import _core

GaussjResult = namedtuple("GaussjResult", "inverse solutions")
JacobiResult = namedtuple("JacobiResult", "d v nrot")
EigsrtResult = namedtuple("EigsrtResult", "d v")


class SvdResult(namedtuple("SvdResult", "u w v")):
    """(u, w, v) with a = u @ diag(w) @ v.T; .converged is False when some
    singular value had not converged after 100 QR sweeps."""

    converged = True


def svdcmp(a):
    """Singular value decomposition a = u @ diag(w) @ v.T of an (m, n) matrix.

    Returns SvdResult(u (m, n), w (n,), v (n, n)); v is V itself, not its
    transpose; w is in the order the iteration leaves it (not sorted). Converged
    values are >= 0. Non-convergence is not an error: see .converged.
    """
    u, w, v, converged = _core.svdcmp(a)
    result = SvdResult(u, w, v)
    result.converged = converged
    return result


def svbksb(u, w, v, b):
    """x solving a x = b in the least-squares sense from svdcmp's factors.

    Exactly the w[j] equal to 0 are left out; zero the small ones first.
    """
    return _core.svbksb(u, w, v, b)


def svdvar(v, w):
    """Covariance v @ diag(1/w^2) @ v.T of an SVD fit; a w[k] equal to 0 leaves direction k out."""
    return _core.svdvar(v, w)


def gaussj(a, b=None):
    """Gauss-Jordan elimination with full pivoting: GaussjResult(inverse, solutions).

    a is (n, n); b is (n,) or (n, m) right-hand sides (or None). Raises
    NumericsError("gaussj: Singular Matrix-2") for a singular matrix.
    """
    return GaussjResult(*_core.gaussj(a, b))


def jacobi(a):
    """Eigenvalues d (unsorted) and eigenvectors (the columns of v) of a symmetric (n, n) a.

    Only the diagonal and upper triangle of a are read. Returns JacobiResult(d, v,
    nrot). Raises NumericsError("Too many iterations in routine jacobi") after 50
    sweeps.
    """
    return JacobiResult(*_core.jacobi(a))


def eigsrt(d, v):
    """d sorted descending with the columns of v moved along: EigsrtResult(d, v)."""
    return EigsrtResult(*_core.eigsrt(d, v))


def inverse(a):
    """The inverse of a square matrix through the SVD (getInverseMatrixUsingSVD).

    Singular values below 1e-6 times the largest are dropped, so a singular
    matrix gives the truncated pseudo-inverse.
    """
    return _core.inverse(a)
