// Every attribute of the model, readable and writable from Python under its
// host name (private ones under their mangled names), bound from the rows of
// model_fields.def: one `bind_field` overload per shape of the table. Arrays
// cross as numpy copies; arrays whose size the model relies on refuse a
// different size. Also the table itself for Python (parameter_table()).
#include "common/conversions.hpp"
#include "growth_simulator/model_binding.hpp"
#include "growth_simulator/model_fields.hpp"

namespace velmora::bind {

namespace {

using Model = model::MovingSectionalModel;
namespace field = model::field;
using namespace pybind11::literals;

void bind_field(ModelClass& cls, field::Real, const char* name, double Model::*member) {
    const std::string key = name;
    cls.def_property(
        name, [key, member](const PyModel& self) { return self.number(key, self.*member); },
        [key, member](PyModel& self, const py::object& value) {
            self.*member = real_number(value, key);
            self.kinds[key] = is_plain_int(value) ? NumberKind::Int : NumberKind::Float;
        });
}

void bind_field(ModelClass& cls, field::Count, const char* name, long Model::*member) {
    cls.def_property_readonly(name, [member](const PyModel& self) { return self.*member; });
}

void bind_field(ModelClass& cls, field::Integer, const char* name, long Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return self.*member; },
        [key = std::string(name), member](PyModel& self, const py::object& value) {
            self.*member = static_cast<long>(integer_number(value, key));
        });
}

void bind_field(ModelClass& cls, field::OptionalInteger, const char* name, std::optional<long> Model::*member) {
    const std::string key = name;
    cls.def_property(
        name,
        [member](const PyModel& self) -> py::object {
            if (!(self.*member)) return py::none();
            return py::int_(*(self.*member));
        },
        [key, member](PyModel& self, const py::object& value) {
            if (value.is_none())
                (self.*member).reset();
            else
                self.*member = static_cast<long>(integer_number(value, key));
        });
}

void bind_field(ModelClass& cls, field::OptionalReal, const char* name, std::optional<double> Model::*member) {
    const std::string key = name;
    cls.def_property(
        name,
        [key, member](const PyModel& self) -> py::object {
            if (!(self.*member)) return py::none();
            return self.number(key, *(self.*member));
        },
        [key, member](PyModel& self, const py::object& value) {
            if (value.is_none()) {
                self.*member = std::nullopt;
                return;
            }
            self.*member = real_number(value, key);
            self.kinds[key] = is_plain_int(value) ? NumberKind::Int : NumberKind::Float;
        });
}

void bind_field(ModelClass& cls, field::Flag, const char* name, bool Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return self.*member; },
        [member](PyModel& self, const py::object& value) { self.*member = py::bool_(value); });
}

void bind_field(ModelClass& cls, field::Text, const char* name, std::string Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return self.*member; },
        [member](PyModel& self, const py::object& value) { self.*member = py::str(value); });
}

void bind_field(ModelClass& cls, field::Mapping, const char* name, OrderedMap<double> Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return ordered_to_dict(self.*member); },
        [member](PyModel& self, const py::dict& value) { self.*member = dict_to_ordered(value); });
}

// A per-section array. A sized array keeps its length: the model indexes it by section.
void array_property(ModelClass& cls, const char* name, std::vector<double> Model::*member, bool sized) {
    const std::string key = name;
    cls.def_property(
        name, [member](const PyModel& self) { return to_numpy(self.*member); },
        [key, member, sized](PyModel& self, const py::object& value) {
            auto data = flat_real_vector(value, key);
            if (sized) check_length(data.size(), (self.*member).size(), key);
            self.*member = std::move(data);
        });
}

void bind_field(ModelClass& cls, field::SizedArray, const char* name, std::vector<double> Model::*member) {
    array_property(cls, name, member, true);
}

void bind_field(ModelClass& cls, field::Array, const char* name, std::vector<double> Model::*member) {
    array_property(cls, name, member, false);
}

void bind_field(ModelClass& cls, field::RealList, const char* name, std::vector<double> Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return py::cast(self.*member); },
        [member](PyModel& self, const std::vector<double>& value) { self.*member = value; });
}

