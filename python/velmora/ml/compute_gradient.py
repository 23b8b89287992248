"""Gradient of the regularised logistic cost, bias part first."""
from velmora.ml.phase_boundary_learner import _views

compute_gradient = _views.compute_gradient
