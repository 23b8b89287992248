"""Parallel, distributed and resumable studies: worker processes and a Dask
cluster give the records and the results file of a sequential run; the
checkpoint keeps every finished run through a SIGKILL and a resume repeats none."""
import json
import os
import re
import signal
import subprocess
import sys
import time

import numpy as np
import pytest

import velmora
import velmora.core.parameter_sweep as ps
from velmora.core.parameter_sweep import Mapping_Wrapper

# 16 short runs (4 x 4 grid, 2 cm reactor, 8 sections): a fraction of a second each.
STUDY = dict(total_data_points=16, temperature_range_max=950, reactor_length_range_constant=0.02, intnum=8)
CHECKPOINT = "parametric_study_P&T.checkpoint.jsonl"
SIM_LINE = re.compile(r"^Simulation (\d+)/(\d+): .*$", re.M)


def run_in(directory, study=STUDY, **options):
    cwd = os.getcwd()
    os.chdir(directory)
    try:
        wrapper = Mapping_Wrapper(**study)
        records = wrapper.run_parametric_study(**options)
        with open(wrapper.last_generated_filename) as f:
            return records, f.read()
    finally:
        os.chdir(cwd)


def simulation_ids(out):
    return [int(m.group(1)) for m in SIM_LINE.finditer(out)]


def checkpoint_ids(path):
    """Run numbers of the checkpoint's records (its first line holds the study's settings)."""
    lines = [json.loads(line) for line in open(path) if line.strip()]
    assert list(lines[0]) == ["study_settings"]
    return [line["simulation_id"] for line in lines[1:]]


@pytest.fixture(scope="module")
def reference(tmp_path_factory):
    """The sequential study: records, results-file text and printed output."""
    directory = tmp_path_factory.mktemp("sequential")
    import contextlib
    import io

    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        records, csv = run_in(directory)
    assert [r["status"] for r in records] == [1] * 16, [r["error_message"] for r in records]
    return records, csv, out.getvalue()


def subprocess_env():
    env = dict(os.environ, MPLBACKEND="Agg")
    package_root = os.path.dirname(os.path.dirname(velmora.__file__))
    env["PYTHONPATH"] = os.pathsep.join(p for p in [package_root, env.get("PYTHONPATH")] if p)
    return env


def test_two_workers_match_the_sequential_run(reference, tmp_path, capsys):
    ref_records, ref_csv, ref_out = reference
    records, csv = run_in(tmp_path, max_workers=2)
    assert records == ref_records  # grid order, same values to the last bit
    assert csv == ref_csv
    out = capsys.readouterr().out
    # each point's line once (completion order allowed); header and summary as in the sequential run
    assert sorted(simulation_ids(out)) == list(range(1, 17))
    # the parallel run also names its checkpoint; otherwise the header is the sequential one
    head = out.split("Simulation ")[0]
    assert "Checkpoint file: " + CHECKPOINT in head and "Checkpoint file" not in ref_out
    assert head.replace("Checkpoint file: " + CHECKPOINT + "\n", "") == ref_out.split("Simulation ")[0]
    tail = lambda text: text[text.index("\nParametric Study Complete!"):].rsplit("  Results saved to:", 1)[0]
    assert tail(out) == tail(ref_out)
    assert sorted(checkpoint_ids(tmp_path / CHECKPOINT)) == list(range(1, 17))


def test_failures_in_workers_are_recorded_like_sequential_ones(tmp_path, capsys):
    # No H2 in the inlet gas: applying the C2H2 fraction fails for every point.
    study = dict(total_data_points=4, intnum=8, gas_initial_composition={"C2H2": 0.01, "N2": 0.99})
    sequential, seq_csv = run_in(tmp_path, study)
    seq_out = capsys.readouterr().out
    parallel, par_csv = run_in(tmp_path, study, max_workers=2)
    par_out = capsys.readouterr().out
    assert parallel == sequential and par_csv == seq_csv
    assert [r["error_message"] for r in parallel] == ["'H2'"] * 4
    assert [r["status"] for r in parallel] == [0] * 4
    # every point's line is followed by its failure line, as in the sequential output
    for out in (seq_out, par_out):
        assert len(re.findall(r"^Simulation \d/4: .*\n    Failed: 'H2'$", out, re.M)) == 4
    assert "  Successful: 0\n  Failed: 4\n" in par_out


