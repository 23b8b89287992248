// velmora.ml.logistic_loss: the mean cross-entropy as a free function. The
// logistic function is whatever object the module-level name `sigmoid1` holds
// at call time (its attribute `sigmoid1` is called); the module binds the
// package's sigmoid1 module there on import.
#include <pybind11/pybind11.h>

#include "common/errors.hpp"
#include "common/module_setup.hpp"
#include "ml/logistic_cost.hpp"
#include "ml_common/learning_ops.hpp"
#include "ml_common/native_callables.hpp"

namespace {

namespace py = pybind11;
using namespace velmora::bind;

double logistic_loss(py::handle module_dict, py::handle X, py::handle y, py::handle w, py::handle b) {
    const ml_ops::Problem p = ml_ops::problem(X, y, w, b);
    const auto holder = [&]() -> py::object {
        PyObject* obj = PyDict_GetItemString(module_dict.ptr(), "sigmoid1");  // borrowed
        if (!obj) throw velmora::UndefinedName("name 'sigmoid1' is not defined");
        return py::reinterpret_borrow<py::object>(obj);
    };
    py::object sig = py::getattr(holder(), "sigmoid1", py::none());
    if (sig.is(ml_native::view_function("sigmoid1"))) return velmora::ml::logistic_loss(p.X, p.y, p.w, p.b);
    return velmora::ml::logistic_loss(p.X, p.y, p.w, p.b, [&](double z) {
        return velmora::bind::real_number(holder().attr("sigmoid1")(z), "sigmoid1(z)");
    });
}

}  // namespace

PYBIND11_MODULE(logistic_loss, m) {
    velmora::bind::setup_module(m);
    velmora::bind::bind_imports(m, {{"np", "numpy"}, {"sigmoid1", "velmora.ml.sigmoid1"}});
    py::object dict = m.attr("__dict__");  // the module lives as long as its functions
    m.def(
        "logistic_loss",
        [dict](py::handle X, py::handle y, py::handle w, py::handle b, py::args) {
            return logistic_loss(dict, X, y, w, b);
        },
        py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"),
        "Mean cross-entropy; further positional arguments are ignored.");
}
