"""The march along the reactor: step table, histories, bounds, stop rule, regridding, coupling."""

import re

import numpy as np
import pytest

from velmora.core.growth_simulator import MovingSectionalModel

SHORT = dict(intnum=10, reactor_length=0.003)


@pytest.fixture(scope="module")
def default_run_without_surface():
    model = MovingSectionalModel(surface_kinetics_solver_activated=False)
    time_points, solutions = model.solve()
    return model, time_points, solutions


def test_step_table_and_return_shapes(default_run_without_surface):
    model, time_points, solutions = default_run_without_surface
    assert len(time_points) == 191
    assert time_points[-1] == pytest.approx(0.60111, abs=1e-12)
    assert time_points[:3] == pytest.approx([1e-7, 2e-7, 3e-7], rel=1e-12)
    steps = np.diff(np.concatenate([[0.0], time_points]))
    assert steps[9] == pytest.approx(1e-7) and steps[10] == pytest.approx(1e-6)
    assert set(np.round(steps[-5:], 12)) == {0.004}
    assert solutions.shape == (191, 141)
    assert model.counter == 191


def test_histories_have_one_entry_per_step(default_run_without_surface):
    model, time_points, solutions = default_run_without_surface
    for name in ("ts_saved", "xdf_saved", "kn_saved", "dp_saved", "xdp_saved", "xnpr_saved", "xdp_gp_saved"):
        assert len(getattr(model, name)) == 191, name
    assert len(model.simulation_time) == 192 and model.simulation_time[0] == 0.0
    assert len(model.y_saved) == 192
    assert [entry["time"] for entry in model.kn_saved[:2]] == pytest.approx([1e-7, 2e-7])
    # Surface kinetics off: none of its histories move.
    assert model.wall_number_section_saved == [] and model.carbon_mass_balance_saved == []
    assert model.temp_gas_saved == [] and model.temp_NP_saved == []
    assert np.array_equal(model.y_saved[-1], model.y)


def test_number_concentrations_respect_their_floors(default_run_without_surface):
    model, _, solutions = default_run_without_surface
    live = model.isec
    assert np.all(solutions[:, :live] >= 1e-15)
    assert np.all(solutions[:, 3 * model.intnum:3 * model.intnum + live] >= 1e-35)
    assert np.all(np.isfinite(solutions))


def test_coagulation_keeps_particle_volume():
    model = MovingSectionalModel(
        intnum=20, reactor_length=0.002, total_initial_concentration=1e17,
        initial_distribution="Polydisperse", surface_kinetics_solver_activated=False,
    )
    time_points, solutions = model.solve()
    n = model.intnum
    volume = [np.sum(s[: model.isec] * s[n:n + model.isec]) for s in solutions]
    assert solutions[-1, model.isec - 1] < 1e-6 * solutions[-1, : model.isec].max()
    assert np.ptp(volume) / volume[0] < 1e-5
    # Particles collide on every outer step, far from the inlet too (steps there
    # start far below the spacing of doubles at t and must still advance).
    number = solutions[:, : model.isec].sum(axis=1)
    assert np.all(np.diff(number) < 0)
    assert number[-1] < 0.5 * number[0]


def test_stop_rule_fires_once_and_drops_the_stopping_step(capsys):
    model = MovingSectionalModel(intnum=6, paper_name_for_temperature_history="Celnik_2008",
                                 surface_kinetics_solver_activated=False)
    time_points, _ = model.solve()
    out = capsys.readouterr().out
    lines = [line for line in out.splitlines() if line.startswith("Stopping simulation")]
    assert len(lines) == 1
    stop_tend = time_points[-1] + 0.004
    # The temperature is the one of the integrator's last evaluation inside the stopping step.
    match = re.fullmatch(r"Stopping simulation: Temperature \((\d+\.\d\d)K\) < 400K and time \((\d\.\d{4})s\) > 4s",
                         lines[0])
    assert match and float(match.group(1)) < 570 and match.group(2) == f"{stop_tend:.4f}"
    assert 0.4 < time_points[-1] < 0.6
    assert len(model.xdp_saved) == len(time_points)


