from typing import Any, Sequence, Union

import numpy as np
import numpy.typing as npt

_Real = Union[float, int, np.floating, np.integer]
_Vector = Union[npt.NDArray[np.floating], Sequence[float]]

def particle_temp(
    spec_heat_NP: _Real,
    spec_heat_gas: _Real,
    surf_tension_NP: _Real,
    emissivity_NP: _Real,
    temp_NP_previous: _Vector,
    temp_gas_previous: _Real,
    taus_current: _Vector,
    particle_info_previous: _Vector,
    area_NP_sph: _Vector,
    xmwp_NP: Any,
    xmwp_gas: _Real,
    avog: Any,
    n_p: _Vector,
    reactor_pressure: _Real,
    intnum_val: int,
    isec_val: int,
    flow_velocity: _Real,
    interval_x: _Vector,
    numerical_approach: Any,
) -> npt.NDArray[np.float64]:
    """Section temperatures (K) after one axial step; "Explicit" selects one Euler step,
    anything else LSODA (rtol 1e-9, atol 1e-25) with a fallback to the previous values."""
