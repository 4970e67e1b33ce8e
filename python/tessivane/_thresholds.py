"""Written by scripts/accuracy_table.py (make accuracy); do not edit by hand.

log10 of the offset / spread ratio |max + min| / (2 (max - min)) of a sample
at which the 90th percentile error of each routine's statistic passes 1e-3,
at n = 10, 100, 1000, 10000 (docs/accuracy.md, "Offset against spread")."""

THRESHOLDS = {
    "ttest": (3.19, 2.39, 1.86, 1.31),
    "tutest": (3.32, 2.37, 1.86, 1.31),
    "avevar": (4.16, 4.38, 4.72, 4.71),
    "pearsn": (4.36, 4.43, 4.19, 3.25),
    "spear": (4.42, 3.96, 4.97, 5.33),
    "fit": (3.46, 2.79, 2.31, 1.59),
    "kstwo": (5.87, 4.22, 3.70, 4.33),
}
