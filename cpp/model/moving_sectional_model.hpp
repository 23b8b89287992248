// The moving sectional population-balance model of catalyst agglomerates in a
// heated flow reactor. One object holds one run: parameters, constants, the
// state vector and section arrays, the coupled gas state and the histories.
//
// Implementation is split by concern:
//   model_construction.cpp   constants, element data, derived quantities, inlet gas step
//   initial_state.cpp        initial conditions and the polydisperse start
//   reactor_profiles.cpp     temperature/velocity profiles and gas properties
//   right_hand_side.cpp      collision kernel, aggregation classes, derivatives (fcn)
//   regridding.cpp           moving-section regrid
//   particle_geometry.cpp    agglomerate/CNT masses, gyration and graphene-shell diameters
//   driver.cpp               solve(): the outer loop along the reactor
//   surface_coupling.cpp     surface-kinetics models per section and H2 uptake
//   carbon_bookkeeping.cpp   gas feedback, carbon distribution and carbon structure
//   carbon_accounting.cpp    small public carbon/time-step helpers
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "gas/gas_state.hpp"
#include "model/model_parameters.hpp"
#include "pbe/beta_matrix.hpp"
#include "pbe/derivatives.hpp"

namespace velmora::model {

// Per-step record of a per-section array tagged with the step's end position.
struct TimedArray {
    double time = 0.0;
    std::vector<double> values;
};

// Fractions of the carbon grown in a step (not percentages, despite the keys).
struct CarbonComposition {
    double cnt_percent = 0, gp_percent = 0, impurity_percent = 0, other_percent = 0;
};

// One outer step whose integration did not reach the step's end: the step
// number (counter, from 1), the step's start position (m) and the solver's message.
// solve() still continues from whatever state the integrator returned.
struct IntegrationFailure {
    long step = 0;
    double position = 0.0;
    std::string message;
};

// What solve() returns: end positions of the completed outer steps and the
// bounded end-of-step states (one row of 4n+1 values per step).
struct SolveResult {
    std::vector<double> time_points;
    std::vector<double> solutions;  // row-major, len(time_points) x (4n+1)
    std::size_t width = 0;
};

class MovingSectionalModel : public ModelParameters {
public:
    // Builds the model: constants, element data, derived quantities, zeroed
    // arrays, and the inlet gas step through `kinetics` (stored as AA00).
    // Throws AttributeError naming rhop_<element> for an unknown catalyst.
    MovingSectionalModel(ModelParameters parameters, std::shared_ptr<gas::GasKinetics> kinetics);
    virtual ~MovingSectionalModel() = default;

    // ---- the gas-phase step (the only call that may leave the core) ----
    std::shared_ptr<gas::GasKinetics> kinetics;
    // Called at the start of every outer step of solve(); the host uses it to
    // notice an interrupt (Ctrl-C) during a long run. May throw.
    std::function<void()> outer_step_hook;
    gas::GasState run_gas_step(double flow_velocity, double temperature, double length_step,
                               const OrderedMap<double>& composition,
                               const std::string& dominant_species = "C2H2");

    // ---- initial state ----
    void initialize_conditions();
    std::vector<double> distribution_initializer();                   // _distribution_initializer
    static double lognormal_pdf(double x, double mu, double sigma);
    static double normal_pdf(double x, double mu, double sigma);
    double integrate_bin_probability(double d_left, double d_right, const std::string& type) const;

    // ---- aggregation classes ----
    void initialize_aggregation_classes();    // _initialize_aggregation_classes
    void recalculate_aggregation_classes();   // _recalculate_aggregation_classes

    // ---- reactor profiles and gas properties ----
    void temp_vel(double position);
    void props();

    // ---- right-hand side ----
    void calculate_beta_matrix();             // _calculate_beta_matrix
    // dy/dt at t for the state yy; the result stays in `yp`.
    void fcn(double t, std::span<const double> yy);
    void calculate_derivatives(double t);

    // ---- regridding ----
    // Regrids `state` in place (it may be `y` itself) and writes y/x.
    void regrid(std::vector<double>& state);

    // ---- particle geometry ----
    static std::pair<double, double> mass_calculator(double dpp, double rho_NP, double rho_CNT, double cnt_length,
                                                     double cnt_thickness, double npp, double wall_number);
    static double calculate_cnt_gyration_diameter(double dpp, double rho_NP, double rho_CNT, double cnt_length,
                                                  double cnt_thickness, double npp, double wall_number);
    void calculate_xdp_gp();
    double calculate_average_primary_diameter(std::span<const double> y_state) const;

