"""Two-sample tests and correlation of 1-D samples.

Each returns a named tuple whose first field is the statistic. Samples are
rounded to float32 and only read.
"""

from collections import namedtuple

import numpy as np

from . import _batch, _core

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


def ttest(a, b, axis=0, threads=None):
    """Student's t for two samples with pooled variance.

    Returns TtestResult(statistic=t, df=n1 + n2 - 2, pvalue) with the two-sided
    p = t_to_p(t, df). t = 0 when the pooled variance is exactly 0. The sign of t
    is that of mean(a) - mean(b). Needs n1, n2 >= 1 and n1 + n2 >= 3.
    """
    if _batched(a, b):
        return TtestResult(*_batch.run("ttest", a, b, axis, threads))
    _single_axis("ttest", axis)
    return TtestResult(*_core.ttest(a, b))


def tutest(a, b, axis=0, threads=None):
    """Welch's t for two samples of unequal variance.

    Returns TtestResult(statistic=t, df, pvalue) with the Welch-Satterthwaite df
    (a float, welch_df) and p = t_to_p_real(t, df). Needs n1, n2 >= 2.
    """
    if _batched(a, b):
        return TtestResult(*_batch.run("tutest", a, b, axis, threads))
    _single_axis("tutest", axis)
    return TtestResult(*_core.tutest(a, b))


def kstwo(a, b, axis=0, threads=None):
    """Two-sample Kolmogorov-Smirnov D and its significance (kstwo_prob).

    A NaN in either sample gives D = NaN. The inputs are not sorted in place.
    """
    if _batched(a, b):
        return KstwoResult(*_batch.run("kstwo", a, b, axis, threads))
    _single_axis("kstwo", axis)
    return KstwoResult(*_core.kstwo(a, b))


def avevar(x):
    """Mean and sample variance (divisor n - 1) of x, n >= 2: AvevarResult(mean, variance)."""
    return AvevarResult(*_core.avevar(x))


def pearsn(x, y, axis=0, threads=None):
    """Pearson's r of paired samples and its two-sided significance.

    statistic is the library's pearsn r (0 when a sample has no spread); pvalue is
    pearsn_prob's significance from Student's t with n - 2 degrees of freedom,
    computed from its own r (whose final division is in double, so it may differ
    from statistic in the last bit). Needs n >= 3.
    """
    if _batched(x, y):
        return PearsnResult(*_batch.run("pearsn", x, y, axis, threads))
    _single_axis("pearsn", axis)
    r, p, _ = _core.pearsn(x, y)
    return PearsnResult(r, p)


def spear(x, y, axis=0, threads=None):
    """Spearman rank correlation with tie correction.

    Returns SpearResult(statistic=rs, pvalue=probd, d, zd, probrs): d is the sum of
    squared rank differences, zd its normal deviate and probd that deviate's
    two-sided significance. When a sample has all values equal, rs = 0,
    probrs = 0 and zd, probd are NaN (the library leaves them unwritten);
    otherwise probrs is NaN. Needs n >= 2.
    """
    if _batched(x, y):
        return SpearResult(*_batch.run("spear", x, y, axis, threads))
    _single_axis("spear", axis)
    return SpearResult(*_core.spear(x, y))


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
