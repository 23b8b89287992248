#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_initial_state_methods(ModelClass& /*cls*/) {}

}  // namespace velmora::bind
