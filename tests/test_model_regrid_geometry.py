"""Moving-section regrid, particle geometry and the carbon / time-step helpers of the model."""

import math
import random

import numpy as np
import pytest

from velmora.core.growth_simulator import MovingSectionalModel

N = 8                      # section capacity of the test model
DP = 2.0**-26              # ~14.9 nm; a power of two keeps pi*d^2 sums exact
V0 = math.pi / 6 * DP**3
A0 = math.pi * DP**2
CARBON0 = 40.0             # carbon atoms per fresh nucleus


@pytest.fixture(scope="module")
def model():
    return MovingSectionalModel(intnum=N, regrid_condition="Moving", carbon_atoms_per_particle_initial=CARBON0)


def build_state(numbers, volumes, areas, carbon, c0=0.123):
    y = np.zeros(4 * N + 1)
    k = len(numbers)
    y[0:k], y[N:N + k], y[2 * N:2 * N + k], y[3 * N:3 * N + k] = numbers, volumes, areas, carbon
    y[4 * N] = c0
    return y


def prepare(m, y, condition="Moving"):
    m.regrid_condition = condition
    m.isec = int(np.count_nonzero(y[:N]))
    m.v0, m.a0 = V0, A0
    m.y = y
    m.x = y[N:2 * N].copy()
    return m.isec


def totals(y, live):
    num, vol, area, carbon = (y[b * N:b * N + live] for b in range(4))
    return np.array([num.sum(), (num * vol).sum(), area.sum(), carbon.sum()])


# ---------------------------------------------------------------- regrid


def test_regrid_without_elimination_shifts_and_adds_nuclei(model, capsys):
    numbers = np.array([1e9, 5e8, 2e8, 1e8, 3e7])
    volumes = V0 * 1.6 ** np.arange(1, 6)          # neighbours of every node stay > scrit apart
    areas = numbers * A0 * np.arange(2, 7)
    carbon = numbers * 100.0 * np.arange(1, 6)
    y = build_state(numbers, volumes, areas, carbon)
    isec = prepare(model, y)

    out = model.regrid(y)
    assert capsys.readouterr().out == ""
    assert model.isec == isec                      # the method leaves the live count alone
    np.testing.assert_array_equal(out, model.y)
    np.testing.assert_array_equal(model.x[:isec + 1], np.r_[V0, volumes])
    assert out[0] == model.initial_N and out[N] == V0
    assert out[2 * N] == pytest.approx(model.initial_N * A0, rel=1e-15)
    assert out[3 * N] == pytest.approx(model.initial_N * CARBON0, rel=1e-15)
    np.testing.assert_array_equal(out[1:isec + 1], numbers)
    np.testing.assert_array_equal(out[3 * N + 1:3 * N + isec + 1], carbon)
    assert out[4 * N] == 0.123
    # Sections above the new grid hold the empty floor in every block.
    for block in range(4):
        np.testing.assert_array_equal(out[block * N + isec + 1:(block + 1) * N], 1e-35)

    fresh = np.array([model.initial_N, model.initial_N * V0, model.initial_N * A0, model.initial_N * CARBON0])
    np.testing.assert_allclose(totals(out, isec + 1), totals(y, isec) + fresh, rtol=1e-14)


def test_regrid_elimination_splits_section_by_lever_rule(model, capsys):
    numbers = np.array([1e9, 6e8, 2e8, 1e8, 3e7])
    # After the shift the nodes are v0, 1.6, 2.56, 2.6, 4.5, 7.2 (x v0): 2.6/1.6 < 1.6**1.1,
    # so the node at 2.56 v0 is split between 1.6 v0 (weight 0.04) and 2.6 v0 (0.96).
    volumes = V0 * np.array([1.6, 2.56, 2.6, 4.5, 7.2])
    areas = numbers * A0 * np.array([1.5, 2.0, 2.1, 3.0, 4.0])
    carbon = np.array([3e10, 5e10, 1e10, 8e9, 2e9])
    y = build_state(numbers, volumes, areas, carbon)
    isec = prepare(model, y)

    out = model.regrid(y)
    assert capsys.readouterr().out == "regrid_warning!!\n"
    live = isec                                     # one section gained, one eliminated
    np.testing.assert_allclose(model.x[:live], V0 * np.array([1, 1.6, 2.6, 4.5, 7.2]), rtol=1e-15)
    low, up = 0.04, 0.96
    for block, values in ((0, numbers), (2, areas), (3, carbon)):
        got = out[block * N:block * N + live]
        np.testing.assert_allclose(got[1], values[0] + low * values[1], rtol=1e-12)
        np.testing.assert_allclose(got[2], values[2] + up * values[1], rtol=1e-12)
        np.testing.assert_array_equal(got[3:5], values[3:5])
    np.testing.assert_array_equal(out[live:N], 1e-35)
    np.testing.assert_array_equal(out[3 * N + live:4 * N], 1e-35)

    fresh = np.array([model.initial_N, model.initial_N * V0, model.initial_N * A0, model.initial_N * CARBON0])
    np.testing.assert_allclose(totals(out, live), totals(y, isec) + fresh, rtol=1e-13)


