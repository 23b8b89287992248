"""Boundary study against uniform grids: runs, wall time and boundary error.

    PYTHONPATH=python nice -n 5 python benchmarks/bench_boundary.py [--planes ni_main fe_hot ni_jump]
    PYTHONPATH=python python benchmarks/bench_boundary.py --compare PLANE BOUNDARY_CSV

On each plane (benchmarks/_reference_maps.py: the main job's Ni plane, an Fe
plane at 900-1050 K, and a 0.3 m Ni plane whose wall number jumps where the
dominant section crosses one wall) a dense 21 x 21 uniform map is the
reference (computed once on two workers and cached in benchmarks/.cache/).
Its boundary is the level log(2) of a bicubic spline of log(wall number)
through all 441 runs. Against it, with both axes scaled to [0, 1]:

* uniform 5 x 5 and 11 x 11 grids (subsets of the reference runs, so no new
  runs) with the package's logistic classifier (the phase map's boundary) and
  with the same bicubic spline of log(wall number);
* the boundary study (run_boundary_study, two workers, batches of two) at
  budgets 15, 25 and 40;
* the `adaptive` package (Learner2D, a loss that favours triangles crossing
  the threshold, two workers) at budgets 25 and 40.

Distances are measured both ways between the curves (every point of each
curve to the nearest segment of the other), in % of the span: the mean and the
max over both directions. "No valid sections found" counts as wall number 1.
Wall time of a uniform grid is its runs' share of the reference map's wall
time (the same runs on the same two workers). The surrogate's share is the
time spent in the Gaussian-process fits over the study's wall time.
--compare prints the distance of a boundary CSV (velmora boundary) to a plane's
reference; --figure draws the README's figure (--figure-plane, --figure-budget
choose another plane or budget).
"""

import argparse
import contextlib
import functools
import io
import math
import os
import sys
import tempfile
import time
import warnings

import numpy as np
import pandas as pd

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from _reference_maps import PLANES, compute_reference, reference_csv  # noqa: E402

LEVEL = math.log(2.0)
KEYS = {"P": ("pressure_range_min", "pressure_range_max"), "T": ("temperature_range_min", "temperature_range_max")}


def plane_ranges(name):
    plane = PLANES[name]
    full = dict(pressure_range_min=0.001, pressure_range_max=0.01, temperature_range_min=800,
                temperature_range_max=1200)
    full.update(plane)
    return [(full[KEYS[k][0]], full[KEYS[k][1]]) for k in ("P", "T")]


def scaled(values, bounds):
    low, high = bounds
    return (np.asarray(values, dtype=float) - low) / (high - low)


def log_walls(frame):
    """log(wall number) per record: 0 for "No valid sections found", NaN for a failed run."""
    walls = pd.to_numeric(frame["wall_number_avg"], errors="coerce").to_numpy(float)
    none = frame["error_message"].astype(object).fillna("").astype(str).to_numpy() == "No valid sections found"
    return np.where(frame["status"].to_numpy() == 1, np.log(walls), np.where(none, 0.0, np.nan))


def reference_grid(name):
    frame = pd.read_csv(reference_csv(name))
    (p_range, t_range) = plane_ranges(name)
    p = np.sort(frame["P_parameter"].unique())
    t = np.sort(frame["T_parameter"].unique())
    values = log_walls(frame)
    grid = np.full((len(p), len(t)), np.nan)
    for pi, ti, v in zip(np.searchsorted(p, frame["P_parameter"]), np.searchsorted(t, frame["T_parameter"]), values):
        grid[pi, ti] = v
    return scaled(p, p_range), scaled(t, t_range), grid, frame


def spline_curves(u, v, grid, resolution=401):
    """Level log(2) of a bicubic spline of the grid (u: first index, v: second), as polylines."""
    import contourpy
    from scipy.interpolate import RectBivariateSpline

    if np.isnan(grid).any():  # a failed run: the mean of its neighbours stands in
        filled = grid.copy()
        for i, j in zip(*np.nonzero(np.isnan(grid))):
            around = grid[max(i - 1, 0):i + 2, max(j - 1, 0):j + 2]
            filled[i, j] = np.nanmean(around)
        grid = filled
    spline = RectBivariateSpline(u, v, grid, kx=3, ky=3, s=0)
    fine = np.linspace(0.0, 1.0, resolution)
    z = spline(fine, fine)  # z[i, j] at (u_i, v_j)
    lines = contourpy.contour_generator(fine, fine, z.T).lines(LEVEL)
    return [np.asarray(line) for line in lines if len(line) > 1]


