"""Polynomial feature map of two inputs (free-function form of the classifier's)."""
from velmora.ml.phase_boundary_learner import _Main_ML_2D


def map_feature1(X2, X1, poly_degree=12):
    """Monomials u^k .. v^k of degree 1..poly_degree, u = X2 and v = X1."""
    return _Main_ML_2D(poly_degree=poly_degree).map_feature1(X2, X1)