def test_moving_grid_runs_and_lower_case_never_regrids(capsys):
    moving = MovingSectionalModel(regrid_condition="Moving", surface_kinetics_solver_activated=False, **SHORT)
    t_moving, s_moving = moving.solve()
    assert np.all(np.isfinite(s_moving))
    lower = MovingSectionalModel(regrid_condition="moving", surface_kinetics_solver_activated=False, **SHORT)
    fixed = MovingSectionalModel(regrid_condition="Fixed", surface_kinetics_solver_activated=False, **SHORT)
    _, s_lower = lower.solve()
    _, s_fixed = fixed.solve()
    assert np.array_equal(s_lower, s_fixed)
    # The moving grid opened fresh sections of nuclei at the monomer volume.
    n = moving.intnum
    assert moving.y[n] == pytest.approx(moving.v0)


def test_particle_temperature_histories_when_enabled():
    model = MovingSectionalModel(sinterin_energy_release_activated=True, numerical_approach_NP_temp_solver="Explicit",
                                 surface_kinetics_solver_activated=False, intnum=8, reactor_length=2e-5)
    time_points, _ = model.solve()
    assert len(model.temp_gas_saved) == len(time_points) == len(model.temp_NP_saved)
    assert all(np.all(np.asarray(t) >= 873 - 1e-9) for t in model.temp_NP_saved)


@pytest.fixture(scope="module")
def coupled_run():
    model = MovingSectionalModel(intnum=10, reactor_length=0.02)
    time_points, solutions = model.solve()
    return model, time_points, solutions


def test_surface_coupling_records_every_step_from_the_second(coupled_run):
    model, time_points, _ = coupled_run
    steps = len(time_points)
    assert len(model.wall_number_section_saved) == steps - 1
    for walls in model.wall_number_section_saved:
        assert np.all(walls[: model.isec] >= 1)
    assert len(model.carbon_mass_balance_saved) == steps - 2
    assert all(np.isfinite(b) and b > 0 for b in model.carbon_mass_balance_saved)
    assert len(model.carbon_composition_saved) == steps - 1
    for comp in model.carbon_composition_saved:
        assert list(comp) == ["cnt_percent", "gp_percent", "impurity_percent", "other_percent"]
        assert all(np.isfinite(v) for v in comp.values())
    n = model.intnum
    assert np.all(model.carbon_data[n:n + model.isec] >= 0)
    assert model.AA12[1]["H2"] > 0.5 * model.AA12_initial["H2"]
    assert model.wall_number_avg >= 1 and model.N_avg > 0 and model.dm_avg > 0


def test_grown_carbon_lands_in_the_state(coupled_run):
    model, _, solutions = coupled_run
    n = model.intnum
    assert model.y[3 * n: 3 * n + model.isec].sum() > solutions[0, 3 * n: 3 * n + model.isec].sum()
    assert model.lengthththt != 0


@pytest.mark.parametrize("overrides", [
    dict(surface_kinetics_type="Surface_Kinetics_Ma_etal_2005"),
    dict(catalsyt_element="Fe"),
])
def test_other_surface_model_and_iron_run(overrides):
    model = MovingSectionalModel(intnum=8, reactor_length=0.01, **overrides)
    time_points, solutions = model.solve()
    assert np.all(np.isfinite(solutions))
    assert len(model.wall_number_section_saved) == len(time_points) - 1
    assert all(np.all(w[: model.isec] >= 1) for w in model.wall_number_section_saved)


def test_unknown_surface_model_runs_no_surface_kinetics():
    model = MovingSectionalModel(intnum=6, reactor_length=2e-5, surface_kinetics_type="none")
    model.solve()
    assert not np.any(model.final_values)


def test_an_infinite_reactor_is_refused_before_marching():
    model = MovingSectionalModel(intnum=6, reactor_length=2e-5, surface_kinetics_solver_activated=False)
    model.reactor_length = float("inf")
    with pytest.raises(ValueError, match="reactor_length must be finite"):
        model.solve()
    assert model.counter == 0 and model.kn_saved == []
    model.reactor_length = float("nan")  # no length at all: refused, not an empty run
    with pytest.raises(ValueError, match="^reactor_length must be a length in m, got nan$"):
        model.solve()
    assert model.counter == 0 and model.kn_saved == []


def test_carbon_balance_counts_every_fed_carbon_species():
    # Three carbon species at the inlet: the balance of the gas-phase carbon
    # starts at 1 only if the initial carbon counts all three of them.
    model = MovingSectionalModel(intnum=8, reactor_length=2e-5, gas_initial_composition={
        "C2H2": 0.003, "C2H4": 0.003, "C4H4": 0.002, "H2": 0.009, "N2": 0.983})
    model.solve()
    balance = np.asarray(model.carbon_mass_balance_saved)
    assert len(balance) >= 3
    assert np.all(np.abs(balance - 1) < 0.02), balance
