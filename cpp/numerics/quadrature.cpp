#include "numerics/quadrature.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "common/errors.hpp"

namespace velmora::numerics {

namespace {

constexpr double kEpmach = std::numeric_limits<double>::epsilon();
constexpr double kUflow = std::numeric_limits<double>::min();
constexpr double kOflow = std::numeric_limits<double>::max();

// 21-point Kronrod abscissae (the even entries are the 10-point Gauss nodes)
// and weights on [-1, 1]; the last abscissa is the centre.
constexpr std::array<double, 11> kXgk = {
    0.995657163025808080735527280689003, 0.973906528517171720077964012084452,
    0.930157491355708226001207180059508, 0.865063366688984510732096688423493,
    0.780817726586416897063717578345042, 0.679409568299024406234327365114874,
    0.562757134668604683339000099272694, 0.433395394129247190799265943165784,
    0.294392862701460198131126603103866, 0.148874338981631210884826001129720,
    0.0};
constexpr std::array<double, 11> kWgk = {
    0.011694638867371874278064396062192, 0.032558162307964727478818972459390,
    0.054755896574351996031381300244580, 0.075039674810919952767043140916190,
    0.093125454583697605535065465083366, 0.109387158802297641899210590325805,
    0.123491976262065851077685838175302, 0.134709217311473325928054001771707,
    0.142775938577060080797094273138717, 0.147739104901338491374841515972068,
    0.149445554002916905664936468389821};
constexpr std::array<double, 5> kWg = {
    0.066671344308688137593568809893332, 0.149451349150580593145776339657697,
    0.219086362515982043995534934228163, 0.269266719309996355091226921569469,
    0.295524224714752870173892994651338};

struct RuleResult {
    double result, abserr, resabs, resasc;
};

// 21-point Kronrod estimate with the embedded 10-point Gauss rule for the error.
RuleResult kronrod21(const std::function<double(double)>& f, double a, double b) {
    const double centr = 0.5 * (a + b);
    const double hlgth = 0.5 * (b - a);
    const double dhlgth = std::abs(hlgth);
    std::array<double, 10> fv1{}, fv2{};
    double resg = 0.0;
    const double fc = f(centr);
    double resk = kWgk[10] * fc;
    double resabs = std::abs(resk);
    for (int j = 0; j < 5; ++j) {
        const int jtw = 2 * j + 1;
        const double absc = hlgth * kXgk[jtw];
        const double f1 = f(centr - absc), f2 = f(centr + absc);
        fv1[jtw] = f1;
        fv2[jtw] = f2;
        resg += kWg[j] * (f1 + f2);
        resk += kWgk[jtw] * (f1 + f2);
        resabs += kWgk[jtw] * (std::abs(f1) + std::abs(f2));
    }
    for (int j = 0; j < 5; ++j) {
        const int jtwm1 = 2 * j;
        const double absc = hlgth * kXgk[jtwm1];
        const double f1 = f(centr - absc), f2 = f(centr + absc);
        fv1[jtwm1] = f1;
        fv2[jtwm1] = f2;
        resk += kWgk[jtwm1] * (f1 + f2);
        resabs += kWgk[jtwm1] * (std::abs(f1) + std::abs(f2));
    }
    const double reskh = resk * 0.5;
    double resasc = kWgk[10] * std::abs(fc - reskh);
    for (int j = 0; j < 10; ++j) resasc += kWgk[j] * (std::abs(fv1[j] - reskh) + std::abs(fv2[j] - reskh));
    RuleResult r;
    r.result = resk * hlgth;
    r.resabs = resabs * dhlgth;
    r.resasc = resasc * dhlgth;
    r.abserr = std::abs((resk - resg) * hlgth);
    if (r.resasc != 0.0 && r.abserr != 0.0)
        r.abserr = r.resasc * std::min(1.0, std::pow(200.0 * r.abserr / r.resasc, 1.5));
    if (r.resabs > kUflow / (50.0 * kEpmach)) r.abserr = std::max(kEpmach * 50.0 * r.resabs, r.abserr);
    return r;
}

// Wynn's epsilon algorithm on the sequence of partial sums in epstab[0..n-1];
// n and the table are updated in place, res3la keeps the last three results
// for the error estimate.
struct EpsilonTable {
    std::array<double, 52> epstab{};
    std::array<double, 3> res3la{};
    int n = 0;
    int nres = 0;

