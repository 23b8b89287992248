"""Parametric study: configuration, runner and results file, loading and labelling,
classifier re-sampling, contour map, and one real study end to end."""
import math
import re
import types
import warnings

import numpy as np
import pandas as pd
import pytest
from scipy.interpolate import griddata

import velmora.core.parameter_sweep as ps
from velmora.core.growth_simulator import MovingSectionalModel
from velmora.core.parameter_sweep import Mapping_Wrapper

CONFIG = Mapping_Wrapper.ParametricStudyConfig
HEADER = ("simulation_id,map_type,P_parameter,T_parameter,status,error_message,N_total,dm_avg,"
          "L_cnt_avg,wall_number_avg,D_parameter_constant,L_parameter_constant")


@pytest.fixture(autouse=True)
def close_figures():
    yield
    import matplotlib.pyplot as plt

    plt.close("all")


# --- configuration -------------------------------------------------------------

@pytest.mark.parametrize("total, n", [(100, 10), (10, 3), (4, 2), (3, 1), (1, 1), (0, 0)])
def test_grid_size_and_ranges(total, n, capsys):
    config = CONFIG(Mapping_Wrapper(total_data_points=total))
    assert config.grid_size == n and type(config.grid_size) is int
    defs = config.parameter_definitions
    assert list(defs) == ["P", "T", "D", "L"]
    for key, lo, hi in [("P", 0.001, 0.01), ("T", 800, 1200), ("D", 1e-8, 4e-8), ("L", 0.3, 0.9)]:
        np.testing.assert_array_equal(defs[key]["range"], np.linspace(lo, hi, n))
    if n == 1:
        assert config.Y_parameter_range.tolist() == [0.001]  # one value, at the lower limit
    out = capsys.readouterr().out
    # the requested total is printed even when the grid holds fewer runs
    assert out.endswith(f"  Grid size: {n} x {n} = {total} simulations\n")


def test_configuration_attributes_and_printed_lines(capsys):
    wrapper = Mapping_Wrapper(map_requested="p&t")
    config = CONFIG(wrapper)
    assert config.wrapper_instance is wrapper
    assert (config.Y_parameter, config.X_parameter) == ("P", "T")
    assert config.constant_parameters == ["D", "L"]  # order of definition, every time
    assert config.constant_values == {"D": 1.5e-8, "L": 0.6}
    entry = config.parameter_definitions["T"]
    assert list(entry) == ["name", "range", "unit", "constant_value", "apply_method"]
    assert (entry["name"], entry["unit"], entry["constant_value"]) == ("temperature", "K", 873)
    assert type(entry["constant_value"]) is int
    assert entry["apply_method"] == config._apply_temperature
    assert capsys.readouterr().out == (
        "Parametric Study Configuration:\n"
        "  Varying parameters: P & T\n"
        "  Constant parameters: ['D', 'L']\n"
        "  Grid size: 10 x 10 = 100 simulations\n")

    config = CONFIG(Mapping_Wrapper(map_requested="T&P", total_data_points=9))
    assert (config.Y_parameter, config.X_parameter) == ("T", "P")
    np.testing.assert_array_equal(config.Y_parameter_range, [800.0, 1000.0, 1200.0])
    config = CONFIG(Mapping_Wrapper(map_requested="L&D"))
    assert config.constant_parameters == ["P", "T"]
    assert config.constant_values == {"P": 0.0045, "T": 873}


