// velmora.modules.np_thermal: particle_temp, the section temperatures of the
// catalyst agglomerates over one axial step.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "common/python_arguments.hpp"
#include "submodels/particle_temperature.hpp"

namespace py = pybind11;

namespace {

constexpr const char* kName = "particle_temp";
const std::vector<std::string> kParams = {
    "spec_heat_NP",     "spec_heat_gas",    "surf_tension_NP",       "emissivity_NP", "temp_NP_previous",
    "temp_gas_previous", "taus_current",    "particle_info_previous", "area_NP_sph",   "xmwp_NP",
    "xmwp_gas",         "avog",             "n_p",                   "reactor_pressure", "intnum_val",
    "isec_val",         "flow_velocity",    "interval_x",            "numerical_approach"};

enum Param : std::size_t {
    spec_heat_NP, spec_heat_gas, surf_tension_NP, emissivity_NP, temp_NP_previous, temp_gas_previous,
    taus_current, particle_info_previous, area_NP_sph, xmwp_NP, xmwp_gas, avog, n_p, reactor_pressure,
    intnum_val, isec_val, flow_velocity, interval_x, numerical_approach
};

using velmora::bind::FloatArray;

// A 1-D float array from a numpy array or any sequence of numbers.
FloatArray float_vector(const py::object& obj, const std::string& name) {
    return velmora::bind::float_vector(obj, velmora::bind::argument_name(kName, name));
}

std::span<const double> view(const FloatArray& arr) {
    return {arr.data(), static_cast<std::size_t>(arr.size())};
}

py::array_t<double> particle_temp(const py::args& args, const py::kwargs& kwargs) {
    const auto a = velmora::bind::bind_required_arguments(kName, kParams, args, kwargs);
    auto real = [&](Param p) { return velmora::bind::real_number(a[p], velmora::bind::argument_name(kName, kParams[p])); };

    const FloatArray temps = float_vector(a[temp_NP_previous], kParams[temp_NP_previous]);
    const FloatArray taus = float_vector(a[taus_current], kParams[taus_current]);
    const FloatArray info = float_vector(a[particle_info_previous], kParams[particle_info_previous]);
    const FloatArray area = float_vector(a[area_NP_sph], kParams[area_NP_sph]);
    const FloatArray primaries = float_vector(a[n_p], kParams[n_p]);
    const FloatArray interval = float_vector(a[interval_x], kParams[interval_x]);
    velmora::bind::check_length(static_cast<std::size_t>(interval.size()), 2,
                                velmora::bind::argument_name(kName, "interval_x"));  // (x_start, x_end)
    const std::size_t intnum =
        velmora::bind::count_number(a[intnum_val], velmora::bind::argument_name(kName, kParams[intnum_val]));

    velmora::submodels::ParticleTemperatureInputs in;
    in.spec_heat_np = real(spec_heat_NP);
    in.spec_heat_gas = real(spec_heat_gas);
    in.surf_tension_np = real(surf_tension_NP);
    in.emissivity_np = real(emissivity_NP);
    in.temp_np_previous = view(temps);
    in.temp_gas = real(temp_gas_previous);
    in.taus = view(taus);
    in.particle_info = view(info);
    in.area_np_sph = view(area);
    in.xmwp_gas = real(xmwp_gas);  // xmwp_NP and avog are accepted and never read
    in.n_p = view(primaries);
    in.reactor_pressure = real(reactor_pressure);
    in.intnum = intnum;
    in.isec = velmora::bind::integer_number(a[isec_val], velmora::bind::argument_name(kName, kParams[isec_val]));
    in.flow_velocity = real(flow_velocity);
    in.x_start = interval.at(0);
    in.x_end = interval.at(1);

    const py::object& approach = a[numerical_approach];
    const bool explicit_step = py::isinstance<py::str>(approach) && py::cast<std::string>(approach) == "Explicit";
    const auto result = velmora::submodels::particle_temperature(
        in, explicit_step ? velmora::submodels::ParticleTemperatureScheme::explicit_euler
                          : velmora::submodels::ParticleTemperatureScheme::ode);

    return velmora::bind::to_numpy(result.temperatures);
}

}  // namespace

PYBIND11_MODULE(np_thermal, m) {
    velmora::bind::setup_module(m);
    m.def("particle_temp", &particle_temp,
          "particle_temp(spec_heat_NP, spec_heat_gas, surf_tension_NP, emissivity_NP, temp_NP_previous,\n"
          "              temp_gas_previous, taus_current, particle_info_previous, area_NP_sph, xmwp_NP,\n"
          "              xmwp_gas, avog, n_p, reactor_pressure, intnum_val, isec_val, flow_velocity,\n"
          "              interval_x, numerical_approach)\n\n"
          "Section temperatures (K) after one axial step: an Euler step when numerical_approach is\n"
          "exactly 'Explicit', otherwise LSODA in the axial coordinate (rtol 1e-9, atol 1e-25),\n"
          "falling back to the previous temperatures with a printed message if the solve fails.");
}
