#!/usr/bin/env python3
"""Hostile-input fuzzing of every public entry point of velmora.

Each case takes the valid baseline call of one entry point and replaces one to three of its
arguments (or, for the reactor model, of its attributes) with a hostile value: NaN, infinities,
zero, negative and huge numbers, wrong types, None, wrong-shaped or poisoned arrays, callables that
misbehave. The parent process imports velmora once; every case runs in a forked child with an
address-space cap and an alarm, so a crash, a hang or a runaway allocation ends the child only.

The child reports one outcome class over a pipe:
  ok                     the call returned and every number it must return is finite
  nonfinite              NaN/inf in a result although every injected value was finite  (fault)
  nonfinite-from-huge    NaN/inf in a result after a finite value of magnitude >= 1e100 was
                         injected (an overflow; reported as a fault of its own class)
  nonfinite-from-input   NaN/inf in a result after a NaN/inf was injected (passed through)
  exc:<Type>             a Python exception (expected for bad input)
  crash:<SIGNAME>        the child died by a signal                                     (fault)
  timeout                the child ran past its CPU-time limit (or ten times that in wall time)  (fault)
  lost                   the child exited without reporting                             (fault)
Exceptions of the types in INTERNAL_ERRORS mean a C-API or binding fault and count as faults too.

Which results must be finite is decided per entry point (see Target.finite): the model, the
kernels and the sub-models must never report NaN/inf from finite inputs; the quantile functions
follow scipy (q = 0 or 1 give -inf/inf, q outside [0, 1] gives NaN) and are exempt; the
integrator may end a failed (success False) integration on NaN/inf; the logistic cost functions and
the carbon-conservation ratio give NaN/inf exactly as the written float arithmetic does (log(0) of a
saturated logistic, 0/0 without initial carbon) and are not checked; the density helpers are
checked against their formula evaluated in numpy; the sintering time may be +inf (an overflowing
time is infinitely long).

Usage:
  tools/fuzz.py --cases 100000 --seed 1           counts by outcome and module, distinct faults
  tools/fuzz.py --replay 1:4711                   rerun one case in this process and show it
  tools/fuzz.py --list                            the entry points covered
"""
from __future__ import annotations

import argparse
import faulthandler
import collections
import json
import math
import os
import random
import re
import resource
import select
import signal
import sys
import tempfile
import time
import warnings

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")
os.environ.setdefault("OMP_NUM_THREADS", "1")
os.environ.setdefault("MPLBACKEND", "Agg")

import numpy as np  # noqa: E402

NAN = float("nan")
INF = float("inf")

# Exception types that never describe bad input: a binding let a C++ fault or a C-API misuse through.
INTERNAL_ERRORS = ("SystemError",)
FAULT_PREFIXES = ("crash:", "timeout", "lost", "nonfinite")


def is_fault(outcome: str) -> bool:
    if outcome == "nonfinite-from-input":
        return False
    if outcome.startswith("exc:"):
        return outcome[4:] in INTERNAL_ERRORS
    return outcome.startswith(FAULT_PREFIXES)


# ----------------------------------------------------------------------------- hostile values

class Hostile:
    """A replacement value, its source text for the reproducer and whether it is non-finite."""

    __slots__ = ("value", "text", "nonfinite")

    def __init__(self, value, text, nonfinite=False):
        self.value, self.text, self.nonfinite = value, text, nonfinite

    @property
    def huge(self):
        """Holds a finite number of magnitude 1e100 or more (overflow of an absurd input)."""
        v = self.value
        try:
            if isinstance(v, (np.ndarray, list, tuple)):
                a = np.asarray(v, dtype=float)
                return bool(np.any(np.isfinite(a) & (np.abs(a) >= 1e100)))
            if isinstance(v, int) and not isinstance(v, bool):
                return abs(v) >= 10 ** 100
            if isinstance(v, (float, np.floating)):
                return math.isfinite(v) and abs(v) >= 1e100
        except (TypeError, ValueError, OverflowError):
            return False
        return False


class _Opaque:
    def __repr__(self):
        return "object()"


def _float_pool(base):
    pool = [
        Hostile(NAN, "nan", True), Hostile(INF, "inf", True), Hostile(-INF, "-inf", True),
        Hostile(0.0, "0.0"), Hostile(-0.0, "-0.0"), Hostile(-1.0, "-1.0"), Hostile(-1e300, "-1e300"),
        Hostile(1e300, "1e300"), Hostile(1e-300, "1e-300"), Hostile(5e-324, "5e-324"),
        Hostile(1e100, "1e100"), Hostile(-1e-12, "-1e-12"), Hostile(1.7976931348623157e308, "1.7976931348623157e308"),
        Hostile(10 ** 400, "10**400"), Hostile(-2 ** 63, "-2**63"), Hostile(None, "None"),
        Hostile("1.0", "'1.0'"), Hostile("abc", "'abc'"), Hostile([1.0], "[1.0]"),
        Hostile(np.array([1.0, 2.0]), "np.array([1.0, 2.0])"), Hostile(np.float32("nan"), "np.float32('nan')", True),
        Hostile(True, "True"), Hostile(1 + 2j, "(1+2j)"), Hostile(_Opaque(), "object()"), Hostile({}, "{}"),
    ]
    return pool


def _scaled_float(rng, base):
    """A finite value that merely looks unusual: the baseline scaled by 10^k, possibly negated."""
    try:
        b = float(base)
    except (TypeError, ValueError):
        b = 1.0
    if b == 0.0:
        b = 1.0
    k = rng.randint(-30, 30)
    sign = -1.0 if rng.random() < 0.25 else 1.0
    v = sign * b * 10.0 ** k
    return Hostile(v, repr(v))


_INT_POOL = [
    (-1, "-1"), (0, "0"), (1, "1"), (2, "2"), (3, "3"), (-2 ** 31, "-2**31"), (2 ** 31, "2**31"),
    (2 ** 63, "2**63"), (-2 ** 63 - 1, "-2**63-1"), (10 ** 30, "10**30"), (1.5, "1.5"), (NAN, "nan"),
    (INF, "inf"), (None, "None"), ("3", "'3'"), (True, "True"), (np.int64(-1), "np.int64(-1)"),
    (np.uint64(2 ** 64 - 1), "np.uint64(2**64-1)"), ([1], "[1]"), (_Opaque(), "object()"),
    (10 ** 6, "10**6"), (10 ** 9, "10**9"),
]

_STR_POOL = [
    ("", "''"), ("xyz", "'xyz'"), (" Ni", "' Ni'"), ("ni", "'ni'"), ("Ni\x00", "'Ni\\x00'"), ("é", "'é'"),
    ("x" * 10000, "'x'*10000"), (None, "None"), (1, "1"), (1.0, "1.0"), (b"Ni", "b'Ni'"), (["Ni"], "['Ni']"),
    (True, "True"), ("nan", "'nan'"), (NAN, "nan"),
]

_BOOL_POOL = [
    (True, "True"), (False, "False"), (0, "0"), (1, "1"), (2, "2"), (-1, "-1"), (None, "None"),
    ("False", "'False'"), ("", "''"), (NAN, "nan"), (np.bool_(True), "np.bool_(True)"), ([], "[]"),
    (_Opaque(), "object()"),
]

_DICT_POOL = [
    ({}, "{}"), ({"C2H2": NAN, "N2": 1.0}, "{'C2H2': nan, 'N2': 1.0}"), ({"XX": 1.0}, "{'XX': 1.0}"),
    ({"C2H2": -1.0, "N2": 1.0}, "{'C2H2': -1.0, 'N2': 1.0}"), ({"C2H2": 1e300}, "{'C2H2': 1e300}"),
    ({1: 1.0}, "{1: 1.0}"), ({"C2H2": "a"}, "{'C2H2': 'a'}"), (None, "None"), ([], "[]"),
    ("C2H2:1", "'C2H2:1'"), ({"N2": 0.0}, "{'N2': 0.0}"), ({"C2H2": 0.0, "N2": 0.0}, "{'C2H2': 0.0, 'N2': 0.0}"),
    ({"C2H2": INF}, "{'C2H2': inf}"), ({"N2": 1.0}, "{'N2': 1.0}"), ({"H2": 1.0}, "{'H2': 1.0}"),
]


def _array_variant(rng, base, name):
    """A hostile variant of the baseline array (or list) `base`; the text names the change."""
    a = np.array(base, dtype=float, copy=True)
    n = a.size
    choice = rng.randrange(22)
    flat = a.reshape(-1)
    if choice == 0:
        return Hostile(np.zeros(0), "np.zeros(0)")
    if choice == 1 and n > 0:
        return Hostile(a.reshape(-1)[:-1].copy(), f"{name}.ravel()[:-1]")
    if choice == 2:
        return Hostile(np.concatenate([flat, flat]), f"np.tile({name}.ravel(), 2)")
    if choice == 3:
        return Hostile(flat.reshape(1, -1).copy() if a.ndim == 1 else flat.copy(), f"reshaped {name}")
    if choice in (4, 5, 6) and n > 0:
        i = rng.randrange(n)
        v, t = [(NAN, "nan"), (INF, "inf"), (-INF, "-inf")][choice - 4]
        flat[i] = v
        return Hostile(a, f"{name} with [{i}]={t} (flat)", True)
    if choice == 7:
        return Hostile(-a, f"-{name}")
    if choice == 8:
        return Hostile(np.zeros_like(a), f"np.zeros_like({name})")
    if choice == 9:
        return Hostile(a * 1e300, f"{name}*1e300")
    if choice == 10:
        return Hostile(np.full_like(a, 1e300), f"np.full_like({name}, 1e300)")
    if choice == 11:
        return Hostile(a.astype(np.int64), f"{name}.astype(int)")
    if choice == 12:
        return Hostile(a.tolist(), f"{name}.tolist()")
    if choice == 13:
        return Hostile(["a"] * max(n, 1), f"['a']*{max(n, 1)}")
    if choice == 14:
        return Hostile(None, "None")
    if choice == 15:
        return Hostile(1.0, "1.0")
    if choice == 16:
        return Hostile(a.astype(object), f"{name}.astype(object)")
    if choice == 17:
        wide = np.repeat(a, 2)
        return Hostile(wide[::2], f"np.repeat({name}, 2)[::2] (strided)")
    if choice == 18:
        return Hostile(a.astype(complex), f"{name}.astype(complex)")
    if choice == 19:
        return Hostile(a.astype(np.float32), f"{name}.astype(np.float32)")
    if choice == 20 and n > 0:
        i = rng.randrange(n)
        flat[i] = -1e300 if rng.random() < 0.5 else 1e300
        return Hostile(a, f"{name} with [{i}]={flat[i]:g} (flat)")
    return Hostile(np.zeros(2 ** rng.randint(0, 4) + 1), "np.zeros(len) of another length")


