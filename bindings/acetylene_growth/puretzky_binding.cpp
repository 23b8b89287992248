// Host class Surface_Kinetics_Puretzky_etal_2005 over the core model. The host
// object keeps what the caller passed (switch values, the initial-condition and
// product lists, parameters kept only for callers) and hands the core plain
// numbers right before each use, so later edits of those lists are honoured.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "conversions.hpp"
#include "registrations.hpp"
#include "solver_result.hpp"
#include "submodels/puretzky_surface_kinetics.hpp"
#include "submodels/species_mass.hpp"

namespace velmora::bind {

namespace {

using submodels::PuretzkySurfaceKinetics;
constexpr const char* kClass = PuretzkySurfaceKinetics::kClassName;

struct PuretzkyObject {
    PuretzkySurfaceKinetics model;

    // Switches as passed: the equations compare them with `== True`, the
    // time factor tests `is False`.
    py::object carb_strc_surface, carb_deactiv, gas_NP_time_considered;
    py::object initial_conditions;    // read at each run
    py::object main_product_species;  // read at each diameter assignment and at the end state
    // Kept for callers only.
    py::object plot_request, P_FEEDSTOCK, surface_coverage_gp, H2_STICKING_PROBABILITY,
        encapsulation_cond;

    void set_carb_strc_surface(py::object v) {
        model.parameters.carb_strc_surface = v.equal(py::bool_(true));
        carb_strc_surface = std::move(v);
    }
    void set_carb_deactiv(py::object v) {
        model.parameters.carb_deactiv = v.equal(py::bool_(true));
        carb_deactiv = std::move(v);
    }
    void set_gas_NP_time_considered(py::object v) {
        model.parameters.gas_NP_time_considered = !v.is(py::bool_(false));
        gas_NP_time_considered = std::move(v);
    }

    // Items 0 and 1 are the two products the model weighs (a text gives its
    // characters, as indexing it would).
    void sync_products() {
        auto& products = model.parameters.main_product_species;
        products.clear();
        const py::ssize_t count = static_cast<py::ssize_t>(py::len(main_product_species));
        for (py::ssize_t i = 0; i < count && i < 2; ++i)
            products.push_back(formula_text(main_product_species[py::int_(i)]));
    }
};

py::tuple mass_calculator(py::handle name_of_species, py::handle dp, py::handle npr) {
    const auto result = submodels::mass_calculator(formula_text(name_of_species),
                                                   optional_real_number(dp, "dp"), optional_real_number(npr, "npr"));
    py::list tokens;
    for (const auto& [element, count] : result.tokens) tokens.append(py::make_tuple(element, count));
    py::object site = result.site_per_particle ? py::object(py::float_(*result.site_per_particle))
                                               : py::object(py::none());
    return py::make_tuple(result.mass_per_molecule_kg, site, tokens);
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
        self.model.parameters.initial_conditions = real_vector(self.initial_conditions, "initial_conditions");
    } catch (py::error_already_set& e) {
        setup_error = exception_text(e);
    } catch (const std::exception& e) {
        setup_error = e.what();
    }

    const py::list temps = py::reinterpret_steal<py::list>(PySequence_List(temperatures.ptr()));
    if (!temps) throw py::error_already_set();
    const auto runs = self.model.run_surface_kinetics_simulation(
        temps.size(), [&](std::size_t i) { return py::str(temps[i]).cast<std::string>(); },
        [&](std::size_t i) {
            if (setup_error) throw std::runtime_error(*setup_error);
            try {
                return real_number(temps[i], "temperature");
            } catch (py::error_already_set& e) {
                throw std::runtime_error(exception_text(e));  // printed as str() of the error
            }
        },
        t_start, t_end);
    py::dict results;
    for (const auto& run : runs) results[temps[run.index]] = solver_result_to_python(run.solution);
    return results;
}

py::tuple get_final_values(PuretzkyObject& self, py::handle results) {
    std::vector<double> final_state;
    const auto end = self.model.get_final_values(py::len(results), [&] {
        const py::list keys = py::reinterpret_borrow<py::object>(results);
        const py::object temp = keys[0];
        const py::object solution = results[temp];
        const py::object y = solution.attr("y");
        const py::object last_column = y[py::make_tuple(py::slice(py::none(), py::none(), py::none()), -1)];
        final_state = real_vector(last_column, "y");
        const double final_time = real_number(solution.attr("t")[py::int_(-1)], "t");
        self.sync_products();
        const double temp_C = real_number(temp, "temperature");
        return submodels::RunEnd{temp_C, final_time, final_state};
    });
    return py::make_tuple(to_numpy(std::span<const double>(end.values)), end.current_H2_flux);
}

}  // namespace

