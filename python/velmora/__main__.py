"""`python -m velmora`: the main job of the package."""

import sys


def main(argv=None):
    from velmora.core.growth_simulator import MovingSectionalModel

    model = MovingSectionalModel()
    props, _, largest, carbon = model.AA00
    print("velmora: reactor model built with the default parameters")
    print(f"inlet gas density {props['curr_dens'][0]:.6g} kg/m^3, viscosity {props['curr_visc'][0]:.6g} Pa s")
    print("largest carbon species at the inlet:", ", ".join(f"{k}={v:.3g}" for k, v in largest.items()))
    print(f"initial particles per unit gas density: {model.initial_N:.6g}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
