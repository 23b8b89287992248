"""The logistic function 1 / (1 + exp(-z)) as a module attribute."""
from velmora.ml.phase_boundary_learner import _views

sigmoid1 = _views.sigmoid1
