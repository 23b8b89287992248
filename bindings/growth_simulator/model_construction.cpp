// MovingSectionalModel(**kwargs): the keyword parameters of model_fields.def
// with their defaults (unknown keywords ignored), the Cantera gas object, and
// the core construction.
#include <functional>

#include "common/conversions.hpp"
#include "growth_simulator/model_binding.hpp"
#include "growth_simulator/model_fields.hpp"

namespace velmora::bind {

namespace {

namespace field = model::field;

// Reads one keyword into its parameter, by the parameter's shape; a keyword
// not given leaves the default.
struct KeywordReader {
    const py::kwargs& kwargs;
    std::unordered_map<std::string, NumberKind>& kinds;

    void read(field::Real, const char* key, const char* attribute, double& target) {
        if (!kwargs.contains(key)) return;
        py::object value = kwargs[py::str(key)];
        target = real_number(value, key);
        kinds[attribute] = is_plain_int(value) ? NumberKind::Int : NumberKind::Float;
    }
    void read(field::Count, const char* key, const char*, long& target) {
        if (kwargs.contains(key)) target = static_cast<long>(integer_number(kwargs[py::str(key)], key));
    }
    void read(field::Flag, const char* key, const char*, bool& target) {
        if (kwargs.contains(key)) target = py::bool_(kwargs[py::str(key)]);
    }
    void read(field::Text, const char* key, const char*, std::string& target) {
        if (kwargs.contains(key)) target = py::str(kwargs[py::str(key)]);
    }
    void read(field::Mapping, const char* key, const char*, OrderedMap<double>& target) {
        if (kwargs.contains(key)) target = dict_to_ordered(kwargs[py::str(key)]);
    }
};

std::unique_ptr<PyModel> construct(const py::kwargs& kwargs) {
    model::ModelParameters p;
    auto kinds = default_number_kinds();
    KeywordReader reader{kwargs, kinds};
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning) \
    reader.read(field::shape{}, keyword, attribute, p.member);
#include "model/model_fields.def"

    // The Cantera Solution every gas step of this model works on.
    py::object gas = py::module_::import("velmora.core._mechanism").attr("gas_solution")(p.kinetics_mechanism_type);
    auto kinetics = std::make_shared<PythonGasKinetics>(gas);
    return std::make_unique<PyModel>(std::move(p), kinetics, std::move(kinds));
}

}  // namespace

void register_model_construction(ModelClass& cls) {
    cls.def(py::init([](py::args args, py::kwargs kwargs) {
                if (py::len(args) != 0)
                    throw py::type_error("MovingSectionalModel() takes keyword arguments only");
                return construct(kwargs);
            }),
            "Build a reactor model from keyword parameters (unknown keywords are ignored).");
}

}  // namespace velmora::bind
