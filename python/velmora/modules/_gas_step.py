"""One isothermal, constant-pressure step of a gas mixture with Cantera.

Called once per step by the compiled ``velmora.modules.gas_reactions.chemical_kinetics``,
which checks the request before and condenses the result after (the carbon
species and counts are the core's).
"""

import cantera as ct
import numpy as np


def _phase(reactor):
    # Cantera 3 names a reactor's phase `phase`; earlier versions `thermo`.
    return reactor.phase if hasattr(reactor, "phase") else reactor.thermo


def isothermal_step(gas, flow_velocity, chk_temp, reactor_pressure, inlet_composition, length_step):
    """Advances `gas` (its state is overwritten) by the residence time of one axial step.

    Returns the gas state without its carbon tables, which the caller fills: the
    recorded states' properties (one entry per state) and the mole fraction of
    every species of the mechanism at the end, in the mechanism's order.
    """
    pressure = reactor_pressure * ct.one_atm
    timestep = length_step / flow_velocity
    gas.TPX = chk_temp, pressure, inlet_composition
    try:  # the reactor shares the caller's Solution; newer Cantera versions ask for that explicitly
        reactor = ct.IdealGasConstPressureReactor(gas, clone=False)
    except TypeError:
        reactor = ct.IdealGasConstPressureReactor(gas)
    reactor.energy_enabled = False
    net = ct.ReactorNet([reactor])
    states = ct.SolutionArray(_phase(reactor))
    for time in (np.arange(1) + 1) * timestep:
        net.advance(time)
        states.append(_phase(reactor).state)
    properties = {"curr_specs": [], "curr_visc": states.viscosity, "curr_dens": states.density,
                  "curr_cp": states.cp_mole, "curr_cv": states.cv_mole,
                  "curr_total_mol_weight": states.mean_molecular_weight}
    return properties, dict(zip(gas.species_names, states.X[-1])), {}, {}
