from typing import Any, Tuple, Union

import numpy as np

_Real = Union[float, int, np.floating, np.integer]

def carbon_sat(
    section_metal_number: _Real,
    section_carbon_number: Any,
    temp: _Real,
    dp: _Real,
    flag_id_mat: _Real,
    Kb: _Real,
) -> Tuple[int, Any]:
    """(cnt_cnd, carbon_inside): cnt_cnd is 1 when the carbon per metal atom exceeds the
    size-dependent solubility limit (flag_id_mat 1 nickel, 2 iron). Unsaturated sections
    return section_carbon_number itself as carbon_inside."""
