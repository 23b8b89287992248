"""Parametric study of the reactor model over a grid of two operating parameters, its results file,
the wall-number classification and the contour map."""
from types import ModuleType
from typing import Any, Optional

import numpy as np
import pandas

np: ModuleType
pd: ModuleType
plt: ModuleType
copy: ModuleType
os: ModuleType
phase_boundary_learner: ModuleType
_sweep_io: ModuleType
griddata: Any
MovingSectionalModel: Any

def main(output_dir: Optional[str] = None) -> "Mapping_Wrapper":
    """Runs the fixed P&T study (2 x 2 grid) in output_dir: CSV, then the contour map saved beside it as PNG."""
    ...

def _run_study_point(point: dict[str, Any], Velmora_kwargs: dict[str, Any]) -> tuple[dict[str, Any], str]:
    """Worker task of parallel studies: (record, printed text) of one grid point."""
    ...

def run_simulation(Velmora_kwargs: dict[str, Any], output_dir: str = ".", name: str = "simulation", *,
                   temperature: Optional[float] = None) -> dict[str, Any]:
    """One run: writes <name>_histories.npz, <name>_histories.csv and <name>_summary.json; returns the summary."""
    ...

class Mapping_Wrapper:
    """Unified wrapper for parametric study and visualization"""

    map_requested: Any
    total_data_points: Any
    pressure_range_min: Any
    pressure_range_max: Any
    pressure_constant: Any
    temperature_range_min: Any
    temperature_range_max: Any
    temperature_constant: Any
    dp_initial_premade_range_min: Any
    dp_initial_premade_range_max: Any
    dp_initial_premade_constant: Any
    reactor_length_range_min: Any
    reactor_length_range_max: Any
    reactor_length_range_constant: Any
    Velmora_kwargs: dict
    last_generated_filename: Optional[str]
    results: Optional[list[dict]]
    # set by run_parametric_study: whether its results file was written
    results_saved: bool

    def __init__(
        self,
        map_requested: str = "P&T",
        total_data_points: int = 100,
        pressure_range_min: float = 0.001,
        pressure_range_max: float = 0.01,
        pressure_constant: float = 0.0045,
        temperature_range_min: float = 800,
        temperature_range_max: float = 1200,
        temperature_constant: float = 873,
        dp_initial_premade_range_min: float = 1e-8,
        dp_initial_premade_range_max: float = 4e-8,
        dp_initial_premade_constant: float = 1.5e-8,
        reactor_length_range_min: float = 0.3,
        reactor_length_range_max: float = 0.9,
        reactor_length_range_constant: float = 0.6,
        **Velmora_kwargs: Any,
    ) -> None: ...

    class ParametricStudyConfig:
        wrapper_instance: "Mapping_Wrapper"
        map_requested: str
        total_data_points: Any
        grid_size: int
        parameter_definitions: dict[str, dict[str, Any]]
        Y_parameter: str
        X_parameter: str
        constant_parameters: list[str]
        Y_parameter_range: np.ndarray
        X_parameter_range: np.ndarray
        constant_values: dict[str, Any]
        def __init__(self, wrapper_instance: "Mapping_Wrapper") -> None: ...
        def parse_mapping(self) -> None: ...
        def apply_parameter(self, model: Any, param_key: str, value: Any) -> None: ...
        def _apply_c2h2_concentration(self, model: Any, value: Any) -> None: ...
        def _apply_temperature(self, model: Any, value: Any) -> None: ...
        def _apply_diameter(self, model: Any, value: Any) -> None: ...
        def _apply_reactor_length(self, model: Any, value: Any) -> None: ...

    def create_model_with_parameters(self, config: "Mapping_Wrapper.ParametricStudyConfig", y_value: Any, x_value: Any) -> Any: ...
    def save_results(self, results: list[dict], filename: str) -> bool: ...
    def run_parametric_study(
        self,
        *,
        max_workers: Optional[int] = None,
        executor: Any = None,
        resume: Optional[str] = None,
        progress: bool = False,
        run_timeout: Optional[float] = None,
    ) -> list[dict]:
        """Runs every grid point (in worker processes with max_workers, on any concurrent.futures-compatible
        executor with executor), appends each record to parametric_study_<map>.checkpoint.jsonl, skips the
        points recorded in resume (a checkpoint or results CSV of the same settings), writes the CSV with its
        settings file (<results>.json) and returns the records. run_timeout (s) stops a run past that time and
        records it as failed."""
        ...

    class DataLoader:
        """Handles data loading and initial processing"""
        df: Optional[pandas.DataFrame]
        def __init__(self) -> None: ...
        def load_data(self, filename: str) -> pandas.DataFrame: ...
        def get_data_ranges(self) -> tuple[Any, Any, Any]: ...

    class DataProcessor:
        """Handles data filtering and preprocessing"""
        df: pandas.DataFrame
        filtered_df: Optional[pandas.DataFrame]
        wall_filter: Optional[pandas.Series]
        def __init__(self, dataframe: pandas.DataFrame) -> None: ...
        def filter_data(self, wall_threshold: float = 2) -> tuple[pandas.DataFrame, pandas.Series]: ...
        def prepare_ml_data(self) -> tuple[pandas.Series, pandas.Series, np.ndarray, np.ndarray]: ...

    class MLClassifier:
        """Handles machine learning classification"""
        ml_kwargs: dict
        ml_classifier: Any
        X1_orig: Optional[np.ndarray]
        X2_orig: Optional[np.ndarray]
        P: Optional[np.ndarray]
        def __init__(self, **ml_kwargs: Any) -> None: ...
        def train_classifier(self, X_train_raw: Any, y_train: Any) -> tuple[np.ndarray, np.ndarray, np.ndarray]: ...
        def extend_prediction(self, Xi: Any, Yi: Any) -> Optional[np.ndarray]: ...

    class ContourPlotter:
        """Handles contour plotting and visualization"""
        def create_interpolation_grid(self, x: Any, y: Any, z: Any) -> tuple[np.ndarray, np.ndarray, np.ndarray]: ...
        def create_contour_plot(self, Xi: Any, Yi: Any, Zi: Any, P_extended: Any = None, vmax: float = 1e-5) -> ModuleType: ...
        def customize_plot(self) -> None: ...

    class InternalParametricStudyVisualizer:
        """Main class that orchestrates the entire visualization process"""
        vmax: float
        data_loader: "Mapping_Wrapper.DataLoader"
        data_processor: Optional["Mapping_Wrapper.DataProcessor"]
        ml_classifier: "Mapping_Wrapper.MLClassifier"
        plotter: "Mapping_Wrapper.ContourPlotter"
        def __init__(self, **ml_kwargs: Any) -> None: ...
        def run_analysis(self, filename: str, save_path: Optional[str] = None) -> None: ...
        def display_results(self, df: Any, x: Any, y: Any, z: Any, x_filtered: Any) -> None: ...

    def parametricstudyvisualizer(self, filename: Optional[str] = None, save_path: Optional[str] = None) -> None: ...
