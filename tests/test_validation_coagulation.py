"""Pure Brownian coagulation of coalescing spheres against classic aerosol theory.

Surface kinetics are off, the carrier is N2, the gas is held at one temperature
(`wrapper_mapping_temp`) and the particles are nanometre-sized at 1500 K, so the
sintering time (nanoseconds to sub-milliseconds) is far below the collision time
and every agglomerate stays a sphere, and the Knudsen number is in the hundreds:
the free-molecular regime. Under these conditions the population balance has
textbook answers that do not come from this code:

* the free-molecular collision kernel
  beta = (3/4pi)^(1/6) (6kT/rho_p)^(1/2) (1/v1 + 1/v2)^(1/2) (v1^(1/3) + v2^(1/3))^2;
* for a monodisperse population, dn/dt = -1/2 beta n^2;
* the self-preserving regime: n ~ t^(-6/5) and a number-weighted geometric
  standard deviation of the diameter of about 1.46 (Lai, Friedlander, Pich and
  Hidy 1972; Vemury and Pratsinis 1995), whatever the initial width;
* particle volume is only redistributed by coagulation.

Units. The state holds numbers per unit gas density (y[i] = n_i / rhog) and the
right-hand side is a derivative along the reactor axis (d/dz = d/dt / vel). A
number concentration is therefore n = y * rhog (m^-3) and a rate per residence
time is dn/dt = vel * rhog * dy/dz. The gas is isothermal, so rhog and vel are
constant over a run and the residence time of a position z is z / vel.
"""

import math

import numpy as np
import pytest

from velmora.core.growth_simulator import MovingSectionalModel

TEMPERATURE = 1500.0  # K
BOLTZMANN = 1.38066e-23  # J/K, the value the model uses
SELF_PRESERVING_SIGMA = 1.46  # free-molecular, coalescing spheres


def coagulation_model(**kwargs):
    settings = dict(
        catalsyt_element="Ni",
        surface_kinetics_solver_activated=False,
        gas_initial_composition={"N2": 1.0},
        collision_diameter_update=False,
        regrid_condition="Fixed",
        dp_initial_premade=2e-9,
    )
    settings.update(kwargs)
    model = MovingSectionalModel(**settings)
    model.wrapper_mapping_temp = TEMPERATURE
    return model


def free_molecular_beta(v1, v2, temperature, particle_density):
    """Collision frequency function of two spheres in the free-molecular regime, m^3/s."""
    return ((3 / (4 * math.pi)) ** (1 / 6) * np.sqrt(6 * BOLTZMANN * temperature / particle_density)
            * np.sqrt(1 / v1 + 1 / v2) * (np.cbrt(v1) + np.cbrt(v2)) ** 2)


def geometric_std_of_diameter(model, state):
    """Number-weighted geometric standard deviation of the sphere diameter over the live sections."""
    n, isec = model.intnum, model.isec
    number = state[:isec]
    diameter = np.cbrt(6 * state[n:n + isec] / math.pi)
    log_d = np.log(diameter)
    mean = np.sum(number * log_d) / np.sum(number)
    return math.exp(math.sqrt(np.sum(number * (log_d - mean) ** 2) / np.sum(number)))


# ---------------------------------------------------------------- the kernel and the first step


@pytest.fixture(scope="module")
def monodisperse_first_step():
    """A monodisperse 2 nm start, one outer step (1e-7 m) at 1500 K."""
    model = coagulation_model(reactor_length=1e-7, intnum=20, bin_spacing=1.6,
                              total_initial_concentration=1.5e19)
    time_points, states = model.solve(rtol=1e-8)
    initial = np.array(model.y_saved[0])
    rates = model.fcn(0.0, initial)  # also leaves the collision matrix of the initial state on the model
    return model, time_points, states, initial, rates


