#include <stdexcept>
#include <type_traits>

#include "common/errors.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

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

namespace {

// A scalar of the core's values as the host's: None, bool, int, float, str.
template <class T>
py::object scalar_object(const T& value) {
    if constexpr (std::is_same_v<T, std::monostate>) return py::none();
    else return py::cast(value);
}

}  // namespace

py::object cell_object(const study::CellValue& value) {
    return std::visit([](const auto& v) { return scalar_object(v); }, value);
}

py::object host_value(const study::JsonValue& value) {
    return std::visit(
        [](const auto& v) -> py::object {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, study::JsonValue::Array>) {
                py::list list;
                for (const auto& item : v) list.append(host_value(item));
                return list;
            } else if constexpr (std::is_same_v<T, study::JsonValue::Object>) {
                py::dict dict;
                for (const auto& [key, item] : v) dict[py::str(key)] = host_value(item);
                return dict;
            } else {
                return scalar_object(v);
            }
        },
        value.value);
}

}  // namespace velmora::bind::sweep
