"""Surface-growth models of velmora.modules.acetylene_growth."""
import math

import numpy as np
import pytest
from scipy.integrate import solve_ivp

from velmora.modules import acetylene_growth as ag

Puretzky = ag.Surface_Kinetics_Puretzky_etal_2005
Ma = ag.Surface_Kinetics_Ma_etal_2005

NO_RUN = "No simulations completed successfully. Check parameters and equations."


def puretzky(dp=1.5e-8, **kwargs):
    model = Puretzky(**kwargs)
    model._dp = dp
    return model


def reference_rhs(m, y, temp_C):
    """The surface equations written out independently, from the model's attributes."""
    N_c, N_L1, N_L2, N_b, N_t, _ = y
    T = temp_C + 273.15
    kev = 8.617e-5
    n = max(m.n0 - ((N_c + N_b + N_t) / 2) / m.reactor_volume, 0)
    n_p = m.np1 + m.np2
    if n <= 0:
        n = n_p = 0
    A = 1.1516666666666666e-08 * math.exp(-8672.119316815011 / T)
    B = 3.5e-12 * math.exp(-14204.955496752465 / T)
    F_c1 = 0.25 * m.S_0 * n * math.sqrt(m.kb * T / (2 * np.pi * m.species_weight)) * math.exp(-m.E_a1 / (kev * T))
    F_c2 = (0.25 * m.S_0 * n_p * math.sqrt(m.kb * T / (2 * np.pi * m.average_species_weight_product))
            * math.exp(-m.E_a1 / (kev * T)))
    k_sb = m.B * math.exp(-m.E_sb / (kev * T))
    k_t = 4e-05 / m.dp ** 2 * math.exp(-m.E_b / (kev * T))
    area = np.pi * m.xnpr * m.dp ** 2 / 2
    h2 = m.current_H2_flux_coeff / (m.dp / 2) * area
    k_r = h2 * 1.2e8 * math.exp(-2.4 / (kev * T))
    P = m.H2_current_partial_pressure
    etch = A * P ** 2 / (1 + B * P)
    f = 1 - (N_L1 + N_L2) / (m.alpha * m.S_0 * m.n_m)
    return [
        F_c1 * f - (k_sb + m.k_c1) * N_c - etch * N_c,
        F_c2 * f + m.k_c1 * N_c - m.k_d1 * N_L2 - etch * N_L1 if m.carb_strc_surface == True else 0,  # noqa: E712
        k_r * f - m.k_d2 * N_L2 if m.carb_deactiv == True else 0,  # noqa: E712
        k_sb * N_c - k_t * N_b + m.k_d1 * N_L1,
        k_t * N_b,
        etch * (N_c + N_L1),
    ]


# --------------------------------------------------------------------------- module

def test_module_namespace():
    assert ag.nnp is np
    assert ag.math is math
    assert ag.solve_ivp is solve_ivp


# ------------------------------------------------------------------ Puretzky: construction

def test_puretzky_defaults_and_renamed_attributes():
    m = Puretzky()
    assert m.carb_strc_surface is True and m.carb_deactiv is True and m.plot_request is True
    assert m._Surface_Kinetics_Puretzky_etal_2005__initial_conditions == [0, 0, 0, 0, 0, 0]
    assert m.P_FEEDSTOCK == 266.645 and m.feedstock_gas_name == "C2H2"
    assert m.main_product_species == ["C2H4", "C4H4"]
    assert (m.reactor_volume, m.n0, m.np1, m.np2) == (0.0055, 2.2775521143014057e22, 1e4, 1e4)
    assert m.surface_coverage_gp == 1 and m.gas_NP_time_considered is True
    assert m.H2_STICKING_PROBABILITY == 0.02 and m.H2_current_partial_pressure == 1
    assert (m.xnpr, m.fraction_cnt_gp, m.gp_coverage_ratio) == (1, 0.7, 0)
    assert m.encapsulation_cond is False and m.current_H2_flux_coeff == 0 and m.dp == 0
    constants = dict(NAVA=6.022e23, kb=1.38065e-23, n_m=1e19, alpha=1, E_a1=0.41, E_sb=2.2, E_b=1.5,
                     E_p=2.6, E_rl=2.4, k_sb_known=17, T_known=848.15, k_c1=0.003, k_d1=1, k_d2=1)
    for name, value in constants.items():
        assert getattr(m, name) == value, name
    assert m.B == pytest.approx(17 / math.exp(-2.2 / (8.617e-5 * 848.15)), rel=1e-14)
    assert m.B == pytest.approx(2.0116e14, rel=1e-4)
    for late in ("species_weight", "average_species_weight_product", "S_0", "particle_area",
                 "current_H2_flux", "site_per_particle"):
        with pytest.raises(AttributeError, match=f"'Surface_Kinetics_Puretzky_etal_2005' object has no attribute '{late}'"):
            getattr(m, late)


