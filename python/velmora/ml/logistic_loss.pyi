"""Mean cross-entropy using the logistic function of the module-level name sigmoid1."""
from types import ModuleType
from typing import Any

np: ModuleType
sigmoid1: Any  # an object whose attribute sigmoid1 is the logistic function

def logistic_loss(X: Any, y: Any, w: Any, b: Any, *args: Any) -> float: ...
