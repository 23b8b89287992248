"""Internal numerics of velmora: LSODA integrator, adaptive quadrature, quantiles."""
from typing import Callable, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt
from scipy.optimize import OptimizeResult

ArrayLike = npt.ArrayLike

# Results are scipy's OptimizeResult, as scipy's solve_ivp gives them: t, y (n rows
# and len(t) columns), success, status, message, nfev, njev, nlu.

def solve_ivp(
    fun: Callable[[float, np.ndarray], ArrayLike],
    t_span: Sequence[float],
    y0: ArrayLike,
    rtol: float = 1e-3,
    atol: Union[float, ArrayLike] = 1e-6,
    jac: Optional[Callable[[float, np.ndarray], ArrayLike]] = None,
    *,
    first_step: Optional[float] = None,
    max_step: float = ...,
    min_step: float = 0.0,
    error_norm: str = "max",
) -> OptimizeResult: ...

def quad(
    func: Callable[[float], float],
    a: float,
    b: float,
    epsabs: float = 1.49e-8,
    epsrel: float = 1.49e-8,
    limit: int = 50,
) -> Tuple[float, float]: ...

@overload
def norm_ppf(q: float, loc: float = 0.0, scale: float = 1.0) -> float: ...
@overload
def norm_ppf(q: ArrayLike, loc: ArrayLike = 0.0, scale: ArrayLike = 1.0) -> np.ndarray: ...
@overload
def lognorm_ppf(q: float, s: float, scale: float = 1.0) -> float: ...
@overload
def lognorm_ppf(q: ArrayLike, s: ArrayLike, scale: ArrayLike = 1.0) -> np.ndarray: ...

def benchmark_problem(
    name: str, rtol: float = 1e-6, atol: float = 1e-10, t_end: Optional[float] = None
) -> OptimizeResult:
    """Benchmark problems with C++ right-hand sides: 'robertson' or 'stiff141'."""
