"""Sections that coagulation empties: their unresolved areas switch nothing.

A strongly coagulating start (2e19 particles per kg of N2 at 1500 K, sigma_g 1.8)
empties its sub-nanometre sections within milliseconds. Their areas then lie far
below the integrator's absolute tolerance and wander around zero with either
sign. The collision kernel and the derivatives read such a section as compact
spheres of its node volume whatever its area reads, so a sign flip of that
area changes no shape, no collision frequency and no sintering time, and the
integrator keeps its steps.
"""
import numpy as np
import pytest

from velmora.core.growth_simulator import MovingSectionalModel


def coagulation_case(geometric_std, reactor_length):
    """The wide (1.8) or narrow (1.2) lognormal start of the coagulation study."""
    model = MovingSectionalModel(
        catalsyt_element="Ni", surface_kinetics_solver_activated=False, gas_initial_composition={"N2": 1.0},
        collision_diameter_update=False, regrid_condition="Fixed", reactor_length=reactor_length,
        initial_distribution="Polydisperse", distribution_type="lognormal", geometric_std=geometric_std,
        dp_initial_premade=2e-9, total_initial_concentration=2e19, intnum=40, bin_spacing=2.0)
    model.wrapper_mapping_temp = 1500.0
    return model


@pytest.fixture(scope="module")
def emptied_state():
    """The wide start after 5 mm: its lowest sections hold the number floor only."""
    model = coagulation_case(1.8, 0.005)
    _, states = model.solve()
    assert not model.integration_failures
    state = np.array(states[-1])
    assert state[0] < 1e-12 * state[:model.isec].max()  # emptied by coagulation
    return model, state


def shape_after_fcn(model, state):
    rates = np.array(model.fcn(0.005, state))
    return rates, np.array(model.xdp), np.array(model.xnpr), np.array(model.betafu), np.array(model.ts)


@pytest.mark.parametrize("number", [1e-15, 1e-9])
def test_sign_of_an_unresolved_area_switches_nothing(emptied_state, number):
    model, state = emptied_state
    n = model.intnum
    section = 1
    results = []
    for area in (1e-31, -1e-31):
        probe = state.copy()
        probe[section] = number
        probe[2 * n + section] = area
        results.append(shape_after_fcn(model, probe))
    (rates_up, xdp_up, xnpr_up, beta_up, ts_up), (rates_down, xdp_down, xnpr_down, beta_down, ts_down) = results
    # The section is compact spheres of its node volume either way, and collides.
    sphere = np.cbrt(6 * state[n + section] / model.vpi)
    assert xdp_up[section] == pytest.approx(sphere, rel=1e-12) and xnpr_up[section] == 1
    assert beta_up[section, section] > 0
    np.testing.assert_array_equal(xdp_up, xdp_down)
    np.testing.assert_array_equal(xnpr_up, xnpr_down)
    np.testing.assert_array_equal(beta_up, beta_down)
    np.testing.assert_array_equal(ts_up, ts_down)
    # Only the section's own area rate moves, linearly: by the change of its
    # area over its sintering time (and the tiny coagulation terms it carries).
    changed = np.flatnonzero(rates_up != rates_down)
    assert np.all((changed >= 2 * n) & (changed < 3 * n))  # area rates only
    relaxation = 2e-31 / ts_up[section] / model.vel
    assert rates_down[2 * n + section] - rates_up[2 * n + section] == pytest.approx(relaxation, rel=1e-3)


def test_a_resolved_population_keeps_its_agglomerate_shape(emptied_state):
    model, state = emptied_state
    n = model.intnum
    probe = state.copy()
    section = int(np.argmax(state[:model.isec]))
    sphere_area = np.pi * np.cbrt(6 * state[n + section] / np.pi) ** 2 * state[section]
    probe[2 * n + section] = 8 * sphere_area  # eight times the area of compact spheres
    _, xdp, xnpr, _, _ = shape_after_fcn(model, probe)
    assert xnpr[section] == pytest.approx(8 ** 3, rel=1e-2)
    assert xdp[section] < np.cbrt(6 * state[n + section] / np.pi) / 7


def evaluations_for_one_outer_step(geometric_std):
    """Right-hand-side evaluations of the outer step from 1.1 mm to 5.1 mm."""
    before, after = (coagulation_case(geometric_std, length) for length in (0.001, 0.005))
    before.solve()
    after.solve()
    assert not before.integration_failures and not after.integration_failures
    return after.rhs_evaluations - before.rhs_evaluations


def test_an_outer_step_of_the_wide_start_costs_about_what_the_narrow_one_does():
    # With the shape switching on the sign of unresolved areas this step of the
    # wide start took about ten times the evaluations of the narrow one (54 000).
    wide, narrow = evaluations_for_one_outer_step(1.8), evaluations_for_one_outer_step(1.2)
    assert 0 < narrow < 20000
    assert wide < 2.5 * narrow
