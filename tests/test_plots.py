"""Figures of runs and studies, checked through matplotlib's objects: labels,
scales, colour limits, artists and the boundary contour, never pixels."""
import os

import numpy as np
import pandas as pd
import pytest
from matplotlib.collections import PolyCollection
from matplotlib.colors import LogNorm
from matplotlib.contour import ContourSet

from velmora import plots
from velmora._main_job import main_job, nearest_the_boundary
from velmora.core.growth_simulator import MovingSectionalModel

from conftest import velmora_cmd


def solved(**kwargs):
    model = MovingSectionalModel(**kwargs)
    time_points, states = model.solve()
    return model, time_points, states


@pytest.fixture(scope="module")
def short_run():
    return solved(reactor_length=0.02, intnum=8)


def panel(fig, title_start):
    matches = [ax for ax in fig.axes if ax.get_title().startswith(title_start)]
    assert len(matches) == 1, [ax.get_title() for ax in fig.axes]
    return matches[0]


def texts(ax):
    return [t.get_text() for t in ax.texts]


def twin_of(fig, ax):
    """The second y axis drawn over ax."""
    return [other for other in fig.axes if other is not ax and other.bbox.bounds == ax.bbox.bounds
            and other.get_shared_x_axes().joined(other, ax)]


# ----------------------------------------------------------------------------
# Run report
# ----------------------------------------------------------------------------


def test_run_report_panels_follow_the_solved_run(short_run, tmp_path):
    model, time_points, states = short_run
    fig = plots.run_report(model, str(tmp_path / "report.png"))
    assert (tmp_path / "report.png").read_bytes()[:4] == b"\x89PNG"
    n = model.intnum

    # every axis: position along the reactor on x, ending where solve() ended
    main = [ax for ax in fig.axes if ax.get_title()]
    assert len(main) == 6
    for ax in main:
        assert ax.get_xlim() == pytest.approx((0.0, time_points[-1]))
    assert sum(ax.get_xlabel() == plots.POSITION_LABEL for ax in main) == 2
    for ax in fig.axes:  # every drawn y label carries a unit in brackets
        if ax.get_ylabel():
            assert ax.get_ylabel().endswith(")"), ax.get_ylabel()

    # size distribution: log diameter axis, log colour scale over the cells
    psd = panel(fig, "particle size distribution")
    assert psd.get_yscale() == "log"
    (cells,) = [c for c in psd.collections if isinstance(c, PolyCollection)]
    assert isinstance(cells.norm, LogNorm)
    low, high = cells.get_clim()
    assert high == pytest.approx(float(np.max(cells.get_array())))
    assert high / low == pytest.approx(10.0 ** plots.PSD_DECADES)
    colourbar = [ax for ax in fig.axes if "dN/dlog10(d)" in ax.get_ylabel()]
    assert len(colourbar) == 1
    # the first section of the last state, at the outlet, spread over its log10 width
    d = np.cbrt(6 * states[-1][n:2 * n] / np.pi)
    width = np.log10(d[1] / d[0])  # geometric grid: first cell is as wide as the spacing
    corners = cells.get_paths()[-1].vertices
    assert corners[:, 0].max() == pytest.approx(time_points[-1])

    # totals: total number at the outlet is the sum of solve()'s last state
    totals = panel(fig, "population")
    assert totals.get_yscale() == "log"
    number = totals.get_lines()[0].get_ydata()
    assert number[-1] == pytest.approx(float(np.sum(states[-1][:n][states[-1][:n] > 1e-15])), rel=1e-12)
    # the outlet's first section, as dN/dlog10(d), is one of the drawn cells
    assert np.any(np.isclose(np.asarray(cells.get_array()), states[-1][0] / width, rtol=1e-12))

    # CNT growth: the summaries a study records, drawn at every step; at the outlet they are
    # the record's, over the sections whose final wall number is above 1
    final_y, final_walls = model.y_saved[-1], model.wall_number_section_saved[-1]
    valid = np.flatnonzero(final_walls[:model.isec] > 1)
    weights = final_y[valid] / np.sum(final_y[valid])
    growth = panel(fig, "CNT growth")
    assert growth.get_title() == "CNT growth: number-weighted over sections with wall number > 1"
    (lengths,) = growth.get_lines()
    assert lengths.get_ydata()[-1] == pytest.approx(np.sum(model.carbon_data_saved[-1][n + valid] * weights),
                                                    rel=1e-12)
    walls = [line for ax in twin_of(fig, growth) for line in ax.get_lines() if len(line.get_xdata()) > 2]
    assert walls[0].get_ydata()[-1] == pytest.approx(np.sum(final_walls[valid] * weights), rel=1e-12)
    assert growth.get_ylabel() == "L_cnt_avg, mean CNT length (m)"
    assert "L_cnt_avg = " in texts(growth)[0] and "N_total = " in texts(growth)[0]
    # N_total beside the number of all agglomerates, which it is not
    n_total = [line for line in totals.get_lines() if line.get_label().startswith("N_total")]
    assert n_total[0].get_ydata()[-1] == pytest.approx(np.sum(final_y[valid]), rel=1e-12)

    # carbon fractions: four lines, the recorded compositions
    carbon = panel(fig, "carbon fractions")
    lines = carbon.get_lines()
    assert len(lines) == 4
    last = model.carbon_composition_saved[-1]
    assert [line.get_ydata()[-1] for line in lines] == pytest.approx(
        [last["cnt_percent"], last["gp_percent"], last["impurity_percent"], last["other_percent"]])

    # gas: the profile's 873 K, and the main species at the end of every step on a log axis
    temperature = panel(fig, "gas temperature")
    assert set(temperature.get_lines()[0].get_ydata()) == {873.0}
    species = panel(fig, "gas composition along the reactor")
    assert species.get_yscale() == "log"
    lines = {line.get_label(): line for line in species.get_lines()}
    assert list(lines)[:2] == ["C2H2", "H2"] and "CH4" in model.gas_composition_saved[0]
    assert lines["C2H2"].get_xdata() == pytest.approx(time_points)
    assert lines["C2H2"].get_ydata()[-1] == pytest.approx(model.AA12[1]["C2H2"], rel=1e-12)  # the outlet gas
    assert lines["C2H2"].get_ydata()[0] > lines["C2H2"].get_ydata()[-1]  # consumed along the reactor
    title = fig._suptitle.get_text()
    assert "stopped early" not in title
    for words in ("Ni catalyst", "temperature profile custom", "reactor 0.02 m", "surface model Puretzky et al."):
        assert words in title


