"""PrecisionWarning: data whose offset is large against their spread.

The library works in float32. A sample whose mean lies far from zero compared
with the spread of its values loses digits twice: rounding each value to float
keeps about 7 significant digits of the value, not of its deviation from the
mean, and the float sums of the means and the sums of squares round at the
scale of the offset. How far a statistic can go before it keeps fewer than
three correct digits depends on the statistic and on n; _THRESHOLDS holds
what scripts/accuracy_table.py measured (docs/accuracy.md shows the table).

The check is cheap (a maximum, a minimum and a mean per series, no temporary
copy of the data) and never changes a result.
"""

import functools
import warnings

import numpy as np

from ._thresholds import THRESHOLDS as _THRESHOLDS

# Routines that lose digits where another does: welch_df is built on the two variances.
_MEASURED_AS = {"welch_df": "avevar"}


class PrecisionWarning(UserWarning):
    """Input whose |mean| / (max - min) is so large for its n that the float32
    statistic keeps fewer than three correct digits (docs/accuracy.md).
    Subtracting a common offset from the data before the call avoids it."""


PrecisionWarning.__module__ = "tessivane"


def threshold(routine, n):
    """The largest |mean| / (max - min) at which `routine` still keeps three
    digits for series of n values: the measured log10 thresholds at n = 10,
    100, 1000, 10000, interpolated linearly in log10 n (and extended along the
    end segments beyond them)."""
    logs = _THRESHOLDS[_MEASURED_AS.get(routine, routine)]
    x = np.log10(max(n, 1))
    k = min(max(int(np.floor(x)) - 1, 0), len(logs) - 2)
    return 10.0 ** (logs[k] + (logs[k + 1] - logs[k]) * (x - (k + 1)))


def offset_ratio(a, axis):
    """|mean| / (max - min) of each series of the float32 array a along axis
    (0 where a series has no spread or is not finite)."""
    hi = np.max(a, axis=axis).astype(np.float64)
    lo = np.min(a, axis=axis).astype(np.float64)
    mean = np.mean(a, axis=axis, dtype=np.float64)
    spread = hi - lo
    with np.errstate(invalid="ignore", divide="ignore"):
        ratio = np.abs(mean) / spread
    return np.where(np.isfinite(ratio), ratio, 0.0)


def check(routine, n, samples, axis=0, stacklevel=3):
    """Warn once when any series of the given float32 arrays (2-D: series
    along `axis`, all with the same other axes; 1-D: one series, or one shared
    by a batch) is beyond routine's threshold for n values; a batch names how
    many of its series are."""
    if not samples or n < 2:
        return
    limit = threshold(routine, n)
    ratios = (np.atleast_1d(offset_ratio(s, axis if np.ndim(s) > 1 else 0)) for s in samples)
    ratio = functools.reduce(np.maximum, ratios)
    affected = int(np.count_nonzero(ratio > limit))
    if affected == 0:
        return
    batched = any(np.ndim(s) > 1 for s in samples)
    where = f"{affected} of {ratio.size} series have" if batched else "the data have"
    warnings.warn(
        f"{routine}: {where} |mean| / (max - min) above {limit:.3g} (n = {n}, worst "
        f"{float(ratio.max()):.3g}); in float32 the result keeps fewer than three correct "
        f"digits there (docs/accuracy.md). Subtract a common offset before the call.",
        PrecisionWarning, stacklevel=stacklevel)
