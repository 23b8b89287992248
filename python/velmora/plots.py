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
from matplotlib.ticker import FuncFormatter, NullFormatter

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
        # Live sections: n - 2 once a run is initialised (a model rebuilt from
        # saved files has not been, and reads 0).
        self.isec = int(model.isec) or max(self.n - 2, 0)
        self.surface_kinetics = bool(model.surface_kinetics_solver_activated)
        self.surface_kinetics_type = str(getattr(model, "surface_kinetics_type", ""))
        self.walls = self._aligned(model.wall_number_section_saved)
        self.carbon_data = self._aligned(model.carbon_data_saved)
        self.mobility_diameters = self._aligned(model.xdm_saved) if _has(model, "xdm_saved") else []
        self.composition = self._aligned(model.carbon_composition_saved)
        self.fixed_temperature = getattr(model, "wrapper_mapping_temp", None)
        self.conditions = _run_conditions(model, self.fixed_temperature)
        self.gas_temperature = self._gas_temperature(model)
        # One entry per step of the last solve (older saved runs have none).
        gas = list(getattr(model, "gas_composition_saved", []) or [])
        self.gas_history = gas[-steps:] if len(gas) >= steps else []
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
        if self.fixed_temperature is not None:
            # A study's T (or `velmora run --temperature`) holds the whole reactor there.
            return (np.full(len(self.states), float(self.fixed_temperature)),
                    f"fixed at {float(self.fixed_temperature):.6g} K, wrapper_mapping_temp")
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

    def record_summaries(self):
        """The four summaries of a study's record, computed at every step that has wall numbers.

        As the record takes them from the final state: over the sections
        0 .. isec-1 whose wall number is above 1, N_total is their number
        (1/kg gas) and dm_avg, L_cnt_avg, wall_number_avg are averages weighted
        by it.  Returns {key: (step indices, values)}; the last value of each is
        the record's.
        """
        carbon = dict(self.carbon_data)
        mobility = dict(self.mobility_diameters)
        out = {key: ([], []) for key in ("N_total", "dm_avg", "L_cnt_avg", "wall_number_avg")}
        for k, walls in self.walls:
            walls = np.asarray(walls, dtype=float)
            live = min(self.isec, len(walls), self.n)
            valid = np.flatnonzero(walls[:live] > 1.0)
            if len(valid) == 0:
                continue
            number = self.states[k][valid]
            total = float(np.sum(number))
            values = {"N_total": total, "wall_number_avg": float(np.sum(walls[valid] * number)) / total}
            if k in carbon:
                values["L_cnt_avg"] = float(np.sum(np.asarray(carbon[k], float)[self.n + valid] * number)) / total
            if k in mobility:
                values["dm_avg"] = float(np.sum(np.asarray(mobility[k], float)[valid] * number)) / total
            for key, value in values.items():
                out[key][0].append(k)
                out[key][1].append(value)
        return {key: (np.array(steps, dtype=int), np.array(values)) for key, (steps, values) in out.items()}

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


def _run_conditions(model, fixed_temperature):
    """The conditions a run used, as short phrases for a title."""
    words = []
    element = getattr(model, "catalsyt_element", None)
    if element:
        words.append(f"{element} catalyst")
    if fixed_temperature is not None:
        words.append(f"T fixed at {float(fixed_temperature):.6g} K")
    elif _has(model, "paper_name_for_temperature_history"):
        words.append(f"temperature profile {model.paper_name_for_temperature_history}")
    feed = str(getattr(model, "feedstock_gas_name_dominant_current", "C2H2"))
    first = getattr(model, "AA12_initial", None) if _has(model, "AA12_initial") else None
    inlet = first if isinstance(first, dict) and feed in first else getattr(model, "gas_initial_composition", {})
    if isinstance(inlet, dict) and feed in inlet:
        words.append(f"inlet {feed} {float(inlet[feed]):.3g}")
    words.append(f"reactor {float(model.reactor_length):.4g} m")
    if _has(model, "dp_initial_premade"):
        words.append(f"initial d {float(model.dp_initial_premade):.3g} m")
    if bool(model.surface_kinetics_solver_activated):
        words.append(_surface_model_name(getattr(model, "surface_kinetics_type", "")))
    else:
        words.append("surface kinetics off")
    return words


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


