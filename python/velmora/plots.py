"""Figures of single runs and of studies, drawn on the Agg backend.

``run_report(model, path)`` draws one figure of a solved ``MovingSectionalModel``:
the particle size distribution along the reactor, the population totals, CNT
growth, the carbon budget and the gas.  ``phase_map(results, path)`` draws the
map of a P&T study whose colour scale follows its own data, with every grid
point marked and the learned wall-number boundary where both classes occur.

Both build matplotlib ``Figure`` objects directly (no pyplot state, no window)
and return them; the file format follows the extension of ``path`` (.png, .pdf,
.svg, ...).
"""

import json
import math
import os

import numpy as np
from matplotlib.collections import PolyCollection
from matplotlib.colors import LogNorm, Normalize
from matplotlib.figure import Figure
from matplotlib.lines import Line2D
from matplotlib.ticker import LogFormatterSciNotation, NullFormatter

POSITION_LABEL = "position along the reactor (m)"

# Number concentrations in the state vector are per unit mass of gas: the
# model divides the inlet concentration (1/m^3) by the gas density (kg/m^3).
NUMBER_UNIT = "1/kg gas"

# Floor the integrator's lower bounds leave in an empty section.
EMPTY_SECTION = 1e-15

# Decades of dN/dlog10(d) shown below the largest value.
PSD_DECADES = 10

CARBON_FRACTIONS = (
    ("cnt_percent", "CNT"),
    ("gp_percent", "graphene layers"),
    ("impurity_percent", "dissolved in catalyst"),
    ("other_percent", "other (poisoning, attached, CH4)"),
)


# ----------------------------------------------------------------------------
# Histories of a run
# ----------------------------------------------------------------------------


