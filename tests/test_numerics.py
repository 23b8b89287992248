"""The core numerics (velmora._numerics) against scipy: LSODA integration,
adaptive Gauss-Kronrod quadrature, normal and lognormal quantiles."""
import math
import warnings

import numpy as np
import pytest
from scipy import integrate, stats
from scipy.optimize import OptimizeResult

from velmora import _numerics


def robertson(t, y):
    return [-0.04 * y[0] + 1e4 * y[1] * y[2],
            0.04 * y[0] - 1e4 * y[1] * y[2] - 3e7 * y[1] ** 2,
            3e7 * y[1] ** 2]


def robertson_jac(t, y):
    return np.array([[-0.04, 1e4 * y[2], 1e4 * y[1]],
                     [0.04, -1e4 * y[2] - 6e7 * y[1], -1e4 * y[1]],
                     [0.0, 6e7 * y[1], 0.0]])


def van_der_pol(mu):
    return lambda t, y: [y[1], mu * (1.0 - y[0] ** 2) * y[1] - y[0]]


def scaled_deviation(y, ref, rtol, atol):
    return np.max(np.abs(y - ref) / (atol + rtol * np.abs(ref)))


# Both solvers take the same steps and differ only by roundoff, but that
# difference is amplified like any global error: against a tight Radau
# reference scipy's own end-state error on these problems is 1-25 times the
# local tolerance. "Within the tolerance" therefore means within a small
# multiple of it (measured: at most 5).
AGREEMENT = 10.0


def assert_result_shape(res, n, t0, t_end):
    # scipy's own result type: every entry also reads as an attribute
    assert isinstance(res, OptimizeResult) and res["y"] is res.y and res["t"] is res.t
    assert res.y.shape == (n, len(res.t))
    assert res.t[0] == t0 and res.t[-1] == t_end
    assert np.all(np.diff(res.t) * np.sign(t_end - t0) > 0)


# --- integrator against scipy's LSODA -------------------------------------------------

@pytest.mark.parametrize("rtol, atol", [(1e-3, 1e-6), (1e-6, 1e-10), (1e-8, 1e-14)])
def test_robertson_matches_scipy_lsoda(rtol, atol):
    res = _numerics.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], rtol=rtol, atol=atol)
    ref = integrate.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], method="LSODA",
                              rtol=rtol, atol=atol)
    assert res.success and res.status == 0
    assert res.message == "The solver successfully reached the end of the integration interval."
    assert_result_shape(res, 3, 0.0, 1e5)
    assert scaled_deviation(res.y[:, -1], ref.y[:, -1], rtol, atol) < AGREEMENT
    # Same method, same step control: the step sequences track each other.
    assert abs(len(res.t) - len(ref.t)) <= 0.05 * len(ref.t)
    assert res.njev > 0 and res.nlu == res.njev and res.nfev > len(res.t)
    # The stiff solution conserves mass.
    assert np.allclose(res.y.sum(axis=0), 1.0, rtol=0, atol=1e3 * rtol)


def test_jacobian_reused_across_steps():
    res = _numerics.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], rtol=1e-6, atol=1e-10)
    steps = len(res.t) - 1
    assert 0 < res.njev < steps / 4
    # Finite differences cost n evaluations per Jacobian; the rest is about
    # two corrector evaluations per step.
    assert res.nfev - 3 * res.njev < 3 * steps


def test_robertson_analytic_jacobian():
    kw = dict(rtol=1e-6, atol=1e-10)
    fd = _numerics.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], **kw)
    res = _numerics.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], jac=robertson_jac, **kw)
    ref = integrate.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], method="LSODA",
                              jac=robertson_jac, **kw)
    assert res.success and res.njev > 0
    assert res.nfev < fd.nfev  # no finite-difference evaluations
    assert scaled_deviation(res.y[:, -1], ref.y[:, -1], 1e-6, 1e-10) < AGREEMENT


def test_van_der_pol_stiff_matches_scipy_lsoda():
    rtol, atol = 1e-6, 1e-9
    fun = van_der_pol(1000.0)
    res = _numerics.solve_ivp(fun, (0.0, 3000.0), [2.0, 0.0], rtol=rtol, atol=atol)
    ref = integrate.solve_ivp(fun, (0.0, 3000.0), [2.0, 0.0], method="LSODA", rtol=rtol, atol=atol)
    assert res.success
    assert_result_shape(res, 2, 0.0, 3000.0)
    assert scaled_deviation(res.y[:, -1], ref.y[:, -1], rtol, atol) < AGREEMENT
    # Stiff: the method switches to BDF, so steps are few compared to mu * t_end.
    assert len(res.t) < 4000


