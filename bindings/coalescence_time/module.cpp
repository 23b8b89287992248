// velmora.modules.coalescence_time: characterisitc_sintering_time by catalyst material.
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "common/conversions.hpp"
#include "submodels/sintering_time.hpp"

namespace py = pybind11;
using velmora::bind::HostReal;

namespace {

constexpr const char* kName = "characterisitc_sintering_time";

// a and kb are part of the signature and unused.
py::object characterisitc_sintering_time(py::object temperature_starter, py::object element_object, py::object dp_object,
                                         py::object temp_object, py::object R, py::object, py::object) {
    namespace sub = velmora::submodels;
    const auto real = [](const py::object& value, const char* name) {
        return velmora::bind::host_real(value, velmora::bind::argument_name(kName, name));
    };
    const py::object float64 = py::module_::import("numpy").attr("float64");

    // A key that is no text is as unknown as a wrong text.
    const std::string element = py::isinstance<py::str>(element_object) ? py::cast<std::string>(element_object) : "";
    if (element == "Ni") {
        const HostReal dp = real(dp_object, "dp"), temp = real(temp_object, "temp"), gas_constant = real(R, "R");
        sub::NickelDivisionRules rules;
        rules.gas_constant = sub::division_rule(gas_constant.plain(), gas_constant.kind == HostReal::Kind::plain_int);
        rules.temperature = sub::division_rule(gas_constant.plain() && temp.plain(), false);
        rules.diameter = sub::division_rule(dp.plain(), false);
        return float64(sub::nickel_sintering_time(dp.value, temp.value, gas_constant.value, rules));
    }
    if (element == "Fe") {
        return float64(sub::iron_sintering_time(real(temperature_starter, "temperature_starter_for_numerical_issue").value,
                                                real(dp_object, "dp").value, real(temp_object, "temp").value,
                                                real(R, "R").value));
    }
    if (element == "COB")
        return py::float_(sub::cobalt_sintering_time(real(temperature_starter, "temperature_starter_for_numerical_issue").value,
                                                     real(temp_object, "temp").value));
    throw velmora::InvalidValue(sub::unknown_sintering_element_message(std::string(py::repr(element_object))));
}

}  // namespace

PYBIND11_MODULE(coalescence_time, m) {
    velmora::bind::setup_module(m);
    m.def("characterisitc_sintering_time", &characterisitc_sintering_time,
          py::arg("temperature_starter_for_numerical_issue"), py::arg("Catalsyt_element"), py::arg("dp"),
          py::arg("temp"), py::arg("R"), py::arg("a"), py::arg("kb"),
          "Characteristic sintering time in s of a catalyst particle of diameter dp (m) at temp (K);\n"
          "Catalsyt_element is 'Ni', 'Fe' or 'COB'.");
}