def test_regrid_of_the_models_own_state_repeatedly_conserves(model, capsys):
    numbers = np.array([4e9, 1e9, 3e8])
    volumes = V0 * np.array([1.7, 2.0, 5.0])
    y = build_state(numbers, volumes, numbers * A0 * 2, numbers * 70.0)
    live = prepare(model, y)
    fresh = np.array([model.initial_N, model.initial_N * V0, model.initial_N * A0, model.initial_N * CARBON0])
    merges = 0
    for growth in (0.1, 0.3, 0.05, 0.2, 0.6, 0.15):
        # Surface growth between regrids: a node gains volume in proportion to its
        # area, so small nodes catch up with larger ones and sections crowd together.
        state = model.y
        state[N:N + live] += growth * V0 ** (1 / 3) * state[N:N + live] ** (2 / 3)
        model.y, model.x = state, state[N:2 * N]
        expected = totals(state, live) + fresh
        model.y = model.regrid(model.y)
        live = int(np.count_nonzero(model.y[:N] > 1e-30))
        model.isec = live
        np.testing.assert_allclose(totals(model.y, live), expected, rtol=1e-13)
        np.testing.assert_array_equal(model.x[:live], model.y[N:N + live])
        assert np.all(np.diff(model.x[:live]) > 0)
        merges += capsys.readouterr().out.count("regrid_warning!!\n")
    assert merges >= 2


def test_regrid_floors(model):
    numbers = np.array([1e9, 1e-20, 5e7])
    volumes = V0 * np.array([1.6, 2.56, 4.1])
    areas = np.array([1e9 * A0, 1e-40, 0.5 * A0])   # last two below one monomer area
    carbon = np.array([1e10, 0.0, -3.0])           # negative entries are left alone
    y = build_state(numbers, volumes, areas, carbon)
    prepare(model, y)
    out = model.regrid(y)
    assert out[2] == 1e-15                         # number floor of a live section
    assert out[2 * N + 2] == pytest.approx(1e-15 * 1e-15 * A0)
    assert out[2 * N + 3] == pytest.approx(1e-15 * 5e7 * A0)
    assert out[3 * N + 2] == 1e-35 and out[3 * N + 3] == -3.0
    assert np.all((out >= 1e-35) | (out == -3.0))


@pytest.mark.parametrize("condition", ["moving", "Fixed"])
def test_regrid_only_for_exactly_moving(model, condition, capsys):
    y = build_state([1e9, 1e8], V0 * np.array([1.01, 1.02]), [1.0, 1.0], [1.0, 1.0])
    prepare(model, y, condition)
    y_before, x_before = model.y, model.x
    assert model.regrid(y) is y
    np.testing.assert_array_equal(model.y, y_before)
    np.testing.assert_array_equal(model.x, x_before)
    assert capsys.readouterr().out == ""


def test_regrid_rejects_bad_isec_and_state(model):
    y = build_state([1e9], [V0], [A0], [0.0])
    prepare(model, y)
    before = model.y
    for bad in (N, N + 5, -1):
        model.isec = bad
        with pytest.raises(IndexError, match="isec"):
            model.regrid(y)
    model.isec = N - 1                              # the largest isec that still fits
    model.regrid(y)
    with pytest.raises(ValueError, match="4\\*intnum\\+1"):
        model.regrid(y[:-1])
    model.isec = 1
    model.y = before
    with pytest.raises(ValueError):
        model.regrid(np.zeros((2, 4 * N + 1)))
    np.testing.assert_array_equal(model.y, before)


# ---------------------------------------------------------------- geometry


