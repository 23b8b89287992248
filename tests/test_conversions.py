"""The same kind of bad input is refused with the same exception and wording in every module.

Each case names the value the way its module does ("reactor_length", "particle_temp() argument
'temp_gas_previous'", ...); what follows the name is the shared text, compared exactly.
"""
import numpy as np
import pytest

from velmora import _numerics
from velmora.core.fast_kernels import (calculate_beta_matrix_kernel, calculate_derivatives_kernel,
                                       recalculate_aggregation_classes_kernel)
from velmora.core.growth_simulator import MovingSectionalModel
from velmora.ml.phase_boundary_learner import _Main_ML_2D
from velmora.ml.utils import decision_values, feature_count
from velmora.modules.acetylene_growth import Surface_Kinetics_Puretzky_etal_2005 as Puretzky
from velmora.modules.coalescence_time import characterisitc_sintering_time as sintering_time
from velmora.modules.np_thermal import particle_temp
from velmora.modules.solubility_check import carbon_sat

N = 4  # sections of the small model and kernels


@pytest.fixture(scope="module")
def model():
    return MovingSectionalModel(intnum=N)


def thermal_args(**overrides):
    kw = dict(spec_heat_NP=4e-20, spec_heat_gas=2e-23, surf_tension_NP=2.0, emissivity_NP=0.3,
              temp_NP_previous=np.full(3, 1000.0), temp_gas_previous=1000.0, taus_current=np.full(3, 1e-6),
              particle_info_previous=np.ones(9), area_NP_sph=np.full(3, 1e-16), xmwp_NP=1e-25,
              xmwp_gas=4.65e-26, avog=6.02214e23, n_p=np.full(3, 4.0), reactor_pressure=101325.0,
              intnum_val=3, isec_val=2, flow_velocity=0.1, interval_x=np.array([0.0, 2e-8]),
              numerical_approach="LSODA")
    kw.update(overrides)
    return kw


def beta(**overrides):
    y = np.ones(4 * N + 1)
    kw = dict(y_input=y, x_input=np.zeros(N), initial_v=y, x1_previous=np.zeros(N), xdp_updated=np.zeros(N),
              xdp_backup_input=np.zeros(N), isec=2, intnum=N, int2num=2 * N, int3num=3 * N, counter=0,
              temp=1000.0, eta=4e-5, xlm=1e-7, rhop=7874.0, vpi=3.1415926536, rkb=1.38066e-23,
              collision_diameter_update=True)
    kw.update(overrides)
    return calculate_beta_matrix_kernel(**kw)


def derivatives(**overrides):
    kw = dict(y_input=np.ones(4 * N + 1), x_input=np.ones(N), xdp_input=np.ones(N), xnpr_input=np.ones(N),
              betafu_input=np.zeros((N, N)), jmin_input=np.zeros((N, N + 1), dtype=np.int64),
              jmax_input=np.zeros((N, N + 1), dtype=np.int64), carbon_data_input=np.zeros(6 * N), temp=1000.0,
              vel=0.5, rhog=0.3, avog=6.022e23, v0=1e-29, a0=1e-19, vpi=3.1415926536, xk=0.0,
              xks_area_rhog=0.0, total_area=0.0, isec=2, intnum=N, int2num=2 * N, int3num=3 * N,
              int4num=4 * N, int5num=5 * N, int6num=6 * N, surface_kinetics_solver_activated=True, counter=0)
    kw.update(overrides)
    return calculate_derivatives_kernel(**kw)


def sintering(**overrides):
    kw = dict(temperature_starter_for_numerical_issue=1000.0, Catalsyt_element="Ni", dp=5e-9, temp=1200.0,
              R=8.314, a=0.0, kb=0.0)
    kw.update(overrides)
    return sintering_time(**kw)


def saturation(**overrides):
    kw = dict(section_metal_number=2000.0, section_carbon_number=1e4, temp=1000.0, dp=5e-9, flag_id_mat=1,
              Kb=1.38065e-23)
    kw.update(overrides)
    return carbon_sat(**kw)


X, Y, W = np.ones((3, 2)), np.array([0.0, 1.0, 1.0]), np.zeros(2)