def point_to_curves(points, curves):
    """Distance of each point to the nearest segment of any curve."""
    best = np.full(len(points), np.inf)
    for curve in curves:
        a, b = curve[:-1], curve[1:]
        ab = b - a
        length2 = np.maximum(np.sum(ab * ab, axis=1), 1e-30)
        for start in range(0, len(points), 2000):
            p = points[start:start + 2000, None, :]
            t = np.clip(np.sum((p - a) * ab, axis=2) / length2, 0.0, 1.0)
            d = np.min(np.hypot(*np.moveaxis(p - (a + t[..., None] * ab), 2, 0)), axis=1)
            best[start:start + 2000] = np.minimum(best[start:start + 2000], d)
    return best


def densify(curves, step=0.002):
    points = []
    for curve in curves:
        for a, b in zip(curve[:-1], curve[1:]):
            n = max(1, int(math.ceil(np.hypot(*(b - a)) / step)))
            points.append(a + np.linspace(0.0, 1.0, n, endpoint=False)[:, None] * (b - a))
        points.append(curve[-1:])
    return np.concatenate(points) if points else np.zeros((0, 2))


def curve_distance(found, reference):
    """(mean, max) distance between two sets of curves, both directions, in % of the span."""
    if not found or not reference:
        return (math.nan, math.nan)
    there = point_to_curves(densify(found), reference)
    back = point_to_curves(densify(reference), found)
    both = np.concatenate([there, back])
    return 100 * float(np.mean(both)), 100 * float(np.max(both))


def classifier_curves(u, v, labels, iterations=3000):
    import contourpy

    from velmora.ml.phase_boundary_learner import _Main_ML_2D

    if labels.min() == labels.max():
        return []
    with contextlib.redirect_stdout(io.StringIO()):
        X1, X2, P = _Main_ML_2D(iterations=iterations).train(np.column_stack((u, v)), labels)
    lines = contourpy.contour_generator(np.asarray(X1), np.asarray(X2), np.asarray(P)).lines(0.0)
    return [np.asarray(line) for line in lines if len(line) > 1]


def uniform_rows(name, reference, reference_time):
    u, v, grid, _ = reference
    rows = []
    for n in (5, 11):
        step = (len(u) - 1) // (n - 1)
        uu, vv, sub = u[::step], v[::step], grid[::step, ::step]
        runs = n * n
        seconds = reference_time * runs / grid.size if reference_time else math.nan
        U, V = np.meshgrid(uu, vv, indexing="ij")
        ok = np.isfinite(sub)
        labels = (sub[ok] < LEVEL).astype(int)
        rows.append((f"uniform {n} x {n} + classifier", runs, seconds,
                     curve_distance(classifier_curves(U[ok], V[ok], labels), spline_curves(u, v, grid)), ""))
        rows.append((f"uniform {n} x {n} + spline of log(wall)", runs, seconds,
                     curve_distance(spline_curves(uu, vv, sub), spline_curves(u, v, grid)), ""))
    return rows


def boundary_study_row(name, budget, reference_curves):
    from velmora.core import _boundary_gp
    from velmora.core.parameter_sweep import Mapping_Wrapper

    fit_seconds = [0.0]
    original = _boundary_gp.fit_predict

    def timed(*args):
        start = time.perf_counter()
        try:
            return original(*args)
        finally:
            fit_seconds[0] += time.perf_counter() - start

    _boundary_gp.fit_predict = timed
    p_range, t_range = plane_ranges(name)
    with tempfile.TemporaryDirectory() as folder, contextlib.redirect_stdout(io.StringIO()):
        previous = os.getcwd()
        os.chdir(folder)
        try:
            wrapper = Mapping_Wrapper(**dict(PLANES[name], total_data_points=budget))
            start = time.perf_counter()
            records = wrapper.run_boundary_study(budget=budget, max_workers=2)
            seconds = time.perf_counter() - start
            table = wrapper.boundary_table()
            stop = wrapper.boundary_state["stop"]
        finally:
            os.chdir(previous)
            _boundary_gp.fit_predict = original
    curves = [np.column_stack((scaled(part["P_parameter"], p_range), scaled(part["T_parameter"], t_range)))
              for _, part in table.groupby("segment")]
    note = f"surrogate {100 * fit_seconds[0] / seconds:.0f} % of the time; {stop.split(':')[0].lower()}"
    return (f"boundary study, budget {budget}", len(records), seconds, curve_distance(curves, reference_curves), note)


