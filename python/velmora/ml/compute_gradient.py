"""Gradient of the regularised logistic cost, bias part first: the classifier's own."""
from velmora.ml.phase_boundary_learner import _Main_ML_2D

compute_gradient = _Main_ML_2D().compute_gradient
