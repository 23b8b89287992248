"""The model's field table: the attributes it lists, the constructor keywords it
drives, the type stub generated from it and the command-line checks built on it."""

import argparse
import ast
import shutil

import numpy as np
import pytest

from velmora import _parameters, cli
from velmora.core import growth_simulator
from velmora.core.growth_simulator import MovingSectionalModel, get_mechanism_path

KIND_TYPES = {
    "int": int, "float": float, "bool": bool, "str": str, "dict": dict, "array": np.ndarray, "list": list,
    "tuple": tuple, "int or None": (int, type(None)), "float or None": (float, type(None)), "object": object,
}
PARTS = {"parameter", "material constant", "flow state", "section state", "history"}


@pytest.fixture(scope="module")
def rows():
    return growth_simulator.parameter_table()


@pytest.fixture(scope="module")
def small_model():
    return MovingSectionalModel(intnum=4)


def test_rows_are_complete_and_names_unique(rows):
    names = [row["name"] for row in rows]
    assert len(names) == len(set(names))
    assert {row["part"] for row in rows} == PARTS
    for row in rows:
        assert set(row) == {"name", "keyword", "part", "kind", "annotation", "writable", "default", "unit", "meaning"}
        assert row["kind"] in KIND_TYPES and row["meaning"]
        assert (row["keyword"] is not None) == (row["part"] == "parameter")
    # Keywords equal their attributes except for the class-private ones.
    renamed = {row["keyword"]: row["name"] for row in rows if row["keyword"] not in (None, row["name"])}
    assert renamed == {"__xqtot": "_MovingSectionalModel__xqtot",
                       "__gp_thickness": "_MovingSectionalModel__gp_thickness"}
    assert MovingSectionalModel.parameter_table() == rows


def test_every_bound_attribute_is_a_row_and_every_row_is_bound(rows):
    properties = {name: value for name, value in vars(MovingSectionalModel).items() if isinstance(value, property)}
    assert set(properties) == {row["name"] for row in rows}
    assert {name for name, value in properties.items() if value.fset is not None} == \
        {row["name"] for row in rows if row["writable"]}


def test_values_of_a_built_model_have_the_kind_of_their_row(rows, small_model):
    absent_until_a_step = {"AA12", "carbon_composition"}
    for row in rows:
        if row["name"] in absent_until_a_step:
            with pytest.raises(AttributeError, match=row["name"]):
                getattr(small_model, row["name"])
            continue
        value = getattr(small_model, row["name"])
        assert isinstance(value, KIND_TYPES[row["kind"]]), row["name"]
        if row["kind"] in ("int", "float"):
            assert not isinstance(value, bool), row["name"]
        if row["part"] == "parameter" and row["name"] != "intnum":
            assert value == row["default"] and type(value) is type(row["default"]), row["name"]


def changed_value(row):
    """A value different from the row's default that construction still accepts."""
    name, default = row["keyword"], row["default"]
    special = {
        "intnum": 5, "catalsyt_element": "Fe", "kinetics_mechanism_type": "FFCM2_copy",
        "feedstock_gas_name_dominant_current": "C2H4", "surface_kinetics_type": "Surface_Kinetics_Ma_etal_2005",
        "gas_initial_composition": {"C2H2": 0.01, "H2": 0.01, "N2": 0.98},
    }
    if name in special:
        return special[name]
    if row["kind"] == "bool":
        return not default
    if row["kind"] == "str":
        return "changed " + name
    if row["kind"] == "int":
        return default + 1
    return default * 1.25


def test_every_keyword_reaches_its_attribute(rows, tmp_path, monkeypatch):
    # A second mechanism name: a copy of the shipped file, found in the working folder.
    shutil.copy(get_mechanism_path("FFCM2"), tmp_path / "FFCM2_copy.yaml")
    monkeypatch.chdir(tmp_path)
    parameters = [row for row in rows if row["part"] == "parameter"]
    settings = {row["keyword"]: changed_value(row) for row in parameters}
    for row in parameters:
        assert settings[row["keyword"]] != row["default"], row["keyword"]
    model = MovingSectionalModel(**settings)
    for row in parameters:
        value = getattr(model, row["name"])
        expected = settings[row["keyword"]]
        assert value == expected and type(value) is type(expected), row["name"]
    assert len(model.y) == 4 * 5 + 1 and model.rhop == 7870
    # A number reads back by its row's kind, whatever Python type was given: an integral value
    # of an "int" number as an int, anything else as a float.
    m = MovingSectionalModel(intnum=3, total_pressure=101325.0, reactor_length=1, min_temp=293.5)
    assert type(m.total_pressure) is int and m.total_pressure == 101325
    assert type(m.reactor_length) is float and m.reactor_length == 1.0
    assert type(m.min_temp) is float and m.min_temp == 293.5


def stub_declarations(path):
    """Attribute annotations and read-only properties declared in the stub's MovingSectionalModel."""
    with open(path, encoding="utf-8") as f:
        tree = ast.parse(f.read())
    cls = next(node for node in tree.body if isinstance(node, ast.ClassDef) and node.name == "MovingSectionalModel")
    declared = {}
    for node in cls.body:
        if isinstance(node, ast.AnnAssign):
            declared[node.target.id] = (ast.unparse(node.annotation), True)
        elif isinstance(node, ast.FunctionDef) and any(
                isinstance(d, ast.Name) and d.id == "property" for d in node.decorator_list):
            declared[node.name] = (ast.unparse(node.returns), False)
    return declared


