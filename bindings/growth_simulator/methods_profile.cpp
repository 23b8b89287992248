#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_profile_methods(ModelClass& /*cls*/) {}

}  // namespace velmora::bind