class RunHistories:
    """The per-step quantities a report draws, taken from a solved model.

    states[k] is the state vector at the end of outer step k, at position
    ends[k]; starts[k] is where that step began.  Histories that begin later
    than the first step (surface kinetics start on the second) are aligned on
    the last step, which every history records.  A model solved twice keeps
    the first run's entries in these histories; only the last run is drawn.
    """

    def __init__(self, model, positions=None):
        self.n = int(model.intnum)
        states = [np.asarray(s, dtype=float) for s in model.y_saved]
        if len(states) < 2:
            raise ValueError("the model has no completed step to report (run solve() first)")
        self.initial = states[0]
        self.states = np.array(states[1:])
        steps = len(self.states)
        if positions is None:
            # kn_saved is appended before each step is integrated, so its times
            # are the step ends (a run stopped early has one entry more).
            positions = [entry["time"] for entry in model.kn_saved]
        positions = np.asarray(positions, dtype=float)
        if len(positions) < steps:
            raise ValueError(f"{len(positions)} step positions for {steps} recorded states")
        self.ends = positions[:steps]
        self.starts = np.concatenate(([0.0], self.ends[:-1]))
        self.reactor_length = float(model.reactor_length)
        self.surface_kinetics = bool(model.surface_kinetics_solver_activated)
        self.surface_kinetics_type = str(getattr(model, "surface_kinetics_type", ""))
        self.walls = self._aligned(model.wall_number_section_saved)
        self.carbon_data = self._aligned(model.carbon_data_saved)
        self.composition = self._aligned(model.carbon_composition_saved)
        self.gas_temperature = self._gas_temperature(model)
        self.inlet_gas = _gas_dict(getattr(model, "AA00", None))
        first = getattr(model, "AA12_initial", None) if _has(model, "AA12_initial") else None
        if isinstance(first, dict) and first and self.inlet_gas is not None:
            # The gas of the first step: the inlet as the run saw it (parameters
            # set after construction, as a study does, are not in AA00).
            self.inlet_gas = (dict(first), self.inlet_gas[1])
        # With surface kinetics the gas state is advanced every step, so the
        # last one is the outlet; without, it is only computed on the first step.
        self.outlet_gas = _gas_dict(getattr(model, "AA12", None)) if self.walls and _has(model, "AA12") else None
        if self.outlet_gas is not None:
            self.gas_note = "gas composition at inlet and outlet (no per-step record)"
        elif not self.walls:
            self.gas_note = "gas composition at the inlet (not advanced without surface kinetics)"
        else:
            self.gas_note = "gas composition at the inlet (the outlet gas is not stored)"

    def _aligned(self, history):
        # Surface kinetics and carbon bookkeeping record from the second step on;
        # entries beyond that count are left from an earlier solve() of the model.
        history = list(history)
        steps = len(self.states)
        if len(history) > steps - 1:
            history = history[len(history) - (steps - 1):] if steps > 1 else []
        first = steps - len(history)
        return [(first + j, entry) for j, entry in enumerate(history)]

    def _gas_temperature(self, model):
        recorded = list(model.temp_gas_saved)
        if len(recorded) >= len(self.states):
            return np.asarray(recorded[: len(self.states)], dtype=float), "recorded"
        # The temperature profile is a function of position alone; evaluate it
        # where each step began (the temperature the step was integrated at)
        # and put the model's own temperature and velocity back afterwards.
        saved = {name: getattr(model, name) for name in ("temp", "vel") if _has(model, name)}
        try:
            values = []
            for z in self.starts:
                model.temp_vel(float(z))
                values.append(float(model.temp))
        except Exception:  # a profile that cannot be evaluated leaves the panel empty
            return None, "not available"
        finally:
            for name, value in saved.items():
                setattr(model, name, value)
        return np.asarray(values), "reactor profile"

    # --- population ---------------------------------------------------------

    def sections(self, state):
        """Per-section number (1/kg gas) and volume-equivalent diameter (m) of the live sections."""
        n = self.n
        number = state[0:n]
        volume = state[n:2 * n]
        live = (volume > 0) & np.isfinite(volume) & np.isfinite(number)
        diameter = np.where(live, np.cbrt(6.0 * np.where(live, volume, 1.0) / math.pi), np.nan)
        return number[live], diameter[live]

    def size_distribution(self):
        """One (start, end, lower d, upper d, dN/dlog10 d) row per section and step."""
        cells = []
        for k, state in enumerate(self.states):
            number, diameter = self.sections(state)
            if len(diameter) == 0:
                continue
            order = np.argsort(diameter)
            number, logd = number[order], np.log10(diameter[order])
            if len(logd) > 1:
                mids = 0.5 * (logd[1:] + logd[:-1])
                edges = np.concatenate(([2 * logd[0] - mids[0]], mids, [2 * logd[-1] - mids[-1]]))
            else:  # one section: one tenth of a decade wide
                edges = np.array([logd[0] - 0.05, logd[0] + 0.05])
            width = np.diff(edges)
            for i in range(len(logd)):
                if width[i] > 0 and number[i] > EMPTY_SECTION:
                    cells.append((self.starts[k], self.ends[k], 10 ** edges[i], 10 ** edges[i + 1],
                                  number[i] / width[i]))
        return np.array(cells).reshape(-1, 5)

    def totals(self):
        """Total number (1/kg gas) and number-mean volume-equivalent diameter (m) per step."""
        total, mean = [], []
        for state in self.states:
            number, diameter = self.sections(state)
            counted = number > EMPTY_SECTION
            n_sum = float(np.sum(number[counted]))
            total.append(n_sum)
            mean.append(float(np.sum(number[counted] * diameter[counted]) / n_sum) if n_sum > 0 else np.nan)
        return np.array(total), np.array(mean)

    def section_average(self, history, offset=0):
        """Number-weighted average over sections holding more than one agglomerate, per recorded step."""
        steps, values = [], []
        for k, entry in history:
            state = self.states[k]
            entry = np.asarray(entry, dtype=float)
            live = min(self.n, len(entry) - offset)
            number = state[:live]
            counted = number > 1
            if not np.any(counted):
                continue
            steps.append(k)
            values.append(float(np.sum(entry[offset:offset + live][counted] * number[counted]) / np.sum(number[counted])))
        return np.array(steps, dtype=int), np.array(values)


