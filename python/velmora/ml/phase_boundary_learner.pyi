"""Two-input polynomial logistic classifier of a phase diagram."""
from types import ModuleType
from typing import Any, Callable

import numpy as np

np: ModuleType
pd: ModuleType
plt: ModuleType
math: ModuleType
_views: ModuleType

class _Main_ML_2D:
    method: Any
    lambda_: Any
    iterations: Any
    alpha: Any
    poly_degree: Any
    n_order: Any
    w: Any
    b: Any
    mean_vals: Any
    scale_vals: Any
    X_train: Any
    y_train: Any
    J_history: Any
    def __init__(self, **kwargs: Any) -> None: ...
    def sigmoid1(self, z: Any) -> Any: ...
    def scale_inputs(self, X: Any) -> tuple[Any, Any, Any]: ...
    def descale_inputs(self, X_normalized: Any, mean_vals: Any, scale_vals: Any) -> Any: ...
    def map_feature1(self, X2: Any, X1: Any) -> np.ndarray: ...
    def logistic_loss(self, X: Any, y: Any, w: Any, b: Any, *args: Any) -> float: ...
    def logistic_loss_reg(self, X: Any, y: Any, w: Any, b: Any, lambda_: Any = 1) -> float: ...
    def compute_gradient(self, X: Any, y: Any, w: Any, b: Any, lambda_: Any = 1) -> tuple[float, np.ndarray]: ...
    def fit_weights(
        self,
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
    def train(self, X_train_raw: Any, y_train: Any) -> tuple[np.ndarray, np.ndarray, np.ndarray]: ...
    def ml_phase_diagram_plot(
        self, X_train: Any, y_train: Any, w: Any, b: Any, mean_vals: Any, scale_vals: Any
    ) -> tuple[np.ndarray, np.ndarray, np.ndarray]: ...
