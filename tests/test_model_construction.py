"""Construction of the reactor model: parameters, element data, derived quantities, arrays."""

import math
import os

import numpy as np
import pytest

from velmora.core import growth_simulator
from velmora.core.growth_simulator import MovingSectionalModel, get_mechanism_path


@pytest.fixture(scope="module")
def default_model():
    return MovingSectionalModel()


def test_mechanism_path_points_at_the_shipped_file():
    path = get_mechanism_path("FFCM2")
    assert os.path.isfile(path) and path.endswith(os.path.join("data", "FFCM2.yaml"))
    assert get_mechanism_path("NoSuchMechanism") == "NoSuchMechanism.yaml"


def test_defaults(default_model):
    m = default_model
    assert m.catalsyt_element == "Ni"
    assert m.rhop == 8908 and isinstance(m.rhop, int)
    assert m._MovingSectionalModel__xmwp == 58.69
    assert m.cv == pytest.approx(0.44 * 58.69)
    assert m.flag_id_mat == 1
    assert m.intnum == 35 and (m.int2num, m.int6num) == (70, 210)
    assert len(m.y) == 141
    assert m.y[0] == 1e11 / m.AA00[0]["curr_dens"][0]
    assert m.y[0] == m.initial_N and not np.any(m.y[1:])
    assert m.vel == 4 * 2.01e-5 / (3.1415926536 * 0.0254**2) * 293 / 293
    assert m.reactor_volume == pytest.approx(0.25 * 3.1415926536 * 0.0254**2 * 0.6)
    assert m.density_initial == pytest.approx(28.1 * 101325 / 8.314 / 293 / 1000)
    assert m.surf_cov_gp_current == 0.5
    assert m.inlet_initial_partial_pressure == {
        "C2H2": 0.00452 * 101325, "C2H4": 1e-15 * 101325, "H2": 0.00905 * 101325, "N2": 0.90498 * 101325,
    }
    assert m.wrapper_mapping_temp is None and m.encapsulation_cond is False
    assert m.lengthththt == 0 and isinstance(m.lengthththt, int)


def test_private_names_are_mangled(default_model):
    m = default_model
    assert m._MovingSectionalModel__xqtot == 2.01e-5
    assert m._MovingSectionalModel__gp_thickness == 3.4e-10
    assert (m._MovingSectionalModel__A_diff_H2Ni, m._MovingSectionalModel__E_diff_H2Ni) == (7.2e-7, 39800)
    assert (m._A_H2_diffusion, m._Ea_H2_diffusion) == (7.2e-7, 39800)
    assert not hasattr(m, "__xqtot")


def test_zeroed_arrays_and_empty_histories(default_model):
    m = default_model
    n = 35
    assert m.yp.shape == (4 * n + 1,) and m.carbon_data.shape == (6 * n,)
    assert m.betafu.shape == (n, n)
    assert m.jmin.shape == (n, n + 1) and m.jmin.dtype == np.int64
    assert m.growth_rate.shape == (n - 2,) and m.final_values.shape == (7,)
    assert m.initial_conditions_surf_kin_current == [0, 0, 0, 0, 0, 0]
    for name in ("wall_number_section_saved", "carbon_data_saved", "xdm_saved", "kn_saved", "dp_saved",
                 "carbon_mass_balance_saved", "xdp_gp_saved", "temp_gas_saved"):
        assert getattr(m, name) == []


def test_iron_selects_its_material_data():
    m = MovingSectionalModel(catalsyt_element="Fe", intnum=4)
    assert (m.rhop, m._MovingSectionalModel__xmwp, m.sigma_NP) == (7870, 55.845, 1.87)
    assert m.a == 2.52e-10 and m.lattice_parameter == 2.866e-10 and m.flag_id_mat == 2
    assert m.atom_volume == pytest.approx(3.1415926536 / 6 * 2.52e-10**3)
    assert m.volume_unitcell == pytest.approx(2.866e-10**3)
    assert m._A_H2_diffusion == 5e-8


