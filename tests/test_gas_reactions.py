"""Gas-phase step: result layout, carbon bookkeeping of the composition, errors."""

import numpy as np
import pytest

from velmora.modules import gas_reactions
from velmora.modules.chemical_kinetics_species_detector import species_detector

INLET = {"C2H2": 0.00452, "C2H4": 1e-15, "H2": 0.00905, "N2": 0.90498}


def step(gas, **kwargs):
    args = dict(gas=gas, chk_temp=293, flow_velocity=0.04, inlet_composition=INLET)
    args.update(kwargs)
    return gas_reactions.chemical_kinetics(**args)


def test_mechanism_holds_the_species_the_model_needs(fresh_gas):
    for name in ("C2H2", "C2H4", "C4H4", "CH4", "H2", "N2"):
        assert name in fresh_gas.species_names
    assert fresh_gas.n_species == 96


@pytest.mark.parametrize(
    "formula, count",
    [("C2H2", 2), ("CH4", 1), ("CO2", 1), ("C2H5OH", 2), ("H2CO", 0), ("N2", 0), ("C12H26", 12), ("", 0)],
)
def test_count_carbon_atoms_reads_only_the_leading_group(formula, count):
    assert gas_reactions.count_carbon_atoms(formula) == count


def test_result_layout_and_key_orders(fresh_gas):
    props, all_species, largest, carbon = step(fresh_gas)
    assert list(props) == ["curr_specs", "curr_visc", "curr_dens", "curr_cp", "curr_cv", "curr_total_mol_weight"]
    assert props["curr_specs"] == []
    for key in list(props)[1:]:
        assert isinstance(props[key], np.ndarray) and props[key].shape == (1,)
    assert list(all_species) == fresh_gas.species_names
    assert abs(sum(all_species.values()) - 1.0) < 1e-12

    fractions = list(largest.values())
    assert 0 < len(largest) <= 5
    assert fractions == sorted(fractions, reverse=True)
    assert all(name.startswith("C") for name in largest)
    assert next(iter(carbon.items())) == ("C2H2", 2)
    assert list(carbon)[1:] == [k for k in largest if k != "C2H2"] or list(carbon) == list(largest)


def test_step_is_isothermal_and_overwrites_the_callers_gas(fresh_gas):
    props, *_ = step(fresh_gas, chk_temp=1100.0, flow_velocity=0.1, reactor_data={"lengthstep": 1e-3})
    assert fresh_gas.T == pytest.approx(1100.0, abs=0)
    assert props["curr_dens"][0] == pytest.approx(fresh_gas.density)


def test_hot_step_makes_products_that_compete_for_the_five_places(fresh_gas):
    _, all_species, largest, carbon = step(
        fresh_gas, chk_temp=1300.0, flow_velocity=0.01, reactor_data={"lengthstep": 0.01}
    )
    carbon_species = sorted(
        ((x, n) for n, x in all_species.items() if n.startswith("C")), key=lambda p: -p[0]
    )
    assert list(largest) == [n for _, n in carbon_species[:5]]
    assert list(carbon)[0] == "C2H2"
    for name in largest:
        assert carbon[name] == gas_reactions.count_carbon_atoms(name)


def test_dominant_species_keeps_first_place_even_when_it_is_not_largest(fresh_gas):
    *_, carbon = step(fresh_gas, dominant_species="CH4")
    assert list(carbon)[0] == "CH4" and carbon["CH4"] == 1


def test_defaults_are_not_modified(fresh_gas):
    defaults = gas_reactions.chemical_kinetics.__doc__  # the function is documented
    assert defaults
    result = gas_reactions.chemical_kinetics(fresh_gas)
    assert result[0]["curr_dens"][0] > 0
    again = gas_reactions.chemical_kinetics(fresh_gas)
    assert again[1].keys() == result[1].keys()


def test_missing_lengthstep_is_a_key_error(fresh_gas):
    with pytest.raises(KeyError, match="lengthstep"):
        step(fresh_gas, reactor_data={"length": 0.6})


def test_unknown_species_raises_canteras_error(fresh_gas):
    import cantera as ct

    with pytest.raises(ct.CanteraError):
        step(fresh_gas, inlet_composition={"XYZ": 1.0})


def test_species_detector_lists_carbon_bearing_species():
    found = species_detector({"N2": 0.9, "CH4": 0.01, "C2H2": 0.05, "H2CO": 0.2})
    assert [name for name, _, _ in found] == ["C2H2", "CH4"]
    assert found[0][2] == 2
