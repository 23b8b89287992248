// Every attribute of the model, readable from Python under its host name
// (private ones under their mangled names) and writable where its shape allows,
// bound from the rows of model_fields.def. Values convert by their C++ type,
// one to_python and one from_python per type; the shapes that read or write
// otherwise (a list instead of an array, a matrix shape, a length that must be
// kept, a value absent until the model sets it) have their own read/write.
// Arrays cross as numpy copies. Also the table itself for Python.

#include "common/conversions.hpp"
#include "growth_simulator/model_binding.hpp"
#include "model/field_table.hpp"

namespace velmora::bind {

namespace {

using Model = model::MovingSectionalModel;
namespace field = model::field;
using namespace pybind11::literals;

// What a conversion needs besides the value: the attribute's name (messages,
// the key of a timed history) and whether an integral number reads as an int
// (the numbers of kind "int": 0, 293, 8908 read back as the integers they are).
struct Field {
    std::string name;
    bool integral_as_int = false;
};

// ---- core value -> Python ----

py::object to_python(double value, const Field& f) {
    if (f.integral_as_int && model::reads_as_integer(value)) return py::int_(static_cast<long long>(value));
    return py::float_(value);
}
// long, bool, string, monostate (None): as pybind11 converts them.
template <class T>
py::object to_python(const T& value, const Field&) {
    return py::cast(value);
}
py::object to_python(model::EmptyList, const Field&) { return py::list(); }
py::object to_python(const OrderedMap<double>& value, const Field&) { return ordered_to_dict(value); }
py::object to_python(const std::vector<double>& value, const Field&) { return to_numpy(value); }
py::object to_python(const gas::GasState& value, const Field&) { return gas_state_to_python(value); }
py::object to_python(const model::CarbonComposition& c, const Field&) {
    return py::dict("cnt_percent"_a = c.cnt_percent, "gp_percent"_a = c.gp_percent,
                    "impurity_percent"_a = c.impurity_percent, "other_percent"_a = c.other_percent);
}
py::object to_python(const model::IntegrationFailure& f, const Field&) {
    return py::make_tuple(f.step, f.position, f.message);
}
// kn_saved holds {"time", "kn"}, dp_saved {"time", "dp"}: the key is the name without "_saved".
py::object to_python(const model::TimedArray& entry, const Field& f) {
    py::dict d("time"_a = entry.time);
    d[py::str(f.name.substr(0, f.name.rfind("_saved")))] = to_numpy(entry.values);
    return d;
}
template <class T>
py::object to_python(const std::vector<T>& entries, const Field& f) {
    py::list out;
    for (const auto& entry : entries) out.append(to_python(entry, f));
    return out;
}
template <class T>
py::object to_python(const std::optional<T>& value, const Field& f) {
    return value ? to_python(*value, f) : py::none();
}

// ---- Python -> core value ----

void from_python(const py::object& value, double& out, const Field& f) { out = real_number(value, f.name); }
void from_python(const py::object& value, long& out, const Field& f) {
    out = static_cast<long>(integer_number(value, f.name));
}
void from_python(const py::object& value, bool& out, const Field&) { out = py::bool_(value); }
void from_python(const py::object& value, std::string& out, const Field&) { out = py::str(value); }
void from_python(const py::object& value, OrderedMap<double>& out, const Field& f) {
    out = dict_to_ordered(value, f.name);
}
void from_python(const py::object& value, std::vector<double>& out, const Field& f) {
    out = flat_real_vector(value, f.name);
}
void from_python(const py::object& value, gas::GasState& out, const Field&) { out = gas_state_from_python(value); }
void from_python(const py::object& value, std::vector<std::vector<double>>& out, const Field& f) {
    std::vector<std::vector<double>> entries;
    for (auto item : py::iter(value)) entries.push_back(flat_real_vector(item, f.name));
    out = std::move(entries);
}
template <class T>
void from_python(const py::object& value, std::optional<T>& out, const Field& f) {
    if (value.is_none()) {
        out.reset();
        return;
    }
    T converted;
    from_python(value, converted, f);
    out = std::move(converted);
}

// ---- reading and writing by shape ----

template <class Shape>
py::object read(Shape, const PyModel&, const typename Shape::type& value, const Field& f) {
    if constexpr (Shape::absent_until_set) {
        if (!value) throw missing_attribute(Model::kClassName, f.name);
        return to_python(*value, f);
    } else {
        return to_python(value, f);
    }
}
py::object read(field::RealList, const PyModel&, const std::vector<double>& value, const Field&) {
    return py::cast(value);
}
py::object read(field::SquareMatrix, const PyModel& self, const std::vector<double>& value, const Field&) {
    return matrix_copy(value, self.n(), self.n());
}
py::object read(field::ClassTable, const PyModel& self, const std::vector<std::int64_t>& value, const Field&) {
    return matrix_copy(value, self.n(), self.n() + 1);
}

template <class Shape>
void write(Shape, PyModel&, typename Shape::type& target, const py::object& value, const Field& f) {
    from_python(value, target, f);
}
// Arrays the model indexes by section, and its matrices, keep their size.
template <class T>
void assign_sized(std::vector<T>& target, std::vector<T> data, std::size_t size, const Field& f) {
    check_length(data.size(), size, f.name);
    target = std::move(data);
}
void write(field::SizedArray, PyModel&, std::vector<double>& target, const py::object& value, const Field& f) {
    assign_sized(target, flat_real_vector(value, f.name), target.size(), f);
}
void write(field::SquareMatrix, PyModel& self, std::vector<double>& target, const py::object& value,
           const Field& f) {
    assign_sized(target, flat_real_vector(value, f.name), self.n() * self.n(), f);
}
void write(field::ClassTable, PyModel& self, std::vector<std::int64_t>& target, const py::object& value,
           const Field& f) {
    assign_sized(target, flat_integer_vector(value, f.name), self.n() * (self.n() + 1), f);
}

template <class Shape>
void bind_field(ModelClass& cls, Shape shape, const char* name, std::string_view kind,
                typename Shape::type Model::*member) {
    const Field f{name, kind == "int"};
    auto get = [shape, f, member](const PyModel& self) { return read(shape, self, self.*member, f); };
    if constexpr (Shape::writable)
        cls.def_property(name, get, [shape, f, member](PyModel& self, const py::object& value) {
            write(shape, self, self.*member, value, f);
        });
    else
        cls.def_property_readonly(name, get);
}

}  // namespace

void read_parameters(const py::kwargs& kwargs, model::ModelParameters& parameters) {
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning) \
    if (kwargs.contains(keyword)) from_python(kwargs[keyword], parameters.member, Field{keyword});
#include "model/model_fields.def"
}

