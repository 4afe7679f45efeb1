// Multiplicative fixed-point iteration over the simplex.
//
// At a solution with x_i > 0, (Qx)_i = b_i + lambda for one multiplier lambda
// of the constraint sum(x) = 1. Each iteration rescales every weight by
// (b_i + lambda) / (Qx)_i with lambda chosen so that the new weights sum to
// one, zeroes the negligible ones, renormalises, and stops once the objective
// changes by no more than the tolerance. It assumes (Qx)_i > 0 for every
// weight that is not zero, as holds for a matrix of positive entries.
//
// The row products are computed once per iteration, for the objective, and
// serve the next iteration's ratios unchanged: both are (Qx)_i at the same x.
// The first objective, defined with column products, is taken from the row
// products whenever that cannot change the first tolerance test
// (first_objective.h).
// They are summed column by column over the weights that are not zero
// (products.h), only for the rows that need them (support_products.h),
// which gives every row's sum exactly as defined.
//
// Why the run ends: each iteration depends on x alone (the previous objective
// is the objective of that x), and x, a vector of doubles, can take only
// finitely many values. A run that never meets the tolerance therefore comes
// back to an earlier x and would repeat that stretch for ever; the cycle
// guard stops it at the first repeat it sees. (A chaotic map, possible with a
// strongly unsymmetric Q, can take hundreds of millions of iterations to
// repeat.)
#include "../simplex_qp.h"

#include <cmath>

#include "cycle_guard.h"
#include "first_objective.h"
#include "../common/host_scratch.h"
#include "../common/problem.h"
#include "../common/solver_counts.h"
#include "support_products.h"

namespace {

// r_i = x_i / (Qx)_i for every i, given the products p, and lambda such that
// sum_i (lambda + b_i) r_i = 1.
double ratiosAndMultiplier(const double* p, const double* b, const double* x, uint32_t n, double* r)
{
    double S = 0.0;
    double Sb = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        // A weight that is exactly zero stays zero: its ratio is 0 even when
        // its row product is 0 (0/0 would otherwise turn a converged answer
        // into NaN). Where the row product is a non-zero number the quotient
        // is +-0 anyway, and +-0 leaves both sums and the new weight (which
        // the threshold below sets to +0.0) as they are.
        r[i] = x[i] == 0.0 ? 0.0 : x[i] / p[i];
        S = S + r[i];
        Sb = Sb + r[i] * b[i];
    }
    return (1 - Sb) / S;
}

// f at x from the row products, computed for the support or all rows.
double objectiveAt(SupportProducts& products, const double* Q, const double* b, const double* x, double* p)
{
    const uint32_t n = products.n;
    return supportRowProducts(products, Q, x, p) ? objective(b, x, p, n) : objectiveOverSupport(b, x, p, n);
}

}  // namespace

void multUpdateCounted(const double* Q, const double* b, uint32_t n, double* x, const SolverSettings& settings,
                       SolverCounts& counts)
{
    counts = SolverCounts{};
    if (n == 0)
        return;
    double* r = static_cast<double*>(takeFromHost(settings.host, sizeof(double) * n));
    double* p = static_cast<double*>(takeFromHost(settings.host, sizeof(double) * n));
    SupportProducts products;
    startSupportProducts(products, Q, b, n, settings);

    startingPoint(b, n, x);
    PreviousObjective previousObjective =
        firstObjective(objectiveAt(products, Q, b, x, p), b, x, n, products.largestQ, settings.path);
    CycleGuard guard = cycleGuardStart(n, settings.host);
    for (;;) {
        ++counts.passes;
        const double lambda = ratiosAndMultiplier(p, b, x, n, r);
        for (uint32_t i = 0; i < n; ++i)
            x[i] = (lambda + b[i]) * r[i];

        double sigma = 0.0;
        for (uint32_t i = 0; i < n; ++i) {
            if (x[i] <= zeroThreshold)
                x[i] = 0.0;
            sigma += x[i];
        }
        for (uint32_t i = 0; i < n; ++i)
            x[i] = x[i] / sigma;

        // The products give f here and the next iteration's ratios.
        const double f = objectiveAt(products, Q, b, x, p);
        // Not "<= tolerance": a change that is not a number ends the loop too.
        if (!changedBeyondTolerance(f, previousObjective, Q, b, n, settings.host))
            break;
        previousObjective = PreviousObjective{f, 0.0};
        // The map can cycle (even for a positive definite Q and positive b):
        // then x is left at the iterate where the repeat is seen.
        if (cycleGuardSeesRepeat(guard, x, n))
            break;
    }

    counts.optionalBytes = products.packedBytes;
    cycleGuardEnd(guard);
    finishSupportProducts(products);
    mxFree(p);
    mxFree(r);
}

void multUpdate(const double* Q, const double* b, uint32_t n, double* x)
{
    SolverCounts counts;
    multUpdateCounted(Q, b, n, x, defaultSettings(), counts);
}
