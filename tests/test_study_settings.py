"""The study's settings table: the one list the wrapper's constructor, its stub,
the README and the command line are made from; and the one entry point of
`python -m velmora` and the `velmora` command."""
import os
import subprocess
import sys

import pytest

import velmora.core.parameter_sweep as ps
from velmora import _study_settings, cli
from velmora.core.parameter_sweep import Mapping_Wrapper


@pytest.fixture(scope="module")
def rows():
    return ps.study_setting_table()


def test_constructor_takes_the_table_in_order_with_its_defaults(rows):
    assert [row["name"] for row in rows[:2]] == ["map_requested", "total_data_points"]
    wrapper = Mapping_Wrapper()
    for row in rows:
        value = getattr(wrapper, row["name"])
        assert value == row["default"] and type(value) is type(row["default"]), row["name"]
    # positional arguments land on the settings in table order
    values = [f"value {k}" for k in range(len(rows))]
    wrapper = Mapping_Wrapper(*values, intnum=8)
    assert [getattr(wrapper, row["name"]) for row in rows] == values
    assert wrapper.Velmora_kwargs == {"intnum": 8}
    with pytest.raises(TypeError, match="Mapping_Wrapper"):
        Mapping_Wrapper(*values, "one too many")
    # each key has its two grid ends and its constant, with the unit the progress lines print
    keys = [row["key"] for row in rows if row["key"] is not None]
    assert list(dict.fromkeys(keys)) == ["P", "T", "D", "L"]
    by_key = _study_settings.settings_by_key(rows)
    defaults = Mapping_Wrapper(total_data_points=4)
    config = Mapping_Wrapper.ParametricStudyConfig(defaults)
    for key, settings in by_key.items():
        assert set(settings) == {"unit", "range_min", "range_max", "constant"}
        definition = config.parameter_definitions[key]
        assert settings["unit"] == definition["unit"]
        assert definition["constant_value"] == getattr(defaults, settings["constant"])
        assert definition["range"].tolist() == [getattr(defaults, settings["range_min"]),
                                                getattr(defaults, settings["range_max"])]


README = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "README.md")


def test_stub_and_readme_are_the_table(rows, tmp_path):
    stub = open(_study_settings.stub_path(), encoding="utf-8").read().split("\n")  # the stub velmora ships
    readme = open(README, encoding="utf-8").read().split("\n")  # the checkout's, installed or not
    block = _study_settings.stub_lines(rows)
    assert stub[stub.index(block[0]):stub.index(block[-1]) + 1] == block
    table = _study_settings.readme_table(rows)
    assert readme[readme.index(table[0]):readme.index(table[-1]) + 1] == table
    # a drifted copy is restored by --write's function
    drifted_stub, drifted_readme = tmp_path / "stub.pyi", tmp_path / "README.md"
    drifted_stub.write_text("\n".join(stub).replace("= 0.6,", "= 0.7,"))
    drifted_readme.write_text("\n".join(readme).replace("| 0.6 |", "| 0.7 |"))
    _study_settings.write(rows, stub=str(drifted_stub), readme=str(drifted_readme))
    assert drifted_stub.read_text().split("\n") == stub and drifted_readme.read_text().split("\n") == readme


def test_command_line_reads_the_table_and_the_core_parser(rows, capsys):
    assert set(cli.STUDY_VALUE_RULES) == set(_study_settings.settings_by_key(rows))
    args = cli.build_parser().parse_args(["study", "--range", "d", "1e-8", "2e-8", "--constant", "T", "900"])
    parser = args.command_parser
    settings = cli.study_settings(args, parser)
    assert settings["dp_initial_premade_range_min"] == 1e-8 and settings["dp_initial_premade_range_max"] == 2e-8
    assert settings["temperature_constant"] == 900
    # --map is checked by the study's own parser: the same request fails with the same text
    for request in ("P&T&D", "Q&T", "P&p", "P& T"):
        with pytest.raises(ValueError) as from_study:
            Mapping_Wrapper.ParametricStudyConfig(Mapping_Wrapper(map_requested=request))
        with pytest.raises(SystemExit):
            cli.build_parser().parse_args(["study", "--map", request])
        assert capsys.readouterr().err.splitlines()[-1] == f"velmora study: error: argument --map: {from_study.value}"
    assert ps._parse_map_request("t&d") == ("T", "D", ["P", "L"])


def test_one_entry_point_without_an_import_circle(tmp_path):
    # importing the command line does not import __main__ (which would run it)
    code = "import sys, velmora.cli; print('velmora.__main__' in sys.modules, velmora.cli.main.__module__)"
    shown = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert shown.stdout.split() == ["False", "velmora.cli"], shown.stderr
    # python -m velmora is the command: a usage error is the command's, exit code 2
    from conftest import velmora_cmd

    bad = velmora_cmd("study", "--points", "0", cwd=tmp_path)
    assert bad.returncode == 2 and bad.stderr.splitlines()[-1] == "velmora study: error: argument --points: must be at least 1"


def test_output_folder_is_entered_and_always_left(tmp_path, monkeypatch):
    from velmora import _folders

    monkeypatch.chdir(tmp_path)
    target = tmp_path / "new" / "runs"
    assert _folders.call_in(str(target), os.getcwd) == str(target)  # created, entered, the result handed back
    assert os.getcwd() == str(tmp_path)

    def fail():
        raise RuntimeError("run failed")

    with pytest.raises(RuntimeError, match="run failed"):
        _folders.call_in(str(target), fail)
    assert os.getcwd() == str(tmp_path)