def test_run_report_pdf_by_extension(short_run, tmp_path):
    model, _, _ = short_run
    plots.run_report(model, str(tmp_path / "report.pdf"))
    assert (tmp_path / "report.pdf").read_bytes()[:5] == b"%PDF-"


def test_run_report_without_surface_kinetics_says_not_computed(tmp_path):
    model, time_points, _ = solved(reactor_length=0.02, intnum=8, surface_kinetics_solver_activated=False)
    fig = plots.run_report(model, str(tmp_path / "off.png"))
    for title in ("CNT growth", "carbon fractions"):
        ax = panel(fig, title)
        assert texts(ax) == ["not computed: surface kinetics off"]
        assert ax.get_lines() == []
    # the population is still drawn
    assert len(panel(fig, "population").get_lines()[0].get_xdata()) == len(time_points)
    assert "surface kinetics off" in fig._suptitle.get_text()
    assert "not advanced without surface kinetics" in panel(fig, "gas composition").get_title()
    # the gas is recorded every step even so, and stays what the first gas step made it
    assert len(model.gas_composition_saved) == len(time_points)
    assert all(entry == model.gas_composition_saved[0] for entry in model.gas_composition_saved)
    assert model.gas_composition_saved[0]["C2H2"] == model.AA12_initial["C2H2"]


def test_run_report_of_a_run_stopped_early(tmp_path):
    model, time_points, _ = solved(reactor_length=0.6, intnum=8, paper_name_for_temperature_history="Celnik_2008")
    assert time_points[-1] < 0.6  # the cooling profile ends the run before the outlet
    fig = plots.run_report(model, str(tmp_path / "celnik.png"))
    assert "stopped early at z = " in fig._suptitle.get_text()
    for ax in fig.axes:
        if ax.get_title():
            assert ax.get_xlim()[1] == pytest.approx(time_points[-1])
    temperature = panel(fig, "gas temperature").get_lines()[0].get_ydata()
    assert temperature[0] == pytest.approx(424.851083)  # the profile at the inlet
    assert temperature.max() > 1000  # the hot zone


