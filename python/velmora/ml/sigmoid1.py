"""The logistic function 1 / (1 + exp(-z)) as a module attribute: the classifier's own."""
from velmora.ml.phase_boundary_learner import _Main_ML_2D

sigmoid1 = _Main_ML_2D().sigmoid1