def test_puretzky_positional_order_and_shared_defaults():
    ic = [1, 2, 3, 4, 5, 6]
    products = ["C2H4", "CH4"]
    m = Puretzky(False, 0, "plot", ic, 100.0, "CH4", products, 0.01, 1e20, 5.0, 6.0, 0.5, False,
                 0.1, 2.0, 3, 0.6, 0.2, True, 7.0)
    assert m.carb_strc_surface is False and m.carb_deactiv == 0 and m.plot_request == "plot"
    assert m._Surface_Kinetics_Puretzky_etal_2005__initial_conditions is ic
    assert m.main_product_species is products
    assert (m.P_FEEDSTOCK, m.feedstock_gas_name, m.reactor_volume, m.n0, m.np1, m.np2) == (
        100.0, "CH4", 0.01, 1e20, 5.0, 6.0)
    assert (m.surface_coverage_gp, m.gas_NP_time_considered, m.H2_STICKING_PROBABILITY) == (0.5, False, 0.1)
    assert (m.H2_current_partial_pressure, m.xnpr, m.fraction_cnt_gp, m.gp_coverage_ratio) == (2.0, 3, 0.6, 0.2)
    assert m.encapsulation_cond is True and m.current_H2_flux_coeff == 7.0
    assert Puretzky(_current_H2_flux_coeff=3.0).current_H2_flux_coeff == 3.0
    # Omitted list defaults are one object shared by all instances.
    a, b = Puretzky(), Puretzky()
    assert a._Surface_Kinetics_Puretzky_etal_2005__initial_conditions is \
        b._Surface_Kinetics_Puretzky_etal_2005__initial_conditions
    assert a.main_product_species is b.main_product_species
    # Plain instances take new attributes like any object.
    a.note = "x"
    assert a.note == "x"


def test_constructor_values_are_kept_as_passed_and_numbers_reach_the_model():
    m = Puretzky(npr=np.int64(2), n0=5e21, H2_current_partial_pressure=np.float32(3.0))
    assert type(m.xnpr) is np.int64 and type(m.H2_current_partial_pressure) is np.float32
    assert type(Puretzky().surface_coverage_gp) is int and type(Puretzky().xnpr) is int
    m._dp = 1e-8
    assert m.S_0 == pytest.approx(2 * np.pi * 1e-16, rel=1e-15)  # npr 2, nothing covered
    m.xnpr = 4  # an assignment reaches the equations as well
    m._dp = 1e-8
    assert m.S_0 == pytest.approx(4 * np.pi * 1e-16, rel=1e-15) and m.xnpr == 4
    # numbers the equations read must be real numbers, named by their attribute
    with pytest.raises(TypeError, match="^n0 must be a real number, not 'str'$"):
        Puretzky(n0="many")
    with pytest.raises(TypeError, match="^xnpr must be a real number, not 'NoneType'$"):
        m.xnpr = None
    assert m.xnpr == 4  # a refused value leaves the old one
    # values kept for callers only are not judged, nor is a formula before it is read
    odd = Puretzky(P_FEEDSTOCK="x", plot_request=None, feedstock_gas_name=12)
    assert odd.P_FEEDSTOCK == "x" and odd.feedstock_gas_name == 12
    with pytest.raises(TypeError, match="expected string or bytes-like object, got 'int'"):
        odd._dp = 1e-8
    odd.feedstock_gas_name = "CH4"
    odd._dp = 1e-8
    assert odd.species_weight == Puretzky.mass_calculator("CH4")[0]