py::list parameter_table() {
    py::list rows;
    for (const auto& row : model::field_table()) {
        const auto initial = std::visit([](const auto& value) { return to_python(value, Field{}); }, row.initial);
        // A null keyword (an attribute that is no parameter) becomes None.
        rows.append(py::dict("name"_a = row.name, "keyword"_a = row.keyword, "part"_a = row.part, "kind"_a = row.kind,
                             "annotation"_a = row.annotation, "writable"_a = row.writable, "default"_a = initial,
                             "unit"_a = row.unit, "meaning"_a = row.meaning));
    }
    return rows;
}

void register_model_attributes(ModelClass& cls) {
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning) \
    bind_field(cls, field::shape{}, attribute, kind, &Model::member);
#define VELMORA_CONSTANT(shape, kind, attribute, member, initial, unit, meaning) \
    bind_field(cls, field::shape{}, attribute, kind, &Model::member);
#define VELMORA_FLOW VELMORA_CONSTANT
#define VELMORA_SECTION VELMORA_CONSTANT
#define VELMORA_HISTORY VELMORA_CONSTANT
#include "model/model_fields.def"

    // Attributes with no core member (VELMORA_BOUND rows of the table).
    cls.def_property(
        "gas", [](const PyModel& self) { return self.python_kinetics->gas; },
        [](PyModel& self, const py::object& value) { self.python_kinetics->gas = value; });

    cls.def_static("parameter_table", &parameter_table, kParameterTableDoc);
}

}  // namespace velmora::bind
