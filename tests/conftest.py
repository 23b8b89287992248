import os

import matplotlib
import numpy as np
import pytest

# Figures are written to files in tests; never open a window.
matplotlib.use("Agg")
os.environ.setdefault("MPLBACKEND", "Agg")


@pytest.fixture(scope="session")
def mechanism_path():
    from velmora.core.growth_simulator import get_mechanism_path

    return get_mechanism_path("FFCM2")


@pytest.fixture
def fresh_gas(mechanism_path):
    import cantera as ct

    return ct.Solution(mechanism_path)


def velmora_cmd(*args, cwd):
    """`python -m velmora ARGS` in a child process, against the package under test."""
    import subprocess
    import sys

    import velmora

    env = dict(os.environ, MPLBACKEND="Agg")
    package_root = os.path.dirname(os.path.dirname(velmora.__file__))
    env["PYTHONPATH"] = os.pathsep.join(p for p in [package_root, env.get("PYTHONPATH")] if p)
    return subprocess.run([sys.executable, "-m", "velmora", *args], cwd=cwd, env=env, capture_output=True,
                          text=True, timeout=300)


class StandInModel:
    """Stands in for the reactor model in study tests: solving leaves at once a
    state from which the study's summary can be computed. Subclasses choose the
    third state entry and the sections' wall numbers, or fail in solve()."""

    def __init__(self, **kwargs):
        self.gas_initial_composition = {"C2H2": 0.0045, "C2H4": 1e-15, "H2": 0.009, "N2": 0.9}
        self.intnum, self.isec = 4, 3

    def third_state_entry(self):
        return 3.0

    def section_wall_numbers(self):
        return np.array([2.0, 3.0, 4.0, 0.0])

    def solve(self):
        y = np.array([1.0, 2.0, self.third_state_entry()] + [0.0] * 14)
        self.y_saved = [y, y]
        self.wall_number_section_saved = [self.section_wall_numbers()]
        return np.zeros(2), np.zeros((2, 17))


def run_main(capsys, *args):
    """The command line in this process: (exit code, stdout, stderr)."""
    from velmora.cli import main

    try:
        code = main(list(args))
    except SystemExit as stop:
        code = stop.code
    out, err = capsys.readouterr()
    return code, out, err
