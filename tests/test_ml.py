"""Phase classifier: feature map, scaling, cost, gradient, descent, training grid,
and the standalone learning modules."""
import numpy as np
import pytest

import velmora.ml.logistic_loss as logistic_loss_module
from velmora.ml import sigmoid1
from velmora.ml.compute_gradient import compute_gradient
from velmora.ml.fit_weights import fit_weights
from velmora.ml.logistic_loss import logistic_loss
from velmora.ml.logistic_loss_reg import logistic_loss_reg
from velmora.ml.map_feature1 import map_feature1
from velmora.ml.phase_boundary_learner import _Main_ML_2D
from velmora.ml.scale_inputs import descale_inputs, scale_inputs
from velmora.ml.utils import decision_values, feature_count

METHOD_ERROR = "Method must be 'zscore', 'minmax', or 'mean'"


def cross_entropy(X, y, w, b):
    s = 1.0 / (1.0 + np.exp(-(X @ w + b)))
    return -np.mean(y * np.log(s) + (1 - y) * np.log(1 - s))


@pytest.fixture
def problem():
    rng = np.random.default_rng(7)
    X = rng.normal(size=(40, 6))
    y = (rng.random(40) > 0.5).astype(int)
    w = rng.normal(size=6) * 0.3
    return X, y, w, 0.25


def separable_set(n=60, seed=3):
    """Points in (P, T)-like units, class 1 below the line v = 900 + 2e4 u."""
    rng = np.random.default_rng(seed)
    u = rng.uniform(0.001, 0.01, n)
    v = rng.uniform(800, 1200, n)
    y = (v < 900 + 2e4 * u).astype(int)
    return np.column_stack([u, v]), y


# --- construction --------------------------------------------------------------

def test_constructor_defaults_and_keywords():
    c = _Main_ML_2D()
    assert _Main_ML_2D.__bases__ == (object,)
    assert (c.method, c.lambda_, c.iterations, c.alpha, c.poly_degree, c.n_order) == ("mean", 0.001, 10000, 1.5, 12, 12)
    for name in ("w", "b", "mean_vals", "scale_vals", "X_train", "y_train", "J_history"):
        assert getattr(c, name) is None
    c = _Main_ML_2D(method="zscore", alpha=0.5, unknown_key=3, w=[1.0])
    assert (c.method, c.alpha, c.w) == ("zscore", 0.5, [1.0])
    assert not hasattr(c, "unknown_key")
    with pytest.raises(TypeError):
        _Main_ML_2D("mean")


# --- feature map ---------------------------------------------------------------

def test_map_feature1_column_order_and_counts():
    u = np.array([2.0, -1.5, 0.3])
    v = np.array([5.0, 0.7, -2.0])
    c = _Main_ML_2D(poly_degree=1)
    np.testing.assert_array_equal(c.map_feature1(u, v), np.column_stack([u, v]))
    c.poly_degree = 2
    np.testing.assert_allclose(c.map_feature1(u, v), np.column_stack([u, v, u * u, u * v, v * v]), rtol=1e-15)
    c.poly_degree = 12
    F = c.map_feature1(u, v)
    assert F.shape == (3, 90) and feature_count(12) == 90
    expected = [u ** (k - j) * v ** j for k in range(1, 13) for j in range(k + 1)]
    np.testing.assert_allclose(F, np.column_stack(expected), rtol=1e-13)
    # the free view takes the degree as a parameter and agrees with the method
    np.testing.assert_allclose(map_feature1(u, v, 12), F, rtol=0)
    with pytest.raises(ValueError):
        _Main_ML_2D(poly_degree=0).map_feature1(u, v)
    with pytest.raises(ValueError):
        c.map_feature1(u, v[:2])


# --- scaling -------------------------------------------------------------------

