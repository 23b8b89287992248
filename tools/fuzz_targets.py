"""Targets of the hostile-input fuzzer (tools/fuzz.py): every public entry point of velmora as
a valid baseline call, the kinds of its arguments, and which of its results must be finite.

The reactor model's keywords, their kinds and option values come from the model's parameter
table (velmora.core.growth_simulator.parameter_table), so a new keyword is fuzzed without an edit
here. The harness (hostile values, children, counting) is tools/fuzz.py.
"""
from __future__ import annotations

import math
import os
import re
import tempfile

import numpy as np

NAN = float("nan")
INF = float("inf")

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
    """For helpers whose text passes the float arithmetic's NaN/inf on (the density helpers, the
    particle masses and the CNT gyration diameter): NaN/inf only where the written formula gives them
    in numpy float arithmetic for the same arguments. The arithmetic is element-wise, so a bool
    (1.0) or a list is evaluated as numpy reads it; a value returned for an argument numpy cannot
    read as floats is a fault."""
    def check(res, kwargs):
        (r,) = res[:1]
        args = {}
        for k, v in kwargs.items():
            try:
                a = np.asarray(v, dtype=float)
            except (TypeError, ValueError, OverflowError):
                return [f"a value returned for {k}={v!r}"]
            if a.dtype.kind != "f":
                return [f"a value returned for {k}={v!r}"]
            args[k] = a
        with np.errstate(all="ignore"):
            expected = np.asarray(formula(**args), dtype=float)
        try:
            got = np.asarray(r, dtype=float)
            got, expected = np.broadcast_arrays(got, expected)
        except (TypeError, ValueError):
            return ["result[0] (shape or kind differs from the formula's)"]
        bad = np.isfinite(expected) & ~np.isfinite(got)
        return ["result[0]"] if bad.any() else []
    return check


def _lognormal(x, mu, sigma):
    return 1 / (x * sigma * np.sqrt(2 * np.pi)) * np.exp(-0.5 * ((np.log(x) - mu) / sigma) ** 2)


def _normal(x, mu, sigma):
    return 1 / (sigma * np.sqrt(2 * np.pi)) * np.exp(-0.5 * ((x - mu) / sigma) ** 2)


def _masses(dpp, rho_NP, rho_CNT, cnt_length, cnt_thickness, npp, wall_number):
    dp_eq = dpp * npp ** 0.45
    r_outer = dpp / 1.6 / 2
    r_inner = r_outer - cnt_thickness * wall_number
    return np.array([rho_NP * (np.pi / 6 * dp_eq ** 3),
                     rho_CNT * (np.pi * cnt_length * (r_outer ** 2 - r_inner ** 2))])


def _gyration(dpp, rho_NP, rho_CNT, cnt_length, cnt_thickness, npp, wall_number):
    m_np, m_cnt = _masses(dpp, rho_NP, rho_CNT, cnt_length, cnt_thickness, 1.0, 1.0)
    dp_eq = dpp * npp ** 0.45
    r_outer = dpp / 1.6 / 2
    r_inner = r_outer - cnt_thickness * wall_number
    f_np, f_cnt = m_np / (m_np + m_cnt), m_cnt / (m_np + m_cnt)
    cm = f_cnt * cnt_length / 2
    d_np, d_cnt = np.abs(cm), np.abs(cnt_length / 2 - cm)
    i_np = 0.4 * (dp_eq / 2) ** 2
    radii = r_outer ** 2 + r_inner ** 2
    i1 = f_np * (i_np + d_np ** 2) + f_cnt * 0.5 * radii
    i2 = f_np * (i_np + d_np ** 2) + f_cnt * (cnt_length ** 2 / 12 + 0.25 * radii + d_cnt ** 2)
    return 0.5 * (2 * np.sqrt(i1)) + 0.5 * (2 * np.sqrt(i2))


def derivatives_check(res, kwargs):
    """The derivatives and rates must be finite; the sintering times (result[1]) may be +inf, as the
    sintering time itself: below about 31 K the Arrhenius factor overflows and the time is
    infinitely long (no relaxation). NaN and -inf are faults there too."""
    bad = [p for i in (0, 2, 3) for p in nonfinite_paths(res[i], f"result[{i}]")]
    ts = np.asarray(res[1], dtype=float)
    if np.isnan(ts).any() or (ts == -INF).any():
        bad.append("result[1]")
    return bad


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


# Constructor keywords of the reactor model with their kinds and option values, from the
# model's own parameter table (the one the constructor, stub and command line read).
_KIND_CODES = {"float": "f", "int": "i", "str": "s", "bool": "b", "dict": "d"}


def _model_keywords():
    """{keyword: (kind code, baseline value)} and {keyword: valid options} of MovingSectionalModel."""
    from velmora.core.growth_simulator import parameter_table

    kwargs, options = {}, {}
    for row in parameter_table():
        if row["part"] != "parameter" or row["kind"] not in _KIND_CODES:
            continue
        keyword = row["keyword"]
        kwargs[keyword] = (_KIND_CODES[row["kind"]], SMALL_MODEL.get(keyword, row["default"]))
        if row["kind"] == "str":
            # An option keyword names its values in quotes in its meaning ("Ni" or "Fe").
            quoted = [v for v in re.findall(r'"([^"]+)"', row["meaning"]) if not v.startswith(".")]
            if quoted:
                options[keyword] = list(dict.fromkeys([row["default"], *quoted]))
    return kwargs, options


MODEL_KWARGS, MODEL_OPTIONS = _model_keywords()
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
                    _kinds_of(_deriv_base, {}), weight=3.0, finite=derivatives_check))

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
                                    "wall_number": ("f", 5.0)}, finite=formula_check(_masses)),
        _method("_calculate_cnt_gyration_diameter", {
            "dpp": ("f", 1.5e-8), "rho_NP": ("f", 8908.0), "rho_CNT": ("f", 1800.0), "cnt_length": ("f", 1e-7),
            "cnt_thickness": ("f", 3.4e-10), "npp": ("f", 1.0), "wall_number": ("f", 5.0)},
            finite=formula_check(_gyration)),
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


