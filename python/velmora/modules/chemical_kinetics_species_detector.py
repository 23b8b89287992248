"""Which species of a gas composition carry carbon, and how many carbon atoms each.

A small helper beside the gas-phase kinetics: ``species_detector`` reads a
composition (species name -> mole fraction) and returns the carbon-bearing
species, largest mole fraction first, with their carbon atoms per molecule.
"""

import re

__all__ = ["species_detector"]

_LEADING_CARBON = re.compile(r"C(\d*)")


def _carbon_atoms(formula):
    match = _LEADING_CARBON.match(formula)
    if match is None:
        return 0
    return int(match.group(1)) if match.group(1) else 1


def species_detector(composition, minimum_fraction=0.0):
    """Return [(name, mole_fraction, carbon_atoms)] of carbon-bearing species.

    Only species above ``minimum_fraction`` are listed, largest first.
    """
    found = [
        (name, float(fraction), _carbon_atoms(name))
        for name, fraction in composition.items()
        if _carbon_atoms(name) > 0 and float(fraction) > minimum_fraction
    ]
    found.sort(key=lambda item: item[1], reverse=True)
    return found
