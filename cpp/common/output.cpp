#include "common/output.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace velmora {

namespace {
LineSink& sink_slot() {
    static LineSink sink;
    return sink;
}
}  // namespace

void set_line_sink(LineSink sink) { sink_slot() = std::move(sink); }

void print_line(std::string_view line) {
    auto& sink = sink_slot();
    if (sink) {
        sink(line);
    } else {
        std::cout << line << '\n';
    }
}

std::string py_repr(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (value == 0.0) return std::signbit(value) ? "-0.0" : "0.0";

    // Shortest round-trip digits in scientific form: [-]d[.ddd]e[+-]XX
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string sci(buf, res.ptr);
    const bool negative = sci[0] == '-';
    if (negative) sci.erase(0, 1);
    const auto epos = sci.find('e');
    std::string mantissa = sci.substr(0, epos);
    const int exponent = std::stoi(sci.substr(epos + 1));
    std::string digits;
    for (char c : mantissa)
        if (c != '.') digits += c;

    std::string out;
    if (negative) out.push_back('-');
    if (exponent >= -4 && exponent < 16) {  // fixed notation, as the host prints it
        if (exponent >= 0) {
            const auto int_digits = static_cast<std::size_t>(exponent + 1);
            if (digits.size() <= int_digits) {
                out.append(digits).append(int_digits - digits.size(), '0').append(".0");
            } else {
                out.append(digits, 0, int_digits).append(".").append(digits, int_digits, std::string::npos);
            }
        } else {
            out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
        }
    } else {
        out.append(digits, 0, 1);
        if (digits.size() > 1) out.append(".").append(digits, 1, std::string::npos);
        char ebuf[16];
        std::snprintf(ebuf, sizeof ebuf, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out.append(ebuf);
    }
    return out;
}

std::string fmt_fixed(double value, int decimals) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

std::string fmt_exp(double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", decimals, value);
    return buf;
}

}  // namespace velmora