@pytest.mark.parametrize("method", ["zscore", "minmax", "mean"])
def test_scaling_round_trip_and_constant_column(method):
    rng = np.random.default_rng(1)
    X = np.column_stack([rng.uniform(0.001, 0.01, 25), np.full(25, 873.0)])
    c = _Main_ML_2D(method=method)
    Xn, mean_vals, scale_vals = c.scale_inputs(X)
    col = X[:, 0]
    expected = {
        "zscore": (col.mean(), col.std()),
        "minmax": (col.min(), np.ptp(col)),
        "mean": (col.mean(), np.ptp(col)),
    }[method]
    np.testing.assert_allclose([mean_vals[0], scale_vals[0]], expected, rtol=1e-12)
    assert scale_vals[1] == 1.0  # zero spread replaced by 1
    np.testing.assert_array_equal(Xn[:, 1], 0.0)
    np.testing.assert_allclose(c.descale_inputs(Xn, mean_vals, scale_vals), X, rtol=1e-14)
    # the standalone functions, method given explicitly
    Xn2, m2, s2 = scale_inputs(X, method)
    np.testing.assert_allclose(Xn2, Xn, rtol=1e-15)
    np.testing.assert_allclose(descale_inputs(Xn2, m2, s2, method), X, rtol=1e-14)


def test_scaling_methods_and_errors():
    X = np.array([[1.0, 10.0], [3.0, 30.0], [5.0, 20.0]])
    Xn, m, s = scale_inputs(X)  # default zscore
    np.testing.assert_allclose(Xn, (X - X.mean(0)) / X.std(0))
    with pytest.raises(ValueError, match=METHOD_ERROR):
        scale_inputs(X, "no_normalization")
    with pytest.raises(ValueError, match=METHOD_ERROR):
        descale_inputs(Xn, m, s, "no_normalization")

    c = _Main_ML_2D(method="no_normalization")
    out, m0, s0 = c.scale_inputs(X)
    assert out is X and (m0, s0) == (0, 1)
    with pytest.raises(ValueError, match=METHOD_ERROR):
        c.descale_inputs(X, 0, 1)
    for bad in ("MEAN", "z-score", None):
        with pytest.raises(ValueError, match=METHOD_ERROR):
            _Main_ML_2D(method=bad).scale_inputs(X)


# --- cost and gradient ---------------------------------------------------------

def test_costs_match_formula(problem):
    X, y, w, b = problem
    c = _Main_ML_2D()
    ref = cross_entropy(X, y, w, b)
    assert c.logistic_loss(X, y, w, b) == pytest.approx(ref, rel=1e-13)
    assert c.logistic_loss(X, y, w, b, 0.5, "ignored") == c.logistic_loss(X, y, w, b)
    assert logistic_loss(X, y, w, b, 0.5) == pytest.approx(ref, rel=1e-13)
    reg = ref + 0.7 * np.sum(w ** 2) / (2 * len(y))
    assert c.logistic_loss_reg(X, y, w, b, 0.7) == pytest.approx(reg, rel=1e-13)
    assert c.logistic_loss_reg(X, y, w, b) == pytest.approx(ref + np.sum(w ** 2) / (2 * len(y)), rel=1e-13)
    assert logistic_loss_reg(X, y, w, b, 0.7) == pytest.approx(reg, rel=1e-13)
    np.testing.assert_allclose(decision_values(X, w, b), X @ w + b, rtol=1e-13)
    with pytest.raises(ValueError):
        c.logistic_loss(X, y, w[:-1], b)
    with pytest.raises(IndexError):
        c.compute_gradient(X, y[:-1], w, b)
    with pytest.raises(ZeroDivisionError):
        c.logistic_loss(X[:0], y[:0], w, b)


def test_gradient_is_derivative_of_regularised_cost(problem):
    X, y, w, b = problem
    c = _Main_ML_2D()
    lam = 0.3
    dj_db, dj_dw = c.compute_gradient(X, y, w, b, lam)
    h = 1e-6
    num_db = (c.logistic_loss_reg(X, y, w, b + h, lam) - c.logistic_loss_reg(X, y, w, b - h, lam)) / (2 * h)
    num_dw = []
    for j in range(len(w)):
        e = np.zeros_like(w)
        e[j] = h
        num_dw.append((c.logistic_loss_reg(X, y, w + e, b, lam) - c.logistic_loss_reg(X, y, w - e, b, lam)) / (2 * h))
    assert dj_db == pytest.approx(num_db, abs=1e-8)
    np.testing.assert_allclose(dj_dw, num_dw, atol=1e-8)
    free_db, free_dw = compute_gradient(X, y, w, b, lam)
    assert free_db == dj_db
    np.testing.assert_array_equal(free_dw, dj_dw)