def _has(obj, name):
    try:
        getattr(obj, name)
        return True
    except AttributeError:
        return False


def _gas_dict(result):
    """(mole fractions, largest carbon species) of a gas-kinetics result, or None."""
    if result is None:
        return None
    try:
        return dict(result[1]), list(dict(result[2]).keys())
    except (TypeError, IndexError, KeyError):
        return None


# ----------------------------------------------------------------------------
# Run report
# ----------------------------------------------------------------------------


def _not_computed(ax, text):
    ax.text(0.5, 0.5, text, transform=ax.transAxes, ha="center", va="center", fontsize=11, color="0.35",
            wrap=True)
    ax.set_yticks([])


def run_report(model, path=None, *, positions=None, title=None, dpi=110):
    """Draws one figure of a solved model and writes it to ``path`` (format by extension).

    Panels, all over the position along the reactor (m): the particle size
    distribution dN/dlog10(d) over (position, volume-equivalent diameter) on
    a logarithmic colour scale; total number and number-mean diameter; mean
    CNT length and wall number; the carbon fractions; the gas temperature and
    the main species' mole fractions.  Panels that need surface kinetics say
    "not computed" when they were off.  ``positions`` are the step end
    positions returned by ``solve()``; by default they are read from the
    model's histories.  Returns the Figure.
    """
    run = model if isinstance(model, RunHistories) else RunHistories(model, positions)
    fig = Figure(figsize=(13, 13), layout="constrained")
    axes = fig.subplots(3, 2, sharex=True)
    (ax_psd, ax_totals), (ax_cnt, ax_carbon), (ax_temp, ax_species) = axes
    z_end = float(run.ends[-1])

    # Particle size distribution.
    cells = run.size_distribution()
    ax_psd.set_title("particle size distribution")
    ax_psd.set_yscale("log")
    ax_psd.set_ylabel("volume-equivalent diameter d (m)")
    if len(cells):
        top = float(np.max(cells[:, 4]))
        shown = cells[cells[:, 4] >= top * 10.0 ** -PSD_DECADES]
        boxes = [((a, c), (b, c), (b, d), (a, d)) for a, b, c, d in shown[:, :4]]
        mesh = PolyCollection(boxes, array=shown[:, 4], cmap="viridis",
                              norm=LogNorm(vmin=top * 10.0 ** -PSD_DECADES, vmax=top), edgecolors="none")
        ax_psd.add_collection(mesh)
        ax_psd.set_ylim(float(np.min(shown[:, 2])), float(np.max(shown[:, 3])))
        bar = fig.colorbar(mesh, ax=ax_psd)
        bar.set_label(f"dN/dlog10(d) ({NUMBER_UNIT})")
    else:
        _not_computed(ax_psd, "no populated section")

    # Totals.
    total, mean_d = run.totals()
    ax_totals.set_title("population")
    ax_totals.plot(run.ends, total, color="C0")
    ax_totals.set_yscale("log")
    ax_totals.set_ylabel(f"total number N ({NUMBER_UNIT})", color="C0")
    ax_mean_d = ax_totals.twinx()
    ax_mean_d.plot(run.ends, mean_d, color="C3")
    ax_mean_d.set_ylabel("number-mean diameter (m)", color="C3")
    _flat_limits(ax_totals, total, log=True)
    _flat_limits(ax_mean_d, mean_d)
    ax_totals.legend([Line2D([], [], color="C0"), Line2D([], [], color="C3")],
                     ["total number", "number-mean diameter"], loc="best", fontsize=9)

    off = "not computed: surface kinetics off" if not run.surface_kinetics else "not recorded"

    # CNT growth.
    ax_cnt.set_title("CNT growth (sections with more than one agglomerate)")
    steps_w, walls = run.section_average(run.walls)
    steps_l, lengths = run.section_average(run.carbon_data, offset=run.n)
    if len(steps_w) or len(steps_l):
        ax_cnt.plot(run.ends[steps_l], lengths, color="C2")
        ax_cnt.set_ylabel("mean CNT length (m)", color="C2")
        ax_walls = ax_cnt.twinx()
        ax_walls.plot(run.ends[steps_w], walls, color="C1")
        ax_walls.axhline(2.0, color="C1", lw=0.8, ls=":")
        ax_walls.set_ylabel("mean wall number (-)", color="C1")
        ax_cnt.legend([Line2D([], [], color="C2"), Line2D([], [], color="C1"),
                       Line2D([], [], color="C1", ls=":", lw=0.8)],
                      ["mean CNT length", "mean wall number", "wall number 2"], loc="best", fontsize=9)
    else:
        ax_cnt.set_ylabel("mean CNT length (m)")
        _not_computed(ax_cnt, off)

    # Carbon budget.
    ax_carbon.set_title("carbon fractions")
    ax_carbon.set_ylabel("fraction of the particle carbon (-)")
    if run.composition:
        steps_c = np.array([k for k, _ in run.composition], dtype=int)
        for (key, label), style in zip(CARBON_FRACTIONS, ("-", "--", "-", "-")):
            ax_carbon.plot(run.ends[steps_c], [float(entry[key]) for _, entry in run.composition], label=label,
                           ls=style, lw=2.5 if style == "-" and key == "cnt_percent" else 1.5)
        ax_carbon.legend(loc="best", fontsize=9)
    else:
        _not_computed(ax_carbon, off)

    # Gas temperature.
    temperature, source = run.gas_temperature
    ax_temp.set_title(f"gas temperature ({source})")
    ax_temp.set_ylabel("gas temperature (K)")
    if temperature is not None:
        ax_temp.plot(np.append(run.starts, z_end), np.append(temperature, temperature[-1]), color="C3",
                     drawstyle="steps-post")
        _flat_limits(ax_temp, temperature)
    else:
        _not_computed(ax_temp, "temperature profile not available")

    # Gas composition.
    ax_species.set_ylabel("mole fraction (-)")
    _draw_species(ax_species, run, z_end)

    for ax in axes[-1]:
        ax.set_xlabel(POSITION_LABEL)
    for ax in axes.flat:
        ax.set_xlim(0.0, z_end)

    if title is None:
        title = "run report"
        if run.surface_kinetics_type and run.surface_kinetics:
            title += f" - {run.surface_kinetics_type}"
        if not run.surface_kinetics:
            title += " - surface kinetics off"
    if z_end < run.reactor_length:
        title += f"\nstopped early at z = {z_end:.4g} m of reactor_length = {run.reactor_length:.4g} m"
    fig.suptitle(title)
    if path is not None:
        fig.savefig(path, dpi=dpi)
    return fig


