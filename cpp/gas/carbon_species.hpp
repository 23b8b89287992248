// Carbon bookkeeping of a gas composition: carbon atoms of a formula and the
// carbon-bearing species present in the largest amounts.
#pragma once
#include <string>
#include <string_view>

#include "common/ordered_map.hpp"

namespace velmora::gas {

// Carbon atoms of the leading carbon group of a formula: "C2H2" -> 2, "CH4" -> 1,
// "CO2" -> 1, "H2CO" -> 0 (only a leading C counts), "N2" -> 0.
long count_carbon_atoms(std::string_view formula);

// The species whose names begin with "C", largest mole fraction first (stable:
// ties keep the mechanism order), at most `limit` of them.
OrderedMap<double> largest_carbon_species(const OrderedMap<double>& all_species, std::size_t limit = 5);

// {dominant: count, then every species of `largest` in order}; a species equal to
// the dominant one keeps its first position.
OrderedMap<long> carbon_atoms_table(const std::string& dominant_species, const OrderedMap<double>& largest);

}  // namespace velmora::gas
