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

inline OrderedMap<double> default_inlet_composition() {
    OrderedMap<double> composition;
    composition.set("C2H2", 0.00452);
    composition.set("C2H4", 1e-15);
    composition.set("H2", 0.00905);
    composition.set("N2", 0.90498);
    return composition;
}

// How a member crosses to Python (the shape column of the table); `type` is
// the member's C++ type. The bindings overload on these tags.
namespace field {
struct Real { using type = double; };                        // int or float, as given
struct Count { using type = long; };                         // integer, read-only
struct Integer { using type = long; };                       // integer
struct OptionalInteger { using type = std::optional<long>; };
struct OptionalReal { using type = std::optional<double>; };
struct Flag { using type = bool; };
struct Text { using type = std::string; };
struct Mapping { using type = OrderedMap<double>; };         // dict of floats, key order kept
struct SizedArray { using type = std::vector<double>; };     // numpy array; assignments keep the length
struct Array { using type = std::vector<double>; };          // numpy array of any length
struct RealList { using type = std::vector<double>; };       // list of floats
struct SquareMatrix { using type = std::vector<double>; };   // n x n, row-major
struct ClassTable { using type = std::vector<std::int64_t>; };  // n x (n+1) integers, row-major
struct History { using type = std::vector<std::vector<double>>; };  // list of arrays
struct TimedHistory { using type = std::vector<TimedArray>; };      // list of {"time", <name>} dicts
struct Gas { using type = gas::GasState; };
struct OptionalGas { using type = std::optional<gas::GasState>; };
struct Composition { using type = std::optional<CarbonComposition>; };
struct CompositionHistory { using type = std::vector<CarbonComposition>; };
struct MappingHistory { using type = std::vector<OrderedMap<double>>; };  // list of dicts, same keys each
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
