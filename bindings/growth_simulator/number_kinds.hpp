// How scalars written by the population-balance methods read back in Python:
// values the host would hold as ints (a literal integer temperature, the
// integer reference temperature of the initial conditions) versus floats.
#pragma once
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

// After temp_vel: the profile decides whether `temp` is an integer literal.
inline void note_temperature_kind(PyModel& self) {
    NumberKind kind;
    if (self.wrapper_mapping_temp) {
        auto it = self.kinds.find("wrapper_mapping_temp");
        kind = it != self.kinds.end() ? it->second : NumberKind::Float;
    } else if (self.paper_name_for_temperature_history == "custom") {
        kind = NumberKind::Int;
    } else if (self.paper_name_for_temperature_history == "Celnik_2008") {
        // Only the 424 K floor is an integer; the polynomial gives a float.
        kind = self.temp == 424 ? NumberKind::Int : NumberKind::Float;
    } else if (self.paper_name_for_temperature_history == "Ahmad_2019") {
        kind = NumberKind::Float;
    } else {
        return;  // unknown profile: temperature unchanged
    }
    self.kinds["temp"] = kind;
}

// After the collision kernel: the fractal dimension it hands back is a float.
inline void note_fractal_dimension_kind(PyModel& self) { self.kinds["initial_fractal_dimension"] = NumberKind::Float; }

}  // namespace velmora::bind
