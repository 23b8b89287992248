// The constructor parameters of a surface model's scripting class, one row
// each: the parameter's name and default as callers see them, the attribute
// that keeps the value as passed, and the field of the core's parameter struct
// that the value feeds. The bindings build the class from these rows alone.
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "common/errors.hpp"

namespace velmora::submodels {

// A fresh empty dictionary.
struct EmptyMapping {};

// A default as the caller would write it (the kind of number matters to
// callers that read it back: 1 is not 1.0). Lists and the dictionary are made
// once, so every call that omits them shares the same object.
using DefaultValue = std::variant<bool, long long, double, const char*, std::span<const long long>,
                                  std::span<const char* const>, EmptyMapping>;

// How a switch parameter turns its value into on/off: compared `== True`
// (so 1 and 1.0 count as on), or on unless the value is False itself.
enum class SwitchTest { equals_true, unless_false };

template <class Params>
struct ClassParameter {
    const char* name;       // by position (in table order) or by keyword
    const char* attribute;  // keeps the value as passed; nullptr: accepted and dropped
    DefaultValue default_value;
    double Params::*number = nullptr;  // core number read from the value (a real number)
    bool Params::*flag = nullptr;      // core switch set from the value
    SwitchTest test = SwitchTest::equals_true;
};

// Position of the parameter `name` in a table (a compile error when absent).
template <class Table>
constexpr std::size_t parameter_index(const Table& table, std::string_view name) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].name == name) return i;
    throw "no such parameter";
}

// A number of the model under the attribute name callers read it by.
template <class Owner, class Value = double>
struct NamedNumber {
    const char* name;
    Value Owner::*member;
};

}  // namespace velmora::submodels