def _adaptive_point(name, xy):
    """One run at scaled (u, v) of a plane, as the study runs it: log(wall number) or NaN."""
    from velmora.core import parameter_sweep

    p_range, t_range = plane_ranges(name)
    settings = dict(PLANES[name])
    wrapper = parameter_sweep.Mapping_Wrapper(**settings)
    with contextlib.redirect_stdout(io.StringIO()):
        config = wrapper.ParametricStudyConfig(wrapper)
        p = p_range[0] + xy[0] * (p_range[1] - p_range[0])
        t = t_range[0] + xy[1] * (t_range[1] - t_range[0])
        model = wrapper.create_model_with_parameters(config, p, t)
        # The record's rule: the mean wall number over the sections above one wall,
        # weighted by their number; none such is wall number 1 (log 0).
        try:
            model.solve()
            walls = np.asarray(model.wall_number_section_saved[-1], dtype=float)
            y = np.asarray(model.y_saved[-1], dtype=float)
            valid = [i for i in range(int(model.isec)) if walls[i] > 1]
            if not valid:
                return 0.0
            return float(np.log(np.sum(walls[valid] * y[valid]) / np.sum(y[valid])))
        except Exception:
            return math.nan


def crossing_loss(ip):
    """Learner2D loss: triangles whose values straddle log(2) keep their size-based loss, others 2 % of it."""
    from adaptive.learner.learner2D import areas

    values = ip.values[ip.tri.simplices][..., 0]
    crossing = (values.min(axis=1) < LEVEL) & (values.max(axis=1) > LEVEL)
    return np.sqrt(areas(ip)) * np.where(crossing, 1.0, 0.02)


def adaptive_row(name, budget, reference_curves):
    import adaptive
    from concurrent.futures import ProcessPoolExecutor

    learner = adaptive.Learner2D(functools.partial(_adaptive_point, name), bounds=[(0, 1), (0, 1)],
                                 loss_per_triangle=crossing_loss)
    start = time.perf_counter()
    with ProcessPoolExecutor(2) as pool, warnings.catch_warnings():
        warnings.simplefilter("ignore")
        adaptive.BlockingRunner(learner, executor=pool, ntasks=2, npoints_goal=budget)
    seconds = time.perf_counter() - start
    points = np.array(list(learner.data.keys()))
    values = np.array(list(learner.data.values()), dtype=float)
    ok = np.isfinite(values)
    import contourpy
    from scipy.interpolate import LinearNDInterpolator

    fine = np.linspace(0.0, 1.0, 401)
    U, V = np.meshgrid(fine, fine, indexing="ij")
    z = LinearNDInterpolator(points[ok], values[ok])(U, V)
    lines = contourpy.contour_generator(fine, fine, np.ma.masked_invalid(z).T).lines(LEVEL)
    curves = [np.asarray(line) for line in lines if len(line) > 1]
    return (f"adaptive Learner2D, budget {budget}", len(points), seconds,
            curve_distance(curves, reference_curves), "linear interpolant of its triangulation")


def print_table(name, rows):
    print(f"\n{name}: {PLANES[name]}")
    print("| method | runs | wall time (s) | mean distance (% of span) | max distance (% of span) | note |")
    print("|---|---|---|---|---|---|")
    for label, runs, seconds, (mean, worst), note in rows:
        print(f"| {label} | {runs} | {seconds:.0f} | {mean:.2f} | {worst:.2f} | {note} |", flush=True)


def compare(name, boundary_csv):
    reference = reference_grid(name)
    u, v, grid, _ = reference
    p_range, t_range = plane_ranges(name)
    table = pd.read_csv(boundary_csv)
    curves = [np.column_stack((scaled(part["P_parameter"], p_range), scaled(part["T_parameter"], t_range)))
              for _, part in table.groupby("segment")]
    mean, worst = curve_distance(curves, spline_curves(u, v, grid))
    print(f"{boundary_csv} against the 21 x 21 reference of {name}: mean {mean:.3f} %, max {worst:.3f} % of the span")