void register_puretzky_surface_kinetics(py::module_& m) {
    py::class_<PuretzkyObject> cls(m, kClass, py::dynamic_attr(),
                                   "Carbon uptake of a catalyst particle: six carbon pools "
                                   "integrated over time at one temperature.");

    // Defaults shared by every call that omits them.
    py::list default_initial_conditions;
    for (int i = 0; i < 6; ++i) default_initial_conditions.append(0);
    py::list default_products;
    default_products.append("C2H4");
    default_products.append("C4H4");

    cls.def(py::init([](py::object carb_strc_surface, py::object carb_deactiv, py::object plot_request,
                        py::object initial_conditions, py::object P_FEEDSTOCK,
                        std::string feedstock_gas_name, py::object main_product_species,
                        double reactor_volume, double n0, double np1, double np2,
                        py::object surface_coverage_gp, py::object gas_NP_time_considered,
                        py::object H2_STICKING_PROB, double H2_current_partial_pressure, double npr,
                        double fra_cnt_gp, double gp_cove_rati, py::object encap_cond,
                        double current_H2_flux_coeff) {
                auto self = std::make_unique<PuretzkyObject>();
                auto& p = self->model.parameters;
                self->set_carb_strc_surface(std::move(carb_strc_surface));
                self->set_carb_deactiv(std::move(carb_deactiv));
                self->plot_request = std::move(plot_request);
                self->initial_conditions = std::move(initial_conditions);
                self->P_FEEDSTOCK = std::move(P_FEEDSTOCK);
                p.feedstock_gas_name = std::move(feedstock_gas_name);
                self->main_product_species = std::move(main_product_species);
                p.reactor_volume = reactor_volume;
                p.n0 = n0;
                p.np1 = np1;
                p.np2 = np2;
                self->surface_coverage_gp = std::move(surface_coverage_gp);
                self->set_gas_NP_time_considered(std::move(gas_NP_time_considered));
                self->H2_STICKING_PROBABILITY = std::move(H2_STICKING_PROB);
                p.H2_current_partial_pressure = H2_current_partial_pressure;
                p.npr = npr;
                p.fra_cnt_gp = fra_cnt_gp;
                p.gp_cove_rati = gp_cove_rati;
                self->encapsulation_cond = std::move(encap_cond);
                p.current_H2_flux_coeff = current_H2_flux_coeff;
                return self;
            }),
            py::arg("carb_strc_surface") = true, py::arg("carb_deactiv") = true,
            py::arg("plot_request") = true, py::arg("initial_conditions") = default_initial_conditions,
            py::arg("P_FEEDSTOCK") = 266.645, py::arg("feedstock_gas_name") = "C2H2",
            py::arg("main_product_species") = default_products, py::arg("reactor_volume") = 0.0055,
            py::arg("n0") = 2.2775521143014057e22, py::arg("np1") = 10000.0,
            py::arg("np2") = 10000.0, py::arg("surface_coverage_gp") = 1,
            py::arg("gas_NP_time_considered") = true, py::arg("H2_STICKING_PROB") = 0.02,
            py::arg("H2_current_partial_pressure") = 1, py::arg("npr") = 1,
            py::arg("fra_cnt_gp") = 0.7, py::arg("gp_cove_rati") = 0,
            py::arg("encap_cond") = false, py::arg("_current_H2_flux_coeff") = 0);

    // Parameters, under their stored names.
    cls.def_property(
        "carb_strc_surface", [](PuretzkyObject& s) { return s.carb_strc_surface; },
        [](PuretzkyObject& s, py::object v) { s.set_carb_strc_surface(std::move(v)); });
    cls.def_property(
        "carb_deactiv", [](PuretzkyObject& s) { return s.carb_deactiv; },
        [](PuretzkyObject& s, py::object v) { s.set_carb_deactiv(std::move(v)); });
    cls.def_property(
        "gas_NP_time_considered", [](PuretzkyObject& s) { return s.gas_NP_time_considered; },
        [](PuretzkyObject& s, py::object v) { s.set_gas_NP_time_considered(std::move(v)); });
    cls.def_readwrite("plot_request", &PuretzkyObject::plot_request);
    cls.def_readwrite("_Surface_Kinetics_Puretzky_etal_2005__initial_conditions",
                      &PuretzkyObject::initial_conditions);
    cls.def_readwrite("P_FEEDSTOCK", &PuretzkyObject::P_FEEDSTOCK);
    cls.def_property(
        "feedstock_gas_name", [](PuretzkyObject& s) { return s.model.parameters.feedstock_gas_name; },
        [](PuretzkyObject& s, std::string v) { s.model.parameters.feedstock_gas_name = std::move(v); });
    cls.def_readwrite("main_product_species", &PuretzkyObject::main_product_species);
    cls.def_readwrite("surface_coverage_gp", &PuretzkyObject::surface_coverage_gp);
    cls.def_readwrite("H2_STICKING_PROBABILITY", &PuretzkyObject::H2_STICKING_PROBABILITY);
    cls.def_readwrite("encapsulation_cond", &PuretzkyObject::encapsulation_cond);
    // Numbers under their stored names: parameters, the diameter and model
    // constants, and the attributes the model sets later.
    using Params = submodels::PuretzkyParameters;
    using Model = PuretzkySurfaceKinetics;
    const auto parameters = [](PuretzkyObject& s) -> Params& { return s.model.parameters; };
    const auto model = [](PuretzkyObject& s) -> Model& { return s.model; };
    def_numbers<Params>(cls, parameters,
                        {{"reactor_volume", &Params::reactor_volume}, {"n0", &Params::n0}, {"np1", &Params::np1},
                         {"np2", &Params::np2}, {"H2_current_partial_pressure", &Params::H2_current_partial_pressure},
                         {"xnpr", &Params::npr}, {"fraction_cnt_gp", &Params::fra_cnt_gp},
                         {"gp_coverage_ratio", &Params::gp_cove_rati},
                         {"current_H2_flux_coeff", &Params::current_H2_flux_coeff}});
    def_numbers<Model>(cls, model,
                       {{"dp", &Model::dp}, {"NAVA", &Model::NAVA}, {"kb", &Model::kb}, {"n_m", &Model::n_m},
                        {"alpha", &Model::alpha}, {"E_a1", &Model::E_a1}, {"E_sb", &Model::E_sb}, {"E_b", &Model::E_b},
                        {"E_p", &Model::E_p}, {"E_rl", &Model::E_rl}, {"k_sb_known", &Model::k_sb_known},
                        {"T_known", &Model::T_known}, {"k_c1", &Model::k_c1}, {"k_d1", &Model::k_d1},
                        {"k_d2", &Model::k_d2}, {"B", &Model::B}});
    def_numbers<Model, std::optional<double>>(
        cls, model,
        {{"species_weight", &Model::species_weight}, {"average_species_weight_product", &Model::average_species_weight_product},
         {"S_0", &Model::S_0}, {"particle_area", &Model::particle_area}, {"current_H2_flux", &Model::current_H2_flux}});
    cls.def_property(
        "site_per_particle",
        [](PuretzkyObject& s) -> py::object {
            const auto& site = s.model.site_per_particle;
            if (!site) throw MissingAttribute(missing_attribute_text(kClass, "site_per_particle"));
            return *site ? py::object(py::float_(**site)) : py::object(py::none());
        },
        [](PuretzkyObject& s, py::handle v) { s.model.site_per_particle = optional_real_number(v, "site_per_particle"); });

    cls.def_property(
        "_dp", [](PuretzkyObject& s) { return s.model.dp; },
        [](PuretzkyObject& s, double dp_current) {
            s.sync_products();
            s.model.set_dp(dp_current);
        },
        "Particle diameter, m; assigning it weighs the molecules and sets the catalyst surface S_0.");

    cls.def_static("mass_calculator", &mass_calculator, py::arg("name_of_species"),
                   py::arg("dp") = py::none(), py::arg("npr") = py::none(),
                   "(mass of one molecule in kg, adsorption sites per particle or None, formula tokens)");
    cls.def(
        "calculate_k_sb",
        [](PuretzkyObject& s, double temperature_kelvin) { return s.model.calculate_k_sb(temperature_kelvin); },
        py::arg("temperature_kelvin"));
    cls.def(
        "calculate_n0", [](PuretzkyObject& s, py::handle) { return s.model.parameters.n0; },
        py::arg("temp_C"));
    cls.def(
        "calculate_n",
        [](PuretzkyObject& s, double temp_C, double t, py::handle y) {
            if (y.is_none()) return s.model.calculate_n(temp_C, t, std::nullopt);
            const std::vector<double> state = real_vector(y, "y");
            return s.model.calculate_n(temp_C, t, std::span<const double>(state));
        },
        py::arg("temp_C"), py::arg("t"), py::arg("y") = py::none());
    cls.def(
        "ode_system",
        [](PuretzkyObject& s, double t, py::handle y, double temp_C) {
            const std::vector<double> state = real_vector(y, "y");
            double dydt[PuretzkySurfaceKinetics::kStateSize];
            s.model.ode_system(t, state, temp_C, dydt);
            py::list out;
            for (double d : dydt) out.append(d);
            return out;
        },
        py::arg("t"), py::arg("y"), py::arg("temp_C"));
    cls.def(
        "calculate_length", [](PuretzkyObject& s, double N_t) { return s.model.calculate_length(N_t); },
        py::arg("N_t"));
    cls.def("run_surface_kinetics_simulation", &run_simulation, py::arg("temperatures"),
            py::arg("time_span"));
    cls.def("get_final_values", &get_final_values, py::arg("results"));
}

}  // namespace velmora::bind