def run_report(model, path=None, *, positions=None, title=None, reason=None, dpi=110):
    """Draws one figure of a solved model and writes it to ``path`` (format by extension).

    Panels, all over the position along the reactor (m): the particle size
    distribution dN/dlog10(d) over (position, volume-equivalent diameter) on
    a logarithmic colour scale; total number and number-mean diameter; mean
    CNT length and wall number; the carbon fractions; the gas temperature and
    the main species' mole fractions.  Panels that need surface kinetics say
    "not computed" when they were off.  ``positions`` are the step end
    positions returned by ``solve()``; by default they are read from the
    model's histories.  The title names the conditions the run used (catalyst,
    temperature, inlet feedstock, reactor length, initial diameter, surface
    model) unless ``title`` replaces it; ``reason`` adds a line saying why this
    run is shown.  Returns the Figure.
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

    # Totals: every section, and the sections the run's summary counts.
    total, mean_d = run.totals()
    summaries = run.record_summaries()
    ax_totals.set_title("population")
    ax_totals.plot(run.ends, total, color="C0", label=f"all agglomerates ({NUMBER_UNIT})")
    steps_n, n_total = summaries["N_total"]
    if len(steps_n):
        ax_totals.plot(run.ends[steps_n], n_total, color="C0", ls="--",
                       label=f"N_total: sections with wall number > 1 ({NUMBER_UNIT})")
    ax_totals.set_yscale("log")
    ax_totals.set_ylabel(f"number of agglomerates ({NUMBER_UNIT})", color="C0")
    ax_mean_d = ax_totals.twinx()
    ax_mean_d.plot(run.ends, mean_d, color="C3", label="number-mean volume-equivalent diameter, all (m)")
    steps_d, dm_avg = summaries["dm_avg"]
    if len(steps_d):
        ax_mean_d.plot(run.ends[steps_d], dm_avg, color="C3", ls="--",
                       label="dm_avg: mean mobility diameter, wall number > 1 (m)")
    ax_mean_d.set_ylabel("diameter (m)", color="C3")
    _flat_limits(ax_totals, total if not len(steps_n) else np.concatenate((total, n_total)), log=True)
    diameters = np.concatenate((mean_d, dm_avg)) if len(steps_d) else mean_d
    positive = diameters[np.isfinite(diameters) & (diameters > 0)]
    if len(positive) and np.max(positive) > 10 * np.min(positive):
        ax_mean_d.set_yscale("log")  # mobility diameters of large agglomerates lie decades above
    else:
        _flat_limits(ax_mean_d, diameters)
    handles = ax_totals.get_lines() + ax_mean_d.get_lines()
    ax_totals.legend(handles, [h.get_label() for h in handles], loc="best", fontsize=8)

    off = "not computed: surface kinetics off" if not run.surface_kinetics else "not recorded"

    # CNT growth: the summaries a study records, at every step.
    ax_cnt.set_title("CNT growth: number-weighted over sections with wall number > 1")
    steps_w, walls = summaries["wall_number_avg"]
    steps_l, lengths = summaries["L_cnt_avg"]
    if len(steps_w) or len(steps_l):
        ax_cnt.plot(run.ends[steps_l], lengths, color="C2", label="L_cnt_avg, mean CNT length (m)")
        ax_cnt.set_ylabel("L_cnt_avg, mean CNT length (m)", color="C2")
        ax_walls = ax_cnt.twinx()
        ax_walls.plot(run.ends[steps_w], walls, color="C1", label="wall_number_avg, mean wall number (-)")
        ax_walls.axhline(2.0, color="C1", lw=0.8, ls=":", label="wall number 2")
        ax_walls.set_ylabel("wall_number_avg, mean wall number (-)", color="C1")
        handles = ax_cnt.get_lines() + ax_walls.get_lines()
        ax_cnt.legend(handles, [h.get_label() for h in handles], loc="best", fontsize=9)
        ends = [f"{key} = {values[-1]:.4g} {unit}".rstrip(" -") for key, unit in
                (("L_cnt_avg", "m"), ("wall_number_avg", "-"), ("N_total", NUMBER_UNIT), ("dm_avg", "m"))
                for values in [summaries[key][1]] if len(values)]
        ax_cnt.text(0.98, 0.03, "at the outlet (as summarised):\n" + ",\n".join(ends), transform=ax_cnt.transAxes,
                    ha="right", va="bottom", fontsize=8, color="0.2",
                    bbox=dict(facecolor="white", edgecolor="0.7", alpha=0.85))
    else:
        ax_cnt.set_ylabel("L_cnt_avg, mean CNT length (m)")
        if run.walls:
            _not_computed(ax_cnt, "single-walled: no section above wall number 1 at any step")
        else:
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
        title = "run report: " + ", ".join(run.conditions)
    if reason:
        title += f"\n{reason}"
    if z_end < run.reactor_length:
        title += f"\nstopped early at z = {z_end:.4g} m of reactor_length = {run.reactor_length:.4g} m"
    fig.suptitle(title)
    if path is not None:
        save_figure(fig, path, dpi)
    return fig


def _draw_species(ax, run, z_end):
    ax.set_yscale("log")
    if run.gas_history:
        _draw_species_history(ax, run)
        return
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


# Mole fractions this far below the largest one are left out of the gas panel.
GAS_DECADES = 12


def _draw_species_history(ax, run):
    """The main species' mole fractions at the end of every step (gas_composition_saved)."""
    names = list(run.gas_history[0])
    values = {name: np.array([float(entry.get(name, np.nan)) for entry in run.gas_history]) for name in names}
    top = max((float(np.nanmax(v)) for v in values.values() if np.any(v > 0)), default=0.0)
    note = "" if run.surface_kinetics else " (not advanced without surface kinetics)"
    ax.set_title("gas composition along the reactor" + note)
    if top <= 0:
        _not_computed(ax, "no species above zero")
        return
    floor = top * 10.0 ** -GAS_DECADES
    shown = []
    for c, name in enumerate(names):
        v = values[name]
        if np.nanmax(v) >= floor:
            ax.plot(run.ends, np.where(v > 0, v, np.nan), color=f"C{c % 10}", label=name,
                    ls="-" if c < 10 else "--")
            shown.append(v[v > 0])
    low = max(min(float(np.min(v)) for v in shown if len(v)), floor)
    ax.set_ylim(low / 3, top * 3)
    ax.legend(loc="best", fontsize=8, ncol=2)


