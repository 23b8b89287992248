// Where a boundary search starts and how it addresses the plane: points in
// the unit cube (every study parameter scaled by its range), the regular
// lattice the surrogate is evaluated on, and the seeded space-filling design
// of the first round.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::study::boundary {

// A point in scaled coordinates: one value in [0, 1] per study parameter.
using Point = std::vector<double>;

// Uniform random numbers that are the same on every platform for a seed
// (std::uniform_real_distribution is not: its algorithm is left to the library).
class SeededUniform {
public:
    explicit SeededUniform(std::uint64_t seed) : state_(seed) {}
    double next();  // in [0, 1)
    std::size_t below(std::size_t count);  // in [0, count)

private:
    std::uint64_t state_;
};

// Runs of the first round for a budget: about a third of it, at least
// dimension + 2 (a surrogate needs points on every side) and at most the budget.
std::size_t start_design_size(std::size_t budget, std::size_t dimension);

// A maximin Latin hypercube: of `tries` seeded Latin hypercubes of `count`
// points, the one whose closest pair lies farthest apart. Every axis is cut
// into `count` equal strata holding one point each, so the first round covers
// the range of every parameter evenly.
std::vector<Point> space_filling_design(std::size_t count, std::size_t dimension, std::uint64_t seed,
                                        std::size_t tries = 64);

// The regular lattice of `per_axis` nodes per axis (ends included) on which
// the surrogate is evaluated. Node index = sum of axis index * per_axis^axis,
// so the first axis varies fastest.
class Lattice {
public:
    Lattice(std::size_t dimension, std::size_t per_axis);
    std::size_t dimension() const { return dimension_; }
    std::size_t per_axis() const { return per_axis_; }
    std::size_t size() const { return size_; }
    double spacing() const { return 1.0 / static_cast<double>(per_axis_ - 1); }
    double coordinate(std::size_t axis_index) const { return static_cast<double>(axis_index) * spacing(); }
    std::vector<std::size_t> axis_indices(std::size_t node) const;
    std::size_t node(const std::vector<std::size_t>& axis_indices) const;
    Point point(std::size_t node) const;
    // All nodes as rows of a dimension-wide table (row-major), for the surrogate.
    std::vector<double> table() const;

private:
    std::size_t dimension_, per_axis_, size_;
};

// Nodes per axis for a search in `dimension` parameters: 101 in a plane (1 %
// of the span), fewer in more dimensions so the lattice stays near 10^5 nodes.
std::size_t default_lattice_resolution(std::size_t dimension);

double scaled_distance(const Point& a, const Point& b);

}  // namespace velmora::study::boundary
