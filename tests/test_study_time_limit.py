"""A per-run time limit: a run that stalls is stopped (its worker process
ended and replaced), recorded as failed, and the study finishes on time with
the other runs exactly as without the stall."""
import concurrent.futures
import os
import time

import numpy as np
import pytest

import velmora.core.parameter_sweep as ps
from velmora.core.growth_simulator import MovingSectionalModel
from velmora.core.parameter_sweep import Mapping_Wrapper

# Four short real runs (2 x 2 grid, 2 cm reactor, 8 sections): well under a second each.
STUDY = dict(total_data_points=4, temperature_range_max=950, reactor_length_range_constant=0.02, intnum=8)


class StallingModel:
    """The reactor model, except that the run at the first grid point (P = 0.001,
    T = 800 K) sleeps long before it starts: a stall that costs no CPU. The
    process that stalls writes its id to STALL_PID_FILE first."""

    pid_file = None
    stall_seconds = 120.0

    def __init__(self, **kwargs):
        object.__setattr__(self, "_model", MovingSectionalModel(**kwargs))

    def __getattr__(self, name):
        return getattr(self._model, name)

    def __setattr__(self, name, value):
        setattr(self._model, name, value)

    def solve(self):
        model = self._model
        if model.wrapper_mapping_temp == 800 and model.gas_initial_composition["C2H2"] == 0.001:
            with open(StallingModel.pid_file, "w") as f:
                f.write(str(os.getpid()))
            time.sleep(StallingModel.stall_seconds)
        return model.solve()


def run_in(directory, **options):
    cwd = os.getcwd()
    os.chdir(directory)
    try:
        wrapper = Mapping_Wrapper(**STUDY)
        return wrapper.run_parametric_study(**options), wrapper
    finally:
        os.chdir(cwd)


@pytest.fixture(scope="module")
def unstalled(tmp_path_factory):
    records, _ = run_in(tmp_path_factory.mktemp("plain"))
    assert [r["status"] for r in records] == [1] * 4
    return records