def test_mass_calculator(model):
    m_np, m_cnt = model.mass_calculator(1.5e-8, 8908, 1800, 0.0, 3.4e-10, 1, 1)
    assert m_np == pytest.approx(8908 * math.pi / 6 * 1.5e-8**3, rel=1e-14) and m_cnt == 0
    m_np8, _ = model.mass_calculator(1.5e-8, 8908, 1800, 0.0, 3.4e-10, 8, 1)
    assert m_np8 / m_np == pytest.approx(8 ** (3 * 0.45), rel=1e-13)
    # A hollow tube: mass = density * length * annulus area, wall = walls * thickness.
    r_out, wall = 1.5e-8 / 1.6 / 2, 3 * 3.4e-10
    _, m_cnt = model.mass_calculator(1.5e-8, 8908, 1800, 2e-6, 3.4e-10, 1, 3)
    assert m_cnt == pytest.approx(1800 * 2e-6 * math.pi * (2 * r_out * wall - wall**2), rel=1e-12)
    # More walls than the radius holds: the inner radius goes negative and is used squared.
    _, m_over = model.mass_calculator(1.5e-8, 8908, 1800, 2e-6, 3.4e-10, 1, 15)
    r_in = r_out - 15 * 3.4e-10
    assert r_in < 0 and m_over == pytest.approx(1800 * 2e-6 * math.pi * (r_out**2 - r_in**2), rel=1e-12)


@pytest.mark.parametrize("npp", [1, 3.5])
def test_gyration_diameter_without_tube_is_the_sphere(model, npp):
    d = model._calculate_cnt_gyration_diameter(1.5e-8, 8908, 1800, 0.0, 3.4e-10, npp, 15)
    r_sphere = 1.5e-8 * npp**0.45 / 2
    assert d == pytest.approx(2 * math.sqrt(0.4) * r_sphere, rel=1e-13)


def test_gyration_diameter_of_a_long_tube(model):
    # A tube far heavier than its particle: the perpendicular mode tends to a thin
    # rod's L/sqrt(12); the axial one to the annulus plus the particle's offset.
    length, t = 1e-2, 3.4e-10
    r_out = 1.5e-8 / 1.6 / 2
    r_in = r_out - t
    d = model._calculate_cnt_gyration_diameter(1.5e-8, 8908, 1800, length, t, 1, 1)
    m_np, m_cnt = model.mass_calculator(1.5e-8, 8908, 1800, length, t, 1, 1)
    # The particle sits ~L/2 off the system's centre of mass in both modes.
    offset = m_np / (m_np + m_cnt) * (length / 2) ** 2
    axial = 0.5 * (r_out**2 + r_in**2)
    assert d == pytest.approx(math.sqrt(offset + axial) + length / math.sqrt(12), rel=1e-3)
    # Keyword names and a negative inner radius (15 walls on a 15 nm particle) pass through.
    d15 = model._calculate_cnt_gyration_diameter(
        dpp=1.5e-8, rho_NP=8908, rho_CNT=1800, cnt_length=1e-7, cnt_thickness=t, npp=1, wall_number=15)
    assert math.isfinite(d15) and d15 > 0


def test_calculate_xdp_gp(model):
    t = model._MovingSectionalModel__gp_thickness
    model.isec = 6
    y = np.zeros(4 * N + 1)
    y[:6] = [0.5, 1.0, 10, 10, 10, 10]
    model.y = y
    model.xdp = np.full(N, DP)
    model.xnpr = np.array([1, 1, 2, 1, 1, 1, 1, 1], dtype=float)
    cd = np.zeros(6 * N)
    cd[3 * N:3 * N + 6] = [
        5 * A0,                                      # y <= 1: no size at all
        5 * A0,
        2 * A0,                                      # exactly one shell per primary (2 primaries)
        0.0,                                         # bare particle
        A0 * (1 - 1e-9),                             # partial shell only
        (A0 + math.pi * (DP + 2 * t) ** 2) * (1 + 1e-9),   # two complete shells
    ]
    model.carbon_data = cd
    model.encapsulation_cond = False
    model.calculate_xdp_gp()
    np.testing.assert_allclose(model.xdp_gp, [0.0, 0.0, DP + 2 * t, DP, DP, DP + 4 * t], rtol=1e-15)
    assert len(model.xdp_gp) == 6
    assert model.encapsulation_cond is True          # section 2 is fully covered
    assert model.gp_coverage_ratio == pytest.approx((A0 + math.pi * (DP + 2 * t) ** 2) / A0, rel=1e-8)


