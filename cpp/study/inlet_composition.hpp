// Setting the inlet C2H2 mole fraction of a study point: the carrier gases
// keep their mutual ratio and fill the rest of unit sum; every other species of
// the model's composition is dropped.
#pragma once
#include "common/ordered_map.hpp"

namespace velmora::study {

// {"C2H2": c2h2, "C2H4": 1e-15, "H2": ..., "N2": ...} in this key order, with
// H2 and N2 scaled to (1 - c2h2) in the ratio h2 : n2. Throws
// ZeroDivisionError when h2 + n2 == 0.
OrderedMap<double> c2h2_inlet_composition(double c2h2, double h2, double n2);

}  // namespace velmora::study
