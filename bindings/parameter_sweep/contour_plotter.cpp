// Mapping_Wrapper.ContourPlotter: the filled contour map of the mean CNT length
// over (P, T) with the learned phase boundary. Each method is one call of the
// private module _contour_map (griddata and pyplot), which draws through the
// same functions as velmora.plots.phase_map with the visualiser's settings.
#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

void register_contour_plotter(py::object wrapper_cls) {
    py::object cls = make_plain_class(py::str(kModuleName), "ContourPlotter", "Mapping_Wrapper.ContourPlotter",
                                      "Handles contour plotting and visualization");
    add_method(
        cls, "create_interpolation_grid",
        [](py::object, py::object x, py::object y, py::object z) {
            return contour_map().attr("interpolation_grid")(x, y, z);
        },
        py::arg("x"), py::arg("y"), py::arg("z"),
        "(Xi, Yi, Zi) on a 100 x 100 grid over the data; cubic, else linear, else nearest interpolation.");
    add_method(
        cls, "create_contour_plot",
        [](py::object, py::object Xi, py::object Yi, py::object Zi, py::object P_extended, py::object vmax) {
            return contour_map().attr("contour_plot")(Xi, Yi, Zi, P_extended, vmax);
        },
        py::arg("Xi"), py::arg("Yi"), py::arg("Zi"), py::arg("P_extended") = py::none(), py::arg("vmax") = 1e-5,
        "New figure: filled contours of Zi clipped to [0, vmax], colour bar, contour lines, the white zero level "
        "of P_extended; returns pyplot.");
    add_method(
        cls, "customize_plot", [](py::object) { contour_map().attr("customize_plot")(); },
        "Axis labels, tick styling and tight layout of the figure.");
    py::setattr(wrapper_cls, "ContourPlotter", cls);
}

}  // namespace velmora::bind::sweep
