"""Reactor model, population-balance kernels and the parametric study."""
