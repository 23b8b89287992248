// Methods of the model, grouped by concern (one register function per concern).
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_model_methods(ModelClass& cls) {
    register_initial_state_methods(cls);
    register_profile_methods(cls);
    register_right_hand_side_methods(cls);
    register_regridding_methods(cls);
    register_geometry_methods(cls);
    register_carbon_accounting_methods(cls);
    register_driver_methods(cls);
}

}  // namespace velmora::bind
