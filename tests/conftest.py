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
