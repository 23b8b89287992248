"""Population balance of MovingSectionalModel: initial state, polydisperse
start, aggregation classes, collision kernel and right-hand side."""
import numpy as np
import pytest
from scipy import integrate, stats

import velmora.core.fast_kernels as fk
from velmora.core.growth_simulator import MovingSectionalModel

N = 35
ISEC = N - 2


def ready_model(**kwargs):
    """A model with its initial state built and a gas state for props()."""
    m = MovingSectionalModel(**kwargs)
    m.initialize_conditions()
    m.AA12 = m.AA00
    return m


@pytest.fixture(scope="module")
def default_model():
    return ready_model()


# ---------------------------------------------------------------- initial conditions


def test_default_grid_and_untouched_sections(default_model):
    m = default_model
    y = m.y
    v0 = 3.14 * (1.5e-8) ** 3 / 6
    assert m.isec == 33
    assert m.v0 == pytest.approx(v0, rel=1e-15)
    assert m.a0 == pytest.approx(3.14 * (1.5e-8) ** 2, rel=1e-15)
    np.testing.assert_allclose(y[N:N + ISEC], v0 * 1.6 ** np.arange(ISEC), rtol=1e-13)
    assert np.all(y[1:ISEC] == 1e-15)
    for block in range(4):
        assert y[block * N + 33] == 0 and y[block * N + 34] == 0
    assert np.all(y[3 * N:4 * N] == 0)  # no carbon at the start by default
    xmgases = 101325 / 8.314 / 293 * 0.0014964
    assert m.xmgases == pytest.approx(xmgases, rel=1e-15)
    assert y[140] == m.c0 == pytest.approx(2.935512657930581e-13 / xmgases * 1000, rel=1e-15)
    assert m.xmjeto == pytest.approx(xmgases / 60 / 1000, rel=1e-15)
    assert m.tempjo == 300 and isinstance(m.tempjo, float)
    np.testing.assert_array_equal(m.x[:ISEC], y[N:N + ISEC])
    walls = m.v
    np.testing.assert_allclose(walls[1:ISEC], (y[N:N + ISEC - 1] + y[N + 1:N + ISEC]) / 2, rtol=1e-15)
    assert walls[0] == pytest.approx(1.6 * y[N] - walls[1], rel=1e-14)
    assert walls[ISEC] == pytest.approx(1.6 * y[N + ISEC - 1] - walls[ISEC - 1], rel=1e-14)
    np.testing.assert_array_equal(m.initial_v, y)
    assert len(m.initial_v) == 4 * N + 1


def test_initial_carbon_follows_atoms_per_particle():
    m = MovingSectionalModel(intnum=8, carbon_atoms_per_particle_initial=5)
    m.initialize_conditions()
    assert m.y[24] == m.y[0] * 5
    assert np.all(m.y[25:30] == 1e-15 * 5)
    assert m.y[30] == 0 and m.y[31] == 0


def test_aggregation_tables_from_both_builders_agree(default_model):
    m = default_model
    built_at_start = (m.jmin.copy(), m.jmax.copy())
    ref_min, ref_max = fk.recalculate_aggregation_classes_kernel(np.asarray(m.x), m.isec, m.intnum)
    m._recalculate_aggregation_classes()
    for table, reference in zip((m.jmin, m.jmax), (ref_min, ref_max)):
        assert table.shape == (N, N + 1)
        np.testing.assert_array_equal(table, reference)
    np.testing.assert_array_equal(built_at_start[0], ref_min)
    np.testing.assert_array_equal(built_at_start[1], ref_max)
    assert m.jmax[0, 0] == -1  # 1.6 x[0] < 2 x[0]: no self-class for section 0


# ---------------------------------------------------------------- polydisperse start