@pytest.mark.parametrize("request_, message", [
    ("P&T&D", "Invalid map_requested format: P&T&D. Expected format: 'X&Y'"),
    ("P", "Invalid map_requested format: P. Expected format: 'X&Y'"),
    ("Q&T", "Unknown parameter 'Q'. Available: ['P', 'T', 'D', 'L']"),
    ("P&x", "Unknown parameter 'X'. Available: ['P', 'T', 'D', 'L']"),
    ("P& T", "Unknown parameter ' T'. Available: ['P', 'T', 'D', 'L']"),
    ("P&P", "Cannot vary the same parameter twice: P"),
])
def test_bad_map_requests_fail_at_construction(request_, message, capsys):
    with pytest.raises(ValueError, match="^" + re.escape(message) + "$"):
        CONFIG(Mapping_Wrapper(map_requested=request_))
    assert capsys.readouterr().out == ""
    # nothing is run and no file is written
    wrapper = Mapping_Wrapper(map_requested=request_)
    with pytest.raises(ValueError):
        wrapper.run_parametric_study()
    assert wrapper.last_generated_filename is None


def test_a_map_request_that_is_not_text_is_a_type_error(capsys):
    with pytest.raises(TypeError, match="^map_requested must be a text such as 'P&T', got int$"):
        CONFIG(Mapping_Wrapper(map_requested=12))
    assert capsys.readouterr().out == ""


@pytest.mark.parametrize("total, error", [(-4, ValueError), (float("nan"), ValueError), ("100", TypeError)])
def test_unusable_totals(total, error):
    with pytest.raises(error):
        CONFIG(Mapping_Wrapper(total_data_points=total))


def test_wrapper_stores_settings_unconverted():
    wrapper = Mapping_Wrapper(temperature_range_min=750, intnum=8, lambda_=0.01)
    assert wrapper.temperature_range_min == 750 and type(wrapper.temperature_range_max) is int
    assert wrapper.Velmora_kwargs == {"intnum": 8, "lambda_": 0.01}
    assert wrapper.results is None and wrapper.last_generated_filename is None
    assert Mapping_Wrapper().Velmora_kwargs == {}
    assert Mapping_Wrapper.__bases__ == (object,)
    assert Mapping_Wrapper.__doc__ == "Unified wrapper for parametric study and visualization"
    with pytest.raises(TypeError):
        Mapping_Wrapper("P&T", 4, 0.001, 0.01, 0.0045, 800, 1200, 873, 1e-8, 4e-8, 1.5e-8, 0.3, 0.9, 0.6, "extra")


# --- apply methods -------------------------------------------------------------

def test_apply_methods_on_a_plain_object():
    config = CONFIG(Mapping_Wrapper())
    model = types.SimpleNamespace(gas_initial_composition={"C2H2": 0.1, "AR": 0.2, "H2": 0.01, "N2": 1.0})
    assert config.apply_parameter(model, "P", 0.01) is None
    composition = model.gas_initial_composition
    assert list(composition) == ["C2H2", "C2H4", "H2", "N2"]  # argon dropped
    assert composition["C2H2"] == 0.01 and composition["C2H4"] == 1e-15
    assert composition["H2"] == pytest.approx(0.99 / 101, rel=1e-14)
    assert composition["N2"] == pytest.approx(99 / 101, rel=1e-14)
    assert model.wrapper_mapping_phi == 0.01

    config.apply_parameter(model, "T", 950.0)
    config.apply_parameter(model, "D", 2e-8)
    config.apply_parameter(model, "L", 0.45)
    assert (model.wrapper_mapping_temp, model.temp) == (950.0, 950.0)
    assert (model.wrapper_mapping_dp, model.dp_initial_premade) == (2e-8, 2e-8)
    assert (model.wrapper_mapping_l_reactor, model.reactor_length) == (0.45, 0.45)

    with pytest.raises(KeyError):
        config.apply_parameter(model, "Q", 1.0)
    with pytest.raises(KeyError, match="N2"):
        config._apply_c2h2_concentration(types.SimpleNamespace(gas_initial_composition={"H2": 1.0}), 0.01)
    with pytest.raises(ZeroDivisionError):
        config._apply_c2h2_concentration(types.SimpleNamespace(gas_initial_composition={"H2": 0.0, "N2": 0.0}), 0.01)


