// Mass of one gas molecule and the number of adsorption sites it leaves on a
// catalyst particle, from its chemical formula. Shared by both surface-growth
// models: the Puretzky model weighs feedstock and products with it, the Ma model
// weighs its dominant product.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::submodels {

// (element symbol, count text) as the formula spells them; the count text is
// empty for a single atom ("CH4" gives ("C", "") and ("H", "4")).
using FormulaToken = std::pair<std::string, std::string>;

struct SpeciesMass {
    double mass_per_molecule_kg = 0.0;
    // Sites per particle covered by one molecule's footprint; empty when no
    // diameter was given or the formula has no atom of known size.
    std::optional<double> site_per_particle;
    std::vector<FormulaToken> tokens;
};

// Splits a formula the way the pattern "([A-Z][a-z]*)(\d*)" finds its matches:
// an upper-case letter, any lower-case letters, then any digits; other
// characters are skipped.
std::vector<FormulaToken> tokenize_formula(std::string_view formula);

// Molar mass from H, C, O, N only (ValueError "Unknown element: X" otherwise).
// With dp given, site_per_particle = 1.57 dp^2 npr / molecule footprint; a
// missing npr then raises TypeError as the host's float * None would.
SpeciesMass mass_calculator(std::string_view formula, std::optional<double> dp = std::nullopt,
                            std::optional<double> npr = std::nullopt);

// Only the molecular mass (kg), without building the token list.
double molecule_mass_kg(std::string_view formula);

}  // namespace velmora::submodels
