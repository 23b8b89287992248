// Exception types of the core. Each maps onto the Python exception of the same
// name in the bindings, so a caller sees exactly what the host language would raise.
#pragma once
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

struct ValueError : std::runtime_error { using std::runtime_error::runtime_error; };
struct KeyError : std::runtime_error { using std::runtime_error::runtime_error; };
struct IndexError : std::runtime_error { using std::runtime_error::runtime_error; };
struct ZeroDivisionError : std::runtime_error { using std::runtime_error::runtime_error; };
struct AttributeError : std::runtime_error { using std::runtime_error::runtime_error; };
struct TypeError : std::runtime_error { using std::runtime_error::runtime_error; };
struct NotImplementedError : std::runtime_error { using std::runtime_error::runtime_error; };
struct NameError : std::runtime_error { using std::runtime_error::runtime_error; };

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
    if (den == 0.0) throw ZeroDivisionError("float division by zero");
    return num / den;
}

}  // namespace velmora
