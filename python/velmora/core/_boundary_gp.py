"""Gaussian-process surrogate of a boundary study (scikit-learn), one call per round.

The boundary study (``Mapping_Wrapper.run_boundary_study``) decides in compiled
code where to run, when to stop and where the boundary lies; what it needs
from a library is a Gaussian-process regression of log(wall number) over the
scaled study parameters, evaluated on its lattice. scikit-learn's
``GaussianProcessRegressor`` is a well-kept implementation of exactly that
(Rasmussen and Williams 2006, algorithm 2.1), with marginal-likelihood fits of
the kernel's hyperparameters inside bounds.

The kernel is  c * Matern(nu=5/2, one length per parameter) + white noise.
Matern 5/2 is smooth enough for a monotone field yet follows a steep rise
without ringing between runs. Length scales are bounded to 0.05-5 spans (no
wiggle narrower than the runs can resolve) and the noise to at most the
variance of the data.

A record's wall number can also jump: where the dominant section crosses one
wall, neighbouring runs differ by a factor of two or three. The fit then
either takes the jump up as scatter (the runs are deterministic, so a
scatter above a tenth of the data's spread is no integrator noise) or
follows it as a ramp at the shortest length scale. Either way it is flagged
as ``unresolved``: the study widens the band between the runs there and says
so in its summary.
"""

import threading
import warnings

import numpy as np

# The shortest correlation length, in spans, and the scatter (as a fraction
# of the data's variance) above which a fit no longer resolves the field.
SHORTEST_LENGTH = 0.05
UNRESOLVED_NOISE = 1e-2


def start_import():
    """Imports scikit-learn's Gaussian process in a background thread.

    The import takes seconds; a study starts it before its first round, whose
    runs take longer, so the first fit finds it done.
    """
    threading.Thread(target=_import_gaussian_process, daemon=True).start()


def _import_gaussian_process():
    import sklearn.gaussian_process  # noqa: F401


def fit_predict(points, values, lattice, seed):
    """Fits log(wall number) at the scaled points and evaluates the fit on the lattice nodes.

    Returns a dict: ``mean`` and ``sd`` (of the smooth function, the fitted
    run-to-run scatter taken out) at every node, ``length_scales`` (one per
    parameter, in spans), ``noise_sd`` (the scatter, in log(wall number)) and
    ``unresolved`` (True when the field changes faster than the runs
    resolve: a scatter above a tenth of the data's spread, or a correlation
    length at its lower bound) and ``kernel`` (the fitted kernel as text).
    """
    from sklearn.gaussian_process import GaussianProcessRegressor
    from sklearn.exceptions import ConvergenceWarning
    from sklearn.gaussian_process.kernels import ConstantKernel, Matern, WhiteKernel
    from threadpoolctl import threadpool_limits

    X = np.asarray(points, dtype=float)
    y = np.asarray(values, dtype=float)
    nodes = np.asarray(lattice, dtype=float).reshape(-1, X.shape[1])
    dimension = X.shape[1]
    kernel = (ConstantKernel(1.0, (1e-2, 1e2))
              * Matern(length_scale=np.full(dimension, 0.3), length_scale_bounds=(SHORTEST_LENGTH, 5.0), nu=2.5)
              + WhiteKernel(1e-4, (1e-8, 1.0)))
    gp = GaussianProcessRegressor(kernel, normalize_y=True, n_restarts_optimizer=1, random_state=int(seed))
    # The matrices are small (tens of runs): one BLAS thread is fastest and
    # leaves the cores to the runs of the study.
    with warnings.catch_warnings(), threadpool_limits(1):
        # A hyperparameter at its bound is the bound doing its job (a plane
        # without scatter drives the noise to its floor), not a fault.
        warnings.simplefilter("ignore", ConvergenceWarning)
        gp.fit(X, y)
        mean, sd = gp.predict(nodes, return_std=True)
    # predict() adds the white noise to every node's variance; the boundary is
    # that of the smooth function, so the noise is taken out again.
    scale = float(np.atleast_1d(gp._y_train_std)[0])
    noise_variance = float(gp.kernel_.k2.noise_level) * scale ** 2
    latent_sd = np.sqrt(np.maximum(sd ** 2 - noise_variance, 0.0))
    length_scales = np.atleast_1d(gp.kernel_.k1.k2.length_scale).astype(float)
    if length_scales.size == 1:
        length_scales = np.full(dimension, float(length_scales[0]))
    unresolved = bool(float(gp.kernel_.k2.noise_level) >= UNRESOLVED_NOISE
                      or length_scales.min() <= 1.01 * SHORTEST_LENGTH)
    return {"mean": np.ascontiguousarray(mean, dtype=float), "sd": latent_sd,
            "length_scales": length_scales, "noise_sd": float(np.sqrt(noise_variance)), "unresolved": unresolved,
            "kernel": str(gp.kernel_)}
