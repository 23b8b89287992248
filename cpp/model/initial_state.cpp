// Initial state of the population balance: carrier-gas quantities, the
// section grid and state vector of a monodisperse start, and the polydisperse
// start (geometric volume grid with the number of particles per section taken
// from a lognormal or normal diameter distribution).
#include <cmath>
#include <numbers>
#include <string>

#include "common/errors.hpp"
#include "model/moving_sectional_model.hpp"
#include "numerics/quadrature.hpp"
#include "numerics/quantiles.hpp"
#include "pbe/checked_index.hpp"

namespace velmora::model {

namespace {

constexpr double kPi = std::numbers::pi;

// Element of an array under the host's indexing rules (negative counts from
// the end, outside raises IndexError).
double& at(std::vector<double>& array, long index) { return array[pbe::wrap_index(index, array.size())]; }

[[noreturn]] void invalid_distribution_type(const std::string& type) {
    throw InvalidValue(invalid_option_text("distribution_type", type, {"lognormal", "normal"}));
}

bool known_distribution_type(const std::string& type) { return type == "lognormal" || type == "normal"; }

}  // namespace

// ---------------------------------------------------------------- densities

double MovingSectionalModel::lognormal_pdf(double x, double mu, double sigma) {
    const double coefficient = 1 / (x * sigma * std::sqrt(2 * kPi));
    const double exponent = -0.5 * std::pow((std::log(x) - mu) / sigma, 2);
    return coefficient * std::exp(exponent);
}

double MovingSectionalModel::normal_pdf(double x, double mu, double sigma) {
    const double coefficient = 1 / (sigma * std::sqrt(2 * kPi));
    const double exponent = -0.5 * std::pow((x - mu) / sigma, 2);
    return coefficient * std::exp(exponent);
}

double MovingSectionalModel::integrate_bin_probability(double d_left, double d_right, const std::string& type) const {
    const double mean_diameter = dp_initial_premade;
    const double geometric_std_dev = geometric_std;
    if (type == "lognormal") {
        const double sigma_ln = std::log(geometric_std_dev);
        const double mu_ln = std::log(mean_diameter);
        return numerics::quad([&](double d) { return lognormal_pdf(d, mu_ln, sigma_ln); }, d_left, d_right).value;
    }
    if (type == "normal") {
        const double arithmetic_std = mean_diameter * std::log(geometric_std_dev);
        return numerics::quad([&](double d) { return normal_pdf(d, mean_diameter, arithmetic_std); }, d_left, d_right)
            .value;
    }
    invalid_distribution_type(type);
}

// ---------------------------------------------------------------- polydisperse start

std::vector<double> MovingSectionalModel::distribution_initializer() {
    const double mean_diameter = dp_initial_premade;
    const double geometric_std_dev = geometric_std;
    total_concentration = total_initial_concentration;

    // Diameter range of the grid: given, or the 1.5 % and 98.5 % quantiles.
    double low_range = 0.0;
    if (low_high_range_defined == "Manual") {
        low_range = low_PP_range;
    } else if (low_high_range_defined == "Auto") {
        double high_range = 0.0;
        if (distribution_type == "lognormal") {
            const double sigma_ln = std::log(geometric_std_dev);
            const double mu_ln = std::log(mean_diameter);
            const double scale_param = std::exp(mu_ln);
            const double shape_param = sigma_ln;
            low_range = numerics::lognorm_ppf(0.015, shape_param, scale_param);
            high_range = numerics::lognorm_ppf(0.985, shape_param, scale_param);
        } else if (distribution_type == "normal") {
            const double arithmetic_std = mean_diameter * std::log(geometric_std_dev);
            low_range = numerics::norm_ppf(0.015, mean_diameter, arithmetic_std);
            high_range = numerics::norm_ppf(0.985, mean_diameter, arithmetic_std);
            // The lower diameter never falls below a tenth of the mean (a NaN stays NaN).
            const double floor = 0.1 * mean_diameter;
            if (floor > low_range) low_range = floor;
        } else {
            invalid_distribution_type(distribution_type);
        }
        low_PP_range_auto = low_range;
        high_PP_range_auto = high_range;
    } else {
        throw InvalidValue(
            invalid_option_text("low_high_range_defined", low_high_range_defined, {"Manual", "Auto"}));
    }

    // Geometric grid of volumes anchored at the lower diameter.
    const long n_bins = intnum - 2;
    if (n_bins < 0) throw InvalidValue("negative dimensions are not allowed");
    const auto bins = static_cast<std::size_t>(n_bins);
    std::vector<double> bin_volumes(bins, 0.0);
    at(bin_volumes, 0) = kPi * std::pow(low_range, 3) / 6;
    for (std::size_t i = 1; i < bins; ++i) bin_volumes[i] = bin_spacing * bin_volumes[i - 1];

    diameters.resize(bins);
    for (std::size_t i = 0; i < bins; ++i) diameters[i] = std::pow(6 * bin_volumes[i] / kPi, 1.0 / 3.0);

    // Walls halfway between nodes; the end walls mirror their neighbours
    // about the end nodes with the grid ratio as the factor.
    std::vector<double> bin_walls(bins + 1, 0.0);
    for (std::size_t i = 1; i < bins; ++i) bin_walls[i] = (bin_volumes[i - 1] + bin_volumes[i]) / 2.0;
    bin_walls[0] = bin_spacing * bin_volumes[0] - bin_walls[1];
    bin_walls[bins] = bin_spacing * bin_volumes[bins - 1] - bin_walls[bins - 1];

    std::vector<double> wall_diameters(bins + 1);
    for (std::size_t i = 0; i <= bins; ++i) wall_diameters[i] = std::pow(6 * bin_walls[i] / kPi, 1.0 / 3.0);
    if (wall_diameters[0] <= 0) wall_diameters[0] = low_range * 0.5;

    // No density to integrate for an unknown shape: refuse before any quadrature.
    if (!known_distribution_type(distribution_type)) invalid_distribution_type(distribution_type);
    std::vector<double> probabilities(bins, 0.0);
    for (std::size_t i = 0; i < bins; ++i)
        probabilities[i] = integrate_bin_probability(wall_diameters[i], wall_diameters[i + 1], distribution_type);

    // Normalised to what the grid covers: the cut-off tails are spread over
    // the sections in proportion.
    double total_probability = 0.0;
    for (double probability : probabilities) total_probability += probability;
    number_in_bins.resize(bins);
    for (std::size_t i = 0; i < bins; ++i)
        number_in_bins[i] = probabilities[i] / total_probability * total_concentration;

    bin_volumes_polydisperse = std::move(bin_volumes);
    bin_walls_polydisperse = std::move(bin_walls);
    return number_in_bins;
}

// ---------------------------------------------------------------- initial conditions

void MovingSectionalModel::initialize_conditions() {
    const long sections = intnum;
    tempjo = 300;
    // Carrier-gas flow setting and the initial precursor entry derived from it.
    xmgases = total_pressure / 8.314 / min_temp * 0.0014964;
    c0 = 2.935512657930581e-13 / xmgases * 1000;
    xmjeto = xmgases / 60 / 1000;

    for (auto* array : {&xdp, &saved_xdpr, &xnpr, &xdp_backup}) array->assign(n(), 0.0);
    // Monomer volume and area (pi rounded to 3.14 in this start-up step).
    v0 = 3.14 * std::pow(dp_initial_premade, 3) / 6;
    a0 = 3.14 * std::pow(dp_initial_premade, 2);
    isec = sections - 2;

    // Monodisperse start: all particles in section 0, the other live sections
    // practically empty, node volumes on a geometric grid.
    at(y, sections) = v0;
    at(x, 0) = at(y, sections);
    for (long i = 1; i < isec; ++i) at(y, i) = 1e-15;
    for (long i = 1; i < isec; ++i) {
        at(y, sections + i) = bin_spacing * at(y, sections + i - 1);
        at(x, i) = at(y, sections + i);
    }
    for (long i = 1; i < isec; ++i) at(v, i) = (at(y, sections + i - 1) + at(y, sections + i)) / 2;
    at(v, 0) = bin_spacing * at(y, sections) - at(v, 1);
    at(v, isec) = bin_spacing * at(y, sections + isec - 1) - at(v, isec - 1);

    at(y, 3 * sections) = at(y, 0) * carbon_atoms_per_particle_initial;
    at(y, 2 * sections) = at(y, 0) * a0;
    at(y, 4 * sections) = c0;
    for (long i = 1; i < isec; ++i) {
        at(y, 2 * sections + i) = at(y, i) * a0;
        at(y, 3 * sections + i) = at(y, i) * carbon_atoms_per_particle_initial;
    }

    if (initial_distribution == "Polydisperse") {
        const std::vector<double> numbers = distribution_initializer();
        const std::size_t live = n() - 2;
        if (numbers.size() != live || bin_volumes_polydisperse.size() != live ||
            bin_walls_polydisperse.size() != live + 1 || diameters.size() != live || v.size() < live + 1)
            throw InvalidValue("the polydisperse start does not match the section arrays");
        for (std::size_t i = 0; i < live; ++i) y[i] = numbers[i];
        for (long i = 0; i < isec; ++i)
            if (at(y, i) < 1e-15) at(y, i) = 1e-15;
        for (std::size_t i = 0; i < live; ++i) y[n() + i] = bin_volumes_polydisperse[i];
        // Area of compact spheres of the section diameters.
        for (std::size_t i = 0; i < live; ++i) y[2 * n() + i] = kPi * std::pow(diameters[i], 2) * y[i];
        for (std::size_t i = 0; i < live; ++i) {
            x[i] = bin_volumes_polydisperse[i];
            xdp[i] = diameters[i];
        }
        for (std::size_t i = 0; i <= live; ++i) v[i] = bin_walls_polydisperse[i];
    }

    // The inactive sections carry no rates.
    for (long i = isec; i < sections; ++i) {
        at(yp, sections + i) = 0;
        at(yp, 2 * sections + i) = 0;
        at(yp, 3 * sections + i) = 0;
    }
    // Kept for the collision kernel: the fallback node volume of each section.
    initial_v = y;
    initialize_aggregation_classes();
}

}  // namespace velmora::model