def test_sigmoid_everywhere():
    z = np.array([[-800.0, 0.0], [2.0, 800.0]])
    expected = np.array([[0.0, 0.5], [1 / (1 + np.exp(-2.0)), 1.0]])
    with np.errstate(over="ignore"):
        np.testing.assert_allclose(_Main_ML_2D().sigmoid1(z), expected, rtol=1e-15)
    np.testing.assert_allclose(sigmoid1.sigmoid1(z), expected, rtol=1e-15)
    assert sigmoid1.sigmoid1(0) == 0.5


# --- descent -------------------------------------------------------------------

def test_fit_weights_zero_steps_prints_nothing(problem, capsys):
    X, y, w, b = problem
    c = _Main_ML_2D()
    for fit in (c.fit_weights, fit_weights):
        w_out, b_out, J, W = fit(X, y, w, b, c.logistic_loss_reg, c.compute_gradient, 0.1, 0, 0.01)
        assert w_out is w and b_out is b and J == [] and W == []
    assert capsys.readouterr().out == ""


def test_fit_weights_five_steps_native_and_python_callables_agree(problem, capsys):
    X, y, w, b = problem
    w_before = w.copy()
    c = _Main_ML_2D()
    native = c.fit_weights(X, y, w, b, c.logistic_loss_reg, c.compute_gradient, 0.5, 5, 0.01)
    out = capsys.readouterr().out
    expected_lines = [f"Iteration {i:4}: Cost {float(native[2][i]):8.2f}   " for i in range(5)]
    assert out.splitlines() == expected_lines
    np.testing.assert_array_equal(w, w_before)  # the caller's weights are not touched

    # the same descent with plain Python callables goes through the generic loop
    python = fit_weights(X, y, w, b, lambda *a: c.logistic_loss_reg(*a), lambda *a: c.compute_gradient(*a), 0.5, 5, 0.01)
    assert capsys.readouterr().out == out
    np.testing.assert_allclose(python[0], native[0], rtol=1e-14)
    assert python[1] == pytest.approx(native[1], rel=1e-14)
    np.testing.assert_allclose(python[2], native[2], rtol=1e-14)
    assert len(native[3]) == 5
    # each recorded cost is that of the parameters after its step
    assert native[2][-1] == pytest.approx(c.logistic_loss_reg(X, y, native[0], native[1], 0.01), rel=1e-13)


def test_fit_weights_report_steps(problem, capsys):
    X, y, w, b = problem
    c = _Main_ML_2D()
    w_out, b_out, J, W = fit_weights(X, y, w, b, c.logistic_loss, c.compute_gradient, 0.1, 23, 5.0)
    lines = capsys.readouterr().out.splitlines()
    assert [int(line.split(":")[0].split()[1]) for line in lines] == [0, 3, 6, 9, 12, 15, 18, 21, 22]
    assert len(J) == 23 and len(W) == 9
    np.testing.assert_array_equal(W[-1], w_out)
    # the plain cost ignores lambda_ (5.0 enters the gradient only)
    assert J[-1] == pytest.approx(cross_entropy(X, y, w_out, b_out), rel=1e-13)
    with pytest.raises(TypeError):
        fit_weights(X, y, w, b, c.logistic_loss, c.compute_gradient, 0.1, 2.0, 0.0)


# --- training and grid ---------------------------------------------------------