def real_number_cases(bad):
    """One call per module that hands `bad` where a real number belongs: (name shown, call)."""
    cases = [
        ("reactor_length", lambda m: MovingSectionalModel(reactor_length=bad)),
        ("temp", lambda m: setattr(m, "temp", bad)),
        ("prob", lambda m: m.aerosol_ratio(1, bad)),
        ("fcn() argument 't'", lambda m: m.fcn(bad, m.y)),
        ("particle_temp() argument 'temp_gas_previous'", lambda m: particle_temp(**thermal_args(temp_gas_previous=bad))),
        ("carbon_sat() argument 'temp'", lambda m: saturation(temp=bad)),
        ("characterisitc_sintering_time() argument 'dp'", lambda m: sintering(dp=bad)),
        ("calculate_beta_matrix_kernel() argument 'eta'", lambda m: beta(eta=bad)),
        ("calculate_derivatives_kernel() argument 'vel'", lambda m: derivatives(vel=bad)),
        ("t_span[1]", lambda m: _numerics.solve_ivp(lambda t, y: -y, (0.0, bad), [1.0])),
        ("first_step", lambda m: _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), [1.0], first_step=bad)),
        ("func(x)", lambda m: _numerics.quad(lambda x: bad, 0.0, 1.0)),
        ("dp", lambda m: Puretzky.mass_calculator("C2H2", bad, 1)),
        ("b", lambda m: decision_values(X, W, bad)),
        ("lambda_", lambda m: _Main_ML_2D().logistic_loss_reg(X, Y, W, 0.0, bad)),
    ]
    if bad is None:  # None stands for "not given" in these two
        cases = [c for c in cases if c[0] not in ("first_step", "dp")]
    if isinstance(bad, np.ndarray):  # several entries make the saturation test ambiguous first
        cases = [c for c in cases if not c[0].startswith("carbon_sat")]
    return cases


@pytest.mark.parametrize("bad, shown", [("1.5", "str"), (None, "NoneType"), (1 + 2j, "complex"),
                                        ([1.0, 2.0], "list"), (np.array([1.0, 2.0]), "numpy.ndarray")])
def test_a_non_number_for_a_real_number(model, bad, shown):
    for name, call in real_number_cases(bad):
        with pytest.raises(TypeError) as err:
            call(model)
        assert str(err.value) == f"{name} must be a real number, not '{shown}'", name


def test_numbers_of_every_host_kind_are_accepted_as_real_numbers(model):
    # int, float, bool, numpy scalars and one-element arrays all read as numbers
    for value in (2, 2.5, True, np.float32(2.5), np.int64(2), np.array([2.5])):
        model.reactor_length = value
        assert model.reactor_length == float(np.asarray(value).item())
    # the number's kind in the model's table decides how it reads back, not the type given
    assert type(MovingSectionalModel(intnum=N, reactor_length=1).reactor_length) is float
    assert type(MovingSectionalModel(intnum=N, min_temp=300.0).min_temp) is int
    assert _numerics.quad(lambda x: np.array([2.0]), 0.0, 1.0)[0] == pytest.approx(2.0)


def integer_cases(bad):
    return [
        ("intnum", lambda m: MovingSectionalModel(intnum=bad)),
        ("flag_id_mat", lambda m: setattr(m, "flag_id_mat", bad)),
        ("isec", lambda m: setattr(m, "isec", bad)),
        ("get_carbon_per_particle() argument 'section_index'", lambda m: m.get_carbon_per_particle(bad)),
        ("particle_temp() argument 'isec_val'", lambda m: particle_temp(**thermal_args(isec_val=bad))),
        ("recalculate_aggregation_classes_kernel() argument 'isec'",
         lambda m: recalculate_aggregation_classes_kernel(np.ones(N), bad, N)),
        ("calculate_beta_matrix_kernel() argument 'counter'", lambda m: beta(counter=bad)),
        ("calculate_derivatives_kernel() argument 'int2num'", lambda m: derivatives(int2num=bad)),
        ("poly_degree", lambda m: feature_count(bad)),
        ("poly_degree", lambda m: _Main_ML_2D(poly_degree=bad).map_feature1(Y, Y)),
    ]


@pytest.mark.parametrize("bad, shown", [(2.0, "float"), ("2", "str"), (None, "NoneType"),
                                        (np.float64(2.0), "numpy.float64")])
def test_a_non_integer_for_an_integer(model, bad, shown):
    for name, call in integer_cases(bad):
        if bad is None and name == "flag_id_mat":
            continue  # None is this attribute's "no material"
        with pytest.raises(TypeError) as err:
            call(model)
        assert str(err.value) == f"{name} must be an integer, not '{shown}'", name


def test_an_integer_beyond_64_bits(model):
    for name, call in integer_cases(2 ** 70):
        with pytest.raises(OverflowError) as err:
            call(model)
        assert str(err.value) == f"{name} does not fit in a 64-bit integer", name


def test_a_negative_count():
    cases = [
        ("particle_temp() argument 'intnum_val'", lambda: particle_temp(**thermal_args(intnum_val=-1))),
        ("recalculate_aggregation_classes_kernel() argument 'intnum'",
         lambda: recalculate_aggregation_classes_kernel(np.ones(N), 1, -1)),
        ("calculate_beta_matrix_kernel() argument 'intnum'", lambda: beta(intnum=-1)),
        ("calculate_derivatives_kernel() argument 'intnum'", lambda: derivatives(intnum=-1)),
    ]
    for name, call in cases:
        with pytest.raises(ValueError) as err:
            call()
        assert str(err.value) == f"{name} must be non-negative, not -1", name


