from typing import Any

import numpy as np

def chemical_kinetics(
    gas: Any,
    dominant_species: str = "C2H2",
    flow_velocity: float = 0.14,
    chk_temp: float = 1000,
    reactor_pressure: float = 1,
    inlet_composition: dict[str, float] = ...,
    reactor_data: dict[str, Any] = ...,
) -> tuple[dict[str, Any], dict[str, float], dict[str, float], dict[str, int]]: ...
def count_carbon_atoms(formula: str) -> int: ...
