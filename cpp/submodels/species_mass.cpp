#include "submodels/species_mass.hpp"

#include "common/errors.hpp"

namespace velmora::submodels {

namespace {

struct ElementData {
    const char* symbol;
    double molar_mass_g;  // g/mol
    double diameter_m;    // atomic diameter
};

constexpr ElementData kElements[] = {
    {"H", 1.00784, 6.6e-11},
    {"C", 12.0107, 1.54e-10},
    {"O", 15.999, 1.46e-10},
    {"N", 14.0067, 1.48e-10},
};

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

const ElementData* find_element(std::string_view symbol) {
    for (const auto& e : kElements)
        if (symbol == e.symbol) return &e;
    return nullptr;
}

// int(count_text), or 1 for an empty count. Kept in floating point so that
// absurdly long digit runs cannot overflow.
double count_value(std::string_view text) {
    if (text.empty()) return 1.0;
    double value = 0.0;
    for (char c : text) value = value * 10.0 + (c - '0');
    return value;
}

struct Accumulated {
    double molar_mass = 0.0;
    double molecule_area = 0.0;
};

template <class Visit>
void for_each_token(std::string_view formula, Visit&& visit) {
    std::size_t i = 0;
    const std::size_t n = formula.size();
    while (i < n) {
        if (!is_upper(formula[i])) {
            ++i;
            continue;
        }
        std::size_t end_symbol = i + 1;
        while (end_symbol < n && is_lower(formula[end_symbol])) ++end_symbol;
        std::size_t end_count = end_symbol;
        while (end_count < n && is_digit(formula[end_count])) ++end_count;
        visit(formula.substr(i, end_symbol - i), formula.substr(end_symbol, end_count - end_symbol));
        i = end_count;
    }
}

Accumulated accumulate(std::string_view formula) {
    Accumulated acc;
    for_each_token(formula, [&](std::string_view symbol, std::string_view count_text) {
        const double count = count_value(count_text);
        const ElementData* element = find_element(symbol);
        if (!element) throw InvalidValue("Unknown element: " + std::string(symbol));
        acc.molar_mass += element->molar_mass_g * count;
        // Footprint of the atom: 3.14 * 2 d^2 per atom, as the site model counts it.
        acc.molecule_area += 3.14 * (2.0 * element->diameter_m * element->diameter_m) * count;
    });
    return acc;
}

constexpr double kAvogadro = 6.02214076e23;

}  // namespace

std::vector<FormulaToken> tokenize_formula(std::string_view formula) {
    std::vector<FormulaToken> tokens;
    for_each_token(formula, [&](std::string_view symbol, std::string_view count_text) {
        tokens.emplace_back(std::string(symbol), std::string(count_text));
    });
    return tokens;
}

double molecule_mass_kg(std::string_view formula) {
    return accumulate(formula).molar_mass / 1000.0 / kAvogadro;
}

SpeciesMass mass_calculator(std::string_view formula, std::optional<double> dp,
                            std::optional<double> npr) {
    const Accumulated acc = accumulate(formula);
    SpeciesMass result;
    result.mass_per_molecule_kg = acc.molar_mass / 1000.0 / kAvogadro;
    if (dp && acc.molecule_area > 0.0) {
        if (!npr) throw WrongType("unsupported operand type(s) for *: 'float' and 'NoneType'");
        result.site_per_particle = 1.57 * (*dp * *dp) * *npr / acc.molecule_area;
    }
    result.tokens = tokenize_formula(formula);
    return result;
}

}  // namespace velmora::submodels