def test_train_separable_set_boundary_follows_line(capsys):
    X, y = separable_set()
    c = _Main_ML_2D(iterations=2000)
    np.random.seed(11)
    X1, X2, P = c.train(X, y)
    assert capsys.readouterr().out.count("Iteration") == 11
    assert X1.shape == X2.shape == P.shape == (400, 400)
    assert c.X_train.shape == (60, 90) and c.y_train is y and len(c.J_history) == 2000
    assert c.J_history[-1] < c.J_history[0]
    # u varies along a row, v down a column; the grid spans the data plus 0.1 scale units
    assert np.all(X1[0] == X1[-1]) and np.all(X2[:, 0] == X2[:, -1])
    assert X1[0, 0] == pytest.approx(X[:, 0].min() - 0.1 * np.ptp(X[:, 0]), rel=1e-12)
    assert X2[-1, 0] == pytest.approx(X[:, 1].max() + 0.1 * np.ptp(X[:, 1]), rel=1e-12)
    # the fitted logit reproduces the training labels ...
    logits = decision_values(c.X_train, c.w, c.b)
    assert np.mean((logits > 0) == (y == 1)) >= 0.95
    # ... and changes sign across the separating line inside the grid
    for u in np.linspace(0.003, 0.008, 5):
        q = np.argmin(np.abs(X1[0] - u))
        v = X2[:, q]
        v_line = 900 + 2e4 * X1[0, q]
        inside = (v > 800) & (v < 1200)
        assert np.all(P[inside & (v < v_line - 40), q] > 0)
        assert np.all(P[inside & (v > v_line + 40), q] < 0)


def test_grid_matches_features_and_n_order():
    X, y = separable_set(30)
    c = _Main_ML_2D(iterations=50)
    np.random.seed(0)
    X1, X2, P = c.train(X, y)
    # P at grid nodes equals the logit of those nodes' own features
    rng = np.random.default_rng(4)
    r, q = rng.integers(0, 400, 40), rng.integers(0, 400, 40)
    nodes = np.column_stack([X1[r, q], X2[r, q]])
    scaled = (nodes - c.mean_vals) / c.scale_vals
    phi = c.map_feature1(scaled[:, 0], scaled[:, 1])
    np.testing.assert_allclose(P[r, q], phi @ c.w + c.b, rtol=1e-9, atol=1e-9)
    c.n_order = 13
    with pytest.raises(IndexError):
        c.ml_phase_diagram_plot(c.X_train, c.y_train, c.w, c.b, c.mean_vals, c.scale_vals)
    c.n_order = 1  # a shorter walk keeps only the linear terms
    _, _, P1 = c.ml_phase_diagram_plot(c.X_train, c.y_train, c.w, c.b, c.mean_vals, c.scale_vals)
    u_s, v_s = (np.column_stack([X1[r, q], X2[r, q]]) - c.mean_vals).T / c.scale_vals[:, None]
    np.testing.assert_allclose(P1[r, q], c.w[0] * u_s + c.w[1] * v_s + c.b, rtol=1e-9, atol=1e-9)


def test_train_reproducible_under_numpy_seed():
    X, y = separable_set(30)
    runs = []
    for _ in range(2):
        np.random.seed(2024)
        c = _Main_ML_2D(iterations=30)
        runs.append((c.train(X, y)[2], c.w))
    np.testing.assert_array_equal(runs[0][0], runs[1][0])
    np.testing.assert_array_equal(runs[0][1], runs[1][1])
    np.random.seed(2025)
    c = _Main_ML_2D(iterations=30)
    assert not np.array_equal(c.train(X, y)[2], runs[0][0])


def test_no_normalization_fails_after_descent(capsys):
    X, y = separable_set(20)
    X = X / X.max(axis=0)  # keep the raw monomials finite
    c = _Main_ML_2D(method="no_normalization", iterations=7)
    with pytest.raises(ValueError, match=METHOD_ERROR):
        c.train(X, y)
    assert capsys.readouterr().out.count("Iteration") == 7
    assert (c.mean_vals, c.scale_vals) == (0, 1)
    assert c.w.shape == (90,) and isinstance(c.b, float) and len(c.J_history) == 7
    np.testing.assert_allclose(c.X_train[:, :2], X)


