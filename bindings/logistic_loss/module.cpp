// velmora.ml.logistic_loss: the mean cross-entropy as a free function. The
// logistic function is whatever object the module-level name `sigmoid1` holds
// at call time (its attribute `sigmoid1` is called, twice per sample); the
// module binds the package's sigmoid1 module there on import.
#include <pybind11/pybind11.h>

#include "common/errors.hpp"
#include "common/module_setup.hpp"
#include "ml/logistic_cost.hpp"
#include "ml_common/learning_ops.hpp"

PYBIND11_MODULE(logistic_loss, m) {
    namespace py = pybind11;
    using namespace velmora::bind;
    setup_module(m);
    bind_imports(m, {{"np", "numpy"}, {"sigmoid1", "velmora.ml.sigmoid1"}});
    const py::dict globals = m.attr("__dict__");  // the module lives as long as its functions
    m.def(
        "logistic_loss",
        [globals](py::handle X, py::handle y, py::handle w, py::handle b, py::args) {
            const ml_ops::Problem p = ml_ops::problem(X, y, w, b);
            return velmora::ml::logistic_loss(p.X, p.y, p.w, p.b, [&](double z) {
                if (!globals.contains("sigmoid1")) throw velmora::UndefinedName("name 'sigmoid1' is not defined");
                return real_number(globals["sigmoid1"].attr("sigmoid1")(z), "sigmoid1(z)");
            });
        },
        py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"),
        "Mean cross-entropy; further positional arguments are ignored.");
}