def test_an_index_outside_the_arrays(model):
    # Section indices and section counts beyond the arrays: IndexError in numpy's words.
    for call in (lambda: model.get_carbon_per_particle(N), lambda: model.get_carbon_per_particle(-1),
                 lambda: recalculate_aggregation_classes_kernel(np.ones(3), 5, 5)):
        with pytest.raises(IndexError, match=r"is out of bounds for axis 0 with size \d+$"):
            call()


def test_an_array_of_the_wrong_length(model):
    with pytest.raises(ValueError) as err:
        model.y = np.zeros(3)
    assert str(err.value) == f"y must hold {4 * N + 1} entries, not 3"
    with pytest.raises(ValueError) as err:
        model.x = np.zeros(N + 1)
    assert str(err.value) == f"x must hold {N} entries, not {N + 1}"
    with pytest.raises(ValueError) as err:
        particle_temp(**thermal_args(interval_x=[0.0, 1e-8, 2e-8]))
    assert str(err.value) == "particle_temp() argument 'interval_x' must hold 2 entries, not 3"


def test_an_array_of_the_wrong_rank_or_kind(model):
    flat = [
        ("fcn() argument 'yy'", lambda bad: model.fcn(0.0, bad)),
        ("regrid() argument 'y'", lambda bad: (setattr(model, "regrid_condition", "Moving"), model.regrid(bad))),
        ("particle_temp() argument 'temp_NP_previous'", lambda bad: particle_temp(**thermal_args(temp_NP_previous=bad))),
        ("calculate_beta_matrix_kernel() argument 'y_input'", lambda bad: beta(y_input=bad)),
        ("y0", lambda bad: _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), bad)),
    ]
    for name, call in flat:
        with pytest.raises(ValueError) as err:
            call(np.ones((3, 2)))
        assert str(err.value) == f"{name} must be one-dimensional (1-D), not 2-D", name
        with pytest.raises(ValueError) as err:
            call(np.array(["a", "b"]))
        assert str(err.value) == f"{name} must be an array of real numbers, not an array of dtype <U1", name
        with pytest.raises(TypeError) as err:
            call("abc")
        assert str(err.value) == f"{name} must be an array of real numbers, not 'str'", name
    with pytest.raises(ValueError) as err:
        derivatives(betafu_input=np.zeros(N))
    assert str(err.value) == "calculate_derivatives_kernel() argument 'betafu_input' must be two-dimensional (2-D), not 1-D"
    with pytest.raises(ValueError) as err:
        derivatives(jmin_input=np.zeros((N, N + 1)))
    assert str(err.value) == ("calculate_derivatives_kernel() argument 'jmin_input' must be an array of integers, "
                              "not an array of dtype float64")


def test_an_option_outside_its_set(model):
    # Options whose texts are fixed by the model and the solver share one form.
    with pytest.raises(ValueError) as err:
        _numerics.solve_ivp(lambda t, y: -y, (0.0, 1.0), [1.0], error_norm="l2")
    assert str(err.value) == "Invalid error_norm: 'l2'. Must be 'max' or 'rms'."
    m = MovingSectionalModel(intnum=N, distribution_type="gamma", low_high_range_defined="Auto")
    with pytest.raises(ValueError) as err:
        m._distribution_initializer()
    assert str(err.value) == "Invalid distribution_type: 'gamma'. Must be 'lognormal' or 'normal'."
    m = MovingSectionalModel(intnum=N, low_high_range_defined="auto")
    with pytest.raises(ValueError) as err:
        m._distribution_initializer()
    assert str(err.value) == "Invalid low_high_range_defined: 'auto'. Must be 'Manual' or 'Auto'."


def test_a_bad_temperature_or_span_in_the_surface_kinetics_loop(capsys):
    # Conversion failures inside the run loop are reported per temperature like any failed run.
    m = Puretzky()
    m._dp = 1.5e-8
    results = m.run_surface_kinetics_simulation(["hot", 700, None], (0, 1e-3))
    assert list(results) == [700]
    assert capsys.readouterr().out == (
        "Error in simulation at hot°C: temperature must be a real number, not 'str'\n"
        "Error in simulation at None°C: temperature must be a real number, not 'NoneType'\n")
    with pytest.raises(ValueError, match="^No simulations completed successfully"):
        m.run_surface_kinetics_simulation([700, 650], ("0", "1e-3"))
    assert capsys.readouterr().out == (
        "Error in simulation at 700°C: time_span must be an array of real numbers, not an array of dtype <U4\n"
        "Error in simulation at 650°C: time_span must be an array of real numbers, not an array of dtype <U4\n")
    # the end state of a result read back from the host's dictionary
    values, flux = m.get_final_values({700: results[700]})
    assert values[1:] == pytest.approx(results[700].y[:, -1], rel=0, abs=0)
    with pytest.raises(TypeError, match="^temperature must be a real number, not 'str'$"):
        m.get_final_values({"hot": results[700]})
