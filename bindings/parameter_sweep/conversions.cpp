#include <stdexcept>

#include "common/errors.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

double as_double(py::handle obj, const char* what) {
    if (py::isinstance<py::str>(obj) || py::isinstance<py::bytes>(obj) || obj.is_none())
        throw py::type_error(std::string(what) + " must be a number, not '" +
                             text_of(py::type::handle_of(obj).attr("__name__")) + "'");
    return py::float_(py::reinterpret_borrow<py::object>(obj)).cast<double>();
}

long long as_index(py::handle obj) {
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(obj.ptr()));
    if (!index) throw py::error_already_set();
    return index.cast<long long>();
}

std::vector<double> as_vector(py::handle obj, const char* what) {
    auto arr = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(obj);
    if (!arr) throw py::type_error(std::string(what) + " must be an array of numbers");
    if (arr.ndim() != 1) throw py::value_error(std::string(what) + " must be one-dimensional");
    return std::vector<double>(arr.data(), arr.data() + arr.size());
}

py::array_t<double> to_numpy(const std::vector<double>& values) {
    py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

std::string ordinary_exception_text(std::exception_ptr caught) {
    try {
        std::rethrow_exception(caught);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        return text_of(e.value());
    } catch (const py::builtin_exception& e) {
        return e.what();
    } catch (const std::exception& e) {
        return e.what();  // core exceptions carry the host's text
    }
}

}  // namespace velmora::bind::sweep
