#include "study/boundary_selection.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/errors.hpp"

namespace velmora::study::boundary {

double straddle_score(double mean, double sd, double level) { return kBandQuantile * sd - std::abs(mean - level); }

double matern52_correlation(const Point& a, const Point& b, const std::vector<double>& length_scales) {
    double r2 = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        const double scale = k < length_scales.size() ? length_scales[k] : 1.0;
        const double d = (a[k] - b[k]) / scale;
        r2 += d * d;
    }
    const double s = std::sqrt(5.0 * r2);
    return (1.0 + s + 5.0 * r2 / 3.0) * std::exp(-s);
}

std::vector<std::size_t> select_batch(const Lattice& lattice, const SurrogateField& field, double level,
                                      const std::vector<Point>& observed, const std::vector<Point>& failed,
                                      std::size_t batch_size, double min_gap) {
    const std::size_t n = lattice.size();
    if (field.mean.size() != n || field.sd.size() != n)
        throw InvalidValue("the surrogate field does not match the lattice");
    std::vector<double> sd = field.sd;
    std::vector<Point> nodes;
    nodes.reserve(n);
    for (std::size_t i = 0; i < n; ++i) nodes.push_back(lattice.point(i));
    std::vector<bool> open(n, true);
    const auto close_off = [&](const Point& centre) {
        for (std::size_t i = 0; i < n; ++i)
            if (open[i] && scaled_distance(nodes[i], centre) < min_gap) open[i] = false;
    };
    for (const Point& p : observed) close_off(p);
    // Picks of one batch keep a wider distance from each other: once the sd
    // near the boundary has been spent, the score alone would put the next
    // pick right beside an earlier one.
    double shortest = 1.0;
    for (const double scale : field.length_scales) shortest = std::min(shortest, scale);
    const double batch_gap = std::max(min_gap, std::min(0.1, 0.5 * shortest));

    const auto spend_near = [&](const Point& centre) {
        for (std::size_t i = 0; i < n; ++i) {
            const double rho = matern52_correlation(nodes[i], centre, field.length_scales);
            sd[i] *= std::sqrt(std::max(0.0, 1.0 - rho * rho));
            if (open[i] && scaled_distance(nodes[i], centre) < batch_gap) open[i] = false;
        }
    };
    // A failed run told nothing about the wall number, but its neighbourhood
    // is not worth a run either: it is treated as a pick, so the search does
    // not creep along a region that fails.
    for (const Point& p : failed) spend_near(p);

    std::vector<std::size_t> batch;
    while (batch.size() < batch_size) {
        std::size_t best = n;
        double best_score = -std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < n; ++i) {
            if (!open[i] || !std::isfinite(field.mean[i])) continue;
            const double score = straddle_score(field.mean[i], sd[i], level);
            if (score > best_score) {
                best_score = score;
                best = i;
            }
        }
        if (best == n) break;
        batch.push_back(best);
        spend_near(nodes[best]);
    }
    return batch;
}

std::vector<double> mean_gradient(const Lattice& lattice, const std::vector<double>& mean, std::size_t node) {
    const std::size_t m = lattice.per_axis();
    std::vector<std::size_t> at = lattice.axis_indices(node);
    std::vector<double> gradient(lattice.dimension());
    for (std::size_t a = 0; a < lattice.dimension(); ++a) {
        const std::size_t i = at[a];
        const std::size_t lo = i == 0 ? 0 : i - 1, hi = i + 1 == m ? i : i + 1;
        at[a] = lo;
        const double below = mean[lattice.node(at)];
        at[a] = hi;
        const double above = mean[lattice.node(at)];
        at[a] = i;
        gradient[a] = (above - below) / (static_cast<double>(hi - lo) * lattice.spacing());
    }
    return gradient;
}

void widen_between_runs(const Lattice& lattice, SurrogateField& field, const std::vector<Point>& runs) {
    if (runs.empty()) return;
    for (std::size_t node = 0; node < lattice.size(); ++node) {
        const Point p = lattice.point(node);
        double nearest = std::numeric_limits<double>::infinity();
        for (const Point& q : runs) nearest = std::min(nearest, scaled_distance(p, q));
        double norm = 0.0;
        for (const double g : mean_gradient(lattice, field.mean, node)) norm += g * g;
        field.sd[node] = std::max(field.sd[node], nearest * std::sqrt(norm) / kBandQuantile);
    }
}

BandMeasure boundary_band(const Lattice& lattice, const SurrogateField& field, double level) {
    BandMeasure band;
    band.max_straddle = -std::numeric_limits<double>::infinity();
    const std::size_t m = lattice.per_axis();
    double sum = 0.0;
    for (std::size_t node = 0; node < lattice.size(); ++node) {
        band.max_straddle = std::max(band.max_straddle, straddle_score(field.mean[node], field.sd[node], level));
        const bool above = field.mean[node] >= level;
        std::vector<std::size_t> at = lattice.axis_indices(node);
        bool beside = false;
        for (std::size_t a = 0; a < lattice.dimension() && !beside; ++a) {
            const std::size_t i = at[a];
            for (const std::size_t j : {i == 0 ? i : i - 1, i + 1 == m ? i : i + 1}) {
                at[a] = j;
                if ((field.mean[lattice.node(at)] >= level) != above) beside = true;
            }
            at[a] = i;
        }
        if (!beside) continue;
        const std::vector<double> g = mean_gradient(lattice, field.mean, node);
        double norm = 0.0;
        for (const double x : g) norm += x * x;
        norm = std::sqrt(norm);
        const double half_width = norm > 0.0 ? kBandQuantile * field.sd[node] / norm
                                             : std::numeric_limits<double>::infinity();
        band.crossing = true;
        ++band.boundary_nodes;
        band.max_half_width = std::max(band.max_half_width, half_width);
        sum += half_width;
    }
    if (band.boundary_nodes > 0) band.mean_half_width = sum / static_cast<double>(band.boundary_nodes);
    return band;
}

}  // namespace velmora::study::boundary
