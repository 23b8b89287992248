// Exception types of the core. Each maps onto the Python exception of the same
// name in the bindings, so a caller sees exactly what the host language would raise.
#pragma once
#include <stdexcept>
#include <string>

namespace velmora {

struct ValueError : std::runtime_error { using std::runtime_error::runtime_error; };
struct KeyError : std::runtime_error { using std::runtime_error::runtime_error; };
struct IndexError : std::runtime_error { using std::runtime_error::runtime_error; };
struct ZeroDivisionError : std::runtime_error { using std::runtime_error::runtime_error; };
struct AttributeError : std::runtime_error { using std::runtime_error::runtime_error; };
struct TypeError : std::runtime_error { using std::runtime_error::runtime_error; };
struct NotImplementedError : std::runtime_error { using std::runtime_error::runtime_error; };
struct NameError : std::runtime_error { using std::runtime_error::runtime_error; };

// Division that refuses a zero divisor the way the host does for floats.
inline double checked_div(double num, double den) {
    if (den == 0.0) throw ZeroDivisionError("float division by zero");
    return num / den;
}

}  // namespace velmora
