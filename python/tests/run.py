"""Runs the pytest suite for CTest; exit status 77 (skipped) with a note when
NumPy or pytest is missing."""
import sys


def main():
    try:
        import numpy  # noqa: F401
        import pytest
    except ImportError as missing:
        print(f"python tests skipped: {missing.name} is missing "
              "(install python3-numpy python3-pytest)")
        return 77
    return pytest.main(sys.argv[1:])


# Worker processes that a test starts by spawning (dask.distributed) import
# this module again, as __mp_main__: only the process run as a script runs
# the suite.
if __name__ == "__main__":
    sys.exit(main())
