"""Special functions and the conversions between statistics and p-values.

Elementwise over arrays with NumPy broadcasting. Real arguments are rounded to
float32 as the library takes them (gammln alone takes and returns float64);
degrees of freedom and sample counts are whole numbers. A scalar in gives a
Python float out (the exact float32 value), arrays give float32 arrays.
"""

import numpy as np

from . import _arrays, _core

_F = "f"  # rounded to float32
_D = "d"  # float64
_U = "u"  # a count or whole degrees of freedom (>= 1)
_N = "n"  # a count that may be 0


def _map(core, name, threads, *args):
    converted = []
    for (label, kind), value in args:
        if kind in (_U, _N):
            value = _arrays.counts(value, f"{name}: {label}", 1 if kind == _U else 0)
        converted.append(np.asarray(value))
    # np.ascontiguousarray makes 0-d arguments 1-D: the shape comes from broadcasting.
    shape = np.broadcast_shapes(*(a.shape for a in converted))
    arrays = [np.broadcast_to(a, shape) for a in converted]
    return _arrays.scalar_or_array(core(*arrays, threads).reshape(shape))


_THREADS_DOC = """
    threads: worker threads of the library's pool for large arrays (None: one
    thread below 2048 elements, else every CPU the process may use); the
    results are the same bits either way.
"""


def gammln(x, threads=None):
    """ln Gamma(x) for x > 0, in float64 (Lanczos, absolute error below 2e-10).

    x is not checked: x <= 0 gives a meaningless value, not an error.
    """
    return _map(_core.gammln, "gammln", threads, (("x", _D), x))


def gammq(a, x, threads=None):
    """Q(a, x) = 1 - P(a, x), the regularised upper incomplete gamma function.

    Raises NumericsError("Invalid arguments in routine gammq") when x < 0, a <= 0
    or either is NaN.
    """
    return _map(_core.gammq, "gammq", threads, (("a", _F), a), (("x", _F), x))


def betai(a, b, x, threads=None):
    """I_x(a, b), the regularised incomplete beta function, for a, b > 0.

    x outside [0, 1] gives 0; x = 0 gives 0 and x = 1 gives 1.
    """
    return _map(_core.betai, "betai", threads, (("a", _F), a), (("b", _F), b), (("x", _F), x))


def erfcc(x, threads=None):
    """erfc(x) by a fitted approximation (fractional error below 1.2e-7) whose x * x
    is formed in float, adding up to about x^2 / 2 float epsilons of relative error
    in the tail (on Boost's test data up to 1.8e-6; docs/accuracy.md)."""
    return _map(_core.erfcc, "erfcc", threads, (("x", _F), x))


def probks(alam, threads=None):
    """Kolmogorov-Smirnov tail Q_KS(alam) = 2 sum_{j>=1} (-1)^(j-1) exp(-2 j^2 alam^2)."""
    return _map(_core.probks, "probks", threads, (("alam", _F), alam))


def t_to_p(t, df, threads=None):
    """Two-sided p of Student's t with whole df >= 1 degrees of freedom (t = 0 gives 1)."""
    return _map(_core.t_to_p, "t_to_p", threads, (("t", _F), t), (("df", _U), df))


def t_to_p_real(t, df, threads=None):
    """Two-sided p of t with df > 0 degrees of freedom, df not necessarily whole.

    Equals t_to_p bit for bit for whole df; use it with tutest's Welch df.
    """
    return _map(_core.t_to_p_real, "t_to_p_real", threads, (("t", _F), t), (("df", _F), df))


def r_to_p(r, n, threads=None):
    """Two-sided p of the correlation r from n pairs (n - 2 degrees of freedom).

    Returns 1 for n < 2 and for r = 0, and 0 for r = 1.
    """
    return _map(_core.r_to_p, "r_to_p", threads, (("r", _F), r), (("n", _N), n))


def F_to_p(F, df_1, df_2, threads=None):
    """Upper-tail p of F with df_1 (numerator) and df_2 (denominator) degrees of freedom.

    Returns 0 for F < 0 and 1 for F = 0.
    """
    return _map(_core.F_to_p, "F_to_p", threads, (("F", _F), F), (("df_1", _U), df_1),
                (("df_2", _U), df_2))


def p_to_t(p, df, threads=None):
    """The t whose two-sided p is p: 25 steps of a bisection-like search (largest t 54)."""
    return _map(_core.p_to_t, "p_to_t", threads, (("p", _F), p), (("df", _U), df))


def p_to_r(p, n, threads=None):
    """The r whose two-sided p is p for n pairs, as r_to_p counts them (at most 1)."""
    return _map(_core.p_to_r, "p_to_r", threads, (("p", _F), p), (("n", _N), n))


def p_to_F(p, df_1, df_2, threads=None):
    """The F whose upper-tail p is p (25-step search, largest F 60)."""
    return _map(_core.p_to_F, "p_to_F", threads, (("p", _F), p), (("df_1", _U), df_1),
                (("df_2", _U), df_2))


def p_to_z(p, threads=None):
    """sign(1 - p) * sqrt(-4 ln|1 - p|); p = 1 is replaced by 0.99999988 (about 7.986)."""
    return _map(_core.p_to_z, "p_to_z", threads, (("p", _F), p))


def kstwo_prob(d, n1, n2, threads=None):
    """Significance of the two-sample Kolmogorov-Smirnov D for samples of n1 and n2 values.

    probks((ne + 0.12 + 0.11 / ne) * d) with ne = sqrt(n1 n2 / (n1 + n2)); D = 0 gives 1.
    """
    return _map(_core.kstwo_prob, "kstwo_prob", threads, (("d", _F), d), (("n1", _U), n1),
                (("n2", _U), n2))


def kstwo_prob_exact(d, n1, n2, threads=None):
    """Exact two-sided P(D >= d) of the two-sample Kolmogorov-Smirnov D for
    samples of n1 and n2 values without ties (the lattice-path count, in double,
    rounded to float). A d within 2^-20 of an attainable D counts as that D.
    d <= 0 gives 1, d > 1 gives 0. Time grows as n1 * n2 (about 0.6 s at
    10^4 x 10^4); NumericsError when n1 * n2 exceeds 10^8.
    """
    return _map(_core.kstwo_prob_exact, "kstwo_prob_exact", threads, (("d", _F), d),
                (("n1", _U), n1), (("n2", _U), n2))


for _f in (gammln, gammq, betai, erfcc, probks, t_to_p, t_to_p_real, r_to_p, F_to_p, p_to_t,
           p_to_r, p_to_F, p_to_z, kstwo_prob, kstwo_prob_exact):
    _f.__doc__ += _THREADS_DOC