def test_apply_methods_on_the_reactor_model():
    wrapper = Mapping_Wrapper(map_requested="T&D", intnum=6)
    config = CONFIG(wrapper)
    model = wrapper.create_model_with_parameters(config, 950.0, 2e-8)
    assert (model.temp, model.wrapper_mapping_temp) == (950.0, 950.0)
    assert (model.dp_initial_premade, model.wrapper_mapping_dp) == (2e-8, 2e-8)
    assert model.wrapper_mapping_phi == 0.0045 and model.reactor_length == 0.6  # the constants
    assert model.gas_initial_composition["C2H2"] == 0.0045
    assert model.intnum == 6
    # A value that is no number is refused by the model's attribute as a TypeError.
    with pytest.raises(TypeError, match="must be a real number, not 'str'"):
        wrapper.create_model_with_parameters(config, "950", 2e-8)
    with pytest.raises(TypeError, match="must be a real number"):
        config.apply_parameter(model, "D", "2e-8")


# --- runner with a scripted model ----------------------------------------------

class ScriptedModel:
    """Stands in for the reactor model: keeps its keywords and attributes, and
    solves by the next outcome of the class's script."""

    script = []
    built = []

    def __init__(self, **kwargs):
        self.kwargs = kwargs
        self.gas_initial_composition = {"C2H2": 0.0045, "C2H4": 1e-15, "H2": 0.009, "N2": 0.9}
        self.intnum = 4
        self.isec = 3
        ScriptedModel.built.append(self)

    def solve(self):
        outcome = ScriptedModel.script.pop(0)
        if isinstance(outcome, BaseException):
            raise outcome
        for name, value in outcome.items():
            setattr(self, name, value)
        return np.zeros(3), np.zeros((3, 17))


def solved(final_y, walls, xdm=None, carbon=None, steps=2):
    state = {"y_saved": [np.zeros(17)] * (steps - 1) + [np.asarray(final_y, float)],
             "wall_number_section_saved": [np.asarray(walls, float)]}
    if xdm is not None:
        state["xdm_saved"] = [np.asarray(xdm, float)]
    if carbon is not None:
        state["carbon_data_saved"] = [np.asarray(carbon, float)]
    return state


@pytest.fixture
def scripted(monkeypatch, tmp_path):
    monkeypatch.setattr(ps, "MovingSectionalModel", ScriptedModel)
    monkeypatch.chdir(tmp_path)
    ScriptedModel.built = []
    return ScriptedModel


