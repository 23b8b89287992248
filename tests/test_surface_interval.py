"""The surface-growth models of a step run over the step's residence-time interval.

Under a temperature profile the gas velocity changes along a step, so the interval
[t, tend] / vel depends on where vel is taken: the surface models use the velocity
at the step's start. The check re-runs the Puretzky model of every live section of
the last outer step from Python, with that interval and with inputs read off the
model, and compares the per-section results the model kept.
"""
import numpy as np
import pytest

from velmora.core.growth_simulator import MovingSectionalModel
from velmora.modules import acetylene_growth as ag

LENGTH = 0.03
BEFORE_LAST = 0.029  # the 0.03 m run's last outer step starts at 0.0291 m


def _run(paper, length):
    model = MovingSectionalModel(reactor_length=LENGTH, intnum=10, surface_kinetics_solver_activated=True,
                                 paper_name_for_temperature_history=paper)
    # Only the march reads reactor_length after construction (the gas step reads the step
    # length alone), so a shorter copy replays the first steps of the full run exactly.
    model.reactor_length = length
    time_points, _ = model.solve()
    return model, time_points


def _independent_last_step(paper):
    """Per-section surface results of the last step, recomputed over [t, tend] / vel(t)."""
    before, before_points = _run(paper, BEFORE_LAST)  # state at the start of the last step
    full, time_points = _run(paper, LENGTH)
    t, tend = full.simulation_time[-1], time_points[-1]
    assert before_points[-1] == t and len(time_points) == len(before_points) + 1

    live = full.isec
    temp = full.temp                           # the gas temperature the surface models saw
    x_h2 = full.H2_cons_current * 8.314 * temp / (full.total_pressure * 6.022e23)
    largest = full.AA12[2]
    names = list(largest)
    density = [largest[k] * full.total_pressure * 6.022e23 / (8.314 * temp) for k in names[:3]]
    full.temp_vel(t)
    start_vel = full.vel
    span = [t / start_vel, tend / start_vel]

    expected = np.zeros((live, 7))
    for j in range(live):
        surface = ag.Surface_Kinetics_Puretzky_etal_2005(
            carb_strc_surface=before.carb_struct_enabled, carb_deactiv=before.deactivation_enabled,
            plot_request=False, initial_conditions=list(before.initial_conditions_surf_kin_current),
            P_FEEDSTOCK=before.inlet_initial_partial_pressure[before.feedstock_gas_name_dominant_current],
            feedstock_gas_name=names[0], main_product_species=names[1:],
            reactor_volume=before.reactor_volume, n0=density[0], np1=density[1], np2=density[2],
            surface_coverage_gp=before.surf_cov_gp_current, gas_NP_time_considered=before.gas_NP_time_considered,
            H2_STICKING_PROB=before.H2_STICKING_PROBABILITY,
            H2_current_partial_pressure=x_h2 * before.reactor_initial_pressure,
            npr=full.xnpr[j], fra_cnt_gp=before.fraction_cnt_gp, gp_cove_rati=before.gp_coverage_ratio,
            encap_cond=before.encapsulation_cond, _current_H2_flux_coeff=full.current_H2_flux_coeff)
        surface._dp = full.xdp[j]
        values, _ = surface.get_final_values(surface.run_surface_kinetics_simulation([temp - 273.15], span))
        expected[j] = np.abs(values) * full.y[j]
    got = np.asarray(full.final_values_section).reshape(live, 7)
    return got, expected, full


@pytest.mark.parametrize("paper", ["Celnik_2008", "Ahmad_2019"])
def test_surface_models_run_over_the_residence_time_interval_of_the_step(paper):
    got, expected, full = _independent_last_step(paper)
    # The profile really moves the velocity over the step, so a wrong interval would show.
    full.temp_vel(full.simulation_time[-1])
    v_start = full.vel
    full.temp_vel(full.tend_current)
    assert abs(full.vel / v_start - 1) > 1e-3
    carbon_added = expected[:, 5]
    assert carbon_added.max() > 0
    np.testing.assert_allclose(got, expected, rtol=1e-9, atol=1e-300)