def _int_array_variant(rng, base, name):
    a = np.array(base, copy=True)
    n = a.size
    choice = rng.randrange(10)
    flat = a.reshape(-1)
    if choice in (0, 1, 2) and n > 0:
        i = rng.randrange(n)
        v = [-1, 10 ** 6, -2 ** 40][choice]
        flat[i] = v
        return Hostile(a, f"{name} with [{i}]={v} (flat)")
    if choice == 3:
        return Hostile(a.astype(float), f"{name}.astype(float)")
    if choice == 4:
        return Hostile(np.zeros((1, 1), dtype=np.int64), "np.zeros((1, 1), int)")
    if choice == 5:
        return Hostile(a.ravel(), f"{name}.ravel()")
    if choice == 6:
        return Hostile(np.full_like(a, 2 ** 31 - 1), f"np.full_like({name}, 2**31-1)")
    if choice == 7:
        return Hostile(a.astype(np.int32), f"{name}.astype(np.int32)")
    if choice == 8:
        return Hostile(None, "None")
    return Hostile(a.T.copy(), f"{name}.T")


def _nan_fun(t, y):
    return np.full(len(y), NAN)


def _raise_fun(*args):
    raise ValueError("raised by the callable")


def _short_fun(t, y):
    return [0.0]


def _none_fun(*args):
    return None


def _str_fun(*args):
    return "abc"


def _huge_fun(t, y):
    return np.full(len(y), 1e300)


def _interrupt_fun(*args):
    raise KeyboardInterrupt


_CALLABLE_POOL = [
    (_nan_fun, "lambda t, y: nan*len(y)", True), (_raise_fun, "callable raising ValueError", False),
    (_short_fun, "lambda t, y: [0.0]", False), (_none_fun, "lambda *a: None", False),
    (_str_fun, "lambda *a: 'abc'", False), (_huge_fun, "lambda t, y: 1e300*len(y)", False),
    (_interrupt_fun, "callable raising KeyboardInterrupt", False), (1.0, "1.0", False), (None, "None", False),
    (lambda: 0.0, "lambda: 0.0", False),
]


def hostile_value(rng, kind, base, name):
    """One hostile replacement for an argument of the given kind."""
    if kind == "f":
        if rng.random() < 0.3:
            return _scaled_float(rng, base)
        return rng.choice(_float_pool(base))
    if kind == "i":
        v, t = rng.choice(_INT_POOL)
        return Hostile(v, t, isinstance(v, float) and not math.isfinite(v))
    if kind == "s":
        v, t = rng.choice(_STR_POOL)
        return Hostile(v, t, isinstance(v, float) and not math.isfinite(v))
    if kind == "b":
        v, t = rng.choice(_BOOL_POOL)
        return Hostile(v, t, isinstance(v, float) and not math.isfinite(v))
    if kind == "d":
        v, t = rng.choice(_DICT_POOL)
        return Hostile(dict(v) if isinstance(v, dict) else v, t,
                       isinstance(v, dict) and any(isinstance(x, float) and not math.isfinite(x) for x in v.values()))
    if kind == "a":
        return _array_variant(rng, base, name)
    if kind == "ia":
        return _int_array_variant(rng, base, name)
    if kind == "c":
        v, t, nf = rng.choice(_CALLABLE_POOL)
        return Hostile(v, t, nf)
    # "o": anything
    pool = _float_pool(base)
    return rng.choice(pool)


# ----------------------------------------------------------------------------- finiteness

def nonfinite_paths(obj, path="result", depth=0, out=None):
    """Places in a returned structure that hold NaN or infinity."""
    if out is None:
        out = []
    if depth > 6 or len(out) > 3:
        return out
    if isinstance(obj, bool) or obj is None or isinstance(obj, (str, bytes)):
        return out
    if isinstance(obj, (float, np.floating)):
        if not math.isfinite(obj):
            out.append(path)
    elif isinstance(obj, complex):
        if not (math.isfinite(obj.real) and math.isfinite(obj.imag)):
            out.append(path)
    elif isinstance(obj, np.ndarray):
        if obj.dtype.kind in "fc" and obj.size and not np.isfinite(obj).all():
            out.append(path)
        elif obj.dtype == object:
            for i, v in enumerate(obj.reshape(-1)[:64]):
                nonfinite_paths(v, f"{path}[{i}]", depth + 1, out)
    elif isinstance(obj, dict):
        for k, v in list(obj.items())[:128]:
            nonfinite_paths(v, f"{path}[{k!r}]", depth + 1, out)
    elif isinstance(obj, (list, tuple)):
        for i, v in enumerate(obj[:256]):
            nonfinite_paths(v, f"{path}[{i}]", depth + 1, out)
    return out


def ode_result_check(res, kwargs):
    """An integration that reports failure may end on NaN/inf (a diverging problem); one that
    reports success must not."""
    bad = nonfinite_paths(getattr(res, "t", None), "result.t")
    if getattr(res, "success", False):
        bad += nonfinite_paths(res.y, "result.y")
    return bad


def no_nan_check(res, kwargs):
    """+inf is a value (a time that overflows the float range is infinitely long); NaN and -inf are not."""
    v = float(res)
    return [] if (math.isfinite(v) or v == INF) else ["result"]


def formula_check(formula):
    """For the density helpers: NaN/inf only where the written formula gives them in float
    arithmetic for the same real arguments; a returned value for a non-number is a fault."""
    def check(res, kwargs):
        (r,) = res[:1]
        args = {}
        for k, v in kwargs.items():
            if isinstance(v, (bool, np.bool_)) or not isinstance(v, (int, float, np.integer, np.floating)):
                return [f"a value returned for {k}={v!r}"]
            args[k] = float(v)
        with np.errstate(all="ignore"):
            expected = formula(**{k: np.float64(v) for k, v in args.items()})
        if np.isfinite(expected):
            return [] if math.isfinite(r) else ["result[0]"]
        return []
    return check


def _lognormal(x, mu, sigma):
    return 1 / (x * sigma * np.sqrt(2 * np.pi)) * np.exp(-0.5 * ((np.log(x) - mu) / sigma) ** 2)


def _normal(x, mu, sigma):
    return 1 / (sigma * np.sqrt(2 * np.pi)) * np.exp(-0.5 * ((x - mu) / sigma) ** 2)


def weights_check(res, kwargs):
    """Gradient descent: the weights and bias must stay finite; the cost history is the cost
    function's business (a saturated logistic gives log(0) = -inf, as float arithmetic has it)."""
    return nonfinite_paths(res[:2])


# ----------------------------------------------------------------------------- targets

class Target:
    """One entry point: a baseline call and the kinds of its arguments.

    base(ctx) returns fresh baseline keyword arguments; call(ctx, kw) performs the call and returns
    what must be checked for finiteness (None when the check does not apply)."""

    def __init__(self, name, module, base, call, kinds, weight=1.0, finite=True, timeout=None, shared=False):
        self.name, self.module, self.base, self.call = name, module, base, call
        self.kinds, self.weight, self.finite, self.timeout = kinds, weight, finite, timeout
        # shared: the call changes objects built once in the parent (the prepared model, the gas
        # object), so it always runs in a child of its own, also in batch mode.
        self.shared = shared


class Context:
    """Objects built once in the parent and inherited by every child (copy-on-write)."""

    def __init__(self):
        self._cache = {}

    def get(self, key, build):
        if key not in self._cache:
            self._cache[key] = build()
        return self._cache[key]


# Small, fast model: few sections and a short reactor so that a whole solve takes a fraction of a second.
SMALL_MODEL = dict(intnum=6, reactor_length=0.004, surface_kinetics_solver_activated=True)


def _model(ctx):
    from velmora.core.growth_simulator import MovingSectionalModel

    def build():
        m = MovingSectionalModel(**SMALL_MODEL)
        m.solve()  # leaves every working attribute set, as after a user's run
        return m
    return ctx.get("model", build)


def _gas(ctx):
    import cantera as ct
    from velmora.core.growth_simulator import get_mechanism_path
    return ctx.get("gas", lambda: ct.Solution(get_mechanism_path("FFCM2")))


def _tmpdir(ctx):
    return ctx.get("tmp", lambda: tempfile.mkdtemp(prefix="velmora-fuzz-"))


RESULTS_HEADER = ("simulation_id,map_type,P_parameter,T_parameter,status,error_message,"
                  "total_initial_concentration,dp_initial_premade,L_cnt_avg,wall_number_avg,"
                  "d_avg,reactor_length")
