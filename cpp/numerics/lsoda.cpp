// Variable-order, variable-step integrator in Nordsieck form with automatic
// switching between Adams-Moulton (non-stiff, functional iteration) and BDF
// (stiff, chord Newton iteration), after Petzold's LSODA. The step control,
// order selection and stiffness test follow that method; the one-step core is
// LsodaIntegrator::attempt_step, the driver (tolerances, first step, landing
// exactly on t_end) is LsodaIntegrator::run.
#include "numerics/lsoda.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "numerics/dense_lu.hpp"
#include "numerics/method_coefficients.hpp"

namespace velmora::numerics {

namespace {

constexpr double kUround = std::numeric_limits<double>::epsilon();
constexpr int kMaxNordsieckColumns = kMaxAdamsOrder + 1;
constexpr double kJacobianRefreshRatio = 0.3;  // refresh P when h*l0 moved by more than 30 %
constexpr int kStepsBetweenJacobians = 20;
constexpr int kMaxCorrectorIterations = 3;
constexpr int kMaxConvergenceFailures = 10;
constexpr int kStepsBeforeSwitchTest = 20;
constexpr double kSwitchRatio = 5.0;  // step-size advantage required to switch to BDF

// h * (Lipschitz constant) below which each Adams order stays inside its
// region of absolute stability; used both to limit h and to detect stiffness.
constexpr std::array<double, 12> kAdamsStabilityLimit = {0.5,  0.575, 0.55, 0.45, 0.35,  0.25,
                                                          0.20, 0.15,  0.10, 0.075, 0.050, 0.025};

const char* const kSuccessMessage =
    "The solver successfully reached the end of the integration interval.";

enum class StepOutcome { accepted, error_test_failed, corrector_failed };

class LsodaIntegrator {
public:
    LsodaIntegrator(const OdeRhs& rhs, const OdeOptions& options, std::size_t n)
        : rhs_(rhs), options_(options), n_(n), yh_(kMaxNordsieckColumns * n), y_(n), savf_(n),
          acor_(n), inv_weight_(n), ftem_(n), atol_(n), pmat_(n * n), pivots_(n),
          jac_rows_(options.jacobian ? n * n : 0) {}

    void run(double t0, double t_end, std::span<const double> y0, OdeResult& result);

private:
    // --- workspace -----------------------------------------------------------
    const OdeRhs& rhs_;
    const OdeOptions& options_;
    std::size_t n_;
    std::vector<double> yh_;          // Nordsieck history, column j = h^j y^(j) / j!
    std::vector<double> y_, savf_, acor_, inv_weight_, ftem_, atol_;
    std::vector<double> pmat_;        // I - h l0 J by columns ((i, j) at j*n + i), then its LU factors
    std::vector<std::size_t> pivots_;
    std::vector<double> jac_rows_;    // the caller's analytic Jacobian (row-major), if any
    double rtol_ = 0.0;

    // --- integrator state ------------------------------------------------------
    double tn_ = 0.0, h_ = 0.0, hold_ = 0.0, hmin_ = 0.0, hmxi_ = 0.0;
    double rc_ = 0.0, el0_ = 1.0, crate_ = 0.7, conit_ = 0.0, rmax_ = 1e4;
    double pdest_ = 0.0, pdlast_ = 0.0, pdnorm_ = 0.0;
    std::array<double, 13> el_{};
    std::array<double, 12> cm1_{};
    std::array<double, 5> cm2_{};
    int nq_ = 1, l_ = 2, lmax_ = 13, maxord_ = kMaxAdamsOrder, ialth_ = 2;
    int ipup_ = 0, icount_ = kStepsBeforeSwitchTest, irflag_ = 0;
    int meth_ = 1, miter_ = 0, jtyp_ = 2, mused_ = 0, jstart_ = 0, kflag_ = 0;
    bool jacobian_current_ = false, matrix_singular_ = false;
    long nst_ = 0, nslp_ = 0, nrejected_ = 0;
    long steps_below_roundoff_ = 0;  // steps with t + h == t (taken, as LSODA does)
    long nfev_ = 0, njev_ = 0, nlu_ = 0;