STIFF_A = np.array([[-500.5, 499.5], [499.5, -500.5]])  # eigenvalues -1 and -1000


def stiff_linear_exact(t):
    return np.array([np.exp(-t) + np.exp(-1000 * t), np.exp(-t) - np.exp(-1000 * t)])


@pytest.mark.parametrize("rtol, atol, factor", [(1e-3, 1e-6, 10), (1e-6, 1e-9, 10),
                                                (1e-9, 1e-12, 100)])
def test_linear_system_meets_tolerance(rtol, atol, factor):
    # Global errors exceed the local tolerance by a modest accumulation factor
    # (scipy's LSODA shows the same factors on this problem).
    res = _numerics.solve_ivp(lambda t, y: STIFF_A @ y, (0.0, 10.0), [2.0, 0.0], rtol=rtol, atol=atol)
    assert res.success
    assert scaled_deviation(res.y, stiff_linear_exact(res.t), rtol, atol) < factor


def test_rms_error_norm_is_looser_but_accurate():
    kw = dict(rtol=1e-6, atol=1e-10)
    rms = _numerics.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], error_norm="rms", **kw)
    mx = _numerics.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], **kw)
    assert rms.success and len(rms.t) < len(mx.t)
    assert scaled_deviation(rms.y[:, -1], mx.y[:, -1], 1e-6, 1e-10) < 10
    with pytest.raises(ValueError, match="error_norm"):
        _numerics.solve_ivp(robertson, (0.0, 1.0), [1.0, 0.0, 0.0], error_norm="l2")


def test_backward_integration_and_step_options():
    res = _numerics.solve_ivp(lambda t, y: -y, (1.0, 0.0), [1.0], rtol=1e-9, atol=1e-12,
                              max_step=0.01)
    assert res.success
    assert_result_shape(res, 1, 1.0, 0.0)
    assert res.y[0, -1] == pytest.approx(math.e, rel=1e-7)
    assert np.max(np.abs(np.diff(res.t))) <= 0.01 * (1 + 1e-12)
    first = _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), [1.0], first_step=1e-3)
    assert first.t[1] == pytest.approx(1e-3)


def test_wide_scales_and_tiny_absolute_tolerance():
    # Coagulation-like pair: number ~1e11, volume ~1e-30, atol 1e-25, times from 1e-7 s.
    beta, n0, v0 = 1e-12, 1e11, 1e-30

    def coag(t, y):
        return [-0.5 * beta * y[0] ** 2, 0.5 * beta * y[0] * y[1]]

    for t0, t_end in [(1e-7, 1.0), (0.5, 0.5 + 1e-7)]:
        res = _numerics.solve_ivp(coag, (t0, t_end), [n0, v0], rtol=1e-6, atol=1e-25)
        assert res.success and res.t[-1] == t_end
        growth = 1.0 + 0.5 * beta * n0 * (res.t - t0)
        exact = np.array([n0 / growth, v0 * growth])
        assert scaled_deviation(res.y, exact, 1e-6, 1e-25) < 10


def test_degenerate_intervals():
    same = _numerics.solve_ivp(lambda t, y: -y, (1.0, 1.0), [1.0, 2.0])
    assert same.success and list(same.t) == [1.0, 1.0] and same.y.shape == (2, 2)
    tiny = _numerics.solve_ivp(lambda t, y: -y, (1e3, 1e3 + 2e-13), [1.0])
    assert not tiny.success and tiny.status == -1 and "too close" in tiny.message


def test_failures_are_reported_not_raised():
    # y' = y^2 blows up at t = 1: the integration must stop with a message
    # (the trial steps near the pole overflow; that is the point of the case).
    with np.errstate(over="ignore"):
        blow = _numerics.solve_ivp(lambda t, y: y * y, (0.0, 2.0), [1.0])
    assert not blow.success and blow.status == -1 and blow.message
    assert blow.t[-1] < 1.0 and blow.y.shape == (1, len(blow.t))
    nan = _numerics.solve_ivp(lambda t, y: [np.nan], (0.0, 1.0), [1.0])
    assert not nan.success and "convergence" in nan.message


def test_rhs_exception_propagates_unchanged():
    class Boom(RuntimeError):
        pass

    calls = []

    def fun(t, y):
        calls.append(t)
        if len(calls) > 5:
            raise Boom("from the right-hand side")
        return -y

    with pytest.raises(Boom, match="from the right-hand side"):
        _numerics.solve_ivp(fun, (0.0, 1.0), [1.0])


