# Type stubs of the package tessivane (see each function's docstring).
from dataclasses import dataclass
from typing import Callable, NamedTuple, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

_ArrayLike = npt.ArrayLike
_F32 = npt.NDArray[np.float32]
_C64 = npt.NDArray[np.complex64]
_FloatOrArray = Union[float, _F32]

__version__: str

class NumericsError(RuntimeError): ...

# special functions and conversions: elementwise, NumPy broadcasting
def gammln(x: _ArrayLike, threads: Optional[int] = ...) -> Union[float, npt.NDArray[np.float64]]: ...
def gammq(a: _ArrayLike, x: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def betai(a: _ArrayLike, b: _ArrayLike, x: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def erfcc(x: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def probks(alam: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def t_to_p(t: _ArrayLike, df: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def t_to_p_real(t: _ArrayLike, df: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def r_to_p(r: _ArrayLike, n: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def F_to_p(F: _ArrayLike, df_1: _ArrayLike, df_2: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def p_to_t(p: _ArrayLike, df: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def p_to_r(p: _ArrayLike, n: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def p_to_F(p: _ArrayLike, df_1: _ArrayLike, df_2: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def p_to_z(p: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...
def kstwo_prob(d: _ArrayLike, n1: _ArrayLike, n2: _ArrayLike, threads: Optional[int] = ...) -> _FloatOrArray: ...

# two-sample tests and correlation
class TtestResult(NamedTuple):
    statistic: _FloatOrArray
    df: _FloatOrArray
    pvalue: _FloatOrArray

class KstwoResult(NamedTuple):
    statistic: _FloatOrArray
    pvalue: _FloatOrArray

class AvevarResult(NamedTuple):
    mean: float
    variance: float

class PearsnResult(NamedTuple):
    statistic: _FloatOrArray
    pvalue: _FloatOrArray

class SpearResult(NamedTuple):
    statistic: _FloatOrArray
    pvalue: _FloatOrArray
    d: _FloatOrArray
    zd: _FloatOrArray
    probrs: _FloatOrArray

class RunningSums(NamedTuple):
    n: float
    ax: float
    ay: float
    sxx: float
    syy: float
    sxy: float

class PearsnIncResult(NamedTuple):
    r: _F32
    state: RunningSums

class RegrIncResult(NamedTuple):
    a: _F32
    b: _F32
    ym: _F32
    state: RunningSums

def pearsn_inc(x: _ArrayLike, y: _ArrayLike, state: Optional[RunningSums] = ...) -> PearsnIncResult: ...
def regr_inc(x: _ArrayLike, y: _ArrayLike, state: Optional[RunningSums] = ...) -> RegrIncResult: ...
def ttest(a: _ArrayLike, b: _ArrayLike, axis: int = ..., threads: Optional[int] = ...) -> TtestResult: ...
def tutest(a: _ArrayLike, b: _ArrayLike, axis: int = ..., threads: Optional[int] = ...) -> TtestResult: ...
def kstwo(a: _ArrayLike, b: _ArrayLike, axis: int = ..., threads: Optional[int] = ...) -> KstwoResult: ...
def avevar(x: _ArrayLike) -> AvevarResult: ...
def pearsn(x: _ArrayLike, y: _ArrayLike, axis: int = ..., threads: Optional[int] = ...) -> PearsnResult: ...
def spear(x: _ArrayLike, y: _ArrayLike, axis: int = ..., threads: Optional[int] = ...) -> SpearResult: ...

# Fourier transforms (isign = +1: exponent +2*pi*i; no normalisation)
def four1(z: _ArrayLike, isign: int = ..., *, axis: int = ..., threads: Optional[int] = ...) -> _C64: ...
def realft(x: _ArrayLike, isign: int = ..., out: Optional[_F32] = ..., *, axis: int = ...,
           threads: Optional[int] = ...) -> _F32: ...
def realft_unpack(packed: _ArrayLike) -> _C64: ...
def fourn(z: _ArrayLike, isign: int = ...) -> _C64: ...
def rlft3(data: _ArrayLike, isign: int = ..., speq: Optional[_ArrayLike] = ...) -> Tuple[_F32, _F32]: ...

# sorting, ranking, selection
class CrankResult(NamedTuple):
    ranks: _F32
    s: float

def sort(x: _ArrayLike) -> _F32: ...
def hpsort(x: _ArrayLike) -> _F32: ...
def sort2(a: _ArrayLike, b: _ArrayLike) -> Tuple[_F32, _F32]: ...
def crank(w: _ArrayLike) -> CrankResult: ...
@overload
def select(x: npt.NDArray[np.uint16], k: int) -> int: ...  # type: ignore[misc]
@overload
def select(x: _ArrayLike, k: int) -> float: ...

# random deviates
_Size = Union[None, int, Tuple[int, ...]]

class Ran1:
    def __init__(self, seed: int = ...) -> None: ...
    @overload
    def uniform(self, size: None = ...) -> float: ...
    @overload
    def uniform(self, size: Union[int, Tuple[int, ...]]) -> _F32: ...
    @overload
    def gaussian(self, size: None = ...) -> float: ...
    @overload
    def gaussian(self, size: Union[int, Tuple[int, ...]]) -> _F32: ...
    def reseed(self, seed: int) -> None: ...
    @property
    def idum(self) -> int: ...

# linear algebra
class _SvdFields(NamedTuple):
    u: _F32
    w: _F32
    v: _F32

class SvdResult(_SvdFields):
    converged: bool

class GaussjResult(NamedTuple):
    inverse: _F32
    solutions: Optional[_F32]

class JacobiResult(NamedTuple):
    d: _F32
    v: _F32
    nrot: int

class EigsrtResult(NamedTuple):
    d: _F32
    v: _F32

def svdcmp(a: _ArrayLike) -> SvdResult: ...
def svbksb(u: _ArrayLike, w: _ArrayLike, v: _ArrayLike, b: _ArrayLike) -> _F32: ...
def svdvar(v: _ArrayLike, w: _ArrayLike) -> _F32: ...
def gaussj(a: _ArrayLike, b: Optional[_ArrayLike] = ...) -> GaussjResult: ...
def jacobi(a: _ArrayLike) -> JacobiResult: ...
def eigsrt(d: _ArrayLike, v: _ArrayLike) -> EigsrtResult: ...
def inverse(a: _ArrayLike) -> _F32: ...

# fits
class FitResult(NamedTuple):
    a: _FloatOrArray
    b: _FloatOrArray
    siga: _FloatOrArray
    sigb: _FloatOrArray
    chi2: _FloatOrArray
    q: _FloatOrArray

class SvdfitResult(NamedTuple):
    a: _F32
    u: _F32
    v: _F32
    w: _F32
    chisq: float

class LMOutcome(NamedTuple):
    stop: str
    iterations: int
    lambda_at_stop: float

_Basis = Callable[[float, int], _ArrayLike]
_Model = Callable[[float, _F32], Tuple[float, _ArrayLike]]

def fit(x: _ArrayLike, y: _ArrayLike, sig: Optional[_ArrayLike] = ..., axis: int = ...,
        threads: Optional[int] = ...) -> FitResult: ...
def fpoly(x: float, n: int) -> _F32: ...
def fleg(x: float, n: int) -> _F32: ...
def fgauss(x: float, a: _ArrayLike) -> Tuple[float, _F32]: ...
def svdfit(x: _ArrayLike, y: _ArrayLike, ma: int, sig: Optional[_ArrayLike] = ...,
           basis: _Basis = ...) -> SvdfitResult: ...

@dataclass
class LMStoppingRule:
    max_iterations: int = ...
    absolute_drop: float = ...
    relative_drop: float = ...
    quiet_steps: int = ...
    max_lambda: float = ...

class LMFit:
    outcome: Optional[LMOutcome]
    def __init__(self, x: _ArrayLike, y: _ArrayLike, a: _ArrayLike, sig: Optional[_ArrayLike] = ...,
                 ia: Optional[_ArrayLike] = ..., model: Union[str, _Model] = ...) -> None: ...
    def step(self) -> float: ...
    def finish(self) -> _F32: ...
    def run(self, rule: Optional[LMStoppingRule] = ...) -> LMOutcome: ...
    @property
    def params(self) -> _F32: ...
    @property
    def covariance(self) -> _F32: ...
    @property
    def alpha(self) -> _F32: ...
    @property
    def chisq(self) -> float: ...
    @property
    def lamda(self) -> float: ...
    @property
    def in_progress(self) -> bool: ...

# batches of Levenberg-Marquardt fits, one series per row
class LMManyResult(NamedTuple):
    params: _F32
    covariance: _F32
    chisq: _F32
    outcome: npt.NDArray[np.str_]
    iterations: npt.NDArray[np.int32]
    lambda_at_stop: _F32
    message: npt.NDArray[np.str_]

def lm_fit_many(x: _ArrayLike, y: _ArrayLike, a0: _ArrayLike, model: str = ...,
                sig: Optional[_ArrayLike] = ..., ia: Optional[_ArrayLike] = ...,
                rule: Optional[LMStoppingRule] = ..., threads: Optional[int] = ...,
                progress: bool = ...) -> LMManyResult: ...