def test_collision_kernel_tends_to_the_free_molecular_limit(monodisperse_first_step):
    model, _, _, initial, _ = monodisperse_first_step
    n, isec = model.intnum, model.isec
    volumes = initial[n:n + isec]
    # Every section holds spheres: the collision diameter is the volume-equivalent one.
    np.testing.assert_allclose(model.x1[:isec], np.cbrt(6 * volumes / model.vpi), rtol=1e-12)
    knudsen = model.xkn1[:isec]
    assert knudsen[0] > 400  # 2 nm in N2 at 1500 K and 1 atm

    expected = free_molecular_beta(volumes[:, None], volumes[None, :], model.temp, model.rhop)
    deviation = model.betafu[:isec, :isec] / expected - 1
    # The Fuchs interpolation lies below its free-molecular limit and approaches it
    # as Kn grows, roughly as Kn^-2.
    smaller_knudsen = np.minimum(knudsen[:, None], knudsen[None, :])
    assert np.all(deviation < 0)
    assert np.all(np.abs(deviation) < 5 / smaller_knudsen ** 2)
    assert abs(deviation[0, 0]) < 1e-5
    assert np.all(np.diff(np.abs(np.diag(deviation))) > 0)  # larger spheres, smaller Kn, larger gap


def test_first_step_number_rate_is_half_beta_n_squared(monodisperse_first_step):
    model, time_points, states, initial, rates = monodisperse_first_step
    n, isec = model.intnum, model.isec
    rhog, vel = model.rhog, model.vel
    beta = free_molecular_beta(initial[n], initial[n], model.temp, model.rhop)
    n0 = rhog * np.sum(initial[:isec])  # m^-3; sections 1.. hold only the 1e-15 floor
    assert initial[0] > 1e30 * np.max(initial[1:isec])

    # Instantaneous rate: the derivative along the axis times vel, per unit gas density times rhog.
    dn_dt = vel * rhog * np.sum(rates[:isec])
    assert dn_dt / (-0.5 * beta * n0 ** 2) == pytest.approx(1, abs=1e-5)

    # Over the first outer step: the residence time of 1e-7 m.
    dt = time_points[0] / vel
    assert 1e-4 < beta * n0 * dt < 1e-2  # a resolvable but small change
    n1 = rhog * np.sum(states[0, :isec])
    secant = (n1 - n0) / dt
    # First-order in beta n0 dt against the initial rate ...
    assert secant / (-0.5 * beta * n0 ** 2) == pytest.approx(1, abs=beta * n0 * dt)
    # ... and close to the monodisperse solution n0 / (1 + beta n0 t / 2) over the step.
    exact_change = n0 / (1 + 0.5 * beta * n0 * dt) - n0
    assert (n1 - n0) / exact_change == pytest.approx(1, abs=2e-4)


# ---------------------------------------------------------------- the self-preserving regime

# Two polydisperse lognormal starts of the same particle volume scale, run until the
# number has fallen by more than a thousandfold (about half a second of residence
# time, 0.1 m of reactor). The grid (bin_spacing 1.6) reaches far enough above the
# largest particles that the top section stays empty: nothing is lumped there.
SPACING = 1.6
STARTS = {
    "narrow": dict(geometric_std=1.2, intnum=38),
    "wide": dict(geometric_std=1.8, intnum=48),
}
# Numbers per unit gas density are about 1e19 here. The wide start empties its
# sub-nanometre sections within milliseconds; with the default absolute tolerance
# (1e-25) the integrator follows their exponential decay through some forty decades
# and the run takes about twice as long. 1e-20 is still 1e-39 of the total number.
SOLVER = {"wide": dict(atol=1e-20)}


def run_start(name):
    model = coagulation_model(
        reactor_length=0.1, initial_distribution="Polydisperse", distribution_type="lognormal",
        total_initial_concentration=2e19, bin_spacing=SPACING, **STARTS[name])
    time_points, states = model.solve(**SOLVER.get(name, {}))
    return model, time_points, states


@pytest.fixture(scope="module")
def narrow_run():
    return run_start("narrow")


@pytest.fixture(scope="module")
def wide_run():
    return run_start("wide")


def total_number(model, states):
    return np.sum(states[:, :model.isec], axis=1)


def total_volume(model, states):
    n, isec = model.intnum, model.isec
    return np.sum(states[:, :isec] * states[:, n:n + isec], axis=1)


