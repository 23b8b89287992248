// The keyword parameter set of the reactor model, with its defaults. Each
// parameter is stored under the attribute of the same name; keywords the model
// does not know are ignored. The parameters are rows of model_fields.def.
#pragma once
#include "model/model_state.hpp"