def test_run_report_from_the_files_of_a_run(tmp_path):
    from velmora.core import parameter_sweep

    summary = parameter_sweep.run_simulation({"intnum": 8, "reactor_length": 0.02}, output_dir=str(tmp_path),
                                             name="short")
    fig = plots.run_report_from_files(summary["histories_npz"], str(tmp_path / "files.pdf"))
    assert (tmp_path / "files.pdf").read_bytes()[:5] == b"%PDF-"
    saved = np.load(summary["histories_npz"])
    z, states, n = saved["z"], saved["states"], 8
    for ax in fig.axes:
        if ax.get_title():
            assert ax.get_xlim() == pytest.approx((0.0, z[-1]))
    # the population from the stored end-of-step states
    number = panel(fig, "population").get_lines()[0]
    assert number.get_xdata() == pytest.approx(z)
    live = saved["y_saved"][1:, :n]
    assert len(live) == len(z) == len(states)
    assert number.get_ydata() == pytest.approx(np.where(live > 1e-15, live, 0).sum(axis=1), rel=1e-12)
    # the compositions as stored (the last entry of each history is the last step), one line per fraction
    carbon = panel(fig, "carbon fractions").get_lines()
    for line, key in zip(carbon, ("cnt_percent", "gp_percent", "impurity_percent", "other_percent")):
        assert len(line.get_ydata()) == len(z) - 1  # from the second step on
        assert line.get_ydata() == pytest.approx(saved["carbon_composition_saved." + key][-(len(z) - 1):])
    assert len(panel(fig, "CNT growth").get_lines()) == 1
    assert set(panel(fig, "gas temperature").get_lines()[0].get_ydata()) == {873.0}
    # the printed summaries are the drawn ones at the outlet
    growth = panel(fig, "CNT growth")
    assert growth.get_lines()[0].get_ydata()[-1] == pytest.approx(summary["L_cnt_avg"], rel=1e-12)
    walls = [line for ax in twin_of(fig, growth) for line in ax.get_lines() if len(line.get_xdata()) > 2]
    assert walls[0].get_ydata()[-1] == pytest.approx(summary["wall_number_avg"], rel=1e-12)
    n_total = [line for line in panel(fig, "population").get_lines() if line.get_label().startswith("N_total")]
    assert n_total[0].get_ydata()[-1] == pytest.approx(summary["N_total"], rel=1e-12)
    # the gas of every step, as stored with the run
    species = panel(fig, "gas composition along the reactor")
    c2h2 = [line for line in species.get_lines() if line.get_label() == "C2H2"][0]
    assert c2h2.get_ydata() == pytest.approx(saved["gas_composition_saved.C2H2"], rel=1e-12)


def test_run_report_of_a_run_held_at_one_temperature(tmp_path):
    """velmora run --temperature: the report draws the temperature the run had, and says so."""
    from velmora.core import parameter_sweep

    summary = parameter_sweep.run_simulation({"intnum": 8, "reactor_length": 0.02, "catalsyt_element": "Fe"},
                                             output_dir=str(tmp_path), name="hot", temperature=1000.0)
    fig = plots.run_report_from_files(summary["histories_npz"], reason="held hot to see the CNTs grow")
    temperature = panel(fig, "gas temperature (fixed at 1000 K, wrapper_mapping_temp)")
    assert set(temperature.get_lines()[0].get_ydata()) == {1000.0}
    title = fig._suptitle.get_text()
    assert "Fe catalyst" in title and "T fixed at 1000 K" in title
    assert title.endswith("\nheld hot to see the CNTs grow")


def test_run_report_refuses_an_unsolved_model():
    with pytest.raises(ValueError, match="no completed step"):
        plots.run_report(MovingSectionalModel(intnum=8))


# ----------------------------------------------------------------------------
# Phase map
# ----------------------------------------------------------------------------


def study_frame(walls, lengths, messages=None):
    """A P&T results table on a square grid (P outer, T inner, as a study writes it)."""
    size = int(round(np.sqrt(len(walls))))
    p, t = np.meshgrid(np.linspace(0.001, 0.01, size), np.linspace(800, 1000, size), indexing="ij")
    messages = messages or [""] * len(walls)
    return pd.DataFrame({
        "simulation_id": np.arange(1, len(walls) + 1), "map_type": "P&T",
        "P_parameter": p.ravel(), "T_parameter": t.ravel(),
        "status": [1 if np.isfinite(w) else 0 for w in walls], "error_message": messages,
        "N_total": np.where(np.isfinite(walls), 1e10, np.nan), "dm_avg": np.where(np.isfinite(walls), 2e-8, np.nan),
        "L_cnt_avg": lengths, "wall_number_avg": walls,
    })


