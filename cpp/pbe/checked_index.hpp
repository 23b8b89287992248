// Index checks shared by the population-balance kernels. Indices follow the
// host's array rules: a negative index counts from the end, anything outside
// the array raises IndexError instead of touching foreign memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/errors.hpp"

namespace velmora::pbe {

[[noreturn]] inline void throw_out_of_bounds(std::int64_t index, std::int64_t size, int axis = 0) {
    throw OutOfRange("index " + std::to_string(index) + " is out of bounds for axis " +
                     std::to_string(axis) + " with size " + std::to_string(size));
}

// Resolves `index` against an array of `size` elements (negative counts from the end).
inline std::size_t wrap_index(std::int64_t index, std::size_t size, int axis = 0) {
    const auto n = static_cast<std::int64_t>(size);
    const std::int64_t resolved = index < 0 ? index + n : index;
    if (resolved < 0 || resolved >= n) throw_out_of_bounds(index, n, axis);
    return static_cast<std::size_t>(resolved);
}

// Float division that refuses a zero divisor with the host's message for this kernel family.
inline double float_div(double num, double den) {
    if (den == 0.0) throw DivisionByZero("float division");
    return num / den;
}

}  // namespace velmora::pbe