RESULTS_ROWS = ("1,P&T,0.001,800.0,1,,1e11,1.5e-08,2e-07,1.5,1.5e-08,0.6\n"
                "2,P&T,0.001,1200.0,1,,1e11,1.5e-08,4e-07,2.0,1.5e-08,0.6\n"
                "3,P&T,0.01,800.0,1,,1e11,1.5e-08,6e-07,1.25,1.5e-08,0.6\n"
                "4,P&T,0.01,1200.0,0,No valid sections found,,,,,1.5e-08,0.6\n")


def _results_file(ctx):
    def build():
        path = os.path.join(_tmpdir(ctx), "four.csv")
        with open(path, "w") as fh:
            fh.write(RESULTS_HEADER + "\n" + RESULTS_ROWS)
        return path
    return ctx.get("csv", build)


# Constructor keywords of the reactor model with their kinds (options, switches, numbers).
MODEL_KWARGS = {
    "catalsyt_element": ("s", "Ni"), "reactor_length": ("f", 0.004), "xdtube": ("f", 0.0254),
    "total_pressure": ("f", 101325.0), "kinetics_mechanism_type": ("s", "FFCM2"),
    "feedstock_gas_name_dominant_current": ("s", "C2H2"),
    "gas_initial_composition": ("d", {"C2H2": 0.00452, "C2H4": 1e-15, "H2": 0.00905, "N2": 0.90498}),
    "surface_kinetics_type": ("s", "Surface_Kinetics_Puretzky_etal_2005"),
    "surface_kinetics_solver_activated": ("b", True), "carb_struct_enabled": ("b", True),
    "deactivation_enabled": ("b", True), "gas_NP_time_considered": ("b", False),
    "H2_STICKING_PROBABILITY": ("f", 0.02), "intnum": ("i", 6), "total_initial_concentration": ("f", 1e11),
    "dp_initial_premade": ("f", 1.5e-8), "initial_distribution": ("s", "Monodisperse"),
    "geometric_std": ("f", 1.15), "low_high_range_defined": ("s", "Auto"), "distribution_type": ("s", "normal"),
    "low_PP_range": ("f", 1e-8), "high_PP_range": ("f", 3e-8), "collision_type": ("s", "dm&dg"),
    "collision_diameter_update": ("b", True), "regrid_condition": ("s", "Fixed"), "bin_spacing": ("f", 1.6),
    "elimination_spacing": ("f", 1.1), "initial_fractal_dimension": ("f", 3.0),
    "numerical_approach_NP_temp_solver": ("s", "Implicit"), "paper_name_for_temperature_history": ("s", "custom"),
    "sinterin_energy_release_activated": ("b", False), "min_temp": ("f", 293.0), "ambient_temp": ("f", 293.0),
    "CNT_wall_number": ("f", 15.0), "fraction_cnt_gp": ("f", 0.5), "carbon_atoms_per_particle_initial": ("f", 0.0),
    "surf_dens_monolayer": ("f", 1e19), "alpha_adjust": ("f", 0.3),
}
# Options whose valid alternatives are worth drawing as well as hostile strings.
MODEL_OPTIONS = {
    "catalsyt_element": ["Ni", "Fe"], "initial_distribution": ["Monodisperse", "Polydisperse"],
    "distribution_type": ["normal", "lognormal"], "low_high_range_defined": ["Auto", "Manual"],
    "regrid_condition": ["Fixed", "Moving"], "collision_type": ["dm&dg", "Auto"],
    "surface_kinetics_type": ["Surface_Kinetics_Puretzky_etal_2005", "Surface_Kinetics_Ma_etal_2005"],
    "numerical_approach_NP_temp_solver": ["Implicit", "Explicit"],
    "paper_name_for_temperature_history": ["custom", "Celnik_2008", "Ahmad_2019"],
}
# Attributes a caller may set after construction (the study runner does) before solve().
MODEL_ATTRS = {
    "wrapper_mapping_temp": ("f", 1000.0), "reactor_length": ("f", 0.004), "dp_initial_premade": ("f", 1.5e-8),
    "total_initial_concentration": ("f", 1e11), "bin_spacing": ("f", 1.6), "geometric_std": ("f", 1.15),
    "intnum": ("i", 6), "alpha_adjust": ("f", 0.3), "surf_dens_monolayer": ("f", 1e19),
    "fraction_cnt_gp": ("f", 0.5), "CNT_wall_number": ("f", 15.0), "H2_STICKING_PROBABILITY": ("f", 0.02),
    "initial_fractal_dimension": ("f", 3.0), "elimination_spacing": ("f", 1.1), "vel": ("f", 0.1),
    "rhop": ("f", 8908.0), "total_pressure": ("f", 101325.0), "min_temp": ("f", 293.0),
    "ambient_temp": ("f", 293.0), "regrid_condition": ("s", "Fixed"), "initial_distribution": ("s", "Monodisperse"),
}


def _solve_result(m, res):
    return (res, m.temp_gas_saved, m.temp_NP_saved, m.wall_number_section_saved, m.xdp_saved, m.dp_saved)


def _construct_and_solve(ctx, kw):
    from velmora.core.growth_simulator import MovingSectionalModel
    m = MovingSectionalModel(**kw)
    return _solve_result(m, m.solve())


def _attrs_and_solve(ctx, kw):
    m = _model(ctx)
    for k, v in kw.items():
        setattr(m, k, v)
    return _solve_result(m, m.solve())


def _method(name, args, finite=True, weight=0.12, attrs=()):
    """A method of the prepared small model with its arguments."""
    kinds = {k: kind for k, (kind, _) in args.items()}

    def base(ctx):
        return {k: (v(ctx) if callable(v) else _copy(v)) for k, (_, v) in args.items()}

    def call(ctx, kw):
        m = _model(ctx)
        r = getattr(m, name)(**kw)
        return (r,) + tuple(getattr(m, a) for a in attrs)
    return Target(f"growth_simulator.MovingSectionalModel.{name}", "growth_simulator", base, call, kinds,
                  weight=weight, finite=finite, shared=True)


def _copy(v):
    if isinstance(v, np.ndarray):
        return v.copy()
    if isinstance(v, (list, dict)):
        import copy
        return copy.deepcopy(v)
    return v


def _plain(name, module, fn, args, finite=True, weight=1.0, timeout=None):
    """A module-level function: fn(ctx) gives the callable, args maps names to (kind, baseline)."""
    kinds = {k: kind for k, (kind, _) in args.items()}

    def base(ctx):
        return {k: (v(ctx) if callable(v) and not kind == "c" else _copy(v)) for k, (kind, v) in args.items()}

    def call(ctx, kw):
        return fn(ctx)(**kw)
    return Target(name, module, base, call, kinds, weight=weight, finite=finite, timeout=timeout)


def _kernel_inputs(ctx):
    m = _model(ctx)
    n = m.intnum
    return m, n


def _beta_base(ctx):
    m, n = _kernel_inputs(ctx)
    return dict(y_input=m.y.copy(), x_input=np.array(m.x, dtype=float), initial_v=np.array(m.initial_v, dtype=float),
                x1_previous=np.array(m.x1_previous, dtype=float), xdp_updated=np.array(m.xdp, dtype=float),
                xdp_backup_input=np.array(m.xdp, dtype=float), isec=int(m.isec), intnum=n, int2num=2 * n,
                int3num=3 * n, counter=0, temp=1000.0, eta=4e-5, xlm=1e-7, rhop=8908.0, vpi=3.1415926536,
                rkb=1.38066e-23, collision_diameter_update=True)


def _deriv_base(ctx):
    m, n = _kernel_inputs(ctx)
    return dict(y_input=m.y.copy(), x_input=np.array(m.x, dtype=float), xdp_input=np.array(m.xdp, dtype=float),
                xnpr_input=np.array(m.xnpr, dtype=float), betafu_input=np.array(m.betafu, dtype=float),
                jmin_input=np.array(m.jmin, dtype=np.int64), jmax_input=np.array(m.jmax, dtype=np.int64),
                carbon_data_input=np.zeros(6 * n), temp=1000.0, vel=0.1, rhog=0.3, avog=6.022137e23,
                v0=1.2e-29, a0=2.5e-19, vpi=3.1415926536, xk=0.0, xks_area_rhog=0.0, total_area=0.0,
                isec=int(m.isec), intnum=n, int2num=2 * n, int3num=3 * n, int4num=4 * n, int5num=5 * n,
                int6num=6 * n, surface_kinetics_solver_activated=True, counter=0)


def _kinds_of(base_fn, overrides):
    """Kinds guessed from a baseline: arrays, ints, floats, bools; overrides win."""
    def kinds(ctx):
        out = {}
        for k, v in base_fn(ctx).items():
            if isinstance(v, np.ndarray):
                out[k] = "ia" if v.dtype.kind in "iu" else "a"
            elif isinstance(v, bool):
                out[k] = "b"
            elif isinstance(v, int):
                out[k] = "i"
            elif isinstance(v, float):
                out[k] = "f"
            else:
                out[k] = "o"
        out.update(overrides)
        return out
    return kinds


def _robertson(t, y):
    return [-0.04 * y[0] + 1e4 * y[1] * y[2], 0.04 * y[0] - 1e4 * y[1] * y[2] - 3e7 * y[1] ** 2, 3e7 * y[1] ** 2]


def _lazy(module, attr):
    def get(ctx):
        import importlib
        obj = importlib.import_module(module)
        for part in attr.split("."):
            obj = getattr(obj, part)
        return obj
    return get


def _puretzky(ctx, dp=1.5e-8):
    from velmora.modules.acetylene_growth import Surface_Kinetics_Puretzky_etal_2005 as P
    m = P()
    m._dp = dp
    return m


def _ma(ctx, dp=1.5e-8):
    from velmora.modules.acetylene_growth import Surface_Kinetics_Ma_etal_2005 as M
    m = M(AA12_internal_use=_model(ctx).AA00)
    m._dp = dp
    return m


