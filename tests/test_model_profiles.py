"""Temperature/velocity profiles along the reactor and the gas properties."""
import numpy as np
import pytest

from velmora.core.growth_simulator import MovingSectionalModel

CELNIK = [2.97405984e-6, -0.000521031728, 0.0344427829, -1.05640031, 13.6315092, -13.523073, 424.851083]
AHMAD = [-4.87539642e-10, 5.70126603e-8, 7.20475763e-6, -0.00173087449, 0.130007464, -4.82438876, 93.1335933,
         253.274781]
POSITIONS = [0.0, 0.05, 0.17, 0.3, 0.45, 0.6]


@pytest.fixture(scope="module")
def model():
    return MovingSectionalModel(intnum=6)


def inlet_velocity(m):
    return 4 * m._MovingSectionalModel__xqtot / (m.vpi * m.xdtube ** 2)


def test_profiles_at_listed_positions(model):
    m = model
    m.paper_name_for_temperature_history = "custom"
    for t in POSITIONS:
        m.temp_vel(t)
        assert m.temp == 873 and isinstance(m.temp, float)  # temp is a float number of the model
        assert m.vel == pytest.approx(inlet_velocity(m) * 873 / 293, rel=1e-15)

    m.paper_name_for_temperature_history = "Celnik_2008"
    m.temp_vel(0.0)
    assert m.temp == pytest.approx(424.851083, rel=1e-15)
    floored = 0
    for t in POSITIONS + list(np.linspace(0, 0.6, 41)):
        m.temp_vel(t)
        expected = max(np.poly1d(CELNIK)(100 * t), 424)
        floored += expected == 424
        assert m.temp == pytest.approx(expected, rel=1e-14)
        assert m.vel == pytest.approx(inlet_velocity(m) * expected / 293, rel=1e-14)

    m.paper_name_for_temperature_history = "Ahmad_2019"
    m.temp_vel(0.0)
    assert m.temp == 610.15  # 526.424781 K raised to the floor
    for t in POSITIONS:
        m.temp_vel(t)
        assert m.temp == pytest.approx(max(np.poly1d(AHMAD)(100 * t) + 273.15, 610.15), rel=1e-14)
    m.temp_vel(0.3)
    assert m.temp > 900  # the heated zone


def test_study_temperature_wins_and_unknown_profile_keeps_temperature(model):
    m = model
    m.wrapper_mapping_temp = 1000
    for name in ("custom", "Celnik_2008", "Ahmad_2019", "other"):
        m.paper_name_for_temperature_history = name
        m.temp_vel(0.2)
        assert m.temp == 1000 and isinstance(m.temp, float)
        assert m.vel == pytest.approx(inlet_velocity(m) * 1000 / 293, rel=1e-15)
    m.wrapper_mapping_temp = None
    m.paper_name_for_temperature_history = "other"
    m.temp_vel(0.5)
    assert m.temp == 1000

    fresh = MovingSectionalModel(intnum=4, paper_name_for_temperature_history="other")
    with pytest.raises(AttributeError, match="has no attribute 'temp'"):
        fresh.temp_vel(0.1)


def test_gas_properties_from_current_gas_state():
    m = MovingSectionalModel(intnum=4)
    with pytest.raises(AttributeError) as err:
        m.props()
    assert str(err.value) == "'MovingSectionalModel' object has no attribute 'AA12'"
    m.AA12 = m.AA00
    m.temp_vel(0.1)
    m.props()
    rho = m.AA00[0]["curr_dens"][0]
    mu = m.AA00[0]["curr_visc"][0]
    assert m.rhog == rho and m.eta == mu
    assert m.xnu == pytest.approx(mu / rho, rel=1e-15)
    assert m.xlm == pytest.approx(mu / rho * np.sqrt(m.vpi * 28.1 / 2 / 8.31441 / 873 / 1000), rel=1e-14)
    assert 1e-8 < m.xlm < 1e-6  # a gas mean free path at atmospheric pressure
