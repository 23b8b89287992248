"""The study visualiser's contour map (Mapping_Wrapper.ContourPlotter and
.MLClassifier.extend_prediction): scipy's griddata and matplotlib's pyplot.

The map is drawn by the same functions as velmora.plots.phase_map (the filled
length contours and the learned boundary), with the visualiser's own fixed
settings: a 100 x 100 grid, cubic interpolation falling back to linear and
nearest, the colour scale fixed at 0 .. vmax, and large fonts. The figure is
a pyplot figure, shown where a display exists.
"""

import warnings

import matplotlib.pyplot as plt
import numpy as np
from scipy.interpolate import griddata

from velmora import plots

NODES = 100  # interpolation nodes per axis


def interpolation_grid(x, y, z):
    """(Xi, Yi, Zi) on a NODES x NODES grid over the data; cubic, else linear, else nearest interpolation.

    Failed runs have no mean CNT length; interpolating through their NaN would
    blank the whole map (cubic) or every triangle they touch (linear), so the
    map is drawn from the runs that produced a value.
    """
    xi = np.linspace(x.min(), x.max(), NODES)
    yi = np.linspace(y.min(), y.max(), NODES)
    Xi, Yi = np.meshgrid(xi, yi)
    x, y, z = (np.asarray(v, dtype="float64") for v in (x, y, z))
    finite = np.isfinite(z)
    if finite.any():
        x, y, z = x[finite], y[finite], z[finite]
    try:
        Zi = griddata((x, y), z, (Xi, Yi), method="cubic")
        print("Using cubic interpolation")
    except Exception:
        try:
            Zi = griddata((x, y), z, (Xi, Yi), method="linear")
            print("Cubic failed, using linear interpolation")
        except Exception:
            Zi = griddata((x, y), z, (Xi, Yi), method="nearest")
            print("Linear failed, using nearest neighbor interpolation")
    return Xi, Yi, Zi


def resampled_decision(X1_orig, X2_orig, P, Xi, Yi):
    """The classifier's decision value linearly re-sampled onto (Xi, Yi); 0 (the boundary level) outside its grid."""
    return griddata((X1_orig.flatten(), X2_orig.flatten()), P.flatten(), (Xi, Yi), method="linear", fill_value=0)


def extended_decision(classifier, Xi, Yi):
    """MLClassifier.extend_prediction: the trained classifier's decision value re-sampled onto (Xi, Yi), or
    None before training."""
    if classifier.P is None:
        return None
    return resampled_decision(classifier.X1_orig, classifier.X2_orig, classifier.P, Xi, Yi)


def contour_plot(Xi, Yi, Zi, P_extended, vmax):
    """A new pyplot figure: the length clipped to [0, vmax], its contour lines, the boundary, the uncapped lines."""
    Zi_capped = np.clip(Zi, 0, vmax)
    plt.figure(figsize=(12, 10))
    ax = plt.gca()
    filled = plots.length_contours(ax, Xi, Yi, Zi_capped, levels=50, vmin=0, vmax=vmax, alpha=0.99)
    cbar = plt.colorbar(filled, shrink=0.8)
    cbar.set_label("L_cnt_avg", fontsize=22)
    cbar.ax.tick_params(labelsize=22)
    plt.contour(Xi, Yi, Zi_capped, levels=15, colors="black", alpha=0.6, linewidths=0.8)
    if P_extended is not None:
        plots.boundary_line(ax, Xi, Yi, P_extended)
    plt.draw()  # the colour bar's common exponent exists only once the figure is drawn
    cbar.ax.yaxis.get_offset_text().set_fontsize(22)
    plt.contour(Xi, Yi, Zi, levels=15, colors="black", alpha=0.99, linewidths=0.8)
    return plt


def customize_plot():
    """Axis labels, tick styling and tight layout of the current figure."""
    plt.xlabel("P_parameter", fontsize=24)
    plt.ylabel("T_parameter", fontsize=24)
    ax = plt.gca()
    ax.tick_params(axis="x", which="major", direction="out", bottom=True, top=False, width=2, length=8, labelsize=24)
    ax.tick_params(axis="y", which="major", direction="out", left=True, right=False, width=2, length=8, labelsize=24)
    ax.tick_params(axis="x", which="minor", direction="out", bottom=True, top=False, width=2, length=5)
    ax.tick_params(axis="y", which="minor", direction="out", left=True, right=False, width=2, length=5)
    plt.tight_layout()


def save_and_show(save_path):
    """Writes the current figure to save_path (when given, format from its suffix), then shows it.

    On a non-interactive backend (Agg, chosen on a machine without a display)
    show() returns at once; the warning some matplotlib versions give there is
    silenced, so a headless run is quiet.
    """
    if save_path is not None:
        plt.savefig(save_path)
    with warnings.catch_warnings():
        warnings.filterwarnings("ignore", message=".*non-interactive.*", category=UserWarning)
        plt.show()
