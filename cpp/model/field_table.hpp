// The rows of model_fields.def as plain data: every attribute of the model
// with its constructor keyword, part, kind, stub annotation, writability,
// default value, unit and meaning. The bindings hand it to Python as it is
// (parameter_table()), the type stub and the command line are built from it.
#pragma once
#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "common/ordered_map.hpp"

namespace velmora::model {

// The default of an attribute that starts as an empty list (the histories).
struct EmptyList {};

// The value a default-constructed part holds, typed as the host sees it: an
// integral number of kind "int" is a long; monostate where the constructor
// decides the value (arrays sized by intnum, the gas states).
using FieldDefault = std::variant<std::monostate, long, double, bool, std::string, OrderedMap<double>, EmptyList>;

struct FieldRow {
    const char* name;     // attribute (private ones under their mangled names)
    const char* keyword;  // constructor keyword; nullptr for attributes that are not parameters
    const char* part;     // "parameter", "material constant", "flow state", "section state", "history"
    const char* kind;     // the value's type as constructed ("int", "float", "array", ...)
    const char* annotation;
    bool writable;
    FieldDefault initial;
    const char* unit;
    const char* meaning;
};

// Whether a number of kind "int" reads back as an integer: finite, integral
// and within the 64-bit range (0, 293, 8908 read as the integers they are).
inline bool reads_as_integer(double value) {
    return std::isfinite(value) && std::trunc(value) == value && std::abs(value) < 1e18;
}

// One row per attribute, in table order.
const std::vector<FieldRow>& field_table();

}  // namespace velmora::model
