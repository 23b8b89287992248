// Recognises the compiled learning functions among arbitrary Python callables,
// so that a descent handed the classifier's own cost and gradient runs entirely
// in C++ while any other callable is honoured through ordinary Python calls.
//
// A bound method counts as native only when it is the compiled function of
// _Main_ML_2D and every method it calls through the instance (sigmoid1,
// logistic_loss) also resolves to the compiled one, so subclass or
// per-instance overrides are always respected.
#pragma once
#include <pybind11/pybind11.h>

namespace velmora::bind::ml_native {

namespace py = pybind11;

inline py::module_ learner_module() { return py::module_::import("velmora.ml.phase_boundary_learner"); }

// The compiled function stored under `name` in the class body of _Main_ML_2D.
inline py::object class_function(const char* name) {
    py::object entry = learner_module().attr("_Main_ML_2D").attr("__dict__")[name];
    return py::getattr(entry, "__func__", py::none());
}

// The compiled free-function view `name` (velmora.ml.phase_boundary_learner._views).
inline py::object view_function(const char* name) { return learner_module().attr("_views").attr(name); }

// True when self.<name> is the compiled method bound to self.
inline bool resolves_native(py::handle self, const char* name) {
    py::object bound = py::getattr(self, name, py::none());
    if (!PyMethod_Check(bound.ptr())) return false;
    return PyMethod_GET_SELF(bound.ptr()) == self.ptr() &&
           PyMethod_GET_FUNCTION(bound.ptr()) == class_function(name).ptr();
}

// f is the compiled method `name` bound to some instance; returns that instance.
inline py::object bound_instance_of(py::handle f, const char* name) {
    if (!PyMethod_Check(f.ptr())) return py::none();
    if (PyMethod_GET_FUNCTION(f.ptr()) != class_function(name).ptr()) return py::none();
    return py::reinterpret_borrow<py::object>(PyMethod_GET_SELF(f.ptr()));
}

enum class CostKind { Foreign, Regularised, Plain };

inline CostKind native_cost(py::handle f) {
    if (f.is(view_function("logistic_loss_reg"))) return CostKind::Regularised;
    py::object self = bound_instance_of(f, "logistic_loss_reg");
    if (!self.is_none())
        return resolves_native(self, "logistic_loss") && resolves_native(self, "sigmoid1") ? CostKind::Regularised
                                                                                           : CostKind::Foreign;
    self = bound_instance_of(f, "logistic_loss");
    if (!self.is_none()) return resolves_native(self, "sigmoid1") ? CostKind::Plain : CostKind::Foreign;
    return CostKind::Foreign;
}

inline bool native_gradient(py::handle f) {
    if (f.is(view_function("compute_gradient"))) return true;
    py::object self = bound_instance_of(f, "compute_gradient");
    return !self.is_none() && resolves_native(self, "sigmoid1");
}

}  // namespace velmora::bind::ml_native
