"""The velmora command line, run as a user would (python -m velmora ...): help,
a small parallel study with its map, one simulation with its files, a plot, and
the errors a mistyped command gets."""
import json
import os

import numpy as np
import pandas as pd
import pytest

import velmora.core.parameter_sweep as ps
from velmora.cli import build_parser, parse_value

from conftest import StandInModel, run_main, velmora_cmd


def test_help_of_every_command(tmp_path):
    top = velmora_cmd("--help", cwd=tmp_path)
    assert top.returncode == 0 and "{study,boundary,run,plot}" in top.stdout
    import velmora

    version = velmora_cmd("--version", cwd=tmp_path)
    assert (version.returncode, version.stdout) == (0, f"velmora {velmora.__version__}\n")
    for command, options in [("study", ["--map", "--points", "--range", "--constant", "--set", "--workers",
                                        "--dask", "--output", "--resume"]),
                             ("boundary", ["--map", "--budget", "--threshold", "--tolerance", "--seed", "--range",
                                           "--constant", "--set", "--workers", "--dask", "--output", "--resume"]),
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
    assert (runs / "parametric_study_P&T.checkpoint.jsonl").read_text().count("\n") == 5  # settings + 4 runs
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
    # the default profile ("custom") holds 873 K; the summary says which profile and what temperature
    assert (summary["temperature_profile"], summary["temperature_min_K"], summary["temperature_max_K"]) == (
        "custom", 873.0, 873.0)
    assert "  Temperature: profile custom, 873.0 K\n" in done.stdout

    # --temperature holds the reactor at one temperature, as a study holds its T
    fixed = velmora_cmd("run", "--set", "intnum=8", "--set", "reactor_length=0.02", "--temperature", "1000",
                        "--output", "one", "--name", "hot", cwd=tmp_path)
    assert fixed.returncode == 0, fixed.stderr
    hot = json.loads((tmp_path / "one" / "hot_summary.json").read_text())
    assert (hot["temperature_profile"], hot["temperature_min_K"], hot["temperature_max_K"]) == ("fixed", 1000, 1000)
    assert hot["temperature"] == 1000 and hot["Velmora_kwargs"] == {"intnum": 8, "reactor_length": 0.02}
    assert "  Temperature: fixed at 1000.0 K (wrapper_mapping_temp)\n" in fixed.stdout
    assert hot["status"] == 1 and hot["L_cnt_avg"] != summary["L_cnt_avg"]  # the hotter reactor grows differently

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
    # a bad map request gets the study's own message, as a usage error before any run
    done = velmora_cmd("study", "--map", "P&P", "--points", "1", cwd=tmp_path)
    assert done.returncode == 2 and "Cannot vary the same parameter twice: P" in done.stderr
    assert "Traceback" not in done.stderr and "Simulation" not in done.stdout


def test_set_values_are_python_literals_or_text():
    assert parse_value("8") == 8 and parse_value("0.02") == 0.02 and parse_value("True") is True
    assert parse_value("Surface_Kinetics_Ma_etal_2005") == "Surface_Kinetics_Ma_etal_2005"
    assert parse_value("{'H2': 0.1, 'N2': 0.9}") == {"H2": 0.1, "N2": 0.9}
    args = build_parser().parse_args(["study", "--set", "temp=1000", "--set", "x=a=b", "--map", "t&d"])
    assert args.set == [("temp", 1000), ("x", "a=b")] and args.map == "t&d" and args.workers is None
    assert build_parser().parse_args([]).command is None  # no command: the fixed study


BAD_COMMANDS = [
    (["study", "--points", "-4"], "argument --points: must be at least 1"),
    (["study", "--points", "0"], "argument --points: must be at least 1"),
    (["study", "--map", "X&Y"], "argument --map: Unknown parameter 'X'. Available: ['P', 'T', 'D', 'L']"),
    (["study", "--map", "bogus"], "argument --map: Invalid map_requested format: bogus. Expected format: 'X&Y'"),
    (["study", "--map", ""], "argument --map: Invalid map_requested format: . Expected format: 'X&Y'"),
    (["study", "--map", "P&P"], "argument --map: Cannot vary the same parameter twice: P"),
    (["study", "--range", "T", "nan", "900"], "T value 'nan' must be a finite number"),
    (["study", "--range", "T", "800", "inf"], "T value 'inf' must be a finite number"),
    (["study", "--range", "P", "0.001", "1.5"], "P value '1.5' must be a mole fraction in [0, 1]"),
    (["study", "--constant", "L", "-1"], "L value '-1' must be a positive length in m"),
    (["study", "--constant", "D", "0"], "D value '0' must be a positive diameter in m"),
    (["study", "--range", "T", "-5", "900"], "T value '-5' must be a positive temperature in K"),
    (["study", "--constant", "T", "hot"], "T value 'hot' is not a number"),
    (["study", "--output", "/proc/velmora/runs"], "argument --output: cannot write into /proc/velmora/runs"),
    (["study", "--output", "a_file"], "argument --output: a_file exists and is not a folder"),
    (["study", "--resume", "missing.jsonl"], "argument --resume: no such file: missing.jsonl"),
    (["study", "--resume", "."], "argument --resume: . is not a regular file"),
    (["study", "--set", "intnm=8"], "unknown parameter 'intnm' (did you mean intnum"),
    (["study", "--set", "iterations=0.5"], "iterations=0.5 must be a whole number of at least 1"),
    (["study", "--set", "gas_initial_composition={'C2H2': 2}"], "must be a dict of mole fractions"),
    (["run", "--set", "temp=abc"], "unknown parameter 'temp'"),
    (["run", "--set", "temp=1000"], "to hold the reactor at one temperature use --temperature K"),
    (["run", "--set", "intnum=abc"], "intnum='abc' must be a whole number of at least 1"),
    (["run", "--set", "reactor_length=-0.1"], "reactor_length=-0.1 must be positive"),
    (["run", "--set", "carb_struct_enabled=1"], "carb_struct_enabled=1 must be True or False"),
    (["run", "--set", "catalsyt_element=7"], "catalsyt_element=7 must be text"),
    (["run", "--set", "xdtube=nan"], "xdtube='nan' must be a finite number"),
    (["run", "--temperature", "-3"], "argument --temperature: must be a positive number of kelvin"),
    (["run", "--name", "a/b/c"], "argument --name: must be a plain file name without folders, got 'a/b/c'"),
    (["run", "--name", ".."], "argument --name: must be a plain file name"),
    (["plot", "/etc/passwd"], "argument results: /etc/passwd is not a CSV file"),
    (["plot", "a_file", "-o", "map.jpgg"], "argument -o/--output: cannot write a figure as 'map.jpgg': the suffix "
                                           "must be one of"),
    (["plot", "a_file", "-o", "/proc/velmora/map.png"], "argument -o/--output: cannot write into /proc/velmora"),
    (["plot", "a_file", "--vmax", "0"], "argument --vmax: must be a positive number, got '0'"),
    (["plot", "a_file", "--log", "--linear"], "argument --linear: not allowed with argument --log"),
    (["plot", "no_pair.csv"], "no_pair.csv is not the results file of a study (no column a results file of a study "
                              "has two varied columns"),
    (["study", "--plot", "--vmax=-1e-6"], "argument --vmax: must be a positive number, got '-1e-6'"),
    (["plot", "/dev/null"], "argument results: /dev/null is not a regular file"),
    (["plot", "."], "argument results: . is not a regular file"),
    (["plot", "a_file", "--set", "iteration=5"], "(did you mean iterations?)"),
]


def test_every_bad_option_is_one_usage_line_before_any_run(tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "a_file").write_text("P_parameter,T_parameter,status,L_cnt_avg,wall_number_avg\n0.1,800,1,1e-6,3\n")
    (tmp_path / "no_pair.csv").write_text("P_parameter,status,L_cnt_avg,wall_number_avg\n0.1,1,1e-6,3\n")
    for args, message in BAD_COMMANDS:
        code, out, err = run_main(capsys, *args)
        assert code == 2, (args, code, err)
        last = err.rstrip("\n").splitlines()[-1]
        assert last.startswith(f"velmora {args[0]}: error: ") and message in last, (args, err)
        assert err.startswith("usage: velmora " + args[0]) and "Traceback" not in err
        assert "Simulation" not in out and "Starting" not in out, args
    assert sorted(p.name for p in tmp_path.iterdir()) == ["a_file", "no_pair.csv"]  # nothing was run or written


def test_unwritable_output_is_refused_before_any_run(tmp_path, capsys):
    locked = tmp_path / "locked"
    locked.mkdir()
    locked.chmod(0o500)
    try:
        with open(locked / "probe", "w"):
            pass
        writable = True  # running as root: permissions do not stop a write, so use a folder of sysfs
    except OSError:
        writable = False
    target = "/sys/kernel" if writable else str(locked)
    if writable and os.access("/sys/kernel", os.F_OK) is False:
        pytest.skip("no folder that cannot be written here")
    done = velmora_cmd("study", "--points", "4", "--constant", "L", "0.02", "--set", "intnum=8", "--output", target,
                       cwd=tmp_path)
    assert done.returncode == 2 and done.stdout == ""
    assert done.stderr.splitlines()[-1].startswith(f"velmora study: error: argument --output: cannot write into "
                                                   f"{target}: ")
    assert "Traceback" not in done.stderr


class Scripted(StandInModel):
    """Fails at 800 K, otherwise leaves a solved state that gives a summary."""

    def solve(self):
        if self.temp == 800:
            raise RuntimeError("solver diverged")
        return super().solve()

    def section_wall_numbers(self):
        # above 1250 K every section ends at wall number 1 (single-walled)
        return super().section_wall_numbers() if self.temp < 1250 else np.ones(4)


def test_study_exit_codes_follow_what_was_run_and_written(tmp_path, monkeypatch, capsys):
    monkeypatch.setattr(ps, "MovingSectionalModel", Scripted)
    monkeypatch.chdir(tmp_path)

    # two of four runs fail (T = 800): the tally names the message, the file has both kinds of rows
    # (one worker: the checkpoint lines come in grid order, which the resume case below relies on)
    code, out, err = run_main(capsys, "study", "--points", "4", "--output", "half", "--no-progress", "--workers", "1")
    assert code == 0 and err == ""
    assert out.splitlines()[-2:] == [f"  Results saved to: {os.path.basename(next((tmp_path / 'half').glob('*.csv')))}",
                                     "4 runs: 2 succeeded, 0 single-walled (No valid sections found: no section "
                                     "above wall number 1), 2 failed: 2 x 'solver diverged'"]
    frame = pd.read_csv(next((tmp_path / "half").glob("*.csv")), keep_default_na=False)
    assert frame["status"].tolist() == [0, 1, 0, 1]
    assert frame["error_message"].tolist() == ["solver diverged", "", "solver diverged", ""]
    walls = frame["wall_number_avg"].tolist()
    assert walls[0] == walls[2] == "" and walls[1] == walls[3] == repr((2 * 1 + 3 * 2 + 4 * 3) / (1 + 2 + 3))

    # every run fails: exit 1
    code, out, _ = run_main(capsys, "study", "--points", "4", "--range", "T", "800", "800", "--output", "none")
    assert code == 1 and out.splitlines()[-1].endswith(" 0 succeeded, 0 single-walled (No valid sections found: "
                                                       "no section above wall number 1), 4 failed: 4 x 'solver diverged'")

    # every run single-walled: a result (the single-walled side of the map), exit 0
    code, out, _ = run_main(capsys, "study", "--points", "4", "--range", "T", "1300", "1400", "--output", "thin")
    assert code == 0 and out.splitlines()[-1] == ("4 runs: 0 succeeded, 4 single-walled (No valid sections found: "
                                                  "no section above wall number 1), 0 failed")
    frame = pd.read_csv(next((tmp_path / "thin").glob("*.csv")), keep_default_na=False)
    assert frame["status"].tolist() == [0] * 4 and frame["error_message"].tolist() == ["No valid sections found"] * 4

    # the results file cannot be written once the runs are done: exit 1, never "Results saved to"
    def refuse(records, filename):
        raise OSError(28, "No space left on device")

    monkeypatch.setattr(ps._results_file, "write_results_csv", refuse)
    code, out, err = run_main(capsys, "study", "--points", "4", "--range", "T", "900", "950", "--output", "full")
    assert code == 1 and "Results saved to" not in out
    assert "Error saving results: [Errno 28] No space left on device" in out
    assert out.splitlines()[-2].startswith("  Results NOT saved (the file could not be written): parametric_study_")
    assert err.startswith("velmora study: error: results file full") and "not written" in err
    assert len((tmp_path / "full" / "parametric_study_P&T.checkpoint.jsonl").read_text().splitlines()) == 5
    monkeypatch.undo()

    # a checkpoint record a finished run cannot have written is refused, naming file and line
    monkeypatch.setattr(ps, "MovingSectionalModel", Scripted)
    checkpoint = tmp_path / "half" / "parametric_study_P&T.checkpoint.jsonl"
    lines = checkpoint.read_text().splitlines()
    checkpoint.write_text("\n".join([lines[0], lines[1], lines[2].replace('"status": 1', '"status": NaN')]) + "\n")
    # (monkeypatch.undo() above also left tmp_path: every path from here on is absolute)
    code, out, err = run_main(capsys, "study", "--points", "4", "--output", str(tmp_path / "again"),
                              "--resume", str(checkpoint))
    assert code == 2 and "Simulation" not in out
    assert err == (f"velmora study: error: {checkpoint}, line 3: recorded run 2 is not a finished run's record: "
                   "status must be 0 or 1\n")


def test_run_outcomes_count_single_walled_runs_as_results():
    """A run with every section at wall number 1 is its own outcome, below the threshold;
    the tally quotes failure messages as Python would and keeps their first-seen order."""
    records = [
        {"status": 1, "error_message": "", "wall_number_avg": 1.5},
        {"status": 1, "error_message": "", "wall_number_avg": 2.0},
        {"status": 0, "error_message": "No valid sections found", "wall_number_avg": None},
        {"status": 0, "error_message": "it's broken", "wall_number_avg": None},
        {"status": 0, "error_message": float("nan"), "wall_number_avg": float("nan")},  # an empty field read back
        {"status": 0, "error_message": "it's broken"},
    ]
    assert [ps.run_outcome(r) for r in records] == ["succeeded", "succeeded", "single-walled", "failed", "failed",
                                                     "failed"]
    assert [ps.outcome_label(r) for r in records] == [1, 0, 1, -1, -1, -1]
    assert ps.outcome_label(records[2], wall_threshold=1.0) == 0  # nothing lies below wall number 1
    assert ps.outcome_tally(records) == ('6 runs: 2 succeeded, 1 single-walled (No valid sections found: no section '
                                         'above wall number 1), 3 failed: 2 x "it\'s broken"; 1 x \'\'')
    with pytest.raises(KeyError):
        ps.run_outcome({"error_message": ""})
