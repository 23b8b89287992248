"""Gaussian-process surrogate of a boundary study (scikit-learn), one call per round.

The boundary study (``Mapping_Wrapper.run_boundary_study``) decides in compiled
code where to run, when to stop and where the boundary lies; what it needs
from a library is a Gaussian-process regression of log(wall number) over the
scaled study parameters, evaluated on its lattice. scikit-learn's
``GaussianProcessRegressor`` is a well-kept implementation of exactly that
(Rasmussen and Williams 2006, algorithm 2.1), with marginal-likelihood fits of
the kernel's hyperparameters inside bounds.

The kernel is the sum of a smooth part, a rough part and white noise
(a sum of kernels models a function as the sum of independent parts of
different character: Rasmussen and Williams 2006, section 4.2.4):

    c1 * Matern(nu=5/2, one length per parameter, 0.05-5 spans)
  + c2 * Matern(nu=1/2, one length, 0.01-0.1 span)
  + white noise (at most 1 % of the data's variance).

Matern 5/2 is smooth enough for a monotone field yet follows a steep rise
without ringing between runs. A record's wall number can also jump: where
the dominant section crosses one wall, neighbouring runs differ by a factor
of two or three. A smooth kernel alone either rings there or, worse, passes
through the jump with a confidence it has not earned. The rough part takes
up what the smooth one cannot follow: the marginal likelihood gives it an
amplitude near zero on a smooth plane and the size of the jumps on a plane
with jumps, and because it decorrelates within a tenth of the span, its
variance returns between the runs: the band widens where the runs cannot
tell where the jump lies, instead of the fit oscillating. The runs are
deterministic, so the white noise only takes up integrator scatter; it is
kept small so that it cannot swallow a jump and hide it from the band.
"""

import threading
import warnings

import numpy as np


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

    Returns a dict: ``mean`` (of the smooth part) and ``sd`` (of the whole
    function, the fitted run-to-run scatter taken out) at every node, ``length_scales`` (one per
    parameter, in spans), ``noise_sd`` (the scatter, in log(wall number)) and
    ``rough_sd`` (the rough part's amplitude, in log(wall number): how much the
    field varies on scales the runs do not resolve) and ``kernel`` (the
    fitted kernel as text).
    """
    from sklearn.gaussian_process import GaussianProcessRegressor
    from sklearn.exceptions import ConvergenceWarning
    from sklearn.gaussian_process.kernels import ConstantKernel, Matern, WhiteKernel
    from threadpoolctl import threadpool_limits

    X = np.asarray(points, dtype=float)
    y = np.asarray(values, dtype=float)
    nodes = np.asarray(lattice, dtype=float).reshape(-1, X.shape[1])
    dimension = X.shape[1]
    smooth = (ConstantKernel(1.0, (1e-2, 1e2))
              * Matern(length_scale=np.full(dimension, 0.3), length_scale_bounds=(0.05, 5.0), nu=2.5))
    rough = ConstantKernel(1e-3, (1e-6, 1.0)) * Matern(length_scale=0.05, length_scale_bounds=(0.01, 0.1), nu=0.5)
    kernel = smooth + rough + WhiteKernel(1e-4, (1e-8, 1e-2))
    gp = GaussianProcessRegressor(kernel, normalize_y=True, n_restarts_optimizer=2, random_state=int(seed))
    # The matrices are small (tens of runs): one BLAS thread is fastest and
    # leaves the cores to the runs of the study.
    with warnings.catch_warnings(), threadpool_limits(1):
        # A hyperparameter at its bound is the bound doing its job (a plane
        # without scatter drives the noise to its floor), not a fault.
        warnings.simplefilter("ignore", ConvergenceWarning)
        gp.fit(X, y)
        mean, sd = gp.predict(nodes, return_std=True)
    # predict() adds the white noise to every node's variance; the boundary is
    # that of the function itself, so the noise is taken out again.
    scale = float(np.atleast_1d(gp._y_train_std)[0])
    noise_variance = float(gp.kernel_.k2.noise_level) * scale ** 2
    latent_sd = np.sqrt(np.maximum(sd ** 2 - noise_variance, 0.0))
    fitted_smooth, fitted_rough = gp.kernel_.k1.k1, gp.kernel_.k1.k2
    rough_sd = float(np.sqrt(fitted_rough.k1.constant_value)) * scale
    # The boundary follows the smooth part alone: the rough part's mean falls
    # back to the data's average within a tenth of the span of every run, and
    # in a boundary study that average lies near the threshold, so following
    # it would draw a boundary piece around every run. What the rough part
    # says is kept as uncertainty: its variance and its mean both go into sd.
    rough_mean = fitted_rough(nodes, gp.X_train_) @ gp.alpha_.reshape(-1) * scale
    mean = mean - rough_mean
    latent_sd = np.sqrt(latent_sd ** 2 + rough_mean ** 2)
    length_scales = np.atleast_1d(fitted_smooth.k2.length_scale).astype(float)
    if length_scales.size == 1:
        length_scales = np.full(dimension, float(length_scales[0]))
    return {"mean": np.ascontiguousarray(mean, dtype=float), "sd": latent_sd,
            "length_scales": length_scales, "noise_sd": float(np.sqrt(noise_variance)), "rough_sd": rough_sd,
            "kernel": str(gp.kernel_)}
