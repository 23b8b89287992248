// Per-column scaling of raw inputs before the monomial expansion, and its inverse.
#pragma once
#include <span>
#include <string_view>
#include <vector>

#include "ml/matrix.hpp"

namespace velmora::ml {

enum class ScalingMethod { ZScore, MinMax, Mean, NoNormalization };

// The one message for every unsupported method name.
inline constexpr const char* kScalingMethodError = "Method must be 'zscore', 'minmax', or 'mean'";

// Parses "zscore", "minmax", "mean" and, where allowed, "no_normalization";
// anything else throws ValueError(kScalingMethodError).
ScalingMethod parse_scaling_method(std::string_view name, bool allow_no_normalization);

// Column offsets and divisors: x_scaled = (x - offset) / divisor.
struct ColumnScaling {
    std::vector<double> offset;
    std::vector<double> divisor;
};

// Statistics of each column: zscore (mean, population std), minmax (min, max - min),
// mean (mean, max - min); a zero divisor becomes 1 so constant columns map to 0.
// NoNormalization gives offset {0} and divisor {1}. minmax and mean throw
// ValueError on an empty sample set (no minimum exists); zscore gives NaN there.
ColumnScaling fit_scaling(MatrixView X, ScalingMethod method);

// (X - offset) / divisor with per-column or single-entry offset and divisor.
Matrix apply_scaling(MatrixView X, const ColumnScaling& scaling);

// X * divisor + offset. Only the three real scalings can be inverted; the
// others throw InvalidValue(kScalingMethodError). offset and divisor hold one
// entry per column of X or a single entry for all columns.
Matrix descale(MatrixView X, std::span<const double> offset, std::span<const double> divisor, ScalingMethod method);

}  // namespace velmora::ml