    // ---- driver ----
    SolveResult solve(double rtol = 1e-6, double atol = 1e-25);

    // ---- surface coupling and carbon bookkeeping (one outer step) ----
    // start_vel: the gas velocity at the step's start position t (m/s); the
    // surface models run over [t, tend] / start_vel.
    void couple_surface_kinetics(double t, double tend, double start_vel);
    void update_gas_and_carbon();

    // ---- carbon accounting and time step ----
    double get_carbon_per_particle(long section_index) const;
    double get_total_carbon() const;
    double check_carbon_conservation() const;
    static double calculate_smooth_timestep(double t);
    double aerosol_ratio(long method, double prob, double uniform_draw) const;

    // ================= constants =================
    double vpi = 3.1415926536;
    double avog = 6.022137e23;
    double rkb = 1.38066e-23;
    double rgas = 0.082;
    double p = 1.0;
    double kb = 1.38065e-23;
    double xmwp_Fe = 55.845, xmwp_Ni = 58.69;           // g/mol (private)
    double rhop_Fe = 7870, rhop_Ni = 8908;              // kg/m^3
    double cv_Ni = 0.44, cv_Fe = 0.45;                  // J/(g K)
    double sigma_Ni = 2, sigma_Fe = 1.87;               // J/m^2
    double epsilon_Ni = 0.5, epsilon_Fe = 0.5;
    double rho_cnt = 1800;
    double xmwg = 28.1;
    double A_diff_H2Fe = 5e-8, E_diff_H2Fe = 10958;     // private
    double A_diff_H2Ni = 7.2e-7, E_diff_H2Ni = 39800;   // private
    double a_Ni = 2.48e-10, a_Fe = 2.52e-10, a_COB = 2.5e-11;
    double lattice_parameter_Fe = 2.866e-10, lattice_parameter_Ni = 3.524e-10;
    double V_Ni = 0, V_Fe = 0, V_COB = 0;
    double xmjet = 1, xmjeto = 1;
    double tempjo = 300.0;
    double xel = 1.6e-19, xfie = 150000.0;
    double initial_mol_fraction = 5e-8;

    // ================= element-selected data =================
    std::optional<long> flag_id_mat;
    double rhop = 0, xmwp = 0, cv = 0, sigma_NP = 0, epsilon_NP = 0;
    double A_H2_diffusion = 0, Ea_H2_diffusion = 0;  // _A_H2_diffusion, _Ea_H2_diffusion
    double a = 0, atom_volume = 0, lattice_parameter = 0, volume_unitcell = 0;

    // ================= derived quantities =================
    double surf_cov_gp_current = 0;
    double reactor_volume = 0, reactor_initial_pressure = 0, density_initial = 0;
    double vel = 0;
    long int2num = 0, int3num = 0, int4num = 0, int5num = 0, int6num = 0;
    gas::GasState AA00;
    double initial_N = 0;
    OrderedMap<double> inlet_initial_partial_pressure;
    std::optional<double> wrapper_mapping_phi, wrapper_mapping_temp, wrapper_mapping_dp, wrapper_mapping_l_reactor;

    // ================= running scalars =================
    double lengthththt = 0, tend_current = 0, gp_coverage_ratio = 0, total_carbon_added = 0;
    double H2_surface_current = 0, x1_activator = 0, gyration_diameter = 0;
    double molfrac_species1 = 0, molfrac_species2 = 0, molfrac_species3 = 0;
    bool encapsulation_cond = false;

    // ================= state and section arrays =================
    std::vector<double> y, yp;                 // 4n+1
    std::vector<double> carbon_data;           // 6n
    std::vector<double> carbon_condition_previou, wall_number_section, xdm, xdf, ts, x, x1_previous, xdp_gp;  // n
    std::vector<double> v, initial_v;
    std::vector<double> growth_rate;           // n-2
    std::vector<double> betafu;                // n x n, row-major
    std::vector<std::int64_t> jmin, jmax;      // n x (n+1), row-major
    std::vector<double> final_values;          // 7
    std::vector<double> final_value_previous;  // 6, later 7
    std::vector<double> initial_conditions_surf_kin_current;  // 6
    std::vector<double> xkn1;

