"""The boundary study on real runs: files, columns, figure, resume and command line.

The runs are short (8 sections, a 0.02 m reactor) so that a study of a few
runs takes seconds; the search itself is tested on synthetic planes in
test_boundary_search.py.
"""

import os
import shutil

import numpy as np
import pandas as pd
import pytest

import velmora.core.parameter_sweep as ps
from conftest import StandInModel, velmora_cmd
from velmora.core.parameter_sweep import Mapping_Wrapper

STUDY = dict(total_data_points=4, temperature_range_max=1000, reactor_length_range_constant=0.02, intnum=8)
RECORD_COLUMNS = ["simulation_id", "map_type", "P_parameter", "T_parameter", "status", "error_message", "N_total",
                  "dm_avg", "L_cnt_avg", "wall_number_avg"]
BOUNDARY_COLUMNS = ["P_parameter", "T_parameter", "segment", "wall_number_low", "wall_number_high",
                    "band_half_width"]


def run_in(directory, **options):
    previous = os.getcwd()
    os.chdir(directory)
    try:
        wrapper = Mapping_Wrapper(**STUDY)
        records = wrapper.run_boundary_study(**options)
        return wrapper, records
    finally:
        os.chdir(previous)


@pytest.fixture(scope="module")
def finished(tmp_path_factory):
    directory = tmp_path_factory.mktemp("boundary")
    wrapper, records = run_in(directory, budget=6, batch_size=2)
    return directory, wrapper, records


def test_study_writes_records_boundary_and_checkpoint(finished, capsys):
    directory, wrapper, records = finished
    assert 1 <= len(records) <= 6
    assert [r["simulation_id"] for r in records] == list(range(1, len(records) + 1))
    results = pd.read_csv(directory / wrapper.last_generated_filename)
    assert list(results.columns[:10]) == RECORD_COLUMNS
    assert sorted(results.columns[10:]) == ["D_parameter_constant", "L_parameter_constant"]
    assert wrapper.last_generated_filename.startswith("boundary_study_P&T_")
    checkpoint = (directory / "boundary_study_P&T.checkpoint.jsonl").read_text().splitlines()
    assert checkpoint[0].startswith('{"study_settings"') and len(checkpoint) == len(records) + 1
    # Every point lies in the plane; the first round is the start design.
    assert results["P_parameter"].between(0.001, 0.01).all() and results["T_parameter"].between(800, 1000).all()
    assert wrapper.boundary_state["rounds"][0] == 0

    boundary_file = directory / wrapper.last_boundary_filename
    assert wrapper.last_boundary_filename == wrapper.last_generated_filename[:-4] + "_boundary.csv"
    table = pd.read_csv(boundary_file)
    assert list(table.columns) == BOUNDARY_COLUMNS
    frame = wrapper.boundary_table()
    assert list(frame.columns) == BOUNDARY_COLUMNS
    pd.testing.assert_frame_equal(frame.reset_index(drop=True), table, check_dtype=False)
    if len(table):
        assert (table["wall_number_low"] <= 2.0).all() and (table["wall_number_high"] >= 2.0).all()
        assert (table["band_half_width"] >= 0).all()


def test_boundary_map_shows_runs_rounds_band_and_conditions(finished, tmp_path):
    import matplotlib.collections as mcoll

    from velmora import plots

    _, wrapper, records = finished
    fig = plots.boundary_map(wrapper, tmp_path / "map.png", conditions="L = 0.02 m, intnum=8")
    assert (tmp_path / "map.png").stat().st_size > 0
    ax = fig.axes[0]
    assert ax.get_xlabel().startswith("inlet C2H2 mole fraction") and ax.get_ylabel().startswith("temperature")
    assert ax.get_xlim() == (0.001, 0.01) and ax.get_ylim() == (800, 1000)
    marked = sum(len(c.get_offsets()) for c in ax.collections if isinstance(c, mcoll.PathCollection))
    assert marked == len(records)
    rounds = [t.get_text() for t in ax.texts]
    assert sorted(rounds) == sorted(str(r) for r in wrapper.boundary_state["rounds"])
    assert "L = 0.02 m, intnum=8" in ax.get_title() and f"{len(records)} runs" in ax.get_title()
    colourbar = fig.axes[1]
    assert colourbar.get_yscale() == "log"
    # The same call draws the same figure.
    again = plots.boundary_map(wrapper, tmp_path / "again.png", conditions="L = 0.02 m, intnum=8")
    assert (tmp_path / "map.png").read_bytes() == (tmp_path / "again.png").read_bytes()
    del again


