// Mapping_Wrapper.ContourPlotter: the filled contour map of the mean CNT length
// over (P, T) with the learned phase boundary, through matplotlib's pyplot and
// scipy's griddata.
#include <exception>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

namespace {

constexpr int kInterpolationNodes = 100;

// griddata with the given method; cubic falls back to linear, linear to
// nearest on any ordinary exception, and the method used is printed.
py::object interpolate(py::handle x_all, py::handle y_all, py::handle z_all, py::handle Xi, py::handle Yi) {
    py::object griddata = module_global("griddata");
    py::object np = module_global("np");
    // Failed runs have no mean CNT length; interpolating through their NaN would
    // blank the whole map (cubic) or every triangle they touch (linear), so the
    // map is drawn from the runs that produced a value.
    py::object x = np.attr("asarray")(x_all, py::arg("dtype") = "float64");
    py::object y = np.attr("asarray")(y_all, py::arg("dtype") = "float64");
    py::object z = np.attr("asarray")(z_all, py::arg("dtype") = "float64");
    py::object finite = np.attr("isfinite")(z);
    if (py::cast<bool>(finite.attr("any")())) {
        x = x[finite];
        y = y[finite];
        z = z[finite];
    }
    const auto attempt = [&](const char* method) {
        return griddata(py::make_tuple(x, y), z, py::make_tuple(Xi, Yi), py::arg("method") = method);
    };
    try {
        py::object Zi = attempt("cubic");
        velmora::print_line("Using cubic interpolation");
        return Zi;
    } catch (...) {
        ordinary_exception_text(std::current_exception());  // an interrupt ends here
    }
    try {
        py::object Zi = attempt("linear");
        velmora::print_line("Cubic failed, using linear interpolation");
        return Zi;
    } catch (...) {
        ordinary_exception_text(std::current_exception());
    }
    py::object Zi = attempt("nearest");
    velmora::print_line("Linear failed, using nearest neighbor interpolation");
    return Zi;
}

py::tuple create_interpolation_grid(py::object, py::object x, py::object y, py::object z) {
    py::object np = module_global("np");
    py::object xi = np.attr("linspace")(x.attr("min")(), x.attr("max")(), kInterpolationNodes);
    py::object yi = np.attr("linspace")(y.attr("min")(), y.attr("max")(), kInterpolationNodes);
    py::sequence mesh = np.attr("meshgrid")(xi, yi);
    py::object Xi = mesh[0], Yi = mesh[1];
    return py::make_tuple(Xi, Yi, interpolate(x, y, z, Xi, Yi));
}

py::object create_contour_plot(py::object, py::object Xi, py::object Yi, py::object Zi, py::object P_extended,
                               py::object vmax) {
    py::object plt = module_global("plt");
    py::object Zi_capped = module_global("np").attr("clip")(Zi, 0, vmax);
    plt.attr("figure")(py::arg("figsize") = py::make_tuple(12, 10));
    py::object filled = plt.attr("contourf")(Xi, Yi, Zi_capped, py::arg("levels") = 50, py::arg("cmap") = "inferno",
                                             py::arg("vmin") = 0, py::arg("vmax") = vmax, py::arg("alpha") = 0.99);
    py::object cbar = plt.attr("colorbar")(filled, py::arg("shrink") = 0.8);
    cbar.attr("set_label")("L_cnt_avg", py::arg("fontsize") = 22);
    cbar.attr("ax").attr("tick_params")(py::arg("labelsize") = 22);
    plt.attr("contour")(Xi, Yi, Zi_capped, py::arg("levels") = 15, py::arg("colors") = "black",
                        py::arg("alpha") = 0.6, py::arg("linewidths") = 0.8);
    if (!P_extended.is_none()) {
        // The phase boundary: zero level of the classifier's decision value.
        py::list zero_level;
        zero_level.append(0);
        plt.attr("contour")(Xi, Yi, P_extended, py::arg("levels") = zero_level, py::arg("colors") = "white",
                            py::arg("linewidths") = 3);
    }
    // The colour bar's common exponent exists only once the figure is drawn.
    plt.attr("draw")();
    cbar.attr("ax").attr("yaxis").attr("get_offset_text")().attr("set_fontsize")(22);
    plt.attr("contour")(Xi, Yi, Zi, py::arg("levels") = 15, py::arg("colors") = "black", py::arg("alpha") = 0.99,
                        py::arg("linewidths") = 0.8);
    return plt;
}

void customize_plot(py::object) {
    py::object plt = module_global("plt");
    plt.attr("xlabel")("P_parameter", py::arg("fontsize") = 24);
    plt.attr("ylabel")("T_parameter", py::arg("fontsize") = 24);
    py::object ax = plt.attr("gca")();
    py::object tick_params = ax.attr("tick_params");
    tick_params(py::arg("axis") = "x", py::arg("which") = "major", py::arg("direction") = "out",
                py::arg("bottom") = true, py::arg("top") = false, py::arg("width") = 2, py::arg("length") = 8,
                py::arg("labelsize") = 24);
    tick_params(py::arg("axis") = "y", py::arg("which") = "major", py::arg("direction") = "out",
                py::arg("left") = true, py::arg("right") = false, py::arg("width") = 2, py::arg("length") = 8,
                py::arg("labelsize") = 24);
    tick_params(py::arg("axis") = "x", py::arg("which") = "minor", py::arg("direction") = "out",
                py::arg("bottom") = true, py::arg("top") = false, py::arg("width") = 2, py::arg("length") = 5);
    tick_params(py::arg("axis") = "y", py::arg("which") = "minor", py::arg("direction") = "out",
                py::arg("left") = true, py::arg("right") = false, py::arg("width") = 2, py::arg("length") = 5);
    plt.attr("tight_layout")();
}

}  // namespace

void register_contour_plotter(py::object wrapper_cls) {
    py::object cls = make_plain_class(py::str(kModuleName), "ContourPlotter", "Mapping_Wrapper.ContourPlotter",
                                      "Handles contour plotting and visualization");
    add_method(cls, "create_interpolation_grid", &create_interpolation_grid, py::arg("x"), py::arg("y"), py::arg("z"),
               "(Xi, Yi, Zi) on a 100 x 100 grid over the data; cubic, else linear, else nearest interpolation.");
    add_method(cls, "create_contour_plot", &create_contour_plot, py::arg("Xi"), py::arg("Yi"), py::arg("Zi"),
               py::arg("P_extended") = py::none(), py::arg("vmax") = 1e-5,
               "New figure: filled contours of Zi clipped to [0, vmax], colour bar, contour lines, the white "
               "zero level of P_extended; returns pyplot.");
    add_method(cls, "customize_plot", &customize_plot, "Axis labels, tick styling and tight layout of the figure.");
    py::setattr(wrapper_cls, "ContourPlotter", cls);
}

}  // namespace velmora::bind::sweep
