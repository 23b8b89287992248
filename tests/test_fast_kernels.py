"""Population-balance kernels: collision matrix, aggregation classes, derivatives."""
import re

import numpy as np
import pytest

from velmora.core.fast_kernels import (
    calculate_beta_matrix_kernel,
    calculate_derivatives_kernel,
    recalculate_aggregation_classes_kernel,
)

VPI = 3.1415926536
RKB = 1.38066e-23
AVOG = 6.022137e23


def sphere_diameter(volume):
    return (6.0 / VPI * volume) ** (1.0 / 3.0)


def make_state(n, N, x, A, C=None, conc=0.0):
    """State vector of capacity n from per-section lists (shorter lists leave zeros)."""
    y = np.zeros(4 * n + 1)
    for block, values in enumerate((N, x, A, C if C is not None else [])):
        y[block * n: block * n + len(values)] = values
    y[4 * n] = conc
    return y


def beta(y, n, isec, *, initial_v=None, x1_previous=None, xdp_updated=None, counter=0,
         update=True, temp=1000.0, eta=4e-5, xlm=1e-7, xdp_backup=None):
    zeros = np.zeros(n)
    return calculate_beta_matrix_kernel(
        y, zeros.copy(), initial_v if initial_v is not None else y.copy(),
        x1_previous if x1_previous is not None else zeros.copy(),
        xdp_updated if xdp_updated is not None else zeros.copy(),
        xdp_backup if xdp_backup is not None else zeros.copy(),
        isec, n, 2 * n, 3 * n, counter, temp, eta, xlm, 7874.0, VPI, RKB, update)


def derivatives(y, x, xdp, xnpr, betafu, jmin, jmax, n, isec, *, xk=0.0, xks_area_rhog=0.0,
                total_area=0.0, temp=1000.0, vel=0.5, rhog=0.3, v0=1.2e-29, a0=2.5e-19):
    return calculate_derivatives_kernel(
        y, x, xdp, xnpr, betafu, jmin, jmax, np.zeros(6 * n), temp, vel, rhog, AVOG, v0, a0, VPI,
        xk, xks_area_rhog, total_area, isec, n, 2 * n, 3 * n, 4 * n, 5 * n, 6 * n, True, 0)


def sum_based_classes(x, isec, n):
    """Same construction with sums instead of differences, to expose tie rounding."""
    jmin = np.zeros((n, n + 1), dtype=np.int64)
    jmax = np.zeros((n, n + 1), dtype=np.int64)
    jmax[0, 0] = 0 if x[1] >= x[0] + x[0] else -1
    for i in range(1, isec - 1):
        for k in range(i):
            j = k
            while x[i - 1] > x[j] + x[k]:
                j += 1
            jmin[i, k] = j
            j = i
            while x[j] + x[k] > x[i + 1] and j >= k:
                j -= 1
            jmax[i, k] = j
    for k in range(isec):
        j = k
        while x[isec - 2] > x[j] + x[k]:
            j += 1
        jmin[isec - 1, k] = j
        jmax[isec - 1, k] = isec - 1
    return jmin, jmax


# --------------------------------------------------------------------------- classes