def test_killed_study_resumes_to_the_same_points(finished, tmp_path, capsys):
    directory, wrapper, records = finished
    # A study killed after three runs, while writing the fourth (the first line holds its settings).
    lines = (directory / "boundary_study_P&T.checkpoint.jsonl").read_text().splitlines(keepends=True)
    (tmp_path / "killed.jsonl").write_text("".join(lines[:4]) + lines[4][:25])
    capsys.readouterr()
    resumed, again = run_in(tmp_path, budget=6, batch_size=2, resume=str(tmp_path / "killed.jsonl"))
    out = capsys.readouterr().out
    assert "Resuming: 3 of 6" in out
    assert out.count("Simulation ") == len(records) - 3
    assert again == records
    pd.testing.assert_frame_equal(resumed.boundary_table(), wrapper.boundary_table())
    # The results file of a finished study resumes with nothing to run.
    run_in(tmp_path, budget=6, batch_size=2, resume=str(directory / wrapper.last_generated_filename))
    assert "Simulation " not in capsys.readouterr().out


def test_resume_with_other_settings_is_refused_before_any_run(finished, tmp_path, capsys):
    directory, _, _ = finished
    checkpoint = tmp_path / "study.jsonl"
    shutil.copy(directory / "boundary_study_P&T.checkpoint.jsonl", checkpoint)
    capsys.readouterr()
    with pytest.raises(ValueError, match="seed"):
        run_in(tmp_path, budget=6, batch_size=2, seed=1, resume=str(checkpoint))
    # Without the settings line (a file from before studies kept them) the
    # replay itself finds that the recorded points are not this plan's.
    lines = checkpoint.read_text().splitlines(keepends=True)
    checkpoint.write_text("".join(lines[1:]))
    with pytest.raises(ValueError, match="different study"):
        run_in(tmp_path, budget=6, batch_size=2, seed=1, resume=str(checkpoint))
    assert "Simulation " not in capsys.readouterr().out
    with pytest.raises(ValueError, match="either max_workers or executor"):
        run_in(tmp_path, max_workers=2, executor=object())
    with pytest.raises(ValueError, match="threshold"):
        run_in(tmp_path, threshold=0.5)


def test_command_line_writes_the_three_files(tmp_path):
    result = velmora_cmd("boundary", "--budget", "5", "--range", "T", "800", "1000", "--constant", "L", "0.02",
                         "--set", "intnum=8", "--workers", "2", "--output", str(tmp_path / "out"), cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    lines = {line.split(":")[0].strip(): line.split(":", 1)[1].strip() for line in result.stdout.splitlines()
             if line.startswith(("Results (CSV)", "Boundary (CSV)", "Map"))}
    assert set(lines) == {"Results (CSV)", "Boundary (CSV)", "Map"}
    for path in lines.values():
        assert os.path.getsize(path) > 0
    assert len(pd.read_csv(lines["Results (CSV)"])) <= 5
    assert list(pd.read_csv(lines["Boundary (CSV)"]).columns) == BOUNDARY_COLUMNS
    # The same plane with another seed: the checkpoint is refused before any run (exit 2).
    checkpoint = os.path.join(str(tmp_path / "out"), "boundary_study_P&T.checkpoint.jsonl")
    other = velmora_cmd("boundary", "--budget", "5", "--seed", "1", "--range", "T", "800", "1000", "--constant", "L",
                        "0.02", "--set", "intnum=8", "--output", str(tmp_path / "out"), "--resume", checkpoint,
                        cwd=tmp_path)
    assert other.returncode == 2 and "seed" in other.stderr and "Simulation" not in other.stdout
    bad = velmora_cmd("boundary", "--budget", "0", cwd=tmp_path)
    assert bad.returncode == 2 and "--budget" in bad.stderr
    bad = velmora_cmd("boundary", "--threshold", "1", cwd=tmp_path)
    assert bad.returncode == 2 and "--threshold" in bad.stderr


class SteppedWalls(StandInModel):
    """Every section ends at one wall number set by the temperature: falling
    smoothly through 2, or jumping from 3.5 to 1.1 at 950 K."""

    jump = True

    def section_wall_numbers(self):
        if self.jump:
            wall = 3.5 if self.temp < 950.0 else 1.1
        else:
            wall = 2.0 * np.exp(-(self.temp - 950.0) / 200.0)
        return np.array([wall, wall, wall, 0.0])


@pytest.mark.parametrize("jump", [True, False])
def test_a_jump_in_the_wall_number_is_reported(jump, tmp_path, monkeypatch, capsys):
    model = type("Stepped", (SteppedWalls,), {"jump": jump})
    monkeypatch.setattr(ps, "MovingSectionalModel", model)
    monkeypatch.chdir(tmp_path)
    wrapper = Mapping_Wrapper(intnum=4)
    wrapper.run_boundary_study(budget=16, max_workers=1)
    out = capsys.readouterr().out
    warned = "Warning: the wall number changes faster than the runs resolve (a jump?)" in out
    assert warned == jump and wrapper.boundary_state["unresolved"] == jump
    # Either way the boundary lies at 950 K, within the band it reports.
    table = wrapper.boundary_table()
    assert np.all(np.abs(table["T_parameter"] - 950.0) / 400.0 <= table["band_half_width"] + 0.01)
