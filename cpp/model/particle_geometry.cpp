// Particle geometry between integration steps: catalyst and CNT masses, the
// gyration diameter of a particle carrying a CNT, primary diameters grown by
// complete graphene shells, and the number-weighted mean primary diameter.
#include <cmath>
#include <numbers>
#include <string>

#include "common/errors.hpp"
#include "model/moving_sectional_model.hpp"

namespace velmora::model {

namespace {

constexpr double kPi = std::numbers::pi;

// Sections a per-section loop may visit: 0..isec-1 with isec within the capacity.
std::size_t checked_live_sections(long isec, long intnum, const char* method) {
    if (isec < 0 || isec > intnum)
        throw OutOfRange(std::string(method) + ": isec = " + std::to_string(isec) + " must lie in 0.." +
                         std::to_string(intnum));
    return static_cast<std::size_t>(isec);
}

void require_length(const std::vector<double>& values, std::size_t needed, const char* name, const char* method) {
    if (values.size() < needed)
        throw OutOfRange(std::string(method) + ": " + name + " holds " + std::to_string(values.size()) +
                         " values but " + std::to_string(needed) + " sections are live");
}

}  // namespace

std::pair<double, double> MovingSectionalModel::mass_calculator(double dpp, double rho_NP, double rho_CNT,
                                                                double cnt_length, double cnt_thickness, double npp,
                                                                double wall_number) {
    // Mass-equivalent diameter of an agglomerate of npp primaries.
    const double dp_eq = dpp * std::pow(npp, 0.45);
    const double M_NP = rho_NP * (kPi / 6 * dp_eq * dp_eq * dp_eq);

    // The tube's outer diameter scales with the catalyst primary it grows from.
    const double R_outer = dpp / 1.6 / 2;
    const double R_inner = R_outer - cnt_thickness * wall_number;
    const double M_CNT = rho_CNT * (kPi * cnt_length * (R_outer * R_outer - R_inner * R_inner));
    return {M_NP, M_CNT};
}

double MovingSectionalModel::calculate_cnt_gyration_diameter(double dpp, double rho_NP, double rho_CNT,
                                                             double cnt_length, double cnt_thickness, double npp,
                                                             double wall_number) {
    // Mass weights always come from one primary and one wall; the shape below
    // uses the caller's npp and wall count.
    const auto [M_NP, M_CNT] = mass_calculator(dpp, rho_NP, rho_CNT, cnt_length, cnt_thickness, 1, 1);

    const double dp_eq = dpp * std::pow(npp, 0.45);
    const double R_outer = dpp / 1.6 / 2;
    const double R_inner = R_outer - cnt_thickness * wall_number;

    const double M_total = M_NP + M_CNT;
    const double f_np = M_NP / M_total;
    const double f_cnt = M_CNT / M_total;

    // Particle centre at the origin, the tube extends along +z from it.
    const double system_cm_z = f_cnt * cnt_length / 2;
    const double d_np = std::abs(system_cm_z);
    const double d_cnt = std::abs(cnt_length / 2 - system_cm_z);

    // Moments of inertia per unit mass.
    const double R_sphere = dp_eq / 2;
    const double I_np_own = (2.0 / 5.0) * R_sphere * R_sphere;
    const double radii_sq = R_outer * R_outer + R_inner * R_inner;
    const double I_cnt_axial = 0.5 * radii_sq;
    const double I_cnt_radial = cnt_length * cnt_length / 12 + 0.25 * radii_sq;

    const double I_mode1 = f_np * (I_np_own + d_np * d_np) + f_cnt * I_cnt_axial;
    const double I_mode2_x = f_np * (I_np_own + d_np * d_np) + f_cnt * (I_cnt_radial + d_cnt * d_cnt);

    // Rotation about the tube axis and about a perpendicular axis are equally likely.
    return 0.5 * (2 * std::sqrt(I_mode1)) + 0.5 * (2 * std::sqrt(I_mode2_x));
}

void MovingSectionalModel::calculate_xdp_gp() {
    const std::size_t live = checked_live_sections(isec, intnum, "calculate_xdp_gp");
    require_length(xdp, live, "xdp", "calculate_xdp_gp");
    require_length(xnpr, live, "xnpr", "calculate_xdp_gp");
    const auto o3 = static_cast<std::size_t>(int3num);
    if (y.size() < live || carbon_data.size() < o3 + live)
        throw OutOfRange("calculate_xdp_gp: y/carbon_data are too short for isec = " + std::to_string(isec));

    xdp_gp.assign(live, 0.0);
    for (std::size_t i = 0; i < live; ++i) {
        // Fewer than one particle per unit volume: no meaningful primary size.
        if (!(y[i] > 1)) continue;

        const double dp_original = xdp[i];
        const double total_gp_area = carbon_data[o3 + i];
        const double num_pp_total = xnpr[i];
        const double gp_area_per_pp = total_gp_area / num_pp_total;

        gp_coverage_ratio = gp_area_per_pp / (kPi * dp_original * dp_original);
        if (gp_coverage_ratio >= 1) encapsulation_cond = true;

        if (!(num_pp_total > 0 && total_gp_area > 0)) {
            xdp_gp[i] = dp_original;
            continue;
        }
        if (std::isinf(gp_area_per_pp))
            throw InvalidValue("calculate_xdp_gp: graphene area per primary particle of section " + std::to_string(i) +
                             " is infinite");
        // Wrap complete shells only; a partial shell leaves the diameter as is.
        // A zero shell thickness never changes the diameter, so skip the count.
        double current_diameter = dp_original;
        double remaining_area = gp_area_per_pp;
        while (gp_thickness != 0 && remaining_area > 0) {
            const double current_surface_area = kPi * current_diameter * current_diameter;
            if (!(remaining_area >= current_surface_area)) break;
            current_diameter += 2 * gp_thickness;
            remaining_area -= current_surface_area;
        }
        xdp_gp[i] = current_diameter;
    }
}

double MovingSectionalModel::calculate_average_primary_diameter(std::span<const double> y_state) const {
    const std::size_t live = checked_live_sections(isec, intnum, "_calculate_average_primary_diameter");
    const auto o1 = static_cast<std::size_t>(intnum);
    const auto o2 = static_cast<std::size_t>(int2num);
    if (live > 0 && y_state.size() < o2 + live)
        throw OutOfRange("_calculate_average_primary_diameter: the state holds " + std::to_string(y_state.size()) +
                         " values, the area block of " + std::to_string(live) + " live sections needs " +
                         std::to_string(o2 + live));

    double total_weighted_diameter = 0.0;
    double total_particles = 0.0;
    for (std::size_t i = 0; i < live; ++i) {
        const double Ni = y_state[i];
        if (!(Ni > 0 && y_state[o2 + i] > 0)) continue;
        // Volume-to-area diameter of one agglomerate of the section.
        const double dp_i = 6 * y_state[o1 + i] / (y_state[o2 + i] / Ni);
        total_weighted_diameter += Ni * dp_i;
        total_particles += Ni;
    }
    return total_particles > 0 ? total_weighted_diameter / total_particles : dp_initial_premade;
}

}  // namespace velmora::model
