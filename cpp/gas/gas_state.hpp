// What one gas-phase step reports to the particle models: transport and
// thermodynamic properties, the full composition, the carbon-bearing species
// present in the largest amounts and their carbon atoms per molecule.
#pragma once
#include <string>
#include <vector>

#include "common/ordered_map.hpp"

namespace velmora::gas {

struct GasProperties {
    // One entry per recorded reactor state (a single state per step), in
    // Cantera's units: Pa s, kg/m^3, J/(kmol K), J/(kmol K), kg/kmol.
    std::vector<double> viscosity, density, cp_mole, cv_mole, mean_molecular_weight;
};

struct GasState {
    GasProperties properties;
    OrderedMap<double> all_species;        // mechanism order
    OrderedMap<double> largest_C_species;  // descending mole fraction, at most five
    OrderedMap<long> carbon_atoms_count;   // dominant species first

    // First element of each property array: what the particle models use.
    double density() const { return properties.density.at(0); }
    double viscosity() const { return properties.viscosity.at(0); }
};

// The inputs of one isothermal, constant-pressure gas step.
struct GasStepRequest {
    std::string dominant_species = "C2H2";
    double flow_velocity = 0.14;     // m/s
    double temperature = 1000.0;     // K
    double pressure_atm = 1.0;       // atm
    OrderedMap<double> inlet_composition;
    double length_step = 1e-7;       // m
    // Reactor description handed along with the step (not used by the chemistry).
    double reactor_length = 0.6;     // m
    double tube_diameter = 0.0254;   // m
    std::string mechanism = "FFCM2";
};

// Source of gas steps; the bindings install one that drives Cantera, tests may install fakes.
class GasKinetics {
public:
    virtual ~GasKinetics() = default;
    virtual GasState step(const GasStepRequest& request) = 0;
};

}  // namespace velmora::gas