def test_number_decays_as_t_to_the_minus_six_fifths(narrow_run):
    model, time_points, states = narrow_run
    residence_time = time_points / model.vel
    number = total_number(model, states)
    initial = np.sum(model.y_saved[0][:model.isec])
    assert number[-1] < 1e-3 * initial  # deep in the late regime
    late = residence_time >= 0.7 * residence_time[-1]
    slope = np.polyfit(np.log(residence_time[late]), np.log(number[late]), 1)[0]
    assert slope == pytest.approx(-6 / 5, rel=0.02)
    # Early on the decay is far from the asymptote: the slope test has something to tell apart.
    early = residence_time <= 1e-4
    early_slope = np.polyfit(np.log(residence_time[early]), np.log(number[early]), 1)[0]
    assert abs(early_slope) < 0.5


def test_narrow_and_wide_starts_reach_the_self_preserving_width(narrow_run, wide_run):
    ends = {}
    for name, (model, time_points, states) in (("narrow", narrow_run), ("wide", wide_run)):
        widths = np.array([geometric_std_of_diameter(model, s) for s in states])
        start = geometric_std_of_diameter(model, np.asarray(model.y_saved[0]))
        assert start == pytest.approx(STARTS[name]["geometric_std"], rel=0.02)
        ends[name] = widths[-1]
        assert widths[-1] == pytest.approx(SELF_PRESERVING_SIGMA, rel=0.03), name
        # Approached from the side of the start.
        if name == "narrow":
            assert widths[-1] > start + 0.2
        else:
            assert widths[-1] < start - 0.25
    # The self-preserving form forgets where it came from.
    assert ends["narrow"] == pytest.approx(ends["wide"], rel=0.005)


@pytest.mark.parametrize("run", ["narrow_run", "wide_run"])
def test_coagulation_keeps_particle_volume_and_removes_number(run, request):
    model, time_points, states = request.getfixturevalue(run)
    n, isec = model.intnum, model.isec
    initial = np.asarray(model.y_saved[0])
    volume0 = np.sum(initial[:isec] * initial[n:n + isec])
    volume = total_volume(model, states)
    # The top section, where a product above the grid would be lumped, stays empty.
    assert np.max(states[:, isec - 1] * states[:, n + isec - 1]) < 1e-13 * volume0
    assert np.max(np.abs(volume - volume0)) <= 1e-12 * volume0
    number = total_number(model, states)
    assert np.all(np.diff(number) < 0)
    assert np.all(np.isfinite(states))


# ---------------------------------------------------------------- the figure of the README


def load_figure_script():
    import importlib.util
    from pathlib import Path

    path = Path(__file__).resolve().parents[1] / "tools" / "validation_figure.py"
    found = importlib.util.spec_from_file_location("validation_figure", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def test_validation_figure_shows_both_starts_and_the_asymptote(narrow_run, wide_run):
    import matplotlib.pyplot as plt

    script = load_figure_script()
    runs = [script.histories(*narrow_run, 1.2, SPACING), script.histories(*wide_run, 1.8, SPACING)]
    for run, (model, _, states) in zip(runs, (narrow_run, wide_run)):
        assert run["sigma"][-1] == pytest.approx(geometric_std_of_diameter(model, states[-1]), rel=1e-12)
        assert run["volume_change"] < 1e-12
        assert script.late_slope(run) < 0
    fig = script.make_figure(runs, [(2.0, 1.52), (1.6, runs[0]["sigma"][-1])])
    try:
        ax_sigma, ax_number, ax_grid = fig.axes
        assert ax_sigma.get_xscale() == "log" and ax_sigma.xaxis_inverted()
        assert "N / N" in ax_sigma.get_xlabel() and "sigma_g" in ax_sigma.get_ylabel()
        assert len(ax_sigma.get_lines()) == 3  # two starts and the self-preserving value
        assert ax_sigma.get_lines()[2].get_ydata()[0] == SELF_PRESERVING_SIGMA
        assert ax_number.get_xscale() == "log" and ax_number.get_yscale() == "log"
        assert "(s)" in ax_number.get_xlabel()
        reference = ax_number.get_lines()[-1]
        t, n = (np.asarray(v, dtype=float) for v in reference.get_data())
        assert np.polyfit(np.log(t), np.log(n), 1)[0] == pytest.approx(-1.2, rel=1e-12)
        assert "bin_spacing" in ax_grid.get_xlabel()
        np.testing.assert_array_equal(ax_grid.get_lines()[0].get_xdata(), [2.0, 1.6])
    finally:
        plt.close(fig)
