"""The boundary search on cheap synthetic planes whose boundary is known.

Each plane is a function of the scaled parameters (u, v in [0, 1]) giving a
wall number; the search sees it only through its values, as it sees runs.
"""

import math

import numpy as np
import pytest

from velmora.core.parameter_sweep import boundary_search


def wall_field(log_wall):
    """A search function from log(wall number) as a function of the points."""
    return lambda points: np.exp(log_wall(np.asarray(points)))


def straight(p):
    return 3.0 * (p[:, 0] + 0.5 * p[:, 1] - 0.6) + math.log(2.0)


def ring(p):  # boundary: circle of radius 0.5 about (0.2, 0.2)
    return 4.0 * (np.hypot(p[:, 0] - 0.2, p[:, 1] - 0.2) - 0.5) + math.log(2.0)


def cap(p):  # boundary: half-circle of radius 0.4 about (0.5, 1.0), ending on the top edge
    return 4.0 * (0.4 - np.hypot(p[:, 0] - 0.5, p[:, 1] - 1.0)) + math.log(2.0)


def curve_points(result):
    return np.array([(row["u"], row["v"]) for row in result["curve"]]).reshape(-1, 2)


@pytest.mark.parametrize("plane, distance, budget", [
    (straight, lambda c: (c[:, 0] + 0.5 * c[:, 1] - 0.6) / math.hypot(1.0, 0.5), 14),
    (ring, lambda c: np.hypot(c[:, 0] - 0.2, c[:, 1] - 0.2) - 0.5, 20),
    (cap, lambda c: np.hypot(c[:, 0] - 0.5, c[:, 1] - 1.0) - 0.4, 20),
])
def test_known_boundaries_are_found_within_a_fraction_of_the_span(plane, distance, budget):
    result = boundary_search(wall_field(plane), 2, budget=budget, batch_size=2, seed=3)
    assert len(result["points"]) <= budget
    curve = curve_points(result)
    assert len(curve) > 20
    error = np.abs(distance(curve))
    assert error.max() < 0.01, error.max()
    assert result["crossing"]
    # Runs after the start design go near the boundary, not over the whole plane.
    later = result["points"][np.asarray(result["rounds"]) > 0]
    assert np.median(np.abs(distance(later))) < 0.1


def test_curve_pieces_are_ordered_along_the_curve_and_end_on_the_rim():
    result = boundary_search(wall_field(cap), 2, budget=16, batch_size=2, seed=1)
    curve = curve_points(result)
    assert {row["segment"] for row in result["curve"]} == {0}
    steps = np.hypot(*np.diff(curve, axis=0).T)
    assert steps.max() < 0.03  # consecutive points are neighbours along the curve
    for end in (curve[0], curve[-1]):  # the half-circle ends on the top edge
        assert end[1] == pytest.approx(1.0)


def test_a_boundary_in_two_pieces_is_two_segments():
    def two_bands(p):  # wall number above 2 only in a band around u = 0.5
        return 3.0 * (0.2 - np.abs(p[:, 0] - 0.5)) + math.log(2.0)

    result = boundary_search(wall_field(two_bands), 2, budget=24, batch_size=2, seed=0)
    curve = curve_points(result)
    segments = np.array([row["segment"] for row in result["curve"]])
    assert set(segments) == {0, 1}
    for s in (0, 1):  # each piece is one of the two lines u = 0.3 and u = 0.7
        u = curve[segments == s, 0]
        assert np.ptp(u) < 0.02 and min(abs(u.mean() - 0.3), abs(u.mean() - 0.7)) < 0.01


def test_absent_boundary_stops_early_and_draws_no_curve():
    result = boundary_search(lambda p: 5.0 + np.asarray(p)[:, 0], 2, budget=25, batch_size=2, tolerance=0.005)
    assert not result["crossing"] and result["curve"] == []
    assert len(result["points"]) < 25
    assert "no boundary" in result["stop"].lower()
    # Without a tolerance the budget is spent.
    full = boundary_search(lambda p: 5.0 + np.asarray(p)[:, 0], 2, budget=12, batch_size=2)
    assert len(full["points"]) == 12 and "budget" in full["stop"].lower()


