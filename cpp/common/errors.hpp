// Exception types of the core, named for what went wrong. The bindings
// translate each into one Python exception, in one place
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

struct InvalidValue : std::runtime_error { using std::runtime_error::runtime_error; };      // a value outside what is allowed
struct MissingKey : std::runtime_error { using std::runtime_error::runtime_error; };        // a name not in a table
struct OutOfRange : std::runtime_error { using std::runtime_error::runtime_error; };        // an index past an array
struct DivisionByZero : std::runtime_error { using std::runtime_error::runtime_error; };    // a zero divisor
struct MissingAttribute : std::runtime_error { using std::runtime_error::runtime_error; };  // state not set up yet
struct WrongType : std::runtime_error { using std::runtime_error::runtime_error; };         // a value of the wrong kind
struct NotSupported : std::runtime_error { using std::runtime_error::runtime_error; };      // an option not implemented
struct UndefinedName : std::runtime_error { using std::runtime_error::runtime_error; };     // a quantity never defined

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

// Division that refuses a zero divisor the way the host does for floats.
inline double checked_div(double num, double den) {
    if (den == 0.0) throw DivisionByZero("float division by zero");
    return num / den;
}

}  // namespace velmora
