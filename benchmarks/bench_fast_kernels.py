"""Native population-balance kernels vs. a straightforward numpy/Python version.

Runs the three kernels on a 35-section state (the default capacity, all
sections live, lower 20 populated) and prints, per kernel, the time per call
and the ratio baseline / native. Both versions are checked to agree first.
Usage: PYTHONPATH=python python benchmarks/bench_fast_kernels.py
"""
import math
import time

import numpy as np

from velmora.core.fast_kernels import (
    calculate_beta_matrix_kernel,
    calculate_derivatives_kernel,
    recalculate_aggregation_classes_kernel,
)

VPI, RKB, AVOG = 3.1415926536, 1.38066e-23, 6.022137e23
N_SEC = 35


# ----------------------------------------------------------------- baselines

def beta_baseline(y, initial_v, isec, n, temp, eta, xlm, rhop, vpi, rkb):
    """Morphology per section in a loop, the pair matrix with numpy broadcasting."""
    y = y.copy()
    x1, dif, c, g = (np.zeros(n) for _ in range(4))
    for i in range(isec):
        N, A = y[i], y[2 * n + i]
        if not N * A > 0:
            continue
        if y[n + i] <= 0:
            y[n + i] = initial_v[n + i]
        x = y[n + i]
        xdp = x * 6 * N / A
        ccp = xdp ** 3 * (vpi / 6)
        xnpr = x / ccp
        if xnpr < 1:
            xnpr, xdp = 1.0, (6 / vpi * x) ** (1 / 3)
        L = math.log(xnpr)
        df = (1.9 * L * L - 2.6 * L + 3) / (L * L - L + 1)
        x1[i] = xdp * xnpr ** (1 / df)
        kn = xlm * 2 / x1[i]
        bbc = temp * rkb / (3 * vpi) / eta / x1[i]
        dif[i] = (5 + 4 * kn + 6 * kn ** 2 + 18 * kn ** 3) / (5 - kn + (8 + vpi) * kn ** 2) * bbc
        c[i] = math.sqrt(8 * rkb * temp / (rhop * vpi * x))
        xl = 8 * dif[i] / (vpi * c[i])
        g[i] = ((x1[i] + xl) ** 3 - (x1[i] ** 2 + xl ** 2) ** 1.5) / (3 * x1[i] * xl) - x1[i]
    live = x1 > 0
    dsum = x1[:, None] + x1[None, :]
    Dsum = dif[:, None] + dif[None, :]
    with np.errstate(divide="ignore", invalid="ignore"):
        c12 = np.sqrt(c[:, None] ** 2 + c[None, :] ** 2)
        g12 = np.sqrt(g[:, None] ** 2 + g[None, :] ** 2)
        betafu = Dsum * 2 * vpi * dsum / (8 * Dsum / (dsum * c12) + dsum / (dsum + 2 * g12))
    return np.where(live[:, None] & live[None, :], betafu, 0.0)


def classes_baseline(x, isec, n):
    jmin = np.zeros((n, n + 1), dtype=np.int64)
    jmax = np.zeros((n, n + 1), dtype=np.int64)
    jmax[0, 0] = 0 if x[1] >= x[0] * 2 else -1
    for i in range(1, isec - 1):
        for k in range(i):
            t, j = x[i - 1] - x[k], k
            while j < isec and t > x[j]:
                j += 1
            jmin[i, k] = j
            t, j = x[i + 1] - x[k], i
            while j >= k and t < x[j]:
                j -= 1
            jmax[i, k] = j
    for k in range(isec):
        t, j = x[isec - 2] - x[k], k
        while j < isec and t > x[j]:
            j += 1
        jmin[isec - 1, k], jmax[isec - 1, k] = j, isec - 1
    return jmin, jmax