# Metadata keys that would stamp the time of writing into a file of that format.
_DATE_KEYS = {"pdf": "CreationDate", "svg": "Date", "svgz": "Date", "ps": "CreationDate", "eps": "CreationDate"}


def save_figure(fig, path, dpi):
    """Writes the figure (format by extension) without a time stamp, so the same
    call writes the same file."""
    import matplotlib

    key = _DATE_KEYS.get(os.path.splitext(str(path))[1].lstrip(".").lower())
    # A fixed salt makes the SVG element ids the same from call to call.
    with matplotlib.rc_context({"svg.hashsalt": "velmora"}):
        fig.savefig(path, dpi=dpi, **({"metadata": {key: None}} if key else {}))


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


def run_report_from_files(npz_path, path=None, summary_path=None, **report_options):
    """A run report from the files `velmora run` writes (histories NPZ and summary JSON).

    The histories and positions come from the NPZ; the model rebuilt from the
    summary's keywords supplies what a run does not store (section count,
    surface-kinetics switch, temperature profile or the fixed temperature the
    run was held at, inlet gas).  The gas composition comes from the run's
    per-step record.
    """
    if summary_path is None:
        base = npz_path[: -len("_histories.npz")] if npz_path.endswith("_histories.npz") else os.path.splitext(npz_path)[0]
        summary_path = base + "_summary.json"
    with open(summary_path) as handle:
        summary = json.load(handle)
    from velmora.core.growth_simulator import MovingSectionalModel

    model = MovingSectionalModel(**summary.get("Velmora_kwargs", {}))
    if summary.get("temperature") is not None:
        # The run was held at one temperature, as `velmora run --temperature` does.
        model.wrapper_mapping_temp = float(summary["temperature"])
        model.temp = float(summary["temperature"])
    with np.load(npz_path) as data:
        arrays = {name: data[name] for name in data.files}
    if "states" not in arrays or len(arrays["states"]) == 0:
        raise ValueError(f"{npz_path} holds no completed step")
    saved = _SavedRun(model, arrays)
    return run_report(saved, path, positions=arrays["z"], **report_options)


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
        if name in ("wall_number_section_saved", "carbon_data_saved", "temp_gas_saved", "xdm_saved"):
            return self._history(name)
        if name == "gas_composition_saved":
            prefix = "gas_composition_saved."
            columns = {key[len(prefix):]: arrays[key] for key in arrays if key.startswith(prefix)}
            if not columns:
                return []
            return [dict(zip(columns, row)) for row in zip(*columns.values())]
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