def test_bad_input_raises_clear_errors():
    with pytest.raises(ValueError):
        _numerics.solve_ivp(lambda t, y: [1.0, 2.0, 3.0], (0.0, 1.0), [1.0, 2.0])
    with pytest.raises(ValueError):
        _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), [[1.0, 2.0]])
    with pytest.raises(ValueError):
        _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), [1.0, 2.0], atol=[1e-6, 1e-6, 1e-6])
    with pytest.raises(ValueError):
        _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0, 2.0), [1.0])
    with pytest.raises(ValueError):
        _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), [1.0], atol=-1.0)
    with pytest.raises(ValueError, match="shape"):
        # The Jacobian is first needed when the problem turns stiff.
        _numerics.solve_ivp(robertson, (0.0, 1e5), [1.0, 0.0, 0.0], jac=lambda t, y: np.eye(2))


def test_per_component_atol():
    atol = [1e-8, 1e-14, 1e-8]
    res = _numerics.solve_ivp(robertson, (0.0, 40.0), [1.0, 0.0, 0.0], rtol=1e-6, atol=atol)
    ref = integrate.solve_ivp(robertson, (0.0, 40.0), [1.0, 0.0, 0.0], method="LSODA",
                              rtol=1e-6, atol=atol)
    assert res.success
    assert scaled_deviation(res.y[:, -1], ref.y[:, -1], 1e-6, np.array(atol)) < AGREEMENT


def test_benchmark_problems_match_python_definitions():
    res = _numerics.benchmark_problem("robertson", rtol=1e-6, atol=1e-10, t_end=40.0)
    ref = integrate.solve_ivp(robertson, (0.0, 40.0), [1.0, 0.0, 0.0], method="LSODA",
                              rtol=1e-6, atol=1e-10)
    assert scaled_deviation(res.y[:, -1], ref.y[:, -1], 1e-6, 1e-10) < AGREEMENT
    front = _numerics.benchmark_problem("stiff141", t_end=0.05)
    assert front.success and front.y.shape[0] == 141
    with pytest.raises(ValueError, match="unknown benchmark problem"):
        _numerics.benchmark_problem("nope")


# --- quadrature against scipy.integrate.quad ---------------------------------------

def lognormal_pdf(x, mu, sigma):
    return 1.0 / (x * sigma * math.sqrt(2 * math.pi)) * math.exp(-0.5 * ((math.log(x) - mu) / sigma) ** 2)


QUAD_CASES = [
    (math.exp, 0.0, 1.0),
    (lambda x: 1.0 / math.sqrt(x) if x > 0 else 0.0, 0.0, 1.0),      # singular end: extrapolation
    (lambda x: math.log(x) if x > 0 else 0.0, 0.0, 1.0),
    (lambda x: math.sin(50 * x) ** 2, 0.0, math.pi),                  # oscillatory: bisection
    (lambda x: 1.0 if x < 0.3 else 2.0, 0.0, 1.0),                    # jump
    (lambda x: math.exp(-x * x), 3.0, -2.0),                          # reversed limits
    (lambda x: lognormal_pdf(x, math.log(1.5e-8), math.log(1.15)), 1.0e-8, 1.1e-8),   # size bins
    (lambda x: lognormal_pdf(x, math.log(1.5e-8), math.log(1.15)), 2.6e-8, 3.0e-8),   # far tail
    (lambda x: lognormal_pdf(x, math.log(1.5e-8), math.log(1.6)), 5e-9, 5e-8),
    (lambda x: stats.norm.pdf(x, 1.5e-8, 1.5e-8 * math.log(1.15)), 1e-8, 1.5e-8),
    (lambda x: abs(x - 1.0 / 3.0) ** 0.5, 0.0, 1.0),                  # interior kink
]


@pytest.mark.parametrize("case", range(len(QUAD_CASES)))
def test_quad_matches_scipy(case):
    f, a, b = QUAD_CASES[case]
    value, abserr = _numerics.quad(f, a, b)
    ref_value, ref_err = integrate.quad(f, a, b)
    assert value == pytest.approx(ref_value, rel=1e-12, abs=1e-300)
    assert abserr == pytest.approx(ref_err, rel=1e-6, abs=1e-300)


@pytest.mark.parametrize("limit, epsrel", [(3, 1.49e-8), (8, 1e-12), (50, 1e-13)])
def test_quad_limits_and_tolerances_match_scipy(limit, epsrel):
    # Hard integrands stopped by the subdivision limit or tight tolerances: the
    # subinterval bookkeeping and the extrapolation must follow the same path.
    for f in (lambda x: math.log(x) * math.sin(1 / x) if x > 0 else 0.0,
              lambda x: x ** -0.9 if x > 0 else 0.0,
              lambda x: math.cos(100 * x) * math.exp(-x)):
        value, abserr = _numerics.quad(f, 0.0, 1.0, epsrel=epsrel, limit=limit)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", integrate.IntegrationWarning)
            ref_value, ref_err = integrate.quad(f, 0.0, 1.0, epsrel=epsrel, limit=limit)
        assert value == pytest.approx(ref_value, rel=1e-12)
        assert abserr == pytest.approx(ref_err, rel=1e-6)


