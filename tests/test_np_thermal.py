"""Particle temperature over one axial step: Euler step and LSODA scheme."""
import numpy as np
import pytest
from scipy.integrate import solve_ivp

from velmora.modules.np_thermal import particle_temp

KB = 1.38066e-23
SIGMA_SB = 5.669e-08
T_GAS = 1000.0


def make_args(**overrides):
    """Five section slots, three processed; distinct N, V, A blocks so offset slips show."""
    intnum = 5
    number = np.array([1e12, 2e12, 5e11, 0.0, 3e11])
    volume = np.array([6.5e-26, 0.0, 4e-26, 1e-25, 1e-25])  # section 1 inactive (V = 0)
    area_sph = np.array([7.85e-17, 7.0e-17, 9.0e-17, 8e-17, 8e-17])
    area_per_aggl = np.array([1.6e-16, 1.5e-16, 9.5e-17, 1e-16, 1e-16])
    kwargs = dict(
        spec_heat_NP=4e-20,
        spec_heat_gas=2e-23,
        surf_tension_NP=2.0,
        emissivity_NP=0.3,
        temp_NP_previous=np.array([1020.0, 1100.0, 950.0, 900.0, 990.0]),
        temp_gas_previous=T_GAS,
        taus_current=np.array([2e-6, 1e-6, 5e-7, 1e-6, 1e-6]),
        particle_info_previous=np.concatenate([number, volume, number * area_per_aggl]),
        area_NP_sph=area_sph,
        xmwp_NP=1e-25,
        xmwp_gas=4.65e-26,
        avog=6.02214e23,
        n_p=np.array([5.0, 8.0, 3.0, 4.0, 4.0]),
        reactor_pressure=101325.0,
        intnum_val=intnum,
        isec_val=3,
        flow_velocity=0.1,
        interval_x=np.array([0.0, 2e-8]),
        numerical_approach="LSODA",
    )
    kwargs.update(overrides)
    return kwargs


def reference_rates(kw, sintering_when):
    """Plain numpy transcription of the section energy balance, dT/dt per section."""
    n, isec = kw["intnum_val"], kw["isec_val"]
    info = np.asarray(kw["particle_info_previous"], dtype=float)
    Ni, Vi, Ai = info[:isec], info[n:n + isec], info[2 * n:2 * n + isec]
    Tg = kw["temp_gas_previous"]
    area = kw["area_NP_sph"]

    def rates(T):
        out = np.zeros_like(T)
        for i in range(isec):
            if not (Ni[i] > 0 and Vi[i] > 0):
                continue
            Z = area[i] * kw["reactor_pressure"] / np.sqrt(2 * np.pi * kw["xmwp_gas"] * KB * Tg)
            e_s = 0.0
            if sintering_when(kw["taus_current"][i]):
                e_s = kw["surf_tension_NP"] * (Ai[i] / Ni[i] - area[i]) / kw["taus_current"][i]
            e_c = Z * kw["spec_heat_gas"] * (T[i] - Tg)
            e_r = kw["emissivity_NP"] * SIGMA_SB * area[i] * (T[i] ** 4 - Tg ** 4)
            out[i] = (e_s - e_c - e_r) / (kw["spec_heat_NP"] * kw["n_p"][i])
        return out

    return rates


def reference_ode(kw):
    rates = reference_rates(kw, lambda tau: not tau <= 0)
    sol = solve_ivp(lambda x, T: rates(T) / kw["flow_velocity"], kw["interval_x"],
                    np.asarray(kw["temp_NP_previous"], dtype=float), method="LSODA", rtol=1e-9, atol=1e-25)
    assert sol.success
    y_end = sol.y[:, -1]
    return np.where(y_end < T_GAS, T_GAS, y_end)


def reference_explicit(kw):
    T = np.array(kw["temp_NP_previous"], dtype=float)
    rates = reference_rates(kw, lambda tau: tau > 0)(T)
    dt = (kw["interval_x"][1] - kw["interval_x"][0]) / kw["flow_velocity"]
    info = kw["particle_info_previous"]
    n = kw["intnum_val"]
    for i in range(kw["isec_val"]):
        if info[i] > 0 and info[n + i] > 0:
            T[i] = max(T[i] + rates[i] * dt, T_GAS)
    return T


