#include "ml/input_scaling.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "common/errors.hpp"

namespace velmora::ml {

ScalingMethod parse_scaling_method(std::string_view name, bool allow_no_normalization) {
    if (name == "zscore") return ScalingMethod::ZScore;
    if (name == "minmax") return ScalingMethod::MinMax;
    if (name == "mean") return ScalingMethod::Mean;
    if (allow_no_normalization && name == "no_normalization") return ScalingMethod::NoNormalization;
    throw InvalidValue(kScalingMethodError);
}

namespace {

double column_mean(MatrixView X, std::size_t j) {
    double s = 0.0;
    for (std::size_t i = 0; i < X.rows; ++i) s += X(i, j);
    return s / static_cast<double>(X.rows);  // NaN for an empty column, like an array mean
}

double column_std(MatrixView X, std::size_t j, double mean) {
    double s = 0.0;
    for (std::size_t i = 0; i < X.rows; ++i) {
        const double d = X(i, j) - mean;
        s += d * d;
    }
    return std::sqrt(s / static_cast<double>(X.rows));
}

// Extremes that propagate NaN, as array reductions do.
void column_extremes(MatrixView X, std::size_t j, double& lo, double& hi) {
    lo = X(0, j);
    hi = lo;
    for (std::size_t i = 1; i < X.rows; ++i) {
        const double x = X(i, j);
        if (std::isnan(x) || std::isnan(lo)) {
            lo = hi = std::numeric_limits<double>::quiet_NaN();
            return;
        }
        if (x < lo) lo = x;
        if (x > hi) hi = x;
    }
}

}  // namespace

ColumnScaling fit_scaling(MatrixView X, ScalingMethod method) {
    ColumnScaling s;
    if (method == ScalingMethod::NoNormalization) {
        s.offset = {0.0};
        s.divisor = {1.0};
        return s;
    }
    if (X.rows == 0 && method != ScalingMethod::ZScore)
        throw InvalidValue("zero-size array to reduction operation minimum which has no identity");
    // The mean and spread of no samples are NaN: every scaled value would be NaN.
    if (X.rows == 0)
        throw InvalidValue("X must hold at least one sample (row) to be scaled by zscore, got an empty array");
    s.offset.resize(X.cols);
    s.divisor.resize(X.cols);
    for (std::size_t j = 0; j < X.cols; ++j) {
        double lo = 0.0, hi = 0.0;
        switch (method) {
            case ScalingMethod::ZScore:
                s.offset[j] = column_mean(X, j);
                s.divisor[j] = column_std(X, j, s.offset[j]);
                break;
            case ScalingMethod::MinMax:
                column_extremes(X, j, lo, hi);
                s.offset[j] = lo;
                s.divisor[j] = hi - lo;
                break;
            case ScalingMethod::Mean:
                column_extremes(X, j, lo, hi);
                s.offset[j] = column_mean(X, j);
                s.divisor[j] = hi - lo;
                break;
            case ScalingMethod::NoNormalization:
                break;
        }
        if (s.divisor[j] == 0.0) s.divisor[j] = 1.0;
    }
    return s;
}

namespace {

void check_broadcast(std::size_t cols, std::size_t n, const char* what) {
    if (n != 1 && n != cols)
        throw InvalidValue(std::string("operands could not be broadcast together: ") + what + " has " +
                         std::to_string(n) + " entries for " + std::to_string(cols) + " columns");
}

}  // namespace

Matrix apply_scaling(MatrixView X, const ColumnScaling& s) {
    check_broadcast(X.cols, s.offset.size(), "offset");
    check_broadcast(X.cols, s.divisor.size(), "divisor");
    Matrix out(X.rows, X.cols);
    const bool one_off = s.offset.size() == 1, one_div = s.divisor.size() == 1;
    for (std::size_t i = 0; i < X.rows; ++i)
        for (std::size_t j = 0; j < X.cols; ++j)
            out(i, j) = (X(i, j) - s.offset[one_off ? 0 : j]) / s.divisor[one_div ? 0 : j];
    return out;
}

Matrix descale(MatrixView X, std::span<const double> offset, std::span<const double> divisor, ScalingMethod method) {
    if (method == ScalingMethod::NoNormalization) throw InvalidValue(kScalingMethodError);
    check_broadcast(X.cols, offset.size(), "offset");
    check_broadcast(X.cols, divisor.size(), "divisor");
    Matrix out(X.rows, X.cols);
    const bool one_off = offset.size() == 1, one_div = divisor.size() == 1;
    for (std::size_t i = 0; i < X.rows; ++i)
        for (std::size_t j = 0; j < X.cols; ++j)
            out(i, j) = X(i, j) * divisor[one_div ? 0 : j] + offset[one_off ? 0 : j];
    return out;
}

}  // namespace velmora::ml
