"""Small helpers around the phase classifier's features and weights."""
from velmora.ml.phase_boundary_learner import _views

__all__ = ["feature_count", "decision_values"]

feature_count = _views.feature_count
decision_values = _views.decision_values
