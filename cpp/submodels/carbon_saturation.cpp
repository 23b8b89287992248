#include "submodels/carbon_saturation.hpp"

#include <cmath>
#include <numbers>

#include "common/errors.hpp"
#include "gas/step_limits.hpp"

namespace velmora::submodels {

namespace {
constexpr CatalystSolubility kNickel{0.001305, 5.176e-5, 2.0, 2.48e-10};
constexpr CatalystSolubility kIron{0.062305, 1.176e-4, 1.72, 2.52e-10};
}  // namespace

bool known_catalyst(double flag_id_mat) { return flag_id_mat == 1.0 || flag_id_mat == 2.0; }

std::string unknown_catalyst_message(std::string_view shown_flag) {
    return "flag_id_mat must be 1 (Ni) or 2 (Fe), got " + std::string(shown_flag);
}

const CatalystSolubility& catalyst_solubility(double flag_id_mat) {
    if (flag_id_mat == 1.0) return kNickel;
    if (flag_id_mat == 2.0) return kIron;
    throw InvalidValue(unknown_catalyst_message(gas::number_text(flag_id_mat)));
}

double carbon_saturation_ratio(double temp, double dp, double flag_id_mat, double kb,
                               ZeroDivisorRule size_term_rule) {
    const CatalystSolubility& mat = catalyst_solubility(flag_id_mat);
    // Below 0 K the bulk solubility turns negative and the size factor may
    // overflow: -inf dissolved carbon. (0 K divides by zero, as the plain
    // float arithmetic of the formula does.)
    if (temp < 0) throw InvalidValue("temp must be a temperature of 0 K or above, got " + gas::number_text(temp));
    const double a = mat.atomic_diameter;
    const double v_atom = std::numbers::pi / 6 * std::pow(a, 3.0);
    const double bulk = mat.c0 + mat.c1 * temp;
    const double exponent = divide(4 * mat.surface_energy * v_atom, kb * temp * dp, size_term_rule);
    return bulk * std::exp(exponent);
}

CarbonSaturation carbon_sat(double section_metal_number, double section_carbon_number, double temp,
                            double dp, double flag_id_mat, double kb, CarbonSaturationRules rules) {
    const double ratio_sat = carbon_saturation_ratio(temp, dp, flag_id_mat, kb, rules.size_term);
    const double ratio_real = divide(section_carbon_number, section_metal_number, rules.carbon_ratio);
    if (ratio_real <= ratio_sat) return {0, section_carbon_number};
    return {1, ratio_sat * section_metal_number};
}

}  // namespace velmora::submodels