def _ml(ctx, **kw):
    from velmora.ml.phase_boundary_learner import _Main_ML_2D
    return _Main_ML_2D(**kw)


X_TRAIN = np.array([[0.001, 800.0], [0.001, 1200.0], [0.01, 800.0], [0.01, 1200.0], [0.005, 1000.0]])
Y_TRAIN = np.array([1, 0, 1, 0, 1])


def build_targets():
    T = []
    # ---------------- _numerics
    T.append(_plain("_numerics.solve_ivp", "_numerics", _lazy("velmora._numerics", "solve_ivp"), {
        "fun": ("c", _robertson), "t_span": ("a", np.array([0.0, 10.0])),
        "y0": ("a", np.array([1.0, 0.0, 0.0])), "rtol": ("f", 1e-6), "atol": ("f", 1e-10),
        "first_step": ("f", None), "max_step": ("f", INF), "min_step": ("f", 0.0), "error_norm": ("s", "max")},
        finite=ode_result_check))
    T.append(_plain("_numerics.quad", "_numerics", _lazy("velmora._numerics", "quad"), {
        "func": ("c", math.exp), "a": ("f", 0.0), "b": ("f", 1.0), "epsabs": ("f", 1.49e-8),
        "epsrel": ("f", 1.49e-8), "limit": ("i", 50)}))
    T.append(_plain("_numerics.norm_ppf", "_numerics", _lazy("velmora._numerics", "norm_ppf"), {
        "q": ("f", 0.3), "loc": ("f", 0.0), "scale": ("f", 1.0)}, finite=False))
    T.append(_plain("_numerics.norm_ppf[array]", "_numerics", _lazy("velmora._numerics", "norm_ppf"), {
        "q": ("a", np.array([0.1, 0.5, 0.9])), "loc": ("a", np.array([0.0, 1.0, 2.0])), "scale": ("f", 1.0)},
        finite=False))
    T.append(_plain("_numerics.lognorm_ppf", "_numerics", _lazy("velmora._numerics", "lognorm_ppf"), {
        "q": ("f", 0.3), "s": ("f", 0.5), "scale": ("f", 1.0)}, finite=False))
    T.append(_plain("_numerics.lognorm_ppf[array]", "_numerics", _lazy("velmora._numerics", "lognorm_ppf"), {
        "q": ("a", np.array([0.1, 0.5, 0.9])), "s": ("a", np.array([0.2, 0.5, 1.0])), "scale": ("f", 1.0)},
        finite=False))
    T.append(_plain("_numerics.benchmark_problem", "_numerics", _lazy("velmora._numerics", "benchmark_problem"), {
        "name": ("s", "robertson"), "rtol": ("f", 1e-6), "atol": ("f", 1e-10), "t_end": ("f", 10.0)}))

    # ---------------- fast_kernels
    bk = _kinds_of(_beta_base, {})
    T.append(Target("fast_kernels.calculate_beta_matrix_kernel", "fast_kernels", _beta_base,
                    lambda ctx, kw: _lazy("velmora.core.fast_kernels", "calculate_beta_matrix_kernel")(ctx)(**kw),
                    bk, weight=3.0))
    T.append(_plain("fast_kernels.recalculate_aggregation_classes_kernel", "fast_kernels",
                    _lazy("velmora.core.fast_kernels", "recalculate_aggregation_classes_kernel"), {
                        "x_input": ("a", lambda ctx: np.array(_model(ctx).x, dtype=float)),
                        "isec": ("i", lambda ctx: int(_model(ctx).isec)), "intnum": ("i", lambda ctx: _model(ctx).intnum)},
                    weight=2.0))
    T.append(Target("fast_kernels.calculate_derivatives_kernel", "fast_kernels", _deriv_base,
                    lambda ctx, kw: _lazy("velmora.core.fast_kernels", "calculate_derivatives_kernel")(ctx)(**kw),
                    _kinds_of(_deriv_base, {}), weight=3.0))

    # ---------------- growth_simulator
    T.append(_plain("growth_simulator.get_mechanism_path", "growth_simulator",
                    _lazy("velmora.core.growth_simulator", "get_mechanism_path"),
                    {"mechanism_type": ("s", "FFCM2")}, weight=0.5))
    # The parameter table takes no arguments: the case only checks that reading it never crashes.
    T.append(_plain("growth_simulator.MovingSectionalModel.parameter_table", "growth_simulator",
                    lambda ctx: _lazy("velmora.core.growth_simulator", "MovingSectionalModel")(ctx).parameter_table,
                    {}, finite=False, weight=0.1))

    def ctor_base(ctx):
        return {k: _copy(v) for k, (_, v) in MODEL_KWARGS.items()}
    T.append(Target("growth_simulator.MovingSectionalModel(...).solve()", "growth_simulator", ctor_base,
                    _construct_and_solve, {k: kind for k, (kind, _) in MODEL_KWARGS.items()}, weight=0.15))

    def attrs_base(ctx):
        return {}
    T.append(Target("growth_simulator.MovingSectionalModel: attributes then solve()", "growth_simulator",
                    attrs_base, _attrs_and_solve, {k: kind for k, (kind, _) in MODEL_ATTRS.items()}, weight=0.15,
                    shared=True))
    m_state = lambda ctx: _model(ctx).y.copy()  # noqa: E731
    T += [
        _method("initialize_conditions", {}, attrs=("y", "x")),
        _method("_distribution_initializer", {}),
        _method("lognormal_pdf", {"x": ("f", 1.5e-8), "mu": ("f", math.log(1.5e-8)), "sigma": ("f", 0.2)},
                finite=formula_check(_lognormal)),
        _method("normal_pdf", {"x": ("f", 1.5e-8), "mu": ("f", 1.5e-8), "sigma": ("f", 1e-9)},
                finite=formula_check(_normal)),
        _method("integrate_bin_probability", {"d_left": ("f", 1e-8), "d_right": ("f", 2e-8),
                                              "distribution_type": ("s", "normal")}),
        _method("_initialize_aggregation_classes", {}, attrs=("jmin", "jmax")),
        _method("_recalculate_aggregation_classes", {}, attrs=("jmin", "jmax")),
        _method("temp_vel", {"t": ("f", 0.001)}, attrs=("temp", "vel")),
        _method("props", {}, attrs=("rhog", "eta", "xlm")),
        _method("_calculate_beta_matrix", {}, attrs=("betafu",)),
        _method("fcn", {"t": ("f", 0.0), "yy": ("a", m_state)}, weight=0.3),
        _method("calculate_derivatives", {"t": ("f", 0.0)}),
        _method("_benchmark_fcn", {"t": ("f", 0.0), "yy": ("a", m_state), "repeats": ("i", 2)}),
        _method("regrid", {"y": ("a", m_state)}, weight=0.3),
        _method("mass_calculator", {"dpp": ("f", 1.5e-8), "rho_NP": ("f", 8908.0), "rho_CNT": ("f", 1800.0),
                                    "cnt_length": ("f", 1e-7), "cnt_thickness": ("f", 3.4e-10), "npp": ("f", 1.0),
                                    "wall_number": ("f", 5.0)}),
        _method("_calculate_cnt_gyration_diameter", {
            "dpp": ("f", 1.5e-8), "rho_NP": ("f", 8908.0), "rho_CNT": ("f", 1800.0), "cnt_length": ("f", 1e-7),
            "cnt_thickness": ("f", 3.4e-10), "npp": ("f", 1.0), "wall_number": ("f", 5.0)}),
        _method("calculate_xdp_gp", {}, attrs=("xdp_gp",)),
        _method("_calculate_average_primary_diameter", {"y_state": ("a", m_state)}),
        _method("get_carbon_per_particle", {"section_index": ("i", 0)}),
        _method("get_total_carbon", {}),
        # with no carbon at the start the ratio is undefined and comes back as float arithmetic gives it
        _method("check_carbon_conservation", {}, finite=False),
        _method("calculate_smooth_timestep", {"t": ("f", 0.001)}),
        _method("aerosol_ratio", {"method_cnt": ("i", 1), "prob": ("f", 0.5)}),
        _method("solve", {"rtol": ("f", 1e-6), "atol": ("f", 1e-25)}, weight=0.1),
    ]

    # ---------------- gas_reactions
    def gas_base(ctx):
        return dict(gas=_gas(ctx), dominant_species="C2H2", flow_velocity=0.04, chk_temp=1000.0,
                    reactor_pressure=1.0, inlet_composition={"C2H2": 0.00452, "C2H4": 1e-15, "H2": 0.00905,
                                                             "N2": 0.90498},
                    reactor_data={"lengthstep": 1e-3})
    T.append(Target("gas_reactions.chemical_kinetics", "gas_reactions", gas_base,
                    lambda ctx, kw: _lazy("velmora.modules.gas_reactions", "chemical_kinetics")(ctx)(**kw),
                    {"gas": "o", "dominant_species": "s", "flow_velocity": "f", "chk_temp": "f",
                     "reactor_pressure": "f", "inlet_composition": "d", "reactor_data": "rd"}, weight=0.25,
                    shared=True))
    T.append(_plain("gas_reactions.count_carbon_atoms", "gas_reactions",
                    _lazy("velmora.modules.gas_reactions", "count_carbon_atoms"), {"formula": ("s", "C2H2")},
                    weight=0.5))

    # ---------------- np_thermal
    def thermal_base(ctx):
        n = 5
        number = np.array([1e12, 2e12, 5e11, 0.0, 3e11])
        volume = np.array([6.5e-26, 0.0, 4e-26, 1e-25, 1e-25])
        area = np.array([1.6e-16, 1.5e-16, 9.5e-17, 1e-16, 1e-16])
        return dict(spec_heat_NP=4e-20, spec_heat_gas=2e-23, surf_tension_NP=2.0, emissivity_NP=0.3,
                    temp_NP_previous=np.array([1020.0, 1100.0, 950.0, 900.0, 990.0]), temp_gas_previous=1000.0,
                    taus_current=np.array([2e-6, 1e-6, 5e-7, 1e-6, 1e-6]),
                    particle_info_previous=np.concatenate([number, volume, number * area]),
                    area_NP_sph=np.array([7.85e-17, 7.0e-17, 9.0e-17, 8e-17, 8e-17]), xmwp_NP=1e-25,
                    xmwp_gas=4.65e-26, avog=6.02214e23, n_p=np.array([5.0, 8.0, 3.0, 4.0, 4.0]),
                    reactor_pressure=101325.0, intnum_val=n, isec_val=3, flow_velocity=0.1,
                    interval_x=np.array([0.0, 2e-8]), numerical_approach="LSODA")
    T.append(Target("np_thermal.particle_temp", "np_thermal", thermal_base,
                    lambda ctx, kw: _lazy("velmora.modules.np_thermal", "particle_temp")(ctx)(**kw),
                    _kinds_of(thermal_base, {"numerical_approach": "s"}), weight=3.0))

    # ---------------- coalescence_time
    T.append(_plain("coalescence_time.characterisitc_sintering_time", "coalescence_time",
                    _lazy("velmora.modules.coalescence_time", "characterisitc_sintering_time"), {
                        "temperature_starter_for_numerical_issue": ("f", 1000.0), "Catalsyt_element": ("s", "Ni"),
                        "dp": ("f", 5e-9), "temp": ("f", 1000.0), "R": ("f", 8.314), "a": ("f", 2.48e-10),
                        "kb": ("f", 1.38065e-23)}, weight=2.0, finite=no_nan_check))
    T.append(_plain("coalescence_time.characterisitc_sintering_time[Fe]", "coalescence_time",
                    _lazy("velmora.modules.coalescence_time", "characterisitc_sintering_time"), {
                        "temperature_starter_for_numerical_issue": ("f", 1000.0), "Catalsyt_element": ("s", "Fe"),
                        "dp": ("f", 5e-9), "temp": ("f", 1000.0), "R": ("f", 8.314), "a": ("f", 2.52e-10),
                        "kb": ("f", 1.38065e-23)}, weight=1.0, finite=no_nan_check))

    # ---------------- solubility_check
    T.append(_plain("solubility_check.carbon_sat", "solubility_check",
                    _lazy("velmora.modules.solubility_check", "carbon_sat"), {
                        "section_metal_number": ("f", 2000.0), "section_carbon_number": ("f", 1e4),
                        "temp": ("f", 1000.0), "dp": ("f", 5e-9), "flag_id_mat": ("f", 1), "Kb": ("f", 1.38065e-23)},
                    weight=2.0))

    # ---------------- acetylene_growth
    P = "acetylene_growth.Surface_Kinetics_Puretzky_etal_2005"
    puretzky_ctor = {
        "carb_strc_surface": ("b", True), "carb_deactiv": ("b", True), "plot_request": ("b", False),
        "initial_conditions": ("a", np.zeros(6)), "P_FEEDSTOCK": ("f", 266.645), "feedstock_gas_name": ("s", "C2H2"),
        "reactor_volume": ("f", 0.0055), "n0": ("f", 2.2775521143014057e22), "np1": ("f", 1e4), "np2": ("f", 1e4),
        "surface_coverage_gp": ("f", 1.0), "gas_NP_time_considered": ("b", True), "H2_STICKING_PROB": ("f", 0.02),
        "H2_current_partial_pressure": ("f", 1.0), "npr": ("f", 1.0), "fra_cnt_gp": ("f", 0.7),
        "gp_cove_rati": ("f", 0.0), "encap_cond": ("b", False), "_current_H2_flux_coeff": ("f", 1e-3)}

    def puretzky_run(ctx, kw):
        from velmora.modules.acetylene_growth import Surface_Kinetics_Puretzky_etal_2005 as Pk
        kw = dict(kw)
        dp = kw.pop("dp", 1.5e-8)
        temps = kw.pop("temperatures", [700.0])
        span = kw.pop("time_span", (0.0, 1e-3))
        m = Pk(**kw)
        m._dp = dp
        res = m.run_surface_kinetics_simulation(temps, span)
        return m.get_final_values(res)
    ctor_args = dict(puretzky_ctor, dp=("f", 1.5e-8), temperatures=("a", np.array([700.0])),
                     time_span=("a", np.array([0.0, 1e-3])))
    T.append(Target(f"{P}(...).run_surface_kinetics_simulation", "acetylene_growth",
                    lambda ctx: {k: _copy(v) for k, (_, v) in ctor_args.items()}, puretzky_run,
                    {k: kind for k, (kind, _) in ctor_args.items()}, weight=3.0))

    def pm(meth, args, weight=1.0, finite=True):
        def call(ctx, kw):
            m = _puretzky(ctx)
            return getattr(m, meth)(**kw)
        return Target(f"{P}.{meth}", "acetylene_growth",
                      lambda ctx: {k: _copy(v) for k, (_, v) in args.items()}, call,
                      {k: kind for k, (kind, _) in args.items()}, weight=weight, finite=finite)
    def dp_setter(ctx, kw):
        from velmora.modules.acetylene_growth import Surface_Kinetics_Puretzky_etal_2005 as Pk
        m = Pk()
        m._dp = kw["dp_current"]
        return (m.dp, m.S_0, m.particle_area)
    T += [
        Target(f"{P}._dp setter", "acetylene_growth", lambda ctx: {"dp_current": 1.5e-8}, dp_setter,
               {"dp_current": "f"}),
        _plain(f"{P}.mass_calculator", "acetylene_growth",
               _lazy("velmora.modules.acetylene_growth", "Surface_Kinetics_Puretzky_etal_2005.mass_calculator"),
               {"name_of_species": ("s", "C2H2"), "dp": ("f", 1.5e-8), "npr": ("f", 1.0)}),
        pm("calculate_k_sb", {"temperature_kelvin": ("f", 1000.0)}),
        pm("calculate_n0", {"temp_C": ("f", 700.0)}),
        pm("calculate_n", {"temp_C": ("f", 700.0), "t": ("f", 0.0), "y": ("a", np.ones(6))}),
        pm("ode_system", {"t": ("f", 0.0), "y": ("a", np.array([1e3, 10.0, 10.0, 1e2, 1e2, 0.0])),
                          "temp_C": ("f", 700.0)}, weight=2.0),
        pm("calculate_length", {"N_t": ("f", 1.4e7)}),
        pm("get_final_values", {"results": ("o", {})}),
    ]


    ma_ctor = {"feedstock_gas_name": ("s", "C2H2"), "main_product_species": ("s", "C4H4"), "npr": ("f", 1.0),
               "temp_current": ("f", 700.0), "P_FEEDSTOCK_c2h2": ("f", 20000.645), "P_FEEDSTOCK_c4h4": ("f", 20000.64),
               "gp_thickns": ("f", 3.4e-10), "reactor_init_press": ("f", 101000.0), "surface_coverage_gp": ("f", 0.3),
               "fra_cnt_gp": ("f", 0.7), "gp_cove_rati": ("f", 0.0), "encap_cond": ("b", False),
               "gp_thickness": ("f", 10.0), "dp": ("f", 1.5e-8), "AA12_internal_use": ("o", None)}

    def ma_run(ctx, kw):
        from velmora.modules.acetylene_growth import Surface_Kinetics_Ma_etal_2005 as Mk
        kw = dict(kw)
        dp = kw.pop("dp")
        if kw.get("AA12_internal_use") is None:
            import copy
            kw["AA12_internal_use"] = copy.deepcopy(_model(ctx).AA00)
        m = Mk(**kw)
        m._dp = dp
        return (m.main_calculate(), m.CNT_wall_number, m.carbon_atoms_flux)
    T.append(Target("acetylene_growth.Surface_Kinetics_Ma_etal_2005(...).main_calculate", "acetylene_growth",
                    lambda ctx: {k: _copy(v) for k, (_, v) in ma_ctor.items()}, ma_run,
                    {k: kind for k, (kind, _) in ma_ctor.items()}, weight=2.0))

    # ---------------- ml
    def ml_call(meth, args, weight=1.0, finite=True, ctor=None):
        def call(ctx, kw):
            c = _ml(ctx, **(ctor or {}))
            return getattr(c, meth)(**kw)
        return Target(f"phase_boundary_learner._Main_ML_2D.{meth}", "phase_boundary_learner",
                      lambda ctx: {k: _copy(v) for k, (_, v) in args.items()}, call,
                      {k: kind for k, (kind, _) in args.items()}, weight=weight, finite=finite)
    w6 = np.array([0.1, -0.2, 0.3, 0.05, -0.1, 0.2])
    Xs = np.array([[0.1, 0.2], [0.5, -0.3], [-1.0, 1.0], [0.3, 0.3]])
    ys = np.array([1.0, 0.0, 1.0, 0.0])
    T += [
        Target("phase_boundary_learner._Main_ML_2D()", "phase_boundary_learner",
               lambda ctx: {"method": "zscore", "lambda_": 0.01, "iterations": 20, "alpha": 0.5, "poly_degree": 2,
                            "n_order": 2},
               lambda ctx, kw: _ml(ctx, **kw).train(X_TRAIN.copy(), Y_TRAIN.copy()),
               {"method": "s", "lambda_": "f", "iterations": "i", "alpha": "f", "poly_degree": "i", "n_order": "i"},
               weight=0.3),
        ml_call("sigmoid1", {"z": ("a", np.array([-1.0, 0.0, 2.0]))}),
        ml_call("scale_inputs", {"X": ("a", X_TRAIN)}),
        ml_call("descale_inputs", {"X_normalized": ("a", Xs), "mean_vals": ("a", np.array([0.1, 0.2])),
                                   "scale_vals": ("a", np.array([1.0, 2.0]))}),
        ml_call("map_feature1", {"X2": ("a", np.array([0.1, 0.5, -1.0])), "X1": ("a", np.array([0.2, -0.3, 1.0]))}),
        # the cost of a saturated logistic is log(0) = -inf as float arithmetic gives it: not checked
        ml_call("logistic_loss", {"X": ("a", Xs), "y": ("a", ys), "w": ("a", np.array([0.5, -0.5])), "b": ("f", 0.1)},
                finite=False),
        ml_call("logistic_loss_reg", {"X": ("a", Xs), "y": ("a", ys), "w": ("a", np.array([0.5, -0.5])),
                                      "b": ("f", 0.1), "lambda_": ("f", 1.0)}, finite=False),
        ml_call("compute_gradient", {"X": ("a", Xs), "y": ("a", ys), "w": ("a", np.array([0.5, -0.5])),
                                     "b": ("f", 0.1), "lambda_": ("f", 1.0)}),
        Target("phase_boundary_learner._Main_ML_2D.fit_weights", "phase_boundary_learner",
               lambda ctx: {"X": Xs.copy(), "y": ys.copy(), "w_in": np.array([0.5, -0.5]), "b_in": 0.1,
                            "cost_function": _ml(ctx).logistic_loss_reg, "gradient_function": _ml(ctx).compute_gradient,
                            "alpha": 0.1, "num_iters": 10, "lambda_": 0.0},
               lambda ctx, kw: _ml(ctx).fit_weights(**kw),
               {"X": "a", "y": "a", "w_in": "a", "b_in": "f", "cost_function": "c", "gradient_function": "c",
                "alpha": "f", "num_iters": "i", "lambda_": "f"}, finite=weights_check),
        ml_call("train", {"X_train_raw": ("a", X_TRAIN), "y_train": ("ia", Y_TRAIN)}, weight=0.3,
                ctor={"iterations": 20}),
        ml_call("ml_phase_diagram_plot", {"X_train": ("a", X_TRAIN), "y_train": ("ia", Y_TRAIN), "w": ("a", w6[:5]),
                                          "b": ("f", 0.1), "mean_vals": ("a", np.array([0.005, 1000.0])),
                                          "scale_vals": ("a", np.array([0.004, 160.0]))}, ctor={"poly_degree": 2}),
    ]

    def fw_base(ctx):
        from velmora.ml.logistic_loss import logistic_loss
        from velmora.ml.compute_gradient import compute_gradient
        return {"X": Xs.copy(), "y": ys.copy(), "w_in": np.array([0.5, -0.5]), "b_in": 0.1,
                "cost_function": logistic_loss, "gradient_function": compute_gradient, "alpha": 0.1,
                "num_iters": 10, "lambda_": 0.0}
    T.append(Target("fit_weights.fit_weights", "fit_weights", fw_base,
                    lambda ctx, kw: _lazy("velmora.ml.fit_weights", "fit_weights")(ctx)(**kw),
                    {"X": "a", "y": "a", "w_in": "a", "b_in": "f", "cost_function": "c", "gradient_function": "c",
                     "alpha": "f", "num_iters": "i", "lambda_": "f"}, weight=2.0, finite=weights_check))
    T.append(_plain("scale_inputs.scale_inputs", "scale_inputs", _lazy("velmora.ml.scale_inputs", "scale_inputs"),
                    {"X": ("a", X_TRAIN), "method": ("s", "zscore")}))
    T.append(_plain("scale_inputs.descale_inputs", "scale_inputs", _lazy("velmora.ml.scale_inputs", "descale_inputs"),
                    {"X_normalized": ("a", Xs), "mean_vals": ("a", np.array([0.1, 0.2])),
                     "scale_vals": ("a", np.array([1.0, 2.0])), "method": ("s", "zscore")}))
    T.append(_plain("logistic_loss.logistic_loss", "logistic_loss", _lazy("velmora.ml.logistic_loss", "logistic_loss"),
                    {"X": ("a", Xs), "y": ("a", ys), "w": ("a", np.array([0.5, -0.5])), "b": ("f", 0.1)},
                    finite=False))

    # ---------------- parameter_sweep
    MW = "parameter_sweep.Mapping_Wrapper"
    wrapper_args = {"map_requested": ("s", "P&T"), "total_data_points": ("i", 4), "pressure_range_min": ("f", 0.001),
                    "pressure_range_max": ("f", 0.01), "pressure_constant": ("f", 0.0045),
                    "temperature_range_min": ("f", 800.0), "temperature_range_max": ("f", 1200.0),
                    "temperature_constant": ("f", 873.0), "dp_initial_premade_range_min": ("f", 1e-8),
                    "dp_initial_premade_range_max": ("f", 4e-8), "dp_initial_premade_constant": ("f", 1.5e-8),
                    "reactor_length_range_min": ("f", 0.3), "reactor_length_range_max": ("f", 0.9),
                    "reactor_length_range_constant": ("f", 0.6)}

    def wrapper_config(ctx, kw):
        from velmora.core.parameter_sweep import Mapping_Wrapper
        w = Mapping_Wrapper(**kw)
        cfg = Mapping_Wrapper.ParametricStudyConfig(w)
        return (cfg.Y_parameter_range, cfg.X_parameter_range, cfg.constant_values)
    T.append(Target(f"{MW}(...).ParametricStudyConfig", "parameter_sweep",
                    lambda ctx: {k: v for k, (_, v) in wrapper_args.items()}, wrapper_config,
                    {k: kind for k, (kind, _) in wrapper_args.items()}, weight=2.0))

    def apply_param(ctx, kw):
        from velmora.core.parameter_sweep import Mapping_Wrapper
        w = Mapping_Wrapper(map_requested=kw.pop("map_requested"), total_data_points=4, intnum=6)
        cfg = Mapping_Wrapper.ParametricStudyConfig(w)
        m = _model(ctx)
        cfg.apply_parameter(m, kw["param_key"], kw["value"])
        return (m.wrapper_mapping_temp, m.dp_initial_premade, m.reactor_length)
    T.append(Target(f"{MW}.ParametricStudyConfig.apply_parameter", "parameter_sweep",
                    lambda ctx: {"map_requested": "T&D", "param_key": "T", "value": 900.0}, apply_param,
                    {"map_requested": "s", "param_key": "s", "value": "f"}, finite=False, shared=True))

    def run_sim(ctx, kw):
        from velmora.core.parameter_sweep import run_simulation
        out = tempfile.mkdtemp(dir=_tmpdir(ctx))
        return run_simulation(kw, output_dir=out, name="fuzz")
    T.append(Target("parameter_sweep.run_simulation", "parameter_sweep",
                    lambda ctx: {k: _copy(v) for k, (_, v) in MODEL_KWARGS.items() if k in
                                 ("intnum", "reactor_length", "total_initial_concentration", "dp_initial_premade",
                                  "bin_spacing", "alpha_adjust", "surf_dens_monolayer", "fraction_cnt_gp",
                                  "total_pressure", "gas_initial_composition")},
                    run_sim, {k: MODEL_KWARGS[k][0] for k in ("intnum", "reactor_length", "total_initial_concentration",
                                                             "dp_initial_premade", "bin_spacing", "alpha_adjust",
                                                             "surf_dens_monolayer", "fraction_cnt_gp",
                                                             "total_pressure", "gas_initial_composition")},
                    weight=0.08, finite=False))

    def save_results(ctx, kw):
        from velmora.core.parameter_sweep import Mapping_Wrapper
        w = Mapping_Wrapper()
        return w.save_results(kw["results"], os.path.join(_tmpdir(ctx), kw["filename"]))
    T.append(Target(f"{MW}.save_results", "parameter_sweep",
                    lambda ctx: {"results": [{"simulation_id": 1, "P_parameter": 0.001, "T_parameter": 800.0,
                                              "status": 1, "wall_number_avg": 1.5}], "filename": "out.csv"},
                    save_results, {"results": "o", "filename": "s"}, finite=False, weight=0.5))

    def load_and_label(ctx, kw):
        import pandas as pd
        from velmora.core.parameter_sweep import Mapping_Wrapper
        path = os.path.join(_tmpdir(ctx), f"in{os.getpid()}.csv")
        df = pd.read_csv(_results_file(ctx))
        for k, v in kw.items():
            if k != "wall_threshold":
                df[k] = v
        df.to_csv(path, index=False)
        loader = Mapping_Wrapper.DataLoader()
        loaded = loader.load_data(path)
        proc = Mapping_Wrapper.DataProcessor(loaded)
        proc.filter_data(wall_threshold=kw.get("wall_threshold", 2))
        x, y, X, yt = proc.prepare_ml_data()
        return None
    T.append(Target(f"{MW}.DataLoader/DataProcessor", "parameter_sweep",
                    lambda ctx: {"wall_threshold": 2.0}, load_and_label,
                    {"wall_threshold": "f", "P_parameter": "a", "T_parameter": "a", "wall_number_avg": "a"},
                    finite=False, weight=0.3))

    def contour(ctx, kw):
        import pandas as pd
        from velmora.core.parameter_sweep import Mapping_Wrapper
        p = Mapping_Wrapper.ContourPlotter()
        Xi, Yi, Zi = p.create_interpolation_grid(pd.Series(kw["x"]), pd.Series(kw["y"]), pd.Series(kw["z"]))
        return (Xi, Yi)
    T.append(Target(f"{MW}.ContourPlotter.create_interpolation_grid", "parameter_sweep",
                    lambda ctx: {"x": np.array([0.0, 1.0, 0.0, 1.0]), "y": np.array([0.0, 0.0, 1.0, 1.0]),
                                 "z": np.array([0.0, 1.0, 2.0, 3.0])}, contour, {"x": "a", "y": "a", "z": "a"}, weight=0.3))

    def classifier(ctx, kw):
        from velmora.core.parameter_sweep import Mapping_Wrapper
        c = Mapping_Wrapper.MLClassifier(iterations=10, poly_degree=2)
        return c.train_classifier(kw["X_train_raw"], kw["y_train"])[2]
    T.append(Target(f"{MW}.MLClassifier.train_classifier", "parameter_sweep",
                    lambda ctx: {"X_train_raw": X_TRAIN.copy(), "y_train": Y_TRAIN.copy()}, classifier,
                    {"X_train_raw": "a", "y_train": "ia"}, weight=0.3))

    def point(ctx, kw):
        from velmora.core.parameter_sweep import _run_study_point
        rec, _ = _run_study_point(kw["point"], kw["kwargs"])
        return None
    T.append(Target("parameter_sweep._run_study_point", "parameter_sweep",
                    lambda ctx: {"point": {"simulation_id": 1, "map_type": "P&T", "Y_value": 0.005,
                                           "X_value": 900.0},
                                 "kwargs": {"intnum": 6, "reactor_length": 0.004}},
                    point, {"point": "o", "kwargs": "o"}, finite=False, weight=0.08))
    return T


