"""Sub-models: gas-phase kinetics, surface growth, particle temperature, sintering, carbon saturation."""
