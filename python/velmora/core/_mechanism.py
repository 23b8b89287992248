"""The gas-phase mechanism shipped as package data, and the Cantera object a model works on."""

import importlib.resources

import cantera


def get_mechanism_path(mechanism_type):
    """Path of the YAML mechanism file named `mechanism_type` + '.yaml' among the package data.

    A name the package does not ship is returned as the bare file name, which
    Cantera looks for on its own data path.
    """
    file_name = mechanism_type + ".yaml"
    path = importlib.resources.files("velmora").joinpath("data").joinpath(file_name)
    return str(path) if path.is_file() else file_name


def gas_solution(mechanism_type):
    """The Cantera Solution of a mechanism, which every gas step of one model works on."""
    return cantera.Solution(get_mechanism_path(mechanism_type))
