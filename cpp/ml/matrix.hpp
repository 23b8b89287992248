// Dense row-major matrices of the classifier: samples are rows, features columns.
#pragma once
#include <cstddef>
#include <vector>

namespace velmora::ml {

// Non-owning read-only view of a row-major block of doubles.
struct MatrixView {
    const double* data = nullptr;
    std::size_t rows = 0;
    std::size_t cols = 0;

    const double* row(std::size_t i) const { return data + i * cols; }
    double operator()(std::size_t i, std::size_t j) const { return data[i * cols + j]; }
};

// Owning row-major matrix.
struct Matrix {
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<double> data;

    Matrix() = default;
    Matrix(std::size_t r, std::size_t c, double fill = 0.0) : rows(r), cols(c), data(r * c, fill) {}

    double* row(std::size_t i) { return data.data() + i * cols; }
    const double* row(std::size_t i) const { return data.data() + i * cols; }
    double& operator()(std::size_t i, std::size_t j) { return data[i * cols + j]; }
    double operator()(std::size_t i, std::size_t j) const { return data[i * cols + j]; }
    MatrixView view() const { return {data.data(), rows, cols}; }
};

}  // namespace velmora::ml
