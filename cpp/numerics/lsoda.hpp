// Stiff/non-stiff ODE integrator with automatic method switching (LSODA):
// Adams-Moulton orders 1-12 while the problem is non-stiff, BDF orders 1-5 with
// a Newton iteration once stiffness is detected, and back.
#pragma once
#include <algorithm>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace velmora::numerics {

// dy/dt = f(t, y). Writes dydt (same size as y). Must not keep the spans.
using OdeRhs = std::function<void(double t, std::span<const double> y, std::span<double> dydt)>;
// Jacobian d f_i / d y_j written row-major into jac (n*n entries).
using OdeJacobian = std::function<void(double t, std::span<const double> y, std::span<double> jac)>;

// Norm of the weighted local error (error_i / (atol_i + rtol*|y_i|)) in the
// error test. LSODA, and so scipy's solve_ivp(method="LSODA"), uses the max-norm;
// the RMS norm is the looser choice of most other codes.
enum class OdeErrorNorm { max, rms };

struct OdeOptions {
    double rtol = 1e-3;
    double atol = 1e-6;               // used when atol_vector is empty
    std::vector<double> atol_vector;  // per-component absolute tolerance
    double first_step = 0.0;          // 0: chosen by the integrator
    double max_step = std::numeric_limits<double>::infinity();
    double min_step = 0.0;
    long max_steps = 500000;          // accepted + rejected steps before giving up
    OdeJacobian jacobian;             // empty: dense finite differences
    bool keep_steps = true;           // false: only t0 and t_end are recorded
    OdeErrorNorm error_norm = OdeErrorNorm::max;
};

struct OdeResult {
    std::vector<double> t;   // accepted step times: t.front() == t0, t.back() == t_end on success
    std::vector<double> y;   // states, one row of n values per entry of t (row-major, len(t) x n)
    std::size_t n = 0;       // number of components
    bool success = false;
    int status = -1;         // 0 reached t_end, -1 failure (scipy's convention)
    std::string message;
    long nfev = 0, njev = 0, nlu = 0;
    long steps_below_roundoff = 0;  // steps too small to change t (taken anyway, as LSODA does)

    std::span<const double> state(std::size_t k) const { return {y.data() + k * n, n}; }
    std::span<const double> final_state() const { return state(t.size() - 1); }
    // Times with a stored state (all of them in a consistent record).
    std::size_t stored_times() const { return n == 0 ? t.size() : std::min(t.size(), y.size() / n); }
};

// Integrates from t0 to t_end (t_end may be below t0). Never throws for
// numerical trouble: failures come back as success == false with a message.
// Exceptions thrown by rhs or jacobian propagate unchanged.
OdeResult solve_ivp_lsoda(const OdeRhs& rhs, double t0, double t_end, std::span<const double> y0,
                          const OdeOptions& options = {});

}  // namespace velmora::numerics