def test_calculate_xdp_gp_rejects_out_of_range_sections(model):
    model.xdp = np.full(N, DP)
    model.xnpr = np.ones(N)
    for bad in (N + 1, -2):
        model.isec = bad
        with pytest.raises(IndexError, match="isec"):
            model.calculate_xdp_gp()
    model.isec = 4
    model.xdp = np.full(3, DP)
    with pytest.raises(IndexError, match="xdp"):
        model.calculate_xdp_gp()


def test_average_primary_diameter(model):
    model.isec = 3
    assert model._calculate_average_primary_diameter(np.zeros(4 * N + 1)) == model.dp_initial_premade
    # Spheres: 6 v / a per particle is the diameter itself.
    d = np.array([10e-9, 20e-9, 40e-9])
    n = np.array([3e8, 1e8, 5e9])
    y = np.zeros(4 * N + 1)
    y[:3], y[N:N + 3], y[2 * N:2 * N + 3] = n, math.pi / 6 * d**3, n * math.pi * d**2
    y[2 * N + 2] = 0.0                              # no area: left out of the mean
    y[3] = 1e12                                     # beyond isec: ignored
    got = model._calculate_average_primary_diameter(y)
    assert got == pytest.approx(np.average(d[:2], weights=n[:2]), rel=1e-13)
    with pytest.raises(IndexError):
        model._calculate_average_primary_diameter(y[:2 * N + 2])
    model.isec = N + 1
    with pytest.raises(IndexError, match="isec"):
        model._calculate_average_primary_diameter(y)


# ---------------------------------------------------------------- carbon helpers and time step


def test_carbon_per_particle_and_totals(model):
    y = np.zeros(4 * N + 1)
    y[:3] = [4.0, 2.0, 0.0]
    y[3 * N:3 * N + 4] = [200.0, 30.0, 7.0, 1e6]
    model.y = y
    model.isec = 3
    assert model.get_carbon_per_particle(0) == 50.0
    assert model.get_carbon_per_particle(1) == 15.0
    assert model.get_carbon_per_particle(2) == 0                 # empty section
    for bad in (N, -1):
        with pytest.raises(IndexError, match="section index"):
            model.get_carbon_per_particle(bad)
    assert model.get_total_carbon() == 237.0                     # section 3 is not live
    model.carbon_atoms_per_particle_initial = 2.0
    assert model.check_carbon_conservation() == pytest.approx(237.0 / (model.initial_N * 2.0))
    model.carbon_atoms_per_particle_initial = 0
    assert model.check_carbon_conservation() == math.inf
    model.y = np.zeros(4 * N + 1)
    assert math.isnan(model.check_carbon_conservation())
    model.carbon_atoms_per_particle_initial = CARBON0
    model.isec = N + 1
    with pytest.raises(IndexError, match="isec"):
        model.get_total_carbon()


def test_smooth_timestep(model):
    assert model.calculate_smooth_timestep(0) == 1e-8
    assert model.calculate_smooth_timestep(5e-5) == pytest.approx(10**-6.5, rel=1e-14)
    assert model.calculate_smooth_timestep(1e-4) == 1e-5
    assert model.calculate_smooth_timestep(3.0) == 1e-5
    ts = np.linspace(0, 1e-4, 11)
    got = [model.calculate_smooth_timestep(t) for t in ts]
    np.testing.assert_allclose(got, np.logspace(-8, -5, 11), rtol=1e-13)


def test_aerosol_ratio(model):
    assert all(model.aerosol_ratio(1, 0.0) == 1 for _ in range(20))
    assert all(model.aerosol_ratio(1, 1.0) == 0 for _ in range(20))
    assert model.aerosol_ratio(2, 0.3) == 0.3
    # Method 1 draws from the host's generator, one draw per call; method 2 draws nothing.
    random.seed(11)
    got = [model.aerosol_ratio(1, 0.5) for _ in range(50)]
    model.aerosol_ratio(2, 0.5)
    after = random.random()
    random.seed(11)
    expected = [1 if random.uniform(0.0, 1.0) >= 0.5 else 0 for _ in range(50)]
    assert got == expected and after == random.random()
    assert all(type(r) is int for r in got)
    for bad in (0, 3, 1.5):
        with pytest.raises(ValueError, match="method_cnt"):
            model.aerosol_ratio(bad, 0.5)
