#include "pbe/aggregation_classes.hpp"

#include <algorithm>

#include "common/errors.hpp"
#include "pbe/checked_index.hpp"

namespace velmora::pbe {
namespace {

// One construction, instantiated twice: with every index checked (odd inputs)
// and unchecked once the entry test has proven all indices in range.
template <bool kChecked>
void build_tables(std::span<const double> x, std::int64_t isec, const AggregationClassTables& t) {
    auto xs = [&](std::int64_t i) -> double {
        if constexpr (kChecked) return x[wrap_index(i, x.size())];
        else return x[static_cast<std::size_t>(i)];
    };
    auto set = [&](const MatrixView<std::int64_t>& table, std::int64_t r, std::int64_t c,
                   std::int64_t value) {
        if constexpr (kChecked) {
            const auto rr = wrap_index(r, static_cast<std::size_t>(table.rows), 0);
            const auto cc = wrap_index(c, static_cast<std::size_t>(table.cols), 1);
            table(static_cast<std::int64_t>(rr), static_cast<std::int64_t>(cc)) = value;
        } else {
            table(r, c) = value;
        }
    };

    // Section 0 keeps the product of two of its own particles only while that
    // product stays below the next node.
    const double x1 = xs(1);
    const double x0 = xs(0);
    set(t.jmin, 0, 0, 0);
    set(t.jmax, 0, 0, x1 >= x0 * 2 ? 0 : -1);

    // Inner sections: partners j of k whose product falls between the
    // neighbouring nodes x[i-1] and x[i+1]. The tests are written as
    // differences, which fixes how exact ties round.
    for (std::int64_t i = 1; i <= isec - 2; ++i) {
        const double lower = xs(i - 1);
        const double upper = xs(i + 1);
        for (std::int64_t k = 0; k < i; ++k) {
            const double xk = xs(k);
            const double low_gap = lower - xk;
            std::int64_t j = k;
            while (j < isec && low_gap > xs(j)) ++j;
            set(t.jmin, i, k, j);
            const double high_gap = upper - xk;
            j = i;
            while (j >= k && high_gap < xs(j)) --j;
            set(t.jmax, i, k, j);
        }
    }

    // Top section: no upper limit, everything from the second-highest node up.
    const std::int64_t top = isec - 1;
    for (std::int64_t k = 0; k < isec; ++k) {
        const double low_gap = xs(isec - 2) - xs(k);
        std::int64_t j = k;
        while (j < isec && low_gap > xs(j)) ++j;
        set(t.jmin, top, k, j);
        set(t.jmax, top, k, top);
    }
}

}  // namespace

void compute_aggregation_classes(std::span<const double> x, std::int64_t isec,
                                 const AggregationClassTables& out) {
    const auto& jmin = out.jmin;
    const auto& jmax = out.jmax;
    if (!jmin.consistent() || !jmax.consistent() || jmin.rows != jmax.rows ||
        jmin.cols != jmax.cols)
        throw InvalidValue("aggregation-class tables must share one consistent shape");

    const std::size_t cells = static_cast<std::size_t>(jmin.rows * jmin.cols);
    std::fill_n(jmin.data.begin(), cells, std::int64_t{0});
    std::fill_n(jmax.data.begin(), cells, std::int64_t{0});

    // With 2 <= isec inside x and inside the tables, every index the rule uses
    // lies in [0, isec): the fast path needs no per-access test.
    const bool all_in_range = isec >= 2 && static_cast<std::uint64_t>(isec) <= x.size() &&
                              isec <= jmin.rows && isec <= jmin.cols;
    if (all_in_range) build_tables<false>(x, isec, out);
    else build_tables<true>(x, isec, out);
}

}  // namespace velmora::pbe