class TestAggregationClasses:
    def test_section_zero_self_collision_class(self):
        x = np.array([1.0, 2.0, 4.0, 8.0])
        jmin, jmax = recalculate_aggregation_classes_kernel(x, 4, 4)
        assert (jmin[0, 0], jmax[0, 0]) == (0, 0)          # x[1] == 2 x[0]: class (0, 0)
        x[1] = np.nextafter(2.0, 0.0)
        jmin, jmax = recalculate_aggregation_classes_kernel(x, 4, 4)
        assert (jmin[0, 0], jmax[0, 0]) == (0, -1)         # empty class

    def test_table_layout_and_last_row(self):
        n, isec = 9, 7
        x = 1e-27 * 1.7 ** np.arange(n)
        x_before = x.copy()
        jmin, jmax = recalculate_aggregation_classes_kernel(x, isec, n)
        assert jmin.shape == jmax.shape == (n, n + 1)
        assert jmin.dtype == jmax.dtype == np.int64
        np.testing.assert_array_equal(x, x_before)
        assert not jmin[isec:].any() and not jmax[isec:].any()
        for i in range(1, isec - 1):
            assert not jmin[i, i:].any() and not jmax[i, i:].any()
            for k in range(i):
                assert jmin[i, k] >= k and jmax[i, k] <= i
        top = isec - 1
        np.testing.assert_array_equal(jmax[top, :isec], top)
        assert not jmin[top, isec:].any() and not jmax[top, isec:].any()
        assert jmin[top, top] == top                       # self-collision of the top section
        # Everything at or above the second-highest node goes to the top section.
        for k in range(isec):
            j = jmin[top, k]
            assert x[j] + x[k] >= x[isec - 2] and (j == k or x[j - 1] + x[k] < x[isec - 2])

    def test_difference_form_decides_exact_ties(self):
        # 0.2 + 0.4 rounds to 0.6000000000000001, while 0.6000000000000001 - 0.2 > 0.4.
        x = np.array([0.2, 0.4, 0.2 + 0.4, 0.9, 1.5, 2.4])
        jmin, jmax = recalculate_aggregation_classes_kernel(x, 6, 6)
        smin, smax = sum_based_classes(x, 6, 6)
        assert (jmin[3, 0], smin[3, 0]) == (2, 1)
        # 1.2999999999999998 - 0.6 < 0.7 although 0.6 + 0.7 == 1.2999999999999998.
        x = np.array([0.3, 0.6, 0.7, 0.6 + 0.7, 2.0, 3.1])
        jmin, jmax = recalculate_aggregation_classes_kernel(x, 6, 6)
        smin, smax = sum_based_classes(x, 6, 6)
        assert (jmax[2, 1], smax[2, 1]) == (1, 2)
        # Away from ties both forms agree.
        x = 1e-27 * 1.45 ** np.arange(12)
        for ours, ref in zip(recalculate_aggregation_classes_kernel(x, 12, 12), sum_based_classes(x, 12, 12)):
            np.testing.assert_array_equal(ours, ref)

    @pytest.mark.parametrize("x, isec, intnum", [
        (np.array([1.0]), 2, 2),                  # x[1] does not exist
        (np.array([1.0, 2.0, 4.0]), 5, 5),        # isec beyond the array
        (1.5 ** np.arange(8), 6, 4),              # rows beyond the tables
    ])
    def test_out_of_range_raises_index_error(self, x, isec, intnum):
        with pytest.raises(IndexError):
            recalculate_aggregation_classes_kernel(x, isec, intnum)


# --------------------------------------------------------------------------- beta matrix

