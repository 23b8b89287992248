"""A resume never mixes two studies: the settings kept with the checkpoint and
beside the results file must match the study resumed, and the checkpoint
reader refuses hand-edited files that a study cannot have written."""
import json

import pytest

import velmora.core.parameter_sweep as ps
from conftest import StandInModel, run_main
from velmora.core.parameter_sweep import Mapping_Wrapper

STUDY = dict(total_data_points=4, temperature_range_max=950, reactor_length_range_constant=0.02, intnum=8)
CHECKPOINT = "parametric_study_P&T.checkpoint.jsonl"


class QuickModel(StandInModel):
    """Every run succeeds at once with a summary that depends on the point."""

    def third_state_entry(self):
        return self.temp / 100.0


@pytest.fixture
def finished(tmp_path, monkeypatch):
    """A finished study in tmp_path: (records, checkpoint path, results path)."""
    monkeypatch.setattr(ps, "MovingSectionalModel", QuickModel)
    monkeypatch.chdir(tmp_path)
    wrapper = Mapping_Wrapper(**STUDY)
    records = wrapper.run_parametric_study()
    return records, tmp_path / CHECKPOINT, tmp_path / wrapper.last_generated_filename


def resume(source, **changes):
    return Mapping_Wrapper(**dict(STUDY, **changes)).run_parametric_study(resume=str(source))


def test_settings_are_kept_with_the_checkpoint_and_beside_the_results(finished):
    records, checkpoint, results = finished
    first = json.loads(checkpoint.read_text().splitlines()[0])["study_settings"]
    beside = json.loads(results.with_suffix(".json").read_text())
    assert first == beside
    assert beside["study"] == "parametric" and beside["velmora_version"] == "0.1.0"
    assert beside["map_requested"] == "P&T" and beside["grid_size"] == 2
    assert beside["ranges"] == {"P": [0.001, 0.01], "T": [800.0, 950.0]}
    assert beside["constants"] == {"D": 1.5e-8, "L": 0.02}
    # every model keyword: the ones given and the defaults the runs relied on (the catalyst)
    keywords = beside["model_keywords"]
    assert keywords["intnum"] == 8 and keywords["catalsyt_element"] == "Ni"
    from velmora.core.growth_simulator import parameter_table

    assert set(keywords) == {row["keyword"] for row in parameter_table() if row["keyword"] is not None}


@pytest.mark.parametrize("source", ["checkpoint", "results"])
def test_a_resume_with_other_settings_is_refused_naming_the_first_difference(finished, source, capsys):
    records, checkpoint, results = finished
    path = checkpoint if source == "checkpoint" else results
    where = f"{checkpoint}, line 1" if source == "checkpoint" else str(results.with_suffix(".json"))
    for changes, difference in [
        (dict(reactor_length_range_constant=0.03), "constants.L is 0.02 there, 0.03 here"),
        (dict(catalsyt_element="Fe"), 'model_keywords.catalsyt_element is "Ni" there, "Fe" here'),
        (dict(temperature_range_min=850), "ranges.T is [800.0, 950.0] there, [850.0, 950.0] here"),
        (dict(total_data_points=9), "grid_size is 2 there, 3 here"),
        (dict(intnum=10), "model_keywords.intnum is 8 there, 10 here"),
    ]:
        capsys.readouterr()
        with pytest.raises(ValueError) as refused:
            resume(path, **changes)
        assert str(refused.value) == f"{where}: written by a study with other settings: {difference}"
        assert "Simulation " not in capsys.readouterr().out  # nothing ran

    # the same settings, numbers given as ints or floats alike, resume and run nothing
    again = resume(path, temperature_range_max=950.0, intnum=8)
    out = capsys.readouterr().out
    assert "Resuming: 4 of 4 simulations already recorded" in out and "Simulation " not in out
    assert again == records


def test_files_without_settings_resume_as_before(finished, capsys):
    records, checkpoint, results = finished
    results.with_suffix(".json").unlink()
    lines = checkpoint.read_text().splitlines()
    checkpoint.write_text("\n".join(lines[1:]) + "\n")
    for path in (results, checkpoint):
        capsys.readouterr()
        # the settings differ, but these files do not say which settings they had
        assert resume(path, intnum=10) == records
        assert "Simulation " not in capsys.readouterr().out


@pytest.mark.parametrize("column", ["P_parameter", "T_parameter"])
def test_a_record_off_the_grid_of_either_axis_is_refused(finished, column):
    # settings match; one hand-edited record names another value of one map axis
    records, checkpoint, _ = finished
    lines = checkpoint.read_text().splitlines()
    record = json.loads(lines[2])
    record[column] *= 1.5
    lines[2] = json.dumps(record)
    checkpoint.write_text("\n".join(lines) + "\n")
    with pytest.raises(ValueError, match=r"line 3: recorded run 2 \(simulation_id 2\) was made by a different study"):
        resume(checkpoint)


