#include "study/inlet_composition.hpp"

#include "common/errors.hpp"

namespace velmora::study {

OrderedMap<double> c2h2_inlet_composition(double c2h2, double h2, double n2) {
    const double remaining = 1.0 - c2h2;
    const double total = h2 + n2;
    const double new_h2 = remaining * checked_div(h2, total);
    const double new_n2 = remaining * checked_div(n2, total);
    OrderedMap<double> composition;
    composition.set("C2H2", c2h2);
    composition.set("C2H4", 1e-15);
    composition.set("H2", new_h2);
    composition.set("N2", new_n2);
    return composition;
}

}  // namespace velmora::study