# ----------------------------------------------------------------------------- a case

def _reactor_data_pool(rng):
    v, t = rng.choice([({"lengthstep": NAN}, "{'lengthstep': nan}"), ({"lengthstep": -1.0}, "{'lengthstep': -1.0}"),
                       ({"lengthstep": 1e300}, "{'lengthstep': 1e300}"), ({}, "{}"), (None, "None"),
                       ({"lengthstep": "a"}, "{'lengthstep': 'a'}"), ({"lengthstep": 0.0}, "{'lengthstep': 0.0}"),
                       ({"lengthstep": 1e3}, "{'lengthstep': 1e3}")])
    return Hostile(dict(v) if isinstance(v, dict) else v, t, t == "{'lengthstep': nan}")


class Case:
    def __init__(self, seed, index, target, kwargs, changes):
        self.seed, self.index, self.target, self.kwargs, self.changes = seed, index, target, kwargs, changes

    @property
    def nonfinite_input(self):
        return any(h.nonfinite for _, h in self.changes)

    @property
    def huge_input(self):
        return any(h.huge for _, h in self.changes)

    def describe(self):
        inner = ", ".join(f"{k}={h.text}" for k, h in self.changes) or "baseline"
        return f"{self.target.name}({inner})"

    def replay_line(self):
        return f"tools/fuzz.py --replay {self.seed}:{self.index}"