class TestBetaMatrix:
    n = 6

    def test_empty_and_unused_sections(self):
        n = self.n
        v = 1e-25
        sphere_area = VPI * sphere_diameter(v) ** 2
        # Section 1 has particles but no area; section 3 holds 1e-21 per unit gas
        # density, no more than integrator noise; sections 4 and 5 are beyond isec.
        y = make_state(n, [1e12, 1e12, 1e12, 1e-21, 1e12], [v, v, 2 * v, 3 * v, v],
                       [1e12 * sphere_area, 0.0, 2e12 * sphere_area, 1e-40, 1e12 * sphere_area])
        y_before = y.copy()
        out = beta(y, n, 4)
        y_out, x_out, xdp, _, xnpr, _, x1, xkn1, betafu, xdf = out
        np.testing.assert_array_equal(y, y_before)
        np.testing.assert_array_equal(y_out, y)
        for empty in (3, 4, 5):
            assert x_out[empty] == xdp[empty] == xnpr[empty] == x1[empty] == xkn1[empty] == 0.0
            assert not betafu[empty].any() and not betafu[:, empty].any()
        # Particles without area are compact spheres of their volume, and collide.
        assert xnpr[1] == 1.0 and xdp[1] == pytest.approx(sphere_diameter(v), rel=1e-12)
        assert betafu[1, 0] == pytest.approx(betafu[0, 0], rel=1e-12)
        assert x_out[0] == v and x_out[2] == 2 * v
        np.testing.assert_array_equal(betafu, betafu.T)
        assert betafu[0, 2] > 0 and betafu[0, 0] > 0 and betafu[2, 2] > 0

    def test_single_sphere_and_agglomerate_morphology(self):
        n = self.n
        v = 4e-25
        d = sphere_diameter(v)
        N = 1e12
        # Section 0: half the area of compact spheres -> one sphere.
        # Section 1: eight times the sphere area -> primaries of d / 8, 512 of them.
        y = make_state(n, [N, N, 0.0], [v, v, v], [0.5 * N * VPI * d ** 2, 8 * N * VPI * d ** 2, 0.0])
        y_out, x_out, xdp, xdp_backup, xnpr, df_last, x1, xkn1, betafu, xdf = beta(y, n, 3)
        assert xnpr[0] == 1.0 and xdf[0] == 3.0
        assert xdp[0] == pytest.approx(d, rel=1e-12) and x1[0] == pytest.approx(d, rel=1e-12)
        assert xdp_backup[0] == pytest.approx(2 * d, rel=1e-9)     # volume-to-surface value kept
        assert xnpr[1] == pytest.approx(512, rel=1e-8)
        L = np.log(xnpr[1])
        assert xdf[1] == pytest.approx((1.9 * L * L - 2.6 * L + 3) / (L * L - L + 1), rel=1e-12)
        assert 1.0 < xdf[1] < 3.0
        assert x1[1] == pytest.approx(xdp[1] * xnpr[1] ** (1 / xdf[1]), rel=1e-12)
        assert xkn1[1] == pytest.approx(2e-7 / x1[1], rel=1e-12)
        assert df_last == xdf[1]                    # last populated section, not the empty one
        assert beta(make_state(n, [], [], []), n, 3)[5] == 0.0

    def test_continuum_limit(self):
        n = self.n
        temp, eta = 300.0, 1.8e-5
        gaps = []
        for d in (1e-6, 1e-5, 1e-4, 1e-3):
            ds = np.array([d, 2 * d])
            vols = VPI / 6 * ds ** 3
            N = np.array([1e9, 1e9])
            y = make_state(n, N, vols, N * VPI * ds ** 2 * 0.999)
            res = beta(y, n, 2, temp=temp, eta=eta, xlm=1e-9)
            x1, betafu = res[6], res[8]
            D = RKB * temp / (3 * VPI * eta * x1[:2])          # Stokes-Einstein
            limit = 2 * VPI * (D[0] + D[1]) * (x1[0] + x1[1])
            gaps.append(1 - betafu[0, 1] / limit)
        # The kinetic correction 8 D / (d c) shrinks like d^-1/2: sqrt(10) per decade.
        assert gaps[3] < 1.5e-3
        np.testing.assert_allclose(np.array(gaps[:-1]) / gaps[1:], np.sqrt(10), rtol=0.1)

    def test_collision_diameter_memory(self):
        n = self.n
        v = 1e-25
        d = sphere_diameter(v)
        y = make_state(n, [1e12], [v], [1e12 * VPI * d ** 2 * 0.9])
        held = np.full(n, 3 * d)
        lower = np.full(n, 0.5 * d)
        assert beta(y, n, 1, x1_previous=held, xdp_updated=lower, counter=10)[6][0] == 3 * d
        assert beta(y, n, 1, x1_previous=lower, xdp_updated=held, counter=10)[6][0] == 3 * d
        for kwargs in (dict(counter=9), dict(counter=50, update=False)):
            x1 = beta(y, n, 1, x1_previous=held, xdp_updated=held, **kwargs)[6]
            assert x1[0] == pytest.approx(d, rel=1e-12)

    def test_nonpositive_volume_reset_from_initial_state(self):
        n = self.n
        v = 2e-25
        y = make_state(n, [1e12], [-1.0], [1e12 * VPI * sphere_diameter(v) ** 2])
        initial = make_state(n, [], [v], [])
        y_out, x_out = beta(y, n, 1, initial_v=initial)[:2]
        assert y_out[n] == v and x_out[0] == v and y[n] == -1.0

    def test_zero_divisions(self, capsys):
        n = self.n
        y = make_state(n, [1e12], [0.0], [1e-3])       # volume reset to an initial 0
        with pytest.raises(ZeroDivisionError, match=r"^float division$"):
            beta(y, n, 1, initial_v=np.zeros(4 * n + 1))
        assert capsys.readouterr().out == "HIHI11\n"
        y = make_state(n, [1e12], [1e-25], [1e-3])
        with pytest.raises(ZeroDivisionError, match=r"^float division$"):
            beta(y, n, 1, eta=0.0)

    def test_index_errors(self):
        n = self.n
        y = make_state(n, [1e12] * 3, [1e-25] * 3, [1e-3] * 3)
        with pytest.raises(IndexError):
            beta(y[: 2 * n + 2], n, 3)                  # area block cut short
        with pytest.raises(IndexError):
            beta(y, n, n + 1)                           # more sections than capacity
        y[n] = 0.0                                      # needs initial_v[n], which is missing
        with pytest.raises(IndexError):
            beta(y, n, 3, initial_v=np.ones(n))


