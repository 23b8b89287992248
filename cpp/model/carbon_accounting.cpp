// Small public helpers: carbon per agglomerate and in total, the carbon ratio
// against the start, a smoothly growing time step, and the CNT aerosol ratio.
#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "gas/step_limits.hpp"
#include "model/moving_sectional_model.hpp"

namespace velmora::model {

double MovingSectionalModel::get_carbon_per_particle(long section_index) const {
    if (section_index < 0 || section_index >= intnum)
        throw OutOfRange("get_carbon_per_particle: section index " + std::to_string(section_index) +
                         " is out of bounds for axis 0 with size " + std::to_string(intnum));
    const auto i = static_cast<std::size_t>(section_index);
    const auto carbon = static_cast<std::size_t>(int3num) + i;
    if (carbon >= y.size()) throw OutOfRange("get_carbon_per_particle: the state vector is shorter than 4*intnum+1");
    return y[i] > 0 ? y[carbon] / y[i] : 0.0;
}

double MovingSectionalModel::get_total_carbon() const {
    if (isec < 0 || isec > intnum)
        throw OutOfRange("get_total_carbon: isec = " + std::to_string(isec) + " must lie in 0.." +
                         std::to_string(intnum));
    const auto first = static_cast<std::size_t>(int3num);
    const auto live = static_cast<std::size_t>(isec);
    if (first + live > y.size()) throw OutOfRange("get_total_carbon: the state vector is shorter than 4*intnum+1");
    double total = 0.0;
    for (std::size_t i = 0; i < live; ++i) total += y[first + i];
    return total;
}

double MovingSectionalModel::check_carbon_conservation() const {
    // With no carbon at the start the ratio is undefined: inf or nan, as float
    // arithmetic gives it, not an error.
    const double initial_carbon = initial_N * carbon_atoms_per_particle_initial;
    return get_total_carbon() / initial_carbon;
}

double MovingSectionalModel::calculate_smooth_timestep(double t) {
    constexpr double dt_initial = 1e-8;
    constexpr double dt_final = 1e-5;
    constexpr double transition_time = 1e-4;
    if (t >= transition_time) return dt_final;
    // Geometric growth from dt_initial at t = 0 to dt_final at the transition.
    const double exponent =
        std::log10(dt_initial) + (std::log10(dt_final) - std::log10(dt_initial)) * (t / transition_time);
    return std::pow(10.0, exponent);
}

double MovingSectionalModel::aerosol_ratio(double method, double prob, double uniform_draw) const {
    // Method 1: a particle carries a CNT (1) or not (0) by one uniform draw in
    // [0, 1] against prob. Method 2: the probability itself is the ratio.
    if (method == 1) return uniform_draw >= prob ? 1.0 : 0.0;
    if (method == 2) return prob;
    throw InvalidValue("aerosol_ratio: unknown method_cnt " + gas::number_text(method) +
                       " (1 = random draw against prob, 2 = prob itself)");
}

}  // namespace velmora::model