def _draw_species(ax, run, z_end):
    ax.set_yscale("log")
    inlet, outlet = run.inlet_gas, run.outlet_gas
    if inlet is None and outlet is None:
        ax.set_title("gas composition")
        _not_computed(ax, "gas composition not recorded")
        return
    largest = (outlet or inlet)[1]
    names = ["C2H2", "H2"] + [s for s in largest if s not in ("C2H2", "H2")][:3]
    points = [(0.0, inlet, "o", "inlet")]
    if outlet is not None:
        points.append((z_end, outlet, "s", "outlet"))
    ax.set_title(run.gas_note)
    found = []
    for c, name in enumerate(names):
        for z, gas, marker, _ in points:
            value = gas[0].get(name) if gas is not None else None
            if value is not None and value > 0:
                found.append((c, name, z, marker, float(value)))
    handles = []
    if found:
        # Trace species (1e-40 and below) would squash the main ones into a corner.
        top = max(f[4] for f in found)
        floor = top * 1e-12
        shown = [f for f in found if f[4] >= floor]
        for c, name, z, marker, value in shown:
            ax.plot([z], [value], marker=marker, color=f"C{c}", ls="none", ms=8, clip_on=False)
        ax.set_ylim(min(f[4] for f in shown) / 3, top * 3)
        for c, name in enumerate(names):
            if any(f[1] == name for f in shown):
                handles.append((Line2D([], [], color=f"C{c}", marker="o", ls="none"), name))
    handles += [(Line2D([], [], color="0.3", marker=m, ls="none", mfc="none"), label)
                for _, gas, m, label in points if gas is not None]
    if handles:
        ax.legend(*zip(*handles), loc="best", fontsize=9, ncol=2)


