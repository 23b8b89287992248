"""One surface-kinetics run (Puretzky model, one temperature, one reactor step)
solved natively versus the same system solved by scipy's LSODA from Python.

Two baselines, both measured in this run:
  python-rhs  scipy with the equations written in Python (what a Python
              implementation of the model runs) -- the target is native >= 50x;
  native-rhs  scipy driving the module's own ode_system (a C++ right-hand side
              called from Python): only scipy's stepping is left in Python, so
              this ratio is the floor.

Run: PYTHONPATH=python python benchmarks/bench_surface_kinetics.py
"""
import math
import statistics
import time
import types

import numpy as np
from scipy.integrate import solve_ivp

from velmora.modules.acetylene_growth import Surface_Kinetics_Puretzky_etal_2005

CASES = [  # (temperature °C, diameter m, H2 flux coefficient, residence-time span s)
    (650.0, 8e-9, 0.0, (2.0, 2.05)),
    (750.0, 1.5e-8, 1e-3, (3.1, 3.2)),
    (900.0, 3e-8, 5e-2, (0.5, 0.52)),
]
REPEATS = 7


class PythonSurfaceModel:
    """The surface equations as a Python implementation evaluates them, one call per step."""

    def __init__(self, native):
        names = ("n0", "reactor_volume", "np1", "np2", "S_0", "kb", "species_weight",
                 "average_species_weight_product", "E_a1", "B", "E_sb", "E_b", "dp", "xnpr",
                 "current_H2_flux_coeff", "H2_current_partial_pressure", "alpha", "n_m", "k_c1",
                 "k_d1", "k_d2", "carb_strc_surface", "carb_deactiv")
        self.__dict__.update({name: getattr(native, name) for name in names})

    def calculate_k_sb(self, temperature_kelvin):
        return self.B * math.exp(-self.E_sb / (8.617e-5 * temperature_kelvin))

    def ode_system(self, t, y, temp_C):
        N_c, N_L1, N_L2, N_b, N_t, N_CH4 = y
        temp = temp_C + 273.15
        n = max(self.n0 - ((N_c + N_b + N_t) / 2) / self.reactor_volume, 0)
        n_p = self.np1 + self.np2
        if n <= 0:
            n = 0
            n_p = 0
        A_etching = 1.1516666666666666e-08 * np.exp(-8672.119316815011 / temp)
        B_etching = 3.5e-12 * np.exp(-14204.955496752465 / temp)
        F_b1 = 0.25 * self.S_0 * n * np.sqrt(self.kb * temp / (2 * np.pi * self.species_weight))
        F_c1 = F_b1 * np.exp(-self.E_a1 / (8.617e-5 * temp))
        F_b2 = 0.25 * self.S_0 * n_p * np.sqrt(self.kb * temp / (2 * np.pi * self.average_species_weight_product))
        F_c2 = F_b2 * np.exp(-self.E_a1 / (8.617e-5 * temp))
        k_sb = self.calculate_k_sb(temp)
        k_t = 4e-05 / self.dp ** 2 * np.exp(-self.E_b / (8.617e-5 * temp))
        self.particle_area = np.pi * self.xnpr * self.dp ** 2 / 2
        self.current_H2_flux = self.current_H2_flux_coeff / (self.dp / 2) * self.particle_area
        k_r = self.current_H2_flux * 1.2e8 * np.exp(-2.4 / (8.617e-5 * temp))
        P = self.H2_current_partial_pressure
        etching_factor = A_etching * P ** 2 / (1 + B_etching * P)
        f = 1 - (N_L1 + N_L2) / (self.alpha * self.S_0 * self.n_m)
        dN_c_dt = F_c1 * f - (k_sb + self.k_c1) * N_c - etching_factor * N_c
        dN_L1_dt = F_c2 * f + self.k_c1 * N_c - self.k_d1 * N_L2 - etching_factor * N_L1 if self.carb_strc_surface == True else 0  # noqa: E712,E501
        dN_L2_dt = k_r * f - self.k_d2 * N_L2 if self.carb_deactiv == True else 0  # noqa: E712
        dN_b_dt = k_sb * N_c - k_t * N_b + self.k_d1 * N_L1
        dN_t_dt = k_t * N_b
        dN_CH4_dt = A_etching * P ** 2 / (1 + B_etching * P) * (N_c + N_L1)
        return [dN_c_dt, dN_L1_dt, dN_L2_dt, dN_b_dt, dN_t_dt, dN_CH4_dt]


def median_time(fn, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    ratios = {"python-rhs": [], "native-rhs": []}
    for temp_C, dp, h2, span in CASES:
        model = Surface_Kinetics_Puretzky_etal_2005(_current_H2_flux_coeff=h2, H2_current_partial_pressure=2e4)
        model._dp = dp
        y0 = model._Surface_Kinetics_Puretzky_etal_2005__initial_conditions
        python_model = PythonSurfaceModel(model)
        length = span[1] - span[0]  # scipy too starts at 0: absolute times of seconds floor its first steps

        def native():
            return model.run_surface_kinetics_simulation([temp_C], span)

        def scipy_with(rhs):
            return lambda: solve_ivp(lambda t, y: rhs(t, y, temp_C), (0.0, length), y0,
                                     method="LSODA", rtol=1e-8, atol=1e-15)

        baselines = {"python-rhs": scipy_with(python_model.ode_system), "native-rhs": scipy_with(model.ode_system)}
        end = native()[temp_C].y[:, -1]
        for ref in baselines.values():  # same system, same answer
            np.testing.assert_allclose(ref().y[:, -1], end, rtol=1e-5, atol=1e-12)

        native_time = median_time(native, REPEATS * 5)
        line = f"T={temp_C:6.1f} C dp={dp:.1e} m: native {native_time * 1e3:7.3f} ms"
        for name, fn in baselines.items():
            t = median_time(fn, REPEATS)
            ratios[name].append(t / native_time)
            line += f" | scipy {name} {t * 1e3:6.2f} ms = {t / native_time:6.1f}x"
        print(line)
    for name, values in ratios.items():
        target = " (target >= 50x)" if name == "python-rhs" else " (floor: scipy stepping alone)"
        print(f"native vs scipy {name}: {statistics.geometric_mean(values):.1f}x geometric mean{target}")


if __name__ == "__main__":
    main()
