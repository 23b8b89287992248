// The moving sectional population-balance model of catalyst agglomerates in a
// heated flow reactor. One object holds one run: parameters, constants, the
// state vector and section arrays, the coupled gas state and the histories
// (the parts of model_state.hpp, one row each in model_fields.def).
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
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "gas/gas_state.hpp"
#include "model/model_parameters.hpp"
#include "model/model_state.hpp"
#include "pbe/beta_matrix.hpp"
#include "pbe/derivatives.hpp"

namespace velmora::model {

// What solve() returns: end positions of the completed outer steps and the
// bounded end-of-step states (one row of 4n+1 values per step).
struct SolveResult {
    std::vector<double> time_points;
    std::vector<double> solutions;  // row-major, len(time_points) x (4n+1)
    std::size_t width = 0;
};

// The data members are the five parts of model_state.hpp (declared in
// model_fields.def); this class adds the behaviour.
class MovingSectionalModel : public ModelParameters,
                             public MaterialConstants,
                             public FlowState,
                             public SectionState,
                             public Histories {
public:
    // The name Python knows the class by (in the host's error texts).
    static constexpr const char* kClassName = "MovingSectionalModel";

    // Builds the model: constants, element data, derived quantities, zeroed
    // arrays, and the inlet gas step through `kinetics` (stored as AA00).
    // Throws AttributeError naming rhop_<element> for an unknown catalyst.
    MovingSectionalModel(ModelParameters parameters, std::shared_ptr<gas::GasKinetics> kinetics);
    virtual ~MovingSectionalModel() = default;

    // ---- the gas-phase step (the only call that may leave the core) ----
    std::shared_ptr<gas::GasKinetics> kinetics;
    // The inlet request AA00 was computed for (solve() steps the gas again only when it changed).
    std::string inlet_request_key;
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
    // Seconds per fcn evaluation, averaged over `repeats` calls (1 ... 10^7; the
    // benchmarks' timing loop, stoppable by the host's interrupt check).
    double seconds_per_fcn(double t, std::span<const double> yy, long repeats);
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
    // ValueError for a method other than 1 or 2.
    double aerosol_ratio(double method, double prob, double uniform_draw) const;

    // One sentence on the failed steps of the latest solve() (empty for a sound run):
    // how many, the first one's step, position and message, and that the run went on.
    std::string integration_failure_summary() const;

    // Section count n as a size.
    std::size_t n() const { return static_cast<std::size_t>(intnum); }

    // Live section count, checked against the capacity (ValueError "isec > intnum").
    std::size_t live_sections() const;

    // Refuses parameters that can only yield NaN/inf results (temperatures that are
    // not finite and positive, a zero wall-number divisor): ValueError naming them.
    void check_physical_parameters() const;
    void update_reactor_volume();
    void derive_inlet_state();

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
