"""L2-regularised mean cross-entropy of a logistic model."""
from velmora.ml.phase_boundary_learner import _views

logistic_loss_reg = _views.logistic_loss_reg
