// What a boundary search hands back to its caller, as plain values: the runs
// with their wall numbers and rounds, why it stopped, the surrogate's last
// fit on the lattice, the band and, for two parameters, the curve; and the
// boundary table of a study.
#pragma once
#include <string>
#include <vector>

#include "study/boundary_curve.hpp"
#include "study/boundary_files.hpp"
#include "study/boundary_search.hpp"
#include "study/checkpoint.hpp"

namespace velmora::study::boundary {

// An object with: points (one row per run, scaled coordinates), wall_numbers
// (exp of each run's value, NaN for a failed run), rounds, stop, fitted,
// crossing, band_max, band_mean, axis (the lattice coordinates); when a
// surrogate was fitted also mean and sd of log(wall number) on the lattice
// (nested per axis, the first lattice axis last), length_scales, noise_sd,
// unresolved and kernel; and curve: the points (u, v, segment, sd,
// band_half_width) of `curve`, the search's level curve (fitted_level_curve).
JsonValue search_document(const SearchOutcome& outcome, const SearchSettings& settings, const std::string& kernel,
                          const std::vector<CurvePoint>& curve);

// The level curve of the last fit, for two parameters; empty without a fit or
// for another number of parameters.
std::vector<CurvePoint> fitted_level_curve(const SearchOutcome& outcome, const SearchSettings& settings);

// The members of search_document that are tables of numbers, for hosts that
// keep those as arrays.
inline constexpr const char* kSearchArrayKeys[] = {"points", "wall_numbers", "axis", "mean", "sd", "length_scales"};

// The boundary table: one object per row, keyed by `columns` (curve_columns).
JsonValue curve_table(const std::vector<CurveRow>& rows, const std::vector<std::string>& columns);

}  // namespace velmora::study::boundary