void bind_field(ModelClass& cls, field::SquareMatrix, const char* name, std::vector<double> Model::*member) {
    const std::string key = name;
    cls.def_property(
        name, [member](const PyModel& self) { return matrix_copy(self.*member, self.n(), self.n()); },
        [key, member](PyModel& self, const py::object& value) {
            auto data = flat_real_vector(value, key);
            check_length(data.size(), self.n() * self.n(), key);
            self.*member = std::move(data);
        });
}

void bind_field(ModelClass& cls, field::ClassTable, const char* name, std::vector<std::int64_t> Model::*member) {
    const std::string key = name;
    cls.def_property(
        name, [member](const PyModel& self) { return int_matrix_copy(self.*member, self.n(), self.n() + 1); },
        [key, member](PyModel& self, const py::object& value) {
            auto arr = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(value);
            if (!arr) throw py::type_error(key + " must be an integer array");
            check_length(static_cast<std::size_t>(arr.size()), self.n() * (self.n() + 1), key);
            self.*member = std::vector<std::int64_t>(arr.data(), arr.data() + arr.size());
        });
}

void bind_field(ModelClass& cls, field::History, const char* name,
                std::vector<std::vector<double>> Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return history_list(self.*member); },
        [key = std::string(name), member](PyModel& self, const py::iterable& value) {
            std::vector<std::vector<double>> entries;
            for (auto item : value) entries.push_back(flat_real_vector(item, key));
            self.*member = std::move(entries);
        });
}

// A list with one converted entry per element of a history.
template <class Entries, class Convert>
py::list list_of(const Entries& entries, Convert convert) {
    py::list out;
    for (const auto& entry : entries) out.append(convert(entry));
    return out;
}

// A value that exists only once the model has set it; read before, the
// attribute is missing.
template <class Value>
const Value& present(const std::optional<Value>& value, const std::string& name) {
    if (!value) throw py::attribute_error("'MovingSectionalModel' object has no attribute '" + name + "'");
    return *value;
}

// kn_saved holds {"time", "kn"}, dp_saved {"time", "dp"}: the key is the name without "_saved".
void bind_field(ModelClass& cls, field::TimedHistory, const char* name,
                std::vector<model::TimedArray> Model::*member) {
    std::string key = name;
    key = key.substr(0, key.rfind("_saved"));
    cls.def_property_readonly(name, [key, member](const PyModel& self) {
        return list_of(self.*member, [&key](const model::TimedArray& entry) {
            py::dict d("time"_a = entry.time);
            d[py::str(key)] = to_numpy(entry.values);
            return d;
        });
    });
}

py::dict composition_dict(const model::CarbonComposition& c) {
    return py::dict("cnt_percent"_a = c.cnt_percent, "gp_percent"_a = c.gp_percent,
                    "impurity_percent"_a = c.impurity_percent, "other_percent"_a = c.other_percent);
}

void bind_field(ModelClass& cls, field::Composition, const char* name,
                std::optional<model::CarbonComposition> Model::*member) {
    cls.def_property_readonly(name, [key = std::string(name), member](const PyModel& self) {
        return composition_dict(present(self.*member, key));
    });
}

void bind_field(ModelClass& cls, field::CompositionHistory, const char* name,
                std::vector<model::CarbonComposition> Model::*member) {
    cls.def_property_readonly(name, [member](const PyModel& self) { return list_of(self.*member, composition_dict); });
}

void bind_field(ModelClass& cls, field::MappingHistory, const char* name,
                std::vector<OrderedMap<double>> Model::*member) {
    cls.def_property_readonly(name, [member](const PyModel& self) {
        return list_of(self.*member, [](const OrderedMap<double>& entry) { return ordered_to_dict(entry); });
    });
}

void bind_field(ModelClass& cls, field::Gas, const char* name, gas::GasState Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return gas_state_to_python(self.*member); },
        [member](PyModel& self, const py::object& value) { self.*member = gas_state_from_python(value); });
}