# ------------------------------------------------------------------ Puretzky: masses and sites

def test_mass_calculator_values_and_tokens():
    mass, sites, tokens = Puretzky.mass_calculator("C2H2", 1.5e-8, 1)
    assert mass == pytest.approx(4.3236e-26, rel=1e-4)
    assert mass == pytest.approx((2 * 12.0107 + 2 * 1.00784) / 1000 / 6.02214076e23, rel=1e-15)
    assert sites == pytest.approx(1.57 * 1.5e-8 ** 2 / 3.5258432e-19, rel=1e-12)
    assert round(sites, 2) == 1001.89
    assert tokens == [("C", "2"), ("H", "2")]

    mass, sites, tokens = Puretzky.mass_calculator("CH4", dp=2e-9, npr=3)
    assert tokens == [("C", ""), ("H", "4")]
    assert mass == pytest.approx((12.0107 + 4 * 1.00784) / 1000 / 6.02214076e23, rel=1e-15)
    area = 3.14 * 2 * 1.54e-10 ** 2 + 4 * 3.14 * 2 * 6.6e-11 ** 2
    assert sites == pytest.approx(1.57 * 4e-18 * 3 / area, rel=1e-12)


def test_mass_calculator_edge_cases():
    assert Puretzky.mass_calculator("C4H4")[1] is None                 # no diameter: no site count
    assert Puretzky.mass_calculator("xy-z", 1e-8, 1) == (0.0, None, [])  # no atoms found
    assert Puretzky.mass_calculator("C10H8O2N")[2] == [("C", "10"), ("H", "8"), ("O", "2"), ("N", "")]
    with pytest.raises(ValueError, match="^Unknown element: Fe$"):
        Puretzky.mass_calculator("CFe2")
    with pytest.raises(TypeError):
        Puretzky.mass_calculator("C2H2", 1e-8)  # a diameter without a particle count


# ------------------------------------------------------------------ Puretzky: diameter

def test_dp_setter_derived_attributes():
    m = Puretzky(npr=2, fra_cnt_gp=0.9, gp_cove_rati=0.5, np1=1.0, np2=3.0)
    m._dp = 2e-8
    assert m._dp == m.dp == 2e-8
    mass = lambda f: Puretzky.mass_calculator(f)[0]  # noqa: E731
    assert m.species_weight == mass("C2H2")
    assert m.average_species_weight_product == pytest.approx((mass("C2H4") + 3 * mass("C4H4")) / 4, rel=1e-15)
    assert m.S_0 == pytest.approx((1 - min(0.1, 0.5)) * 2 * np.pi * 4e-16, rel=1e-15)


def test_negative_dp_warns_and_keeps_derived_values(capsys):
    m = Puretzky()
    m._dp = -1e-9
    assert capsys.readouterr().out == "internal warning: Negative dp value\n"
    assert m.dp == -1e-9
    with pytest.raises(AttributeError):
        m.S_0
    m._dp = 1e-8
    s0 = m.S_0
    m._dp = -2e-9
    assert m.S_0 == s0 and m.dp == -2e-9


def test_dp_setter_reads_products_at_assignment():
    m = Puretzky(main_product_species=["C2H4"])
    with pytest.raises(IndexError):
        m._dp = 1e-8
    m.main_product_species.append("N2")  # the stored list is read at each assignment
    m._dp = 1e-8
    assert m.average_species_weight_product == pytest.approx(
        (Puretzky.mass_calculator("C2H4")[0] + Puretzky.mass_calculator("N2")[0]) / 2, rel=1e-15)
    m.main_product_species = ["C2H4", "Ar"]
    with pytest.raises(ValueError, match="Unknown element: Ar"):
        m._dp = 1e-8


# ------------------------------------------------------------------ Puretzky: rates and right-hand side

