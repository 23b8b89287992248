"""The main job of `python -m velmora` and of `velmora` without a command.

It runs a 5 x 5 study of inlet C2H2 mole fraction (0.001-0.01) against
temperature (800-1000 K) over a 0.1 m reactor, on one worker process per CPU
core.  Over this range the mean CNT wall number falls from far above 2 (cool)
to below 2 (hot), so the study maps a phase boundary.  Into the output folder it
writes the results CSV (as the study writes it), the phase map beside it
(<csv name>_map.png) and the run report of the grid's centre point
(<csv name>_run.png), and prints where each file is.
"""

import contextlib
import io
import os
import time

from velmora._folders import working_directory

# The main job's study: 25 points on both sides of wall number 2, short enough
# to finish in about a minute on two cores.
STUDY = dict(
    map_requested="P&T",
    total_data_points=25,
    pressure_range_min=0.001,
    pressure_range_max=0.01,
    temperature_range_min=800,
    temperature_range_max=1000,
    reactor_length_range_constant=0.1,
    intnum=20,
)

# Gradient-descent steps of the boundary classifier: its cost has levelled off
# well before this on a 5 x 5 grid.
CLASSIFIER_ITERATIONS = 3000


def representative_point(records):
    """The successful run nearest the centre of the grid (in grid steps), as its record."""
    ok = [r for r in records if r["status"] == 1]
    if not ok:
        return None
    ps = sorted({r["P_parameter"] for r in records})
    ts = sorted({r["T_parameter"] for r in records})
    centre = ((len(ps) - 1) / 2, (len(ts) - 1) / 2)
    return min(ok, key=lambda r: (ps.index(r["P_parameter"]) - centre[0]) ** 2
               + (ts.index(r["T_parameter"]) - centre[1]) ** 2)


def main_job(output_dir=".", workers=None, dpi=110, **study):
    """Runs the main job's study in output_dir and draws its figures; returns the written paths."""
    import matplotlib

    if "MPLBACKEND" not in os.environ:
        matplotlib.use("Agg")
    from velmora import plots
    from velmora.core.parameter_sweep import Mapping_Wrapper

    settings = dict(STUDY, **study)
    workers = workers or os.cpu_count() or 1
    start = time.perf_counter()
    with working_directory(output_dir):  # the study writes into the current folder
        wrapper = Mapping_Wrapper(**settings)
        records = wrapper.run_parametric_study(max_workers=workers)
        csv = os.path.abspath(wrapper.last_generated_filename)
    stem = os.path.splitext(csv)[0]
    paths = {"results": csv, "phase_map": stem + "_map.png"}
    print("\nDrawing the phase map ...")
    plots.phase_map(csv, paths["phase_map"], dpi=dpi, conditions=plots.model_conditions(wrapper.Velmora_kwargs),
                    **dict(wrapper.Velmora_kwargs, iterations=CLASSIFIER_ITERATIONS))

    chosen = representative_point(records)
    if chosen is not None:
        # The study keeps only a summary per run; the representative run is
        # repeated here, built exactly as the study built it.
        print(f"Repeating the run at P={chosen['P_parameter']:.4g}, T={chosen['T_parameter']:.4g} K for its report ...")
        with contextlib.redirect_stdout(io.StringIO()):
            config = Mapping_Wrapper.ParametricStudyConfig(wrapper)
        model = wrapper.create_model_with_parameters(config, chosen["P_parameter"], chosen["T_parameter"])
        model.solve()
        paths["run_report"] = stem + "_run.png"
        plots.run_report(model, paths["run_report"], dpi=dpi, reason=(
            f"the study's run at P = {chosen['P_parameter']:.4g}, T = {chosen['T_parameter']:.4g} K: "
            "the successful run nearest the centre of the grid"))

    print(f"\nMain job finished in {time.perf_counter() - start:.1f} s on {workers} worker processes.")
    print(f"  Results (CSV):   {paths['results']}")
    print(f"  Phase map:       {paths['phase_map']}")
    if "run_report" in paths:
        print(f"  Run report:      {paths['run_report']}")
    else:
        print("  Run report:      none (no run of the study succeeded)")
    return paths