void bind_field(ModelClass& cls, field::OptionalGas, const char* name, std::optional<gas::GasState> Model::*member) {
    cls.def_property(
        name, [key = std::string(name), member](const PyModel& self) { return gas_state_to_python(present(self.*member, key)); },
        [member](PyModel& self, const py::object& value) { self.*member = gas_state_from_python(value); });
}

// ---- the table for Python ----

// Python type annotation of a shape (the stub is generated from these).
const char* annotation(field::Real) { return "float"; }
const char* annotation(field::Count) { return "int"; }
const char* annotation(field::Integer) { return "int"; }
const char* annotation(field::OptionalInteger) { return "int | None"; }
const char* annotation(field::OptionalReal) { return "float | None"; }
const char* annotation(field::Flag) { return "bool"; }
const char* annotation(field::Text) { return "str"; }
const char* annotation(field::Mapping) { return "dict[str, float]"; }
const char* annotation(field::SizedArray) { return "np.ndarray"; }
const char* annotation(field::Array) { return "np.ndarray"; }
const char* annotation(field::RealList) { return "list[float]"; }
const char* annotation(field::SquareMatrix) { return "np.ndarray"; }
const char* annotation(field::ClassTable) { return "np.ndarray"; }
const char* annotation(field::History) { return "list[np.ndarray]"; }
const char* annotation(field::TimedHistory) { return "list[dict[str, Any]]"; }
const char* annotation(field::Composition) { return "dict[str, float]"; }
const char* annotation(field::CompositionHistory) { return "list[dict[str, float]]"; }
const char* annotation(field::MappingHistory) { return "list[dict[str, float]]"; }
const char* annotation(field::Gas) {
    return "tuple[dict[str, Any], dict[str, float], dict[str, float], dict[str, int]]";
}
const char* annotation(field::OptionalGas) {
    return "tuple[dict[str, Any], dict[str, float], dict[str, float], dict[str, int]]";
}

bool writable(field::Count) { return false; }
bool writable(field::TimedHistory) { return false; }
bool writable(field::Composition) { return false; }
bool writable(field::CompositionHistory) { return false; }
bool writable(field::MappingHistory) { return false; }
template <class Shape>
bool writable(Shape) {
    return true;
}

// The value a default-constructed part holds, as Python sees it; None where
// the constructor decides it (arrays sized by intnum, the gas states).
py::object default_value(field::Real, double value, bool int_kind) {
    if (int_kind && value == static_cast<double>(static_cast<long long>(value)))
        return py::int_(static_cast<long long>(value));
    return py::float_(value);
}
py::object default_value(field::Count, long value, bool) { return py::int_(value); }
py::object default_value(field::Integer, long value, bool) { return py::int_(value); }
py::object default_value(field::Flag, bool value, bool) { return py::bool_(value); }
py::object default_value(field::Text, const std::string& value, bool) { return py::str(value); }
py::object default_value(field::Mapping, const OrderedMap<double>& value, bool) {
    if (value.empty()) return py::none();
    return ordered_to_dict(value);
}
template <class Shape, class Value>
py::object default_value(Shape, const Value&, bool) {
    return py::none();
}
py::object history_default() { return py::list(); }

py::dict table_row(const char* part, const char* kind, const char* keyword, const char* attribute,
                   const char* python_type, bool can_write, py::object initial, const char* unit,
                   const char* meaning) {
    return py::dict("name"_a = attribute, "keyword"_a = keyword ? py::object(py::str(keyword)) : py::none(),
                    "part"_a = part, "kind"_a = kind, "annotation"_a = python_type, "writable"_a = can_write,
                    "default"_a = std::move(initial), "unit"_a = unit, "meaning"_a = meaning);
}

}  // namespace

py::array_t<double> matrix_copy(const std::vector<double>& v, std::size_t rows, std::size_t cols) {
    py::array_t<double> out({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(cols)});
    if (v.size() == rows * cols) std::copy(v.begin(), v.end(), out.mutable_data());
    return out;
}

