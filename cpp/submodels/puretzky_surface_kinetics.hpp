// Carbon uptake by a floating catalyst particle after Puretzky et al. (2005):
// six coupled pools (surface carbon, two surface layers, bulk, nanotube and
// etched methane) fed by a kinetic-theory wall flux of feedstock and products.
//
// Use per section and step: construct with the current gas and particle state,
// set_dp(diameter), run_surface_kinetics_simulation({temp_C}, t_start, t_end),
// then get_final_values(results).
#pragma once
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numerics/lsoda.hpp"
#include "submodels/class_parameters.hpp"

namespace velmora::submodels {

// Inputs of one surface-kinetics model instance. Only what the equations read is
// here; parameters the model merely keeps for its callers live on the host side.
struct PuretzkyParameters {
    bool carb_strc_surface = true;  // layer-1 equation on
    bool carb_deactiv = true;       // layer-2 (deactivation) equation on
    std::vector<double> initial_conditions = {0, 0, 0, 0, 0, 0};  // N_c, N_L1, N_L2, N_b, N_t, N_CH4
    std::string feedstock_gas_name = "C2H2";
    std::vector<std::string> main_product_species = {"C2H4", "C4H4"};
    double reactor_volume = 0.0055;         // m^3
    double n0 = 2.2775521143014057e22;      // feedstock number concentration, 1/m^3
    double np1 = 10000.0;                   // product 1 concentration
    double np2 = 10000.0;                   // product 2 concentration
    // The time factor 1 - exp(-0.02 t) of the depletion-free concentration applies
    // only when this is false.
    bool gas_NP_time_considered = true;
    double H2_current_partial_pressure = 1;  // Pa
    double npr = 1;                          // primary particles of the particle
    double fra_cnt_gp = 0.7;                 // surface fraction growing nanotube
    double gp_cove_rati = 0;                 // graphitic coverage ratio
    double current_H2_flux_coeff = 0;        // H2 flux per unit length
};

// One temperature's integration. `index` is its position in the temperature list.
struct SurfaceKineticsRun {
    std::size_t index = 0;
    double temp_C = 0.0;
    numerics::OdeResult solution;  // times are absolute (the requested span)
};

// The end of one run as get_final_values reads it: temperature, last time,
// state at that time (six entries).
struct RunEnd {
    double temp_C = 0.0;
    double final_time = 0.0;
    std::span<const double> final_state;
};

struct PuretzkyFinalValues {
    std::array<double, 7> values{};  // n, N_c, N_L1, N_L2, N_b, N_t, N_CH4 at the end time
    double current_H2_flux = 0.0;    // left by the last derivative evaluation
};

class PuretzkySurfaceKinetics {
public:
    static constexpr std::size_t kStateSize = 6;
    static constexpr double kBoltzmannEv = 8.617e-5;  // eV/K
    static constexpr const char* kClassName = "Surface_Kinetics_Puretzky_etal_2005";

    explicit PuretzkySurfaceKinetics(PuretzkyParameters parameters = {});

    // The `_dp` setter: stores dp and, for dp >= 0, the molecule masses and the
    // effective catalyst surface S_0. A negative dp prints a warning and changes
    // nothing else.
    void set_dp(double dp_current);

    double calculate_k_sb(double temperature_kelvin) const;
    double calculate_n0(double /*temp_C*/) const { return parameters.n0; }
    // Remaining feedstock. With a state: n0 minus the molecules already taken up
    // (floored at 0). Without: the depletion-free estimate from n0, np1, np2.
    double calculate_n(double temp_C, double t, std::optional<std::span<const double>> y) const;
    double calculate_length(double N_t) const;

    // Writes the six time derivatives. Also updates particle_area and
    // current_H2_flux, as every evaluation does. Throws ValueError for a state
    // of other than six entries and AttributeError before the first valid dp.
    void ode_system(double t, std::span<const double> y, double temp_C, std::span<double> dydt);

    // Integrates one temperature over [t_start, t_end] with LSODA (rtol 1e-8,
    // atol 1e-15). The system is autonomous, so it is integrated from 0 over the
    // span's length and the times are shifted back: absolute times of seconds
    // would otherwise put the first steps below the spacing of doubles.
    numerics::OdeResult integrate(double temp_C, double t_start, double t_end, bool keep_steps = true);