def test_all_runs_below_one_wall_count_as_wall_number_one():
    # "No valid sections found" enters as wall number 1: the whole plane is
    # below a threshold of 2, no boundary.
    result = boundary_search(lambda p: np.ones(len(p)), 2, budget=10, batch_size=2)
    assert np.all(result["wall_numbers"] == 1.0)
    assert not result["crossing"] and result["curve"] == []


def test_batches_are_spread_along_the_boundary():
    result = boundary_search(wall_field(straight), 2, budget=26, batch_size=4, seed=2)
    rounds = np.asarray(result["rounds"])
    points = result["points"]
    assert rounds[0] == 0 and max(rounds) >= 3
    for r in range(1, max(rounds) + 1):
        batch = points[rounds == r]
        assert 1 <= len(batch) <= 4
        gaps = [np.hypot(*(a - b)) for i, a in enumerate(batch) for b in batch[i + 1:]]
        assert not gaps or min(gaps) > 0.05, (r, batch)
    # No point is ever run twice.
    assert len({tuple(p) for p in points}) == len(points)


def test_same_settings_give_the_same_points_and_the_seed_changes_them():
    first = boundary_search(wall_field(ring), 2, budget=12, batch_size=2, seed=5)
    again = boundary_search(wall_field(ring), 2, budget=12, batch_size=2, seed=5)
    other = boundary_search(wall_field(ring), 2, budget=12, batch_size=2, seed=6)
    np.testing.assert_array_equal(first["points"], again["points"])
    np.testing.assert_array_equal(first["mean"], again["mean"])
    assert not np.array_equal(first["points"], other["points"])


def test_failed_points_are_left_out_and_never_run_again():
    calls = []

    def flaky(points):
        points = np.asarray(points)
        calls.append(len(points))
        walls = np.exp(straight(points))
        return [None if p[0] > 0.8 else (math.nan if p[1] > 0.9 else w) for p, w in zip(points, walls)]

    result = boundary_search(flaky, 2, budget=16, batch_size=2, seed=4)
    failed = np.isnan(result["wall_numbers"])
    assert failed.any() and sum(calls) == len(result["points"]) == 16
    assert len({tuple(p) for p in result["points"]}) == 16
    # The search does not creep along the failing rims (u > 0.8, v > 0.9).
    assert np.sum(failed) <= 4
    curve = curve_points(result)
    inside = curve[(curve[:, 0] < 0.75) & (curve[:, 1] < 0.85)]
    assert np.abs((inside @ [1.0, 0.5] - 0.6) / math.hypot(1, 0.5)).max() < 0.02


def test_a_jump_widens_the_band_without_ringing():
    # Below u = 0.55 the wall number stays near 1.1; at u = 0.55 it jumps to
    # about 3.5 (a record's mean over the sections above one wall).
    def jump(p):
        p = np.asarray(p)
        return np.where(p[:, 0] < 0.55, 1.05 + 0.1 * p[:, 1], 3.5 * np.exp(0.3 * p[:, 1]))

    smooth = boundary_search(wall_field(straight), 2, budget=20, batch_size=2, seed=0)
    result = boundary_search(jump, 2, budget=20, batch_size=2, seed=0)
    # The curve may wander between the runs, but never farther from the jump
    # than its own band says.
    curve = np.array([(row["u"], row["v"], row["band_half_width"]) for row in result["curve"]])
    off = np.abs(curve[:, 0] - 0.55)
    assert off.max() < 0.08 and np.all(off <= curve[:, 2] + 0.01)
    # The jump shows as a part the fit does not resolve, the summary's warning sign.
    assert result["unresolved"] and not smooth["unresolved"]
    # No oscillation between runs: the fitted log(wall number) stays within
    # the range of the data (plus a small margin) over the whole plane.
    logs = np.log(result["wall_numbers"])
    assert result["mean"].min() > logs.min() - 0.25 and result["mean"].max() < logs.max() + 0.25
    # An honest band: wider at the jump than on the smooth plane of the same budget.
    assert result["band_mean"] > smooth["band_mean"]


