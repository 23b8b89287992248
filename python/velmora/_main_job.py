"""The main job of `python -m velmora` and of `velmora` without a command.

It locates the phase boundary of inlet C2H2 mole fraction (0.001-0.01) against
temperature (800-1000 K) over a 0.1 m reactor with a boundary study of 25
runs, on one worker process per CPU core (as many runs per round). Over this
range the mean CNT wall number falls from far above 2 (cool) to below 2 (hot).
Into the output folder it writes the results CSV (as a study writes it), the
boundary curve (<csv name>_boundary.csv), the boundary map (<csv name>_map.png)
and the run report of the run nearest the boundary (<csv name>_run.png), and
prints where each file is. The same plane as a 5 x 5 uniform study with its
phase map: `velmora study --points 25 --range P 0.001 0.01 --range T 800 1000
--constant L 0.1 --set intnum=20 --plot`.
"""

import contextlib
import io
import math
import os
import time

from velmora._folders import working_directory

# The main job's plane: the wall number crosses 2 inside it.
STUDY = dict(
    map_requested="P&T",
    pressure_range_min=0.001,
    pressure_range_max=0.01,
    temperature_range_min=800,
    temperature_range_max=1000,
    reactor_length_range_constant=0.1,
    intnum=20,
)

# Runs of the main job's boundary study, and the wall number of its boundary.
BUDGET = 25
THRESHOLD = 2.0


def nearest_the_boundary(records, threshold):
    """The successful run whose wall number is closest to the threshold (by ratio), as its record."""
    ok = [r for r in records if r["status"] == 1 and r["wall_number_avg"] is not None and r["wall_number_avg"] > 0]
    if not ok:
        return None
    return min(ok, key=lambda r: (abs(math.log(r["wall_number_avg"] / threshold)), r["simulation_id"]))


def main_job(output_dir=".", workers=None, dpi=110, budget=BUDGET, **study):
    """Runs the main job's boundary study in output_dir and draws its figures; returns the written paths."""
    import matplotlib

    if "MPLBACKEND" not in os.environ:
        matplotlib.use("Agg")
    from velmora import _boundary_command, plots
    from velmora.core.parameter_sweep import Mapping_Wrapper

    settings = dict(STUDY, **study)
    workers = workers or os.cpu_count() or 1
    start = time.perf_counter()
    with working_directory(output_dir):  # the study writes into the current folder
        wrapper = Mapping_Wrapper(**settings)
        records = wrapper.run_boundary_study(budget=budget, threshold=THRESHOLD, max_workers=workers)
        csv = os.path.abspath(wrapper.last_generated_filename)
        boundary = os.path.abspath(wrapper.last_boundary_filename)
    stem = os.path.splitext(csv)[0]
    paths = {"results": csv, "boundary": boundary, "phase_map": stem + "_map.png"}
    print("\nDrawing the boundary map ...")
    keys = settings["map_requested"].upper().split("&")
    plots.boundary_map(wrapper, paths["phase_map"], dpi=dpi,
                       conditions=_boundary_command.conditions_text(wrapper, keys))

    chosen = nearest_the_boundary(records, THRESHOLD)
    if chosen is not None:
        # The study keeps only a summary per run; the run nearest the boundary
        # is repeated here, built exactly as the study built it.
        print(f"Repeating run {chosen['simulation_id']} (P={chosen['P_parameter']:.4g}, "
              f"T={chosen['T_parameter']:.4g} K), the run nearest the boundary, for its report ...")
        with contextlib.redirect_stdout(io.StringIO()):
            config = Mapping_Wrapper.ParametricStudyConfig(wrapper)
        model = wrapper.create_model_with_parameters(config, chosen["P_parameter"], chosen["T_parameter"])
        model.solve()
        paths["run_report"] = stem + "_run.png"
        plots.run_report(model, paths["run_report"], dpi=dpi, reason=(
            f"run {chosen['simulation_id']} of the boundary study (P = {chosen['P_parameter']:.4g}, "
            f"T = {chosen['T_parameter']:.4g} K): of all its runs, the one whose wall number "
            f"({chosen['wall_number_avg']:.4g}) is nearest the boundary's {THRESHOLD:g}"))

    print(f"\nMain job finished in {time.perf_counter() - start:.1f} s on {workers} worker processes.")
    print(f"  Results (CSV):   {paths['results']}")
    print(f"  Boundary (CSV):  {paths['boundary']}")
    print(f"  Boundary map:    {paths['phase_map']}")
    if "run_report" in paths:
        print(f"  Run report:      {paths['run_report']}")
    else:
        print("  Run report:      none (no run of the study succeeded)")
    return paths
