"""Hostile inputs to every public entry point, each call in a forked child under a memory cap.

A seeded stream of cases per module (tools/fuzz.py builds them: the valid baseline call of an
entry point with one to three arguments replaced by NaN, infinities, zero, negative or huge
numbers, wrong types, None, poisoned or misshapen arrays, misbehaving callables). A case fails the
test when its child dies by a signal, runs past the time limit, exits without a report, raises an
internal-error type, or returns NaN/inf where the entry point must return finite numbers although
every injected value was finite and below 1e100 in magnitude (an IEEE overflow of an absurd
magnitude is reported by tools/fuzz.py but accepted here). Python exceptions are the expected
answer to bad input.

The families listed in KNOWN_OPEN are kept out of the generated stream (a collapsed section state
still gives non-finite derivatives for some inputs, e.g. a zero gas velocity). Reproducers of
mended faults are pinned one by one below: each must raise a clear ValueError/TypeError.
"""
import importlib.util
import math
import os
import time

import numpy as np
import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_spec = importlib.util.spec_from_file_location("velmora_fuzz", os.path.join(ROOT, "tools", "fuzz.py"))
fuzz = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(fuzz)

SEED = 20240611
TIMEOUT = 20.0  # seconds per case; a small model's whole run takes well under one second


def _value(case, name):
    for k, h in case.changes:
        if k == name:
            return h.value
    return case.kwargs.get(name)


def _number(v):
    try:
        if isinstance(v, (bool, np.bool_)) or v is None:
            return None
        return float(v)
    except (TypeError, ValueError, OverflowError):
        return None


def _changed(case, *names):
    return any(k in names for k, _ in case.changes)


def _non_positive(case, *names):
    for name in names:
        if _changed(case, name):
            v = _number(_value(case, name))
            if v is not None and v <= 0:
                return True
    return False


def _at_least(case, limit, *names):
    for name in names:
        if _changed(case, name):
            v = _number(_value(case, name))
            if v is not None and math.isfinite(v) and abs(v) >= limit:
                return True
            if isinstance(_value(case, name), int) and abs(_value(case, name)) >= limit:
                return True
    return False


def _vanishing(case, *names):
    """Zero, or so small in magnitude that dividing by it overflows."""
    for n in names:
        if _changed(case, n):
            v = _number(_value(case, n))
            if v is not None and abs(v) < 1e-100:
                return True
    return False


_BASE = {}