def test_run_records_failures_and_summaries(scripted, capsys):
    y = [2.0, 3.0, 5.0, 7.0] + [0.0] * 13
    walls = [1.0, 4.0, 2.5, 9.0]  # section 0 (exactly 1) is excluded; section 3 is past isec
    xdm = [1e-8, 2e-8, 3e-8, 4e-8]
    carbon = list(range(24))  # CNT lengths of the sections start at intnum = 4
    scripted.script = [
        RuntimeError("solver diverged"),
        solved(y, [1.0, 0.5, 1.0, 9.0]),  # nothing above 1 within isec
        solved(y, walls, steps=1),  # only the initial state
        solved(y, walls, xdm, carbon),
    ]
    wrapper = Mapping_Wrapper(total_data_points=4, intnum=4, lambda_=0.5)
    results = wrapper.run_parametric_study()
    assert results is wrapper.results and len(results) == 4

    assert list(results[0]) == ["simulation_id", "map_type", "P_parameter", "T_parameter", "status",
                                "error_message", "N_total", "dm_avg", "L_cnt_avg", "wall_number_avg",
                                "D_parameter_constant", "L_parameter_constant"]
    assert [r["simulation_id"] for r in results] == [1, 2, 3, 4]
    assert [(r["P_parameter"], r["T_parameter"]) for r in results] == [
        (0.001, 800.0), (0.001, 1200.0), (0.01, 800.0), (0.01, 1200.0)]  # Y outer, X inner
    assert [r["status"] for r in results] == [0, 0, 0, 1]
    assert [r["error_message"] for r in results] == [
        "solver diverged", "No valid sections found", "Required data arrays not available", ""]
    for r in results[:3]:
        assert r["N_total"] is r["dm_avg"] is r["L_cnt_avg"] is r["wall_number_avg"] is None

    ok = results[3]
    valid = [1, 2]
    n = sum(y[i] for i in valid)
    assert ok["N_total"] == n
    assert ok["dm_avg"] == pytest.approx(sum(xdm[i] * y[i] for i in valid) / n, rel=1e-15)
    assert ok["L_cnt_avg"] == pytest.approx(sum(carbon[4 + i] * y[i] for i in valid) / n, rel=1e-15)
    assert ok["wall_number_avg"] == pytest.approx(sum(walls[i] * y[i] for i in valid) / n, rel=1e-15)
    assert (ok["D_parameter_constant"], ok["L_parameter_constant"]) == (1.5e-8, 0.6)

    # every model got its own copy of the keywords and the point's values
    assert all(m.kwargs == {"intnum": 4, "lambda_": 0.5} for m in scripted.built)
    assert scripted.built[0].kwargs is not wrapper.Velmora_kwargs
    last = scripted.built[3]
    assert (last.temp, last.wrapper_mapping_phi, last.dp_initial_premade, last.reactor_length) == (
        1200.0, 0.01, 1.5e-8, 0.6)

    out = capsys.readouterr().out
    assert "Simulation 1/4: P=0.001molar fraction, T=800K\n    Failed: solver diverged\n" in out
    assert out.startswith("Starting Automated Parametric Study...\n" + "=" * 60 + "\n")
    assert out.endswith(f"\nParametric Study Complete!\n  Total simulations: 4\n  Successful: 1\n"
                        f"  Failed: 3\n  Results saved to: {wrapper.last_generated_filename}\n")
    assert wrapper.results_saved is True

    name = wrapper.last_generated_filename
    assert re.fullmatch(r"parametric_study_P&T_\d{8}_\d{6}\.csv", name)
    lines = open(name).read().splitlines()
    assert lines[0] == HEADER
    assert lines[1] == "1,P&T,0.001,800.0,0,solver diverged,,,,,1.5e-08,0.6"
    assert lines[2].startswith("2,P&T,0.001,1200.0,0,No valid sections found,,,,,")


def test_index_past_the_arrays_is_a_failed_run(scripted, capsys):
    scripted.script = [solved([1.0, 1.0], [3.0, 3.0])] * 1  # isec 3 > 2 entries
    results = Mapping_Wrapper(total_data_points=1).run_parametric_study()
    assert results[0]["status"] == 0
    assert results[0]["error_message"] == "index 2 is out of bounds for axis 0 with size 2"


def test_integration_failures_are_noted_beside_the_summaries(scripted, capsys):
    good = solved([2.0, 3.0, 5.0] + [0.0] * 14, [4.0, 2.5, 9.0, 1.0])
    failures = [(5, 0.0125, "step size underflow"), (9, 0.02, "too much work")]
    scripted.script = [dict(good, integration_failures=failures), dict(good, integration_failures=[]),
                       dict(solved([1.0] * 17, [1.0] * 4), integration_failures=failures[1:]), good]
    records = Mapping_Wrapper(total_data_points=4).run_parametric_study()
    # the run keeps its status and values; its message says where the integrator gave up
    assert records[0]["status"] == 1 and records[0]["wall_number_avg"] == records[3]["wall_number_avg"]
    assert records[0]["error_message"] == ("integration failed on 2 steps (first at step 5, z = 0.0125 m: "
                                           "step size underflow)")
    assert records[1]["error_message"] == "" and records[3]["error_message"] == ""  # none, or no such attribute
    assert records[2]["status"] == 0 and records[2]["error_message"] == (
        "No valid sections found; integration failed on 1 step (first at step 9, z = 0.02 m: too much work)")


