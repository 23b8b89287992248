"""Carbon saturation test of one section."""
import re

import numpy as np
import pytest

from velmora.modules.solubility_check import carbon_sat

KB = 1.38065e-23


def saturation_ratio(temp, dp, flag):
    """Carbon atoms per metal atom at saturation, read back from a saturated section."""
    cnt_cnd, inside = carbon_sat(1.0, 1e9, temp, dp, flag, KB)
    assert cnt_cnd == 1
    return float(inside)


class TestSaturationLimit:
    @pytest.mark.parametrize("flag, dp, expected", [
        (1, 5e-9, 0.133894),
        (1, 2e-8, 0.066880),
        (1, 1e-9, 5.4271),
        (2, 5e-9, 0.414686),
        (1.0, 5e-9, 0.133894),          # numeric equality: 1.0 is nickel
        (np.int64(2), 5e-9, 0.414686),
    ])
    def test_values_at_1000_K(self, flag, dp, expected):
        assert saturation_ratio(1000.0, dp, flag) == pytest.approx(expected, rel=2e-5)

    def test_large_particles_approach_bulk_solubility(self):
        assert saturation_ratio(1000.0, 1.0, 1) == pytest.approx(0.053065, rel=1e-8)
        assert saturation_ratio(1000.0, 1.0, 2) == pytest.approx(0.179905, rel=1e-8)

    def test_saturated_amount_scales_with_metal_not_carbon(self):
        one = carbon_sat(2000.0, 1e4, 1000.0, 5e-9, 1, KB)
        double_carbon = carbon_sat(2000.0, 2e4, 1000.0, 5e-9, 1, KB)
        assert one == double_carbon
        assert one[1] == pytest.approx(2000.0 * 0.133894, rel=2e-5)


class TestBranches:
    def test_ratio_equal_to_limit_is_not_saturated(self):
        limit = saturation_ratio(1000.0, 5e-9, 1)
        carbon = float(limit)
        cnt_cnd, inside = carbon_sat(1.0, carbon, 1000.0, 5e-9, 1, KB)
        assert cnt_cnd == 0 and inside is carbon
        # one ulp more saturates
        assert carbon_sat(1.0, np.nextafter(carbon, 1.0), 1000.0, 5e-9, 1, KB)[0] == 1

    @pytest.mark.parametrize("carbon", [0, 0.0, np.float64(3.0), 10.0])
    def test_unsaturated_returns_the_callers_object(self, carbon):
        cnt_cnd, inside = carbon_sat(1000.0, carbon, 1000.0, 5e-9, 2, KB)
        assert cnt_cnd == 0 and type(cnt_cnd) is int  # stores as 0.0 in a float array
        assert inside is carbon


class TestFailures:
    @pytest.mark.parametrize("flag, shown", [(0, "0"), (3, "3"), (1.5, "1.5"), ("1", "'1'"), (None, "None")])
    def test_unknown_material_names_the_flag_and_its_values(self, flag, shown):
        with pytest.raises(ValueError, match=rf"^flag_id_mat must be 1 \(Ni\) or 2 \(Fe\), got {re.escape(shown)}$"):
            carbon_sat(1.0, 1.0, 1000.0, 5e-9, flag, KB)

    @pytest.mark.parametrize("args, message", [
        ((0.0, 1.0, 1000.0, 5e-9, 1, KB), "float division by zero"),
        ((0, 1, 1000.0, 5e-9, 1, KB), "division by zero"),
        ((1.0, 1.0, 0.0, 5e-9, 1, KB), "float division by zero"),
        ((1.0, 1.0, 1000.0, 0.0, 1, KB), "float division by zero"),
        ((1.0, 1.0, 1000.0, 5e-9, 1, 0.0), "float division by zero"),
    ])
    def test_plain_zero_divisors_raise(self, args, message):
        with pytest.raises(ZeroDivisionError, match=f"^{message}$"):
            carbon_sat(*args)

    def test_numpy_zero_divisors_follow_ieee(self):
        # no metal: infinite ratio, saturated, nothing inside
        assert carbon_sat(np.float64(0.0), 5.0, 1000.0, 5e-9, 1, KB) == (1, 0.0)
        # zero diameter: infinite size factor, everything fits
        assert carbon_sat(1.0, 5.0, 1000.0, np.float64(0.0), 1, KB) == (0, 5.0)

    def test_argument_count(self):
        # a missing or a surplus argument: the six parameters are shown
        for args in ((1.0, 1.0, 1000.0, 5e-9, 1), (1.0, 1.0, 1000.0, 5e-9, 1, KB, 0)):
            with pytest.raises(TypeError, match=r"^carbon_sat\(\): incompatible function arguments") as err:
                carbon_sat(*args)
            assert ("(section_metal_number: object, section_carbon_number: object, temp: object, dp: object, "
                    "flag_id_mat: object, Kb: object)") in str(err.value)
        assert carbon_sat(section_metal_number=1.0, section_carbon_number=0.0, temp=1000.0, dp=5e-9,
                          flag_id_mat=1, Kb=KB) == (0, 0.0)

    def test_multi_entry_arrays_are_ambiguous(self):
        with pytest.raises(ValueError, match="truth value"):
            carbon_sat(np.ones(3), 1.0, 1000.0, 5e-9, 1, KB)
