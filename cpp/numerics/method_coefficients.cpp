#include "numerics/method_coefficients.hpp"

namespace velmora::numerics {

namespace {

// Adams-Moulton: l(x) follows from the integral over [-1, 0] of
// p(x) = (x+1)(x+2)...(x+q-1); the error constants from the integral of x p(x).
MethodCoefficients make_adams() {
    MethodCoefficients c;
    c.max_order = kMaxAdamsOrder;
    c.el[0][0] = 1.0;
    c.el[0][1] = 1.0;
    c.test[0][0] = 0.0;
    c.test[0][1] = 2.0;
    c.test[1][0] = 1.0;
    c.test[kMaxAdamsOrder - 1][2] = 0.0;
    std::array<double, 13> pc{};
    pc[0] = 1.0;
    double rqfac = 1.0;
    for (int nq = 2; nq <= kMaxAdamsOrder; ++nq) {
        const double rq1fac = rqfac;
        rqfac /= nq;
        const int nqm1 = nq - 1;
        const double fnqm1 = nqm1;
        // p(x) <- p(x) * (x + nq - 1)
        pc[nq - 1] = 0.0;
        for (int i = nq - 1; i >= 1; --i) pc[i] = pc[i - 1] + fnqm1 * pc[i];
        pc[0] = fnqm1 * pc[0];
        double pint = pc[0];
        double xpin = pc[0] / 2.0;
        double tsign = 1.0;
        for (int i = 2; i <= nq; ++i) {
            tsign = -tsign;
            pint += tsign * pc[i - 1] / i;
            xpin += tsign * pc[i - 1] / (i + 1);
        }
        auto& el = c.el[nq - 1];
        el[0] = pint * rq1fac;
        el[1] = 1.0;
        for (int i = 2; i <= nq; ++i) el[i] = rq1fac * pc[i - 1] / i;
        const double ragq = 1.0 / (rqfac * xpin);
        c.test[nq - 1][1] = ragq;
        if (nq < kMaxAdamsOrder) c.test[nq][0] = ragq * rqfac / (nq + 1);
        c.test[nq - 2][2] = ragq;
    }
    return c;
}

// BDF: l(x) is p(x) = (x+1)(x+2)...(x+q) normalised so that l_1 == 1.
MethodCoefficients make_bdf() {
    MethodCoefficients c;
    c.max_order = kMaxBdfOrder;
    std::array<double, 13> pc{};
    pc[0] = 1.0;
    double rq1fac = 1.0;
    for (int nq = 1; nq <= kMaxBdfOrder; ++nq) {
        const double fnq = nq;
        pc[nq] = 0.0;
        for (int i = nq; i >= 1; --i) pc[i] = pc[i - 1] + fnq * pc[i];
        pc[0] = fnq * pc[0];
        auto& el = c.el[nq - 1];
        for (int i = 0; i <= nq; ++i) el[i] = pc[i] / pc[1];
        el[1] = 1.0;
        c.test[nq - 1][0] = rq1fac;
        c.test[nq - 1][1] = (nq + 1) / el[0];
        c.test[nq - 1][2] = (nq + 2) / el[0];
        rq1fac /= fnq;
    }
    return c;
}

}  // namespace

const MethodCoefficients& adams_coefficients() {
    static const MethodCoefficients c = make_adams();
    return c;
}

const MethodCoefficients& bdf_coefficients() {
    static const MethodCoefficients c = make_bdf();
    return c;
}

}  // namespace velmora::numerics