# --------------------------------------------------------------------------- derivatives

def populated_grid(n=24, isec=20, ratio=1.5, populated=10):
    """Geometric grid with agglomerates in the lower sections; returns every kernel input."""
    x = 1e-27 * ratio ** np.arange(n)
    x[isec:] = 0.0
    N = np.where(np.arange(n) < populated, 1e13 * 0.7 ** np.arange(n), 0.0)
    A = N * VPI * sphere_diameter(x) ** 2 * 1.6
    C = N * x * 0.3
    y = make_state(n, N, x, A, C, conc=2e-3)
    res = beta(y, n, isec)
    xdp, xnpr, betafu = res[2], np.maximum(res[4], 1.0), res[8]
    jmin, jmax = recalculate_aggregation_classes_kernel(x, isec, n)
    return y, x, xdp, xnpr, betafu, jmin, jmax, n, isec


class TestDerivatives:
    def test_coagulation_conserves_particle_volume(self):
        y, x, xdp, xnpr, betafu, jmin, jmax, n, isec = populated_grid()
        assert jmax[0, 0] == -1                    # no class into section 0 on this grid
        yp = derivatives(y, x, xdp, xnpr, betafu, jmin, jmax, n, isec)[0]
        dN = yp[:isec]
        volume_rate = np.sum(x[:isec] * dN)
        assert np.sum(np.abs(x[:isec] * dN)) > 0
        assert abs(volume_rate) <= 1e-10 * np.sum(np.abs(x[:isec] * dN))
        assert dN.sum() < 0                        # coagulation lowers the particle count
        assert dN[10] > 0 and dN[11] > 0           # products reach the empty upper sections
        # Carbon rides with the particles, so it is conserved as well.
        dC = yp[3 * n: 3 * n + isec]
        assert abs(dC.sum()) <= 1e-10 * np.abs(dC).sum()

    def test_inputs_untouched_and_tail_exactly_zero(self):
        y, x, xdp, xnpr, betafu, jmin, jmax, n, isec = populated_grid(isec=12, populated=16)
        inputs = [a.copy() for a in (y, x, xdp, xnpr, betafu, jmin, jmax)]
        yp, ts, _, _ = derivatives(y, x, xdp, xnpr, betafu, jmin, jmax, n, isec, xk=5.0,
                                   xks_area_rhog=1.0, total_area=y[2 * n: 2 * n + isec].sum())
        for before, after in zip(inputs, (y, x, xdp, xnpr, betafu, jmin, jmax)):
            np.testing.assert_array_equal(before, after)
        assert yp.shape == y.shape and ts.shape == (n,)
        for block in range(4):                     # sections isec.. are populated in y
            assert not yp[block * n + isec: (block + 1) * n].any()
        assert not ts[isec:].any()
        assert yp[4 * n] == -5.0 * y[4 * n] / 0.5

    def test_consumption_split_between_gas_and_surface(self):
        y, x, xdp, xnpr, betafu, jmin, jmax, n, isec = populated_grid()
        area = y[2 * n: 2 * n + isec].sum()
        conc, vel, rhog, v0 = y[4 * n], 0.5, 0.3, 1.2e-29
        base = derivatives(y, x, xdp, xnpr, betafu, jmin, jmax, n, isec)
        # Surface asks for more than there is: no nucleation, the surface takes all of xk.
        yp, _, xkg, xks = derivatives(y, x, xdp, xnpr, betafu, jmin, jmax, n, isec,
                                      xk=2.0, xks_area_rhog=3.0, total_area=area)
        assert xkg == 0.0 and xks == pytest.approx(2.0 / (rhog * area), rel=1e-14)
        assert yp[0] == base[0][0] and yp[n] == 0.0
        assert (yp[n + 1: n + 10] > 0).all()       # populated nodes grow by surface reaction
        # No area: no surface rate, hence no growth; the gas share nucleates.
        yp, _, xkg, xks = derivatives(y, x, xdp, xnpr, betafu, jmin, jmax, n, isec,
                                      xk=2.0, xks_area_rhog=0.5, total_area=0.0)
        assert xkg == 1.5 and xks == 0.0
        assert not yp[n + 1: n + isec].any()
        dyn = conc * AVOG * 1.5 / vel
        assert yp[0] - base[0][0] == pytest.approx(dyn, rel=1e-12)
        assert yp[n] == pytest.approx((v0 - y[n]) * dyn / y[0], rel=1e-12)

    def test_sintering_sign_and_times(self):
        n, isec, temp, vel = 5, 4, 1100.0, 0.5
        v = np.array([1e-26, 1e-24, 1e-24, 1e-24])
        d = sphere_diameter(v)
        N = np.full(4, 1e12)
        # 0: agglomerate, 1: compact spheres, 2: more area than spheres, 3: less.
        A = N * VPI * d ** 2 * np.array([3.0, 1.0, 2.0, 0.5])
        y = make_state(n, N, v, A)
        xdp = np.array([d[0] / 3, d[1], d[2] / 2, 4e-10, 0.0])
        xnpr = np.array([27.0, 1.0, 8.0, 1.0, 1.0])
        zero = np.zeros((n, n))
        grid = 1.8 ** np.arange(n)        # split weights only; sintering reads the state's volumes
        jmin, jmax = recalculate_aggregation_classes_kernel(grid, isec, n)
        yp, ts, _, _ = derivatives(y, grid, xdp, xnpr, zero, jmin, jmax, n, isec, temp=temp, vel=vel)
        dA = yp[2 * n: 2 * n + isec]
        assert dA[1] == pytest.approx(0.0, abs=1e-12 * A[1] / ts[1] / vel)
        assert dA[0] < 0 and dA[2] < 0 and dA[3] > 0
        slow = 1.12e20 * np.exp(22324.99398604763 / temp)
        assert ts[0] == pytest.approx(max(slow * xdp[0] ** 4, 3.12e-12), rel=1e-12)
        assert ts[2] == pytest.approx(max(slow * xdp[2] ** 4, 3.12e-12), rel=1e-12)
        assert ts[3] == 3.12e-10                    # xnpr^0.45 * xdp below 1.092e-9 m
        expected = (A[2] - VPI * (6 / VPI * v[2]) ** (2 / 3) * N[2]) / ts[2] / vel
        assert dA[2] == pytest.approx(-expected, rel=1e-10)
        # Empty sections: ts 0 for section 0, 3.12e-12 above it.
        y[0] = y[1] = 0.0
        ts = derivatives(y, grid, xdp, xnpr, zero, jmin, jmax, n, isec, temp=temp, vel=vel)[1]
        assert ts[0] == 0.0 and ts[1] == 3.12e-12

    def test_a_gas_too_cold_for_sintering_has_infinitely_long_times(self):
        # Below about 31 K the Arrhenius factor of the sintering time exceeds the float range: the
        # time is +inf and the area does not relax (a zero diameter keeps the shortest time).
        n, isec = 5, 4
        v = np.array([1e-26, 1e-24, 1e-24, 1e-24])
        d = sphere_diameter(v)
        N = np.full(4, 1e12)
        y = make_state(n, N, v, N * VPI * d ** 2 * 2.0)
        xdp = np.array([0.0, d[1], d[2], d[3]])
        xnpr = np.ones(n)
        zero = np.zeros((n, n))
        grid = 1.8 ** np.arange(n)
        jmin, jmax = recalculate_aggregation_classes_kernel(grid, isec, n)
        for temp in (1e-9, 20.0):
            yp, ts, _, _ = derivatives(y, grid, xdp, xnpr, zero, jmin, jmax, n, isec, temp=temp)
            assert np.isfinite(yp).all()
            assert ts[1] == ts[2] == ts[3] == np.inf and ts[0] == 3.12e-12   # section 0: no diameter
            assert np.all(yp[2 * n + 1: 2 * n + isec] == 0.0)   # no relaxation at all
        assert np.isfinite(derivatives(y, grid, xdp, xnpr, zero, jmin, jmax, n, isec, temp=40.0)[1]).all()

    @pytest.mark.parametrize("kw, message", [
        (dict(vel=0.0), "vel must be a finite gas velocity above 0 m/s, got 0"),
        (dict(vel=-0.5), "vel must be a finite gas velocity above 0 m/s, got -0.5"),
        (dict(temp=0.0), "temp must be a finite gas temperature above 0 K, got 0"),
        (dict(temp=5e-324), "temp must be a finite gas temperature above 0 K, got 4.94065645841247e-324"),
        (dict(rhog=0.0), "rhog must be a finite gas density above 0, got 0"),
        (dict(vel=1e-300, xk=1e-5), "calculate_derivatives_kernel: the derivatives are not finite for temp = 1000 K, "
                                    "vel = 1e-300 m/s"),
    ])
    def test_gas_conditions_that_only_give_nan_are_refused(self, kw, message):
        y, x, xdp, xnpr, betafu, jmin, jmax, n, isec = populated_grid()
        with pytest.raises(ValueError, match=re.escape(message)):
            derivatives(y, x, xdp, xnpr, betafu, jmin, jmax, n, isec, **kw)

    def test_integer_tables_of_any_width(self):
        args = populated_grid(n=8, isec=7, populated=4)
        y, x, xdp, xnpr, betafu, jmin, jmax, n, isec = args
        ref = derivatives(*args)[0]
        narrow = derivatives(y, x, xdp, xnpr, betafu, jmin.astype(np.int32), jmax.astype(np.int32), n, isec)[0]
        np.testing.assert_array_equal(ref, narrow)
        with pytest.raises(ValueError):
            derivatives(y, x, xdp, xnpr, betafu, jmin.astype(float), jmax, n, isec)

    def test_index_errors(self):
        y, x, xdp, xnpr, betafu, jmin, jmax, n, isec = populated_grid(n=8, isec=7, populated=4)
        bad = jmax.copy()
        bad[3, 0] = isec                            # class reaching past the live sections
        cases = [
            dict(jmax=bad),
            dict(y=y[: 4 * n]),                     # precursor entry missing
            dict(x=x[: isec - 1]),
            dict(betafu=betafu[:, : isec - 1]),
            dict(isec=n + 1),
        ]
        for case in cases:
            a = dict(y=y, x=x, xdp=xdp, xnpr=xnpr, betafu=betafu, jmin=jmin, jmax=jmax, isec=isec)
            a.update(case)
            with pytest.raises(IndexError):
                derivatives(a["y"], a["x"], a["xdp"], a["xnpr"], a["betafu"], a["jmin"], a["jmax"],
                            n, a["isec"])

    def test_top_node_tie_needs_the_next_node(self):
        # On x = [1, 2, 3] the pair (0, 1) lands exactly on the top node, whose
        # split weight reads the node above it: present -> finite, absent -> IndexError.
        n, isec = 3, 3
        y = make_state(n, [1e12] * 3, [1.0, 2.0, 3.0], [1.0] * 3)
        betafu = np.full((n, n), 1e-15)
        x = np.array([1.0, 2.0, 3.0])
        jmin, jmax = recalculate_aggregation_classes_kernel(x, isec, n)
        ones = np.ones(n)
        with pytest.raises(IndexError):
            derivatives(y, x, ones, ones, betafu, jmin, jmax, n, isec)
        yp = derivatives(y, np.append(x, 0.0), ones, ones, betafu, jmin, jmax, n, isec)[0]
        assert np.isfinite(yp).all()


