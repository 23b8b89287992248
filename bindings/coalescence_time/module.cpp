// velmora.modules.coalescence_time: characterisitc_sintering_time by catalyst material.
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "common/python_arguments.hpp"
#include "submodels/sintering_time.hpp"

namespace py = pybind11;
using velmora::bind::HostReal;
using velmora::submodels::ZeroDivisorRule;

namespace {

const std::vector<std::string> kParams = {"temperature_starter_for_numerical_issue",
                                          "Catalsyt_element", "dp", "temp", "R", "a", "kb"};
constexpr const char* kName = "characterisitc_sintering_time";

ZeroDivisorRule plain_rule(const HostReal& divisor, bool int_quotient) {
    if (!divisor.plain()) return ZeroDivisorRule::ieee;
    return int_quotient ? ZeroDivisorRule::host_int : ZeroDivisorRule::host_float;
}

py::object characterisitc_sintering_time(const py::args& args, const py::kwargs& kwargs) {
    namespace sub = velmora::submodels;
    const auto bound = velmora::bind::bind_required_arguments(kName, kParams, args, kwargs);
    auto real = [&](std::size_t k) { return velmora::bind::host_real(bound[k], velmora::bind::argument_name(kName, kParams[k])); };
    static const py::object float64 = py::module_::import("numpy").attr("float64");

    if (!py::isinstance<py::str>(bound[1])) {
        throw velmora::ValueError(sub::unknown_sintering_element_message(std::string(py::repr(bound[1]))));
    }
    const std::string element = py::cast<std::string>(bound[1]);
    if (element == "Ni") {
        const HostReal dp = real(2), temp = real(3), gas_constant = real(4);
        sub::NickelDivisionRules rules;
        rules.gas_constant = plain_rule(gas_constant, gas_constant.kind == HostReal::Kind::plain_int);
        rules.temperature = gas_constant.plain() ? plain_rule(temp, false) : ZeroDivisorRule::ieee;
        rules.diameter = plain_rule(dp, false);
        return float64(sub::nickel_sintering_time(dp.value, temp.value, gas_constant.value, rules));
    }
    if (element == "Fe") {
        return float64(sub::iron_sintering_time(real(0).value, real(2).value, real(3).value, real(4).value));
    }
    if (element == "COB") return py::float_(sub::cobalt_sintering_time(real(0).value, real(3).value));
    throw velmora::ValueError(sub::unknown_sintering_element_message(std::string(py::repr(bound[1]))));
}

}  // namespace

PYBIND11_MODULE(coalescence_time, m) {
    velmora::bind::setup_module(m);
    m.def("characterisitc_sintering_time", &characterisitc_sintering_time,
          "characterisitc_sintering_time(temperature_starter_for_numerical_issue, Catalsyt_element, dp, temp, R, a, kb)\n\n"
          "Characteristic sintering time in s of a catalyst particle of diameter dp (m) at temp (K);\n"
          "Catalsyt_element is 'Ni', 'Fe' or 'COB'.");
}
