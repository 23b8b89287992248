"""The velmora command line, run as a user would (python -m velmora ...): help,
a small parallel study with its map, one simulation with its files, a plot, and
the errors a mistyped command gets."""
import json
import os
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import velmora
from velmora.cli import build_parser, parse_value


def velmora_cmd(*args, cwd):
    env = dict(os.environ, MPLBACKEND="Agg")
    package_root = os.path.dirname(os.path.dirname(velmora.__file__))
    env["PYTHONPATH"] = os.pathsep.join(p for p in [package_root, env.get("PYTHONPATH")] if p)
    return subprocess.run([sys.executable, "-m", "velmora", *args], cwd=cwd, env=env, capture_output=True,
                          text=True, timeout=300)


def test_help_of_every_command(tmp_path):
    top = velmora_cmd("--help", cwd=tmp_path)
    assert top.returncode == 0 and "{study,run,plot}" in top.stdout
    for command, options in [("study", ["--map", "--points", "--range", "--constant", "--set", "--workers",
                                        "--dask", "--output", "--resume"]),
                             ("run", ["--set", "--output", "--name"]),
                             ("plot", ["--output", "results"])]:
        shown = velmora_cmd(command, "--help", cwd=tmp_path)
        assert shown.returncode == 0, shown.stderr
        assert "examples:\n  velmora " + command in shown.stdout
        assert all(option in shown.stdout for option in options)


def test_study_with_workers_then_plot(tmp_path):
    done = velmora_cmd("study", "--points", "4", "--range", "T", "800", "950", "--constant", "L", "0.02",
                       "--set", "intnum=8", "--set", "iterations=300", "--workers", "2", "--output", "runs",
                       "--plot", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert done.stderr == ""  # no progress bar when standard error is not a terminal
    runs = tmp_path / "runs"
    csv = sorted(runs.glob("parametric_study_P&T_*.csv"))
    assert len(csv) == 1
    frame = pd.read_csv(csv[0])
    assert frame["status"].tolist() == [1, 1, 1, 1]
    assert frame["T_parameter"].tolist() == [800.0, 950.0, 800.0, 950.0]
    assert frame["L_parameter_constant"].unique().tolist() == [0.02]
    assert (runs / "parametric_study_P&T.checkpoint.jsonl").read_text().count("\n") == 4
    assert csv[0].with_suffix(".png").read_bytes()[:4] == b"\x89PNG"
    assert "Checkpoint file: parametric_study_P&T.checkpoint.jsonl" in done.stdout

    # the map of that file, drawn again by the plot command
    drawn = velmora_cmd("plot", str(csv[0]), "-o", "map.png", "--set", "iterations=300", cwd=tmp_path)
    assert drawn.returncode == 0, drawn.stderr
    assert "Figure written to: map.png" in drawn.stdout
    assert (tmp_path / "map.png").read_bytes()[:4] == b"\x89PNG"

    # resuming the finished study from its results file runs nothing again
    again = velmora_cmd("study", "--points", "4", "--range", "T", "800", "950", "--constant", "L", "0.02",
                        "--set", "intnum=8", "--output", "runs", "--resume", str(csv[0]), cwd=tmp_path)
    assert again.returncode == 0, again.stderr
    assert "Resuming: 4 of 4 simulations already recorded" in again.stdout and "Simulation 1/4" not in again.stdout


def test_run_writes_histories_and_summary(tmp_path):
    done = velmora_cmd("run", "--set", "intnum=8", "--set", "reactor_length=0.02", "--output", "one",
                       "--name", "short", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    summary = json.loads((tmp_path / "one" / "short_summary.json").read_text())
    assert summary["status"] == 1 and summary["error_message"] == ""
    assert summary["Velmora_kwargs"] == {"intnum": 8, "reactor_length": 0.02}
    assert summary["final_position"] >= 0.02 and summary["wall_number_avg"] > 1
    histories = np.load(tmp_path / "one" / "short_histories.npz")
    assert histories["states"].shape == (summary["steps"], 33) and histories["z"][-1] == summary["final_position"]
    assert histories["y_saved"].shape[1] == 33 and histories["dp_saved.dp"].shape[1] == 8
    table = pd.read_csv(tmp_path / "one" / "short_histories.csv")
    assert "carbon_mass_balance_saved" in table and table.columns[0] == "entry"
    assert f"  N_total: {summary['N_total']!r}" in done.stdout

    # a run that fails is reported and summarised, and the command exits with 1
    failed = velmora_cmd("run", "--set", "kinetics_mechanism_type=NO_SUCH_MECHANISM", "--set", "intnum=8",
                         "--output", "bad", cwd=tmp_path)
    assert failed.returncode == 1 and "Simulation failed in" in failed.stdout
    bad = json.loads((tmp_path / "bad" / "simulation_summary.json").read_text())
    assert bad["status"] == 0 and bad["error_message"] and bad["steps"] == 0


def test_mistyped_commands_get_clear_errors(tmp_path):
    for args, message in [(["study", "--range", "Q", "1", "2"], "unknown parameter 'Q'"),
                          (["study", "--set", "intnum"], "expected key=value"),
                          (["study", "--workers", "0"], "must be at least 1"),
                          (["study", "--workers", "2", "--dask", "tcp://127.0.0.1:1"], "not both"),
                          (["plot", "missing.csv"], "no such file: missing.csv")]:
        done = velmora_cmd(*args, cwd=tmp_path)
        assert done.returncode == 2 and message in done.stderr, (args, done.stderr)
    # a bad map request is the study's own error, before any run
    done = velmora_cmd("study", "--map", "P&P", "--points", "1", cwd=tmp_path)
    assert done.returncode == 1 and "Cannot vary the same parameter twice: P" in done.stderr


def test_set_values_are_python_literals_or_text():
    assert parse_value("8") == 8 and parse_value("0.02") == 0.02 and parse_value("True") is True
    assert parse_value("Surface_Kinetics_Ma_etal_2005") == "Surface_Kinetics_Ma_etal_2005"
    assert parse_value("{'H2': 0.1, 'N2': 0.9}") == {"H2": 0.1, "N2": 0.9}
    args = build_parser().parse_args(["study", "--set", "temp=1000", "--set", "x=a=b", "--map", "t&d"])
    assert args.set == [("temp", 1000), ("x", "a=b")] and args.map == "t&d" and args.workers is None
    assert build_parser().parse_args([]).command is None  # no command: the fixed study
