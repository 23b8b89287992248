"""Characteristic sintering time by catalyst material."""
import math

import numpy as np
import pytest

from velmora.modules.coalescence_time import characterisitc_sintering_time as sintering_time

R = 8.314


def nickel(dp, temp):
    return 6.9e15 * dp ** 4 * temp * math.exp(
        (64009 / R / temp) * (2.558 - ((3.5e-9 / dp) * (temp / 2100)) ** 3))


def iron_mechanisms(dp, temp):
    m = 1.0
    if dp > 1.092e-09:
        m = min(math.exp(-3 / (dp / 1.092e-09 - 1)), 1.0)
    m = min(max(m, 1e-40), 1e40)
    return [15700 * dp * math.exp(m * 59150 / R / temp),
            5.08e10 * dp ** 2 * math.exp(m * 83850 / R / temp),
            1.1e17 * dp ** 3 * math.exp(m * 111040 / R / temp),
            1.12e20 * dp ** 4 * math.exp(m * 185610 / R / temp)]


class TestCobalt:
    @pytest.mark.parametrize("temp, expected", [(999.999, 1e-9), (1000.0, 1e-12), (2500.0, 1e-12)])
    @pytest.mark.parametrize("dp, a, kb", [(1e-9, 2.5e-10, 1.38e-23), (0.0, None, "unused")])
    def test_constants_around_starter(self, temp, expected, dp, a, kb):
        assert sintering_time(1000.0, "COB", dp, temp, R, a, kb) == expected


class TestNickel:
    @pytest.mark.parametrize("dp, temp", [(5e-9, 1000.0), (2e-8, 1100.0), (1e-9, 900.0)])
    def test_solid_state_formula(self, dp, temp):
        # no low-temperature floor: far below the starter the formula still applies
        assert sintering_time(5000.0, "Ni", dp, temp, R, 2.5e-10, 1.38e-23) == pytest.approx(
            nickel(dp, temp), rel=1e-12)

    def test_grows_as_dp_to_the_fourth_for_large_particles(self):
        small = sintering_time(0.0, "Ni", 1e-6, 1000.0, R, 0, 0)
        large = sintering_time(0.0, "Ni", 2e-6, 1000.0, R, 0, 0)
        assert large / small == pytest.approx(16.0, rel=1e-6)
        # at a few nanometres the size term lowers the activation energy
        assert sintering_time(0.0, "Ni", 2e-9, 1000.0, R, 0, 0) / sintering_time(
            0.0, "Ni", 1e-9, 1000.0, R, 0, 0) > 16.0

    def test_liquid_range_keeps_solid_formula(self):
        # 1600 K is above the size-reduced melting point of a 3 nm particle
        assert sintering_time(0.0, "Ni", 3e-9, 1600.0, R, 0, 0) == pytest.approx(nickel(3e-9, 1600.0), rel=1e-12)

    def test_zero_diameter(self):
        with pytest.raises(ZeroDivisionError, match="^float division by zero$"):
            sintering_time(0.0, "Ni", 0.0, 1000.0, R, 0, 0)
        assert sintering_time(0.0, "Ni", np.float64(0.0), 1000.0, R, 0, 0) == 0.0


class TestIron:
    def test_below_starter_is_fixed(self):
        assert sintering_time(1000.0, "Fe", 5e-9, 999.0, R, 0, 0) == 1e-9
        at_starter = sintering_time(1000.0, "Fe", 1e-8, 1000.0, R, 0, 0)
        assert at_starter == pytest.approx(1 / sum(1 / t for t in iron_mechanisms(1e-8, 1000.0)), rel=1e-12)

    @pytest.mark.parametrize("dp", [1e-9, 1.092e-9, 3e-9, 1e-8, 1e-7])
    def test_mechanisms_act_in_parallel(self, dp):
        taus = iron_mechanisms(dp, 1200.0)
        got = sintering_time(1000.0, "Fe", dp, 1200.0, R, 0, 0)
        assert got == pytest.approx(1 / sum(1 / t for t in taus), rel=1e-12)
        assert got <= min(taus)


    def test_a_zero_diameter_of_either_sign_sinters_at_once(self):
        # -0.0 read as a diameter of its own sign made the mechanisms -inf + inf = NaN, and a
        # gas constant of 1e-300 the product 0 * inf
        assert sintering_time(1000.0, "Fe", 0.0, 1200.0, R, 0, 0) == 0.0
        assert sintering_time(1000.0, "Fe", -0.0, 1200.0, R, 0, 0) == 0.0
        assert sintering_time(1000.0, "Fe", 0.0, 1200.0, 1e-300, 0, 0) == 0.0


@pytest.mark.parametrize("element, dp, temp, gas_constant", [
    ("Ni", 5e-25, 1e-300, R),     # size prefactor underflows to 0, Arrhenius factor overflows
    ("Ni", 1e-30, 1e-200, R),
    ("Fe", 1e-200, 1e-300, R),
    ("Fe", 1e-120, 1200.0, 1e-300),
])
def test_an_underflowing_size_against_an_overflowing_arrhenius_factor_is_an_endless_time(element, dp, temp,
                                                                                         gas_constant):
    # In logarithms the Arrhenius exponent (above 1e290) beats any size prefactor (above e^-3000)
    assert sintering_time(0.0, element, dp, temp, gas_constant, 0, 0) == math.inf


class TestKeys:
    @pytest.mark.parametrize("key", ["ni", "fe", "cob", "Co", "", None, 1])
    def test_unknown_material_names_accepted_keys(self, key):
        with pytest.raises(ValueError, match="'Ni', 'Fe', 'COB'"):
            sintering_time(1000.0, key, 5e-9, 1200.0, R, 0, 0)

    def test_keywords_as_spelled(self):
        got = sintering_time(temperature_starter_for_numerical_issue=1000.0, Catalsyt_element="COB",
                             dp=1e-9, temp=900.0, R=R, a=0, kb=0)
        assert got == 1e-9
        with pytest.raises(TypeError, match=r"characterisitc_sintering_time\(\): incompatible function arguments"):
            sintering_time(1000.0, Catalyst_element="COB", dp=1e-9, temp=900.0, R=R, a=0, kb=0)
