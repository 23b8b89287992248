"""Dense uniform reference maps of the boundary benchmark, computed once and cached.

    PYTHONPATH=python nice -n 5 python benchmarks/_reference_maps.py [plane ...]

Each plane's 21 x 21 study runs through the ordinary parametric study on two
worker processes and lands in benchmarks/.cache/<plane>/ (ignored by git); its
checkpoint lets a killed computation go on where it stopped.
"""

import contextlib
import glob
import io
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CACHE = os.path.join(HERE, ".cache")
REFERENCE_POINTS = 441  # 21 x 21

# Planes of the benchmark: the wrapper settings of each (the main job's plane,
# the same plane for iron catalyst and a hotter range, and a longer reactor
# whose dominant section crosses wall number 1 inside the plane).
PLANES = {
    "ni_main": dict(map_requested="P&T", pressure_range_min=0.001, pressure_range_max=0.01,
                    temperature_range_min=800, temperature_range_max=1000,
                    reactor_length_range_constant=0.1, intnum=20),
    "fe_hot": dict(map_requested="P&T", pressure_range_min=0.001, pressure_range_max=0.01,
                   temperature_range_min=900, temperature_range_max=1050,
                   reactor_length_range_constant=0.1, intnum=20, catalsyt_element="Fe"),
    "ni_jump": dict(map_requested="P&T", pressure_range_min=0.006, pressure_range_max=0.012,
                    temperature_range_min=930, temperature_range_max=990,
                    reactor_length_range_constant=0.3, intnum=20),
}


def reference_csv(name):
    """The cached results file of a plane's dense map, or None."""
    found = sorted(glob.glob(os.path.join(CACHE, name, "parametric_study_*.csv")))
    return found[-1] if found else None


def compute_reference(name, workers=2, quiet=True):
    """Runs (or finishes) the dense map of a plane; returns its results file."""
    from velmora.core.parameter_sweep import Mapping_Wrapper

    if reference_csv(name):
        return reference_csv(name)
    folder = os.path.join(CACHE, name)
    os.makedirs(folder, exist_ok=True)
    settings = dict(PLANES[name], total_data_points=REFERENCE_POINTS)
    checkpoint = os.path.join(folder, f"parametric_study_{settings['map_requested']}.checkpoint.jsonl")
    previous = os.getcwd()
    os.chdir(folder)
    try:
        output = io.StringIO() if quiet else sys.stdout
        resumed = os.path.exists(checkpoint)
        start = time.perf_counter()
        with contextlib.redirect_stdout(output):
            wrapper = Mapping_Wrapper(**settings)
            wrapper.run_parametric_study(max_workers=workers, resume=checkpoint if resumed else None)
        if not resumed:  # the wall time of the whole map, for the uniform grids' share
            with open("wall_time.txt", "w") as f:
                f.write(f"{time.perf_counter() - start:.1f}\n")
        return os.path.join(folder, wrapper.last_generated_filename)
    finally:
        os.chdir(previous)


if __name__ == "__main__":
    for plane in sys.argv[1:] or list(PLANES):
        print(plane, compute_reference(plane, quiet=False), flush=True)