def test_overridden_methods_are_honoured(capsys):
    """A subclass's sigmoid1 is called per sample; training through it gives the
    same fit as the compiled path."""
    calls = []

    class Counting(_Main_ML_2D):
        def sigmoid1(self, z):
            calls.append(z)
            return 1.0 / (1.0 + np.exp(-z))

    X, y = separable_set(12)
    Xf = _Main_ML_2D(poly_degree=2).map_feature1(X[:, 0] / 0.01, X[:, 1] / 1200)
    w = np.linspace(-0.3, 0.3, 5)
    k = Counting(poly_degree=2)
    assert k.logistic_loss(Xf, y, w, 0.1) == pytest.approx(cross_entropy(Xf, y, w, 0.1), rel=1e-13)
    assert len(calls) == 2 * len(y)

    np.random.seed(5)
    ref = _Main_ML_2D(iterations=4, poly_degree=2, n_order=2).train(X, y)
    np.random.seed(5)
    got = Counting(iterations=4, poly_degree=2, n_order=2).train(X, y)
    np.testing.assert_allclose(got[2], ref[2], rtol=1e-12, atol=1e-12)

    # an instance attribute replaces the method as well
    c = _Main_ML_2D()
    c.logistic_loss = lambda X, y, w, b, *rest: 10.0
    assert c.logistic_loss_reg(Xf, y, w, 0.1, 0.0) == 10.0


def test_overridden_gradient_drives_the_descent_and_bad_results_are_refused(capsys):
    """train hands fit_weights the instance's compute_gradient; a replaced one is
    called once per step and gives the fit of the compiled one."""
    calls = []

    class Logged(_Main_ML_2D):
        def compute_gradient(self, X, y, w, b, lambda_=1):
            calls.append(b)
            return super().compute_gradient(X, y, w, b, lambda_)

    X, y = separable_set(15)
    np.random.seed(9)
    ref = _Main_ML_2D(iterations=6, poly_degree=2, n_order=2).train(X, y)
    np.random.seed(9)
    logged = Logged(iterations=6, poly_degree=2, n_order=2)
    got = logged.train(X, y)
    assert len(calls) == 6 and calls[0] == 0
    np.testing.assert_allclose(got[2], ref[2], rtol=1e-12, atol=1e-12)
    assert len(logged.J_history) == 6 and capsys.readouterr().out.count("Iteration") == 12

    Xf, w = np.ones((3, 2)), np.zeros(2)
    cost = lambda *a: 1.0
    for gradient, message in [(lambda *a: 5, "got 'int'"), (lambda *a: (0.0, w, w), "of length 3"),
                              (lambda *a: (0.0, np.ones(3)), "dj_dw must hold 2 entries, not 3")]:
        with pytest.raises(ValueError, match=message):
            fit_weights(Xf, np.ones(3), w, 0, cost, gradient, 0.1, 3, 0.0)
    with pytest.raises(TypeError, match="must be a real number"):
        fit_weights(Xf, np.ones(3), w, 0, lambda *a: "cost", lambda *a: (0.0, w), 0.1, 3, 0.0)


def test_methods_replaced_on_the_class_itself_are_honoured(monkeypatch, capsys):
    """A replacement set on _Main_ML_2D (not a subclass) is used by train's descent and grid."""
    calls = []
    own_gradient = _Main_ML_2D.compute_gradient

    def counted(self, X, y, w, b, lambda_=1):
        calls.append(b)
        return own_gradient(self, X, y, w, b, lambda_)

    monkeypatch.setattr(_Main_ML_2D, "compute_gradient", counted)
    X, y = separable_set(15)
    _Main_ML_2D(iterations=3, poly_degree=2, n_order=2).train(X, y)
    assert len(calls) == 3
    # the grid nodes come back through descale_inputs, whose result must have one row per node
    monkeypatch.setattr(_Main_ML_2D, "descale_inputs", lambda self, Xn, m, s: Xn[:10])
    with pytest.raises(ValueError, match="unscaled grid nodes must be 160000 rows"):
        _Main_ML_2D(iterations=3, poly_degree=2, n_order=2).train(X, y)


def test_standalone_logistic_loss_uses_module_name_sigmoid1(problem, monkeypatch):
    X, y, w, b = problem

    class Half:
        @staticmethod
        def sigmoid1(z):
            return 0.5

    monkeypatch.setattr(logistic_loss_module, "sigmoid1", Half)
    assert logistic_loss(X, y, w, b) == pytest.approx(np.log(2.0), rel=1e-14)
    monkeypatch.delattr(logistic_loss_module, "sigmoid1")
    with pytest.raises(NameError, match="name 'sigmoid1' is not defined"):
        logistic_loss(X, y, w, b)


