"""Runs the pytest suite for CTest; exit status 77 (skipped) with a note when
NumPy or pytest is missing."""
import sys

try:
    import numpy  # noqa: F401
    import pytest
except ImportError as missing:
    print(f"python tests skipped: {missing.name} is missing "
          "(install python3-numpy python3-pytest)")
    sys.exit(77)

sys.exit(pytest.main(sys.argv[1:]))
