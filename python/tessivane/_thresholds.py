"""Written by scripts/accuracy_table.py (make accuracy); do not edit by hand."""

THRESHOLDS = {
    "ttest": (3.0, 2.5, 2.0, 1.5),
    "tutest": (3.0, 2.5, 2.0, 1.5),
    "avevar": (4.0, 4.0, 4.0, 4.0),
    "pearsn": (4.0, 4.0, 4.0, 4.0),
    "spear": (4.0, 4.0, 4.0, 4.0),
    "fit": (3.0, 2.5, 2.0, 1.5),
    "kstwo": (5.0, 4.0, 3.0, 2.5),
}
