"""The figure of a boundary study: the surrogate's wall-number field over the
plane, the boundary with its 95 % band, and every run marked by its class and
numbered by the round it ran in.

``draw(state, records, path)`` takes what ``Mapping_Wrapper.run_boundary_study``
leaves on the wrapper (``boundary_state`` and ``results``); ``velmora.plots.
boundary_map`` is the public entry. The figure is a matplotlib ``Figure``
built without pyplot.
"""

import math
import textwrap

import numpy as np
from matplotlib.colors import LogNorm
from matplotlib.figure import Figure
from matplotlib.lines import Line2D
from matplotlib.patches import Patch
from matplotlib.ticker import FixedLocator, NullLocator

NO_VALID = "No valid sections found"

AXIS_LABELS = {
    "P": "inlet C2H2 mole fraction P (-)",
    "T": "temperature T (K)",
    "D": "initial particle diameter D (m)",
    "L": "reactor length L (m)",
}


def _study_values(scaled, lower, upper):
    return lower + np.asarray(scaled, dtype=float) * (upper - lower)


def draw(state, records, path=None, *, conditions="", dpi=110):
    """Draws the boundary map; returns the Figure (saved to ``path`` when given).

    The first map parameter runs along the horizontal axis, the second up the
    vertical one (P across and T up for "P&T", as in the phase map).
    """
    y_column, x_column = state["columns"]
    (y_low, y_high), (x_low, x_high) = state["ranges"]
    threshold = float(state["threshold"])
    level = math.log(threshold)
    axis = np.asarray(state["axis"], dtype=float)
    across = _study_values(axis, y_low, y_high)
    up = _study_values(axis, x_low, x_high)

    fig = Figure(figsize=(9.5, 8), layout="constrained")
    ax = fig.add_subplot()
    ax.set_xlabel(AXIS_LABELS.get(y_column[0], y_column))
    ax.set_ylabel(AXIS_LABELS.get(x_column[0], x_column))

    if state.get("fitted"):
        # The field's rows follow the second axis, its columns the first.
        mean = np.asarray(state["mean"], dtype=float)
        sd = np.asarray(state["sd"], dtype=float)
        # The fit may dip below log 1 where every run is single-walled; no run
        # has a wall number below 1, so the colours stop there.
        walls = np.maximum(np.exp(mean), 1.0)
        low, high = float(np.min(walls)), float(np.max(walls))
        if high <= low * 1.0001:
            low, high = low / 1.5, high * 1.5
        norm = LogNorm(vmin=max(low, 1e-3), vmax=high)
        levels = np.logspace(np.log10(norm.vmin), np.log10(norm.vmax), 25)
        filled = ax.contourf(across, up, np.clip(walls, norm.vmin, norm.vmax), levels=levels, norm=norm,
                             cmap="viridis")
        bar = fig.colorbar(filled, ax=ax)
        bar.set_label("mean CNT wall number (surrogate, log scale)")
        ticks = [m * 10.0 ** e for e in range(-3, 6) for m in (1, 2, 5) if norm.vmin <= m * 10.0 ** e <= norm.vmax]
        bar.ax.yaxis.set_major_locator(FixedLocator(ticks))
        bar.ax.yaxis.set_minor_locator(NullLocator())
        bar.ax.set_yticklabels([f"{t:g}" for t in ticks])
        if norm.vmin < threshold < norm.vmax:
            bar.ax.axhline(threshold, color="white", lw=2.5)
            bar.ax.axhline(threshold, color="black", lw=1, ls="--")
        # The 95 % band: where the threshold lies within 1.96 sd of the mean.
        band = (np.abs(mean - level) < 1.96 * sd).astype(float)
        if np.any(band > 0):
            ax.contourf(across, up, band, levels=[0.5, 1.5], colors="white", alpha=0.4, zorder=2)
            ax.contour(across, up, band, levels=[0.5], colors="black", linewidths=0.6, linestyles=":", zorder=2)

    boundary = state.get("boundary") or []
    pieces = sorted({row["segment"] for row in boundary})
    for piece in pieces:
        rows = [row for row in boundary if row["segment"] == piece]
        xs = [row[y_column] for row in rows]
        ys = [row[x_column] for row in rows]
        ax.plot(xs, ys, color="white", lw=3.5, zorder=3)
        ax.plot(xs, ys, color="black", lw=1.2, ls="--", zorder=3)

    rounds = list(state.get("rounds") or [])
    values = {
        "below": ([], dict(marker="o", facecolor="cyan", edgecolor="black"), f"wall number < {threshold:g}"),
        "above": ([], dict(marker="^", facecolor="white", edgecolor="black"), f"wall number >= {threshold:g}"),
        "none": ([], dict(marker="X", facecolor="red", edgecolor="black"), NO_VALID + " (wall number 1)"),
        "failed": ([], dict(marker="D", facecolor="magenta", edgecolor="black"), "failed run"),
    }
    for k, record in enumerate(records):
        wall = record.get("wall_number_avg")
        if record.get("status") == 1 and wall is not None and np.isfinite(wall):
            kind = "below" if wall < threshold else "above"
        elif record.get("error_message") == NO_VALID:
            kind = "none"
        else:
            kind = "failed"
        values[kind][0].append((record[y_column], record[x_column], rounds[k] if k < len(rounds) else None))
    for points, style, label in values.values():
        if not points:
            continue
        xs, ys, _ = zip(*points)
        ax.scatter(xs, ys, s=55, linewidths=1.0, zorder=5, clip_on=False, label=f"{label} ({len(points)})", **style)
    for points, _, _ in values.values():
        for x, y, r in points:
            if r is not None:
                ax.annotate(str(r), (x, y), xytext=(4, 4), textcoords="offset points", fontsize=7, color="white",
                            zorder=6, annotation_clip=False, bbox=dict(boxstyle="round,pad=0.1", fc="black", ec="none", alpha=0.55))

    handles, _ = ax.get_legend_handles_labels()
    if pieces:
        handles.append(Line2D([], [], color="black", lw=1.5, ls="--",
                              label=f"boundary at wall number {threshold:g} (surrogate)"))
    if state.get("fitted"):
        handles.append(Patch(facecolor="lightgrey", edgecolor="black", ls=":", lw=0.6,
                             label="95 % band of the boundary"))
    handles.append(Line2D([], [], ls="none", marker="$n$", color="black", label="round n of the run (0: start design)"))
    ax.legend(handles=handles, loc="upper left", bbox_to_anchor=(0.0, -0.09), ncol=2, fontsize=8.5, frameon=False)

    runs = len(records)
    if state.get("fitted") and state.get("crossing"):
        head = (f"boundary study: {runs} runs, boundary at wall number {threshold:g}\n95 % band "
                f"+/- {100 * state['band_max']:.2g} % of the span at its widest. {state.get('stop', '')}")
    elif state.get("fitted"):
        head = f"boundary study: {runs} runs, no boundary at wall number {threshold:g} in the plane\n{state.get('stop', '')}"
    else:
        head = f"boundary study: {runs} runs, too few usable runs for a surrogate\n{state.get('stop', '')}"
    if conditions:
        head += "\n" + "\n".join(textwrap.wrap(conditions, 95))
    ax.set_title(head, fontsize=9.5, pad=14)
    ax.set_xlim(y_low, y_high)
    ax.set_ylim(x_low, x_high)
    if path is not None:
        fig.savefig(path, dpi=dpi)
    return fig
