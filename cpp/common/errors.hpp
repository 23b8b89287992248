// Exception types of the core, named for what went wrong. Each carries its
// kind, which the bindings translate into one Python exception in one place
// (bindings/common/module_setup.hpp): InvalidValue -> ValueError,
// MissingKey -> KeyError, OutOfRange -> IndexError, DivisionByZero ->
// ZeroDivisionError, MissingAttribute -> AttributeError, WrongType ->
// TypeError, NotSupported -> NotImplementedError, UndefinedName -> NameError.
#pragma once
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

enum class ErrorKind {
    invalid_value,      // a value outside what is allowed
    missing_key,        // a name not in a table
    out_of_range,       // an index past an array
    division_by_zero,   // a zero divisor
    missing_attribute,  // state not set up yet
    wrong_type,         // a value of the wrong kind
    not_supported,      // an option not implemented
    undefined_name,     // a quantity never defined
};

// Base of the core's exceptions.
struct Error : std::runtime_error {
    Error(ErrorKind error_kind, const std::string& message) : std::runtime_error(message), kind(error_kind) {}
    ErrorKind kind;
};

template <ErrorKind Kind>
struct ErrorOf : Error {
    explicit ErrorOf(const std::string& message) : Error(Kind, message) {}
};

using InvalidValue = ErrorOf<ErrorKind::invalid_value>;
using MissingKey = ErrorOf<ErrorKind::missing_key>;
using OutOfRange = ErrorOf<ErrorKind::out_of_range>;
using DivisionByZero = ErrorOf<ErrorKind::division_by_zero>;
using MissingAttribute = ErrorOf<ErrorKind::missing_attribute>;
using WrongType = ErrorOf<ErrorKind::wrong_type>;
using NotSupported = ErrorOf<ErrorKind::not_supported>;
using UndefinedName = ErrorOf<ErrorKind::undefined_name>;

// Text of the ValueError for an option value outside its set, for example
// "Invalid distribution_type: 'gamma'. Must be 'lognormal' or 'normal'.".
inline std::string invalid_option_text(std::string_view what, std::string_view value,
                                       std::initializer_list<std::string_view> allowed) {
    std::string text("Invalid ");
    text.append(what).append(": '").append(value).append("'. Must be ");
    std::size_t k = 0;
    for (std::string_view a : allowed) {
        if (k > 0) text.append(allowed.size() == 2 ? " or " : (k + 1 == allowed.size() ? ", or " : ", "));
        text.append("'").append(a).append("'");
        ++k;
    }
    text.append(".");
    return text;
}

// The error of reading an attribute an object has not set yet (the host's
// AttributeError text).
inline MissingAttribute missing_attribute(std::string_view class_name, std::string_view attribute) {
    std::string text = "'";
    text.append(class_name).append("' object has no attribute '").append(attribute).append("'");
    return MissingAttribute(text);
}

// Division that refuses a zero divisor the way the host does for floats.
inline double checked_div(double num, double den) {
    if (den == 0.0) throw DivisionByZero("float division by zero");
    return num / den;
}

}  // namespace velmora