def test_interrupt_ends_the_study(scripted):
    scripted.script = [KeyboardInterrupt()]
    wrapper = Mapping_Wrapper(total_data_points=4)
    with pytest.raises(KeyboardInterrupt):
        wrapper.run_parametric_study()
    assert wrapper.results is None and len(scripted.built) == 1


def test_unwritable_directory_reports_and_returns(scripted, tmp_path, monkeypatch, capsys):
    gone = tmp_path / "gone"
    gone.mkdir()
    monkeypatch.chdir(gone)
    gone.rmdir()  # the working directory no longer exists: nothing can be written there
    scripted.script = [RuntimeError("x")]
    wrapper = Mapping_Wrapper(total_data_points=1)
    results = wrapper.run_parametric_study()
    out = capsys.readouterr().out
    assert re.search(r"^Error saving results: .+$", out, re.M)
    assert len(results) == 1 and wrapper.last_generated_filename.startswith("parametric_study_P&T_")
    # the closing report never claims a file it did not write
    assert "Results saved to" not in out and wrapper.results_saved is False
    assert out.rstrip("\n").endswith("  Results NOT saved (the file could not be written): "
                                      + wrapper.last_generated_filename)

    assert wrapper.save_results(results, str(tmp_path / "missing" / "x.csv")) is False
    assert wrapper.save_results(results, str(tmp_path / "ok.csv")) is True
    assert open(tmp_path / "ok.csv").readline().startswith("simulation_id,map_type,P_parameter")


# --- loading, labelling, classification ----------------------------------------

FOUR_RUNS = (HEADER + "\n"
             "1,P&T,0.001,800.0,1,,1e11,1.5e-08,2e-07,1.5,1.5e-08,0.6\n"
             "2,P&T,0.001,1200.0,1,,1e11,1.5e-08,4e-07,2.0,1.5e-08,0.6\n"
             "3,P&T,0.01,800.0,1,,1e11,1.5e-08,6e-07,1.25,1.5e-08,0.6\n"
             "4,P&T,0.01,1200.0,0,No valid sections found,,,,,1.5e-08,0.6\n")


@pytest.fixture
def four_runs(tmp_path):
    path = tmp_path / "four.csv"
    path.write_text(FOUR_RUNS)
    return str(path)


def test_loader_and_processor_labels(four_runs, capsys):
    loader = Mapping_Wrapper.DataLoader()
    assert loader.df is None and loader.get_data_ranges() == (None, None, None)
    assert capsys.readouterr().out == ""
    df = loader.load_data(four_runs)
    out = capsys.readouterr().out
    assert out.startswith(f"Loading data from: {four_runs}\nData loaded successfully!\nFirst few rows:\n")
    assert "\n\nData shape: (4, 12)\nColumns: ['simulation_id', 'map_type', " in out
    assert "\n\nMissing values:\n" in out

    x, y, z = loader.get_data_ranges()
    assert capsys.readouterr().out == ("\nData ranges:\nP_parameter: 0.001 to 0.01\nT_parameter: 800.0 to 1200.0\n"
                                       "L_cnt_avg: 2e-07 to 6e-07\n")  # the failed run's NaN is skipped
    assert list(x) == [0.001, 0.001, 0.01, 0.01]

    processor = Mapping_Wrapper.DataProcessor(df)
    filtered, wall_filter = processor.filter_data()
    assert list(wall_filter) == [True, False, True, False]  # exactly 2.0 is not below; NaN never
    assert list(filtered["simulation_id"]) == [1, 3]
    assert capsys.readouterr().out == ("\nPoints with wall_number_avg < 2: 2\nFiltered points (P, T, wall_number):\n"
                                       "  P=0.001, T=800.0, wall=1.500\n  P=0.010, T=800.0, wall=1.250\n")
    x_f, y_f, X_train_raw, y_train = processor.prepare_ml_data()
    assert len(x_f) == 4 and len(y_f) == 4  # all runs, not only the filtered ones
    np.testing.assert_array_equal(X_train_raw, [[0.001, 800.0], [0.001, 1200.0], [0.01, 800.0], [0.01, 1200.0]])
    np.testing.assert_array_equal(y_train, [1, 0, 1, 0])
    assert y_train.dtype.kind == "i"

    processor.filter_data(wall_threshold=1.3)
    assert capsys.readouterr().out.startswith("\nPoints with wall_number_avg < 1.3: 1\n")


