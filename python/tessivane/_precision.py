"""PrecisionWarning: data whose offset is large against their spread.

The library works in float32. A sample whose mean lies far from zero compared
with the spread of its values loses digits twice: rounding each value to float
keeps about 7 significant digits of the value, not of its deviation from the
mean, and the float sums of the means and the sums of squares round at the
scale of the offset. How far a statistic can go before it keeps fewer than
three correct digits depends on the statistic and on n; _THRESHOLDS holds
what scripts/accuracy_table.py measured (docs/accuracy.md shows the table).

The check is cheap (a maximum and a minimum of each series, of its first few
values only where those already clear it) and never changes a result.
"""

import functools
import warnings

import numpy as np

from ._thresholds import THRESHOLDS as _THRESHOLDS

# Routines that lose digits where another does: welch_df is built on the two variances.
_MEASURED_AS = {"welch_df": "avevar"}


class PrecisionWarning(UserWarning):
    """Input whose offset (max + min) / 2 is so large against its spread
    max - min, for its n, that the float32 statistic keeps fewer than three
    correct digits (docs/accuracy.md). Subtracting a common offset from the data
    before the call avoids it."""


PrecisionWarning.__module__ = "tessivane"


def threshold(routine, n):
    """The largest offset / spread ratio (offset_ratio) at which `routine` still keeps three
    digits for series of n values: the measured log10 thresholds at n = 10,
    100, 1000, 10000, interpolated linearly in log10 n (and extended along the
    end segments beyond them)."""
    logs = _THRESHOLDS[_MEASURED_AS.get(routine, routine)]
    x = np.log10(max(n, 1))
    k = min(max(int(np.floor(x)) - 1, 0), len(logs) - 2)
    return 10.0 ** (logs[k] + (logs[k + 1] - logs[k]) * (x - (k + 1)))


def offset_ratio(a, axis):
    """|offset| / spread of each series of the array a along axis: the midpoint
    (max + min) / 2 against max - min (0 where a series has no spread or is not
    finite). Where it matters (ratios of 10 and more) the midpoint is the mean to
    within a few percent, and two reductions cost less than a mean."""
    hi = np.max(a, axis=axis).astype(np.float64)
    lo = np.min(a, axis=axis).astype(np.float64)
    spread = hi - lo
    with np.errstate(invalid="ignore", divide="ignore"):
        ratio = np.abs(hi + lo) / (2.0 * spread)
    return np.where(np.isfinite(ratio), ratio, 0.0)


# Rows a batch first looks at to clear most of its series without reading them whole.
_HEAD = 8


def ratios_beyond(a, axis, limit):
    """offset_ratio of each series of the 2-D array a along axis where it may
    exceed limit, 0 elsewhere. A series is read whole only when its first
    values do not clear it: the midpoint of the whole series lies within half
    its spread of the first value x0, and its spread is at least that of its
    first _HEAD values, so its ratio is at most |x0| / (head spread) + 1/2."""
    head = a[:_HEAD] if axis == 0 else a[:, :_HEAD]
    spread = np.max(head, axis=axis).astype(np.float64) - np.min(head, axis=axis)
    first = np.abs(head[0] if axis == 0 else head[:, 0]).astype(np.float64)
    with np.errstate(invalid="ignore", divide="ignore"):
        suspect = ~(first / spread + 0.5 <= limit)  # NaN and no spread: read whole
    ratio = np.zeros(spread.shape)
    if suspect.any():
        ratio[suspect] = offset_ratio(a[:, suspect] if axis == 0 else a[suspect], axis)
    return ratio


def check(routine, n, samples, axis=0, stacklevel=3):
    """Warn once when any series of the given float32 arrays (2-D: series
    along `axis`, all with the same other axes; 1-D: one series, or one shared
    by a batch) is beyond routine's threshold for n values; a batch names how
    many of its series are."""
    if not samples or n < 2:
        return
    limit = threshold(routine, n)
    ratios = (ratios_beyond(s, axis, limit) if np.ndim(s) > 1 else np.atleast_1d(offset_ratio(s, 0))
              for s in samples)
    ratio = functools.reduce(np.maximum, ratios)
    affected = int(np.count_nonzero(ratio > limit))
    if affected == 0:
        return
    batched = any(np.ndim(s) > 1 for s in samples)
    where = f"{affected} of {ratio.size} series have" if batched else "the data have"
    warnings.warn(
        f"{routine}: {where} an offset / spread |max + min| / (2 (max - min)) above "
        f"{limit:.3g} (n = {n}, worst "
        f"{float(ratio.max()):.3g}); in float32 the result keeps fewer than three correct "
        f"digits there (docs/accuracy.md). Subtract a common offset before the call.",
        PrecisionWarning, stacklevel=stacklevel)