def _collapsed_state(case):
    """The state array was changed so that a section that held particles now has a zero or
    negative number, volume or area (a collapsed node)."""
    for name in ("yy", "y", "y_input", "y_state"):
        if not _changed(case, name) or "y" not in _BASE:
            continue
        base = _BASE["y"]
        try:
            arr = np.asarray(_value(case, name), dtype=float).reshape(-1)
        except (TypeError, ValueError):
            continue
        if arr.size != base.size:
            continue
        n3 = 3 * ((base.size - 1) // 4)
        live = base[:n3] > 0
        if np.any(live & ~(arr[:n3] > 0)):
            return True
    return False


MODEL = ("growth_simulator.MovingSectionalModel(...).solve()",
         "growth_simulator.MovingSectionalModel: attributes then solve()",
         "parameter_sweep.run_simulation")

# Open faults, each with the family of generated cases it covers.
KNOWN_OPEN = {
    "a section state with a zero or negative volume (a collapsed node) gives NaN derivatives":
        lambda c: (c.target.name.endswith((".fcn", "._benchmark_fcn", ".regrid", "calculate_derivatives_kernel",
                                           "calculate_beta_matrix_kernel"))
                   and _collapsed_state(c)),
}


def known_open(case):
    return any(rule(case) for rule in KNOWN_OPEN.values())


@pytest.fixture(scope="module")
def campaign():
    c = fuzz.Campaign(timeout=TIMEOUT)
    _BASE["y"] = fuzz._model(c.ctx).y.copy()
    return c


# Cases per entry point: the calls that run a whole (small) reactor get fewer.
def cases_for(target):
    if target.name in MODEL or target.name.endswith(".solve") or "_run_study_point" in target.name:
        return 3
    if target.weight < 0.5 or target.shared:
        return 6
    return 12


MODULES = sorted({t.module for t in fuzz.build_targets()})


@pytest.mark.parametrize("module", MODULES)
def test_hostile_inputs_give_python_exceptions_or_finite_results(campaign, module):
    targets = [t for t in campaign.targets if t.module == module]
    assert targets
    cases = []
    for t in targets:
        for i in range(cases_for(t)):
            cases.append(fuzz.make_case([t], campaign.ctx, f"{SEED}:{t.name}", i, avoid=known_open))
    faults = []
    outcomes = {}
    for case, outcome, detail in campaign.run_cases(cases, batch=50):
        outcomes[outcome] = outcomes.get(outcome, 0) + 1
        if fuzz.is_fault(outcome) and outcome != "nonfinite-from-huge":
            faults.append(f"[{outcome}] {case.describe()} {detail}")
    assert not faults, "\n".join(faults)
    # the stream exercised both sides: valid-looking calls that returned and bad ones that raised
    assert sum(n for o, n in outcomes.items() if o.startswith("exc:")) > 0
    assert outcomes.get("ok", 0) > 0


def test_every_entry_point_is_covered(campaign):
    names = {t.name for t in campaign.targets}
    for module, expected in [
        ("velmora._numerics", ["solve_ivp", "quad", "norm_ppf", "lognorm_ppf", "benchmark_problem"]),
        ("velmora.core.fast_kernels", ["calculate_beta_matrix_kernel", "recalculate_aggregation_classes_kernel",
                                       "calculate_derivatives_kernel"]),
        ("velmora.modules.np_thermal", ["particle_temp"]),
        ("velmora.modules.gas_reactions", ["chemical_kinetics", "count_carbon_atoms"]),
        ("velmora.modules.coalescence_time", ["characterisitc_sintering_time"]),
        ("velmora.modules.solubility_check", ["carbon_sat"]),
        ("velmora.ml.scale_inputs", ["scale_inputs", "descale_inputs"]),
        ("velmora.ml.fit_weights", ["fit_weights"]),
        ("velmora.ml.logistic_loss", ["logistic_loss"]),
    ]:
        mod = importlib.import_module(module)
        short = module.rsplit(".", 1)[1]
        for fn in expected:
            assert callable(getattr(mod, fn))
            assert any(n.startswith(f"{short}.{fn}") for n in names), fn
    from velmora.core.growth_simulator import MovingSectionalModel
    public = [m for m in dir(MovingSectionalModel) if not m.startswith(("__", "_pybind11")) and callable(
        getattr(MovingSectionalModel, m))]
    covered = {n.split(".")[-1] for n in names if n.startswith("growth_simulator.MovingSectionalModel.")}
    assert set(public) <= covered, sorted(set(public) - covered)
    from velmora.ml.phase_boundary_learner import _Main_ML_2D
    ml_public = [m for m in dir(_Main_ML_2D) if not m.startswith("_") and callable(getattr(_Main_ML_2D, m))]
    ml_covered = {n.split(".")[-1] for n in names if n.startswith("phase_boundary_learner._Main_ML_2D.")}
    assert set(ml_public) <= ml_covered, sorted(set(ml_public) - ml_covered)


def _spin():
    while True:
        pass


class TestHarness:
    """The harness itself must see each kind of fault, or a green run means nothing."""

    def _outcome(self, campaign, call, finite=True, nonfinite_input=False, timeout=3.0):
        target = fuzz.Target("probe", "probe", lambda ctx: {}, lambda ctx, kw: call(), {}, finite=finite)
        case = fuzz.Case(0, 0, target, {}, [("x", fuzz.Hostile(math.nan, "nan", True))] if nonfinite_input else [])
        return fuzz.run_in_child(case, campaign.ctx, timeout, campaign.mem_cap)[0]

    def test_signal_timeout_and_memory_cap_are_caught(self, campaign):
        assert self._outcome(campaign, lambda: os.kill(os.getpid(), 11)) == "crash:SIGSEGV"
        assert self._outcome(campaign, lambda: os.abort()) == "crash:SIGABRT"
        assert self._outcome(campaign, _spin, timeout=1.0) == "timeout"          # CPU-time limit
        assert self._outcome(campaign, lambda: time.sleep(60), timeout=0.2) == "timeout"  # wall-clock limit
        assert self._outcome(campaign, lambda: os._exit(3)) == "lost"
        assert self._outcome(campaign, lambda: bytearray(64 * 2 ** 30)) == "exc:MemoryError"

    def test_results_are_classified(self, campaign):
        assert self._outcome(campaign, lambda: (1.0, np.ones(3))) == "ok"
        assert self._outcome(campaign, lambda: {"a": [1.0, np.array([0.0, np.inf])]}) == "nonfinite"
        assert self._outcome(campaign, lambda: math.nan, nonfinite_input=True) == "nonfinite-from-input"
        assert self._outcome(campaign, lambda: math.nan, finite=False) == "ok"
        assert self._outcome(campaign, lambda: int("x")) == "exc:ValueError"
        assert fuzz.is_fault("nonfinite") and fuzz.is_fault("crash:SIGBUS") and fuzz.is_fault("exc:SystemError")
        assert not fuzz.is_fault("exc:ValueError") and not fuzz.is_fault("nonfinite-from-input")

    def test_batch_workers_attribute_a_crash_to_its_case(self, campaign):
        def probe(call, name):
            return fuzz.Target(name, "probe", lambda ctx: {}, lambda ctx, kw: call(), {})
        calls = [lambda: 1.0, lambda: os.kill(os.getpid(), 11), lambda: 2.0, _spin, lambda: 3.0]
        cases = [fuzz.Case(0, i, probe(c, f"p{i}"), {}, []) for i, c in enumerate(calls)]
        got = {case.target.name: outcome for case, outcome, _ in fuzz.run_batch(cases, campaign.ctx, 1.0,
                                                                                 campaign.mem_cap)}
        assert got == {"p0": "ok", "p1": "crash:SIGSEGV", "p2": "ok", "p3": "timeout", "p4": "ok"}

    def test_cases_are_reproducible_from_seed_and_index(self, campaign):
        a = fuzz.make_case(campaign.targets, campaign.ctx, 5, 17)
        b = fuzz.make_case(campaign.targets, campaign.ctx, 5, 17)
        assert a.describe() == b.describe() and a.replay_line() == "tools/fuzz.py --replay 5:17"


# --- the open faults, one reproducer each: a clear exception is the only acceptable answer


def _model(**kw):
    from velmora.core.growth_simulator import MovingSectionalModel
    return MovingSectionalModel(**kw)


def _solved(**kw):
    m = _model(**kw)
    m.solve()
    return m


def _in_child(call):
    """Runs call() in a forked child; returns the type name of what it raised (or "returned")."""
    target = fuzz.Target("known", "known", lambda ctx: {}, lambda ctx, kw: call(), {}, finite=True)
    outcome, detail = fuzz.run_in_child(fuzz.Case(0, 0, target, {}, []), fuzz.Context(), 10.0,
                                        fuzz._address_space_cap(2 * 2 ** 30))
    return outcome, detail


def _beta_at(temp):
    from velmora.core.fast_kernels import calculate_beta_matrix_kernel
    n = 4
    y = np.zeros(4 * n + 1)
    y[:2] = 1e10
    y[n:n + 2] = [1e-24, 2e-24]
    y[2 * n:2 * n + 2] = [5e-16, 8e-16]
    z = np.zeros(n)
    return calculate_beta_matrix_kernel(y, z.copy(), y.copy(), z.copy(), z.copy(), z.copy(), 2, n, 2 * n, 3 * n, 0,
                                        temp, 4e-5, 1e-7, 8908.0, 3.1415926536, 1.38066e-23, True)


KNOWN_REPRODUCERS = [
    ("min_temp=1e300", lambda: _model(min_temp=1e300), (ValueError,)),
    ("reactor_length=1e30", lambda: _solved(intnum=6, reactor_length=1e30), (ValueError,)),
    ("alpha_adjust=0", lambda: _solved(intnum=6, reactor_length=0.004, alpha_adjust=0.0), (ValueError,)),
    ("surf_dens_monolayer=0", lambda: _solved(intnum=6, reactor_length=0.004, surf_dens_monolayer=0.0),
     (ValueError,)),
    ("wrapper_mapping_temp=0", lambda: _solve_at(0.0), (ValueError,)),
    ("beta kernel at -1 K", lambda: _beta_at(-1.0), (ValueError,)),
    ("normal_pdf sigma None", lambda: _model(intnum=6).normal_pdf(1e-8, 1e-8, None), (TypeError,)),
    ("lognormal_pdf sigma None", lambda: _model(intnum=6).lognormal_pdf(1e-8, -18.0, None), (TypeError,)),
]


def _solve_at(temp):
    m = _model(intnum=6, reactor_length=0.004)
    m.wrapper_mapping_temp = temp
    m.solve()
    return m


@pytest.mark.parametrize("label, call, expected", KNOWN_REPRODUCERS, ids=[r[0] for r in KNOWN_REPRODUCERS])
def test_known_faults_raise_a_clear_exception(label, call, expected):
    outcome, detail = _in_child(call)
    assert outcome in {f"exc:{e.__name__}" for e in expected}, f"{label}: {outcome} {detail}"
    assert detail  # the message says what is wrong