def _pick_weighted(rng, targets):
    total = sum(t.weight for t in targets)
    r = rng.random() * total
    for t in targets:
        r -= t.weight
        if r <= 0:
            return t
    return targets[-1]


def make_case(targets, ctx, seed, index, avoid=None):
    """The case of number `index` in the stream of `seed`; same (seed, index), same case.

    avoid(case) -> True rejects a draw; the next draw of the same stream is taken instead."""
    rng = random.Random(f"{seed}:{index}")
    while True:
        target = _pick_weighted(rng, targets)
        kw = target.base(ctx)
        kinds = target.kinds(ctx) if callable(target.kinds) else target.kinds
        names = list(kinds)
        changes = []
        if names:
            count = rng.choices([1, 2, 3], weights=[0.6, 0.25, 0.15])[0]
            for name in rng.sample(names, min(count, len(names))):
                kind = kinds[name]
                base = kw.get(name)
                if name in MODEL_OPTIONS and rng.random() < 0.5:
                    opt = rng.choice(MODEL_OPTIONS[name])
                    h = Hostile(opt, repr(opt))
                elif kind == "rd":
                    h = _reactor_data_pool(rng)
                else:
                    if base is None and kind == "f" and name in MODEL_ATTRS:
                        base = MODEL_ATTRS[name][1]
                    h = hostile_value(rng, kind, base, name)
                kw[name] = h.value
                changes.append((name, h))
        case = Case(seed, index, target, kw, changes)
        if avoid is None or not avoid(case):
            return case


