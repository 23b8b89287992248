"""Batch gradient descent with arbitrary cost and gradient callables."""
from typing import Any, Callable

def fit_weights(
    X: Any,
    y: Any,
    w_in: Any,
    b_in: Any,
    cost_function: Callable[..., Any],
    gradient_function: Callable[..., Any],
    alpha: Any,
    num_iters: int,
    lambda_: Any,
) -> tuple[Any, Any, list, list]: ...