def test_files_without_the_p_t_columns_fail(tmp_path):
    path = tmp_path / "pd.csv"
    path.write_text(FOUR_RUNS.replace("T_parameter", "D_parameter"))
    loader = Mapping_Wrapper.DataLoader()
    loader.load_data(str(path))
    with pytest.raises(KeyError):
        loader.get_data_ranges()
    with pytest.raises(FileNotFoundError):
        loader.load_data(str(tmp_path / "none.csv"))


def test_extend_prediction_resamples_and_is_zero_outside():
    classifier = Mapping_Wrapper.MLClassifier(iterations=3)
    assert classifier.ml_kwargs == {"iterations": 3}
    assert classifier.extend_prediction(np.zeros((2, 2)), np.zeros((2, 2))) is None
    u, v = np.meshgrid(np.linspace(0.0, 1.0, 7), np.linspace(10.0, 20.0, 5))
    classifier.X1_orig, classifier.X2_orig, classifier.P = u, v, 2.0 * u - 0.1 * v + 1.0
    Xi, Yi = np.meshgrid(np.linspace(-0.5, 1.5, 9), np.linspace(5.0, 25.0, 11))
    P = classifier.extend_prediction(Xi, Yi)
    inside = (Xi >= 0) & (Xi <= 1) & (Yi >= 10) & (Yi <= 20)
    np.testing.assert_allclose(P[inside], (2.0 * Xi - 0.1 * Yi + 1.0)[inside], atol=1e-12)
    assert np.all(P[~inside] == 0.0)
    expected = griddata((u.ravel(), v.ravel()), classifier.P.ravel(), (Xi, Yi), method="linear", fill_value=0)
    np.testing.assert_array_equal(P, expected)


def test_classifier_training_prints_and_keeps_the_grid(capsys):
    X = np.array([[0.001, 800.0], [0.001, 1200.0], [0.01, 800.0], [0.01, 1200.0]])
    classifier = Mapping_Wrapper.MLClassifier(iterations=20, poly_degree=2, n_order=2)
    X1, X2, P = classifier.train_classifier(X, np.array([1, 0, 1, 0]))
    out = capsys.readouterr().out
    assert out.startswith("=" * 44 + "\nMachine Learning Classification Started (2D)\n" + "=" * 44 + "\nIteration    0")
    assert X1.shape == X2.shape == P.shape == (400, 400)
    assert classifier.P is P and classifier.ml_classifier.poly_degree == 2
    # class 1 sits at low temperature: the decision value falls with T
    assert P[0, 200] > P[-1, 200]


# --- contour map and visualiser --------------------------------------------------

def test_interpolation_falls_back(capsys):
    plotter = Mapping_Wrapper.ContourPlotter()
    x = pd.Series([0.0, 1.0, 0.0, 1.0])
    y = pd.Series([0.0, 0.0, 1.0, 1.0])
    z = pd.Series([0.0, 1.0, 2.0, 3.0])
    Xi, Yi, Zi = plotter.create_interpolation_grid(x, y, z)
    assert capsys.readouterr().out == "Using cubic interpolation\n"
    assert Xi.shape == Yi.shape == Zi.shape == (100, 100)
    assert Xi[0, -1] == 1.0 and Yi[-1, 0] == 1.0
    np.testing.assert_array_equal(Zi, griddata((x, y), z, (Xi, Yi), method="cubic"))
    np.testing.assert_allclose(Zi, Xi + 2.0 * Yi, atol=1e-7)
    # all points on one line: no triangulation, only the nearest neighbour works
    Xi, Yi, Zi = plotter.create_interpolation_grid(x, pd.Series([5.0] * 4), pd.Series([1.0, 2.0, 3.0, 4.0]))
    assert capsys.readouterr().out == "Linear failed, using nearest neighbor interpolation\n"
    assert not np.isnan(Zi).any()


