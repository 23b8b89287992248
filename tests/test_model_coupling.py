"""Surface coupling and gas feedback inside solve(): which sections the surface step runs,
what each surface model leaves on the model, and how the feedback treats odd gas results.

The gas-phase step is the one call of an outer step that goes back to Python, so the tests
wrap it to change the model or the gas result at a chosen step (the call number equals the
outer-step counter, since the model is built before the wrapper is installed).
"""

import numpy as np
import pytest

import velmora.modules.gas_reactions as gas_reactions
from velmora.core.growth_simulator import MovingSectionalModel

N = 8
PURETZKY = "Surface_Kinetics_Puretzky_etal_2005"
MA = "Surface_Kinetics_Ma_etal_2005"


@pytest.fixture
def around_gas_step(monkeypatch):
    """install(hook): hook(model, call, result) runs after every gas step; a non-None
    return replaces the result."""
    real = gas_reactions.chemical_kinetics

    def install(model, hook):
        calls = [0]

        def step(**kwargs):
            calls[0] += 1
            result = real(**kwargs)
            replaced = hook(model, calls[0], result)
            return result if replaced is None else replaced

        monkeypatch.setattr(gas_reactions, "chemical_kinetics", step)

    return install


def with_entry(result, index, update):
    parts = list(result)
    parts[index] = update(dict(parts[index]))
    return tuple(parts)


def test_surface_step_runs_the_sections_counted_after_the_gas_step(around_gas_step):
    model = MovingSectionalModel(intnum=N, reactor_length=2e-7)

    def hook(m, call, result):
        if call == 2:
            m.isec = 3
            m.wall_number_section = np.full(N, 42.0)

    around_gas_step(model, hook)
    model.solve()
    walls = model.wall_number_section_saved[0]
    assert np.all(walls[:3] >= 1) and np.all(walls[3:] == 42.0)
    # One row per possible live section; the rows of sections not run stay zero.
    rows = np.asarray(model.final_values_section).reshape(N - 2, 7)
    assert np.all(rows[3:] == 0) and np.all(rows[:3, 0] > 0)


@pytest.mark.parametrize("kinetics", [PURETZKY, MA])
def test_a_section_beyond_the_result_rows_is_an_index_error(around_gas_step, kinetics):
    model = MovingSectionalModel(intnum=N, reactor_length=2e-7, surface_kinetics_type=kinetics)
    around_gas_step(model, lambda m, call, result: setattr(m, "isec", N - 1) if call == 2 else None)
    with pytest.raises(IndexError, match="index 6 is out of bounds for axis 0 with size 6"):
        model.solve()


@pytest.mark.parametrize("kinetics, missing", [(PURETZKY, None), (MA, "C4H4")])
def test_no_live_sections_needs_no_surface_model_inputs(around_gas_step, kinetics, missing):
    model = MovingSectionalModel(intnum=N, reactor_length=2e-7, surface_kinetics_type=kinetics)

    def hook(m, call, result):
        if call != 2:
            return None
        m.isec = 0
        m.inlet_initial_partial_pressure = {}  # the Puretzky model's feedstock pressure
        if missing:
            return with_entry(result, 1, lambda d: {k: v for k, v in d.items() if k != missing})
        return None

    around_gas_step(model, hook)
    model.solve()
    assert len(model.wall_number_section_saved) == 1
    assert model.final_values[5] == 0


def test_only_the_puretzky_branch_updates_the_section_averages():
    names = ("wall_number_avg", "N_avg", "dm_avg", "L_cnt_avg")
    for kinetics, updated in ((PURETZKY, True), (MA, False)):
        model = MovingSectionalModel(intnum=N, reactor_length=3e-7, surface_kinetics_type=kinetics)
        for name in names:
            setattr(model, name, -7.0)
        model.solve()
        values = [getattr(model, name) for name in names]
        if updated:
            assert values[0] >= 1 and values[1] > 0 and values[2] > 0
        else:
            assert values == [-7.0] * 4


@pytest.mark.parametrize("live", [0, 1])
def test_section_walls_with_fewer_than_two_live_sections(around_gas_step, live):
    model = MovingSectionalModel(intnum=N, reactor_length=1e-7, surface_kinetics_solver_activated=False)
    before = {}

    def hook(m, call, result):
        m.isec = live
        m.v = 3 * np.asarray(m.v)  # walls that no longer match the nodes
        before["v"] = m.v

    around_gas_step(model, hook)
    model.solve()
    y, v, old, spacing = model.y, model.v, before["v"], model.bin_spacing
    if live == 1:
        assert v[0] == spacing * y[N] - old[1]
        assert v[1] == spacing * y[N] - v[0]
    else:
        # v[isec - 1] is v[-1]: the top wall.
        assert v[0] == spacing * y[N - 1] - old[-1]
        assert np.array_equal(v[1:], old[1:])


def test_composition_reset_adds_a_species_the_new_gas_result_lacks(around_gas_step):
    model = MovingSectionalModel(intnum=N, reactor_length=2e-7)

    def hook(m, call, result):
        if call == 2:
            assert list(result[3])[1] == "C2H4"
            return with_entry(result, 1, lambda d: {k: v for k, v in d.items() if k != "C2H4"})
        return None

    around_gas_step(model, hook)
    model.solve()
    assert list(model.AA12[1])[-1] == "C2H4"
    assert model.AA12[1]["C2H4"] == model.AA12_initial["C2H4"]


def _zero_feedstock_atoms(result):
    return with_entry(result, 3, lambda d: {k: (0 if i == 0 else v) for i, (k, v) in enumerate(d.items())})


@pytest.mark.parametrize("change, error, text", [
    # No surface model runs, so the step's increments come from the previous values alone.
    (lambda m, r: setattr(m, "final_value_previous", np.full(7, np.nan)), ValueError,
     "cannot convert float NaN to integer"),
    (lambda m, r: (setattr(m, "final_value_previous", np.ones(7)), _zero_feedstock_atoms(r))[1], OverflowError,
     "cannot convert float infinity to integer"),
    (lambda m, r: (setattr(m, "final_value_previous", np.ones(7)), setattr(m, "reactor_volume", 0.0)) and None,
     ZeroDivisionError, "float division by zero"),
])
def test_gas_feedback_refuses_counts_without_an_integer_value(around_gas_step, change, error, text):
    model = MovingSectionalModel(intnum=N, reactor_length=3e-7, surface_kinetics_type="none")
    around_gas_step(model, lambda m, call, result: change(m, result) if call == 3 else None)
    with pytest.raises(error, match=text):
        model.solve()
    assert model.counter == 3