# The two layers every map of a study shares, drawn alike by phase_map and by
# the study's own visualiser (Mapping_Wrapper.parametricstudyvisualizer, with
# its fixed settings): the filled contours of the mean CNT length and the
# learned boundary, the zero level of the classifier's decision value.


def length_contours(ax, p, t, length, **style):
    """Filled contours of the mean CNT length over the plane of two study parameters in the maps' colours."""
    return ax.contourf(p, t, length, cmap="inferno", **style)


def boundary_line(ax, p, t, decision, **style):
    """The learned phase boundary as a thick white line."""
    return ax.contour(p, t, decision, levels=[0.0], colors="white", linewidths=3, **style)


# What each study key is, as the axes and titles name it: (name, unit).
STUDY_KEYS = {
    "P": ("inlet C2H2 mole fraction P", "-"),
    "T": ("temperature T", "K"),
    "D": ("initial particle diameter D", "m"),
    "L": ("reactor length L", "m"),
}

# The colour scale turns logarithmic by itself when the coloured quantity
# spans more than this many decades (a linear scale then shows one colour
# over most of the map).
AUTO_LOG_DECADES = 2.0

# Seed of the classifier's initial weights on a map, so that the same call
# draws the same boundary; the caller's numpy random state is left as it was.
CLASSIFIER_SEED = 20240601


def study_axes(frame):
    """The two varied keys of a results table, in column order (first drawn horizontally)."""
    keys = [c[: -len("_parameter")] for c in frame.columns
            if c.endswith("_parameter") and c[: -len("_parameter")] in STUDY_KEYS]
    if len(keys) != 2:
        found = ", ".join(c for c in frame.columns if c.endswith("_parameter")) or "none"
        raise ValueError("a results file of a study has two varied columns among P_parameter, T_parameter, "
                         f"D_parameter and L_parameter; found {found}")
    return keys


def study_constants(frame):
    """'L = 0.1 m' for each <key>_parameter_constant column (its first value)."""
    held = []
    for column in frame.columns:
        key = column[: -len("_parameter_constant")] if column.endswith("_parameter_constant") else None
        if key in STUDY_KEYS and len(frame[column]):
            value = frame[column].iloc[0]
            unit = STUDY_KEYS[key][1]
            held.append(f"{key} = {value:.4g}" + ("" if unit == "-" else f" {unit}"))
    return held


def model_conditions(kwargs):
    """The run conditions a figure names, from the keywords the runs were built with.

    The catalyst and the surface model always (their defaults when not given),
    then every other model keyword whose value differs from its default, as
    key=value (keys the model does not read, such as the classifier's, are left out).
    """
    from velmora import _parameters

    defaults = {name: row["default"] for name, row in _parameters.model_keywords().items()}
    kwargs = dict(kwargs or {})
    known = {k: v for k, v in kwargs.items() if k in defaults
             and (k in ("catalsyt_element", "surface_kinetics_type") or v != defaults[k])}
    element = known.pop("catalsyt_element", defaults.get("catalsyt_element"))
    surface = known.pop("surface_kinetics_type", defaults.get("surface_kinetics_type"))
    words = [f"{element} catalyst", _surface_model_name(surface)]
    words += [f"{k}={v:.4g}" if isinstance(v, float) else f"{k}={v}" for k, v in known.items()]
    return words


