"""Regenerates the README's figures: runs the main job of `python -m velmora` in a
scratch folder and keeps small copies of its boundary map and run report here,
then the same plane as a 5 x 5 uniform study for the phase map.

    PYTHONPATH=python python docs/make_figures.py
"""
import os
import shutil
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")

from velmora._main_job import main_job  # noqa: E402
from velmora.cli import main as velmora  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    with tempfile.TemporaryDirectory() as scratch:
        paths = main_job(scratch, dpi=55)
        if "run_report" not in paths:
            sys.exit("no run of the study succeeded; no run report to copy")
        shutil.copyfile(paths["phase_map"], os.path.join(HERE, "main_job_boundary_map.png"))
        shutil.copyfile(paths["run_report"], os.path.join(HERE, "main_job_run_report.png"))
        uniform = os.path.join(scratch, "uniform")
        velmora(["study", "--points", "25", "--range", "P", "0.001", "0.01", "--range", "T", "800", "1000",
                 "--constant", "L", "0.1", "--set", "intnum=20", "--output", uniform, "--plot", "--no-progress"])
        figure = [name for name in os.listdir(uniform) if name.endswith(".png")][0]
        shutil.copyfile(os.path.join(uniform, figure), os.path.join(HERE, "main_job_phase_map.png"))
    print("Figures written to", HERE)


if __name__ == "__main__":
    main()