def test_rate_constants_and_length():
    m = Puretzky()
    assert m.calculate_k_sb(848.15) == pytest.approx(17, rel=1e-12)
    assert m.calculate_k_sb(1000.0) > 17
    assert m.calculate_n0(500) == m.n0
    m._dp = 2e-8
    assert m.calculate_length(1.4e7) == pytest.approx(1.4e7 / (2e-8 * 1e9 / 10 * 7e6))
    m.dp = 0
    with pytest.raises(ZeroDivisionError):
        m.calculate_length(1.0)


def test_temperatures_below_absolute_zero_are_refused(capsys):
    m = puretzky()
    for kelvin in (-1.0, -1e-12, float("nan")):
        with pytest.raises(ValueError, match="calculate_k_sb: temperature_kelvin is below absolute zero"):
            m.calculate_k_sb(kelvin)
    with pytest.raises(ZeroDivisionError):  # absolute zero itself divides by zero, as written
        m.calculate_k_sb(0.0)
    state = np.array([1e3, 10.0, 10.0, 1e2, 1e2, 0.0])
    with pytest.raises(ValueError, match=r"temp_C \+ 273.15 is below absolute zero or not a number: -26.85000000000002\d* K"):
        m.ode_system(0.0, state, -300.0)
    assert all(np.isfinite(m.ode_system(0.0, state, -273.0)))  # just above absolute zero: finite rates
    # inside a run the refusal is one temperature's error line; the others still run
    results = m.run_surface_kinetics_simulation([-300.0, 600.0], (0, 1e-3))
    assert list(results) == [600.0]
    assert capsys.readouterr().out.startswith("Error in simulation at -300.0°C: temp_C + 273.15 is below absolute zero")


@pytest.mark.parametrize("temp_C", [500.0, 700.0, 950.0])
@pytest.mark.parametrize("state", [[0, 0, 0, 0, 0, 0], [3e3, 50.0, 20.0, 1e4, 5e5, 7.0], [1e2, 7e3, 1e3, 0, 0, 0]])
def test_ode_system_matches_written_out_equations(temp_C, state):
    m = puretzky(dp=1.2e-8, _current_H2_flux_coeff=1e-3, H2_current_partial_pressure=5e3, npr=2)
    got = m.ode_system(0.0, np.array(state, dtype=float), temp_C)
    assert isinstance(got, list) and len(got) == 6
    np.testing.assert_allclose(got, reference_rhs(m, state, temp_C), rtol=1e-12, atol=1e-300)
    # each evaluation leaves the particle area and the H2 flux behind
    assert m.particle_area == pytest.approx(np.pi * 2 * 1.2e-8 ** 2 / 2, rel=1e-15)
    assert m.current_H2_flux == pytest.approx(1e-3 / 0.6e-8 * m.particle_area, rel=1e-15)


def test_ode_system_switches_compare_equal_to_true():
    state = [3e3, 50.0, 20.0, 1e4, 5e5, 7.0]
    on = puretzky(carb_strc_surface=1.0, carb_deactiv=1, _current_H2_flux_coeff=1e-3)
    d_on = on.ode_system(0, state, 700)
    assert d_on[1] != 0 and d_on[2] != 0
    for off_value in (False, "yes", 2, None):
        off = puretzky(carb_strc_surface=off_value, carb_deactiv=off_value, _current_H2_flux_coeff=1e-3)
        d_off = off.ode_system(0, state, 700)
        assert d_off[1] == 0 and d_off[2] == 0
        assert d_off[0] == d_on[0] and d_off[3] == d_on[3]
    on.carb_deactiv = False  # switches are read at each evaluation
    assert on.ode_system(0, state, 700)[2] == 0


def test_ode_system_depleted_feedstock_stops_both_fluxes():
    m = puretzky(reactor_volume=1.0, n0=1e3)
    # carbon taken up 2 * n0 * volume: the feedstock (and with it the product flux) is gone
    state = [1.0e3, 0.0, 0.0, 1.0e3, 0.0, 0.0]
    d = m.ode_system(0, state, 700)
    k_sb = m.calculate_k_sb(973.15)
    assert d[0] == pytest.approx(-(k_sb + m.k_c1) * 1e3 - d[5], rel=1e-12)
    assert d[1] == pytest.approx(m.k_c1 * 1e3, rel=1e-12)


