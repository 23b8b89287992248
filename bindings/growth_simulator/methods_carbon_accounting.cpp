#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_carbon_accounting_methods(ModelClass& /*cls*/) {}

}  // namespace velmora::bind
