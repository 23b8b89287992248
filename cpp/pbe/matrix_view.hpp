// Non-owning row-major view of a rows x cols table. The population-balance
// kernels read and write their matrices (collision frequencies, aggregation
// classes) through it so that callers keep ownership of the storage.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora::pbe {

template <class T>
struct MatrixView {
    std::span<T> data;
    std::int64_t rows = 0;
    std::int64_t cols = 0;

    MatrixView() = default;
    MatrixView(std::span<T> storage, std::int64_t n_rows, std::int64_t n_cols)
        : data(storage), rows(n_rows), cols(n_cols) {}

    // Unchecked element access; callers prove the indices in range first.
    T& operator()(std::int64_t r, std::int64_t c) const {
        return data[static_cast<std::size_t>(r * cols + c)];
    }
    // True when the view's extents are non-negative and covered by the storage.
    bool consistent() const {
        return rows >= 0 && cols >= 0 &&
               static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols) <= data.size();
    }
};

}  // namespace velmora::pbe