def reference_distribution(dp, gsd, total, mode, dist, low_manual, n_bins, spacing):
    """The polydisperse start written with scipy."""
    if mode == "Manual":
        low = low_manual
    elif dist == "lognormal":
        low = stats.lognorm.ppf(0.015, s=np.log(gsd), scale=np.exp(np.log(dp)))
    else:
        low = max(stats.norm.ppf(0.015, loc=dp, scale=dp * np.log(gsd)), 0.1 * dp)
    vols = np.pi * low ** 3 / 6 * spacing ** np.arange(n_bins)
    walls = np.zeros(n_bins + 1)
    walls[1:n_bins] = (vols[:-1] + vols[1:]) / 2.0
    walls[0] = spacing * vols[0] - walls[1]
    walls[n_bins] = spacing * vols[-1] - walls[n_bins - 1]
    wall_d = (6 * walls / np.pi) ** (1 / 3)
    if wall_d[0] <= 0:
        wall_d[0] = low * 0.5
    if dist == "lognormal":
        pdf = stats.lognorm(s=np.log(gsd), scale=dp).pdf
    else:
        pdf = stats.norm(loc=dp, scale=dp * np.log(gsd)).pdf
    probs = np.array([integrate.quad(pdf, wall_d[i], wall_d[i + 1])[0] for i in range(n_bins)])
    return low, vols, walls, probs / probs.sum() * total


@pytest.mark.parametrize(
    "kwargs",
    [
        {},
        {"distribution_type": "lognormal", "geometric_std": 1.4},
        {"low_high_range_defined": "Manual", "low_PP_range": 8e-9, "bin_spacing": 1.3},
        {"low_high_range_defined": "Manual", "low_PP_range": 1.2e-8, "bin_spacing": 1.0},
        {"distribution_type": "lognormal", "bin_spacing": 2.0, "intnum": 12},
    ],
)
def test_distribution_initializer_matches_scipy(kwargs):
    m = MovingSectionalModel(**kwargs)
    numbers = m._distribution_initializer()
    low, vols, walls, expected = reference_distribution(
        m.dp_initial_premade, m.geometric_std, m.total_initial_concentration, m.low_high_range_defined,
        m.distribution_type, m.low_PP_range, m.intnum - 2, m.bin_spacing)
    np.testing.assert_allclose(numbers, expected, rtol=1e-8, atol=1e-12 * m.total_initial_concentration)
    np.testing.assert_array_equal(m.number_in_bins, numbers)
    np.testing.assert_allclose(m.bin_volumes_polydisperse, vols, rtol=1e-13)
    np.testing.assert_allclose(m.bin_walls_polydisperse, walls, rtol=1e-12, atol=1e-40)
    np.testing.assert_allclose(m.diameters, (6 * vols / np.pi) ** (1 / 3), rtol=1e-13)
    assert m.total_concentration == m.total_initial_concentration
    assert numbers.sum() == pytest.approx(m.total_initial_concentration, rel=1e-12)
    if m.low_high_range_defined == "Auto":
        assert m.low_PP_range_auto == pytest.approx(low, rel=1e-12)
    if m.bin_spacing == 2.0:
        assert m.bin_walls_polydisperse[0] == pytest.approx(vols[0] / 2, rel=1e-14)


def test_polydisperse_start_fills_state_with_number_floor():
    m = MovingSectionalModel(initial_distribution="Polydisperse")
    m.initialize_conditions()
    numbers = m.number_in_bins
    y = m.y
    assert numbers.sum() == pytest.approx(m.total_initial_concentration, rel=1e-12)
    assert np.any(numbers < 1e-15)  # far tail of the normal start
    np.testing.assert_array_equal(y[:ISEC], np.maximum(numbers, 1e-15))
    assert y[:ISEC].sum() == pytest.approx(m.total_initial_concentration, rel=1e-12)
    np.testing.assert_array_equal(y[N:N + ISEC], m.bin_volumes_polydisperse)
    np.testing.assert_allclose(y[2 * N:2 * N + ISEC], np.pi * m.diameters ** 2 * y[:ISEC], rtol=1e-15)
    np.testing.assert_array_equal(m.x[:ISEC], m.bin_volumes_polydisperse)
    np.testing.assert_array_equal(m.v[:ISEC + 1], m.bin_walls_polydisperse)
    np.testing.assert_array_equal(m.xdp[:ISEC], m.diameters)
    for block in range(4):
        assert y[block * N + 33] == 0 and y[block * N + 34] == 0
    np.testing.assert_array_equal(m.initial_v, y)