# ----------------------------------------------------------------------------- running a case in a child

def _signal_name(sig):
    try:
        return signal.Signals(sig).name
    except ValueError:
        return f"signal {sig}"


def _address_space_cap(extra_bytes):
    """Current virtual size of this process plus extra_bytes: the children's RLIMIT_AS."""
    try:
        with open("/proc/self/status") as fh:
            for line in fh:
                if line.startswith("VmSize:"):
                    return int(line.split()[1]) * 1024 + extra_bytes
    except OSError:
        pass
    return 4 * 2 ** 30


def evaluate(case, ctx):
    """Runs the case in this process; returns (outcome, detail)."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            result = case.target.call(ctx, case.kwargs)
    except BaseException as exc:  # noqa: BLE001 - every exception is an outcome here
        return f"exc:{type(exc).__name__}", str(exc)[:300]
    if case.target.finite:
        if callable(case.target.finite):
            bad = case.target.finite(result, case.kwargs)
        else:
            bad = nonfinite_paths(result)
        if bad:
            kind = ("nonfinite-from-input" if case.nonfinite_input else
                    "nonfinite-from-huge" if case.huge_input else "nonfinite")
            return kind, ", ".join(bad)
    return "ok", ""



def _read_chunk(rfd, deadline):
    """The next data on a child's pipe: bytes, b"" at its end, None once the monotonic `deadline` has passed."""
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([rfd], [], [], left)
        if ready:
            return os.read(rfd, 65536)

def run_in_child(case, ctx, timeout, mem_cap):
    """Forks; the child evaluates the case under an address-space cap and an alarm."""
    rfd, wfd = os.pipe()
    sys.stdout.flush()
    sys.stderr.flush()
    pid = os.fork()
    if pid == 0:  # child
        try:
            os.close(rfd)
            _child_setup(mem_cap)
            signal.signal(signal.SIGXCPU, signal.SIG_DFL)
            _limit_cpu(timeout)
            signal.alarm(max(1, int(math.ceil(timeout * WALL_FACTOR))))
            outcome, detail = evaluate(case, ctx)
            os.write(wfd, json.dumps([outcome, detail]).encode())
        except BaseException as exc:  # noqa: BLE001
            try:
                os.write(wfd, json.dumps([f"exc:{type(exc).__name__}", "in the harness: " + str(exc)[:200]]).encode())
            except BaseException:  # noqa: BLE001
                pass
        finally:
            os._exit(0)
    os.close(wfd)
    chunks = []
    deadline = time.monotonic() + timeout * WALL_FACTOR + 2.0
    timed_out = False
    while True:
        data = _read_chunk(rfd, deadline)
        if data is None:
            timed_out = True
            break
        if not data:
            break
        chunks.append(data)
    os.close(rfd)
    if timed_out:
        os.kill(pid, signal.SIGKILL)
    _, status = os.waitpid(pid, 0)
    if timed_out:
        return "timeout", f"no result after {timeout:g} s"
    if os.WIFSIGNALED(status):
        sig = os.WTERMSIG(status)
        if _timeout_signal(sig):
            return "timeout", f"no result after {timeout:g} s of CPU time"
        if sig == signal.SIGKILL:
            return "crash:SIGKILL", "killed (memory cap or outside)"
        return f"crash:{_signal_name(sig)}", ""
    try:
        outcome, detail = json.loads(b"".join(chunks).decode())
    except ValueError:
        return "lost", f"exit status {os.WEXITSTATUS(status)} without a report"
    return outcome, detail


# The time limit of a case is CPU time (RLIMIT_CPU, SIGXCPU), so that a loaded machine does not
# turn slow calls into timeouts; a wall-clock limit WALL_FACTOR times longer catches a child that
# blocks without computing.
WALL_FACTOR = 10.0


def _cpu_used():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime


def _limit_cpu(seconds):
    """Allows this process `seconds` more CPU time from now."""
    hard = resource.getrlimit(resource.RLIMIT_CPU)[1]
    soft = int(math.ceil(_cpu_used() + seconds))
    if hard != resource.RLIM_INFINITY:
        soft = min(soft, hard)
    resource.setrlimit(resource.RLIMIT_CPU, (soft, hard))


def _timeout_signal(sig):
    return sig in (signal.SIGXCPU, signal.SIGALRM)