def test_failed_runs_do_not_blank_the_map(capsys):
    plotter = Mapping_Wrapper.ContourPlotter()
    x = pd.Series([0.0, 1.0, 0.0, 1.0, 0.5])
    y = pd.Series([0.0, 0.0, 1.0, 1.0, 0.5])
    z = pd.Series([0.0, 1.0, 2.0, 3.0, np.nan])  # the centre run failed
    Xi, Yi, Zi = plotter.create_interpolation_grid(x, y, z)
    assert capsys.readouterr().out == "Using cubic interpolation\n"
    assert np.isfinite(Zi).all()
    np.testing.assert_allclose(Zi, Xi + 2.0 * Yi, atol=1e-7)
    # two failed runs of four leave two points on a line: nearest neighbour still fills the map
    Xi, Yi, Zi = plotter.create_interpolation_grid(x[:4], y[:4], pd.Series([1.0, 2.0, np.nan, np.nan]))
    assert capsys.readouterr().out == "Linear failed, using nearest neighbor interpolation\n"
    assert np.isfinite(Zi).all() and Xi.shape == (100, 100)


def test_visualizer_without_a_study_or_file(capsys):
    with pytest.raises(ValueError, match=re.escape(
            "No parametric study has been run yet. Please run run_parametric_study() first.")):
        Mapping_Wrapper().parametricstudyvisualizer()
    assert capsys.readouterr().out == ""


def test_visualizer_on_a_results_file(four_runs, tmp_path, capsys):
    import matplotlib.pyplot as plt

    wrapper = Mapping_Wrapper(iterations=50, intnum=8)  # the classifier ignores the model's keys
    target = tmp_path / "map.pdf"
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        wrapper.parametricstudyvisualizer(four_runs, save_path=str(target))
    # on the headless Agg backend show() is skipped quietly
    assert not [w for w in caught if "non-interactive" in str(w.message)]
    out = capsys.readouterr().out
    assert out.startswith("Loading data from: ")  # a given file name is used without a message
    assert "Using cubic interpolation\n" in out
    assert out.endswith("Plots generated successfully!\n"
                        "Enclosed region containing 2 points with wall_number_avg < 2\n\nSummary:\n"
                        "- Created contour plots with 4 data points\n"
                        "- P_parameter ranges from 0.001 to 0.01\n"
                        "- T_parameter ranges from 800.0 to 1200.0\n"
                        "- L_cnt_avg ranges from 0.000000 to 0.000001\n")
    assert target.read_bytes().startswith(b"%PDF")
    figure = plt.gcf()
    assert tuple(figure.get_size_inches()) == (12.0, 10.0)
    ax = figure.axes[0]
    assert (ax.get_xlabel(), ax.get_ylabel()) == ("P_parameter", "T_parameter")


def test_contour_plot_caps_colours_and_draws_the_boundary():
    import matplotlib.pyplot as plt

    plotter = Mapping_Wrapper.ContourPlotter()
    Xi, Yi = np.meshgrid(np.linspace(0, 1, 30), np.linspace(0, 1, 30))
    Zi = 4e-5 * Xi - 1e-5  # spans below 0 and above vmax
    assert plotter.create_contour_plot(Xi, Yi, Zi, Xi - 0.5) is plt
    ax = plt.gca()
    filled, capped, boundary, uncapped = ax.collections[:4]
    assert filled.get_cmap().name == "inferno" and filled.get_clim() == (0, 1e-5)
    assert list(boundary.levels) == [0] and boundary.get_linewidth()[0] == 3
    assert uncapped.levels.min() < 0 < 1e-5 < uncapped.levels.max()
    plotter.create_contour_plot(Xi, Yi, Zi)  # untrained: no boundary line
    assert len(plt.gca().collections) == 3