def _surface_model_name(name):
    name = str(name)
    if name.startswith("Surface_Kinetics_"):
        parts = name[len("Surface_Kinetics_"):].split("_")
        if len(parts) >= 3 and parts[1] == "etal":
            return f"surface model {parts[0]} et al. {parts[2]}"
    return f"surface model {name}"


def recorded_conditions(results_path):
    """The run conditions of a study from the settings file beside its results file
    (<results name>.json, with the model keywords its runs got), or None when there is none."""
    import json

    settings_path = os.path.splitext(str(results_path))[0] + ".json"
    try:
        with open(settings_path, encoding="utf-8") as handle:
            settings = json.load(handle)
    except (OSError, ValueError):
        return None
    keywords = settings.get("model_keywords") if isinstance(settings, dict) else None
    return model_conditions(keywords) if isinstance(keywords, dict) else None


def _colour_scale(values, scale):
    """'log' or 'linear': 'auto' is logarithmic when the positive values span more than AUTO_LOG_DECADES."""
    if scale in ("log", "linear"):
        return scale
    positive = values[np.isfinite(values) & (values > 0)]
    if len(positive) >= 2 and np.all(values[np.isfinite(values)] > 0):
        if math.log10(float(np.max(positive)) / float(np.min(positive))) > AUTO_LOG_DECADES:
            return "log"
    return "linear"


def _decade_ticks(low, high):
    """Ticks of a logarithmic colour bar: every decade inside [low, high]; with fewer
    than three decades inside, also 2 and 5 times each decade."""
    decades = [10.0 ** k for k in range(math.floor(math.log10(low)) - 1, math.ceil(math.log10(high)) + 2)]
    ticks = [v for v in decades if low * (1 - 1e-9) <= v <= high * (1 + 1e-9)]
    if len(ticks) < 3:
        ticks = sorted(m * v for v in decades for m in (1, 2, 5) if low * (1 - 1e-9) <= m * v <= high * (1 + 1e-9))
    return ticks or [low, high]


def _power_of_ten_label(value, _position=None):
    """'$10^{-7}$', '$2\\times10^{-7}$': every tick of a logarithmic colour bar labelled."""
    if not (value > 0):
        return ""
    exponent = math.floor(math.log10(value) + 1e-9)
    mantissa = round(value / 10.0 ** exponent, 6)
    if mantissa == 1:
        return f"$10^{{{exponent}}}$"
    return f"${mantissa:g}\\times10^{{{exponent}}}$"