def _child_setup(mem_cap):
    devnull = os.open(os.devnull, os.O_RDWR)
    os.dup2(devnull, 0)
    os.dup2(devnull, 1)
    os.dup2(devnull, 2)
    # a test runner may have replaced the Python-level streams by its own capture files, and may
    # have armed faulthandler on a descriptor of its own: a crash is reported by the parent
    sys.stdout = sys.stderr = open(os.devnull, "w")
    faulthandler.disable()
    resource.setrlimit(resource.RLIMIT_AS, (mem_cap, mem_cap))
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    signal.signal(signal.SIGALRM, signal.SIG_DFL)
    signal.signal(signal.SIGXCPU, signal.SIG_DFL)
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def run_batch(cases, ctx, timeout, mem_cap):
    """Runs calls that touch no shared object one after another in a forked worker.

    The worker announces each case before running it, so a case that kills the worker or hangs is
    known; the rest continue in a new worker. Yields (case, outcome, detail) in order."""
    pos = 0
    while pos < len(cases):
        rfd, wfd = os.pipe()
        sys.stdout.flush()
        sys.stderr.flush()
        pid = os.fork()
        if pid == 0:
            try:
                os.close(rfd)
                _child_setup(mem_cap)
                for j in range(pos, len(cases)):
                    os.write(wfd, f"S {j}\n".encode())
                    limit = cases[j].target.timeout or timeout
                    _limit_cpu(limit)
                    signal.alarm(max(1, int(math.ceil(limit * WALL_FACTOR))))
                    outcome, detail = evaluate(cases[j], ctx)
                    signal.alarm(0)
                    os.write(wfd, ("R " + json.dumps([j, outcome, detail]) + "\n").encode())
            finally:
                os._exit(0)
        os.close(wfd)
        buf = b""
        started = None
        timed_out = False
        deadline = time.monotonic() + timeout * WALL_FACTOR + 2.0
        while True:
            data = _read_chunk(rfd, deadline)
            if data is None:
                timed_out = True
                break
            if not data:
                break
            buf += data
            while b"\n" in buf:
                line, buf = buf.split(b"\n", 1)
                if line.startswith(b"S "):
                    started = int(line[2:])
                    t = cases[started].target.timeout or timeout
                    deadline = time.monotonic() + t * WALL_FACTOR + 2.0
                else:
                    j, outcome, detail = json.loads(line[2:].decode())
                    started = None
                    pos = j + 1
                    yield cases[j], outcome, detail
        os.close(rfd)
        if timed_out:
            os.kill(pid, signal.SIGKILL)
        _, status = os.waitpid(pid, 0)
        if started is None:
            continue  # the worker finished (pos == len(cases)) or died between cases
        if timed_out:
            outcome, detail = "timeout", "no result in time"
        elif os.WIFSIGNALED(status):
            sig = os.WTERMSIG(status)
            outcome, detail = ("timeout", "no result in time") if _timeout_signal(sig) else (
                f"crash:{_signal_name(sig)}", "")
        else:
            outcome, detail = "lost", f"exit status {os.WEXITSTATUS(status)} without a report"
        yield cases[started], outcome, detail
        pos = started + 1


class Campaign:
    """Runs cases and keeps counts by outcome and by module, and the distinct faults."""

    def __init__(self, timeout=5.0, mem_extra=2 * 2 ** 30, targets=None):
        self.ctx = Context()
        self.targets = targets if targets is not None else build_targets()
        self.timeout = timeout
        self.by_outcome = collections.Counter()
        self.by_module = collections.defaultdict(collections.Counter)
        self.by_target = collections.defaultdict(collections.Counter)
        self.faults = {}          # (target, outcome, changed names) -> (count, first case, detail)
        self.messages = collections.defaultdict(collections.Counter)  # (kind of bad input) -> Counter of messages
        self.prepare()
        self.mem_cap = _address_space_cap(mem_extra)

    def prepare(self):
        """Builds the shared objects once so that children inherit them."""
        import importlib
        for name in ("velmora._numerics", "velmora.core.fast_kernels", "velmora.core.growth_simulator",
                     "velmora.core.parameter_sweep", "velmora.modules.acetylene_growth", "velmora.modules.np_thermal",
                     "velmora.modules.gas_reactions", "velmora.modules.coalescence_time",
                     "velmora.modules.solubility_check", "velmora.ml.phase_boundary_learner",
                     "velmora.ml.scale_inputs", "velmora.ml.fit_weights", "velmora.ml.logistic_loss",
                     "velmora.ml.compute_gradient"):
            importlib.import_module(name)
        _model(self.ctx)
        _gas(self.ctx)
        _results_file(self.ctx)

    def run_case(self, case):
        timeout = case.target.timeout or self.timeout
        outcome, detail = run_in_child(case, self.ctx, timeout, self.mem_cap)
        self.record(case, outcome, detail)
        return outcome, detail

    def run_cases(self, cases, batch=1):
        """Every case in a child of its own (batch 1), or the calls that touch no shared object in
        workers of up to `batch` cases each; yields (case, outcome, detail)."""
        if batch <= 1:
            for case in cases:
                yield (case,) + self.run_case(case)
            return
        alone = [c for c in cases if c.target.shared]
        grouped = [c for c in cases if not c.target.shared]
        for case in alone:
            yield (case,) + self.run_case(case)
        for i in range(0, len(grouped), batch):
            for case, outcome, detail in run_batch(grouped[i:i + batch], self.ctx, self.timeout, self.mem_cap):
                self.record(case, outcome, detail)
                yield case, outcome, detail

    def confirm_faults(self):
        """Reruns the first case of every distinct fault alone in a fresh child."""
        for entry in self.faults.values():
            case = entry[1]
            outcome, detail = run_in_child(case, self.ctx, case.target.timeout or self.timeout, self.mem_cap)
            entry.append(outcome)

    def record(self, case, outcome, detail):
        self.by_outcome[outcome] += 1
        self.by_module[case.target.module][outcome] += 1
        self.by_target[case.target.name][outcome] += 1
        if is_fault(outcome):
            key = (case.target.name, outcome, tuple(sorted(k for k, _ in case.changes)))
            if key in self.faults:
                self.faults[key][0] += 1
            else:
                self.faults[key] = [1, case, detail]
        if outcome.startswith("exc:") and len(case.changes) == 1:
            self._note_message(case, outcome, detail)

    def _note_message(self, case, outcome, detail):
        """Error type and wording per (kind of bad value, module), for comparing the conversion layer."""
        name, h = case.changes[0]
        text = h.text
        if text in ("None", "'abc'", "'1.0'", "[1.0]", "object()", "(1+2j)", "{}", "-1", "10**30", "2**63",
                    "1.5", "'3'", "np.zeros(0)", "['a']*6", "10**400"):
            msg = re.sub(rf"\b{re.escape(name)}\b", "<arg>", detail.split("\n")[0])
            self.messages[text][(case.target.module, outcome, msg[:120])] += 1


def print_report(c, cases, seconds, out=sys.stdout, show_messages=True):
    faults = sum(n for o, n in c.by_outcome.items() if is_fault(o))
    counts = ", ".join(f"{o} {n}" for o, n in sorted(c.by_outcome.items(), key=lambda kv: -kv[1]))
    print(f"fuzz: {cases} cases in {seconds:.0f} s: {counts}; faults {faults}", file=out)
    print("\nby module:", file=out)
    for mod in sorted(c.by_module):
        row = ", ".join(f"{o} {n}" for o, n in sorted(c.by_module[mod].items(), key=lambda kv: -kv[1]))
        print(f"  {mod:24s} {sum(c.by_module[mod].values()):7d}: {row}", file=out)
    print(f"\ndistinct faults: {len(c.faults)}", file=out)
    for (tname, outcome, names), entry in sorted(c.faults.items(), key=lambda kv: (kv[0][0], kv[0][1])):
        n, case, detail = entry[:3]
        alone = ""
        if len(entry) > 3:
            alone = "; alone: same" if entry[3] == outcome else f"; alone: {entry[3]}"
        print(f"  [{outcome}] x{n} {case.describe()}{alone}", file=out)
        if detail:
            print(f"      detail: {detail[:200]}", file=out)
        print(f"      reproduce: {case.replay_line()}", file=out)
    if show_messages and c.messages:
        print("\nerror type and message by bad value and module (single-argument cases):", file=out)
        for text in sorted(c.messages):
            print(f"  {text}:", file=out)
            for (mod, outcome, msg), n in sorted(c.messages[text].items())[:40]:
                print(f"    {mod:24s} {outcome:22s} x{n:<4d} {msg}", file=out)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cases", type=int, default=2000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--start", type=int, default=0, help="first case index")
    ap.add_argument("--timeout", type=float, default=5.0,
                    help="CPU seconds per case (the wall-clock limit is ten times longer)")
    ap.add_argument("--memory", type=float, default=2.0, help="GiB a child may allocate beyond the parent")
    ap.add_argument("--target", action="append", help="restrict to entry points whose name contains this")
    ap.add_argument("--replay", help="SEED:INDEX: print and run one case in this process")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--progress", type=int, default=5000, help="print counts every N cases")
    ap.add_argument("--batch", type=int, default=1,
                    help="run up to N calls that touch no shared object in one worker (faults are rerun alone)")
    args = ap.parse_args(argv)

    targets = build_targets()
    if args.target:
        targets = [t for t in targets if any(s in t.name for s in args.target)]
    if args.list:
        for t in targets:
            print(f"{t.weight:4.1f}  {t.name}")
        return 0
    if args.replay:
        seed, index = args.replay.split(":")
        ctx = Context()
        case = make_case(targets, ctx, int(seed), int(index))
        print(case.describe())
        for k, h in case.changes:
            print(f"  {k} = {h.text!s}  ({type(h.value).__name__})")
        outcome, detail = evaluate(case, ctx)
        print(f"outcome: {outcome} {detail}")
        return 0

    c = Campaign(timeout=args.timeout, mem_extra=int(args.memory * 2 ** 30), targets=targets)
    t0 = time.time()
    chunk = max(args.batch, 1) * 10
    done = 0
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    try:
        for first in range(args.start, args.start + args.cases, chunk):
            last = min(first + chunk, args.start + args.cases)
            cases = [make_case(c.targets, c.ctx, args.seed, i) for i in range(first, last)]
            for _ in c.run_cases(cases, args.batch):
                done += 1
                if args.progress and done % args.progress == 0 and done < args.cases:
                    faults = sum(n for o, n in c.by_outcome.items() if is_fault(o))
                    print(f"... {done} cases, {time.time() - t0:.0f} s, faults {faults}, distinct {len(c.faults)}",
                          flush=True)
        if args.batch > 1:
            c.confirm_faults()
    except KeyboardInterrupt:
        print(f"interrupted after {done} cases; the counts below cover those", flush=True)
    print_report(c, done, time.time() - t0)
    return 1 if c.faults else 0


if __name__ == "__main__":
    sys.exit(main())
