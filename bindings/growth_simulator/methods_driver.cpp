#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_driver_methods(ModelClass& /*cls*/) {}

}  // namespace velmora::bind