def test_ode_system_errors():
    m = Puretzky()
    with pytest.raises(AttributeError, match="^'Surface_Kinetics_Puretzky_etal_2005' object has no attribute 'S_0'$"):
        m.ode_system(0, [0] * 6, 700)
    m._dp = 1e-8
    with pytest.raises(ValueError, match=r"^not enough values to unpack \(expected 6, got 5\)$"):
        m.ode_system(0, [0] * 5, 700)
    with pytest.raises(ValueError, match=r"^too many values to unpack \(expected 6\)$"):
        m.ode_system(0, [0] * 7, 700)
    m._dp = 0.0
    with pytest.raises(ZeroDivisionError, match="float division by zero"):
        m.ode_system(0, [0] * 6, 700)


def test_calculate_n_branches():
    m = Puretzky(n0=1e6, np1=10.0, np2=20.0)
    assert m.calculate_n(700, 5.0, [100, 9, 9, 200, 300, 9]) == 1e6 - 300
    assert m.calculate_n(700, 5.0, [1e6, 0, 0, 1e6, 1e6, 0]) == 0
    with pytest.raises(ValueError, match=r"expected 6, got 4"):
        m.calculate_n(700, 5.0, [1, 2, 3, 4])
    # depletion-free estimate: the time factor applies only when the flag *is* False
    assert m.calculate_n(700, 5.0) == m.calculate_n(700, 500.0) == 1e6 - 60
    m.gas_NP_time_considered = 0
    assert m.calculate_n(700, 5.0) == 1e6 - 60
    m.gas_NP_time_considered = False
    assert m.calculate_n(700, 5.0) == pytest.approx((1 - math.exp(-0.1)) * 1e6 - 60, rel=1e-15)
    assert m.calculate_n(700, 0.0) == 0


# ------------------------------------------------------------------ Puretzky: integration

def scipy_run(m, temp_C, span):
    ic = m._Surface_Kinetics_Puretzky_etal_2005__initial_conditions
    return solve_ivp(lambda t, y: m.ode_system(t, y, temp_C), span, ic, method="LSODA", rtol=1e-8, atol=1e-15)


@pytest.mark.parametrize("temp_C,dp,h2", [(550.0, 8e-9, 0.0), (700.0, 1.5e-8, 1e-3), (900.0, 3e-8, 5e-2)])
def test_native_run_agrees_with_scipy_lsoda(temp_C, dp, h2):
    m = puretzky(dp=dp, _current_H2_flux_coeff=h2, H2_current_partial_pressure=2e4)
    span = (0.0, 0.05)
    native = m.run_surface_kinetics_simulation([temp_C], span)[temp_C]
    ref = scipy_run(m, temp_C, span)
    assert ref.success and native.success
    # global error of both solvers: a few thousand times the local tolerances
    np.testing.assert_allclose(native.y[:, -1], ref.y[:, -1], rtol=1e-5, atol=1e-12)
    assert native.y[4, -1] > 0  # carbon reached the tube


def test_run_result_dict_shape_and_absolute_times():
    m = puretzky(dp=1e-8, initial_conditions=[10.0, 0, 0, 0, 0, 0])
    results = m.run_surface_kinetics_simulation([700, 800.0], (4.0, 4.02))
    assert list(results) == [700, 800.0]
    assert type(list(results)[0]) is int
    r = results[700]
    for key in ("t", "y", "success", "message", "status", "nfev"):
        assert key in r
    assert r.t is r["t"] and r.success is True and r.status == 0
    assert r.y.shape == (6, r.t.size) and r.t.size > 2
    assert r.t[0] == 4.0 and r.t[-1] == 4.02 and np.all(np.diff(r.t) > 0)
    assert np.array_equal(r.y[:, 0], [10.0, 0, 0, 0, 0, 0])
    # the autonomous system gives the same end state whatever the start time
    early = m.run_surface_kinetics_simulation([700], (0.0, 0.02))[700]
    np.testing.assert_allclose(r.y[:, -1], early.y[:, -1], rtol=1e-12)


