// The state of one reactor model in five parts, each a struct that
// MovingSectionalModel derives from (so methods name the members directly):
//   ModelParameters    the keyword parameters and their defaults
//   MaterialConstants  physical constants and the catalyst's material data
//   FlowState          derived reactor quantities, gas states, running scalars
//   SectionState       the state vector, per-section arrays, work arrays
//   Histories          one entry per outer step
// The members are declared by the rows of model_fields.def, which also carry
// each one's Python attribute name, kind, unit and meaning.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/ordered_map.hpp"
#include "gas/gas_state.hpp"

namespace velmora::model {

// Per-step record of a per-section array tagged with the step's end position.
struct TimedArray {
    double time = 0.0;
    std::vector<double> values;
};

// Fractions of the carbon grown in a step (not percentages, despite the keys).
struct CarbonComposition {
    double cnt_percent = 0, gp_percent = 0, impurity_percent = 0, other_percent = 0;
};

// One outer step whose integration did not reach the step's end: the step
// number (counter, from 1), the step's start position (m) and the solver's message.
// solve() still continues from whatever state the integrator returned.
struct IntegrationFailure {
    long step = 0;
    double position = 0.0;
    std::string message;
};

inline OrderedMap<double> default_inlet_composition() {
    OrderedMap<double> composition;
    composition.set("C2H2", 0.00452);
    composition.set("C2H4", 1e-15);
    composition.set("H2", 0.00905);
    composition.set("N2", 0.90498);
    return composition;
}

// How a member crosses to Python (the shape column of the table): `type` is
// the member's C++ type, `annotation` its type in the Python stub, `writable`
// whether Python may assign it, `absent_until_set` whether the attribute is
// missing (rather than None) while the optional holds nothing. The bindings
// overload on these tags.
namespace field {
template <class T, bool can_write = true>
struct Shape {
    using type = T;
    static constexpr bool writable = can_write;
    static constexpr bool absent_until_set = false;
};
inline constexpr const char* gas_tuple = "tuple[dict[str, Any], dict[str, float], dict[str, float], dict[str, int]]";
struct Real : Shape<double> { static constexpr auto annotation = "float"; };  // int or float, by its kind
struct Count : Shape<long, false> { static constexpr auto annotation = "int"; };
struct Integer : Shape<long> { static constexpr auto annotation = "int"; };
struct OptionalInteger : Shape<std::optional<long>> { static constexpr auto annotation = "int | None"; };
struct OptionalReal : Shape<std::optional<double>> { static constexpr auto annotation = "float | None"; };
struct Flag : Shape<bool> { static constexpr auto annotation = "bool"; };
struct Text : Shape<std::string> { static constexpr auto annotation = "str"; };
// a dict whose key order is kept
struct Mapping : Shape<OrderedMap<double>> { static constexpr auto annotation = "dict[str, float]"; };
struct SizedArray : Shape<std::vector<double>> { static constexpr auto annotation = "np.ndarray"; };  // length kept
struct Array : Shape<std::vector<double>> { static constexpr auto annotation = "np.ndarray"; };  // any length
struct RealList : Shape<std::vector<double>> { static constexpr auto annotation = "list[float]"; };
struct SquareMatrix : Shape<std::vector<double>> { static constexpr auto annotation = "np.ndarray"; };  // n x n
struct ClassTable : Shape<std::vector<std::int64_t>> { static constexpr auto annotation = "np.ndarray"; };  // n x (n+1)
struct History : Shape<std::vector<std::vector<double>>> { static constexpr auto annotation = "list[np.ndarray]"; };
// list of {"time", <name without _saved>} dicts
struct TimedHistory : Shape<std::vector<TimedArray>, false> {
    static constexpr auto annotation = "list[dict[str, Any]]";
};
struct Gas : Shape<gas::GasState> { static constexpr auto annotation = gas_tuple; };
struct OptionalGas : Shape<std::optional<gas::GasState>> {
    static constexpr auto annotation = gas_tuple;
    static constexpr bool absent_until_set = true;
};
struct Composition : Shape<std::optional<CarbonComposition>, false> {
    static constexpr auto annotation = "dict[str, float]";
    static constexpr bool absent_until_set = true;
};
struct CompositionHistory : Shape<std::vector<CarbonComposition>, false> {
    static constexpr auto annotation = "list[dict[str, float]]";
};
struct MappingHistory : Shape<std::vector<OrderedMap<double>>, false> {
    static constexpr auto annotation = "list[dict[str, float]]";
};
// list of (step, position, message) tuples
struct FailureList : Shape<std::vector<IntegrationFailure>, false> {
    static constexpr auto annotation = "list[tuple[int, float, str]]";
};
}  // namespace field

struct ModelParameters {
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning) \
    field::shape::type member = initial;
#include "model/model_fields.def"
};

struct MaterialConstants {
#define VELMORA_CONSTANT(shape, kind, attribute, member, initial, unit, meaning) field::shape::type member = initial;
#include "model/model_fields.def"
};

struct FlowState {
#define VELMORA_FLOW(shape, kind, attribute, member, initial, unit, meaning) field::shape::type member = initial;
#include "model/model_fields.def"
};

struct SectionState {
#define VELMORA_SECTION(shape, kind, attribute, member, initial, unit, meaning) field::shape::type member = initial;
#include "model/model_fields.def"
};

struct Histories {
#define VELMORA_HISTORY(shape, kind, attribute, member, initial, unit, meaning) field::shape::type member = initial;
#include "model/model_fields.def"
};

}  // namespace velmora::model
