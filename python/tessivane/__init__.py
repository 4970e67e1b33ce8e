"""tessivane: libtessivane's single-precision numerics for NumPy.

Every function returns exactly the bits the C++ library computes, from the
same libtessivane.so.1.

Conventions
-----------
- Arrays in: any array-like, converted to C-contiguous float32 (complex64 for
  complex FFTs); float64 input is rounded to float, as the host hands the
  library floats. Inputs are never modified.
- Arrays out: new float32/complex64 arrays; scalars as Python floats holding
  the exact float32 value.
- Indices are 0-based (select's k, parameter and basis indices); the library's
  1-based arrays are mapped inside.
- FFT sign: isign = +1 is the exponent +2*pi*i, the opposite of numpy.fft's
  forward transform; no transform normalises.
- Errors: a fatal condition of the library raises NumericsError (a
  RuntimeError) with the library's message; the interpreter is never ended.
  Shape, size and type problems raise ValueError or TypeError first.
- Threads: the GIL is released while the library works; every stateful routine
  is bound in its thread-owned form (Ran1, LMFit).
"""

from . import _core
from ._core import NumericsError

# The version the extension was compiled against (one number, project(VERSION)
# in CMakeLists.txt); a library of another major version is refused.
__version__ = _core.__version__
if _core.library_version().split(".")[0] != str(_core.version_major):
    raise ImportError(f"tessivane {__version__} needs libtessivane {_core.version_major}.x, but the "
                      f"dynamic loader chose {_core.library_path()}, version "
                      f"{_core.library_version()}")
from ._fft import four1, fourn, realft, realft_unpack, rlft3
from ._fit import (FitResult, LMFit, LMOutcome, LMStoppingRule, SvdfitResult, fgauss, fit, fleg,
                   fpoly, gauss_start, svdfit)
from ._linalg import (EigsrtResult, GaussjResult, JacobiResult, SvdResult, eigsrt, gaussj, inverse,
                      jacobi, svbksb, svdcmp, svdvar)
from ._batch import LMManyResult, lm_fit_many
from ._random import Ran1
from ._sort import CrankResult, crank, hpsort, select, sort, sort2
from ._precision import PrecisionWarning
from ._special import (F_to_p, betai, erfcc, gammln, gammq, kstwo_prob, kstwo_prob_exact, p_to_F,
                       p_to_r, p_to_t, p_to_z, probks, r_to_p, t_to_p, t_to_p_real)
from ._stats import (AvevarResult, KstwoResult, PearsnIncResult, PearsnResult, RegrIncResult,
                     RunningSums, SpearResult, TtestResult, avevar, kstwo, pearsn, pearsn_inc, regr_inc,
                     spear, ttest, tutest, welch_df)

NumericsError.__doc__ = "A fatal condition of the library; the message is the library's text."
NumericsError.__module__ = "tessivane"

# help() and reprs name the package, not the private module a name lives in.
for _name in list(globals()):
    _obj = globals()[_name]
    if not _name.startswith("_") and getattr(_obj, "__module__", "").startswith("tessivane._"):
        _obj.__module__ = "tessivane"
del _name, _obj