def test_run_before_dp_prints_one_error_per_temperature(capsys):
    m = Puretzky()
    with pytest.raises(ValueError, match=f"^{NO_RUN}$"):
        m.run_surface_kinetics_simulation([700, 650.5], (0, 1e-3))
    assert capsys.readouterr().out == (
        "Error in simulation at 700°C: 'Surface_Kinetics_Puretzky_etal_2005' object has no attribute 'S_0'\n"
        "Error in simulation at 650.5°C: 'Surface_Kinetics_Puretzky_etal_2005' object has no attribute 'S_0'\n")


def test_run_failures_are_per_temperature(capsys):
    m = puretzky(initial_conditions=[0, 0, 0])
    with pytest.raises(ValueError, match=NO_RUN):
        m.run_surface_kinetics_simulation([700], (0, 1e-3))
    assert capsys.readouterr().out == "Error in simulation at 700°C: not enough values to unpack (expected 6, got 3)\n"
    m = puretzky()
    with pytest.raises(ValueError, match=NO_RUN):
        m.run_surface_kinetics_simulation([700], (0, 1, 2))
    assert "too many values to unpack (expected 2)" in capsys.readouterr().out
    # -273.15 °C divides by zero; the other temperature still runs
    results = m.run_surface_kinetics_simulation([-273.15, 600], (0, 1e-3))
    assert list(results) == [600]
    assert capsys.readouterr().out == "Error in simulation at -273.15°C: float division by zero\n"


def test_run_with_both_switches_off_keeps_layers_at_start_values():
    m = puretzky(carb_strc_surface=False, carb_deactiv=False, initial_conditions=[0, 5.0, 7.0, 0, 0, 0],
                 _current_H2_flux_coeff=1e-2)
    r = m.run_surface_kinetics_simulation([700], (0, 0.01))[700]
    assert np.all(r.y[1] == 5.0) and np.all(r.y[2] == 7.0)
    assert r.y[4, -1] > 0


# ------------------------------------------------------------------ Puretzky: end state

def test_get_final_values(capsys):
    m = puretzky(dp=1.5e-8, _current_H2_flux_coeff=1e-3, n0=1e8, reactor_volume=1.0)
    results = m.run_surface_kinetics_simulation([700.0], (0, 0.01))
    values, flux = m.get_final_values(results)
    end = results[700.0].y[:, -1]
    assert isinstance(values, np.ndarray) and values.shape == (7,)
    assert values[0] == m.calculate_n(700.0, 0.01, end) == max(1e8 - (end[0] + end[3] + end[4]) / 2, 0)
    np.testing.assert_array_equal(values[1:], end)
    assert flux == m.current_H2_flux
    assert m.site_per_particle == Puretzky.mass_calculator("C4H4", 1.5e-8, 1)[1]
    assert capsys.readouterr().out == ""


def test_get_final_values_uses_the_first_of_several_temperatures(capsys):
    m = puretzky()
    results = m.run_surface_kinetics_simulation([800, 600], (0, 1e-3))
    capsys.readouterr()
    values, _ = m.get_final_values(results)
    assert capsys.readouterr().out == "Warning: Multiple temperatures found. Using only the first temperature.\n"
    np.testing.assert_array_equal(values[1:], results[800].y[:, -1])
    # results solved by scipy read the same way
    ref = {600: scipy_run(m, 600, (0, 1e-3))}
    values, _ = m.get_final_values(ref)
    np.testing.assert_array_equal(values[1:], ref[600].y[:, -1])


# ------------------------------------------------------------------ Ma

def gas_result(x_c4h4=0.002, first_carbon="C2H2"):
    counts = {first_carbon: 2, "C4H4": 4, "C2H4": 2}
    return ({"curr_dens": 1.0}, {"C2H2": 0.05, "C4H4": x_c4h4, "H2": 0.3, "N2": 0.648},
            {"C2H2": 0.05, "C4H4": x_c4h4, "C2H4": 1e-4}, counts)


