#include "study/boundary_design.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "common/errors.hpp"

namespace velmora::study::boundary {

double SeededUniform::next() {
    // splitmix64: a full-period generator whose output is fixed by the seed alone.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

std::size_t SeededUniform::below(std::size_t count) {
    return std::min(count - 1, static_cast<std::size_t>(next() * static_cast<double>(count)));
}

std::size_t start_design_size(std::size_t budget, std::size_t dimension) {
    const std::size_t third = (budget + 1) / 3;
    return std::min(budget, std::max(third, dimension + 2));
}

namespace {

std::vector<Point> latin_hypercube(std::size_t count, std::size_t dimension, SeededUniform& random) {
    std::vector<Point> points(count, Point(dimension));
    std::vector<std::size_t> strata(count);
    for (std::size_t axis = 0; axis < dimension; ++axis) {
        std::iota(strata.begin(), strata.end(), std::size_t{0});
        for (std::size_t k = count; k > 1; --k) std::swap(strata[k - 1], strata[random.below(k)]);  // Fisher-Yates
        for (std::size_t k = 0; k < count; ++k)
            points[k][axis] = (static_cast<double>(strata[k]) + random.next()) / static_cast<double>(count);
    }
    return points;
}

double closest_pair(const std::vector<Point>& points) {
    double closest = std::numeric_limits<double>::infinity();
    for (std::size_t a = 0; a < points.size(); ++a)
        for (std::size_t b = a + 1; b < points.size(); ++b) closest = std::min(closest, scaled_distance(points[a], points[b]));
    return closest;
}

}  // namespace

std::vector<Point> space_filling_design(std::size_t count, std::size_t dimension, std::uint64_t seed,
                                        std::size_t tries) {
    if (dimension == 0) throw InvalidValue("a design needs at least one dimension");
    SeededUniform random(seed);
    std::vector<Point> best;
    double best_gap = -1.0;
    for (std::size_t t = 0; t < std::max<std::size_t>(tries, 1); ++t) {
        std::vector<Point> candidate = latin_hypercube(count, dimension, random);
        const double gap = count < 2 ? 0.0 : closest_pair(candidate);
        if (gap > best_gap) {
            best_gap = gap;
            best = std::move(candidate);
        }
    }
    return best;
}

Lattice::Lattice(std::size_t dimension, std::size_t per_axis) : dimension_(dimension), per_axis_(per_axis), size_(1) {
    if (dimension == 0) throw InvalidValue("a lattice needs at least one dimension");
    if (per_axis < 3) throw InvalidValue("a lattice needs at least 3 nodes per axis");
    for (std::size_t a = 0; a < dimension; ++a) {
        if (size_ > 50'000'000 / per_axis) throw InvalidValue("the surrogate lattice would exceed 5e7 nodes");
        size_ *= per_axis;
    }
}

std::vector<std::size_t> Lattice::axis_indices(std::size_t node) const {
    std::vector<std::size_t> indices(dimension_);
    for (std::size_t a = 0; a < dimension_; ++a) {
        indices[a] = node % per_axis_;
        node /= per_axis_;
    }
    return indices;
}

std::size_t Lattice::node(const std::vector<std::size_t>& axis_indices) const {
    std::size_t index = 0, stride = 1;
    for (std::size_t a = 0; a < dimension_; ++a) {
        index += axis_indices[a] * stride;
        stride *= per_axis_;
    }
    return index;
}

Point Lattice::point(std::size_t node) const {
    Point p(dimension_);
    for (std::size_t a = 0; a < dimension_; ++a) {
        p[a] = coordinate(node % per_axis_);
        node /= per_axis_;
    }
    return p;
}

std::vector<double> Lattice::table() const {
    std::vector<double> rows;
    rows.reserve(size_ * dimension_);
    for (std::size_t n = 0; n < size_; ++n) {
        const Point p = point(n);
        rows.insert(rows.end(), p.begin(), p.end());
    }
    return rows;
}

std::size_t default_lattice_resolution(std::size_t dimension) {
    if (dimension <= 2) return 101;
    const double per_axis = std::floor(std::pow(1.0e5, 1.0 / static_cast<double>(dimension)));
    return std::max<std::size_t>(5, static_cast<std::size_t>(per_axis));
}

double scaled_distance(const Point& a, const Point& b) {
    double sum = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k) sum += (a[k] - b[k]) * (a[k] - b[k]);
    return std::sqrt(sum);
}

}  // namespace velmora::study::boundary