def _flat_limits(ax, values, log=False):
    """Keeps a quantity that hardly changes drawn flat instead of magnifying its last digits."""
    values = np.asarray(values, dtype=float)
    values = values[np.isfinite(values)]
    if len(values) == 0:
        return
    low, high = float(np.min(values)), float(np.max(values))
    middle = 0.5 * (low + high)
    if middle == 0 or (high - low) > 1e-3 * abs(middle):
        return
    if log:
        ax.set_ylim(middle / 1.5, middle * 1.5)
    else:
        ax.ticklabel_format(axis="y", useOffset=False)
        ax.set_ylim(middle - 0.05 * abs(middle), middle + 0.05 * abs(middle))


def run_report_from_files(npz_path, path=None, summary_path=None):
    """A run report from the files `velmora run` writes (histories NPZ and summary JSON).

    The histories and positions come from the NPZ; the model rebuilt from the
    summary's keywords supplies what a run does not store (section count,
    surface-kinetics switch, temperature profile, inlet gas).  The outlet gas
    is not stored, so the composition panel shows the inlet only.
    """
    if summary_path is None:
        base = npz_path[: -len("_histories.npz")] if npz_path.endswith("_histories.npz") else os.path.splitext(npz_path)[0]
        summary_path = base + "_summary.json"
    with open(summary_path) as handle:
        summary = json.load(handle)
    from velmora.core.growth_simulator import MovingSectionalModel

    model = MovingSectionalModel(**summary.get("Velmora_kwargs", {}))
    with np.load(npz_path) as data:
        arrays = {name: data[name] for name in data.files}
    if "states" not in arrays or len(arrays["states"]) == 0:
        raise ValueError(f"{npz_path} holds no completed step")
    saved = _SavedRun(model, arrays)
    return run_report(saved, path, positions=arrays["z"])


class _SavedRun:
    """A solved-model look-alike: histories from a run's NPZ, the rest from a freshly built model."""

    def __init__(self, model, arrays):
        self._model = model
        self._arrays = arrays

    def _history(self, name):
        return list(self._arrays[name]) if name in self._arrays else []

    def __getattr__(self, name):
        arrays = self.__dict__["_arrays"]
        if name == "y_saved":
            return self._history("y_saved")
        if name == "kn_saved":
            return [{"time": t} for t in arrays.get("kn_saved.time", arrays["z"])]
        if name == "carbon_composition_saved":
            keys = [key for key, _ in CARBON_FRACTIONS]
            columns = [arrays.get("carbon_composition_saved." + key) for key in keys]
            if any(c is None for c in columns):
                return []
            return [dict(zip(keys, row)) for row in zip(*columns)]
        if name in ("wall_number_section_saved", "carbon_data_saved", "temp_gas_saved"):
            return self._history(name)
        if name == "AA12":
            raise AttributeError(name)  # the outlet gas is not stored with a run
        return getattr(self.__dict__["_model"], name)

    def temp_vel(self, z):
        self._model.temp_vel(z)

    def __setattr__(self, name, value):
        if name.startswith("_"):
            object.__setattr__(self, name, value)
        else:
            setattr(self._model, name, value)


# ----------------------------------------------------------------------------
# Phase map of a study
# ----------------------------------------------------------------------------

NO_VALID = "No valid sections found"


