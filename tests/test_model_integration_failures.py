"""A population left without particles or area stays finite, and the march never
hides an integration that did not reach the end of its step."""
import os
import warnings

import numpy as np
import pytest

from velmora.core.fast_kernels import calculate_derivatives_kernel, recalculate_aggregation_classes_kernel
from velmora.core.growth_simulator import MovingSectionalModel

VPI = 3.1415926536
AVOG = 6.022137e23

COAGULATION = dict(catalsyt_element="Ni", surface_kinetics_solver_activated=False,
                   gas_initial_composition={"N2": 1.0}, collision_diameter_update=False,
                   regrid_condition="Fixed", initial_distribution="Polydisperse",
                   distribution_type="lognormal", geometric_std=1.8, dp_initial_premade=2e-9,
                   total_initial_concentration=2e19, intnum=40, bin_spacing=2.0)


def kernel(y, x, n, isec, betafu, temp=1500.0, vel=0.5, rhog=0.3):
    jmin, jmax = recalculate_aggregation_classes_kernel(x, isec, n)
    xdp = np.full(n, 2e-9)
    xnpr = np.ones(n)
    return calculate_derivatives_kernel(
        y, x, xdp, xnpr, betafu, jmin, jmax, np.zeros(6 * n), temp, vel, rhog, AVOG, 1.2e-29, 2.5e-19, VPI,
        0.0, 0.0, 0.0, isec, n, 2 * n, 3 * n, 4 * n, 5 * n, 6 * n, False, 3)


class TestEmptySectionsAndCollapsedNodes:
    def test_a_section_without_particles_loses_no_area(self):
        n, isec = 6, 4
        x = 2.0 ** np.arange(n) * 1e-26
        y = np.zeros(4 * n + 1)
        y[:isec] = [1e12, 0.0, 1e10, 0.0]              # sections 1 and 3 hold nothing
        y[n:n + isec] = x[:isec]
        y[2 * n:2 * n + isec] = [1e12 * 1e-17, 0.0, 0.0, 0.0]   # section 2: particles but no area
        yp, ts, _, _ = kernel(y, x, n, isec, np.zeros((n, n)))
        dA = yp[2 * n:2 * n + isec]
        # No collisions (zero kernel): the only area change would be sintering.
        assert dA[1] == 0.0 and dA[3] == 0.0
        assert ts[1] == ts[3] == 3.12e-12
        # Section 2's particles carry no area: it grows towards that of compact
        # spheres of the node volume, never further below zero.
        sphere_area = VPI * (6 / VPI * x[2]) ** (2 / 3) * 1e10
        assert dA[2] == pytest.approx(sphere_area / ts[2] / 0.5, rel=1e-12)
        y[0] = 0.0                                     # section 0 empty as well
        yp, ts, _, _ = kernel(y, x, n, isec, np.zeros((n, n)))
        assert yp[2 * n] == 0.0 and ts[0] == 0.0

    @pytest.mark.parametrize("collapsed", [1, 2])
    def test_collapsed_node_keeps_the_whole_product_in_the_receiving_node(self, collapsed):
        n, isec = 6, 5
        x = 2.0 ** np.arange(n) * 1e-26
        x[collapsed + 1] = x[collapsed]                # zero-width split above node `collapsed`
        N = np.array([1e12, 3e11, 2e11, 1e11, 5e10])
        y = np.zeros(4 * n + 1)
        y[:isec] = N
        y[n:n + isec] = x[:isec]
        y[2 * n:2 * n + isec] = N * 1e-17
        y[3 * n:3 * n + isec] = N * 10.0
        betafu = np.zeros((n, n))
        betafu[:isec, :isec] = 1e-15
        yp, ts, _, _ = kernel(y, x, n, isec, betafu)
        assert np.all(np.isfinite(yp)) and np.all(np.isfinite(ts))
        # The same state with the split rule written out: for every pair the
        # kernel credits to node i, a zero-width split puts weight 1 on node i.
        jmin, jmax = recalculate_aggregation_classes_kernel(x, isec, n)
        rhog, vel = 0.3, 0.5
        birth = np.zeros(isec)
        for i in range(1, isec):
            for k in range(i + 1):
                for j in range(max(jmin[i, k], k), jmax[i, k] + 1):
                    v = x[k] + x[j]
                    w = 1.0
                    if not v > x[isec - 1]:
                        m = i + 1 if v >= x[i] else i - 1
                        w = 1.0 if x[m] == x[i] else (x[m] - v) / (x[m] - x[i])
                    b = (0.5 if j == k else 1.0) * betafu[k, j]
                    birth[i] += w * b * N[j] * N[k]
        death = betafu[:isec, :isec] @ N * N
        np.testing.assert_allclose(yp[1:isec], (birth[1:] - death[1:]) * rhog / vel, rtol=1e-12)


def _number(state, n=40, isec=38):
    return state[:isec].sum()


def _volume(state, n=40, isec=38):
    return (state[:isec] * state[n:n + isec]).sum()


@pytest.mark.parametrize("length", [
    0.02,                                         # past the point (13 mm) where it used to freeze
    # The whole reactor: several CPU minutes, so on demand (VELMORA_FULL_RUNS=1).
    pytest.param(0.6, marks=[pytest.mark.slow, pytest.mark.skipif(
        os.environ.get("VELMORA_FULL_RUNS") != "1", reason="full 0.6 m run; set VELMORA_FULL_RUNS=1")]),
])
def test_coagulating_population_keeps_evolving_along_the_reactor(length):
    model = MovingSectionalModel(reactor_length=length, **COAGULATION)
    model.wrapper_mapping_temp = 1500.0
    with warnings.catch_warnings():
        warnings.simplefilter("error", RuntimeWarning)
        time_points, states = model.solve()
    assert model.integration_failures == []
    assert time_points[-1] >= length and np.all(np.isfinite(states))
    numbers = np.array([_number(s) for s in [model.y_saved[0]] + list(states)])
    assert np.all(np.diff(numbers) < 0), "the number must fall on every outer step"
    # Coagulation goes on downstream, not only near the inlet.
    assert numbers[-1] < 0.9 * numbers[np.searchsorted(time_points, length / 2)]
    volumes = np.array([_volume(s) for s in states])
    np.testing.assert_allclose(volumes, _volume(model.y_saved[0]), rtol=1e-12)


def test_failed_integrations_are_recorded_and_warned_once():
    # atol = 0 makes the error weight of the unused (zero) sections zero: the
    # integrator cannot take a single step, the march keeps the states it got.
    model = MovingSectionalModel(reactor_length=0.002, **COAGULATION)
    model.wrapper_mapping_temp = 1500.0
    with pytest.warns(RuntimeWarning) as caught:
        time_points, states = model.solve(atol=0.0)
    mine = [w for w in caught if "integration_failures" in str(w.message)]
    assert len(mine) == 1
    failures = model.integration_failures
    assert len(failures) == len(time_points) > 0
    steps = [f[0] for f in failures]
    assert steps == list(range(1, len(time_points) + 1))
    starts = [0.0] + list(time_points[:-1])
    for (step, position, message), start in zip(failures, starts):
        assert position == start and "Error weight" in message
    assert "step 1 at 0.0 m" in str(mine[0].message)
    np.testing.assert_array_equal(states[-1][:38], np.maximum(model.y_saved[0][:38], 1e-15))
    # A sound solve on the same model starts a fresh record, with no warning.
    model.reactor_length = 0.0002
    with warnings.catch_warnings():
        warnings.simplefilter("error", RuntimeWarning)
        model.solve()
    assert model.integration_failures == []
