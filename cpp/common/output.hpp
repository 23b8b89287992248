// Printed lines of the system. The core formats a line; where it goes is set by
// the host (the bindings route it to Python's sys.stdout so capture works).
#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

using LineSink = std::function<void(std::string_view)>;

// Installs the destination of printed lines; an empty sink restores std::cout.
void set_line_sink(LineSink sink);

// Writes one line (a newline is appended), like the host's print().
void print_line(std::string_view line);

// The host's repr() of a float: shortest round-trip digits, fixed notation for
// decimal exponents in [-4, 16), otherwise d.ddde-XX; "inf", "nan", "-0.0".
std::string py_repr(double value);

// Formats a value with a printf-like fixed or exponent spec, e.g. fmt_fixed(x, 4) == "%.4f".
std::string fmt_fixed(double value, int decimals);
std::string fmt_exp(double value, int decimals);

}  // namespace velmora