def ma(dp=1.5e-8, **kwargs):
    kwargs.setdefault("AA12_internal_use", gas_result())
    model = Ma(**kwargs)
    model._dp = dp
    return model


def reference_ma(m):
    """The steady-state flux written out independently."""
    n_C = int(list(m.AA12[3])[0][1])
    m_p = Puretzky.mass_calculator(m.main_product_species)[0]
    P2 = m.AA12[1][m.main_product_species] * m.reactor_initial_pressure
    T = m.temp
    gamma = (0.006382123 * math.exp(0.01113002 * (T - 823.81)) if T <= 973
             else 0.03461503 * math.exp(-0.03268908 * (T - 973)))
    a1 = (6.28 * 6.6e-11 ** 2 + 6.28 * 1.54e-10 ** 2) / 4
    a2 = (3.14 * n_C * 6.6e-11 ** 2 + 3.14 * n_C * 1.54e-10 ** 2) / 4
    P1 = m.P_FEEDSTOCK_c2h2
    sites = ((1 - min(1 - m.fraction_cnt_gp, m.gp_coverage_ratio)) * np.pi * m.xnpr * m.dp ** 2 / 2
             / (P1 / (P1 + P2) * a1 + P2 / (P1 + P2) * a2) / 2 / 1.8)
    rho_0 = sites / (3.14 * m.dp ** 2 * m.xnpr)
    n1, n2 = 6.022e23 * P1 / (8.314 * T), 6.022e23 * P2 / (8.314 * T)
    kf1 = math.sqrt(8.314 * T / (2 * math.pi * 4.324e-26 * 6.022e23)) * gamma / rho_0
    kf2 = math.sqrt(8.314 * T / (2 * math.pi * m_p * 6.022e23)) * gamma / rho_0
    k3 = 5e-5 / (m.dp / 2) ** 2 * math.exp(-2.403e-19 / (1.38065e-23 * T))
    O_ss = k3 * rho_0 / (kf1 * n1 + kf2 * n2 + k3)
    return 2 * kf1 * n1 * O_ss + n_C * kf2 * n2 * O_ss


def test_ma_constructor_attributes():
    gas = gas_result()
    m = Ma("C2H2", "C4H4", 3, 900, 1e4, 5e3, 3.4e-10, gas, 2e5, 0.5, 0.8, 0.1, True, 4e-10)
    assert (m.feedstock_gas_name, m.main_product_species, m.xnpr, m.temp, m.P_FEEDSTOCK_c2h2) == (
        "C2H2", "C4H4", 3, 900, 1e4)
    assert m.AA12 is gas and m.reactor_initial_pressure == 2e5 and m.surface_coverage_gp == 0.5
    assert (m.fraction_cnt_gp, m.gp_coverage_ratio, m.encapsulation_cond) == (0.8, 0.1, True)
    assert m.gp_thickness == 4e-10
    assert Ma(gp_thickns=1e-9).gp_thickness == 10  # the later parameter is what stays
    assert not hasattr(m, "P_FEEDSTOCK_c4h4")
    d = Ma()
    assert (d.dp, d.NAVA, d.kb, d.R_gas, d.volume_carbon_atom) == (1e-10, 6.022e23, 1.38065e-23, 8.314, 1.91e-30)
    assert (d.H_diameter, d.C_diameter, d.O_diameter, d.N_diameter) == (6.6e-11, 1.54e-10, 1.46e-10, 1.48e-10)
    assert (d.mass_C2H2, d.mass_C4H4) == (4.324e-26, 8.66e-26)
    assert d.AA12 == {} and d.AA12 is Ma().AA12
    for late in ("NP_area", "rho_particle", "gamma", "CNT_wall_number", "carbon_atoms_flux"):
        with pytest.raises(AttributeError, match=f"'Surface_Kinetics_Ma_etal_2005' object has no attribute '{late}'"):
            getattr(d, late)