def test_stub_declares_exactly_the_table(rows):
    declared = stub_declarations(_parameters.default_stub_path())
    expected = {row["name"]: (row["annotation"], row["writable"]) for row in rows}
    assert set(declared) == set(expected), set(declared) ^ set(expected)
    mismatched = {name for name in expected if declared[name] != expected[name]}
    assert not mismatched


def test_write_stub_restores_a_stub_that_drifted(rows, tmp_path):
    original = _parameters.default_stub_path()
    drifted = tmp_path / "growth_simulator.pyi"
    text = open(original, encoding="utf-8").read()
    text = text.replace("    reactor_length: float\n", "").replace("    xdtube: float\n", "    xdtube: str\n")
    drifted.write_text(text, encoding="utf-8")
    assert stub_declarations(drifted) != stub_declarations(original)
    _parameters.write_stub(str(drifted), rows)
    assert stub_declarations(drifted) == stub_declarations(original)
    # A stub without the generated block gets one before __init__.
    start, end = text.index(_parameters.STUB_BEGIN), text.index(_parameters.STUB_END) + len(_parameters.STUB_END) + 1
    drifted.write_text(text[:start] + text[end:], encoding="utf-8")
    assert "reactor_length" not in stub_declarations(drifted)
    _parameters.write_stub(str(drifted), rows)
    assert stub_declarations(drifted) == stub_declarations(original)


class RaisingParser(argparse.ArgumentParser):
    def error(self, message):
        raise ValueError(message)


def check_set(pairs, parameters=None):
    cli.check_settings(pairs, parameters or cli.model_parameters(), RaisingParser(), "run")


def test_command_line_keyword_set_is_the_table(rows):
    keywords = [row["keyword"] for row in rows if row["keyword"]]
    assert list(cli.model_parameters()) == keywords
    kinds = cli.model_parameters()
    assert kinds["intnum"] == ("count", None) and kinds["reactor_length"] == ("number", "positive")
    assert kinds["gas_initial_composition"][0] == "mapping" and kinds["plot_enabled"][0] == "flag"
    assert kinds["min_temp"] == ("number", "positive") and kinds["fraction_cnt_gp"] == ("number", None)


def test_keyword_check_accepts_model_keywords():
    check_set([("intnum", 8), ("reactor_length", 0.02), ("total_pressure", 2e5),
               ("catalsyt_element", "Fe"), ("__xqtot", 3e-5), ("plot_enabled", False),
               ("gas_initial_composition", {"C2H2": 0.01, "N2": 0.99})])


@pytest.mark.parametrize("pairs, texts", [
    ([("temp", 1000)], ["unknown parameter 'temp'", "min_temp", "--temperature"]),
    ([("reactor_lenght", 0.6)], ["unknown parameter 'reactor_lenght'", "reactor_length"]),
    ([("xqtot", 1e-5)], ["__xqtot"]),
    ([("intnum", 2.5)], ["intnum=2.5 must be a whole number"]),
    ([("intnum", True)], ["intnum=True must be a whole number"]),
    ([("reactor_length", "0.6m")], ["reactor_length='0.6m' must be a finite number"]),
    ([("reactor_length", -1.0)], ["reactor_length=-1.0 must be positive"]),
    ([("catalsyt_element", 26)], ["catalsyt_element=26 must be text"]),
    ([("plot_enabled", "yes")], ["plot_enabled='yes' must be True or False"]),
    ([("gas_initial_composition", "N2")], ["gas_initial_composition='N2' must be a dict of mole fractions"]),
])
def test_keyword_check_names_the_problem(pairs, texts):
    with pytest.raises(ValueError) as caught:
        check_set(pairs)
    for text in texts:
        assert text in str(caught.value)


def test_values_the_check_refuses_are_refused_by_the_constructor_too():
    for key, value in [("intnum", 2.5), ("intnum", "8"), ("reactor_length", "0.6m"), ("total_pressure", None)]:
        with pytest.raises(ValueError):
            check_set([(key, value)])
        with pytest.raises(TypeError, match=key):
            MovingSectionalModel(**{key: value})


def test_parameter_listing(rows, capsys):
    listing = _parameters.format_parameters()
    lines = listing.splitlines()
    assert lines[0] == "keyword parameters:"
    keywords = [row["keyword"] for row in rows if row["keyword"]]
    assert [line.split()[0] for line in lines[1:]] == keywords
    line = next(line for line in lines if line.split()[0] == "reactor_length")
    assert "float" in line and "default 0.6 [m]" in line and "heated reactor length" in line
    line = next(line for line in lines if line.split()[0] == "total_initial_concentration")
    assert "default 1e11 [1/m^3]" in line
    assert "(read-only attribute)" in next(line for line in lines if line.split()[0] == "intnum")
    everything = _parameters.format_parameters(tuple(_parameters.PART_TITLES))
    listed = {line.split()[0] for line in everything.splitlines() if line.startswith("  ")}
    assert listed == {row["keyword"] or row["name"] for row in rows}
    _parameters.list_parameters()
    assert capsys.readouterr().out == listing
    assert _parameters.main(["--bogus"]) == 2


def test_study_settings_may_carry_classifier_keywords():
    from velmora.ml.phase_boundary_learner import _Main_ML_2D

    # Every classifier keyword the check lets through is one the classifier stores.
    for number, key in enumerate(cli.classifier_parameters()):
        assert getattr(_Main_ML_2D(**{key: 1000 + number}), key) == 1000 + number
    both = {**cli.model_parameters(), **cli.classifier_parameters()}
    check_set([("iterations", 2000), ("intnum", 8)], both)
    with pytest.raises(ValueError, match="'iteration'.*iterations"):
        check_set([("iteration", 10)], both)
