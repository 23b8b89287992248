#include "gas/carbon_species.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

namespace velmora::gas {

long count_carbon_atoms(std::string_view formula) {
    if (formula.empty() || formula.front() != 'C') return 0;
    std::size_t end = 1;
    while (end < formula.size() && std::isdigit(static_cast<unsigned char>(formula[end]))) ++end;
    if (end == 1) return 1;
    long count = 0;
    for (std::size_t i = 1; i < end; ++i) count = count * 10 + (formula[i] - '0');
    return count;
}

OrderedMap<double> largest_carbon_species(const OrderedMap<double>& all_species, std::size_t limit) {
    std::vector<std::pair<std::string, double>> carbon;
    for (const auto& [name, fraction] : all_species)
        if (!name.empty() && name.front() == 'C') carbon.emplace_back(name, fraction);
    std::stable_sort(carbon.begin(), carbon.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    OrderedMap<double> largest;
    const std::size_t take = std::min(limit, carbon.size());
    for (std::size_t i = 0; i < take; ++i) largest.set(carbon[i].first, carbon[i].second);
    return largest;
}

OrderedMap<long> carbon_atoms_table(const std::string& dominant_species, const OrderedMap<double>& largest) {
    OrderedMap<long> table;
    table.set(dominant_species, count_carbon_atoms(dominant_species));
    for (const auto& [name, fraction] : largest) table.set(name, count_carbon_atoms(name));
    return table;
}

}  // namespace velmora::gas
