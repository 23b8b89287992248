from typing import Any, Union

import numpy as np

_Real = Union[float, int, np.floating, np.integer]

def characterisitc_sintering_time(
    temperature_starter_for_numerical_issue: _Real,
    Catalsyt_element: str,
    dp: _Real,
    temp: _Real,
    R: _Real,
    a: Any,
    kb: Any,
) -> float:
    """Characteristic sintering time (s) of a particle of diameter dp (m) at temp (K) for
    Catalsyt_element "Ni", "Fe" or "COB"; any other key raises ValueError."""
