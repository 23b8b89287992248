#include "study/boundary_outcome.hpp"

#include <cmath>

#include "study/boundary_curve.hpp"

namespace velmora::study::boundary {

namespace {

JsonValue numbers(const std::vector<double>& values) {
    JsonValue::Array array;
    for (const double value : values) array.push_back({value});
    return {std::move(array)};
}

// Values in lattice node order (first axis fastest) as nested arrays of
// per_axis entries each: the C layout of an array of shape (per_axis, ...),
// in which the first lattice axis is the last index.
JsonValue lattice_field(const std::vector<double>& values, const Lattice& lattice, std::size_t depth = 0,
                        std::size_t prefix = 0) {
    if (depth == lattice.dimension()) return {values.at(prefix)};
    JsonValue::Array array;
    for (std::size_t k = 0; k < lattice.per_axis(); ++k)
        array.push_back(lattice_field(values, lattice, depth + 1, prefix * lattice.per_axis() + k));
    return {std::move(array)};
}

}  // namespace

std::vector<CurvePoint> fitted_level_curve(const SearchOutcome& outcome, const SearchSettings& settings) {
    if (!outcome.fitted || settings.dimension != 2) return {};
    return level_curve(outcome.lattice, outcome.field, settings.level);
}

JsonValue search_document(const SearchOutcome& outcome, const SearchSettings& settings, const std::string& kernel,
                          const std::vector<CurvePoint>& curve_points) {
    JsonValue::Array points, rounds;
    std::vector<double> wall_numbers, axis;
    for (const auto& o : outcome.observations) {
        points.push_back(numbers(o.run.x));
        wall_numbers.push_back(o.value ? std::exp(*o.value) : std::nan(""));
        rounds.push_back({static_cast<long long>(o.run.round)});
    }
    for (std::size_t i = 0; i < outcome.lattice.per_axis(); ++i) axis.push_back(outcome.lattice.coordinate(i));
    JsonValue::Object document{{"points", {std::move(points)}},
                               {"wall_numbers", numbers(wall_numbers)},
                               {"rounds", {std::move(rounds)}},
                               {"stop", {stop_reason_text(outcome, settings)}},
                               {"fitted", {outcome.fitted}},
                               {"crossing", {outcome.band.crossing}},
                               {"band_max", {outcome.band.max_half_width}},
                               {"band_mean", {outcome.band.mean_half_width}},
                               {"axis", numbers(axis)}};
    if (outcome.fitted) {
        document.emplace_back("mean", lattice_field(outcome.field.mean, outcome.lattice));
        document.emplace_back("sd", lattice_field(outcome.field.sd, outcome.lattice));
        document.emplace_back("length_scales", numbers(outcome.field.length_scales));
        document.emplace_back("noise_sd", JsonValue{outcome.field.noise_sd});
        document.emplace_back("unresolved", JsonValue{outcome.field.unresolved});
        document.emplace_back("kernel", JsonValue{kernel});
    }
    JsonValue::Array curve;
    for (const auto& p : curve_points)
        curve.push_back({JsonValue::Object{{"u", {p.u}},
                                           {"v", {p.v}},
                                           {"segment", {static_cast<long long>(p.segment)}},
                                           {"sd", {p.sd}},
                                           {"band_half_width", {p.half_width}}}});
    document.emplace_back("curve", JsonValue{std::move(curve)});
    return {std::move(document)};
}

JsonValue curve_table(const std::vector<CurveRow>& rows, const std::vector<std::string>& columns) {
    JsonValue::Array table;
    for (const auto& row : rows)
        table.push_back({JsonValue::Object{{columns.at(0), {row.y}},
                                           {columns.at(1), {row.x}},
                                           {columns.at(2), {static_cast<long long>(row.segment)}},
                                           {columns.at(3), {row.wall_low}},
                                           {columns.at(4), {row.wall_high}},
                                           {columns.at(5), {row.half_width}}}});
    return {std::move(table)};
}

}  // namespace velmora::study::boundary