def phase_map(results, path=None, *, log=False, vmax=None, wall_threshold=2.0, dpi=110, **classifier_kwargs):
    """Map of the mean CNT length of a P&T study, following its data.

    ``results`` is a results CSV (or its DataFrame).  The colour scale runs
    from the smallest to the largest L_cnt_avg of the successful runs (linear,
    or logarithmic with ``log``); ``vmax`` caps it.  Every grid point is
    marked: successful runs by their wall-number class, "No valid sections
    found" runs and other failures by their own markers.  The classifier
    (keyword arguments as for ``_Main_ML_2D``) is trained on the successful
    runs, labelled 1 below ``wall_threshold``, and its boundary is drawn when
    both classes occur; otherwise the title says why there is none.
    Returns the Figure.
    """
    import pandas as pd

    frame = results if isinstance(results, pd.DataFrame) else pd.read_csv(results)
    needed = ["P_parameter", "T_parameter", "L_cnt_avg", "wall_number_avg"]
    missing = [c for c in needed if c not in frame.columns]
    if missing:
        raise ValueError(f"the phase map needs a P&T results file; missing columns: {', '.join(missing)}")
    if vmax is not None and not (vmax > 0):
        raise ValueError(f"vmax must be positive, got {vmax}")
    p = frame["P_parameter"].to_numpy(float)
    t = frame["T_parameter"].to_numpy(float)
    length = pd.to_numeric(frame["L_cnt_avg"], errors="coerce").to_numpy(float)
    walls = pd.to_numeric(frame["wall_number_avg"], errors="coerce").to_numpy(float)
    column = frame["error_message"] if "error_message" in frame else [None] * len(frame)
    messages = np.array(["" if m is None or (isinstance(m, float) and math.isnan(m)) else str(m) for m in column])
    ok = np.isfinite(length) & np.isfinite(walls)
    coloured = ok & (length > 0) if log else ok  # a logarithmic scale has no place for zero lengths
    no_valid = ~ok & (messages == NO_VALID)
    failed = ~ok & ~no_valid

    fig = Figure(figsize=(9, 7), layout="constrained")
    ax = fig.add_subplot()
    ax.set_xlabel("inlet C2H2 mole fraction P (-)")
    ax.set_ylabel("temperature T (K)")

    norm = None
    if np.any(coloured):
        low, high = float(np.min(length[coloured])), float(np.max(length[coloured]))
        if vmax is not None:
            high = float(vmax)
            low = min(low, high / 10 if log else 0.0) if low >= high else low
        if high <= low:  # one value: widen so the scale has an extent
            low, high = (low / 2, low * 2) if log else (low - abs(low) * 0.5 - 1e-30, high + abs(high) * 0.5 + 1e-30)
        norm = LogNorm(vmin=low, vmax=high) if log else Normalize(vmin=low, vmax=high)
        extend = "max" if vmax is not None and np.max(length[coloured]) > vmax else "neither"
        mappable = _filled_map(ax, p[coloured], t[coloured], length[coloured], norm, log, extend)
        bar = fig.colorbar(mappable, ax=ax, extend=extend)
        bar.set_label("mean CNT length L_cnt_avg (m)")
        if log:
            decades = range(math.ceil(math.log10(norm.vmin)), math.floor(math.log10(norm.vmax)) + 1)
            bar.set_ticks([10.0 ** k for k in decades] or [norm.vmin, norm.vmax])
            bar.ax.yaxis.set_major_formatter(LogFormatterSciNotation())
            bar.ax.yaxis.set_minor_formatter(NullFormatter())

    below = ok & (walls < wall_threshold)
    above = ok & ~below
    marks = [
        (below, dict(marker="o", facecolor="cyan", edgecolor="black"), f"wall number < {wall_threshold:g}"),
        (above, dict(marker="^", facecolor="white", edgecolor="black"), f"wall number >= {wall_threshold:g}"),
        (no_valid, dict(marker="X", facecolor="red", edgecolor="black"), NO_VALID),
        (failed, dict(marker="D", facecolor="magenta", edgecolor="black"), "failed run"),
    ]
    for chosen, style, label in marks:
        if np.any(chosen):
            ax.scatter(p[chosen], t[chosen], s=60, linewidths=1.0, zorder=4,
                       label=f"{label} ({int(np.sum(chosen))})", **style)

    title = _boundary(ax, p, t, ok, below, above, wall_threshold, classifier_kwargs)
    ax.set_title(title, fontsize=11)
    ax.legend(loc="upper left", bbox_to_anchor=(0.0, -0.1), ncol=3, fontsize=9, frameon=False)
    pad_x = 0.03 * (np.ptp(p) or abs(p[0]) or 1.0)
    pad_y = 0.03 * (np.ptp(t) or abs(t[0]) or 1.0)
    ax.set_xlim(np.min(p) - pad_x, np.max(p) + pad_x)
    ax.set_ylim(np.min(t) - pad_y, np.max(t) + pad_y)
    if path is not None:
        fig.savefig(path, dpi=dpi)
    return fig


