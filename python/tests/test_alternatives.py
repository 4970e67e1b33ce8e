"""One-sided t-tests, the Kolmogorov-Smirnov p methods, welch_df and
PrecisionWarning: exact relations to the library's own routines first, then
tolerance checks against SciPy."""
import warnings

import numpy as np
import pytest
import scipy.stats as st

import tessivane as tv

RNG = np.random.default_rng(30)
A, B = RNG.standard_normal(14), RNG.standard_normal(19) + 0.6
BATCH_A, BATCH_B = RNG.standard_normal((12, 3, 4)), RNG.standard_normal((15, 3, 4)) + 0.4


def bits(x):
    return np.asarray(x, np.float32).view(np.uint32)


@pytest.mark.parametrize("test", [tv.ttest, tv.tutest])
@pytest.mark.parametrize("a,b", [(A, B), (B, A), (BATCH_A, BATCH_B)])
def test_one_sided_p_is_half_the_two_sided_on_the_alternatives_side(test, a, b):
    t, df, p = test(a, b)
    less, greater = test(a, b, alternative="less").pvalue, test(a, b, alternative="greater").pvalue
    half = np.float32(p) / np.float32(2)
    assert np.array_equal(bits(np.where(t < 0, less, greater)), bits(half))
    assert np.array_equal(bits(np.where(t < 0, greater, less)), bits(np.float32(1) - half))


@pytest.mark.parametrize("alternative", ["two-sided", "less", "greater"])
@pytest.mark.parametrize("test,equal_var", [(tv.ttest, True), (tv.tutest, False)])
def test_alternatives_agree_with_scipy(test, equal_var, alternative):
    for a, b in ((A, B), (B, A), (BATCH_A, BATCH_B)):
        ours = test(a, b, alternative=alternative).pvalue
        theirs = st.ttest_ind(a, b, equal_var=equal_var, alternative=alternative).pvalue
        np.testing.assert_allclose(ours, theirs, rtol=2e-5, atol=2e-5)


def test_kstwo_methods():
    d, _ = tv.kstwo(A, B, method="asymptotic")
    assert tv.kstwo(A, B, method="asymptotic").pvalue == tv.kstwo_prob(d, 14, 19)
    assert tv.kstwo(A, B).pvalue == tv.kstwo(A, B, method="exact").pvalue == tv.kstwo_prob_exact(d, 14, 19)
    assert tv.kstwo(A, B).pvalue == pytest.approx(st.ks_2samp(A, B, method="exact").pvalue, rel=1e-5)
    big = np.linspace(0.0, 1.0, 10001)  # beyond 10^4 values auto takes the asymptotic p
    assert tv.kstwo(big, A).pvalue == tv.kstwo(big, A, method="asymptotic").pvalue
    batch = tv.kstwo(BATCH_A, BATCH_B)
    assert np.array_equal(bits(batch.pvalue), bits(tv.kstwo_prob_exact(batch.statistic, 12, 15)))
    with pytest.raises(ValueError, match="method"):
        tv.kstwo(A, B, method="exakt")
    with pytest.raises(ValueError, match="alternative"):
        tv.ttest(A, B, alternative="two_sided")


def test_welch_df_is_tutests_df():
    assert tv.welch_df(A, B) == tv.tutest(A, B).df
    assert np.array_equal(bits(tv.welch_df(BATCH_A, BATCH_B, threads=2)), bits(tv.tutest(BATCH_A, BATCH_B).df))


SHIFTED = RNG.standard_normal((40, 5)) + np.array([0.0, 1e2, 1e6, 3e7, 0.0])


@pytest.mark.parametrize("call,warned", [
    (lambda: tv.ttest(A, B), None),
    (lambda: tv.ttest(A + 1e6, B + 1e6), "the data have"),
    (lambda: tv.ttest(SHIFTED, SHIFTED[::-1]), "2 of 5 series"),
    (lambda: tv.tutest(SHIFTED, SHIFTED, axis=0), "2 of 5 series"),
    (lambda: tv.pearsn(SHIFTED.T, SHIFTED.T[:, ::-1], axis=1), "2 of 5 series"),
    (lambda: tv.fit(np.arange(40.0), SHIFTED), "2 of 5 series"),
    (lambda: tv.fit(np.arange(40.0), SHIFTED[:, 1]), None),
    (lambda: tv.avevar(A + 1e7), "the data have"),
    (lambda: tv.kstwo(A + 1e7, B + 1e7), "the data have"),
    (lambda: tv.kstwo(np.float32(A + 1e7), np.float32(B + 1e7)), None),  # ranks of floats are exact
])
def test_precision_warning_once_per_call_with_the_count(call, warned):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = call()
    ours = [w for w in caught if issubclass(w.category, tv.PrecisionWarning)]
    assert len(ours) == (warned is not None)
    if warned:
        assert warned in str(ours[0].message) and ours[0].filename == __file__
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        assert all(np.array_equal(bits(x), bits(y)) for x, y in zip(call(), result))


def test_precision_check_reads_whole_every_series_the_full_ratio_flags():
    from tessivane._precision import offset_ratio, ratios_beyond
    data = RNG.standard_normal((50, 400)) * 10.0 ** RNG.uniform(-3, 1, 400) + 10.0 ** RNG.uniform(0, 7, 400)
    data[30:, ::7] += 1e5  # spread arriving after the first values
    data[40, ::11] = np.nan
    data = data.astype(np.float32)
    for layout, axis in ((data, 0), (np.ascontiguousarray(data.T), 1)):
        for limit in (20.0, 600.0, 3e4):
            assert np.array_equal(ratios_beyond(layout, axis, limit) > limit, offset_ratio(layout, axis) > limit)
