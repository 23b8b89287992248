#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_right_hand_side_methods(ModelClass& /*cls*/) {}

}  // namespace velmora::bind
