// Argument handling that behaves like a plain host function: all parameters
// required, positional or keyword, with the host's own TypeError texts. The
// arguments themselves are converted with common/conversions.hpp.
#pragma once
#include <pybind11/pybind11.h>

#include "common/conversions.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace velmora::bind {

namespace py = pybind11;

inline std::string quoted_name_list(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0) out += names.size() == 2 ? " and " : (k + 1 == names.size() ? ", and " : ", ");
        out += "'" + names[k] + "'";
    }
    return out;
}

// Matches *args/**kwargs against required positional-or-keyword parameters.
// Returns one object per parameter, in parameter order.
inline std::vector<py::object> bind_required_arguments(std::string_view function,
                                                       const std::vector<std::string>& params,
                                                       const py::args& args, const py::kwargs& kwargs) {
    const std::string fname = std::string(function) + "()";
    const std::size_t n = params.size();
    if (args.size() > n) {
        throw py::type_error(fname + " takes " + std::to_string(n) + " positional argument" +
                             (n == 1 ? "" : "s") + " but " + std::to_string(args.size()) +
                             (args.size() == 1 ? " was" : " were") + " given");
    }
    std::vector<py::object> bound(n);
    for (std::size_t k = 0; k < args.size(); ++k) bound[k] = args[k];
    for (auto item : kwargs) {
        const std::string key = py::str(item.first);
        std::size_t slot = n;
        for (std::size_t k = 0; k < n; ++k) {
            if (params[k] == key) slot = k;
        }
        if (slot == n) throw py::type_error(fname + " got an unexpected keyword argument '" + key + "'");
        if (bound[slot]) throw py::type_error(fname + " got multiple values for argument '" + key + "'");
        bound[slot] = py::reinterpret_borrow<py::object>(item.second);
    }
    std::vector<std::string> missing;
    for (std::size_t k = 0; k < n; ++k) {
        if (!bound[k]) missing.push_back(params[k]);
    }
    if (!missing.empty()) {
        throw py::type_error(fname + " missing " + std::to_string(missing.size()) + " required positional argument" +
                             (missing.size() == 1 ? "" : "s") + ": " + quoted_name_list(missing));
    }
    return bound;
}

}  // namespace velmora::bind