def draw_figure(name, budget, path):
    """The README's figure: the reference map, its boundary, and a boundary study's runs and curve."""
    from matplotlib.colors import LogNorm
    from matplotlib.figure import Figure

    from velmora.core.parameter_sweep import Mapping_Wrapper

    u, v, grid, frame = reference_grid(name)
    (p_range, t_range) = plane_ranges(name)
    with tempfile.TemporaryDirectory() as folder, contextlib.redirect_stdout(io.StringIO()):
        previous = os.getcwd()
        os.chdir(folder)
        try:
            wrapper = Mapping_Wrapper(**dict(PLANES[name], total_data_points=budget))
            records = wrapper.run_boundary_study(budget=budget, max_workers=2)
            table = wrapper.boundary_table()
            rounds = wrapper.boundary_state["rounds"]
        finally:
            os.chdir(previous)
    p = p_range[0] + u * (p_range[1] - p_range[0])
    t = t_range[0] + v * (t_range[1] - t_range[0])
    fig = Figure(figsize=(8, 6.5), layout="constrained")
    ax = fig.add_subplot()
    walls = np.exp(grid.T)
    mesh = ax.pcolormesh(p, t, walls, norm=LogNorm(vmin=max(walls.min(), 1.0), vmax=walls.max()), cmap="viridis",
                         shading="nearest")
    fig.colorbar(mesh, ax=ax, label="mean CNT wall number of the 21 x 21 reference runs")
    for curve in spline_curves(u, v, grid):
        ax.plot(p_range[0] + curve[:, 0] * (p_range[1] - p_range[0]),
                t_range[0] + curve[:, 1] * (t_range[1] - t_range[0]), color="white", lw=4,
                label="reference boundary (spline through 441 runs)")
    for _, part in table.groupby("segment"):
        ax.plot(part["P_parameter"], part["T_parameter"], color="black", lw=1.3, ls="--",
                label=f"boundary study, {len(records)} runs")
    points = ax.scatter([r["P_parameter"] for r in records], [r["T_parameter"] for r in records], c=rounds,
                        cmap="autumn", edgecolor="black", s=45, zorder=5, clip_on=False)
    fig.colorbar(points, ax=ax, label="round of the boundary study's run (0: start design)")
    handles, labels = ax.get_legend_handles_labels()
    unique = dict(zip(labels, handles))
    ax.legend(unique.values(), unique.keys(), loc="lower left", fontsize=8)
    ax.set_xlabel("inlet C2H2 mole fraction P (-)")
    ax.set_ylabel("temperature T (K)")
    conditions = ", ".join(f"{k}={v}" for k, v in PLANES[name].items() if k not in ("map_requested",)
                           and not k.endswith(("_min", "_max")))
    ax.set_title(f"boundary at wall number 2: {len(records)} adaptive runs against a 21 x 21 uniform map\n"
                 f"{conditions}", fontsize=10)
    ax.set_xlim(*p_range)
    ax.set_ylim(*t_range)
    fig.savefig(path, dpi=80)
    return fig


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--planes", nargs="+", default=list(PLANES), choices=list(PLANES))
    parser.add_argument("--budgets", nargs="+", type=int, default=[15, 25, 40])
    parser.add_argument("--adaptive-budgets", nargs="*", type=int, default=[25, 40])
    parser.add_argument("--compare", nargs=2, metavar=("PLANE", "BOUNDARY_CSV"))
    parser.add_argument("--figure", metavar="PNG", help="draw the README's figure (a plane, budget 25) and stop")
    parser.add_argument("--figure-plane", default="ni_main", choices=list(PLANES))
    parser.add_argument("--figure-budget", type=int, default=25)
    args = parser.parse_args()
    if args.compare:
        compare(*args.compare)
        return
    if args.figure:
        draw_figure(args.figure_plane, args.figure_budget, args.figure)
        return
    for name in args.planes:
        compute_reference(name)
        timing_file = os.path.join(os.path.dirname(reference_csv(name)), "wall_time.txt")
        reference_time = float(open(timing_file).read()) if os.path.exists(timing_file) else None
        reference = reference_grid(name)
        u, v, grid, _ = reference
        reference_curves = spline_curves(u, v, grid)
        rows = uniform_rows(name, reference, reference_time)
        rows += [boundary_study_row(name, budget, reference_curves) for budget in args.budgets]
        rows += [adaptive_row(name, budget, reference_curves) for budget in args.adaptive_budgets]
        print_table(name, rows)


if __name__ == "__main__":
    main()