def _filled_map(ax, p, t, value, norm, log, extend):
    """Filled contours of the successful runs (linear interpolation inside their hull), else coloured points."""
    field = np.log10(value) if log else value
    if len(p) >= 3 and np.ptp(p) > 0 and np.ptp(t) > 0:
        from scipy.interpolate import griddata

        pi, ti = np.meshgrid(np.linspace(p.min(), p.max(), 120), np.linspace(t.min(), t.max(), 120))
        try:
            zi = griddata((p, t), field, (pi, ti), method="linear")
        except Exception:  # collinear points: no triangulation
            zi = None
        if zi is not None and np.any(np.isfinite(zi)):
            zi = 10 ** zi if log else zi
            levels = (np.logspace(np.log10(norm.vmin), np.log10(norm.vmax), 21) if log
                      else np.linspace(norm.vmin, norm.vmax, 21))
            filled = ax.contourf(pi, ti, np.ma.masked_invalid(zi), levels=levels, norm=norm, cmap="inferno",
                                 extend=extend)
            return filled
    return ax.scatter(p, t, c=value, norm=norm, cmap="inferno", s=200, marker="s", zorder=2)


def _boundary(ax, p, t, ok, below, above, threshold, classifier_kwargs):
    """Draws the learned boundary when both classes occur; returns the title."""
    runs = int(np.sum(ok))
    head = "mean CNT length"
    if runs == 0:
        return f"{head}: no successful run, no phase boundary"
    if not np.any(below):
        return f"{head}: no phase boundary (all {runs} successful runs have wall number >= {threshold:g})"
    if not np.any(above):
        return f"{head}: no phase boundary (all {runs} successful runs have wall number < {threshold:g})"
    from velmora.ml.phase_boundary_learner import _Main_ML_2D

    X = np.column_stack((p[ok], t[ok]))
    y = below[ok].astype(int)
    X1, X2, P = _Main_ML_2D(**classifier_kwargs).train(X, y)
    P = np.asarray(P, dtype=float)
    if not (np.nanmin(P) < 0 < np.nanmax(P)):
        return f"{head}: classifier found no boundary between the wall-number classes"
    ax.contour(X1, X2, P, levels=[0.0], colors="white", linewidths=3, zorder=3)
    ax.contour(X1, X2, P, levels=[0.0], colors="black", linewidths=1, linestyles="--", zorder=3)
    ax.add_line(Line2D([], [], color="black", lw=1.5, ls="--", label=f"learned boundary, wall number {threshold:g}"))
    return f"{head} and the learned phase boundary at wall number {threshold:g}"


def boundary_map(wrapper, path=None, *, conditions="", dpi=110):
    """Map of the last boundary study of ``wrapper`` (``Mapping_Wrapper.run_boundary_study``).

    The surrogate's wall-number field on a logarithmic colour scale, the
    boundary at the study's threshold with its 95 % band, and every run marked
    by its class and numbered by its round. ``conditions`` is a line of the
    settings the runs share, for the title. Drawn by ``velmora._boundary_map``;
    returns the Figure.
    """
    from velmora import _boundary_map

    state = getattr(wrapper, "boundary_state", None)
    if state is None:
        raise ValueError("No boundary study has been run yet. Please run run_boundary_study() first.")
    return _boundary_map.draw(state, wrapper.results, path, conditions=conditions, dpi=dpi)
