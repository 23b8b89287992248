// The logistic function, unclipped: large negative arguments overflow exp() to
// infinity and give exactly 0, as the element-wise array formula does.
#pragma once
#include <cmath>

namespace velmora::ml {

inline double sigmoid1(double z) { return 1.0 / (1.0 + std::exp(-z)); }

}  // namespace velmora::ml