    void extrapolate(double& result, double& abserr) {
        ++nres;
        abserr = kOflow;
        result = epstab[n - 1];
        if (n < 3) {
            abserr = std::max(abserr, 5.0 * kEpmach * std::abs(result));
            return;
        }
        const int limexp = 50;
        epstab[n + 1] = epstab[n - 1];
        const int newelm = (n - 1) / 2;
        epstab[n - 1] = kOflow;
        const int num = n;
        int k1 = n;
        bool converged = false;
        for (int i = 1; i <= newelm; ++i) {
            const int k2 = k1 - 1, k3 = k1 - 2;
            double res = epstab[k1 + 1];
            const double e0 = epstab[k3 - 1], e1 = epstab[k2 - 1], e2 = res;
            const double e1abs = std::abs(e1);
            const double delta2 = e2 - e1, err2 = std::abs(delta2);
            const double tol2 = std::max(std::abs(e2), e1abs) * kEpmach;
            const double delta3 = e1 - e0, err3 = std::abs(delta3);
            const double tol3 = std::max(e1abs, std::abs(e0)) * kEpmach;
            if (err2 <= tol2 && err3 <= tol3) {
                // e0, e1, e2 agree to machine accuracy: converged.
                result = res;
                abserr = err2 + err3;
                converged = true;
                break;
            }
            const double e3 = epstab[k1 - 1];
            epstab[k1 - 1] = e1;
            const double delta1 = e1 - e3, err1 = std::abs(delta1);
            const double tol1 = std::max(e1abs, std::abs(e3)) * kEpmach;
            double ss = 0.0;
            bool irregular = err1 <= tol1 || err2 <= tol2 || err3 <= tol3;
            if (!irregular) {
                ss = 1.0 / delta1 + 1.0 / delta2 - 1.0 / delta3;
                irregular = !(std::abs(ss * e1) > 1e-4);
            }
            if (irregular) {
                // Two elements nearly equal or irregular table: drop its tail.
                n = i + i - 1;
                break;
            }
            res = e1 + 1.0 / ss;
            epstab[k1 - 1] = res;
            k1 -= 2;
            const double error = err2 + std::abs(res - e2) + err3;
            if (error <= abserr) {
                abserr = error;
                result = res;
            }
        }
        if (!converged) {
            if (n == limexp) n = 2 * (limexp / 2) - 1;
            int ib = (num % 2 == 0) ? 2 : 1;
            const int ie = newelm + 1;
            for (int i = 1; i <= ie; ++i) {
                epstab[ib - 1] = epstab[ib + 1];
                ib += 2;
            }
            if (num != n) {
                int indx = num - n + 1;
                for (int i = 1; i <= n; ++i) {
                    epstab[i - 1] = epstab[indx - 1];
                    ++indx;
                }
            }
            if (nres < 4) {
                res3la[nres - 1] = result;
                abserr = kOflow;
            } else {
                abserr = std::abs(result - res3la[2]) + std::abs(result - res3la[1]) +
                         std::abs(result - res3la[0]);
                res3la[0] = res3la[1];
                res3la[1] = res3la[2];
                res3la[2] = result;
            }
        }
        abserr = std::max(abserr, 5.0 * kEpmach * std::abs(result));
    }
};

// Keeps iord[0..] ordering the subintervals by decreasing error estimate
// (only as deep as the remaining subdivisions can reach) and selects the
// nrmax-th largest as the next one to bisect. Indices are 1-based as in the
// bookkeeping of the main loop.
void sort_errors(int limit, int last, int& maxerr, double& ermax, const std::vector<double>& elist,
                 std::vector<int>& iord, int& nrmax) {
    auto E = [&](int k) { return elist[k - 1]; };
    auto I = [&](int k) -> int& { return iord[k - 1]; };
    if (last <= 2) {
        I(1) = 1;
        I(2) = 2;
    } else {
        const double errmax = E(maxerr);
        if (nrmax != 1) {
            const int ido = nrmax - 1;
            for (int i = 1; i <= ido; ++i) {
                const int isucc = I(nrmax - 1);
                if (errmax <= E(isucc)) break;
                I(nrmax) = isucc;
                --nrmax;
            }
        }
        int jupbn = last;
        if (last > limit / 2 + 2) jupbn = limit + 3 - last;
        const double errmin = E(last);
        const int jbnd = jupbn - 1;
        const int ibeg = nrmax + 1;
        int i = ibeg;
        bool inserted = false;
        for (; i <= jbnd; ++i) {
            const int isucc = I(i);
            if (errmax >= E(isucc)) {
                inserted = true;
                break;
            }
            I(i - 1) = isucc;
        }
        if (!inserted) {
            I(jbnd) = maxerr;
            I(jupbn) = last;
        } else {
            I(i - 1) = maxerr;
            int k = jbnd;
            bool placed = false;
            for (int j = i; j <= jbnd; ++j) {
                const int isucc = I(k);
                if (errmin < E(isucc)) {
                    I(k + 1) = last;
                    placed = true;
                    break;
                }
                I(k + 1) = isucc;
                --k;
            }
            if (!placed) I(i) = last;
        }
    }
    maxerr = I(nrmax);
    ermax = E(maxerr);
}

}  // namespace

QuadResult quad(const std::function<double(double)>& f, double a, double b, double epsabs,
                double epsrel, int limit) {
    if (!std::isfinite(a) || !std::isfinite(b))
        throw InvalidValue("quad: only finite integration limits are supported");
    if (limit < 1) throw InvalidValue("quad: limit must be at least 1");
    QuadResult out{0.0, 0.0, 0};
    if (epsabs <= 0.0 && epsrel < std::max(50.0 * kEpmach, 0.5e-28)) {
        out.ier = 6;
        return out;
    }
    std::vector<double> alist(limit), blist(limit), rlist(limit), elist(limit);
    std::vector<int> iord(limit);
    auto A = [&](int k) -> double& { return alist[k - 1]; };
    auto B = [&](int k) -> double& { return blist[k - 1]; };
    auto R = [&](int k) -> double& { return rlist[k - 1]; };
    auto E = [&](int k) -> double& { return elist[k - 1]; };

    int ier = 0;
    int ierro = 0;
    A(1) = a;
    B(1) = b;
    const RuleResult first = kronrod21(f, a, b);
    double result = first.result;
    double abserr = first.abserr;
    const double defabs = first.resabs;
    const double resabs0 = first.resasc;
    double dres = std::abs(result);
    double errbnd = std::max(epsabs, epsrel * dres);
    int last = 1;
    R(1) = result;
    E(1) = abserr;
    iord[0] = 1;
    if (abserr <= 100.0 * kEpmach * defabs && abserr > errbnd) ier = 2;
    if (limit == 1) ier = 1;
    if (ier != 0 || (abserr <= errbnd && abserr != resabs0) || abserr == 0.0) {
        out = {result, abserr, ier};
        return out;
    }

    EpsilonTable table;
    table.epstab[0] = result;
    double errmax = abserr;
    int maxerr = 1;
    double area = result;
    double errsum = abserr;
    abserr = kOflow;
    int nrmax = 1;
    table.n = 2;
    int ktmin = 0;
    bool extrap = false, noext = false;
    int iroff1 = 0, iroff2 = 0, iroff3 = 0;
    int ksgn = -1;
    if (dres >= (1.0 - 50.0 * kEpmach) * defabs) ksgn = 1;
    double small = 0.0, erlarg = 0.0, ertest = 0.0, correc = 0.0;
    bool finished_by_sum = false;

    for (last = 2; last <= limit; ++last) {
        // Bisect the subinterval with the nrmax-th largest error estimate.
        const double a1 = A(maxerr);
        const double b1 = 0.5 * (A(maxerr) + B(maxerr));
        const double a2 = b1;
        const double b2 = B(maxerr);
        const double erlast = errmax;
        const RuleResult left = kronrod21(f, a1, b1);
        const RuleResult right = kronrod21(f, a2, b2);
        const double area12 = left.result + right.result;
        const double erro12 = left.abserr + right.abserr;
        errsum = errsum + erro12 - errmax;
        area = area + area12 - R(maxerr);
        if (left.resasc != left.abserr && right.resasc != right.abserr) {
            if (!(std::abs(R(maxerr) - area12) > 1e-5 * std::abs(area12) || erro12 < 0.99 * errmax)) {
                if (extrap) ++iroff2;
                else ++iroff1;
            }
            if (last > 10 && erro12 > errmax) ++iroff3;
        }
        R(maxerr) = left.result;
        R(last) = right.result;
        errbnd = std::max(epsabs, epsrel * std::abs(area));
        if (iroff1 + iroff2 >= 10 || iroff3 >= 20) ier = 2;
        if (iroff2 >= 5) ierro = 3;
        if (last == limit) ier = 1;
        if (std::max(std::abs(a1), std::abs(b2)) <= (1.0 + 100.0 * kEpmach) * (std::abs(a2) + 1000.0 * kUflow))
            ier = 4;
        if (right.abserr > left.abserr) {
            A(maxerr) = a2;
            A(last) = a1;
            B(last) = b1;
            R(maxerr) = right.result;
            R(last) = left.result;
            E(maxerr) = right.abserr;
            E(last) = left.abserr;
        } else {
            A(last) = a2;
            B(maxerr) = b1;
            B(last) = b2;
            E(maxerr) = left.abserr;
            E(last) = right.abserr;
        }
        sort_errors(limit, last, maxerr, errmax, elist, iord, nrmax);
        if (errsum <= errbnd) {
            finished_by_sum = true;
            break;
        }
        if (ier != 0) break;
        if (last == 2) {
            small = std::abs(b - a) * 0.375;
            erlarg = errsum;
            ertest = errbnd;
            table.epstab[1] = area;
            continue;
        }
        if (noext) continue;
        erlarg -= erlast;
        if (std::abs(b1 - a1) > small) erlarg += erro12;
        if (!extrap) {
            // Extrapolate only once the interval to bisect next is the smallest.
            if (std::abs(B(maxerr) - A(maxerr)) > small) continue;
            extrap = true;
            nrmax = 2;
        }
        bool do_extrapolate = true;
        if (ierro != 3 && erlarg > ertest) {
            // The smallest interval has the largest error: first bisect the
            // larger intervals with large errors.
            const int id = nrmax;
            int jupbnd = last;
            if (last > 2 + limit / 2) jupbnd = limit + 3 - last;
            for (int k = id; k <= jupbnd; ++k) {
                maxerr = iord[nrmax - 1];
                errmax = E(maxerr);
                if (std::abs(B(maxerr) - A(maxerr)) > small) {
                    do_extrapolate = false;
                    break;
                }
                ++nrmax;
            }
        }
        if (!do_extrapolate) continue;
        table.epstab[table.n] = area;
        ++table.n;
        double reseps = 0.0, abseps = 0.0;
        table.extrapolate(reseps, abseps);
        ++ktmin;
        if (ktmin > 5 && abserr < 1e-3 * errsum) ier = 5;
        if (abseps < abserr) {
            ktmin = 0;
            abserr = abseps;
            result = reseps;
            correc = erlarg;
            ertest = std::max(epsabs, epsrel * std::abs(reseps));
            if (abserr <= ertest) break;
        }
        if (table.n == 1) noext = true;
        if (ier == 5) break;
        maxerr = iord[0];
        errmax = E(maxerr);
        nrmax = 1;
        extrap = false;
        small *= 0.5;
        erlarg = errsum;
    }
    if (last > limit) last = limit;

    bool use_sum = finished_by_sum;
    bool done = false;
    if (!use_sum) {
        if (abserr == kOflow) {
            use_sum = true;
        } else if (ier + ierro != 0) {
            if (ierro == 3) abserr += correc;
            if (ier == 0) ier = 3;
            if (result != 0.0 && area != 0.0) {
                if (abserr / std::abs(result) > errsum / std::abs(area)) use_sum = true;
            } else if (abserr > errsum) {
                use_sum = true;
            } else if (area == 0.0) {
                done = true;
            }
        }
        if (!use_sum && !done) {
            // Test on divergence.
            if (!(ksgn == -1 && std::max(std::abs(result), std::abs(area)) <= defabs * 0.01)) {
                if (0.01 > result / area || result / area > 100.0 || errsum > std::abs(area)) ier = 6;
            }
        }
    }
    if (use_sum) {
        result = 0.0;
        for (int k = 1; k <= last; ++k) result += R(k);
        abserr = errsum;
    }
    if (ier > 2) --ier;
    out = {result, abserr, ier};
    return out;
}

}  // namespace velmora::numerics
