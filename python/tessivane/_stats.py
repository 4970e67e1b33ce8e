"""Two-sample tests and correlation of 1-D samples.

Each returns a named tuple whose first field is the statistic. Samples are
rounded to float32 and only read.
"""

from collections import namedtuple

import numpy as np

from . import _batch, _core, _precision, _special

TtestResult = namedtuple("TtestResult", "statistic df pvalue")
KstwoResult = namedtuple("KstwoResult", "statistic pvalue")
AvevarResult = namedtuple("AvevarResult", "mean variance")
PearsnResult = namedtuple("PearsnResult", "statistic pvalue")
SpearResult = namedtuple("SpearResult", "statistic pvalue d zd probrs")
RunningSums = namedtuple("RunningSums", "n ax ay sxx syy sxy")
PearsnIncResult = namedtuple("PearsnIncResult", "r state")
RegrIncResult = namedtuple("RegrIncResult", "a b ym state")


_BATCH_DOC = """
    Batched (a or b of two or more dimensions): the samples lie along `axis`
    (default 0, as in SciPy), the other axes must agree, and each field is a
    float32 array of their shape; element i equals the single call on the
    series i, bit for bit. threads: the library's worker threads (None: every
    CPU the process may use for large batches); the GIL is released and
    Ctrl-C stops the batch.
"""


def _batched(*arrays):
    return any(np.ndim(a) > 1 for a in arrays)


def _single_axis(name, axis):
    if axis not in (0, -1):
        raise ValueError(f"{name}: axis {axis} is out of bounds for 1-D samples")


# Which tail each alternative of ttest/tutest keeps, as the sign of t it favours.
_ALTERNATIVES = {"two-sided": 0, "less": -1, "greater": 1}
_KS_METHODS = ("auto", "exact", "asymptotic")
# method="auto" takes the exact p up to this many values per sample (SciPy's rule for ks_2samp).
_KS_EXACT_AUTO = 10000
# Statistics of the order of the values only: exact on float32 input, so they lose
# digits only when the values are rounded to float32 on the way in.
_RANK_BASED = ("kstwo", "spear")


def _two_sample(name, a, b, axis, threads, single=None, label=None):
    """The single call _core.<name> (or `single`) or the batch of the series
    of a and b, then the precision check of the samples for the routine
    `label` (default name); with n1 and n2."""
    if _batched(a, b):
        out, samples, series_axis = _batch.run(name, a, b, axis, threads)
    else:
        _single_axis(name, axis)
        out = (single or getattr(_core, name))(a, b)
        samples, series_axis = (np.asarray(a, np.float32), np.asarray(b, np.float32)), 0
    n1, n2 = (s.shape[series_axis] for s in samples)
    if name not in _RANK_BASED or not all(getattr(x, "dtype", None) == np.float32 for x in (a, b)):
        _precision.check(label or name, max(n1, n2), samples, series_axis, stacklevel=4)
    return out, n1, n2


def _side(name, alternative):
    if alternative not in _ALTERNATIVES:
        raise ValueError(f"{name}: alternative must be 'two-sided', 'less' or 'greater', "
                         f"got {alternative!r}")
    return _ALTERNATIVES[alternative]


def _sided(side, t, p):
    """The p of the alternative favouring the sign `side` of t (0: two-sided)
    from the two-sided p: p / 2 on the favoured side of 0, 1 - p / 2 on the
    other (both in float32; t = 0 gives 0.5)."""
    if side == 0:
        return p
    half = np.float32(p) / np.float32(2)
    sided = np.where(np.sign(t) == side, half, np.float32(1) - half).astype(np.float32)
    return sided if np.ndim(p) else float(sided)


def ttest(a, b, axis=0, threads=None, *, alternative="two-sided"):
    """Student's t for two samples with pooled variance.

    Returns TtestResult(statistic=t, df=n1 + n2 - 2, pvalue). The sign of t is
    that of mean(a) - mean(b); t = 0 when the pooled variance is exactly 0.
    pvalue: alternative="two-sided" (default) is t_to_p(t, df); "less" (mean(a)
    below mean(b)) and "greater" are one-sided, p/2 on the side of the
    alternative and 1 - p/2 on the other, as scipy.stats.ttest_ind gives them.
    Needs n1, n2 >= 1 and n1 + n2 >= 3. Warns (PrecisionWarning) when the data's
    offset is so large against their spread that t keeps fewer than three digits.
    """
    side = _side("ttest", alternative)
    t, df, p = _two_sample("ttest", a, b, axis, threads)[0]
    return TtestResult(t, df, _sided(side, t, p))


