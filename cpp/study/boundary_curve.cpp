#include "study/boundary_curve.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <map>

#include "common/errors.hpp"

namespace velmora::study::boundary {

namespace {

// Edges of the lattice: horizontal edge (i, j)-(i+1, j) and vertical edge
// (i, j)-(i, j+1), numbered so that every crossing has one id.
struct EdgeNumbers {
    std::size_t m;
    std::size_t horizontal(std::size_t i, std::size_t j) const { return j * (m - 1) + i; }
    std::size_t vertical(std::size_t i, std::size_t j) const { return (m - 1) * m + i * (m - 1) + j; }
};

struct Crossing {
    CurvePoint point;
    std::array<std::size_t, 2> pieces{};  // the cell segments that meet here
    std::size_t count = 0;
};

}  // namespace

std::vector<CurvePoint> level_curve(const Lattice& lattice, const SurrogateField& field, double level) {
    if (lattice.dimension() != 2) throw InvalidValue("a boundary curve needs a plane (two study parameters)");
    const std::size_t m = lattice.per_axis();
    const EdgeNumbers edges{m};
    const auto at = [&](std::size_t i, std::size_t j) { return lattice.node({i, j}); };
    const auto value = [&](std::size_t i, std::size_t j) { return field.mean[at(i, j)] - level; };
    const auto inside = [&](double f) { return f >= 0.0; };
    const auto norm_of_gradient = [&](std::size_t node) {
        double sum = 0.0;
        for (const double g : mean_gradient(lattice, field.mean, node)) sum += g * g;
        return std::sqrt(sum);
    };

    // The crossing on an edge between nodes a and b, linearly interpolated.
    std::map<std::size_t, Crossing> crossings;
    const auto crossing = [&](std::size_t id, std::size_t ia, std::size_t ja, std::size_t ib, std::size_t jb) {
        auto found = crossings.find(id);
        if (found != crossings.end()) return id;
        const double fa = value(ia, ja), fb = value(ib, jb);
        const double t = fa == fb ? 0.5 : fa / (fa - fb);
        const std::size_t na = at(ia, ja), nb = at(ib, jb);
        Crossing c;
        c.point.u = lattice.coordinate(ia) + t * (lattice.coordinate(ib) - lattice.coordinate(ia));
        c.point.v = lattice.coordinate(ja) + t * (lattice.coordinate(jb) - lattice.coordinate(ja));
        c.point.sd = field.sd[na] + t * (field.sd[nb] - field.sd[na]);
        const double gradient = norm_of_gradient(na) + t * (norm_of_gradient(nb) - norm_of_gradient(na));
        c.point.half_width = gradient > 0.0 ? kBandQuantile * c.point.sd / gradient
                                            : std::numeric_limits<double>::infinity();
        crossings.emplace(id, c);
        return id;
    };

    // Segments of every cell, as pairs of edge ids.
    std::vector<std::array<std::size_t, 2>> segments;
    const auto add_segment = [&](std::size_t e1, std::size_t e2) {
        const std::size_t s = segments.size();
        segments.push_back({e1, e2});
        for (const std::size_t e : {e1, e2}) {
            Crossing& c = crossings.at(e);
            if (c.count < 2) c.pieces[c.count++] = s;
        }
    };
    for (std::size_t j = 0; j + 1 < m; ++j) {
        for (std::size_t i = 0; i + 1 < m; ++i) {
            const double fa = value(i, j), fb = value(i + 1, j), fc = value(i + 1, j + 1), fd = value(i, j + 1);
            const bool a = inside(fa), b = inside(fb), c = inside(fc), d = inside(fd);
            std::vector<std::size_t> cut;  // bottom, right, top, left, in this order
            if (a != b) cut.push_back(crossing(edges.horizontal(i, j), i, j, i + 1, j));
            if (b != c) cut.push_back(crossing(edges.vertical(i + 1, j), i + 1, j, i + 1, j + 1));
            if (d != c) cut.push_back(crossing(edges.horizontal(i, j + 1), i, j + 1, i + 1, j + 1));
            if (a != d) cut.push_back(crossing(edges.vertical(i, j), i, j, i, j + 1));
            if (cut.size() == 2) {
                add_segment(cut[0], cut[1]);
            } else if (cut.size() == 4) {
                // Saddle: a and c on one side, b and d on the other. When the
                // centre sides with a, a and c are joined through it and the
                // curve cuts off b (bottom-right) and d (top-left) corners.
                const bool centre = inside(0.25 * (fa + fb + fc + fd));
                if (centre == a) {
                    add_segment(cut[0], cut[1]);
                    add_segment(cut[2], cut[3]);
                } else {
                    add_segment(cut[0], cut[3]);
                    add_segment(cut[1], cut[2]);
                }
            }
        }
    }

    // Join the segments into pieces: first from every crossing that ends a
    // piece (on the rim), then around the closed loops that are left.
    std::vector<bool> used(segments.size(), false);
    std::vector<CurvePoint> curve;
    std::size_t piece = 0;
    const auto walk = [&](std::size_t start_edge, std::size_t first_segment) {
        std::size_t edge = start_edge, s = first_segment;
        CurvePoint p = crossings.at(edge).point;
        p.segment = piece;
        curve.push_back(p);
        while (s != segments.size() && !used[s]) {
            used[s] = true;
            edge = segments[s][0] == edge ? segments[s][1] : segments[s][0];
            const Crossing& c = crossings.at(edge);
            p = c.point;
            p.segment = piece;
            curve.push_back(p);  // a closed loop ends on its first point again
            if (edge == start_edge) break;
            std::size_t next = segments.size();
            for (std::size_t k = 0; k < c.count; ++k)
                if (!used[c.pieces[k]]) next = c.pieces[k];
            s = next;
        }
        ++piece;
    };
    for (const auto& [id, c] : crossings)
        if (c.count == 1 && !used[c.pieces[0]]) walk(id, c.pieces[0]);
    for (const auto& [id, c] : crossings)
        for (std::size_t k = 0; k < c.count; ++k)
            if (!used[c.pieces[k]]) walk(id, c.pieces[k]);
    return curve;
}

}  // namespace velmora::study::boundary
