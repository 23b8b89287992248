// Where the next runs of a boundary search go, and how sure the search is of
// the boundary it has.
//
// The surrogate gives, at every lattice node, a mean and a standard deviation
// of log(wall number). The boundary is the level set mean = log(threshold).
// A node is worth a run where that level set may pass through it: the
// straddle score of Bryan et al. (2005, "Active learning for identifying
// function threshold boundaries", NIPS 18), 1.96 sd - |mean - level|, is
// positive exactly where the level lies inside the node's 95 % interval and
// largest where it is both close and uncertain. Plain variance would spend
// runs far from the boundary.
#pragma once
#include <cstddef>
#include <vector>

#include "study/boundary_design.hpp"

namespace velmora::study::boundary {

// z of a two-sided 95 % interval: the half-width of every band reported.
inline constexpr double kBandQuantile = 1.96;

// The surrogate evaluated on the lattice nodes.
struct SurrogateField {
    std::vector<double> mean;           // of log(wall number)
    std::vector<double> sd;             // of the smooth underlying function (noise excluded)
    std::vector<double> length_scales;  // fitted correlation lengths, scaled units, one per axis
    double noise_sd = 0.0;              // fitted scatter of single runs about the smooth function
    bool unresolved = false;            // the field changes faster than the runs resolve (a jump?)
};

double straddle_score(double mean, double sd, double level);

// Correlation of the Matern 5/2 kernel with per-axis length scales.
double matern52_correlation(const Point& a, const Point& b, const std::vector<double>& length_scales);

// A batch of `batch_size` lattice nodes to run next (fewer when no node is
// left). Greedy: the node of highest straddle score is taken, then every
// node's sd is reduced as if that node had been run (sd * sqrt(1 - rho^2),
// rho the kernel correlation to it), so the next pick lies elsewhere along
// the boundary instead of beside the first. Nodes closer than `min_gap` to a
// run are never taken, nor nodes closer to a pick of the same batch than half
// the shortest correlation length (at most 0.1, at least min_gap). Ties go to
// the lower node index. Failed runs (`failed`, also among `observed`) count
// as picks: they reduce the sd and close off their surroundings alike.
std::vector<std::size_t> select_batch(const Lattice& lattice, const SurrogateField& field, double level,
                                      const std::vector<Point>& observed, const std::vector<Point>& failed,
                                      std::size_t batch_size, double min_gap);

// Gradient of the mean at a node (central differences, one-sided on the rim).
std::vector<double> mean_gradient(const Lattice& lattice, const std::vector<double>& mean, std::size_t node);

// Where the field changes faster than the runs resolve (a jump the smooth
// fit follows as a steep ramp), the ramp's own sd says nothing about where
// between two runs the jump lies. There the sd at a node is raised so that
// the band reaches at least to the nearest run: sd >= d * |grad mean| / 1.96,
// d the distance to the nearest usable run.
void widen_between_runs(const Lattice& lattice, SurrogateField& field, const std::vector<Point>& runs);

// How well the boundary is pinned down. At a node beside the level set the
// boundary's position is uncertain by about sd / |grad mean| normal to it;
// the band half-width is 1.96 times that (scaled units, 1 = the span).
struct BandMeasure {
    bool crossing = false;            // the mean crosses the level inside the lattice
    std::size_t boundary_nodes = 0;   // nodes with a neighbour on the other side
    double max_half_width = 0.0;
    double mean_half_width = 0.0;
    double max_straddle = 0.0;        // below 0: no node could still be on the boundary
};
BandMeasure boundary_band(const Lattice& lattice, const SurrogateField& field, double level);

}  // namespace velmora::study::boundary