def test_checkpoint_reader_refuses_what_no_study_wrote(finished, capsys):
    records, checkpoint, results = finished
    lines = checkpoint.read_text().splitlines()
    settings, runs = lines[0], lines[1:]

    def refused(text, name=CHECKPOINT):
        path = checkpoint.with_name(name)
        path.write_text(text)
        with pytest.raises(ValueError) as caught:
            resume(path)
        message = str(caught.value)
        assert "\n" not in message and message.startswith(str(path))
        return message[len(str(path)):]

    # the same run twice: harmless when the records agree, refused when they differ
    capsys.readouterr()
    checkpoint.write_text("\n".join([settings] + runs + [runs[1]]) + "\n")
    assert resume(checkpoint) == records
    other = json.loads(runs[1])
    other["wall_number_avg"] += 1
    assert refused("\n".join([settings] + runs + [json.dumps(other)]) + "\n") == (
        ", line 6: recorded run 5 is a second, different record of simulation_id 2 (the first is at line 3)")
    # a wall number of Infinity (and NaN) is no finished run's record
    for value, kind in ((float("inf"), "infinite"), (float("nan"), "NaN")):
        edited = json.dumps(dict(json.loads(runs[0]), wall_number_avg=value))  # Infinity, NaN
        assert refused("\n".join([settings, edited] + runs[1:]) + "\n") == (
            f", line 2: recorded run 1 is not a finished run's record: wall_number_avg is {kind}, "
            "not a finite number or missing")
    # a simulation_id of 5,000 digits, on the last line (no longer taken for a torn write) or any other
    huge = runs[0].replace('"simulation_id": 1', '"simulation_id": ' + "9" * 5000)
    for body, line in (([settings] + runs[1:] + [huge], 5), ([settings, huge] + runs[1:], 2)):
        assert refused("\n".join(body) + "\n") == (
            f", line {line}: not a run record: the whole number 999999999999... "
            "(5000 digits) is beyond the range of a record")
    # settings anywhere but on the first line
    assert refused("\n".join([runs[0], settings] + runs[1:]) + "\n") == (
        ", line 2: study settings belong on the first line, not here")
    # an empty file, as a checkpoint or as a results file
    for name in ("empty.jsonl", "empty.csv"):
        for text in ("", "\n  \n"):
            assert refused(text, name) == ", line 1: the file is empty (no study settings, no recorded runs)"
    # a settings file beside a results file that is not JSON
    results.with_suffix(".json").write_text('{"study": "parametric",\n  "grid_size": 2,,\n}')
    with pytest.raises(ValueError, match=f"^{results.with_suffix('.json')}, line 2: not JSON$"):
        resume(results)
    # a write torn by a kill (no newline yet) is still dropped without a word
    checkpoint.write_text("\n".join([settings] + runs[:3]) + "\n" + runs[3][:40])
    assert resume(checkpoint) == records


def test_command_line_refuses_another_study_with_exit_2(finished, capsys):
    _, checkpoint, _ = finished
    study = ["study", "--points", "4", "--range", "T", "800", "950", "--set", "intnum=8", "--workers", "1",
             "--no-progress", "--output", "again", "--resume", str(checkpoint)]
    code, out, err = run_main(capsys, *study, "--constant", "L", "0.03")
    assert code == 2 and "Simulation " not in out
    assert err == (f"velmora study: error: {checkpoint}, line 1: written by a study with other settings: "
                   "constants.L is 0.02 there, 0.03 here\n")
    code, out, err = run_main(capsys, *study, "--constant", "L", "0.02")
    assert code == 0 and err == ""
    assert "Resuming: 4 of 4 simulations already recorded" in out and "Simulation " not in out
    assert out.splitlines()[-1].startswith("4 runs: 4 succeeded")
    for bad, why in (("0", "must be a finite number of seconds above 0, got 0"),
                     ("soon", "'soon' is not a number of seconds")):
        code, _, err = run_main(capsys, "study", "--run-timeout", bad)
        assert code == 2 and err.splitlines()[-1] == f"velmora study: error: argument --run-timeout: {why}"
    code, _, err = run_main(capsys, "study", "--run-timeout", "5", "--dask", "tcp://nowhere:8786")
    assert code == 2 and err.splitlines()[-1] == ("velmora study: error: argument --run-timeout: a Dask cluster "
                                                  "cannot stop a running task; use --workers")
