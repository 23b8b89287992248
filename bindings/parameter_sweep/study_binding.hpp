// Shared pieces of the velmora.core.parameter_sweep bindings: registration of
// each study class, and the conversions between host objects and the core.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <exception>
#include <string>
#include <vector>

#include "common/conversions.hpp"
#include "common/output.hpp"
#include "study/checkpoint.hpp"

namespace velmora::bind::sweep {

namespace py = pybind11;

inline constexpr const char* kModuleName = "velmora.core.parameter_sweep";

// A module-level name, looked up at call time as the code of a module body
// would (so a replaced MovingSectionalModel, plt or griddata is honoured).
inline py::object module_global(const char* name) { return py::module_::import(kModuleName).attr(name); }

// The private Python modules of library calls the study makes, each bound
// under its own name when this module is imported (so a test may replace one):
// the results file (pandas), the points' executors and progress bar, the
// files of a single run (numpy, pandas, json), the visualiser's report of a
// results file (pandas) and its contour map (griddata, pyplot).
inline py::object results_file() { return module_global("_results_file"); }
inline py::object study_execution() { return module_global("_study_execution"); }
inline py::object run_files() { return module_global("_run_files"); }
inline py::object results_report() { return module_global("_results_report"); }
inline py::object contour_map() { return module_global("_contour_map"); }

// A nested study class, reached through the module-level name Mapping_Wrapper.
inline py::object study_class(const char* name) { return module_global("Mapping_Wrapper").attr(name); }

inline void print_lines(const std::vector<std::string>& lines) {
    for (const auto& line : lines) velmora::print_line(line);
}

// A host integer used as a position or count (int, numpy integer, anything with
// __index__), with the shared conversion texts.
inline long long index_number(py::handle obj) { return integer_number(obj, "index"); }

// The text a study records for an ordinary exception caught around one run or
// one save: str() of a host exception, what() of a core one. Host exceptions
// that are not Exception subclasses (KeyboardInterrupt, SystemExit) are
// rethrown, so they end the study.
std::string ordinary_exception_text(std::exception_ptr caught);

// The core's values as host objects: a record cell (None, bool, int, float,
// str), and a JSON value (objects become dicts, arrays lists).
py::object cell_object(const study::CellValue& value);
py::object host_value(const study::JsonValue& value);

// Sets the study parameter `key` ("P", "T", "D", "L") to value on model, as
// the configuration's apply method of that key does. KeyError for another key.
void apply_study_value(py::handle model, const std::string& key, py::handle value);

// Registration of the classes, in the order of the class body.
py::object register_mapping_wrapper(py::module_& m);
void register_study_config(py::module_& m, py::object wrapper_cls);
void register_study_runner(py::object wrapper_cls);
void register_boundary_study(py::module_& m, py::object wrapper_cls);
void register_study_points(py::module_& m);
void register_single_run(py::module_& m);
void register_run_outcomes(py::module_& m);
void register_result_analysis(py::object wrapper_cls);
void register_contour_plotter(py::object wrapper_cls);
void register_visualizer(py::object wrapper_cls);
void register_main_study(py::module_& m);

}  // namespace velmora::bind::sweep