class TestUnrepresentableGas:
    """A gas state whose collision matrix overflows is refused instead of returned as inf/NaN."""

    @pytest.mark.parametrize("kw, message", [
        (dict(eta=5e-324), "calculate_beta_matrix_kernel: the collision matrix is not finite"),
        (dict(temp=float("nan")), "temp must be a finite gas temperature above 0 K"),  # refused at entry
        (dict(xlm=float("inf")), "calculate_beta_matrix_kernel: the collision matrix is not finite"),
    ])
    def test_non_finite_collision_matrix_raises(self, kw, message):
        n = 4
        y = make_state(n, [1e10, 1e10], [1e-24, 2e-24], [5e-16, 8e-16])
        with pytest.raises(ValueError, match=message):
            beta(y, n, 2, **kw)

    def test_ordinary_gas_states_pass(self):
        n = 4
        y = make_state(n, [1e10, 1e10], [1e-24, 2e-24], [5e-16, 8e-16])
        for temp, eta, xlm in [(300.0, 1.8e-5, 6.5e-8), (1500.0, 5e-5, 3e-7), (1000.0, 1e-3, 1e-10)]:
            betafu = beta(y, n, 2, temp=temp, eta=eta, xlm=xlm)[8]
            assert np.isfinite(betafu).all() and betafu[0, 0] > 0
