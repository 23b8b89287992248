// Host class Surface_Kinetics_Puretzky_etal_2005 over the core model, built
// from the core's tables: the constructor's values are kept as passed, the
// lists are read at each use (so later edits of them are honoured).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "_numerics/ode_result.hpp"
#include "common/errors.hpp"
#include "conversions.hpp"
#include "submodels/puretzky_surface_kinetics.hpp"
#include "submodels/species_mass.hpp"

namespace velmora::bind {

namespace {

using submodels::PuretzkySurfaceKinetics;

struct PuretzkyObject : ModelObject<PuretzkySurfaceKinetics, submodels::kPuretzkyClassParameters> {
    // The formulas as the model reads them now. Items 0 and 1 of the product
    // list are the two products it weighs (a text gives its characters, as
    // indexing it would).
    void sync_formulas() {
        parameters.feedstock_gas_name = formula_text(kept_value("feedstock_gas_name"));
        const py::object& species = kept_value("main_product_species");
        auto& products = parameters.main_product_species;
        products.clear();
        const py::ssize_t count = static_cast<py::ssize_t>(py::len(species));
        for (py::ssize_t i = 0; i < count && i < 2; ++i) products.push_back(formula_text(species[py::int_(i)]));
    }
};

py::tuple mass_calculator(py::handle name_of_species, py::handle dp, py::handle npr) {
    const auto result = submodels::mass_calculator(formula_text(name_of_species),
                                                   optional_real_number(dp, "dp"), optional_real_number(npr, "npr"));
    return py::make_tuple(result.mass_per_molecule_kg, result.site_per_particle, result.tokens);
}

// The host's run loop: the temperatures are whatever the caller iterates over
// (printed as str() gives them, read as float() does), the results a dictionary
// keyed by those same objects. The loop itself is the core's.
py::dict run_simulation(PuretzkyObject& self, py::handle temperatures, py::handle time_span) {
    // The span and the start state are read once; a bad one fails every temperature.
    std::optional<std::string> setup_error;
    double t_start = 0.0, t_end = 0.0;
    try {
        const std::vector<double> span = real_vector(time_span, "time_span");
        submodels::check_unpack_size(span.size(), 2);
        t_start = span[0];
        t_end = span[1];
        self.parameters.initial_conditions =
            real_vector(self.kept_value("initial_conditions"), "initial_conditions");
    } catch (py::error_already_set& e) {
        setup_error = text_of(e.value());
    } catch (const std::exception& e) {
        setup_error = e.what();
    }

    const py::list temps(py::reinterpret_borrow<py::object>(temperatures));
    const auto runs = self.run_surface_kinetics_simulation(
        temps.size(), [&](std::size_t i) { return text_of(temps[i]); },
        [&](std::size_t i) {
            if (setup_error) throw std::runtime_error(*setup_error);
            try {
                return real_number(temps[i], "temperature");
            } catch (py::error_already_set& e) {
                throw std::runtime_error(text_of(e.value()));  // printed as str() of the error
            }
        },
        t_start, t_end);
    py::dict results;
    for (const auto& run : runs) results[temps[run.index]] = ode_result(run.solution);
    return results;
}

py::tuple get_final_values(PuretzkyObject& self, py::handle results) {
    std::vector<double> final_state;
    const auto end = self.get_final_values(py::len(results), [&] {
        const py::list keys = py::reinterpret_borrow<py::object>(results);
        const py::object temp = keys[0];
        const py::object solution = results[temp];
        const py::object y = solution.attr("y");
        const py::object last_column = y[py::make_tuple(py::slice(py::none(), py::none(), py::none()), -1)];
        final_state = real_vector(last_column, "y");
        const double final_time = real_number(solution.attr("t")[py::int_(-1)], "t");
        self.sync_formulas();
        const double temp_C = real_number(temp, "temperature");
        return submodels::RunEnd{temp_C, final_time, final_state};
    });
    return py::make_tuple(to_numpy(std::span<const double>(end.values)), end.current_H2_flux);
}

}  // namespace

void register_puretzky_surface_kinetics(py::module_& m) {
    py::class_<PuretzkyObject> cls(m, PuretzkySurfaceKinetics::kClassName, py::dynamic_attr(),
                                   "Carbon uptake of a catalyst particle: six carbon pools "
                                   "integrated over time at one temperature.");

    def_class_parameters(cls);
    def_numbers(cls, submodels::kPuretzkyConstants);
    def_numbers(cls, submodels::kPuretzkyLateNumbers);
    def_numbers(cls, submodels::kPuretzkySiteCount);

    cls.def_property(
        "_dp", [](PuretzkyObject& s) { return s.dp; },
        [](PuretzkyObject& s, double dp_current) {
            s.sync_formulas();
            s.set_dp(dp_current);
        },
        "Particle diameter, m; assigning it weighs the molecules and sets the catalyst surface S_0.");

    cls.def_static("mass_calculator", &mass_calculator, py::arg("name_of_species"),
                   py::arg("dp") = py::none(), py::arg("npr") = py::none(),
                   "(mass of one molecule in kg, adsorption sites per particle or None, formula tokens)");
    cls.def("calculate_k_sb", &PuretzkySurfaceKinetics::calculate_k_sb, py::arg("temperature_kelvin"));
    cls.def(
        "calculate_n0", [](PuretzkyObject& s, py::handle) { return s.parameters.n0; },
        py::arg("temp_C"));
    cls.def(
        "calculate_n",
        [](PuretzkyObject& s, double temp_C, double t, py::handle y) {
            if (y.is_none()) return s.calculate_n(temp_C, t, std::nullopt);
            const std::vector<double> state = real_vector(y, "y");
            return s.calculate_n(temp_C, t, std::span<const double>(state));
        },
        py::arg("temp_C"), py::arg("t"), py::arg("y") = py::none());
    cls.def(
        "ode_system",
        [](PuretzkyObject& s, double t, py::handle y, double temp_C) {
            const std::vector<double> state = real_vector(y, "y");
            std::vector<double> dydt(PuretzkySurfaceKinetics::kStateSize);
            s.ode_system(t, state, temp_C, dydt);
            return py::cast(dydt);  // a list
        },
        py::arg("t"), py::arg("y"), py::arg("temp_C"));
    cls.def("calculate_length", &PuretzkySurfaceKinetics::calculate_length, py::arg("N_t"));
    cls.def("run_surface_kinetics_simulation", &run_simulation, py::arg("temperatures"),
            py::arg("time_span"));
    cls.def("get_final_values", &get_final_values, py::arg("results"));
}

}  // namespace velmora::bind