def test_three_parameters_find_the_boundary_surface():
    def slab(p):  # boundary: the plane u + v + w = 1.5
        return 3.0 * (p[:, 0] + p[:, 1] + p[:, 2] - 1.5) + math.log(2.0)

    result = boundary_search(wall_field(slab), 3, budget=30, batch_size=3, seed=1)
    assert result["mean"].shape == (len(result["axis"]),) * 3
    assert result["curve"] == []  # a curve is drawn for two parameters only
    axis = result["axis"]
    w, v, u = np.meshgrid(axis, axis, axis, indexing="ij")  # field index [w][v][u], first axis fastest
    truth = u + v + w - 1.5
    predicted = result["mean"] - math.log(2.0)
    decided = np.abs(truth) > 0.03
    assert np.mean(np.sign(predicted[decided]) == np.sign(truth[decided])) > 0.99
    later = result["points"][np.asarray(result["rounds"]) > 0]
    assert np.median(np.abs(later.sum(axis=1) - 1.5)) / math.sqrt(3) < 0.08


def test_bad_options_are_refused():
    f = wall_field(straight)
    with pytest.raises(ValueError, match="budget"):
        boundary_search(f, 2, budget=0)
    with pytest.raises(ValueError, match="threshold"):
        boundary_search(f, 2, threshold=1.0)
    with pytest.raises(ValueError, match="batch_size"):
        boundary_search(f, 2, batch_size=0)
    with pytest.raises(ValueError, match="dimension"):
        boundary_search(f, 0)
    with pytest.raises(ValueError, match="entries"):
        boundary_search(lambda p: [2.0], 2, budget=5)


def test_start_design_puts_one_run_in_every_stratum_of_every_axis():
    result = boundary_search(wall_field(straight), 2, budget=8, start_runs=8, seed=9)
    points = result["points"]
    assert set(result["rounds"]) == {0}
    for axis in range(2):
        strata = np.floor(points[:, axis] * 8).astype(int)
        assert sorted(strata) == list(range(8))
    # Maximin: no two start runs closer than a third of a stratum diagonal.
    gaps = [np.hypot(*(a - b)) for i, a in enumerate(points) for b in points[i + 1:]]
    assert min(gaps) > 0.125 * math.sqrt(2) / 3


def test_tolerance_stops_once_the_band_is_narrow_enough():
    result = boundary_search(wall_field(straight), 2, budget=40, batch_size=2, tolerance=0.01, seed=0, start_runs=8)
    assert len(result["points"]) < 40
    assert result["stop"].startswith("Stopped early: boundary band") and result["band_max"] <= 0.01
    # The tolerance only cuts the search short: the same start with the budget it used gives the same runs.
    exact = boundary_search(wall_field(straight), 2, budget=len(result["points"]), batch_size=2, seed=0, start_runs=8)
    np.testing.assert_array_equal(exact["points"], result["points"])


def test_closed_boundary_is_one_closed_piece_on_any_lattice():
    def island(p):  # wall number above 2 inside a circle of radius 0.25 about the centre
        return 4.0 * (0.25 - np.hypot(p[:, 0] - 0.5, p[:, 1] - 0.5)) + math.log(2.0)

    result = boundary_search(wall_field(island), 2, budget=22, batch_size=2, seed=2, resolution=41)
    assert result["mean"].shape == (41, 41)
    curve = curve_points(result)
    assert {row["segment"] for row in result["curve"]} == {0}
    np.testing.assert_array_equal(curve[0], curve[-1])
    assert np.abs(np.hypot(curve[:, 0] - 0.5, curve[:, 1] - 0.5) - 0.25).max() < 0.02