def test_ma_values_kept_as_passed_and_read_at_each_calculation():
    m = ma(temp_current=900, gp_thickns="ignored")  # a replaced parameter is not judged
    assert type(m.temp) is int and m.gp_thickness == 10
    flux = m.main_calculate()
    m.temp = 950.0
    assert m.main_calculate() != flux
    m.main_product_species = "C2H2"  # the product formula is read at each calculation
    m.main_calculate()
    assert m.P_FEEDSTOCK_dominant_product == 0.05 * m.reactor_initial_pressure
    m.main_product_species = 7
    with pytest.raises(TypeError, match="expected string or bytes-like object, got 'int'"):
        m.main_calculate()
    with pytest.raises(TypeError, match="^temp must be a real number, not 'str'$"):
        Ma(temp_current="hot")
    m.O_diameter = 2e-10  # stored-only constants are plain numbers too
    assert m.O_diameter == 2e-10


def test_ma_dp_setter(capsys):
    m = Ma(npr=2)
    m._dp = 1e-8
    assert m._dp == 1e-8 and m.NP_area == 3.14 * 1e-8 ** 2 * 2 and m.rho_particle == 1 / m.NP_area
    m._dp = -1.0
    assert capsys.readouterr().out == "internal warning: Negative dp value\n"
    assert m.dp == -1.0 and m.NP_area == 3.14 * 1e-8 ** 2 * 2
    with pytest.raises(ZeroDivisionError):
        m._dp = 0.0


@pytest.mark.parametrize("temp", [700.0, 973.0, 973.5, 1200.0])
@pytest.mark.parametrize("dp,npr", [(5e-9, 1), (2e-8, 4)])
def test_ma_flux_matches_written_out_model(temp, dp, npr):
    m = ma(dp=dp, npr=npr, temp_current=temp, P_FEEDSTOCK_c2h2=5e3, gp_cove_rati=0.2)
    flux = m.main_calculate()
    assert flux == m.carbon_atoms_flux
    assert flux == pytest.approx(reference_ma(m), rel=1e-12)
    assert m.q_C2H2 > 0 and m.q_dominant_product > 0
    assert m.CNT_wall_number == pytest.approx(dp / 6.4 / m.gp_thickness, rel=1e-14)


def test_ma_branch_boundaries_and_zero_product():
    m = ma(temp_current=973)
    m.main_calculate()
    assert m.gamma == pytest.approx(0.006382123 * math.exp(0.01113002 * (973 - 823.81)), rel=1e-15)
    m = ma(fra_cnt_gp=0.7, gp_cove_rati=0)
    m.main_calculate()
    assert m.site_per_particle == pytest.approx(
        m.particle_area / (m.molecule_area_c2h2 * m.P_FEEDSTOCK_c2h2 / (m.P_FEEDSTOCK_c2h2 + m.P_FEEDSTOCK_dominant_product)
                           + m.molecule_area_dominant_product * m.P_FEEDSTOCK_dominant_product
                           / (m.P_FEEDSTOCK_c2h2 + m.P_FEEDSTOCK_dominant_product)) / 2 / 1.8, rel=1e-14)
    m = ma(AA12_internal_use=gas_result(x_c4h4=0.0))
    flux = m.main_calculate()
    assert m.q_dominant_product == 0 and flux == 2 * m.q_C2H2
    a = ma(P_FEEDSTOCK_c4h4=1.0)
    b = ma(P_FEEDSTOCK_c4h4=1e9)
    assert a.main_calculate() == b.main_calculate()


def test_ma_errors_propagate():
    with pytest.raises(KeyError):
        ma(AA12_internal_use={}).main_calculate()
    with pytest.raises(ValueError, match=r"^invalid literal for int\(\) with base 10: 'H'$"):
        ma(AA12_internal_use=gas_result(first_carbon="CH4")).main_calculate()
    with pytest.raises(KeyError, match="C6H6"):
        ma(main_product_species="C6H6").main_calculate()
    with pytest.raises(ValueError, match="^Unknown element: Fe$"):
        ma(main_product_species="Fe").main_calculate()
    m = Ma(AA12_internal_use=gas_result())
    with pytest.raises(AttributeError, match="object has no attribute 'NP_area'"):
        m.main_calculate()
    assert m.gamma > 0  # values stored before the failing step stay
    with pytest.raises(AttributeError):
        m.rho_0
