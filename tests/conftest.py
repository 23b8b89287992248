import os

import matplotlib
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
