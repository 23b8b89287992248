// Adaptive Gauss-Kronrod quadrature on a finite interval: globally adaptive
// bisection with the 21-point Kronrod rule and Wynn's epsilon extrapolation
// (the QAGS scheme, which scipy.integrate.quad uses for finite limits).
#pragma once
#include <functional>

namespace velmora::numerics {

struct QuadResult {
    double value;
    double abserr;
    // 0 converged; 1 subdivision limit reached; 2 roundoff prevents the
    // requested tolerance; 3 extremely bad integrand behaviour at some point;
    // 4 extrapolation table does not converge; 5 the integral is probably
    // divergent or slowly convergent; 6 invalid input (tolerances).
    int ier;
};

// Integrates f over [a, b] (b may be below a) until the error estimate is at
// most max(epsabs, epsrel*|value|) or limit subintervals are in use.
// Exceptions thrown by f propagate. Infinite limits are rejected (ValueError).
QuadResult quad(const std::function<double(double)>& f, double a, double b, double epsabs = 1.49e-8,
                double epsrel = 1.49e-8, int limit = 50);

}  // namespace velmora::numerics