class TestAgainstReference:
    @pytest.mark.parametrize("span", [[0.0, 2e-8], [0.0, 3e-7], [1e-3, 1e-3 + 5e-8]])
    def test_ode_scheme_matches_scipy_lsoda(self, span):
        kw = make_args(interval_x=np.array(span))
        got = particle_temp(**kw)
        want = reference_ode(kw)
        assert got.shape == (5,)
        np.testing.assert_allclose(got, want, rtol=1e-7)
        # the step actually moved the active sections
        assert abs(got[0] - kw["temp_NP_previous"][0]) > 1.0

    def test_ode_scheme_zero_sintering_term_for_nonpositive_tau(self):
        kw = make_args(taus_current=np.array([0.0, 1e-6, -1e-6, 1e-6, 1e-6]))
        np.testing.assert_allclose(particle_temp(**kw), reference_ode(kw), rtol=1e-7)

    def test_explicit_step_matches_single_euler_step(self):
        kw = make_args(numerical_approach="Explicit", interval_x=np.array([0.0, 5e-9]))
        got = particle_temp(**kw)
        np.testing.assert_allclose(got, reference_explicit(kw), rtol=1e-13)
        # inactive section 1 and unprocessed slots 3, 4 keep their (sub-gas) values
        np.testing.assert_array_equal(got[[1, 3, 4]], [1100.0, 900.0, 990.0])

    def test_explicit_nonpositive_tau_keeps_convection_and_radiation(self):
        # first section has tau <= 0: no sintering heat, but it still relaxes to the gas
        taus = np.array([0.0, 1e-6, -2.0, 1e-6, 1e-6])
        kw = make_args(numerical_approach="Explicit", taus_current=taus, interval_x=np.array([0.0, 2e-9]))
        got = particle_temp(**kw)
        np.testing.assert_allclose(got, reference_explicit(kw), rtol=1e-13)
        assert T_GAS < got[0] < 1020.0

    def test_lists_and_keyword_order_do_not_matter(self):
        kw = make_args()
        listed = {k: (v.tolist() if isinstance(v, np.ndarray) else v) for k, v in kw.items()}
        positional = particle_temp(*kw.values())
        np.testing.assert_array_equal(particle_temp(**listed), positional)
        np.testing.assert_array_equal(particle_temp(**dict(reversed(list(kw.items())))), positional)


class TestGasTemperatureFloor:
    @pytest.mark.parametrize("approach", ["Explicit", "LSODA"])
    @pytest.mark.parametrize("dx", [1e-9, 1e-7, 1e-4])
    def test_cold_particles_without_sintering_end_at_or_above_gas(self, approach, dx):
        # sintered already (A/N equals the sphere area): only convection and radiation act
        kw = make_args(numerical_approach=approach, interval_x=np.array([0.0, dx]),
                       temp_NP_previous=np.array([600.0, 700.0, 999.0, 500.0, 500.0]))
        info = kw["particle_info_previous"].copy()
        info[10:15] = info[:5] * kw["area_NP_sph"]
        got = particle_temp(**dict(kw, particle_info_previous=info))
        active = [0, 2]
        assert np.all(got[active] >= T_GAS)
        if approach == "LSODA":
            assert np.all(got >= T_GAS)  # every entry is raised, active or not
        else:
            np.testing.assert_array_equal(got[[1, 3, 4]], [700.0, 500.0, 500.0])

    def test_empty_interval(self):
        kw = make_args(interval_x=np.array([0.3, 0.3]))
        prev = kw["temp_NP_previous"]
        np.testing.assert_array_equal(particle_temp(**dict(kw, numerical_approach="Explicit")),
                                      [1020.0, 1100.0, 1000.0, 900.0, 990.0])
        np.testing.assert_array_equal(particle_temp(**kw), np.maximum(prev, T_GAS))

    def test_no_particles(self):
        kw = make_args()
        info = kw["particle_info_previous"].copy()
        info[:5] = 0.0
        kw["particle_info_previous"] = info
        prev = kw["temp_NP_previous"]
        np.testing.assert_array_equal(particle_temp(**dict(kw, numerical_approach="Explicit")), prev)
        np.testing.assert_array_equal(particle_temp(**kw), np.maximum(prev, T_GAS))


