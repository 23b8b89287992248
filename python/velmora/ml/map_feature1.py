"""Polynomial feature map of two inputs (free-function form of the classifier's)."""
from velmora.ml.phase_boundary_learner import _views

map_feature1 = _views.map_feature1
