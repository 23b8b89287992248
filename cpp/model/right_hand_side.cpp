// Right-hand side of the population balance as the integrator sees it: the
// gas state at the current position, the carrier-flow correction, the
// collision matrix, the aggregation classes and the derivatives. The kernels
// themselves live in pbe/; this file prepares their inputs from the model and
// stores their results back, reusing the model's buffers between calls.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <utility>

#include "common/errors.hpp"
#include "common/interrupt.hpp"
#include "model/moving_sectional_model.hpp"
#include "pbe/aggregation_classes.hpp"
#include "pbe/checked_index.hpp"

namespace velmora::model {

namespace {

// Molar heat capacity of the carrier gas, cp(T) = a + b T + c T^2 + d T^3,
// integrated from the reference temperature to `temperature` (per unit mass).
double heat_capacity_integral(double temperature, double reference, double molar_mass) {
    const double cpa = 30.51265 / molar_mass * 1000;
    const double cpb = -0.0107210728 / molar_mass * 1000;
    const double cpc = 2.48386e-05 / molar_mass * 1000;
    const double cpd = -1.14637e-08 / molar_mass * 1000;
    return cpa * (temperature - reference) + cpb / 2.0 * (std::pow(temperature, 2) - std::pow(reference, 2)) +
           cpc / 3.0 * (std::pow(temperature, 3) - std::pow(reference, 3)) +
           cpd / 4.0 * (std::pow(temperature, 4) - std::pow(reference, 4));
}

// Resizes without giving back capacity: after the first call no allocation.
void fit(std::vector<double>& buffer, std::size_t size) { buffer.resize(size); }

}  // namespace

// ---------------------------------------------------------------- aggregation classes

void MovingSectionalModel::initialize_aggregation_classes() {
    const std::size_t rows = n();
    const std::size_t cols = n() + 1;
    if (jmin.size() != rows * cols || jmax.size() != rows * cols)
        throw InvalidValue("jmin and jmax must be intnum x (intnum + 1) tables");
    // Host indexing rules: a negative index counts from the end, anything
    // outside raises IndexError.
    auto xs = [&](long i) { return x[pbe::wrap_index(i, x.size())]; };
    auto set = [&](std::vector<std::int64_t>& table, long i, long k, long value) {
        table[pbe::wrap_index(i, rows, 0) * cols + pbe::wrap_index(k, cols, 1)] = value;
    };

    // Two section-0 particles stay in section 0 only while their sum is below the next node.
    if (xs(1) >= xs(0) + xs(0)) {
        set(jmin, 0, 0, 0);
        set(jmax, 0, 0, 0);
    } else {
        set(jmin, 0, 0, 0);
        set(jmax, 0, 0, -1);
    }
    // Inner sections: partners j of k whose sum lies between the neighbouring nodes.
    for (long i = 1; i <= isec - 2; ++i) {
        for (long k = 0; k < i; ++k) {
            long j = k;
            while (xs(i - 1) > xs(j) + xs(k)) ++j;
            set(jmin, i, k, j);
            j = i;
            while (xs(j) + xs(k) > xs(i + 1) && j >= k) --j;
            set(jmax, i, k, j);
        }
    }
    // The top section takes everything from the second-highest node up.
    for (long k = 0; k < isec; ++k) {
        long j = k;
        while (xs(isec - 2) > xs(j) + xs(k)) ++j;
        set(jmin, isec - 1, k, j);
        set(jmax, isec - 1, k, isec - 1);
    }
}

void MovingSectionalModel::recalculate_aggregation_classes() {
    const auto rows = static_cast<std::int64_t>(n());
    jmin.resize(n() * (n() + 1));
    jmax.resize(n() * (n() + 1));
    const pbe::AggregationClassTables tables{pbe::MatrixView<std::int64_t>(jmin, rows, rows + 1),
                                             pbe::MatrixView<std::int64_t>(jmax, rows, rows + 1)};
    pbe::compute_aggregation_classes(x, isec, tables);
}

// ---------------------------------------------------------------- collision kernel

void MovingSectionalModel::calculate_beta_matrix() {
    const std::size_t sections = n();
    for (auto* array : {&x1, &xdp, &xnpr, &xkn1}) array->assign(sections, 0.0);
    // Carried diameters start as zeros the first time they are needed.
    if (xdp_backup.empty()) xdp_backup.assign(sections, 0.0);
    if (x1_previous.empty()) x1_previous.assign(sections, 0.0);
    if (xdp_updated.empty()) xdp_updated.assign(sections, 0.0);

    auto& s = beta_scratch_;
    fit(s.y, y.size());
    fit(s.xdp_backup, xdp_backup.size());
    for (auto* array : {&s.x, &s.xdp, &s.xnpr, &s.x1, &s.xkn1, &s.xdf}) fit(*array, sections);
    fit(s.betafu, sections * sections);

    pbe::BetaInputs in;
    in.y = y;
    in.initial_v = initial_v;
    in.x1_previous = x1_previous;
    in.xdp_updated = xdp_updated;
    in.xdp_backup = xdp_backup;
    in.isec = isec;
    in.intnum = intnum;
    in.int2num = int2num;
    in.counter = counter;
    in.temp = temp;
    in.eta = eta;
    in.xlm = xlm;
    in.rhop = rhop;
    in.vpi = vpi;
    in.rkb = rkb;
    in.collision_diameter_update = collision_diameter_update;

    pbe::BetaOutputs out;
    out.y = s.y;
    out.x = s.x;
    out.xdp = s.xdp;
    out.xdp_backup = s.xdp_backup;
    out.xnpr = s.xnpr;
    out.x1 = s.x1;
    out.xkn1 = s.xkn1;
    out.xdf = s.xdf;
    const auto extent = static_cast<std::int64_t>(sections);
    out.betafu = pbe::MatrixView<double>(s.betafu, extent, extent);
    pbe::compute_beta_matrix(in, out, beta_work_);

    // Success: the results become the attributes, the old storage the next scratch.
    y.swap(s.y);
    x.swap(s.x);
    xdp.swap(s.xdp);
    xdp_backup.swap(s.xdp_backup);
    xnpr.swap(s.xnpr);
    // At least one primary particle everywhere, also in the empty sections.
    for (double& count : xnpr)
        if (count < 1) count = 1;
    initial_fractal_dimension = out.last_fractal_dimension;
    x1.swap(s.x1);
    xkn1.swap(s.xkn1);
    betafu.swap(s.betafu);
    xdf.swap(s.xdf);
}

// ---------------------------------------------------------------- derivatives

void MovingSectionalModel::fcn(double t, std::span<const double> yy) {
    const std::size_t state_size = 4 * n() + 1;
    if (yy.size() != state_size)
        throw InvalidValue("fcn: the state vector must hold 4 * intnum + 1 = " + std::to_string(state_size) +
                         " values, got " + std::to_string(yy.size()));
    // Working copy of the integrator's state (the integrator's vector is never written).
    if (yy.data() != y.data()) {
        y.resize(state_size);
        std::copy(yy.begin(), yy.end(), y.begin());
    }
    yp.assign(state_size, 0.0);

    temp_vel(t);
    // Precursor consumption is switched off: both rate constants negligible.
    xk = 1e-35;
    xks = 1e-35;
    props();

    const double conc = y[static_cast<std::size_t>(int4num)];
    if (isec > intnum) throw InvalidValue("isec > intnum");

    // Carrier mass flow corrected for the heat taken up by the gas between
    // the reference temperature and the local one, floored at the set flow.
    const double flow_floor = xmgases / 60 / 1000;
    if (conc * 100 > 0.3) {
        const double cp_integral_initial = heat_capacity_integral(tempjo, min_temp, xmwg);
        const double cp_integral_current = heat_capacity_integral(temp, min_temp, xmwg);
        xmjet = checked_div(xmjeto * cp_integral_initial, cp_integral_current);
        if (xmjet < flow_floor) xmjet = flow_floor;
    } else {
        xmjet = flow_floor;
    }

    calculate_beta_matrix();
    recalculate_aggregation_classes();
    calculate_derivatives(t);
}

void MovingSectionalModel::calculate_derivatives(double /*t*/) {
    const auto ny = static_cast<std::int64_t>(y.size());
    if (int4num < 0 || int4num >= ny) pbe::throw_out_of_bounds(int4num, ny);
    const double conc = y[static_cast<std::size_t>(int4num)];

    // Total surface area of the sections in use (a slice: clipped to the state).
    double area = 0.0;
    const std::int64_t area_end = std::min<std::int64_t>(int2num + std::max<long>(isec, 0), ny);
    for (std::int64_t i = int2num; i < area_end; ++i) area += y[static_cast<std::size_t>(i)];
    const double xks_area_rhog = xks * area * rhog;

    const std::size_t sections = n();
    const auto extent = static_cast<std::int64_t>(sections);
    auto& s = derivative_scratch_;
    fit(s.yp, y.size());
    fit(s.ts, sections);

    pbe::DerivativeInputs in;
    in.y = y;
    in.x = x;
    in.xdp = xdp;
    in.xnpr = xnpr;
    in.betafu = pbe::MatrixView<const double>(betafu, extent, extent);
    in.jmin = pbe::MatrixView<const std::int64_t>(jmin, extent, extent + 1);
    in.jmax = pbe::MatrixView<const std::int64_t>(jmax, extent, extent + 1);
    in.temp = temp;
    in.vel = vel;
    in.rhog = rhog;
    in.avog = avog;
    in.v0 = v0;
    in.a0 = a0;
    in.vpi = vpi;
    in.xk = xk;
    in.xks_area_rhog = xks_area_rhog;
    in.total_area = area;
    in.isec = isec;
    in.intnum = intnum;
    in.int2num = int2num;
    in.int3num = int3num;
    in.int4num = int4num;

    pbe::DerivativeOutputs out;
    out.yp = s.yp;
    out.ts = s.ts;
    pbe::compute_derivatives(in, out, derivative_work_);

    yp.swap(s.yp);
    ts.swap(s.ts);
    xkg = out.xkg_local;
    xks = out.xks_local;
    // Nucleation diagnostics of section 0.
    dyn = avog * conc * xkg / vel;
    dynx = y[0] > 0 ? dyn * (v0 - y[static_cast<std::size_t>(intnum)]) / y[0] : 0.0;
}

double MovingSectionalModel::seconds_per_fcn(double t, std::span<const double> yy, long repeats) {
    // A mean over thousands of calls is already steady (the fcn benchmark takes
    // 2000); ten million calls of a 40-section model take hours.
    constexpr long kMostRepeats = 10000000;
    if (repeats < 1 || repeats > kMostRepeats)
        throw InvalidValue("repeats must be between 1 and " + std::to_string(kMostRepeats) + ", got " +
                           std::to_string(repeats));
    const auto start = std::chrono::steady_clock::now();
    for (long r = 0; r < repeats; ++r) {
        fcn(t, yy);
        if (r % 64 == 63) poll_interrupt();  // a huge repeat count must stay stoppable (Ctrl-C)
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / static_cast<double>(repeats);
}

}  // namespace velmora::model
