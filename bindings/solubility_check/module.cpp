// velmora.modules.solubility_check: carbon_sat, the carbon saturation test of one section.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <limits>

#include "common/conversions.hpp"
#include "common/module_setup.hpp"
#include "submodels/carbon_saturation.hpp"

namespace py = pybind11;
using velmora::bind::HostReal;
namespace sub = velmora::submodels;

namespace {

HostReal real(const py::object& value, const char* name) {
    return velmora::bind::host_real(value, velmora::bind::argument_name("carbon_sat", name));
}

py::tuple carbon_sat(py::object section_metal_number, py::object section_carbon_number, py::object temp_object,
                     py::object dp_object, py::object flag_id_mat, py::object Kb) {
    // Arrays of several entries make the saturation test ambiguous, as the host says
    // (asking an array for its truth value raises that ValueError).
    for (const py::object& arg : {section_metal_number, section_carbon_number, temp_object, dp_object, flag_id_mat, Kb})
        if (py::isinstance<py::array>(arg) && PyObject_IsTrue(arg.ptr()) < 0) throw py::error_already_set();
    // The material first. A non-number selects none; the message shows the
    // caller's own object (a text or None reads as itself, not as nan).
    double flag = std::numeric_limits<double>::quiet_NaN();
    try {
        flag = real(flag_id_mat, "flag_id_mat").value;
    } catch (const py::type_error&) {
    }
    if (!sub::known_catalyst(flag)) throw py::value_error(sub::unknown_catalyst_message(std::string(py::repr(flag_id_mat))));

    const HostReal metal = real(section_metal_number, "section_metal_number"),
                   carbon = real(section_carbon_number, "section_carbon_number"), temp = real(temp_object, "temp"),
                   dp = real(dp_object, "dp"), kb = real(Kb, "Kb");
    sub::CarbonSaturationRules rules;
    rules.size_term = sub::division_rule(kb.plain() && temp.plain() && dp.plain(), false);
    rules.carbon_ratio = sub::division_rule(carbon.plain() && metal.plain(), carbon.kind == HostReal::Kind::plain_int &&
                                                                                  metal.kind == HostReal::Kind::plain_int);

    const auto result = sub::carbon_sat(metal.value, carbon.value, temp.value, dp.value, flag, kb.value, rules);
    if (result.cnt_cnd == 0) return py::make_tuple(0, section_carbon_number);  // the caller's own object
    static const py::object float64 = py::module_::import("numpy").attr("float64");
    return py::make_tuple(1, float64(result.carbon_inside));
}

}  // namespace

PYBIND11_MODULE(solubility_check, m) {
    velmora::bind::setup_module(m);
    m.def("carbon_sat", &carbon_sat, py::arg("section_metal_number"), py::arg("section_carbon_number"),
          py::arg("temp"), py::arg("dp"), py::arg("flag_id_mat"), py::arg("Kb"),
          "Saturation test of one section: returns (cnt_cnd, carbon_inside), cnt_cnd 1 when the\n"
          "carbon per metal atom exceeds the size-dependent solubility limit (flag_id_mat 1 Ni, 2 Fe).");
}
