"""Phase-classifier training: compiled descent against the per-sample Python loops.

Trains on 100 labelled points with degree-12 monomials (90 features) for 10000
steps, once with velmora's `_Main_ML_2D.train` and once with the same descent
written as plain per-sample Python loops over numpy rows (the baseline, defined
only here). Both start from the same initial weights, so their final costs must
agree. Prints both times and their ratio.

    PYTHONPATH=python python benchmarks/bench_ml.py [--baseline-iterations N]

With --baseline-iterations N < 10000 the baseline runs N steps and its time is
scaled to 10000 (each step costs the same); the default runs all of them.
"""
import argparse
import contextlib
import io
import math
import time

import numpy as np

from velmora.ml.phase_boundary_learner import _Main_ML_2D

SAMPLES, DEGREE, ITERATIONS, ALPHA, LAMBDA = 100, 12, 10000, 1.5, 0.001


# --- the baseline: the descent exactly as the per-sample formulas read ---------

def sigmoid1(z):
    return 1 / (1 + np.exp(-z))


def logistic_loss(X, y, w, b, *argv):
    m, n = X.shape
    total_cost = 0
    for i in range(m):
        z_i = np.dot(X[i], w) + b
        total_cost += y[i] * np.log(sigmoid1(z_i)) + (1 - y[i]) * np.log(1 - sigmoid1(z_i))
    return -total_cost / m


def logistic_loss_reg(X, y, w, b, lambda_=1):
    m, n = X.shape
    cost_without_reg = logistic_loss(X, y, w, b)
    reg_cost = 0.0
    for j in range(n):
        reg_cost += w[j] ** 2
    return cost_without_reg + (reg_cost * lambda_) / (2 * m)


def compute_gradient(X, y, w, b, lambda_=1):
    m, n = X.shape
    dj_dw = np.zeros(w.shape)
    dj_db = 0.0
    for i in range(m):
        z_i = np.dot(X[i], w) + b
        dj_dw = dj_dw + (sigmoid1(z_i) - y[i]) * X[i] + (lambda_ * w) / m
        dj_db = dj_db + (sigmoid1(z_i) - y[i])
    return dj_db / m, dj_dw / m


def fit_weights_baseline(X, y, w_in, b_in, alpha, num_iters, lambda_):
    J_history = []
    for i in range(num_iters):
        dj_db, dj_dw = compute_gradient(X, y, w_in, b_in, lambda_)
        w_in = w_in - alpha * dj_dw
        b_in = b_in - alpha * dj_db
        if i < 100000:
            J_history.append(logistic_loss_reg(X, y, w_in, b_in, lambda_))
        if i % math.ceil(num_iters / 10) == 0 or i == num_iters - 1:
            print(f"Iteration {i:4}: Cost {float(J_history[-1]):8.2f}   ")
    return w_in, b_in, J_history


# --- the run ---------------------------------------------------------------------

def training_set():
    rng = np.random.default_rng(42)
    X = np.column_stack([rng.uniform(0.001, 0.01, SAMPLES), rng.uniform(800, 1200, SAMPLES)])
    y = (X[:, 1] < 900 + 2e4 * X[:, 0]).astype(int)
    return X, y


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--baseline-iterations", type=int, default=ITERATIONS)
    parser.add_argument("--repeats", type=int, default=3, help="native runs; the fastest counts")
    args = parser.parse_args()
    X, y = training_set()

    native_times = []
    for _ in range(args.repeats):
        clf = _Main_ML_2D(iterations=ITERATIONS, poly_degree=DEGREE, n_order=DEGREE, alpha=ALPHA, lambda_=LAMBDA)
        np.random.seed(0)
        with contextlib.redirect_stdout(io.StringIO()):
            t0 = time.perf_counter()
            clf.train(X, y)
            native_times.append(time.perf_counter() - t0)
    native = min(native_times)

    # Same scaled features and the same initial weights as the native run.
    np.random.seed(0)
    w0 = np.random.rand(clf.X_train.shape[1]) - 0.5
    steps = min(args.baseline_iterations, ITERATIONS)
    with contextlib.redirect_stdout(io.StringIO()):
        t0 = time.perf_counter()
        w_py, b_py, J_py = fit_weights_baseline(clf.X_train, y, w0, 0, ALPHA, steps, LAMBDA)
        baseline = (time.perf_counter() - t0) * ITERATIONS / steps

    if steps == ITERATIONS:
        agreement = abs(J_py[-1] - clf.J_history[-1]) / abs(J_py[-1])
        print(f"final cost: native {clf.J_history[-1]:.12g}, baseline {J_py[-1]:.12g} (rel. diff {agreement:.1e})")
    else:
        agreement = abs(J_py[-1] - clf.J_history[steps - 1]) / abs(J_py[-1])
        print(f"cost after {steps} steps: native {clf.J_history[steps - 1]:.12g}, "
              f"baseline {J_py[-1]:.12g} (rel. diff {agreement:.1e})")

    print(f"train, {SAMPLES} samples, degree {DEGREE}, {ITERATIONS} steps (incl. 400x400 grid): {native:.3f} s native")
    scaled = "" if steps == ITERATIONS else f" (measured over {steps} steps, scaled)"
    print(f"per-sample Python descent, {ITERATIONS} steps: {baseline:.2f} s{scaled}")
    print(f"ratio baseline/native: {baseline / native:.0f}x")


if __name__ == "__main__":
    main()