def test_density_helpers_match_scipy():
    m = MovingSectionalModel(intnum=4)
    d = np.linspace(5e-9, 3e-8, 7)
    mu, s = np.log(1.5e-8), np.log(1.3)
    np.testing.assert_allclose(m.lognormal_pdf(d, mu, s), stats.lognorm(s=s, scale=np.exp(mu)).pdf(d), rtol=1e-12)
    np.testing.assert_allclose(m.normal_pdf(d, 1.5e-8, 2e-9), stats.norm(1.5e-8, 2e-9).pdf(d), rtol=1e-12)
    assert m.normal_pdf(0.0, 0.0, 1.0) == pytest.approx(1 / np.sqrt(2 * np.pi), rel=1e-15)
    sd = 1.5e-8 * np.log(1.15)
    expected = integrate.quad(lambda x: stats.norm(1.5e-8, sd).pdf(x), 1.2e-8, 1.6e-8)[0]
    assert m.integrate_bin_probability(1.2e-8, 1.6e-8, "normal") == pytest.approx(expected, rel=1e-10)
    expected = integrate.quad(lambda x: stats.lognorm(s=np.log(1.15), scale=1.5e-8).pdf(x), 1.2e-8, 1.6e-8)[0]
    assert m.integrate_bin_probability(1.2e-8, 1.6e-8, "lognormal") == pytest.approx(expected, rel=1e-10)


def test_option_errors_carry_the_fixed_texts():
    m = MovingSectionalModel(intnum=6, distribution_type="gamma")
    with pytest.raises(ValueError) as err:
        m._distribution_initializer()
    assert str(err.value) == "Invalid distribution_type: 'gamma'. Must be 'lognormal' or 'normal'."
    assert m.low_PP_range_auto == 0  # not reached

    m.low_high_range_defined = "Manual"  # no density to integrate: same text, before any integration
    with pytest.raises(ValueError) as err:
        m._distribution_initializer()
    assert str(err.value) == "Invalid distribution_type: 'gamma'. Must be 'lognormal' or 'normal'."
    with pytest.raises(ValueError) as err:
        m.integrate_bin_probability(1e-8, 2e-8, "gamma")
    assert str(err.value) == "Invalid distribution_type: 'gamma'. Must be 'lognormal' or 'normal'."

    m.low_high_range_defined = "auto"
    m.total_initial_concentration = 7.0
    with pytest.raises(ValueError) as err:
        m._distribution_initializer()
    assert str(err.value) == "Invalid low_high_range_defined: 'auto'. Must be 'Manual' or 'Auto'."
    assert m.total_concentration == 7.0  # set before the check

    m.initial_distribution = "Polydisperse"
    with pytest.raises(ValueError, match="Invalid low_high_range_defined"):
        m.initialize_conditions()


# ---------------------------------------------------------------- collision kernel and right-hand side


@pytest.fixture(scope="module")
def dense_start():
    """Polydisperse start at a high concentration, one right-hand side evaluated."""
    m = ready_model(total_initial_concentration=1e17, initial_distribution="Polydisperse")
    before = {name: np.array(getattr(m, name)) for name in ("y", "x", "initial_v", "x1_previous", "xdp_backup")}
    yp = m.fcn(0.0, m.y)
    return m, before, yp