def process_gone(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return True
    return False


def stopped_soon(pid):
    """Whether the process is gone, or goes within a few seconds."""
    deadline = time.monotonic() + 10
    while not process_gone(pid) and time.monotonic() < deadline:
        time.sleep(0.05)
    return process_gone(pid)


@pytest.mark.parametrize("options", [dict(max_workers=2), dict()], ids=["two workers", "no workers"])
def test_a_stalled_run_is_stopped_and_the_study_goes_on(unstalled, tmp_path, monkeypatch, capsys, options):
    monkeypatch.setattr(ps, "MovingSectionalModel", StallingModel)
    monkeypatch.setattr(StallingModel, "pid_file", str(tmp_path / "stalled.pid"))
    start = time.monotonic()
    records, wrapper = run_in(tmp_path, run_timeout=8, **options)  # far above a run, even on a busy machine
    elapsed = time.monotonic() - start
    assert elapsed < StallingModel.stall_seconds / 4, elapsed  # the study did not wait for the stalled run

    stalled = records[0]
    assert stalled["status"] == 0 and stalled["error_message"] == "exceeded the time limit of 8 s"
    assert [stalled[k] for k in ("N_total", "dm_avg", "L_cnt_avg", "wall_number_avg")] == [None] * 4
    assert records[1:] == unstalled[1:]  # the other runs as without the stall, to the last bit
    out = capsys.readouterr().out
    assert "    Failed: exceeded the time limit of 8 s\n" in out and "  Failed: 1\n" in out
    # the stalled process was really stopped, not left sleeping
    pid = int((tmp_path / "stalled.pid").read_text())
    assert pid != os.getpid()  # even without workers the run was not in this process
    assert stopped_soon(pid)

    # a resume treats the stopped run like any failed run: recorded, not run again
    monkeypatch.setattr(ps, "MovingSectionalModel", MovingSectionalModel)
    again, _ = run_in(tmp_path, resume=str(tmp_path / "parametric_study_P&T.checkpoint.jsonl"), max_workers=2)
    assert again == records
    assert "Simulation " not in capsys.readouterr().out


class QuickStallingModel:
    """Every run ends at once with a summary, bar the first grid point, which
    sleeps stall_seconds first (real runs would make the timing depend on the
    machine's load here)."""

    stall_seconds = 8.0

    def __init__(self, **kwargs):
        self.gas_initial_composition = {"C2H2": 0.0045, "C2H4": 1e-15, "H2": 0.009, "N2": 0.9}
        self.intnum, self.isec = 4, 3

    def solve(self):
        if self.temp == 800 and self.gas_initial_composition["C2H2"] == 0.001:
            time.sleep(QuickStallingModel.stall_seconds)
        y = np.array([1.0, 2.0, 3.0] + [0.0] * 14)
        self.y_saved = [y, y]
        self.wall_number_section_saved = [np.array([2.0, 3.0, 4.0, 0.0])]
        return np.zeros(2), np.zeros((2, 17))


def test_executors_that_cannot_stop_a_run_give_it_up_at_the_limit(tmp_path, monkeypatch):
    # A concurrent.futures process pool cannot stop a started task: the study
    # records the run as failed at the limit and goes on; the run ends on its
    # own later (the pool's shutdown waits for it).
    monkeypatch.setattr(ps, "MovingSectionalModel", QuickStallingModel)
    with concurrent.futures.ProcessPoolExecutor(max_workers=2) as pool:
        start = time.monotonic()
        records, _ = run_in(tmp_path, executor=pool, run_timeout=2)
        elapsed = time.monotonic() - start
    assert elapsed < QuickStallingModel.stall_seconds
    assert records[0]["error_message"] == "exceeded the time limit of 2 s"
    assert [r["status"] for r in records[1:]] == [1] * 3


def test_time_limits_that_cannot_be_kept_are_refused(tmp_path):
    wrapper = Mapping_Wrapper(**STUDY)
    for bad in (0, -1.0, float("nan"), float("inf")):
        with pytest.raises(ValueError, match="run_timeout must be a finite number of seconds above 0"):
            wrapper.run_parametric_study(max_workers=2, run_timeout=bad)
    # a Dask executor's futures never report that a run started, and Dask cannot stop one
    dask_like = type("ClientExecutor", (concurrent.futures.Executor,), {"__module__": "distributed.cfexecutor"})()
    with pytest.raises(ValueError, match="run_timeout cannot be kept on a Dask executor"):
        wrapper.run_parametric_study(executor=dask_like, run_timeout=10)
    assert not list(tmp_path.glob("*"))  # refused before anything ran or was written


class FirstRunStalls(StallingModel):
    """The reactor model, except that the first run to start anywhere (the
    one that creates the marker file) stalls."""

    def solve(self):
        try:
            os.close(os.open(StallingModel.pid_file + ".taken", os.O_CREAT | os.O_EXCL))
        except FileExistsError:
            return self._model.solve()
        with open(StallingModel.pid_file, "w") as f:
            f.write(str(os.getpid()))
        time.sleep(StallingModel.stall_seconds)
        return self._model.solve()


def test_the_boundary_study_stops_a_stalled_run_too(tmp_path, monkeypatch, capsys):
    monkeypatch.setattr(ps, "MovingSectionalModel", FirstRunStalls)
    monkeypatch.setattr(StallingModel, "pid_file", str(tmp_path / "stalled.pid"))
    cwd = os.getcwd()
    os.chdir(tmp_path)
    try:
        start = time.monotonic()
        records = Mapping_Wrapper(**dict(STUDY, temperature_range_max=1000)).run_boundary_study(
            budget=4, batch_size=2, max_workers=2, run_timeout=8)
        elapsed = time.monotonic() - start
    finally:
        os.chdir(cwd)
    assert elapsed < StallingModel.stall_seconds / 4, elapsed
    stopped = [r for r in records if r["error_message"] == "exceeded the time limit of 8 s"]
    assert len(stopped) == 1 and stopped[0]["status"] == 0
    assert sum(r["status"] for r in records) == len(records) - 1  # every other run succeeded
    assert "    Failed: exceeded the time limit of 8 s\n" in capsys.readouterr().out
    assert stopped_soon(int((tmp_path / "stalled.pid").read_text()))