    // initial conditions
    double xmgases = 0, c0 = 0, v0 = 0, a0 = 0;
    long isec = 0;
    std::vector<double> xdp, saved_xdpr, xnpr, xdp_backup;
    // polydisperse start
    double total_concentration = 0, low_PP_range_auto = 0, high_PP_range_auto = 0;
    std::vector<double> diameters, number_in_bins, bin_volumes_polydisperse, bin_walls_polydisperse;
    // profiles and gas properties
    double temp = 0, rhog = 0, eta = 0, xnu = 0, xlm = 0;
    // collision kernel and derivatives
    std::vector<double> x1, xdp_updated;
    double xk = 1e-35, xks = 1e-35, xkg = 0, dyn = 0, dynx = 0;
    // driver
    long counter = 0;
    // Outer steps whose integration failed in the latest solve() (cleared at its start).
    std::vector<IntegrationFailure> integration_failures;
    std::vector<double> simulation_time;
    std::vector<std::vector<double>> y_saved;
    std::optional<gas::GasState> AA12;
    OrderedMap<double> AA12_initial;
    std::vector<double> dp_dp, area_fused, temp_NP_previous, temp_NP_sections;
    double current_total_N = 0, avg_dp = 0;
    // surface coupling
    double diff_H2_in_NP = 0, H2_cons_current = 0, H2_cons_previous = 0, current_H2_flux_coeff = 0;
    double current_timestep = 0, total_N = 0, H2_entered_total = 0;
    std::vector<double> final_values_section;  // Puretzky: (n-2) x 7, Ma: n-2
    double wall_number_avg = 0, N_avg = 0, dm_avg = 0, L_cnt_avg = 0;
    double growth_rate_per_NP_area = 0, summed_value = 0;
    double P_eq_H2_entered_total = 0, molarfraction_eq_H2_entered_total = 0;
    // carbon bookkeeping
    double carbon_mass_balance = 0, total_area = 0, atom_per_PP = 0, xdg = 0;
    double carbon_composition1 = 0, carbon_composition2 = 0, carbon_composition3 = 0, carbon_composition4 = 0;
    std::optional<CarbonComposition> carbon_composition;

    // ================= histories (one entry per outer step) =================
    std::vector<std::vector<double>> wall_number_section_saved, carbon_data_saved, xdm_saved, temp_NP_saved,
        area_ratio_NP_saved, ts_saved, xdf_saved, xdp_saved, xnpr_saved, xdp_gp_saved;
    std::vector<double> temp_gas_saved, carbon_mass_balance_saved;
    std::vector<CarbonComposition> carbon_composition_saved;
    std::vector<TimedArray> kn_saved, dp_saved;

    // Section count n as a size.
    std::size_t n() const { return static_cast<std::size_t>(intnum); }

    // Live section count, checked against the capacity (ValueError "isec > intnum").
    std::size_t live_sections() const;

    // Refuses parameters that can only yield NaN/inf results (temperatures that are
    // not finite and positive, a zero wall-number divisor): ValueError naming them.
    void check_physical_parameters() const;

    // Most outer steps one solve() may take (a reactor of about 400 m at 4 mm per
    // step); a longer reactor is refused before the march starts.
    static constexpr long kMaxOuterSteps = 100000;

private:
    void allocate_arrays();
    void select_element_data();
    // Driver steps (driver.cpp).
    void apply_lower_bounds(std::vector<double>& state) const;
    void update_section_walls();
    void run_particle_temperature(double t, double tend, const std::vector<double>& state);
    // Surface coupling (surface_coupling.cpp): number-weighted section averages.
    void update_section_averages();
    // Carbon bookkeeping (carbon_bookkeeping.cpp).
    void feed_back_into_gas();
    void distribute_grown_carbon();
    void update_carbon_structure();

    // Right-hand-side work buffers, reused between evaluations. The kernels
    // write into the scratch arrays, which are swapped with the attributes
    // only when a kernel succeeds (a failed call leaves the attributes as the
    // steps before it left them).
    struct BetaScratch {
        std::vector<double> y, x, xdp, xdp_backup, xnpr, x1, xkn1, xdf, betafu;
    };
    struct DerivativeScratch {
        std::vector<double> yp, ts;
    };
    pbe::BetaWorkspace beta_work_;
    pbe::DerivativeWorkspace derivative_work_;
    BetaScratch beta_scratch_;
    DerivativeScratch derivative_scratch_;
};

}  // namespace velmora::model
