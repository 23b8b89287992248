// Quantile functions (inverse CDFs) of the normal and lognormal distributions,
// with scipy.stats' conventions: q outside [0, 1] (or NaN, or a non-positive
// scale or shape) gives NaN; q == 0 and q == 1 give the ends of the support.
#pragma once

namespace velmora::numerics {

// Standard normal quantile, relative accuracy about 1e-16 (Wichura, AS241).
double standard_normal_ppf(double q);

// Quantile of N(loc, scale^2).
double norm_ppf(double q, double loc = 0.0, double scale = 1.0);

// Quantile of the lognormal distribution with shape s (the sigma of ln x) and
// scale (the median, exp(mu)): scale * exp(s * z_q).
double lognorm_ppf(double q, double s, double scale = 1.0);

}  // namespace velmora::numerics