def phase_map(results, path=None, *, log=None, vmax=None, wall_threshold=2.0, dpi=110, conditions=None,
              seed=CLASSIFIER_SEED, **classifier_kwargs):
    """Map of the mean CNT length of a study over its two varied parameters, following its data.

    ``results`` is a results CSV (or its DataFrame) of any pair of P, T, D, L;
    the first varied column is drawn horizontally.  The colour scale runs from
    the smallest to the largest L_cnt_avg of the successful runs; ``log`` True
    or False forces a logarithmic or linear scale, None (the default) takes the
    logarithmic one when the lengths span more than two decades.  ``vmax``
    caps it.  Every grid point is marked: successful runs by their wall-number
    class, single-walled runs ("No valid sections found", every section at
    wall number 1) as runs below the threshold, failures by their own marker.
    The classifier (keyword arguments as for ``_Main_ML_2D``, its initial
    weights drawn from ``seed``) is trained on the successful and single-walled
    runs, labelled 1 below ``wall_threshold``, and its boundary is drawn when
    both classes occur.  The title names the constants of the study (columns
    <key>_parameter_constant) and ``conditions`` (a list of words, e.g. from
    ``model_conditions``; by default those of the settings file beside a
    results file, when the study wrote one).  Returns the Figure.
    """
    import pandas as pd

    from velmora.core.parameter_sweep import outcome_label, run_outcome

    frame = results if isinstance(results, pd.DataFrame) else pd.read_csv(results)
    if conditions is None and not isinstance(results, pd.DataFrame):
        conditions = recorded_conditions(results)
    missing = [c for c in ("status", "L_cnt_avg", "wall_number_avg") if c not in frame.columns]
    if missing:
        raise ValueError(f"the map needs a study's results file; missing columns: {', '.join(missing)}")
    x_key, y_key = study_axes(frame)
    if vmax is not None and not (vmax > 0):
        raise ValueError(f"vmax must be positive, got {vmax}")
    x = frame[f"{x_key}_parameter"].to_numpy(float)
    y = frame[f"{y_key}_parameter"].to_numpy(float)
    length = pd.to_numeric(frame["L_cnt_avg"], errors="coerce").to_numpy(float)
    walls = pd.to_numeric(frame["wall_number_avg"], errors="coerce").to_numpy(float)
    records = [{"status": row.get("status"), "error_message": row.get("error_message"),
                "wall_number_avg": None if not np.isfinite(w) else float(w)}
               for row, w in zip(frame.to_dict("records"), walls)]
    outcomes = np.array([run_outcome(r) for r in records])
    labels = np.array([outcome_label(r, wall_threshold) for r in records], dtype=int)
    ok = (outcomes == "succeeded") & np.isfinite(length) & np.isfinite(walls)
    single = outcomes == "single-walled"
    failed = ~ok & ~single

    scale = _colour_scale(length[ok], "log" if log is True else "linear" if log is False else "auto")
    coloured = ok & (length > 0) if scale == "log" else ok  # a logarithmic scale has no place for zero lengths

    fig = Figure(figsize=(9, 7.5), layout="constrained")
    ax = fig.add_subplot()
    ax.set_xlabel(_axis_label(x_key))
    ax.set_ylabel(_axis_label(y_key))

    if np.any(coloured):
        low, high = float(np.min(length[coloured])), float(np.max(length[coloured]))
        if vmax is not None:
            high = float(vmax)
            low = min(low, high / 10 if scale == "log" else 0.0) if low >= high else low
        if high <= low:  # one value: widen so the scale has an extent
            low, high = (low / 2, low * 2) if scale == "log" else (low - abs(low) * 0.5 - 1e-30,
                                                                  high + abs(high) * 0.5 + 1e-30)
        norm = LogNorm(vmin=low, vmax=high) if scale == "log" else Normalize(vmin=low, vmax=high)
        extend = "max" if vmax is not None and np.max(length[coloured]) > vmax else "neither"
        mappable = _filled_map(ax, x[coloured], y[coloured], length[coloured], norm, scale == "log", extend)
        bar = fig.colorbar(mappable, ax=ax, extend=extend)
        bar.set_label("mean CNT length L_cnt_avg (m)" + (", logarithmic scale" if scale == "log" else ""))
        if scale == "log":
            bar.set_ticks(_decade_ticks(norm.vmin, norm.vmax))
            bar.ax.yaxis.set_major_formatter(FuncFormatter(_power_of_ten_label))
            bar.ax.yaxis.set_minor_formatter(NullFormatter())

    below = ok & (walls < wall_threshold)
    above = ok & ~below
    marks = [
        (below, dict(marker="o", facecolor="cyan", edgecolor="black"), f"wall number < {wall_threshold:g}"),
        (single, dict(marker="v", facecolor="deepskyblue", edgecolor="black"),
         "single-walled: every section at wall number 1"),
        (above, dict(marker="^", facecolor="white", edgecolor="black"), f"wall number >= {wall_threshold:g}"),
        (failed, dict(marker="D", facecolor="magenta", edgecolor="black"), "failed run"),
    ]
    for chosen, style, label in marks:
        if np.any(chosen):
            ax.scatter(x[chosen], y[chosen], s=60, linewidths=1.0, zorder=4,
                       label=f"{label} ({int(np.sum(chosen))})", **style)

    trained = labels >= 0
    title = _boundary(ax, x[trained], y[trained], labels[trained], wall_threshold, classifier_kwargs, seed)
    held = study_constants(frame)
    condition_line = "; ".join(filter(None, [", ".join(held) and "held at " + ", ".join(held),
                                              ", ".join(conditions or [])]))
    ax.set_title(title + ("\n" + condition_line if condition_line else ""), fontsize=11)
    ax.legend(loc="upper left", bbox_to_anchor=(0.0, -0.1), ncol=2, fontsize=9, frameon=False)
    pad_x = 0.03 * (np.ptp(x) or abs(x[0]) or 1.0)
    pad_y = 0.03 * (np.ptp(y) or abs(y[0]) or 1.0)
    ax.set_xlim(np.min(x) - pad_x, np.max(x) + pad_x)
    ax.set_ylim(np.min(y) - pad_y, np.max(y) + pad_y)
    if path is not None:
        save_figure(fig, path, dpi)
    return fig