    // Every temperature in order; failures print a line and are left out.
    // `labels` (optional, one per temperature) is how each temperature is
    // printed; by default the float's shortest repr. Throws ValueError when no
    // temperature succeeded.
    std::vector<SurfaceKineticsRun> run_surface_kinetics_simulation(
        std::span<const double> temperatures_C, double t_start, double t_end,
        std::span<const std::string> labels = {}, bool keep_steps = true);
    // The same loop over `count` temperatures that are read one at a time:
    // `label(i)` is how temperature i is printed (asked first, outside the
    // failure handling), `temperature_C(i)` reads its value. A throw from
    // `temperature_C` is printed and skipped like a failed integration.
    std::vector<SurfaceKineticsRun> run_surface_kinetics_simulation(
        std::size_t count, const std::function<std::string(std::size_t)>& label,
        const std::function<double(std::size_t)>& temperature_C, double t_start, double t_end,
        bool keep_steps = true);

    // End state of the first run (warning printed when there are several).
    PuretzkyFinalValues get_final_values(const std::vector<SurfaceKineticsRun>& results);
    // Same for results held elsewhere (a host-side dictionary, say): `run_count`
    // runs, of which `first_run()` reads the first one's end (called only when
    // there is one).
    PuretzkyFinalValues get_final_values(std::size_t run_count, const std::function<RunEnd()>& first_run);
    // Same from an end state given directly.
    PuretzkyFinalValues get_final_values(double temp_C, double final_time,
                                         std::span<const double> final_state);

    PuretzkyParameters parameters;

    // Diameter (m) and the model constants. Energies in eV.
    double dp = 0.0;
    double NAVA = 6.022e23;
    double kb = 1.38065e-23;  // J/K
    double n_m = 1e19;        // monolayer site density, 1/m^2
    double alpha = 1;         // monolayers in the free-site fraction
    double E_a1 = 0.41;
    double E_sb = 2.2;
    double E_b = 1.5;
    double E_p = 2.6;
    double E_rl = 2.4;
    double k_sb_known = 17;
    double T_known = 848.15;
    double k_c1 = 0.003;
    double k_d1 = 1;
    double k_d2 = 1;
    double B = 0.0;  // pre-exponential factor of k_sb, fixed at construction

    // Set by set_dp (absent until the first non-negative diameter).
    std::optional<double> species_weight;
    std::optional<double> average_species_weight_product;
    std::optional<double> S_0;
    // Set by every derivative evaluation.
    std::optional<double> particle_area;
    std::optional<double> current_H2_flux;
    // Set by get_final_values; the inner empty optional stands for "no site count"
    // (a product formula without atoms of known size).
    std::optional<std::optional<double>> site_per_particle;

private:
    // Everything in the derivatives that depends on temperature and parameters
    // but not on the state; fixed over one integration.
    struct RateTerms {
        double sqrt_feed = 0, sqrt_product = 0, decomposition = 0;
        double k_sb = 0, k_t = 0, k_r = 0, etching_factor = 0, site_capacity = 0;
        double particle_area = 0, current_H2_flux = 0;
    };
    RateTerms rate_terms(double temp_C) const;
    // Remaining feedstock and product concentrations for a state (the
    // reactor-volume divisor is checked by the caller).
    void concentrations(std::span<const double> y, double& n, double& n_p) const;
    void derivatives(const RateTerms& terms, std::span<const double> y, std::span<double> dydt) const;