@pytest.mark.parametrize("call", [
    lambda: _numerics.solve_ivp(lambda t, y: -y, ("0", 1.0), [1.0]),
    lambda: _numerics.solve_ivp(lambda t, y: -y, (0.0, None), [1.0]),
    lambda: _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), [1.0], first_step="1e-3"),
    lambda: _numerics.quad(lambda x: "1", 0.0, 1.0),
    lambda: _numerics.quad(lambda x: None, 0.0, 1.0),
    lambda: _numerics.benchmark_problem("robertson", 1e-6, 1e-10, "1.0"),
    lambda: _numerics.benchmark_problem("stiff141", 1e-6, 1e-10, [1.0]),
])
def test_non_numbers_where_numbers_belong_are_type_errors(call):
    with pytest.raises(TypeError, match="must be a real number"):
        call()


def test_quad_edges():
    assert _numerics.quad(math.cos, 1.0, 1.0) == (0.0, 0.0)
    with pytest.raises(ZeroDivisionError):
        _numerics.quad(lambda x: 1.0 / (x - x), 0.0, 1.0)
    with pytest.raises(ValueError):
        _numerics.quad(math.exp, 0.0, math.inf)


# --- quantiles against scipy.stats ---------------------------------------------------

PROBS = [1e-300, 1e-10, 1e-5, 0.015, 0.1, 0.3, 0.5, 0.7, 0.9, 0.985, 1 - 1e-5, 1 - 1e-10]


@pytest.mark.parametrize("loc, scale", [(0.0, 1.0), (1.5e-8, 1.5e-8 * math.log(1.15)), (-3.0, 7.5)])
def test_norm_ppf_matches_scipy(loc, scale):
    for p in PROBS:
        assert _numerics.norm_ppf(p, loc=loc, scale=scale) == pytest.approx(
            stats.norm.ppf(p, loc=loc, scale=scale), rel=1e-12, abs=1e-300)
    got = _numerics.norm_ppf(np.array(PROBS), loc, scale)
    assert np.allclose(got, stats.norm.ppf(PROBS, loc=loc, scale=scale), rtol=1e-12, atol=0)


@pytest.mark.parametrize("s, scale", [(math.log(1.15), 1.5e-8), (math.log(1.6), 2e-8), (1.0, 1.0)])
def test_lognorm_ppf_matches_scipy(s, scale):
    for p in PROBS:
        assert _numerics.lognorm_ppf(p, s, scale=scale) == pytest.approx(
            stats.lognorm.ppf(p, s, scale=scale), rel=1e-12)


def test_quantile_domain_edges_like_scipy():
    for p in [0.0, 1.0, -0.1, 1.1, math.nan]:
        for got, ref in [(_numerics.norm_ppf(p, 2.0, 3.0), stats.norm.ppf(p, 2.0, 3.0)),
                         (_numerics.lognorm_ppf(p, 0.5, 2.0), stats.lognorm.ppf(p, 0.5, scale=2.0))]:
            assert (math.isnan(got) and math.isnan(ref)) or got == ref
    assert math.isnan(_numerics.norm_ppf(0.3, 0.0, -1.0))
    assert math.isnan(_numerics.lognorm_ppf(0.3, 0.0))
    assert _numerics.norm_ppf(0.5, loc=4.25, scale=2.0) == 4.25


def test_steps_below_the_spacing_of_t_are_taken_as_lsoda_does():
    # A tiny absolute tolerance on a component starting at 0 makes the first
    # steps far smaller than the spacing of doubles at t = 1: t stays put for a
    # few steps while the state advances, then the step size grows back.
    def fun(t, y):
        return [-y[0], 1e-3 * y[0]]

    ref = integrate.solve_ivp(fun, (1.0, 1.01), [1.0, 0.0], method="LSODA", rtol=1e-6, atol=1e-25)
    res = _numerics.solve_ivp(fun, (1.0, 1.01), [1.0, 0.0], rtol=1e-6, atol=1e-25)
    assert res.success and ref.success
    assert np.count_nonzero(np.diff(res.t) == 0) >= 1
    assert res.t[-1] == 1.01
    np.testing.assert_allclose(res.y[:, -1], ref.y[:, -1], rtol=1e-6)
    np.testing.assert_allclose(res.y[:, -1], [np.exp(-0.01), 1e-3 * (1 - np.exp(-0.01))], rtol=1e-5)
