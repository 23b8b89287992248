// velmora.modules.solubility_check: carbon_sat, the carbon saturation test of one section.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "common/conversions.hpp"
#include "submodels/carbon_saturation.hpp"

namespace py = pybind11;
using velmora::bind::HostReal;

namespace {

constexpr const char* kParams[] = {"section_metal_number", "section_carbon_number", "temp", "dp", "flag_id_mat", "Kb"};

py::tuple carbon_sat(py::object section_metal_number, py::object section_carbon_number, py::object temp_object,
                     py::object dp_object, py::object flag_id_mat, py::object Kb) {
    const std::array<py::object, 6> bound{section_metal_number, section_carbon_number, temp_object, dp_object,
                                          flag_id_mat, Kb};
    // Arrays of several entries make the saturation test ambiguous, as the host says.
    for (const py::object& arg : bound) {
        if (py::isinstance<py::array>(arg) && py::reinterpret_borrow<py::array>(arg).size() != 1) {
            if (PyObject_IsTrue(arg.ptr()) < 0) throw py::error_already_set();
        }
    }

    double flag = std::numeric_limits<double>::quiet_NaN();  // a non-number selects no material
    try {
        flag = velmora::bind::host_real(bound[4], velmora::bind::argument_name("carbon_sat", kParams[4])).value;
    } catch (const py::type_error&) {
    }
    try {
        velmora::submodels::catalyst_solubility(flag);
    } catch (const velmora::InvalidValue&) {
        // Named with the caller's own object (a text or None reads as itself, not as nan).
        throw py::value_error("flag_id_mat must be 1 (Ni) or 2 (Fe), got " + py::repr(bound[4]).cast<std::string>());
    }

    auto real = [&](std::size_t k) { return velmora::bind::host_real(bound[k], velmora::bind::argument_name("carbon_sat", kParams[k])); };
    const HostReal metal = real(0), carbon = real(1), temp = real(2), dp = real(3), kb = real(5);
    velmora::submodels::CarbonSaturationRules rules;
    rules.size_term = velmora::submodels::division_rule(kb.plain() && temp.plain() && dp.plain(), false);
    rules.carbon_ratio = velmora::submodels::division_rule(
        carbon.plain() && metal.plain(), carbon.kind == HostReal::Kind::plain_int && metal.kind == HostReal::Kind::plain_int);

    const auto result =
        velmora::submodels::carbon_sat(metal.value, carbon.value, temp.value, dp.value, flag, kb.value, rules);
    if (result.cnt_cnd == 0) return py::make_tuple(0, bound[1]);  // the caller's own object
    static const py::object float64 = py::module_::import("numpy").attr("float64");
    return py::make_tuple(1, float64(result.carbon_inside));
}

}  // namespace

PYBIND11_MODULE(solubility_check, m) {
    velmora::bind::setup_module(m);
    m.def("carbon_sat", &carbon_sat, py::arg(kParams[0]), py::arg(kParams[1]), py::arg(kParams[2]),
          py::arg(kParams[3]), py::arg(kParams[4]), py::arg(kParams[5]),
          "Saturation test of one section: returns (cnt_cnd, carbon_inside), cnt_cnd 1 when the\n"
          "carbon per metal atom exceeds the size-dependent solubility limit (flag_id_mat 1 Ni, 2 Fe).");
}