def tutest(a, b, axis=0, threads=None, *, alternative="two-sided"):
    """Welch's t for two samples of unequal variance.

    Returns TtestResult(statistic=t, df, pvalue) with the Welch-Satterthwaite df
    (a float, welch_df) and, for alternative="two-sided" (default), p =
    t_to_p_real(t, df); "less" and "greater" are one-sided as in ttest.
    Needs n1, n2 >= 2. Warns as ttest does.
    """
    side = _side("tutest", alternative)
    t, df, p = _two_sample("tutest", a, b, axis, threads)[0]
    return TtestResult(t, df, _sided(side, t, p))


def welch_df(a, b, axis=0, threads=None):
    """The Welch-Satterthwaite degrees of freedom of tutest's t (float32), the
    df field of tutest(a, b): between min(n1, n2) - 1 and n1 + n2 - 2, and
    n1 + n2 - 2 when both samples have no spread. Needs n1, n2 >= 2.
    """
    return _two_sample("tutest", a, b, axis, threads, label="welch_df")[0][1]


def kstwo(a, b, axis=0, threads=None, *, method="auto"):
    """Two-sample Kolmogorov-Smirnov D and its two-sided significance.

    Returns KstwoResult(statistic=D, pvalue). method: "exact" is
    kstwo_prob_exact(D, n1, n2) (exact for data without ties; n1 * n2 at most
    1e8, NumericsError beyond); "asymptotic" is kstwo_prob(D, n1, n2), the C++
    kstwo's p; "auto" (default, SciPy's rule) the exact p when both samples
    have at most 10000 values, the asymptotic one beyond. A NaN in either sample
    gives D = NaN. The inputs are not sorted in place. Warns (PrecisionWarning)
    when data rounded to float32 on the way in lie so far from zero against their
    spread that rounding may merge distinct values into ties.
    """
    if method not in _KS_METHODS:
        raise ValueError(f"kstwo: method must be 'auto', 'exact' or 'asymptotic', got {method!r}")
    (d, p), n1, n2 = _two_sample("kstwo", a, b, axis, threads)
    if method == "exact" or (method == "auto" and max(n1, n2) <= _KS_EXACT_AUTO):
        p = _special.kstwo_prob_exact(d, n1, n2, threads=threads)
    return KstwoResult(d, p)


def avevar(x):
    """Mean and sample variance (divisor n - 1) of x, n >= 2: AvevarResult(mean, variance).

    Warns (PrecisionWarning) when x's offset is so large against its spread that
    the variance keeps fewer than three digits.
    """
    result = AvevarResult(*_core.avevar(x))
    x = np.asarray(x, np.float32)
    _precision.check("avevar", x.size, [x])
    return result


def pearsn(x, y, axis=0, threads=None):
    """Pearson's r of paired samples and its two-sided significance.

    statistic is the library's pearsn r (0 when a sample has no spread); pvalue is
    pearsn_prob's significance from Student's t with n - 2 degrees of freedom,
    computed from its own r (whose final division is in double, so it may differ
    from statistic in the last bit). Needs n >= 3. Warns (PrecisionWarning) when
    the data's offset is so large against their spread that r keeps fewer than
    three correct digits.
    """
    return PearsnResult(*_two_sample("pearsn", x, y, axis, threads,
                                     lambda x, y: _core.pearsn(x, y)[:2])[0])


def spear(x, y, axis=0, threads=None):
    """Spearman rank correlation with tie correction.

    Returns SpearResult(statistic=rs, pvalue=probd, d, zd, probrs): d is the sum of
    squared rank differences, zd its normal deviate and probd that deviate's
    two-sided significance. When a sample has all values equal, rs = 0,
    probrs = 0 and zd, probd are NaN (the library leaves them unwritten);
    otherwise probrs is NaN. Needs n >= 2. Warns as kstwo does.
    """
    return SpearResult(*_two_sample("spear", x, y, axis, threads)[0])


def pearsn_inc(x, y, state=None):
    """Pearson's r accumulated one sample at a time (one-pass sums), over the
    pairs of x and y in order, continuing from state (a RunningSums; None:
    no sample yet). Returns PearsnIncResult(r after each sample, state after
    the last); r is 0 until both x and y spread. From the third sample on the
    one-pass sums differ slightly from pearsn's.
    """
    r, sums = _core.pearsn_inc(x, y, state)
    return PearsnIncResult(r, RunningSums(*sums))


def regr_inc(x, y, state=None):
    """The least-squares line y = a + b x and the mean of y, accumulated one
    sample at a time over the pairs of x and y, continuing from state. Returns
    RegrIncResult(a, b, ym after each sample, state after the last); b is 0
    until the x values spread.
    """
    a, b, ym, sums = _core.regr_inc(x, y, state)
    return RegrIncResult(a, b, ym, RunningSums(*sums))


for _f in (ttest, tutest, kstwo, pearsn, spear):
    _f.__doc__ += _BATCH_DOC
