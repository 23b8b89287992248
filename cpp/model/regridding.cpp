// Moving-section regrid: a new smallest section of fresh nuclei is opened at
// the monomer volume, every live section moves up by one, and sections whose
// neighbours have drifted too close together are merged into those neighbours
// by the lever rule on node volume. Number, area, volume and carbon carried by
// the existing sections are conserved; the fresh nuclei add their own share.
#include <cmath>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "model/moving_sectional_model.hpp"

namespace velmora::model {

namespace {

constexpr double kNumberFloor = 1e-15;   // smallest number kept in a live section
constexpr double kEmptyFloor = 1e-35;    // fill of empty sections and of any tiny entry

}  // namespace

void MovingSectionalModel::regrid(std::vector<double>& state) {
    if (regrid_condition != "Moving") return;

    const std::size_t nsec = n();
    const std::size_t width = 4 * nsec + 1;
    if (state.size() != width)
        throw InvalidValue("regrid: the state must hold 4*intnum+1 = " + std::to_string(width) + " values, got " +
                         std::to_string(state.size()));
    if (y.size() != width || x.size() != nsec)
        throw InvalidValue("regrid: the model's y/x do not match intnum = " + std::to_string(intnum));
    // The shift writes section isec, so one free section must remain above the live ones.
    if (isec < 0 || isec > intnum - 1)
        throw OutOfRange("regrid: isec = " + std::to_string(isec) + " must lie in 0.." + std::to_string(intnum - 1) +
                         " (the shifted grid needs isec + 1 <= intnum sections)");

    const std::size_t o1 = nsec, o2 = 2 * nsec, o3 = 3 * nsec, o4 = 4 * nsec;
    const std::size_t live = static_cast<std::size_t>(isec);

    // Everything is built from `state` before `y` is touched, so `state` may alias `y`.
    std::vector<double> ynew(width, 0.0);
    std::vector<double> xnew(nsec, 0.0);
    ynew[o4] = state[o4];

    // Fresh nuclei at the monomer size; their carbon sits in carbon section 0.
    xnew[0] = v0;
    ynew[0] = initial_N;
    ynew[o1] = xnew[0];
    ynew[o2] = ynew[0] * a0;
    ynew[o3] = ynew[0] * carbon_atoms_per_particle_initial;

    for (std::size_t i = 1; i <= live; ++i) {
        xnew[i] = state[o1 + i - 1];
        ynew[i] = state[i - 1];
        ynew[o1 + i] = xnew[i];
        ynew[o2 + i] = state[o2 + i - 1];
        ynew[o3 + i] = state[o3 + i - 1];
    }

    // Elimination: a section whose neighbours lie closer than scrit in volume is
    // split between them. The index advances after a merge too, so the section
    // shifted into place is only tested on the next pass.
    long sections = isec + 1;
    const double scrit = std::pow(bin_spacing, elimination_spacing);
    for (long ii = 1; ii < sections - 2; ++ii) {
        const auto i = static_cast<std::size_t>(ii);
        if (!(xnew[i + 1] / xnew[i - 1] < scrit)) continue;
        print_line("regrid_warning!!");
        const double span = xnew[i + 1] - xnew[i - 1];
        const double addlow = (xnew[i + 1] - xnew[i]) / span;
        const double addup = (xnew[i] - xnew[i - 1]) / span;
        for (std::size_t block : {std::size_t{0}, o2, o3}) {
            ynew[block + i - 1] += addlow * ynew[block + i];
            ynew[block + i + 1] += addup * ynew[block + i];
            ynew[block + i] = 0.0;
        }
        for (std::size_t j = i; j + 2 <= static_cast<std::size_t>(sections); ++j) {
            ynew[j] = ynew[j + 1];
            ynew[o1 + j] = ynew[o1 + j + 1];
            xnew[j] = ynew[o1 + j];
            ynew[o2 + j] = ynew[o2 + j + 1];
            ynew[o3 + j] = ynew[o3 + j + 1];
        }
        --sections;
    }

    const auto kept = static_cast<std::size_t>(sections);
    for (std::size_t i = 0; i < kept; ++i) {
        y[i] = ynew[i] < kNumberFloor ? kNumberFloor : ynew[i];
        y[o1 + i] = xnew[i];
        x[i] = xnew[i];
        // An area below one monomer's is not trusted: a nominal trace replaces it.
        y[o2 + i] = ynew[o2 + i] < a0 ? kNumberFloor * y[i] * a0 : ynew[o2 + i];
        y[o3 + i] = ynew[o3 + i];
    }
    y[o4] = ynew[o4];
    y[o3] = ynew[o3];

    for (std::size_t i = kept; i < nsec; ++i) {
        x[i] = kEmptyFloor;
        y[o1 + i] = x[i];
        y[i] = kEmptyFloor;
        y[o2 + i] = kEmptyFloor * y[i] * a0;
        y[o3 + i] = 0.0;
    }
    for (double& entry : y)
        if (entry >= 0.0 && entry < kEmptyFloor) entry = kEmptyFloor;

    if (&state != &y) state = y;
}

}  // namespace velmora::model
