"""Per-column input scaling and its inverse."""
from types import ModuleType
from typing import Any

np: ModuleType

def scale_inputs(X: Any, method: str = "zscore") -> tuple[Any, Any, Any]: ...
def descale_inputs(X_normalized: Any, mean_vals: Any, scale_vals: Any, method: str = "zscore") -> Any: ...