def test_imported_only_modules_load():
    import velmora.ml.utils as utils

    namespace = {}
    exec("from velmora.ml.utils import *", namespace)
    assert set(utils.__all__) <= set(namespace)
    from velmora.ml import sigmoid1 as s

    assert s.sigmoid1(np.log(3.0)) == pytest.approx(0.75, rel=1e-15)


class _Alarm(Exception):
    pass


def _interrupted_after(seconds, call):
    """Runs call() with a SIGALRM that raises after `seconds`; returns the elapsed time."""
    import signal
    import time

    def handler(signum, frame):
        raise _Alarm()

    previous = signal.signal(signal.SIGALRM, handler)
    start = time.perf_counter()
    signal.setitimer(signal.ITIMER_REAL, seconds)
    try:
        with pytest.raises(_Alarm):
            call()
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    return time.perf_counter() - start


def test_iteration_counts_are_bounded_and_the_largest_stays_interruptible(capsys):
    # The compiled descent polls for pending signals, so Ctrl-C ends the longest allowed run.
    X = np.random.default_rng(3).random((20, 2))
    y = (X[:, 0] > 0.5).astype(float)
    clf = _Main_ML_2D()
    runs = [
        lambda: fit_weights(X, y, np.zeros(2), 0.0, clf.logistic_loss_reg, clf.compute_gradient, 0.1, 10**8, 0.0),
        lambda: _Main_ML_2D(iterations=10**8).train(X, y),
    ]
    for run in runs:
        assert _interrupted_after(0.2, run) < 5.0
    # More steps than 1e8 are refused before any is taken (nothing printed).
    capsys.readouterr()
    for count in (10**8 + 1, 10**9, 2**31, 10**12):
        with pytest.raises(ValueError, match=f"num_iters must be at most 100000000 descent steps, got {count}"):
            fit_weights(X, y, np.zeros(2), 0.0, clf.logistic_loss_reg, clf.compute_gradient, 0.1, count, 0.0)
        with pytest.raises(ValueError, match=f"num_iters must be at most 100000000 descent steps, got {count}"):
            _Main_ML_2D(iterations=count).train(X, y)
    assert capsys.readouterr().out == ""


@pytest.mark.parametrize("alpha, lambda_", [(0.5, -2.0**63), (0.5, 1e20), (-2.0**63, 0.01)])
def test_a_diverging_descent_is_refused_instead_of_returning_overflowed_weights(capsys, alpha, lambda_):
    # Each step overshoots further (alpha * lambda_ far above twice the sample count, a negative
    # lambda_ or step): the weights overflow to inf/NaN, which classify nothing.
    X = np.random.default_rng(3).random((20, 2))
    y = (X[:, 0] > 0.5).astype(float)
    clf = _Main_ML_2D()
    with pytest.raises(ValueError, match="gradient descent diverged: the weights are not finite after 50 steps"):
        fit_weights(X, y, np.zeros(2), 0.0, clf.logistic_loss_reg, clf.compute_gradient, alpha, 50, lambda_)
    with pytest.raises(ValueError, match="gradient descent diverged"):
        _Main_ML_2D(iterations=50, alpha=alpha, lambda_=lambda_).train(X, y)
    # a stable step from the same start ends on finite weights
    w, b, _, _ = fit_weights(X, y, np.zeros(2), 0.0, clf.logistic_loss_reg, clf.compute_gradient, 0.5, 50, 0.01)
    assert np.isfinite(w).all() and np.isfinite(b)


@pytest.mark.parametrize("call", [
    lambda: fit_weights(np.ones((2, 2)), np.ones(2), np.zeros(2), 0.0, _Main_ML_2D().logistic_loss_reg,
                        _Main_ML_2D().compute_gradient, 0.1, 10**30, 0.0),
    lambda: _Main_ML_2D(poly_degree=10**30).map_feature1(np.ones(3), np.ones(3)),
    lambda: feature_count(10**30),
])
def test_integers_beyond_c_long_raise_overflow_error(call):
    with pytest.raises(OverflowError):
        call()