def boundary_contours(ax):
    return [c for c in ax.collections if isinstance(c, ContourSet) and not c.filled]


def colour_norm(fig):
    ax = fig.axes[0]
    (mappable,) = [c for c in ax.collections if isinstance(c, ContourSet) and c.filled]
    return mappable.norm


def legend_labels(ax):
    return [t.get_text() for t in ax.get_legend().get_texts()]


def test_phase_map_with_both_classes_draws_the_boundary(tmp_path):
    # wall number falls with temperature (rows of 4 T values per P): below 2 on the hot side
    walls = np.array([[40, 10, 3, 1.5]] * 4, dtype=float).ravel()
    lengths = np.array([[2e-9, 2e-8, 1e-7, 4e-7]] * 4).ravel() * np.repeat([1, 1.2, 1.4, 1.6], 4)
    frame = study_frame(walls, lengths)
    fig = plots.phase_map(frame, str(tmp_path / "map.png"), iterations=1500)
    assert (tmp_path / "map.png").read_bytes()[:4] == b"\x89PNG"
    ax = fig.axes[0]
    assert ax.get_xlabel() == "inlet C2H2 mole fraction P (-)" and ax.get_ylabel() == "temperature T (K)"
    assert "learned phase boundary at wall number 2" in ax.get_title()
    (boundary, _) = boundary_contours(ax)
    assert list(boundary.levels) == [0.0]
    segments = [seg for seg in boundary.allsegs[0] if len(seg)]
    assert segments
    # the boundary runs between the 933 K and 1000 K rows of runs, the only change of class
    points = np.vstack(segments)
    inside = (points[:, 0] >= 0.001) & (points[:, 0] <= 0.01)
    assert np.all((points[inside, 1] > 933.3) & (points[inside, 1] < 1000))
    # colours follow the data from the shortest to the longest CNT; over more than two
    # decades the scale is logarithmic with a tick on every decade
    norm = colour_norm(fig)
    assert (norm.vmin, norm.vmax) == pytest.approx((lengths.min(), lengths.max()))
    assert isinstance(norm, LogNorm)
    # (two decades inside the range: 1, 2 and 5 of each)
    assert list(fig.axes[1].get_yticks()) == pytest.approx([2e-9, 5e-9, 1e-8, 2e-8, 5e-8, 1e-7, 2e-7, 5e-7])
    formatter = fig.axes[1].yaxis.get_major_formatter()  # every tick labelled
    assert formatter.format_ticks([2e-9, 1e-8, 5e-7]) == ["$2\\times10^{-9}$", "$10^{-8}$", "$5\\times10^{-7}$"]
    labels = legend_labels(ax)
    assert "wall number < 2 (4)" in labels and "wall number >= 2 (12)" in labels
    # --linear forces the linear scale
    assert not isinstance(colour_norm(plots.phase_map(frame, log=False, iterations=10)), LogNorm)


def test_phase_map_scale_follows_the_span_of_the_lengths():
    walls = np.array([40, 10, 3, 1.5] * 4, dtype=float)
    for lengths, log in [(np.linspace(1e-7, 9e-6, 16), False), (np.geomspace(3e-9, 2.3e-6, 16), True)]:
        fig = plots.phase_map(study_frame(walls, lengths), iterations=10)
        assert isinstance(colour_norm(fig), LogNorm) is log
        if log:  # every decade inside the range is a labelled tick
            assert list(fig.axes[1].get_yticks()) == pytest.approx([1e-8, 1e-7, 1e-6])
    # one decade inside the range, forced logarithmic: ticks at 1, 2, 5 of each decade
    fig = plots.phase_map(study_frame(walls, np.linspace(3e-7, 4e-6, 16)), log=True, iterations=10)
    assert list(fig.axes[1].get_yticks()) == pytest.approx([5e-7, 1e-6, 2e-6])