def test_fcn_equals_the_kernel_chain(dense_start):
    m, before, yp = dense_start
    n, isec = m.intnum, m.isec
    beta = fk.calculate_beta_matrix_kernel(
        before["y"], before["x"], before["initial_v"], before["x1_previous"], np.zeros(n), before["xdp_backup"],
        isec, n, 2 * n, 3 * n, m.counter, m.temp, m.eta, m.xlm, m.rhop, m.vpi, m.rkb, True)
    y_b, x_b, xdp_b, _, xnpr_b, df, x1_b, kn_b, betafu_b, xdf_b = beta
    xnpr_b = np.where(xnpr_b < 1, 1, xnpr_b)
    jmin, jmax = fk.recalculate_aggregation_classes_kernel(x_b, isec, n)
    area = np.sum(y_b[2 * n:2 * n + isec])
    expected = fk.calculate_derivatives_kernel(
        y_b, x_b, xdp_b, xnpr_b, betafu_b, jmin, jmax, m.carbon_data, m.temp, m.vel, m.rhog, m.avog, m.v0, m.a0,
        m.vpi, 1e-35, 1e-35 * area * m.rhog, area, isec, n, 2 * n, 3 * n, 4 * n, 5 * n, 6 * n, True, m.counter)
    np.testing.assert_allclose(yp, expected[0], rtol=1e-12, atol=0)
    np.testing.assert_array_equal(m.yp, yp)
    np.testing.assert_array_equal(m.betafu, betafu_b)
    np.testing.assert_array_equal(m.jmin, jmin)
    np.testing.assert_array_equal(m.jmax, jmax)
    np.testing.assert_array_equal(m.xnpr, xnpr_b)
    np.testing.assert_array_equal(m.x1, x1_b)
    np.testing.assert_array_equal(m.xkn1, kn_b)
    np.testing.assert_array_equal(m.xdf, xdf_b)
    np.testing.assert_array_equal(m.ts, expected[1])
    # an "int" number of the table: the kernel's integral 3.0 reads back as the int 3
    assert m.initial_fractal_dimension == df == 3 and type(m.initial_fractal_dimension) is int
    assert m.xkg == pytest.approx(expected[2], rel=1e-12)
    assert m.xks == pytest.approx(expected[3], rel=1e-9)
    assert m.dyn == pytest.approx(m.avog * m.y[4 * n] * m.xkg / m.vel, rel=1e-15)
    assert m.xk == 1e-35
    assert m.xnpr.min() >= 1
    np.testing.assert_array_equal(before["y"], m.y)  # live volumes are positive: state unchanged


def test_coagulation_conserves_particle_volume(dense_start):
    m, _, yp = dense_start
    n, isec = m.intnum, m.isec
    assert m.y[isec - 3:isec].max() < 1e-10 * m.y[:isec].max()  # the top sections are empty
    volume_rates = m.x[:isec] * yp[:isec]
    assert np.abs(volume_rates).sum() > 0
    assert abs(volume_rates.sum()) <= 1e-10 * np.abs(volume_rates).sum()
    assert yp[0] < 0  # the smallest particles are consumed


def test_derivatives_vanish_beyond_live_sections(dense_start):
    m, _, yp = dense_start
    n = m.intnum
    for block in range(4):
        assert np.all(yp[block * n + m.isec:(block + 1) * n] == 0)
    m2 = ready_model(intnum=12)
    m2.isec = 6
    yp2 = m2.fcn(0.0, m2.y)
    for block in range(4):
        assert np.all(yp2[block * 12 + 6:(block + 1) * 12] == 0)
    assert np.all(m2.betafu[6:, :] == 0) and np.all(m2.betafu[:, 6:] == 0)
    m2.isec = 13
    with pytest.raises(ValueError, match="^isec > intnum$"):
        m2.fcn(0.0, m2.y)


def test_carrier_flow_correction_branches():
    m = ready_model(intnum=6)
    floor = m.xmgases / 60 / 1000
    state = m.y.copy()
    state[24] = 0.003  # conc * 100 == 0.3: the uncorrected branch
    assert 0.003 * 100 == 0.3
    m.fcn(0.0, state)
    assert m.xmjet == floor

    def cp_integral(t, t0, mw):
        a, b, c, d = (k / mw * 1000 for k in (30.51265, -0.0107210728, 2.48386e-05, -1.14637e-08))
        return a * (t - t0) + b / 2 * (t ** 2 - t0 ** 2) + c / 3 * (t ** 3 - t0 ** 3) + d / 4 * (t ** 4 - t0 ** 4)

    state[24] = 0.01
    m.wrapper_mapping_temp = 295.0  # below tempjo: the corrected flow exceeds the floor
    m.fcn(0.0, state)
    expected = m.xmjeto * cp_integral(300, 293, 28.1) / cp_integral(295.0, 293, 28.1)
    assert expected > floor
    assert m.xmjet == pytest.approx(expected, rel=1e-14)
    m.wrapper_mapping_temp = None  # 873 K: corrected flow below the floor
    m.fcn(0.0, state)
    assert m.xmjet == floor
    assert m.yp[24] == pytest.approx(-1e-35 * 0.01 / m.vel, rel=1e-15)  # negligible precursor consumption