def derivatives_baseline(y, x, xdp, xnpr, betafu, jmin, jmax, temp, vel, rhog, v0, a0, vpi, isec, n):
    """Coagulation only (xk = 0), the birth loop in Python, death with numpy."""
    N, V, A, C = y[:n], y[n:2 * n], y[2 * n:3 * n], y[3 * n:4 * n]
    cpp = np.where(N > 0, C / np.where(N > 0, N, 1.0), 0.0)
    yp, ts = np.zeros_like(y), np.zeros(n)
    S = betafu[:isec, :isec] @ N[:isec]
    for i in range(isec):
        bN = bA = bC = 0.0
        for k in range(i + 1):
            for j in range(max(jmin[i, k], k), jmax[i, k] + 1):
                v = x[k] + x[j]
                if v > x[isec - 1]:
                    w = 1.0
                else:
                    m = i + 1 if v >= x[i] else i - 1
                    width = x[m] - x[i]
                    w = (x[m] - v) / width if width != 0 else 1.0
                    if not 0.0 <= w <= 1.0:  # a neighbour that does not bracket the product
                        w = 1.0
                b = (0.5 if j == k else 1.0) * betafu[k, j]
                bN += w * b * N[j] * N[k]
                bA += (N[k] * A[j] + N[j] * A[k]) * b * w
                bC += (cpp[k] + cpp[j]) * b * N[j] * N[k] * w
        yp[3 * n + i] = (bC - S[i] * C[i]) * rhog / vel
        sint = 0.0  # an empty section has nothing to sinter
        if N[i] > 1e-20:  # a section holding particles (see cpp/pbe/section_occupancy.hpp)
            small = i > 0 and xnpr[i] ** 0.45 * xdp[i] <= 1.092e-9
            ts[i] = max(3.12e-10 if small else 1.12e20 * xdp[i] ** 4 * math.exp(22324.99398604763 / temp), 3.12e-12)
            sint = (A[i] - vpi * (6 / vpi * V[i]) ** (2 / 3) * N[i]) / ts[i]
        elif i > 0:
            ts[i] = 3.12e-12
        if i == 0:
            yp[0] = -S[0] * N[0] * rhog / vel
            yp[2 * n] = -S[0] * A[0] * rhog / vel - sint / vel
        else:
            yp[i] = (bN - S[i] * N[i]) * rhog / vel
            yp[2 * n + i] = (bA - S[i] * A[i]) * rhog / vel - sint / vel
    return yp, ts


# ----------------------------------------------------------------- harness

def per_call(fn, min_time=0.3):
    fn()
    calls, start = 0, time.perf_counter()
    while True:
        fn()
        calls += 1
        elapsed = time.perf_counter() - start
        if elapsed >= min_time:
            return elapsed / calls


def main():
    n = isec = N_SEC
    x = 1e-27 * 1.45 ** np.arange(n)
    N = np.where(np.arange(n) < 20, 1e13 * 0.7 ** np.arange(n), 0.0)
    A = N * VPI * (6 / VPI * x) ** (2 / 3) * 1.6
    y = np.concatenate([N, x, A, N * x * 0.3, [2e-3]])
    zeros = np.zeros(n)
    temp, eta, xlm, rhop, vel, rhog, v0, a0 = 1000.0, 4e-5, 1e-7, 7874.0, 0.5, 0.3, 1.2e-29, 2.5e-19

    def native_beta():
        return calculate_beta_matrix_kernel(y, x, y, zeros, zeros, zeros, isec, n, 2 * n, 3 * n, 0,
                                            temp, eta, xlm, rhop, VPI, RKB, True)

    res = native_beta()
    xdp, xnpr, betafu = res[2], np.maximum(res[4], 1.0), res[8]
    jmin, jmax = recalculate_aggregation_classes_kernel(x, isec, n)
    carbon = np.zeros(6 * n)

    def native_derivatives():
        return calculate_derivatives_kernel(y, x, xdp, xnpr, betafu, jmin, jmax, carbon, temp, vel, rhog,
                                            AVOG, v0, a0, VPI, 0.0, 0.0, 0.0, isec, n, 2 * n, 3 * n,
                                            4 * n, 5 * n, 6 * n, True, 0)

    cases = [
        ("calculate_beta_matrix_kernel", native_beta,
         lambda: beta_baseline(y, y, isec, n, temp, eta, xlm, rhop, VPI, RKB),
         lambda nat, base: np.allclose(nat[8], base, rtol=1e-12, atol=0)),
        ("recalculate_aggregation_classes_kernel",
         lambda: recalculate_aggregation_classes_kernel(x, isec, n),
         lambda: classes_baseline(x, isec, n),
         lambda nat, base: all(np.array_equal(a, b) for a, b in zip(nat, base))),
        ("calculate_derivatives_kernel", native_derivatives,
         lambda: derivatives_baseline(y, x, xdp, xnpr, betafu, jmin, jmax, temp, vel, rhog, v0, a0, VPI, isec, n),
         lambda nat, base: np.allclose(nat[0], base[0], rtol=1e-9, atol=1e-300)
         and np.allclose(nat[1], base[1], rtol=1e-12, atol=0)),
    ]
    print(f"{n} sections, all live, 20 populated")
    for name, native, baseline, agree in cases:
        if not agree(native(), baseline()):
            raise SystemExit(f"{name}: native and baseline disagree")
        t_nat, t_base = per_call(native), per_call(baseline)
        print(f"{name:40s} native {t_nat * 1e6:9.2f} us   baseline {t_base * 1e6:10.2f} us   "
              f"ratio {t_base / t_nat:8.1f}x")


if __name__ == "__main__":
    main()