py::array_t<std::int64_t> int_matrix_copy(const std::vector<std::int64_t>& v, std::size_t rows, std::size_t cols) {
    py::array_t<std::int64_t> out({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(cols)});
    if (v.size() == rows * cols) std::copy(v.begin(), v.end(), out.mutable_data());
    return out;
}

py::list history_list(const std::vector<std::vector<double>>& entries) {
    return list_of(entries, [](const std::vector<double>& entry) { return to_numpy(entry); });
}

std::unordered_map<std::string, NumberKind> default_number_kinds() {
    std::unordered_map<std::string, NumberKind> kinds;
    const auto note = [&kinds](const char* attribute, std::string_view kind) {
        if (kind == "int") kinds[attribute] = NumberKind::Int;
    };
#define VELMORA_REAL_KIND(shape, kind, attribute) \
    if constexpr (std::is_same_v<field::shape, field::Real>) note(attribute, kind);
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning) \
    VELMORA_REAL_KIND(shape, kind, attribute)
#define VELMORA_CONSTANT(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_REAL_KIND(shape, kind, attribute)
#define VELMORA_FLOW VELMORA_CONSTANT
#define VELMORA_SECTION VELMORA_CONSTANT
#define VELMORA_HISTORY VELMORA_CONSTANT
#include "model/model_fields.def"
#undef VELMORA_REAL_KIND
    return kinds;
}

py::list parameter_table() {
    const model::ModelParameters parameters;
    const model::MaterialConstants constants;
    const model::FlowState flow;
    const model::SectionState sections;
    py::list rows;
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning)                           \
    rows.append(table_row("parameter", kind, keyword, attribute, annotation(field::shape{}), writable(field::shape{}), \
                          default_value(field::shape{}, parameters.member, std::string_view(kind) == "int"), unit,   \
                          meaning));
#define VELMORA_PART_ROW(part_name, part, shape, kind, attribute, member, unit, meaning)                           \
    rows.append(table_row(part_name, kind, nullptr, attribute, annotation(field::shape{}), writable(field::shape{}), \
                          default_value(field::shape{}, part.member, std::string_view(kind) == "int"), unit,       \
                          meaning));
#define VELMORA_CONSTANT(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_PART_ROW("material constant", constants, shape, kind, attribute, member, unit, meaning)
#define VELMORA_FLOW(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_PART_ROW("flow state", flow, shape, kind, attribute, member, unit, meaning)
#define VELMORA_SECTION(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_PART_ROW("section state", sections, shape, kind, attribute, member, unit, meaning)
#define VELMORA_HISTORY(shape, kind, attribute, member, initial, unit, meaning)                                  \
    rows.append(table_row("history", kind, nullptr, attribute, annotation(field::shape{}), writable(field::shape{}), \
                          history_default(), unit, meaning));
#define VELMORA_BOUND(part, kind, attribute, python_type, can_write, unit, meaning) \
    rows.append(table_row(part, kind, nullptr, attribute, python_type, can_write, py::none(), unit, meaning));
#include "model/model_fields.def"
#undef VELMORA_PART_ROW
    return rows;
}

void register_model_attributes(ModelClass& cls) {
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning) \
    bind_field(cls, field::shape{}, attribute, &Model::member);
#define VELMORA_CONSTANT(shape, kind, attribute, member, initial, unit, meaning) \
    bind_field(cls, field::shape{}, attribute, &Model::member);
#define VELMORA_FLOW VELMORA_CONSTANT
#define VELMORA_SECTION VELMORA_CONSTANT
#define VELMORA_HISTORY VELMORA_CONSTANT
#include "model/model_fields.def"

    // Attributes with no core member (VELMORA_BOUND rows of the table).
    cls.def_property(
        "gas", [](const PyModel& self) { return self.python_kinetics->gas; },
        [](PyModel& self, const py::object& value) { self.python_kinetics->gas = value; });

    cls.def_static("parameter_table", &parameter_table,
                   "The model's attributes, one dict per attribute: name, keyword (the constructor keyword, None "
                   "for attributes that are not parameters), part, kind, annotation, writable, default, unit, "
                   "meaning.");
}

}  // namespace velmora::bind
