"""Native LSODA (C++ right-hand side) against scipy's solve_ivp(method="LSODA")
with the same problem written in Python, both timed in this run on this machine.

Usage: PYTHONPATH=python python benchmarks/bench_numerics.py [--repeat N]
"""
import argparse
import time

import numpy as np
from scipy.integrate import solve_ivp

from velmora import _numerics

RTOL, ATOL = 1e-6, 1e-10


def robertson(t, y):
    y1, y2, y3 = y
    a = 0.04 * y1
    b = 1e4 * y2 * y3
    c = 3e7 * y2 * y2
    return [-a + b, a - b - c, c]


FRONT_N, FRONT_D, FRONT_K = 141, 0.1, 100.0
_front_c = FRONT_D * (FRONT_N - 1) ** 2


def front(t, u):
    # u' = D u_xx + k u^2 (1 - u), zero-flux ends (mirror of the C++ "stiff141").
    lap = np.empty_like(u)
    lap[1:-1] = u[:-2] - 2.0 * u[1:-1] + u[2:]
    lap[0] = 2.0 * (u[1] - u[0])
    lap[-1] = 2.0 * (u[-2] - u[-1])
    return _front_c * lap + FRONT_K * u * u * (1.0 - u)


def front_initial():
    x = np.linspace(0.0, 1.0, FRONT_N)
    return 1.0 / (1.0 + np.exp((x - 0.1) / 0.02))


PROBLEMS = {
    # name: (python rhs, y0, t_end)
    "robertson": (robertson, np.array([1.0, 0.0, 0.0]), 1e5),
    "stiff141": (front, front_initial(), 1.0),
}


def best_time(fn, repeat):
    best, out = np.inf, None
    for _ in range(repeat):
        t0 = time.perf_counter()
        out = fn()
        best = min(best, time.perf_counter() - t0)
    return best, out


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    for name, (rhs, y0, t_end) in PROBLEMS.items():
        t_native, native = best_time(
            lambda: _numerics.benchmark_problem(name, rtol=RTOL, atol=ATOL, t_end=t_end), args.repeat)
        t_scipy, ref = best_time(
            lambda: solve_ivp(rhs, (0.0, t_end), y0, method="LSODA", rtol=RTOL, atol=ATOL), args.repeat)
        assert native.success and ref.success, (native.message, ref.message)
        scale = ATOL + RTOL * np.abs(ref.y[:, -1])
        deviation = np.max(np.abs(native.y[:, -1] - ref.y[:, -1]) / scale)
        print(f"{name}: n={len(y0)} steps native {len(native.t) - 1} / scipy {len(ref.t) - 1}, "
              f"nfev {native.nfev} / {ref.nfev}, njev {native.njev} / {ref.njev}, "
              f"end-state deviation {deviation:.2g} x tolerance")
        print(f"{name}: native {t_native * 1e3:.3f} ms, scipy {t_scipy * 1e3:.1f} ms, "
              f"ratio {t_scipy / t_native:.1f}x")


if __name__ == "__main__":
    main()