# --- the real model, end to end --------------------------------------------------

def test_small_study_end_to_end(tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(tmp_path)
    wrapper = Mapping_Wrapper(total_data_points=4, temperature_range_max=950, reactor_length_range_constant=0.02,
                              intnum=8, iterations=300)
    results = wrapper.run_parametric_study()
    assert [r["status"] for r in results] == [1, 1, 1, 1], [r["error_message"] for r in results]
    study_lines = capsys.readouterr().out.splitlines()
    assert not any(line.startswith("Checkpoint file") for line in study_lines)  # a plain call prints as always
    assert (tmp_path / "parametric_study_P&T.checkpoint.jsonl").read_text().count("\n") == 5  # settings + 4 runs
    walls = [r["wall_number_avg"] for r in results]
    assert min(walls) < 2 < max(walls)  # both classes, so a phase boundary exists
    assert all(r["L_cnt_avg"] > 0 and r["dm_avg"] > 0 for r in results)
    name = wrapper.last_generated_filename
    assert open(name).readline().rstrip("\n") == HEADER

    figure = tmp_path / "study.png"
    wrapper.parametricstudyvisualizer(save_path=str(figure))
    out = capsys.readouterr().out
    assert f"Using last generated file: {name}\nLoading data from: {name}\n" in out
    below = sum(w < 2 for w in walls)
    assert f"Enclosed region containing {below} points with wall_number_avg < 2" in out
    assert figure.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


@pytest.mark.slow
def test_fixed_study_writes_the_results_file_and_the_figure(tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(tmp_path)
    assert ps.main() is ps.wrapper
    csv = sorted(tmp_path.glob("parametric_study_P&T_*.csv"))
    assert len(csv) == 1 and open(csv[0]).readline().rstrip("\n") == HEADER
    assert csv[0].with_suffix(".png").read_bytes()[:4] == b"\x89PNG"
    out = capsys.readouterr().out
    assert "  Grid size: 2 x 2 = 4 simulations\n" in out and "Simulation 4/4: P=0.01molar fraction, T=1200K" in out
    assert ps.wrapper.Velmora_kwargs == {"lambda_": 0.001, "surface_kinetics_type": "Surface_Kinetics_Puretzky_etal_2005"}
    assert ps.results is ps.wrapper.results


def test_a_study_point_runs_as_the_same_model_built_directly():
    # The study builds each model with the package defaults and then sets the
    # point's values (here an inlet C2H2 fraction, a temperature and a 2 cm
    # reactor instead of 0.6 m): every derived quantity must follow.
    wrapper = Mapping_Wrapper(total_data_points=4, temperature_range_max=950, reactor_length_range_constant=0.02,
                              intnum=8)
    config = CONFIG(wrapper)
    studied = wrapper.create_model_with_parameters(config, 0.001, 800.0)
    direct = MovingSectionalModel(intnum=8, reactor_length=0.02,
                                  gas_initial_composition=dict(studied.gas_initial_composition))
    direct.wrapper_mapping_temp = 800.0
    for model in (studied, direct):
        model.solve()
    assert studied.reactor_volume == pytest.approx(math.pi / 4 * 0.0254 ** 2 * 0.02, rel=1e-6)
    assert studied.reactor_volume == direct.reactor_volume
    np.testing.assert_allclose(np.asarray(studied.y_saved), np.asarray(direct.y_saved), rtol=1e-12, atol=0)
    for name in ("L_cnt_avg", "wall_number_avg", "dm_avg"):
        assert getattr(studied, name) == pytest.approx(getattr(direct, name), rel=1e-12), name
    np.testing.assert_allclose(studied.carbon_mass_balance_saved, direct.carbon_mass_balance_saved, rtol=1e-12)
