// velmora.modules.np_thermal: particle_temp, the section temperatures of the
// catalyst agglomerates over one axial step.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <stdexcept>

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

using velmora::bind::FloatArray;

std::span<const double> view(const FloatArray& arr) {
    return {arr.data(), static_cast<std::size_t>(arr.size())};
}

py::array_t<double> particle_temp(const py::args& args, const py::kwargs& kwargs) {
    const auto bound = velmora::bind::bind_required_arguments(kName, kParams, args, kwargs);
    // The argument of a parameter, and the name its messages show.
    const auto arg = [&](const std::string& name) -> const py::object& {
        const auto it = std::find(kParams.begin(), kParams.end(), name);
        if (it == kParams.end()) throw std::logic_error("particle_temp has no parameter " + name);
        return bound[static_cast<std::size_t>(it - kParams.begin())];
    };
    const auto shown = [](const std::string& name) { return velmora::bind::argument_name(kName, name); };
    const auto real = [&](const char* name) { return velmora::bind::real_number(arg(name), shown(name)); };
    const auto vector = [&](const char* name) { return velmora::bind::float_vector(arg(name), shown(name)); };

    const FloatArray temps = vector("temp_NP_previous"), taus = vector("taus_current"),
                     info = vector("particle_info_previous"), area = vector("area_NP_sph"), primaries = vector("n_p"),
                     interval = vector("interval_x");
    velmora::bind::check_length(static_cast<std::size_t>(interval.size()), 2, shown("interval_x"));  // (x_start, x_end)
    const std::size_t intnum = velmora::bind::count_number(arg("intnum_val"), shown("intnum_val"));

    velmora::submodels::ParticleTemperatureInputs in;
    in.spec_heat_np = real("spec_heat_NP");
    in.spec_heat_gas = real("spec_heat_gas");
    in.surf_tension_np = real("surf_tension_NP");
    in.emissivity_np = real("emissivity_NP");
    in.temp_np_previous = view(temps);
    in.temp_gas = real("temp_gas_previous");
    in.taus = view(taus);
    in.particle_info = view(info);
    in.area_np_sph = view(area);
    in.xmwp_gas = real("xmwp_gas");  // xmwp_NP and avog are accepted and never read
    in.n_p = view(primaries);
    in.reactor_pressure = real("reactor_pressure");
    in.intnum = intnum;
    in.isec = velmora::bind::integer_number(arg("isec_val"), shown("isec_val"));
    in.flow_velocity = real("flow_velocity");
    in.x_start = interval.at(0);
    in.x_end = interval.at(1);

    const py::object& approach = arg("numerical_approach");
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
