// Reactor profiles and gas properties: temp_vel(t), props().
#include "growth_simulator/model_binding.hpp"
#include "growth_simulator/number_kinds.hpp"

namespace velmora::bind {

void register_profile_methods(ModelClass& cls) {
    cls.def(
        "temp_vel",
        [](PyModel& self, double t) {
            self.temp_vel(t);
            note_temperature_kind(self);
        },
        py::arg("t"), "Sets the gas temperature `temp` and velocity `vel` at axial position t (m).");
    cls.def(
        "props", [](PyModel& self) { self.props(); },
        "Sets the gas density `rhog`, viscosity `eta`, kinematic viscosity `xnu` and mean free path `xlm` from AA12.");
}

}  // namespace velmora::bind
