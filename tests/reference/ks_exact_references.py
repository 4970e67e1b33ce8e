#!/usr/bin/python3
"""Writes tests/reference/ks_exact_table.h, the reference values of kstwo_prob_exact().

Run from the repository root:  /usr/bin/python3 tests/reference/ks_exact_references.py
For each sample-size pair and location shift, draws two normal samples (fixed seed, no ties) and
takes SciPy's exact two-sided two-sample Kolmogorov-Smirnov test of them
(scipy.stats.ks_2samp(method='exact')): its statistic D and its p-value P(D' >= D). Repeated
rows and p-values below the smallest normal float are left out.
"""
import warnings

import numpy as np
import scipy
import scipy.stats

SIZES = [(3, 4), (5, 5), (6, 11), (10, 10), (8, 20), (25, 30), (50, 50), (40, 90), (1, 30),
         (100, 120), (200, 150)]
SHIFTS = [0.0, 0.7, 1.5, 2.2]
# Below the smallest normal float the float result loses relative precision: not tabulated.
SMALLEST_P = 2.0 ** -126


def main():
    warnings.simplefilter('error')  # a fallback to the asymptotic method must not pass unseen
    rng = np.random.default_rng(20261209)
    rows = []
    for n1, n2 in SIZES:
        for shift in SHIFTS:
            x = rng.normal(0.0, 1.0, n1)
            y = rng.normal(shift, 1.0, n2)
            res = scipy.stats.ks_2samp(x, y, alternative='two-sided', method='exact')
            row = (n1, n2, float(res.statistic), float(res.pvalue))
            if row[3] >= SMALLEST_P and row not in rows:
                rows.append(row)
    with open('tests/reference/ks_exact_table.h', 'w') as out:
        out.write('// Written by tests/reference/ks_exact_references.py (SciPy %s):\n'
                  '//     /usr/bin/python3 tests/reference/ks_exact_references.py\n'
                  '// {n1, n2, D, exact two-sided P(D\' >= D)} from scipy.stats.ks_2samp(method=\'exact\').\n'
                  % scipy.__version__)
        out.write('#ifndef TV_TESTS_KS_EXACT_TABLE_H\n#define TV_TESTS_KS_EXACT_TABLE_H\n\n')
        out.write('struct KsExactCase {\n    unsigned long n1, n2;\n    double d, p;\n};\n\n')
        out.write('const KsExactCase kKsExact[] = {\n')
        for n1, n2, d, p in rows:
            out.write('    {%d, %d, %.17g, %.17g},\n' % (n1, n2, d, p))
        out.write('};\n\n#endif\n')


if __name__ == '__main__':
    main()
