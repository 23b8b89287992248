// The surface models' classes built from the core's tables (constructor
// parameters, named numbers), and the texts at their boundary. Numbers and
// arrays go through common/conversions.hpp.
#pragma once
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "submodels/class_parameters.hpp"

namespace velmora::bind {

namespace py = pybind11;

// Formulas are searched as text; anything else is refused the way the
// host's pattern search refuses it.
inline std::string formula_text(py::handle value) {
    if (!py::isinstance<py::str>(value))
        throw WrongType("expected string or bytes-like object, got '" + python_type_name(value) + "'");
    return value.cast<std::string>();
}

inline py::object default_object(const submodels::DefaultValue& value) {
    return std::visit(
        [](const auto& v) -> py::object {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, submodels::EmptyMapping>) {
                return py::dict();
            } else if constexpr (requires { v.begin(); }) {
                py::list items;
                for (const auto& item : v) items.append(py::cast(item));
                return items;
            } else {
                return py::cast(v);
            }
        },
        value);
}

// A scripting object: the core model, plus the constructor's values kept as
// the caller passed them, under their attributes. At each assignment the
// number or switch a value carries is copied into the model's parameters.
template <class Model, const auto& Table>
struct ModelObject : Model {
    static constexpr const auto& kParameters = Table;
    std::array<py::object, Table.size()> kept;

    void keep(std::size_t i, py::object value) {
        const auto& row = Table[i];
        if (row.number) this->parameters.*row.number = real_number(value, row.attribute);
        if (row.flag)
            this->parameters.*row.flag = row.test == submodels::SwitchTest::unless_false
                                             ? !value.is(py::bool_(false))
                                             : value.equal(py::bool_(true));
        kept[i] = std::move(value);
    }
    const py::object& kept_value(std::string_view name) const { return kept[submodels::parameter_index(Table, name)]; }
};

template <class Object, std::size_t... I>
void def_constructor(py::class_<Object>& cls, std::index_sequence<I...>) {
    constexpr const auto& table = Object::kParameters;
    cls.def(py::init([](decltype((void)I, py::object())... values) {
                auto self = std::make_unique<Object>();
                (self->keep(I, std::move(values)), ...);  // in parameter order
                return self;
            }),
            py::arg_v(table[I].name, default_object(table[I].default_value))...);
}

// The constructor (each parameter by position or keyword, with its default)
// and one read-write attribute per kept value.
template <class Object>
void def_class_parameters(py::class_<Object>& cls) {
    constexpr const auto& table = Object::kParameters;
    def_constructor(cls, std::make_index_sequence<table.size()>());
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i].attribute) continue;  // accepted and dropped
        cls.def_property(
            table[i].attribute, [i](Object& self) { return self.kept[i]; },
            [i](Object& self, py::object value) { self.keep(i, std::move(value)); });
    }
}

// Float attributes held by the core model, one per row of a core table. An
// optional member is an attribute that exists only once the model has set it;
// an optional inside it may hold None.
template <class Object, class Owner, class Value, std::size_t N>
void def_numbers(py::class_<Object>& cls, const std::array<submodels::NamedNumber<Owner, Value>, N>& fields) {
    constexpr bool may_be_none = std::is_same_v<Value, std::optional<std::optional<double>>>;
    for (const auto& [name, member] : fields) {
        cls.def_property(
            name,
            [=](Object& self) -> py::object {
                const Value& value = self.*member;
                if constexpr (std::is_same_v<Value, double>) {
                    return py::float_(value);
                } else {
                    if (!value) throw missing_attribute(Object::kClassName, name);
                    return py::cast(*value);
                }
            },
            [=](Object& self, const py::object& value) {
                if constexpr (may_be_none) self.*member = optional_real_number(value, name);
                else self.*member = real_number(value, name);
            });
    }
}

}  // namespace velmora::bind