def test_unknown_element_names_the_missing_attribute():
    with pytest.raises(AttributeError, match="rhop_Co"):
        MovingSectionalModel(catalsyt_element="Co")


def test_unknown_keywords_are_ignored_and_positional_arguments_refused():
    m = MovingSectionalModel(reactor_lenght=2.0, intnum=3)
    assert m.reactor_length == 0.6
    with pytest.raises(TypeError):
        MovingSectionalModel(0.6)


def test_small_section_count():
    m = MovingSectionalModel(intnum=3)
    assert len(m.growth_rate) == 1 and len(m.y) == 13
    with pytest.raises(ValueError, match="intnum"):
        MovingSectionalModel(intnum=1)


def test_attributes_are_writable_and_extra_ones_allowed():
    m = MovingSectionalModel(intnum=4, reactor_length=1)
    assert m.reactor_length == 1 and isinstance(m.reactor_length, float)
    m.reactor_length = 0.25
    assert m.reactor_length == 0.25
    m.wrapper_mapping_temp = 1000
    assert m.wrapper_mapping_temp == 1000
    m.my_note = "anything"
    assert m.my_note == "anything"
    y = m.y
    y[1] = 5.0
    m.y = y
    assert m.y[1] == 5.0
    with pytest.raises(ValueError, match="y must hold 17"):
        m.y = np.zeros(3)
    with pytest.raises(AttributeError):
        m.intnum = 9


@pytest.mark.parametrize("keywords, error, text", [
    (dict(intnum="8"), TypeError, "intnum must be an integer, not 'str'"),
    (dict(intnum=2.5), TypeError, "intnum must be an integer, not 'float'"),
    (dict(intnum=None), TypeError, "intnum must be an integer"),
    (dict(intnum=2**63), OverflowError, "intnum does not fit"),
    (dict(reactor_length="0.6"), TypeError, "reactor_length must be a real number, not 'str'"),
    (dict(total_pressure=None), TypeError, "total_pressure must be a real number"),
    (dict(gas_initial_composition=[("C2H2", 0.01)]), TypeError, "gas_initial_composition must be a dict, not 'list'"),
])
def test_keywords_of_the_wrong_type_are_refused(keywords, error, text):
    with pytest.raises(error, match=text):
        MovingSectionalModel(**keywords)


def test_non_numbers_assigned_to_numeric_attributes_are_type_errors(default_model):
    before = default_model.temp
    for name, value in [("temp", "hot"), ("reactor_length", None), ("wrapper_mapping_temp", [1.0]),
                        ("flag_id_mat", "Ni"), ("_MovingSectionalModel__xqtot", {})]:
        with pytest.raises(TypeError, match=name):
            setattr(default_model, name, value)
    with pytest.raises(OverflowError):
        default_model.flag_id_mat = 2**70
    with pytest.raises(TypeError, match="gas_initial_composition must be a dict, not 'int'"):
        default_model.gas_initial_composition = 5
    with pytest.raises(ValueError, match="simulation_time must be an array of real numbers"):
        default_model.simulation_time = ["a"]
    assert default_model.temp == before
    with pytest.raises(TypeError, match="method_cnt"):
        default_model.aerosol_ratio("1", 0.5)
    with pytest.raises(TypeError, match="prob"):
        default_model.aerosol_ratio(1, "0.5")


def test_inlet_gas_state_and_custom_composition():
    comp = {"C2H2": 0.01, "H2": 0.01, "N2": 0.98}
    m = MovingSectionalModel(intnum=4, gas_initial_composition=comp, ambient_temp=350.0, min_temp=350.0)
    assert m.gas_initial_composition == comp
    assert m.gas.T == pytest.approx(350.0)
    assert list(m.AA00[3])[0] == "C2H2"
    assert m.vel == pytest.approx(4 * 2.01e-5 / (math.pi * 0.0254**2), rel=1e-9)


def test_module_binds_its_companions():
    for name in ("fast_kernels", "gas_reactions", "np_thermal", "acetylene_growth", "species_detector",
                 "carbon_sat", "Results_Processor"):
        assert hasattr(growth_simulator, name)
