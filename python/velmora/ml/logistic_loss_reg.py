"""L2-regularised mean cross-entropy of a logistic model: the classifier's own."""
from velmora.ml.phase_boundary_learner import _Main_ML_2D

logistic_loss_reg = _Main_ML_2D().logistic_loss_reg