def test_phase_map_of_any_pair_names_the_conditions_and_is_reproducible(tmp_path):
    walls = np.array([40, 10, 3, 1.5] * 4, dtype=float)
    frame = study_frame(walls, np.geomspace(1e-9, 1e-6, 16)).rename(
        columns={"P_parameter": "T_parameter", "T_parameter": "D_parameter"})
    frame["T_parameter"] = np.repeat([800.0, 900.0, 1000.0, 1100.0], 4)
    frame["D_parameter"] = np.tile([1e-8, 2e-8, 3e-8, 4e-8], 4)
    frame["map_type"] = "T&D"
    frame["P_parameter_constant"], frame["L_parameter_constant"] = 0.0045, 0.1
    fig = plots.phase_map(frame, str(tmp_path / "a.png"), conditions=plots.model_conditions({"catalsyt_element": "Fe"}),
                          iterations=200)
    ax = fig.axes[0]
    assert (ax.get_xlabel(), ax.get_ylabel()) == ("temperature T (K)", "initial particle diameter D (m)")
    assert ax.get_title().splitlines()[1] == ("held at P = 0.0045, L = 0.1 m; Fe catalyst, "
                                              "surface model Puretzky et al. 2005")
    # the same call writes the same file, and the caller's random stream is left alone
    np.random.seed(3)
    expected = np.random.rand()
    np.random.seed(3)
    plots.phase_map(frame, str(tmp_path / "b.png"), conditions=plots.model_conditions({"catalsyt_element": "Fe"}),
                    iterations=200)
    assert np.random.rand() == expected
    assert (tmp_path / "a.png").read_bytes() == (tmp_path / "b.png").read_bytes()
    for suffix in ("pdf", "svg"):  # no time stamp, no random element ids
        for k in "xy":
            plots.phase_map(frame, str(tmp_path / f"{k}.{suffix}"), iterations=20)
        assert (tmp_path / f"x.{suffix}").read_bytes() == (tmp_path / f"y.{suffix}").read_bytes()
    # the settings file a study writes beside its results file names the conditions
    csv = tmp_path / "parametric_study_T&D_20250101_120000.csv"
    frame.to_csv(csv, index=False)
    csv.with_suffix(".json").write_text('{"study": "grid", "model_keywords": {"catalsyt_element": "Fe", '
                                        '"surface_kinetics_type": "Surface_Kinetics_Ma_etal_2005", "intnum": 35, '
                                        '"reactor_length": 0.6, "xdtube": 0.03}}')
    fig = plots.phase_map(str(csv), iterations=20)
    assert fig.axes[0].get_title().splitlines()[1] == ("held at P = 0.0045, L = 0.1 m; Fe catalyst, "
                                                       "surface model Ma et al. 2005, xdtube=0.03")
    # another seed starts the classifier elsewhere
    X = np.column_stack((frame["T_parameter"], frame["D_parameter"]))
    y = (walls < 2).astype(int)
    same = [plots.train_seeded(X, y, iterations=5)[2] for _ in range(2)]
    other = plots.train_seeded(X, y, seed=1, iterations=5)[2]
    assert np.array_equal(same[0], same[1]) and not np.array_equal(same[0], other)


def test_phase_map_of_the_old_two_by_two_study_counts_single_walled_runs_below_the_threshold():
    # the fixed 2 x 2 study: the 1200 K runs end with every section at wall number 1, the
    # single-walled side of the map, so a boundary separates them from the 800 K runs
    frame = study_frame([5.0, np.nan, 7.0, np.nan], [3e-8, np.nan, 9e-8, np.nan],
                        ["", plots.NO_VALID, "", plots.NO_VALID])
    frame["T_parameter"] = [800.0, 1200.0, 800.0, 1200.0]
    fig = plots.phase_map(frame, iterations=500)
    ax = fig.axes[0]
    assert ax.get_title() == "mean CNT length and the learned phase boundary at wall number 2"
    (boundary, _) = boundary_contours(ax)
    points = np.vstack([seg for seg in boundary.allsegs[0] if len(seg)])
    assert np.all((points[:, 1] > 800) & (points[:, 1] < 1200))
    assert "single-walled: every section at wall number 1 (2)" in legend_labels(ax)
    assert "wall number >= 2 (2)" in legend_labels(ax)
    # two successful points cannot be contoured: they are drawn as coloured squares on the data's scale
    (squares,) = [c for c in ax.collections if c.get_array() is not None and len(c.get_array()) == 2]
    assert squares.get_clim() == pytest.approx((3e-8, 9e-8))
    # every grid point is in view
    assert ax.get_ylim()[0] < 800 and ax.get_ylim()[1] > 1200


