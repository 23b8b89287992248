// Reactor profiles and gas properties: temp_vel(t), props().
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_profile_methods(ModelClass& cls) {
    cls.def("temp_vel", &model::MovingSectionalModel::temp_vel, py::arg("t"),
            "Sets the gas temperature `temp` and velocity `vel` at axial position t (m).");
    cls.def("props", &model::MovingSectionalModel::props,
            "Sets the gas density `rhog`, viscosity `eta`, kinematic viscosity `xnu` and mean free path `xlm` from AA12.");
}

}  // namespace velmora::bind