    const std::string& product_species(std::size_t i) const;
};

inline constexpr long long kPuretzkyZeroState[] = {0, 0, 0, 0, 0, 0};
inline constexpr const char* kPuretzkyProducts[] = {"C2H4", "C4H4"};

// The class's constructor, in call order. Values without a core field are
// either kept for callers only or read from the kept object at each use (the
// initial conditions at each run, the formulas at each diameter assignment and
// at the end state), so that later edits of those objects are honoured.
inline constexpr std::array<ClassParameter<PuretzkyParameters>, 20> kPuretzkyClassParameters{{
    {"carb_strc_surface", "carb_strc_surface", true, nullptr, &PuretzkyParameters::carb_strc_surface},
    {"carb_deactiv", "carb_deactiv", true, nullptr, &PuretzkyParameters::carb_deactiv},
    {"plot_request", "plot_request", true},
    {"initial_conditions", "_Surface_Kinetics_Puretzky_etal_2005__initial_conditions",
     std::span<const long long>(kPuretzkyZeroState)},
    {"P_FEEDSTOCK", "P_FEEDSTOCK", 266.645},
    {"feedstock_gas_name", "feedstock_gas_name", "C2H2"},
    {"main_product_species", "main_product_species", std::span<const char* const>(kPuretzkyProducts)},
    {"reactor_volume", "reactor_volume", 0.0055, &PuretzkyParameters::reactor_volume},
    {"n0", "n0", 2.2775521143014057e22, &PuretzkyParameters::n0},
    {"np1", "np1", 10000.0, &PuretzkyParameters::np1},
    {"np2", "np2", 10000.0, &PuretzkyParameters::np2},
    {"surface_coverage_gp", "surface_coverage_gp", 1LL},
    {"gas_NP_time_considered", "gas_NP_time_considered", true, nullptr,
     &PuretzkyParameters::gas_NP_time_considered, SwitchTest::unless_false},
    {"H2_STICKING_PROB", "H2_STICKING_PROBABILITY", 0.02},
    {"H2_current_partial_pressure", "H2_current_partial_pressure", 1LL,
     &PuretzkyParameters::H2_current_partial_pressure},
    {"npr", "xnpr", 1LL, &PuretzkyParameters::npr},
    {"fra_cnt_gp", "fraction_cnt_gp", 0.7, &PuretzkyParameters::fra_cnt_gp},
    {"gp_cove_rati", "gp_coverage_ratio", 0LL, &PuretzkyParameters::gp_cove_rati},
    {"encap_cond", "encapsulation_cond", false},
    {"_current_H2_flux_coeff", "current_H2_flux_coeff", 0LL, &PuretzkyParameters::current_H2_flux_coeff},
}};

// The diameter and the model constants, then the numbers that exist once the
// model has set them.
using PuretzkyNumber = NamedNumber<PuretzkySurfaceKinetics>;
inline constexpr std::array<PuretzkyNumber, 16> kPuretzkyConstants{{
    {"dp", &PuretzkySurfaceKinetics::dp}, {"NAVA", &PuretzkySurfaceKinetics::NAVA},
    {"kb", &PuretzkySurfaceKinetics::kb}, {"n_m", &PuretzkySurfaceKinetics::n_m},
    {"alpha", &PuretzkySurfaceKinetics::alpha}, {"E_a1", &PuretzkySurfaceKinetics::E_a1},
    {"E_sb", &PuretzkySurfaceKinetics::E_sb}, {"E_b", &PuretzkySurfaceKinetics::E_b},
    {"E_p", &PuretzkySurfaceKinetics::E_p}, {"E_rl", &PuretzkySurfaceKinetics::E_rl},
    {"k_sb_known", &PuretzkySurfaceKinetics::k_sb_known}, {"T_known", &PuretzkySurfaceKinetics::T_known},
    {"k_c1", &PuretzkySurfaceKinetics::k_c1}, {"k_d1", &PuretzkySurfaceKinetics::k_d1},
    {"k_d2", &PuretzkySurfaceKinetics::k_d2}, {"B", &PuretzkySurfaceKinetics::B},
}};
inline constexpr std::array<NamedNumber<PuretzkySurfaceKinetics, std::optional<double>>, 5> kPuretzkyLateNumbers{{
    {"species_weight", &PuretzkySurfaceKinetics::species_weight},
    {"average_species_weight_product", &PuretzkySurfaceKinetics::average_species_weight_product},
    {"S_0", &PuretzkySurfaceKinetics::S_0},
    {"particle_area", &PuretzkySurfaceKinetics::particle_area},
    {"current_H2_flux", &PuretzkySurfaceKinetics::current_H2_flux},
}};
// Set by get_final_values, possibly to "no site count" (None).
inline constexpr std::array<NamedNumber<PuretzkySurfaceKinetics, std::optional<std::optional<double>>>, 1>
    kPuretzkySiteCount{{{"site_per_particle", &PuretzkySurfaceKinetics::site_per_particle}}};

// Printed when one temperature's integration reports no success.
std::string non_convergence_line(std::string_view temperature_label, std::string_view message);
// Printed when one temperature's integration raised.
std::string simulation_error_line(std::string_view temperature_label, std::string_view error_text);
inline constexpr const char* kNoSimulationCompleted =
    "No simulations completed successfully. Check parameters and equations.";

// "not enough values to unpack (expected 6, got 3)" / "too many values to unpack
// (expected 6)" when a state vector has the wrong length.
void check_unpack_size(std::size_t got, std::size_t expected);

}  // namespace velmora::submodels
