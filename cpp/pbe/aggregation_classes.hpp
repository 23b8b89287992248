// Aggregation classes of the moving sectional model: for a receiving section i
// and a partner section k, the inclusive range [jmin(i,k), jmax(i,k)] of
// sections j whose collision product with k is credited (in part) to i.
#pragma once
#include <cstdint>
#include <span>

#include "pbe/matrix_view.hpp"

namespace velmora::pbe {

// Output tables, each intnum x (intnum + 1), row-major, owned by the caller.
struct AggregationClassTables {
    MatrixView<std::int64_t> jmin;
    MatrixView<std::int64_t> jmax;
};

// Rebuilds both tables from the node volumes x (increasing over the first
// isec entries). The tables are zeroed first; entries outside the rule stay 0
// and an empty class has jmax < jmin (jmax(0,0) = -1 when two section-0
// particles already reach the next node).
//
// Throws IndexError for any read outside x or write outside the tables (a
// negative index counts from the end) and ValueError when the two tables
// differ in shape or their extents exceed their storage. No allocation.
void compute_aggregation_classes(std::span<const double> x, std::int64_t isec,
                                 const AggregationClassTables& out);

}  // namespace velmora::pbe