def test_phase_map_log_scale_cap_and_failures():
    walls = np.array([50, 20, 8, 3, 1.2, np.nan, 30, 10, np.nan], dtype=float)
    lengths = np.array([1e-9, 5e-9, 4e-8, 2e-7, 1e-6, np.nan, 3e-9, 1e-8, np.nan])
    messages = [""] * 5 + [plots.NO_VALID, "", "", "solve failed: step size too small"]
    frame = study_frame(walls, lengths, messages)
    fig = plots.phase_map(frame, log=True, vmax=5e-7, iterations=500)
    norm = colour_norm(fig)
    assert isinstance(norm, LogNorm)
    assert (norm.vmin, norm.vmax) == pytest.approx((1e-9, 5e-7))
    ax = fig.axes[0]
    labels = legend_labels(ax)
    assert "single-walled: every section at wall number 1 (1)" in labels and "failed run (1)" in labels
    colourbar = fig.axes[1]
    assert colourbar.get_ylabel() == "mean CNT length L_cnt_avg (m), logarithmic scale"
    assert colourbar.get_yscale() == "log"


def test_phase_map_without_a_successful_run_and_bad_input(tmp_path):
    frame = study_frame([np.nan] * 4, [np.nan] * 4, [plots.NO_VALID] * 4)
    fig = plots.phase_map(frame)
    assert fig.axes[0].get_title() == "mean CNT length: no phase boundary (all 4 runs have wall number < 2)"
    assert len(fig.axes) == 1  # no colour bar without data
    frame["error_message"] = "solver diverged"
    fig = plots.phase_map(frame)
    assert fig.axes[0].get_title() == "mean CNT length: no successful or single-walled run, no phase boundary"
    with pytest.raises(ValueError, match="found P_parameter$"):
        plots.phase_map(frame.drop(columns="T_parameter"))
    with pytest.raises(ValueError, match="vmax must be positive"):
        plots.phase_map(frame, vmax=0)


# ----------------------------------------------------------------------------
# Command line and main job
# ----------------------------------------------------------------------------


def test_plot_command_options_and_run_report_command(tmp_path):
    frame = study_frame([5.0, np.nan, 7.0, np.nan], [3e-8, np.nan, 9e-8, np.nan],
                        ["", plots.NO_VALID, "", plots.NO_VALID])
    frame.to_csv(tmp_path / "old.csv", index=False)
    drawn = velmora_cmd("plot", "old.csv", "-o", "old.pdf", "--log", "--vmax", "1e-7", cwd=tmp_path)
    assert drawn.returncode == 0, drawn.stderr
    assert "Figure written to: old.pdf" in drawn.stdout
    assert (tmp_path / "old.pdf").read_bytes()[:5] == b"%PDF-"

    done = velmora_cmd("run", "--set", "intnum=8", "--set", "reactor_length=0.02", "--name", "one", "--plot",
                       cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "Run report: ./one_report.png" in done.stdout
    assert (tmp_path / "one_report.png").read_bytes()[:4] == b"\x89PNG"


def test_report_run_is_the_successful_run_nearest_the_boundary():
    records = [{"simulation_id": k, "P_parameter": k, "T_parameter": 10 * k, "status": 1, "wall_number_avg": w}
               for k, w in enumerate((9.0, 2.6, 1.7, 1.05, 30.0), start=1)]
    # 1.7 is nearer 2 than 2.6 by ratio (2/1.7 = 1.18 against 2.6/2 = 1.3).
    assert nearest_the_boundary(records, 2.0)["simulation_id"] == 3
    records[2]["status"] = 0
    assert nearest_the_boundary(records, 2.0)["simulation_id"] == 2
    assert nearest_the_boundary([dict(r, status=0) for r in records], 2.0) is None


def test_main_job_writes_results_map_and_report(tmp_path, capsys):
    paths = main_job(str(tmp_path), workers=2, budget=5, temperature_range_max=950,
                     reactor_length_range_constant=0.02, intnum=8)
    out = capsys.readouterr().out
    assert set(paths) == {"results", "boundary", "phase_map", "run_report"}
    for key, label in (("results", "Results (CSV):"), ("boundary", "Boundary (CSV):"), ("phase_map", "Boundary map:"),
                       ("run_report", "Run report:")):
        assert os.path.dirname(paths[key]) == str(tmp_path)
        assert f"{label}" in out and paths[key] in out
    frame = pd.read_csv(paths["results"])
    assert list(frame.columns[:10]) == ["simulation_id", "map_type", "P_parameter", "T_parameter", "status",
                                       "error_message", "N_total", "dm_avg", "L_cnt_avg", "wall_number_avg"]
    assert len(frame) == 5
    assert "the run nearest the boundary" in out
    assert open(paths["phase_map"], "rb").read(4) == b"\x89PNG"
    assert open(paths["run_report"], "rb").read(4) == b"\x89PNG"
