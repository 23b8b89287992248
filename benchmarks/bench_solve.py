"""Reactor runs: wall time, where it goes, and native vs. a scipy-driven integration loop.

    PYTHONPATH=python python benchmarks/bench_solve.py [--quick]

1. The default run without surface kinetics (191 outer steps): wall time and the
   share spent in gas-phase calls (timed by wrapping the Cantera step).
2. The same outer steps driven from Python with scipy.integrate.solve_ivp(LSODA)
   on the model's own fcn: ratio of its time to the native population balance.
3. The full default run (surface kinetics on) and its split into gas-phase calls,
   population balance and surface kinetics.
"""

import sys
import time

import numpy as np
from scipy.integrate import solve_ivp

from velmora.core.growth_simulator import MovingSectionalModel
from velmora.modules import gas_reactions


class GasTimer:
    """Wraps chemical_kinetics to add up the time spent in gas-phase steps."""

    def __init__(self):
        self.seconds = 0.0
        self.calls = 0
        self._original = gas_reactions.chemical_kinetics

    def __enter__(self):
        def timed(*args, **kwargs):
            start = time.perf_counter()
            try:
                return self._original(*args, **kwargs)
            finally:
                self.seconds += time.perf_counter() - start
                self.calls += 1

        gas_reactions.chemical_kinetics = timed
        return self

    def __exit__(self, *exc):
        gas_reactions.chemical_kinetics = self._original


def outer_step_end(t):
    if t < 1e-6:
        return t + 1e-7
    if t < 1e-5:
        return t + 1e-6
    if t < 0.0011:
        return t + 5e-5
    return t + 0.004


def scipy_driven_loop(reactor_length, rtol=1e-6, atol=1e-25):
    """The population balance of a default model integrated step by step by scipy."""
    model = MovingSectionalModel(surface_kinetics_solver_activated=False, reactor_length=reactor_length)
    model.initialize_conditions()
    model.temp_vel(0.0)
    # The gas state of the first outer step, as solve() computes it.
    model.AA12 = gas_reactions.chemical_kinetics(
        gas=model.gas, flow_velocity=model.vel, chk_temp=model.temp,
        reactor_pressure=model.total_pressure / 101325, inlet_composition=model.gas_initial_composition,
        reactor_data={"length": reactor_length, "diameter": model.xdtube, "lengthstep": 1e-7,
                      "reaction_mechanism": model.kinetics_mechanism_type},
    )
    y0 = model.y.copy()
    isec, n = model.isec, model.intnum
    y0[:isec] = np.maximum(y0[:isec], 1e-15)
    t = 0.0
    start = time.perf_counter()
    step = 0
    while t < reactor_length:
        step += 1
        model.counter = step
        tend = outer_step_end(t)
        model.temp_vel(t)
        sol = solve_ivp(model.fcn, [t, tend], y0, method="LSODA", rtol=rtol, atol=atol)
        y0 = sol.y[:, -1].copy()
        y0[:isec] = np.maximum(y0[:isec], 1e-15)
        y0[3 * n:3 * n + isec] = np.maximum(y0[3 * n:3 * n + isec], 1e-35)
        t = tend
    return time.perf_counter() - start


def timed_run(**kwargs):
    model = MovingSectionalModel(**kwargs)
    with GasTimer() as gas:
        start = time.perf_counter()
        time_points, _ = model.solve()
        total = time.perf_counter() - start
    return total, gas, len(time_points)


def main(quick=False):
    length = 0.1 if quick else 0.6
    total, gas, steps = timed_run(surface_kinetics_solver_activated=False, reactor_length=length)
    print(f"default run without surface kinetics ({steps} steps): {total:.3f} s, "
          f"gas-phase calls {gas.calls} taking {gas.seconds:.3f} s ({100 * gas.seconds / total:.1f} %)")
    native_pbe = total - gas.seconds

    scipy_length = 0.02 if quick else 0.1
    native_short, gas_short, _ = timed_run(surface_kinetics_solver_activated=False, reactor_length=scipy_length)
    scipy_seconds = scipy_driven_loop(scipy_length)
    native_short_pbe = native_short - gas_short.seconds
    print(f"population balance over {scipy_length} m: native {native_short_pbe:.3f} s, "
          f"scipy LSODA driving fcn from Python {scipy_seconds:.3f} s, "
          f"ratio {scipy_seconds / native_short_pbe:.1f}x (target >= 10x)")

    full, gas_full, steps_full = timed_run(reactor_length=length)
    surface = max(full - gas_full.seconds - native_pbe, 0.0)
    print(f"full default run ({steps_full} steps): {full:.3f} s = gas {gas_full.seconds:.3f} s "
          f"+ population balance ~{native_pbe:.3f} s + surface kinetics and bookkeeping ~{surface:.3f} s "
          f"(target: well under 30 s)")


if __name__ == "__main__":
    main(quick="--quick" in sys.argv)
