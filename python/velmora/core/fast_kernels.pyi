"""Population-balance kernels: collision matrix, aggregation classes, derivatives."""
from typing import Tuple

import numpy as np
import numpy.typing as npt

FloatArray = npt.NDArray[np.float64]
IntArray = npt.NDArray[np.int64]

def calculate_beta_matrix_kernel(
    y_input: npt.ArrayLike,
    x_input: npt.ArrayLike,
    initial_v: npt.ArrayLike,
    x1_previous: npt.ArrayLike,
    xdp_updated: npt.ArrayLike,
    xdp_backup_input: npt.ArrayLike,
    isec: int,
    intnum: int,
    int2num: int,
    int3num: int,
    counter: int,
    temp: float,
    eta: float,
    xlm: float,
    rhop: float,
    vpi: float,
    rkb: float,
    collision_diameter_update: bool,
) -> Tuple[FloatArray, FloatArray, FloatArray, FloatArray, FloatArray, float,
           FloatArray, FloatArray, FloatArray, FloatArray]:
    """Returns (y_out, x_out, xdp_out, xdp_backup_out, xnpr_out, fractal_dimension,
    x1_out, xkn1_out, betafu_out, xdf_out)."""

def recalculate_aggregation_classes_kernel(
    x_input: npt.ArrayLike, isec: int, intnum: int
) -> Tuple[IntArray, IntArray]:
    """Returns (jmin_out, jmax_out), each of shape (intnum, intnum + 1)."""

def calculate_derivatives_kernel(
    y_input: npt.ArrayLike,
    x_input: npt.ArrayLike,
    xdp_input: npt.ArrayLike,
    xnpr_input: npt.ArrayLike,
    betafu_input: npt.ArrayLike,
    jmin_input: npt.NDArray[np.integer],
    jmax_input: npt.NDArray[np.integer],
    carbon_data_input: npt.ArrayLike,
    temp: float,
    vel: float,
    rhog: float,
    avog: float,
    v0: float,
    a0: float,
    vpi: float,
    xk: float,
    xks_area_rhog: float,
    total_area: float,
    isec: int,
    intnum: int,
    int2num: int,
    int3num: int,
    int4num: int,
    int5num: int,
    int6num: int,
    surface_kinetics_solver_activated: bool,
    counter: int,
) -> Tuple[FloatArray, FloatArray, float, float]:
    """Returns (yp, ts, xkg_local, xks_local)."""