class TestSchemeSelection:
    @pytest.mark.parametrize("approach", ["explicit", "EXPLICIT", "Explicit ", "", None, 1])
    def test_only_exact_text_selects_euler(self, approach):
        # a long step: the Euler step overshoots far from the ODE solution
        kw = make_args(interval_x=np.array([0.0, 1e-7]))
        euler = particle_temp(**dict(kw, numerical_approach="Explicit"))
        ode = particle_temp(**dict(kw, numerical_approach="LSODA"))
        assert np.max(np.abs(euler - ode)) > 1.0
        np.testing.assert_array_equal(particle_temp(**dict(kw, numerical_approach=approach)), ode)

    @pytest.mark.parametrize("approach", ["Explicit", "LSODA"])
    def test_unread_arguments_take_any_value(self, approach):
        kw = make_args(numerical_approach=approach)
        base = particle_temp(**kw)
        np.testing.assert_array_equal(particle_temp(**dict(kw, xmwp_NP="anything", avog=None)), base)


class TestFailures:
    def test_exception_in_ode_solve_prints_and_returns_previous(self, capsys):
        kw = make_args(n_p=np.array([5.0, 8.0]))  # too short for section 2
        got = particle_temp(**kw)
        np.testing.assert_array_equal(got, kw["temp_NP_previous"])  # not raised to the gas
        assert got is not kw["temp_NP_previous"]
        lines = capsys.readouterr().out.splitlines()
        assert lines[0].startswith("Error in particle temperature solver: index 2 is out of bounds")
        assert lines[1:] == ["Using previous temperature values"]

    def test_same_fault_propagates_from_explicit_step(self, capsys):
        with pytest.raises(IndexError, match="index 2 is out of bounds"):
            particle_temp(**make_args(n_p=np.array([5.0, 8.0]), numerical_approach="Explicit"))
        assert capsys.readouterr().out == ""

    def test_short_particle_info_is_an_index_error(self, capsys):
        kw = make_args(particle_info_previous=make_args()["particle_info_previous"][:12])  # A block cut
        with pytest.raises(IndexError):
            particle_temp(**dict(kw, numerical_approach="Explicit"))
        np.testing.assert_array_equal(particle_temp(**kw), kw["temp_NP_previous"])
        assert "Using previous temperature values" in capsys.readouterr().out

    def test_non_finite_start_temperature_is_refused_by_the_solver(self, capsys):
        prev = np.array([np.nan, 1100.0, 950.0, 900.0, 990.0])
        got = particle_temp(**make_args(temp_NP_previous=prev, interval_x=np.array([0.1, 0.1])))
        np.testing.assert_array_equal(got, prev)
        assert capsys.readouterr().out == (
            "Error in particle temperature solver: All components of the initial state `y0` must be finite.\n"
            "Using previous temperature values\n")
        # the Euler step has no guard and no such check: NaN stays NaN, the rest advances
        got = particle_temp(**make_args(temp_NP_previous=prev, numerical_approach="Explicit"))
        assert np.isnan(got[0]) and got[2] != 950.0

    def test_failed_solve_prints_warning_and_returns_previous(self, capsys):
        # a heat capacity of 1e-300 J/K: rates beyond the float range, no solver can step
        # (zero is refused before either scheme runs)
        kw = make_args(spec_heat_NP=1e-300)
        got = particle_temp(**kw)
        np.testing.assert_array_equal(got, kw["temp_NP_previous"])
        assert capsys.readouterr().out == (
            "Warning: Particle temperature ODE solve failed, using previous values\n")

    def test_argument_errors(self):
        kw = make_args()
        # a missing or a surplus argument: the signature of the nineteen is shown
        for call in (lambda: particle_temp(**{k: v for k, v in kw.items() if k != "numerical_approach"}),
                     lambda: particle_temp(*kw.values(), 1)):
            with pytest.raises(TypeError, match=r"^particle_temp\(\): incompatible function arguments") as err:
                call()
            assert "interval_x: object, numerical_approach: object)" in str(err.value)
        with pytest.raises(ValueError, match="interval_x"):
            particle_temp(**dict(kw, interval_x=[0.0, 1e-8, 2e-8]))
        with pytest.raises(ValueError, match="1-D"):
            particle_temp(**dict(kw, temp_NP_previous=np.ones((5, 1))))
        with pytest.raises(TypeError, match="intnum_val"):
            particle_temp(**dict(kw, intnum_val=5.0))
        with pytest.raises(TypeError, match="temp_gas_previous"):
            particle_temp(**dict(kw, temp_gas_previous="1000"))