def test_dask_local_cluster_runs_the_study(reference, tmp_path):
    distributed = pytest.importorskip("distributed")
    ref_records, ref_csv, _ = reference
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        records, csv = run_in(tmp_path, executor=client.get_executor())
    assert records == ref_records
    assert csv == ref_csv


def test_sigkill_then_resume_loses_and_repeats_nothing(reference, tmp_path, capsys):
    ref_records, ref_csv, _ = reference
    script = ("from velmora.core.parameter_sweep import Mapping_Wrapper\n"
              f"Mapping_Wrapper(**{STUDY!r}).run_parametric_study()\n")
    child = subprocess.Popen([sys.executable, "-c", script], cwd=tmp_path, env=subprocess_env(),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    checkpoint = tmp_path / CHECKPOINT
    deadline = time.monotonic() + 120
    try:
        while time.monotonic() < deadline:
            if checkpoint.exists() and checkpoint.read_text().count("\n") >= 6:  # settings + 5 runs
                break
            assert child.poll() is None, "the study ended before it could be killed"
            time.sleep(0.05)
        os.kill(child.pid, signal.SIGKILL)
    finally:
        child.wait(timeout=30)
    assert child.returncode == -signal.SIGKILL
    assert not list(tmp_path.glob("parametric_study_P&T_*.csv"))  # killed before the results file

    finished = checkpoint_ids(checkpoint)
    assert 5 <= len(finished) < 16 and finished == list(range(1, len(finished) + 1))
    with open(checkpoint, "a") as f:
        f.write('{"simulation_id": 99, "map_type": "P&')  # a write torn by the kill

    records, csv = run_in(tmp_path, resume=str(checkpoint), max_workers=2)
    out = capsys.readouterr().out
    assert f"Resuming: {len(finished)} of 16 simulations already recorded in {checkpoint}\n" in out
    assert sorted(simulation_ids(out)) == list(range(len(finished) + 1, 17))  # only the missing ones ran
    assert csv == ref_csv
    assert records == ref_records
    assert sorted(checkpoint_ids(checkpoint)) == list(range(1, 17))


class ScriptedModel:
    """Stands in for the reactor model: fails at 800 K with an awkward message,
    otherwise leaves a solved state with tiny and non-finite summaries."""

    def __init__(self, **kwargs):
        self.gas_initial_composition = {"C2H2": 0.0045, "C2H4": 1e-15, "H2": 0.009, "N2": 0.9}
        self.intnum, self.isec = 4, 3

    def solve(self):
        if self.temp == 800:
            raise RuntimeError('bad "value", ünïcode,\nsecond line\ttab')
        y = np.array([1e-300, 2.0, 3.0] + [0.0] * 14)
        self.y_saved = [y, y]
        self.wall_number_section_saved = [np.array([2.0, np.inf, 3.0, 0.0])]
        self.xdm_saved = [np.array([np.nan, 1.0, 2.0, 0.0])]
        return np.zeros(2), np.zeros((2, 17))


def test_checkpoint_and_csv_resume_reproduce_odd_records(tmp_path, monkeypatch, capsys):
    monkeypatch.setattr(ps, "MovingSectionalModel", ScriptedModel)
    # T = 800 fails; the reactor length is held at an int constant, which must stay an int
    study = dict(map_requested="T&P", total_data_points=4, reactor_length_range_constant=1)
    first, first_csv = run_in(tmp_path, study)
    assert first[0]["error_message"] == 'bad "value", ünïcode,\nsecond line\ttab'
    # NaN and infinite summaries are no result: a failed run, those summaries empty
    assert first[2]["status"] == 0 and first[2]["N_total"] == 5.0
    assert first[2]["error_message"] == "a summary is not finite: dm_avg = nan, wall_number_avg = inf"
    assert first[2]["dm_avg"] is None and first[2]["wall_number_avg"] is None
    assert type(first[0]["L_parameter_constant"]) is int and type(first[0]["T_parameter"]) is np.float64
    capsys.readouterr()

    for source in (tmp_path / "parametric_study_T&P.checkpoint.jsonl",
                   sorted(tmp_path.glob("parametric_study_T&P_*.csv"))[0]):
        records, csv = run_in(tmp_path, study, resume=str(source))
        assert csv == first_csv
        assert simulation_ids(capsys.readouterr().out) == []  # nothing ran again
        for got, want in zip(records, first):
            assert list(got) == list(want)
            for key, value in want.items():
                missing = value is None or (isinstance(value, float) and np.isnan(value))
                if missing and source.suffix == ".csv":
                    assert got[key] is None  # the results file writes None and NaN alike: empty
                elif missing:
                    assert got[key] is value or np.isnan(got[key])
                else:
                    assert got[key] == value and type(got[key]) in (type(value), float)


def test_resume_refuses_another_study_and_bad_options(reference, tmp_path, monkeypatch):
    monkeypatch.setattr(ps, "MovingSectionalModel", ScriptedModel)
    _, ref_csv, _ = reference
    (tmp_path / "ref.csv").write_text(ref_csv)
    other = dict(STUDY, temperature_range_max=1000)
    with pytest.raises(ValueError, match="simulation_id 2.*different study"):
        run_in(tmp_path, other, resume=str(tmp_path / "ref.csv"))
    with pytest.raises(ValueError, match="does not have the columns of this study"):
        run_in(tmp_path, dict(STUDY, map_requested="T&P"), resume=str(tmp_path / "ref.csv"))
    (tmp_path / "broken.jsonl").write_text('{"simulation_id": 1}\nnot json\n{"simulation_id": 2}\n')
    with pytest.raises(ValueError, match="broken.jsonl, line 2: not a run record"):
        run_in(tmp_path, resume=str(tmp_path / "broken.jsonl"))
    with pytest.raises(FileNotFoundError):
        run_in(tmp_path, resume=str(tmp_path / "missing.jsonl"))

    # records a finished run cannot have written are refused, naming file and line
    good = dict(reference[0][0], dm_avg=None)
    for change, why in [({"status": float("nan")}, "status must be 0 or 1"),
                        ({"status": 2}, "status must be 0 or 1"),
                        ({"T_parameter": float("inf")}, "T_parameter is infinite, not a finite number"),
                        ({"L_parameter_constant": None}, "L_parameter_constant is missing, not a finite number"),
                        ({"simulation_id": 1.0}, "simulation_id is a number, not a whole number"),
                        ({"error_message": None}, "error_message is missing, not text"),
                        ({"N_total": "many"}, "N_total is text, not a finite number or missing"),
                        ({"wall_number_avg": float("inf")}, "wall_number_avg is infinite, not a finite number or missing"),
                        ({"wall_number_avg": float("nan")}, "wall_number_avg is NaN, not a finite number or missing")]:
        bad = tmp_path / "bad.jsonl"
        bad.write_text(json.dumps(good) + "\n" + json.dumps(dict(good, **change)) + "\n")
        with pytest.raises(ValueError, match=re.escape(f"{bad}, line 2: recorded run 2 is not a finished run's "
                                                       f"record: {why}")):
            run_in(tmp_path, resume=str(bad))
    missing = dict(good)
    del missing["dm_avg"]
    (tmp_path / "bad.jsonl").write_text("\n" + json.dumps(missing) + "\n")
    with pytest.raises(ValueError, match="bad.jsonl, line 2: recorded run 1 does not have the columns of this study"):
        run_in(tmp_path, resume=str(tmp_path / "bad.jsonl"))
    assert not list(tmp_path.glob("parametric_study_P&T_*.csv"))  # refused before any run
    wrapper = Mapping_Wrapper(**STUDY)
    with pytest.raises(ValueError, match="either max_workers or executor"):
        wrapper.run_parametric_study(max_workers=2, executor=object())
    with pytest.raises(ValueError, match="at least 1"):
        wrapper.run_parametric_study(max_workers=0)
    with pytest.raises(TypeError):
        wrapper.run_parametric_study(2)  # the new options are keyword-only


def test_progress_bar_on_stderr(tmp_path, monkeypatch, capsys):
    monkeypatch.setattr(ps, "MovingSectionalModel", ScriptedModel)
    run_in(tmp_path, dict(map_requested="T&P", total_data_points=4), progress=True)
    captured = capsys.readouterr()
    assert "\x1b" not in captured.out and "\r" not in captured.out and "sim/s" not in captured.out
    assert captured.out.count("Simulation ") == 4  # the printed lines are those of a run without a bar
    drawn = [part for part in captured.err.replace("\n", "\r").split("\r") if part.strip()]
    assert re.match(r"^\s*0%\|\s*\| 0/4 \[", drawn[0]), drawn[0]
    assert re.match(r"^100%\|█+\| 4/4 \[\d\d:\d\d<00:00, +[\d.]+sim/s\]$", drawn[-1]), drawn[-1]

    # a resumed study starts its bar at the runs already recorded
    run_in(tmp_path, dict(map_requested="T&P", total_data_points=4), progress=True,
           resume=str(tmp_path / "parametric_study_T&P.checkpoint.jsonl"))
    captured = capsys.readouterr()
    assert "Simulation " not in captured.out
    assert " 4/4 [" in captured.err and "0/4" not in captured.err


MPI_STUDY = dict(total_data_points=4, temperature_range_max=950, reactor_length_range_constant=0.02, intnum=8)


def mpi_launcher():
    """mpiexec and mpi4py, or the reason a study cannot run under MPI here."""
    import shutil

    try:
        import mpi4py.futures  # noqa: F401
    except ImportError as error:
        return None, f"mpi4py is not installed ({error}); pip install '.[mpi]'"
    launcher = shutil.which("mpiexec")
    if launcher is None:
        return None, "no mpiexec on PATH; pip install '.[mpi]' brings Open MPI's"
    return launcher, None


def test_mpi_ranks_give_the_sequential_records(tmp_path):
    launcher, reason = mpi_launcher()
    if launcher is None:
        if os.environ.get("VELMORA_REQUIRE_MPI"):
            pytest.fail("MPI is required here but unavailable: " + reason)
        pytest.skip(reason)
    script = tmp_path / "study.py"
    script.write_text(
        "import pickle\n"
        "from mpi4py.futures import MPIPoolExecutor\n"
        "from velmora.core.parameter_sweep import Mapping_Wrapper\n"
        "if __name__ == '__main__':\n"
        f"    wrapper = Mapping_Wrapper(**{MPI_STUDY!r})\n"
        "    with MPIPoolExecutor() as pool:\n"
        "        results = wrapper.run_parametric_study(executor=pool)\n"
        "    with open('records.pickle', 'wb') as f:\n"
        "        pickle.dump(results, f)\n")
    env = subprocess_env()
    # Open MPI refuses to start as root without these, and counts slots by cores:
    # three ranks (one master, two workers) may exceed the cores of a small machine.
    env.update(OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1",
               PRTE_MCA_rmaps_default_mapping_policy=":oversubscribe", OMPI_MCA_rmaps_base_oversubscribe="1")
    mpi_dir = tmp_path / "mpi"
    mpi_dir.mkdir()
    done = subprocess.run([launcher, "-n", "3", sys.executable, "-m", "mpi4py.futures", str(script)], cwd=mpi_dir,
                          env=env, capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stdout[-2000:] + done.stderr[-2000:]
    import pickle

    with open(mpi_dir / "records.pickle", "rb") as f:
        mpi_records = pickle.load(f)
    assert sorted(simulation_ids(done.stdout)) == [1, 2, 3, 4]

    sequential_dir = tmp_path / "sequential"
    sequential_dir.mkdir()
    records, csv = run_in(sequential_dir, MPI_STUDY)
    assert [r["status"] for r in records] == [1, 1, 1, 1], [r["error_message"] for r in records]
    assert mpi_records == records  # grid order, same values to the last bit
    assert open(next(mpi_dir.glob("parametric_study_P&T_*.csv"))).read() == csv
