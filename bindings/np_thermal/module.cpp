// velmora.modules.np_thermal: particle_temp, the section temperatures of the
// catalyst agglomerates over one axial step.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "common/conversions.hpp"
#include "common/module_setup.hpp"
#include "submodels/particle_temperature.hpp"

namespace py = pybind11;

namespace {

// Each value is converted under the name its messages show.
std::string shown(const char* name) { return velmora::bind::argument_name("particle_temp", name); }
double real(const py::object& value, const char* name) { return velmora::bind::real_number(value, shown(name)); }

// xmwp_NP and avog are accepted and never read.
py::array_t<double> particle_temp(py::object spec_heat_NP, py::object spec_heat_gas, py::object surf_tension_NP,
                                  py::object emissivity_NP, py::object temp_NP_previous, py::object temp_gas_previous,
                                  py::object taus_current, py::object particle_info_previous, py::object area_NP_sph,
                                  py::object /*xmwp_NP*/, py::object xmwp_gas, py::object /*avog*/, py::object n_p,
                                  py::object reactor_pressure, py::object intnum_val, py::object isec_val,
                                  py::object flow_velocity, py::object interval_x, py::object numerical_approach) {
    std::vector<velmora::bind::FloatArray> held;  // the arrays the input's views look into
    const auto array = [&](const py::object& value, const char* name) {
        const auto& arr = held.emplace_back(velmora::bind::float_vector(value, shown(name)));
        return std::span<const double>(arr.data(), static_cast<std::size_t>(arr.size()));
    };
    velmora::submodels::ParticleTemperatureInputs in;
    in.temp_np_previous = array(temp_NP_previous, "temp_NP_previous");
    in.taus = array(taus_current, "taus_current");
    in.particle_info = array(particle_info_previous, "particle_info_previous");
    in.area_np_sph = array(area_NP_sph, "area_NP_sph");
    in.n_p = array(n_p, "n_p");
    const std::span<const double> interval = array(interval_x, "interval_x");  // (x_start, x_end)
    velmora::bind::check_length(interval.size(), 2, shown("interval_x"));
    in.x_start = interval[0];
    in.x_end = interval[1];
    in.intnum = velmora::bind::count_number(intnum_val, shown("intnum_val"));
    in.spec_heat_np = real(spec_heat_NP, "spec_heat_NP");
    in.spec_heat_gas = real(spec_heat_gas, "spec_heat_gas");
    in.surf_tension_np = real(surf_tension_NP, "surf_tension_NP");
    in.emissivity_np = real(emissivity_NP, "emissivity_NP");
    in.temp_gas = real(temp_gas_previous, "temp_gas_previous");
    in.xmwp_gas = real(xmwp_gas, "xmwp_gas");
    in.reactor_pressure = real(reactor_pressure, "reactor_pressure");
    in.isec = velmora::bind::integer_number(isec_val, shown("isec_val"));
    in.flow_velocity = real(flow_velocity, "flow_velocity");

    const bool text = py::isinstance<py::str>(numerical_approach);
    const auto scheme = velmora::submodels::particle_temperature_scheme(text ? py::cast<std::string>(numerical_approach) : "");
    return velmora::bind::to_numpy(velmora::submodels::particle_temperature(in, scheme).temperatures);
}

}  // namespace

PYBIND11_MODULE(np_thermal, m) {
    velmora::bind::setup_module(m);
    m.def("particle_temp", &particle_temp, py::arg("spec_heat_NP"), py::arg("spec_heat_gas"),
          py::arg("surf_tension_NP"), py::arg("emissivity_NP"), py::arg("temp_NP_previous"),
          py::arg("temp_gas_previous"), py::arg("taus_current"), py::arg("particle_info_previous"),
          py::arg("area_NP_sph"), py::arg("xmwp_NP"), py::arg("xmwp_gas"), py::arg("avog"), py::arg("n_p"),
          py::arg("reactor_pressure"), py::arg("intnum_val"), py::arg("isec_val"), py::arg("flow_velocity"),
          py::arg("interval_x"), py::arg("numerical_approach"),
          "Section temperatures (K) after one axial step: an Euler step when numerical_approach is\n"
          "exactly 'Explicit', otherwise LSODA in the axial coordinate (rtol 1e-9, atol 1e-25),\n"
          "falling back to the previous temperatures with a printed message if the solve fails.");
}
