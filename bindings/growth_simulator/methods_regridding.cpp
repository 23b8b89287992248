#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_regridding_methods(ModelClass& /*cls*/) {}

}  // namespace velmora::bind