    double* column(int j) { return yh_.data() + static_cast<std::size_t>(j) * n_; }
    const MethodCoefficients& coefficients() const {
        return meth_ == 1 ? adams_coefficients() : bdf_coefficients();
    }
    double test_constant(int order, int k) const { return coefficients().test[order - 1][k]; }

    void call_rhs(double t, const std::vector<double>& y, std::vector<double>& dydt) {
        rhs_(t, std::span<const double>(y), std::span<double>(dydt));
        ++nfev_;
    }

    double weighted_norm(const double* v) const;
    double weighted_matrix_norm();
    bool set_weights();
    void load_coefficients();
    void rescale(double rh, bool apply_hmin);
    void predict();
    void retract();
    void update_iteration_matrix();
    bool correct(double pnorm, int& iterations, double& last_correction);
    bool consider_method_switch(double dsm, double pnorm);
    bool choose_order_and_step(double dsm, bool accepted);
    StepOutcome attempt_step();
};

// Weighted norm of the error-like vector v: max |v_i| / (atol_i + rtol |y_i|),
// as the max-norm error test of LSODA, or the RMS of the same ratios on request.
// A NaN anywhere propagates so that the caller's tests fail on it.
double LsodaIntegrator::weighted_norm(const double* v) const {
    if (options_.error_norm == OdeErrorNorm::rms) {
        double s = 0.0;
        for (std::size_t i = 0; i < n_; ++i) {
            const double r = v[i] * inv_weight_[i];
            s += r * r;
        }
        return n_ ? std::sqrt(s / static_cast<double>(n_)) : 0.0;
    }
    double m = 0.0;
    for (std::size_t i = 0; i < n_; ++i) {
        const double r = std::abs(v[i]) * inv_weight_[i];
        if (r > m) m = r;
        else if (std::isnan(r)) return r;
    }
    return m;
}

// Matrix norm consistent with the weighted max-norm, of the matrix held in
// pmat_ (used to estimate the Lipschitz constant for the stiffness test).
double LsodaIntegrator::weighted_matrix_norm() {
    double an = 0.0;
    std::fill(ftem_.begin(), ftem_.end(), 0.0);  // row sums, accumulated column by column
    for (std::size_t j = 0; j < n_; ++j) {
        const double* col = &pmat_[j * n_];
        const double wj = 1.0 / inv_weight_[j];
        for (std::size_t i = 0; i < n_; ++i) ftem_[i] += std::abs(col[i]) * wj;
    }
    for (std::size_t i = 0; i < n_; ++i) an = std::max(an, ftem_[i] * inv_weight_[i]);
    return an;
}

bool LsodaIntegrator::set_weights() {
    const double* y = column(0);
    for (std::size_t i = 0; i < n_; ++i) {
        const double w = rtol_ * std::abs(y[i]) + atol_[i];
        if (!(w > 0.0)) return false;
        inv_weight_[i] = 1.0 / w;
    }
    return true;
}

void LsodaIntegrator::load_coefficients() {
    const auto& el = coefficients().el[nq_ - 1];
    for (int i = 0; i < l_; ++i) el_[i] = el[i];
    rc_ = rc_ * el_[0] / el0_;
    el0_ = el_[0];
    conit_ = 0.5 / (nq_ + 2);
}

// Changes h by the factor rh (bounded by rmax, hmax and, for Adams, by the
// stability region) and rescales the Nordsieck columns accordingly.
void LsodaIntegrator::rescale(double rh, bool apply_hmin) {
    if (apply_hmin) rh = std::max(rh, hmin_ / std::abs(h_));
    rh = std::min(rh, rmax_);
    rh = rh / std::max(1.0, std::abs(h_) * hmxi_ * rh);
    if (meth_ == 1) {
        irflag_ = 0;
        const double pdh = std::max(std::abs(h_) * pdlast_, 0.000001);
        if (rh * pdh * 1.00001 >= kAdamsStabilityLimit[nq_ - 1]) {
            rh = kAdamsStabilityLimit[nq_ - 1] / pdh;
            irflag_ = 1;
        }
    }
    double r = 1.0;
    for (int j = 1; j < l_; ++j) {
        r *= rh;
        double* c = column(j);
        for (std::size_t i = 0; i < n_; ++i) c[i] *= r;
    }
    h_ *= rh;
    rc_ *= rh;
    ialth_ = l_;
}

// Pascal-triangle update: the Nordsieck array predicted at tn + h.
void LsodaIntegrator::predict() {
    for (int jb = 1; jb <= nq_; ++jb)
        for (int c = nq_ - jb; c < nq_; ++c) {
            double* a = column(c);
            const double* b = column(c + 1);
            for (std::size_t i = 0; i < n_; ++i) a[i] += b[i];
        }
}

void LsodaIntegrator::retract() {
    for (int jb = 1; jb <= nq_; ++jb)
        for (int c = nq_ - jb; c < nq_; ++c) {
            double* a = column(c);
            const double* b = column(c + 1);
            for (std::size_t i = 0; i < n_; ++i) a[i] -= b[i];
        }
}

// Forms P = I - h l0 J at the predicted state (y_, with f in savf_) and
// factors it. J comes from the caller's callback or from forward differences
// whose increments follow the error weights.
void LsodaIntegrator::update_iteration_matrix() {
    ++njev_;
    jacobian_current_ = true;
    matrix_singular_ = false;
    const double hl0 = h_ * el0_;
    if (options_.jacobian) {
        // The callback writes d f_i / d y_j row by row; the factors want columns.
        options_.jacobian(tn_, std::span<const double>(y_), std::span<double>(jac_rows_));
        for (std::size_t i = 0; i < n_; ++i)
            for (std::size_t j = 0; j < n_; ++j) pmat_[j * n_ + i] = -hl0 * jac_rows_[i * n_ + j];
    } else {
        const double fnorm = weighted_norm(savf_.data());
        double r0 = 1000.0 * std::abs(h_) * kUround * static_cast<double>(n_) * fnorm;
        if (r0 == 0.0 || !std::isfinite(r0)) r0 = 1.0;
        const double srur = std::sqrt(kUround);
        for (std::size_t j = 0; j < n_; ++j) {
            const double yj = y_[j];
            const double r = std::max(srur * std::abs(yj), r0 / inv_weight_[j]);
            y_[j] = yj + r;
            const double fac = -hl0 / r;
            call_rhs(tn_, y_, ftem_);
            double* col = &pmat_[j * n_];
            for (std::size_t i = 0; i < n_; ++i) col[i] = (ftem_[i] - savf_[i]) * fac;
            y_[j] = yj;
        }
    }
    pdnorm_ = weighted_matrix_norm() / std::abs(hl0);
    for (std::size_t i = 0; i < n_; ++i) pmat_[i * n_ + i] += 1.0;
    ++nlu_;
    if (!lu_factor(std::span<double>(pmat_), n_, std::span<std::size_t>(pivots_)))
        matrix_singular_ = true;
}

// Corrector iteration at tn_ (the prediction sits in column 0). Functional
// iteration for Adams, chord Newton with P for BDF. On success y_ holds the
// corrected state, acor_ the correction; returns false on non-convergence.
bool LsodaIntegrator::correct(double pnorm, int& iterations, double& last_correction) {
    for (;;) {
        int m = 0;
        double rate = 0.0, del = 0.0, delp = 0.0;
        std::copy_n(column(0), n_, y_.begin());
        call_rhs(tn_, y_, savf_);
        if (ipup_ > 0) {
            update_iteration_matrix();
            ipup_ = 0;
            rc_ = 1.0;
            nslp_ = nst_;
            crate_ = 0.7;
            if (matrix_singular_) return false;
        }
        std::fill(acor_.begin(), acor_.end(), 0.0);
        const double* yh0 = column(0);
        const double* yh1 = column(1);
        for (;;) {
            if (miter_ == 0) {
                for (std::size_t i = 0; i < n_; ++i) {
                    savf_[i] = h_ * savf_[i] - yh1[i];
                    y_[i] = savf_[i] - acor_[i];
                }
                del = weighted_norm(y_.data());
                for (std::size_t i = 0; i < n_; ++i) {
                    y_[i] = yh0[i] + el_[0] * savf_[i];
                    acor_[i] = savf_[i];
                }
            } else {
                for (std::size_t i = 0; i < n_; ++i) y_[i] = h_ * savf_[i] - (yh1[i] + acor_[i]);
                lu_solve(std::span<const double>(pmat_), n_, std::span<const std::size_t>(pivots_),
                         std::span<double>(y_));
                del = weighted_norm(y_.data());
                for (std::size_t i = 0; i < n_; ++i) {
                    acor_[i] += y_[i];
                    y_[i] = yh0[i] + el_[0] * acor_[i];
                }
            }
            // A correction at roundoff level means convergence without a rate estimate.
            if (del <= 100.0 * pnorm * kUround) {
                iterations = m;
                last_correction = del;
                return true;
            }
            // Adams always takes a second iteration so that the rate (a local
            // Lipschitz estimate used by the stiffness test) can be formed.
            if (!(m == 0 && meth_ == 1)) {
                if (m != 0) {
                    double rm = 1024.0;
                    if (del <= 1024.0 * delp) rm = del / delp;
                    rate = std::max(rate, rm);
                    crate_ = std::max(0.2 * crate_, rm);
                }
                const double dcon =
                    del * std::min(1.0, 1.5 * crate_) / (test_constant(nq_, 1) * conit_);
                if (dcon <= 1.0) {
                    pdest_ = std::max(pdest_, rate / std::abs(h_ * el_[0]));
                    if (pdest_ != 0.0) pdlast_ = pdest_;
                    iterations = m;
                    last_correction = del;
                    return true;
                }
            }
            ++m;
            if (m == kMaxCorrectorIterations || (m >= 2 && del > 2.0 * delp)) break;
            delp = del;
            call_rhs(tn_, y_, savf_);
        }
        // Diverged: retry once with a fresh Jacobian before giving up on this h.
        if (miter_ == 0 || jacobian_current_) return false;
        ipup_ = miter_;
    }
}

// Stiffness test after an accepted step: compares the step sizes the current
// and the other family could have used. Returns true if the method changed
// (h and the history have then been rescaled already).
bool LsodaIntegrator::consider_method_switch(double dsm, double pnorm) {
    const double exsm = 1.0 / l_;
    if (meth_ == 1) {
        if (nq_ > kMaxBdfOrder) return false;
        double rh2 = 0.0;
        int nqm2 = nq_;
        if (dsm > 100.0 * pnorm * kUround && pdest_ != 0.0) {
            double rh1 = 1.0 / (1.2 * std::pow(dsm, exsm) + 0.0000012);
            double rh1it = 2.0 * rh1;
            const double pdh = pdlast_ * std::abs(h_);
            if (pdh * rh1 > 0.00001) rh1it = kAdamsStabilityLimit[nq_ - 1] / pdh;
            rh1 = std::min(rh1, rh1it);
            const double dm2 = dsm * (cm1_[nq_ - 1] / cm2_[nq_ - 1]);
            rh2 = 1.0 / (1.2 * std::pow(dm2, exsm) + 0.0000012);
            if (rh2 < kSwitchRatio * rh1) return false;
        } else {
            // Error estimates polluted by roundoff: switch only if h was held
            // back by the stability limit, and then try doubling it.
            if (irflag_ == 0) return false;
            rh2 = 2.0;
            nqm2 = std::min(nq_, kMaxBdfOrder);
        }
        icount_ = kStepsBeforeSwitchTest;
        meth_ = 2;
        miter_ = jtyp_;
        pdlast_ = 0.0;
        nq_ = nqm2;
        l_ = nq_ + 1;
        rescale(rh2, true);
        return true;
    }
    double dm1 = dsm * (cm2_[nq_ - 1] / cm1_[nq_ - 1]);
    double rh1 = 1.0 / (1.2 * std::pow(dm1, exsm) + 0.0000012);
    const int nqm1 = nq_;
    double rh1it = 2.0 * rh1;
    const double pdh = pdnorm_ * std::abs(h_);
    if (pdh * rh1 > 0.00001) rh1it = kAdamsStabilityLimit[nqm1 - 1] / pdh;
    rh1 = std::min(rh1, rh1it);
    const double rh2 = 1.0 / (1.2 * std::pow(dsm, exsm) + 0.0000012);
    if (rh1 * kSwitchRatio < 5.0 * rh2) return false;
    const double alpha = std::max(0.001, rh1);
    dm1 = std::pow(alpha, exsm) * dm1;
    // Stay with BDF if the Adams step would be so small that roundoff dominates.
    if (dm1 <= 1000.0 * kUround * pnorm) return false;
    icount_ = kStepsBeforeSwitchTest;
    meth_ = 1;
    miter_ = 0;
    pdlast_ = 0.0;
    nq_ = nqm1;
    l_ = nq_ + 1;
    rescale(rh1, true);
    return true;
}

// Picks the order (q-1, q or q+1) allowing the largest next step and rescales
// h. After a failed error test the order is never raised. Returns false when
// the change would be too small to be worth it (h and q are then kept).
bool LsodaIntegrator::choose_order_and_step(double dsm, bool accepted) {
    double rhup = 0.0;
    if (accepted && l_ < lmax_) {
        const double* saved = column(lmax_ - 1);
        for (std::size_t i = 0; i < n_; ++i) savf_[i] = acor_[i] - saved[i];
        const double dup = weighted_norm(savf_.data()) / test_constant(nq_, 2);
        rhup = 1.0 / (1.4 * std::pow(dup, 1.0 / (l_ + 1)) + 0.0000014);
    }
    double rhsm = 1.0 / (1.2 * std::pow(dsm, 1.0 / l_) + 0.0000012);
    double rhdn = 0.0;
    if (nq_ != 1) {
        const double ddn = weighted_norm(column(l_ - 1)) / test_constant(nq_, 0);
        rhdn = 1.0 / (1.3 * std::pow(ddn, 1.0 / nq_) + 0.0000013);
    }
    double pdh = 0.0;
    if (meth_ == 1) {
        pdh = std::max(std::abs(h_) * pdlast_, 0.000001);
        if (l_ < lmax_) rhup = std::min(rhup, kAdamsStabilityLimit[l_ - 1] / pdh);
        rhsm = std::min(rhsm, kAdamsStabilityLimit[nq_ - 1] / pdh);
        if (nq_ > 1) rhdn = std::min(rhdn, kAdamsStabilityLimit[nq_ - 2] / pdh);
        pdest_ = 0.0;
    }
    int newq = nq_;
    double rh = rhsm;
    if (rhsm < rhup && rhup > rhdn) {
        // Raise the order: the new column comes from the last correction.
        if (rhup < 1.1) {
            ialth_ = 3;
            return false;
        }
        const double r = el_[l_ - 1] / l_;
        double* c = column(l_);
        for (std::size_t i = 0; i < n_; ++i) c[i] = acor_[i] * r;
        nq_ = l_;
        l_ = nq_ + 1;
        load_coefficients();
        rescale(rhup, true);
        return true;
    }
    if (rhsm < rhdn) {
        newq = nq_ - 1;
        rh = rhdn;
        if (kflag_ < 0 && rh > 1.0) rh = 1.0;
    }
    const bool stability_bound = meth_ == 1 && rh * pdh * 1.00001 >= kAdamsStabilityLimit[newq - 1];
    if (!stability_bound && kflag_ == 0 && rh < 1.1) {
        ialth_ = 3;
        return false;
    }
    if (kflag_ <= -2) rh = std::min(rh, 0.2);
    if (newq != nq_) {
        nq_ = newq;
        l_ = nq_ + 1;
        load_coefficients();
    }
    rescale(rh, true);
    return true;
}

// One step from tn_ with the current h (retrying with smaller h or lower
// order after failures). On acceptance the history is advanced and h/q for
// the next step are chosen.
StepOutcome LsodaIntegrator::attempt_step() {
    kflag_ = 0;
    const double told = tn_;
    int ncf = 0;
    jacobian_current_ = false;

    if (jstart_ == 0) {
        lmax_ = maxord_ + 1;
        nq_ = 1;
        l_ = 2;
        ialth_ = 2;
        rmax_ = 10000.0;
        rc_ = 0.0;
        el0_ = 1.0;
        crate_ = 0.7;
        hold_ = h_;
        nslp_ = 0;
        ipup_ = miter_;
        icount_ = kStepsBeforeSwitchTest;
        irflag_ = 0;
        pdest_ = 0.0;
        pdlast_ = 0.0;
        const auto& bdf = bdf_coefficients();
        for (int i = 0; i < kMaxBdfOrder; ++i) cm2_[i] = bdf.test[i][1] * bdf.el[i][i + 1];
        const auto& adams = adams_coefficients();
        for (int i = 0; i < kMaxAdamsOrder; ++i) cm1_[i] = adams.test[i][1] * adams.el[i][i + 1];
        load_coefficients();
    } else if (jstart_ < 0) {
        if (jstart_ == -1) {
            // The method changed on the last step: new coefficients, new matrix.
            ipup_ = miter_;
            lmax_ = maxord_ + 1;
            if (ialth_ == 1) ialth_ = 2;
            if (meth_ != mused_) {
                ialth_ = l_;
                load_coefficients();
            }
        }
        // The driver changed h (to land on t_end): rescale the history.
        if (h_ != hold_) {
            const double rh = h_ / hold_;
            h_ = hold_;
            rescale(rh, false);
        }
    }

    for (;;) {
        if (std::abs(rc_ - 1.0) > kJacobianRefreshRatio) ipup_ = miter_;
        if (nst_ >= nslp_ + kStepsBetweenJacobians) ipup_ = miter_;
        tn_ += h_;
        predict();
        const double pnorm = weighted_norm(column(0));

        int iterations = 0;
        double del = 0.0;
        if (!correct(pnorm, iterations, del)) {
            ++ncf;
            ++nrejected_;
            rmax_ = 2.0;
            tn_ = told;
            retract();
            hold_ = h_;
            if (std::abs(h_) <= hmin_ * 1.00001 || ncf == kMaxConvergenceFailures)
                return StepOutcome::corrector_failed;
            ipup_ = miter_;
            rescale(0.25, true);
            continue;
        }
        jacobian_current_ = false;
        const double acnrm = iterations == 0 ? del : weighted_norm(acor_.data());
        const double dsm = acnrm / test_constant(nq_, 1);

        if (!(dsm <= 1.0)) {
            --kflag_;
            ++nrejected_;
            tn_ = told;
            retract();
            rmax_ = 2.0;
            hold_ = h_;
            if (std::abs(h_) <= hmin_ * 1.00001) return StepOutcome::error_test_failed;
            if (kflag_ <= -3) {
                // Three or more failures: the history is suspect. Restart at
                // order 1 from a fresh derivative with h cut tenfold.
                if (kflag_ == -10) return StepOutcome::error_test_failed;
                const double rh = std::max(hmin_ / std::abs(h_), 0.1);
                h_ *= rh;
                std::copy_n(column(0), n_, y_.begin());
                call_rhs(tn_, y_, savf_);
                double* c1 = column(1);
                for (std::size_t i = 0; i < n_; ++i) c1[i] = h_ * savf_[i];
                ipup_ = miter_;
                ialth_ = 5;
                if (nq_ != 1) {
                    nq_ = 1;
                    l_ = 2;
                    load_coefficients();
                }
                continue;
            }
            choose_order_and_step(dsm, false);
            continue;
        }

        // Accepted.
        kflag_ = 0;
        ++nst_;
        mused_ = meth_;
        for (int j = 0; j < l_; ++j) {
            double* c = column(j);
            const double e = el_[j];
            for (std::size_t i = 0; i < n_; ++i) c[i] += e * acor_[i];
        }
        --icount_;
        bool rescaled = false;
        if (icount_ < 0) rescaled = consider_method_switch(dsm, pnorm);
        if (!rescaled) {
            --ialth_;
            if (ialth_ == 0) {
                rescaled = choose_order_and_step(dsm, true);
            } else if (ialth_ == 1 && l_ != lmax_) {
                // Keep this correction for the order-raise estimate of the next step.
                std::copy_n(acor_.begin(), n_, column(lmax_ - 1));
            }
        }
        if (rescaled) rmax_ = 10.0;
        hold_ = h_;
        jstart_ = 1;
        return StepOutcome::accepted;
    }
}

std::string at_time(double t, double h) {
    return " at t = " + py_repr(t) + " (step size " + py_repr(h) + ").";
}

void LsodaIntegrator::run(double t0, double t_end, std::span<const double> y0, OdeResult& result) {
    auto record = [&](double t) {
        result.t.push_back(t);
        const double* y = column(0);
        result.y.insert(result.y.end(), y, y + n_);
    };
    auto finish = [&](bool ok, std::string message) {
        result.success = ok;
        result.status = ok ? 0 : -1;
        result.message = std::move(message);
        result.nfev = nfev_;
        result.njev = njev_;
        result.nlu = nlu_;
        result.steps_below_roundoff = steps_below_roundoff_;
    };
    auto fail = [&](std::string message) {
        // The states reached so far stay in the result; with keep_steps off the
        // last accepted state closes the record.
        if (!options_.keep_steps && result.t.back() != tn_) record(tn_);
        finish(false, std::move(message));
    };

    rtol_ = std::max(options_.rtol, 100.0 * kUround);
    for (std::size_t i = 0; i < n_; ++i)
        atol_[i] = options_.atol_vector.empty() ? options_.atol : options_.atol_vector[i];
    hmin_ = options_.min_step;
    hmxi_ = std::isinf(options_.max_step) ? 0.0 : 1.0 / options_.max_step;
    jtyp_ = options_.jacobian ? 1 : 2;

    std::copy(y0.begin(), y0.end(), yh_.begin());
    tn_ = t0;
    record(t0);
    if (n_ == 0 || t0 == t_end) {
        record(t_end);
        finish(true, kSuccessMessage);
        return;
    }
    if (!set_weights()) {
        fail("Error weight atol + rtol*|y| is not positive for the initial state.");
        return;
    }
    const double tcrit = t_end;
    std::copy(y0.begin(), y0.end(), y_.begin());
    call_rhs(t0, y_, savf_);
    double h0 = options_.first_step;
    if (h0 != 0.0) {
        h0 = std::copysign(std::abs(h0), t_end - t0);
        if ((t0 + h0 - tcrit) * h0 > 0.0) h0 = tcrit - t0;
    } else {
        // Initial step from the size of f and the tolerance, limited to the interval.
        const double tdist = std::abs(t_end - t0);
        const double w0 = std::max(std::abs(t0), std::abs(t_end));
        if (tdist < 2.0 * kUround * w0) {
            fail("t_end too close to t0 to start integration (interval below roundoff of t).");
            return;
        }
        double tol = rtol_;
        if (tol <= 0.0)
            for (std::size_t i = 0; i < n_; ++i)
                if (y0[i] != 0.0) tol = std::max(tol, atol_[i] / std::abs(y0[i]));
        tol = std::min(std::max(tol, 100.0 * kUround), 0.001);
        const double fnorm = weighted_norm(savf_.data());
        const double sum = 1.0 / (tol * w0 * w0) + tol * fnorm * fnorm;
        h0 = std::min(1.0 / std::sqrt(sum), tdist);
        if (!std::isfinite(h0)) h0 = tdist;
        h0 = std::copysign(h0, t_end - t0);
    }
    const double rh = std::abs(h0) * hmxi_;
    if (rh > 1.0) h0 /= rh;
    h_ = h0;
    double* c1 = column(1);
    for (std::size_t i = 0; i < n_; ++i) c1[i] = h0 * savf_[i];

    jstart_ = 0;
    meth_ = 1;
    miter_ = 0;
    mused_ = 0;
    maxord_ = kMaxAdamsOrder;
    bool first = true;
    for (;;) {
        if (!first) {
            // Never step past t_end: shorten h so that the step lands on it.
            const double tnext = tn_ + h_ * (1.0 + 4.0 * kUround);
            if ((tnext - tcrit) * h_ > 0.0) {
                h_ = (tcrit - tn_) * (1.0 - 4.0 * kUround);
                if (jstart_ >= 0) jstart_ = -2;
            }
            if (nst_ + nrejected_ >= options_.max_steps) {
                fail("Too much work: " + std::to_string(options_.max_steps) +
                     " steps taken before reaching t_end" + at_time(tn_, h_));
                return;
            }
            if (!set_weights()) {
                fail("Error weight atol + rtol*|y| became zero or invalid" + at_time(tn_, h_));
                return;
            }
        }
        first = false;
        if (kUround * weighted_norm(column(0)) > 1.0) {
            fail("Excess accuracy requested: tolerances too small for the machine precision" +
                 at_time(tn_, h_));
            return;
        }
        if (!std::isfinite(h_) || h_ == 0.0) {
            fail("Step size underflow: h is zero or not finite" + at_time(tn_, h_));
            return;
        }
        // A step below the spacing of doubles at t leaves t unchanged. LSODA
        // takes it anyway (the state still advances by h through the Nordsieck
        // array) and the step size grows back: tiny tolerances far from t = 0
        // start this way. Counted, never fatal; max_steps bounds the work.
        if (tn_ + h_ == tn_) ++steps_below_roundoff_;
        const StepOutcome outcome = attempt_step();
        if (outcome == StepOutcome::error_test_failed) {
            fail("Repeated error test failures (or error test failed with |h| = min_step)" +
                 at_time(tn_, h_));
            return;
        }
        if (outcome == StepOutcome::corrector_failed) {
            fail("Repeated convergence failures (perhaps bad Jacobian or tolerances)" +
                 at_time(tn_, h_));
            return;
        }
        if (meth_ != mused_) {
            maxord_ = meth_ == 2 ? kMaxBdfOrder : kMaxAdamsOrder;
            jstart_ = -1;
        }
        const double hmx = std::abs(tn_) + std::abs(h_);
        const bool hit_end = std::abs(tn_ - tcrit) <= 100.0 * kUround * hmx;
        if (hit_end) {
            tn_ = tcrit;
            record(tcrit);
            finish(true, kSuccessMessage);
            return;
        }
        if (options_.keep_steps) record(tn_);
    }
}

}  // namespace

OdeResult solve_ivp_lsoda(const OdeRhs& rhs, double t0, double t_end, std::span<const double> y0,
                          const OdeOptions& options) {
    const std::size_t n = y0.size();
    if (!std::isfinite(t0) || !std::isfinite(t_end))
        throw InvalidValue("solve_ivp_lsoda: t0 and t_end must be finite");
    if (!(options.rtol >= 0.0)) throw InvalidValue("solve_ivp_lsoda: rtol must be non-negative");
    if (options.atol_vector.empty()) {
        if (!(options.atol >= 0.0)) throw InvalidValue("solve_ivp_lsoda: atol must be non-negative");
    } else {
        if (options.atol_vector.size() != n)
            throw InvalidValue("solve_ivp_lsoda: atol has " + std::to_string(options.atol_vector.size()) +
                             " entries for " + std::to_string(n) + " components");
        for (double a : options.atol_vector)
            if (!(a >= 0.0)) throw InvalidValue("solve_ivp_lsoda: atol must be non-negative");
    }
    if (!(options.max_step > 0.0)) throw InvalidValue("solve_ivp_lsoda: max_step must be positive");
    if (!(options.min_step >= 0.0)) throw InvalidValue("solve_ivp_lsoda: min_step must be non-negative");
    if (!rhs) throw InvalidValue("solve_ivp_lsoda: no right-hand side given");

    OdeResult result;
    result.n = n;
    LsodaIntegrator integrator(rhs, options, n);
    integrator.run(t0, t_end, y0, result);
    return result;
}

}  // namespace velmora::numerics
