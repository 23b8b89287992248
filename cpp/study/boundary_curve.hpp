// The boundary of a plane as curves: the level set of the surrogate's mean
// on the lattice, traced cell by cell (marching squares) and joined into
// polylines ordered along the curve. A boundary may come in pieces (a
// segment each); a piece ends where it meets the rim of the plane or closes
// on itself.
#pragma once
#include <cstddef>
#include <vector>

#include "study/boundary_design.hpp"
#include "study/boundary_selection.hpp"

namespace velmora::study::boundary {

struct CurvePoint {
    double u = 0.0, v = 0.0;   // scaled coordinates: first and second lattice axis
    std::size_t segment = 0;   // 0, 1, ... per piece
    double sd = 0.0;           // surrogate sd of log(wall number) there
    double half_width = 0.0;   // 1.96 sd / |grad mean|: 95 % band normal to the curve, scaled units
};

// The curves of mean = level on a two-dimensional lattice (ValueError for
// another dimension). A cell whose four corners alternate (a saddle) is split
// by the value at its centre. Pieces are listed from the rim inward: first
// those that start on the rim (by the position of their first crossing),
// then closed loops.
std::vector<CurvePoint> level_curve(const Lattice& lattice, const SurrogateField& field, double level);

}  // namespace velmora::study::boundary