def test_consumption_split_at_model_level():
    m = ready_model(intnum=8)
    m.fcn(0.0, m.y)
    n = m.intnum
    area = m.y[2 * n:2 * n + m.isec].sum()
    # The surface asks for more than the total rate: no nucleation, the surface takes xk.
    m.xk, m.xks = 1e-40, 1.0
    m.calculate_derivatives(0.0)
    assert m.xkg == 0 and m.dyn == 0 and m.dynx == 0
    assert m.xks == pytest.approx(1e-40 / (m.rhog * area), rel=1e-12)
    # No surface area at all: no surface share and no growth of the nodes.
    y = m.y
    y[2 * n:3 * n] = 0
    m.y = y
    m.xk, m.xks = 1e-20, 1.0
    yp = m.calculate_derivatives(0.0)
    assert m.xks == 0 and m.xkg == 1e-20
    assert np.all(yp[n + 1:2 * n] == 0)
    # An empty first section: no nucleation volume rate.
    y[0] = 0
    m.y = y
    m.calculate_derivatives(0.0)
    assert m.dynx == 0.0


def test_collision_kernel_morphology_and_failures():
    m = ready_model(intnum=8)
    m.temp_vel(0.0)
    m.props()
    m._calculate_beta_matrix()
    live = m.y[2 * 8:2 * 8 + m.isec] * m.y[:m.isec] > 0
    assert live.all()
    assert m.xnpr.min() >= 1
    assert np.all(m.x1[m.isec:] == 0) and np.all(m.xdp[m.isec:] == 0)
    np.testing.assert_array_equal(m.betafu, m.betafu.T)
    assert len(m.xdp_updated) == 8  # created on first use
    # Particles without area: compact spheres of the node volume, colliding.
    y = m.y
    y[2 * 8 + 2] = 0
    m.y = y
    m._calculate_beta_matrix()
    assert m.xnpr[2] == 1 and m.xdp[2] == pytest.approx(np.cbrt(6 * y[8 + 2] / m.vpi), rel=1e-12)
    assert np.all(m.betafu[2, :m.isec] > 0)
    # An empty section: no morphology, no collisions.
    y[2] = 0
    m.y = y
    m._calculate_beta_matrix()
    assert m.x1[2] == 0 and m.xdp[2] == 0 and m.x[2] == 0 and m.xnpr[2] == 1
    assert np.all(m.betafu[2, :] == 0)
    # A zero gas viscosity: the kernel refuses and the morphology stays reset.
    props, species, largest, atoms = m.AA00
    props = dict(props, curr_visc=np.array([0.0]))
    m.AA12 = (props, species, largest, atoms)
    with pytest.raises(ZeroDivisionError, match="float division"):
        m.fcn(0.0, m.initial_v)
    assert np.all(m.x1 == 0) and np.all(m.xnpr == 0)


def test_fcn_argument_checks():
    m = ready_model(intnum=6)
    with pytest.raises(ValueError, match="4 \\* intnum \\+ 1 = 25"):
        m.fcn(0.0, np.zeros(24))
    with pytest.raises(ValueError, match="one-dimensional"):
        m.fcn(0.0, np.zeros((5, 5)))
    state = m.y.copy()
    m.fcn(0.0, state)
    np.testing.assert_array_equal(state, m.initial_v)  # the caller's vector is not written
    assert m._benchmark_fcn(0.0, state, 3) > 0


def test_benchmark_loop_with_the_largest_repeat_count_is_interruptible():
    import signal
    import time

    class Alarm(Exception):
        pass

    def handler(signum, frame):
        raise Alarm()

    m = ready_model(intnum=6)
    state = m.y.copy()
    previous = signal.signal(signal.SIGALRM, handler)
    start = time.perf_counter()
    signal.setitimer(signal.ITIMER_REAL, 0.2)
    try:
        with pytest.raises(Alarm):
            m._benchmark_fcn(0.0, state, 10**7)  # the largest count, seconds of work
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert time.perf_counter() - start < 5.0
    # Beyond it the work is refused up front: 2**31 calls of a 40-section model take days.
    for repeats in (10**7 + 1, 2**31, 10**12):
        with pytest.raises(ValueError, match=f"repeats must be between 1 and 10000000, got {repeats}"):
            m._benchmark_fcn(0.0, state, repeats)
