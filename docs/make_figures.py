"""Regenerates the README's figures: runs the main job of `python -m velmora` in a
scratch folder and keeps small copies of its phase map and run report here.

    PYTHONPATH=python python docs/make_figures.py
"""
import os
import shutil
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")

from velmora._main_job import main_job  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    with tempfile.TemporaryDirectory() as scratch:
        paths = main_job(scratch, dpi=55)
        if "run_report" not in paths:
            sys.exit("no run of the study succeeded; no run report to copy")
        shutil.copyfile(paths["phase_map"], os.path.join(HERE, "main_job_phase_map.png"))
        shutil.copyfile(paths["run_report"], os.path.join(HERE, "main_job_run_report.png"))
    print("Figures written to", HERE)


if __name__ == "__main__":
    main()