def _axis_label(key):
    name, unit = STUDY_KEYS[key]
    return f"{name} ({unit})"


def _filled_map(ax, p, t, value, norm, log, extend):
    """Filled contours of the successful runs (linear interpolation inside their hull), else coloured points."""
    field = np.log10(value) if log else value
    if len(p) >= 3 and np.ptp(p) > 0 and np.ptp(t) > 0:
        from scipy.interpolate import griddata

        pi, ti = np.meshgrid(np.linspace(p.min(), p.max(), 120), np.linspace(t.min(), t.max(), 120))
        try:
            # Interpolate in coordinates scaled to the grid, so that parameters of
            # very different magnitude (1e-8 m against 1000 K) triangulate evenly.
            zi = griddata(((p - p.min()) / np.ptp(p), (t - t.min()) / np.ptp(t)), field,
                          ((pi - p.min()) / np.ptp(p), (ti - t.min()) / np.ptp(t)), method="linear")
        except Exception:  # collinear points: no triangulation
            zi = None
        if zi is not None and np.any(np.isfinite(zi)):
            zi = 10 ** zi if log else zi
            levels = (np.logspace(np.log10(norm.vmin), np.log10(norm.vmax), 21) if log
                      else np.linspace(norm.vmin, norm.vmax, 21))
            filled = length_contours(ax, pi, ti, np.ma.masked_invalid(zi), levels=levels, norm=norm, extend=extend)
            return filled
    return ax.scatter(p, t, c=value, norm=norm, cmap="inferno", s=200, marker="s", zorder=2)


def train_seeded(X, y, seed=CLASSIFIER_SEED, **classifier_kwargs):
    """``_Main_ML_2D(**classifier_kwargs).train(X, y)`` with its initial weights drawn
    from numpy's generator seeded with ``seed``; the caller's random state is restored."""
    from velmora.ml.phase_boundary_learner import _Main_ML_2D

    state = np.random.get_state()
    np.random.seed(seed)
    try:
        return _Main_ML_2D(**classifier_kwargs).train(X, y)
    finally:
        np.random.set_state(state)


def _boundary(ax, x, y, labels, threshold, classifier_kwargs, seed):
    """Draws the learned boundary when both classes occur; returns the title."""
    runs = len(labels)
    head = "mean CNT length"
    if runs == 0:
        return f"{head}: no successful or single-walled run, no phase boundary"
    if not np.any(labels == 1):
        return f"{head}: no phase boundary (all {runs} runs have wall number >= {threshold:g})"
    if not np.any(labels == 0):
        return f"{head}: no phase boundary (all {runs} runs have wall number < {threshold:g})"
    X1, X2, P = train_seeded(np.column_stack((x, y)), labels, seed, **classifier_kwargs)
    P = np.asarray(P, dtype=float)
    if not (np.nanmin(P) < 0 < np.nanmax(P)):
        return f"{head}: classifier found no boundary between the wall-number classes"
    boundary_line(ax, X1, X2, P, zorder=3)
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
